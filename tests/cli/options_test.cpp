// The one option parser both tools read their command lines with, and both
// tools refusing the same command line in the same words.
#include "Options.h"
#include "RegTool.h"
#include "ToolMain.h"
#include "sim_tool_clock.h"
#include "simulated_camera.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace {

using tool::CommandLine;

const tool::Grammar &Grammar()
{
	static const tool::Grammar grammar{
		tool::WithCommonOptions({ { .name = "yes", .letter = 'y' },
					  { .name = "report", .value = "a file" },
					  { .name = "script", .commands = "dump run" },
					  { .name = "camera", .commands = "show", .word = true } }),
		{ "dump", "run", "show" },
	};
	return grammar;
}

TEST(OptionsTest, OneTableSpellsAndRefuses)
{
	const struct {
		std::vector<std::string> args;
		const char *error;
		std::vector<std::string> words;
	} cases[] = {
		{ { "dump", "-y", "--report=r.json", "f" }, "", { "dump", "f" } },
		{ { "--report", "r.json", "dump", "--", "-f" }, "", { "dump", "-f" } },
		{ { "run", "-", "--script" }, "", { "run", "-" } },
		{ { "show", "--camera" }, "", { "show", "--camera" } },
		{ { "--help", "flash" }, "", { "flash" } },
		{ {}, "no command given", {} },
		{ { "flash" }, "unknown command 'flash'", {} },
		{ { "dump", "--force" }, "unknown option '--force'", {} },
		{ { "dump", "-Y" }, "unknown option '-Y'", {} },
		{ { "dump", "--bus" }, "--bus needs a bus (/dev/i2c-N, sim or sim:0 to sim:7, or none)", {} },
		{ { "dump", "--bus=" },
		  "--bus needs a bus (/dev/i2c-N, sim or sim:0 to sim:7, or none)",
		  {} },
		{ { "dump", "--report" }, "--report needs a file", {} },
		{ { "dump", "--yes=1" }, "--yes takes no value", {} },
		{ { "dump", "--bus", "sim", "--bus=sim:1" }, "--bus is given twice", {} },
		{ { "show", "--script" }, "--script belongs to dump and run", {} },
		{ { "dump", "--camera" }, "--camera belongs to show", {} },
	};
	for (const auto &c : cases) {
		CommandLine cl = tool::ParseCommandLine(Grammar(), c.args);
		EXPECT_EQ(cl.error, c.error) << c.error;
		if (cl.error.empty()) {
			EXPECT_EQ(cl.words, c.words) << c.error;
		}
	}
	CommandLine cl = tool::ParseCommandLine(Grammar(), { "dump", "--bus", "sim:2", "-y", "f" });
	EXPECT_EQ(cl.Value("bus"), "sim:2");
	EXPECT_TRUE(cl.Has("yes"));
	EXPECT_FALSE(cl.Has("report"));
}

// A failure is one line whatever input it carries.
TEST(OptionsTest, AFailureIsOneLine)
{
	SimToolClock clock;
	const struct {
		const char *message, *said;
	} cases[] = {
		{ "plain", "velmora-reg: plain\n" },
		{ "a\nb\tc\r\x1b[2J", "velmora-reg: a\\nb\\tc\\r\\x1b[2J\n" },
	};
	for (const auto &c : cases) {
		std::istringstream in;
		std::ostringstream out, err;
		tool::ToolEnvironment env{ in, out, err, false, false, clock };
		EXPECT_EQ(tool::SayFailure(env, "velmora-reg", 4, c.message), 4);
		EXPECT_EQ(err.str(), c.said);
	}
}

// Both tools read their command line with it: the same wrong options,
// the same words, the same status.
TEST(OptionsTest, BothToolsRefuseAlike)
{
	UseFreshSimulatedCamera();
	SimToolClock clock;
	const struct {
		std::vector<std::string> eeprom, reg;
		const char *environmentBus;
	} cases[] = {
		{ { "dump", "--force" }, { "dump", "--force" }, nullptr },
		{ { "dump", "--bus" }, { "dump", "--bus" }, nullptr },
		{ { "dump", "--bus=sim", "--help=1" }, { "dump", "--bus=sim", "--help=1" }, nullptr },
		{ { "dump", "--bus=sim:9" }, { "dump", "--bus=sim:9" }, nullptr },
		{ { "dump", "f.qmx" }, { "dump" }, "sim:9" },
	};
	for (const auto &c : cases) {
		if (c.environmentBus)
			setenv("QXIIC_BUS", c.environmentBus, 1);
		else
			unsetenv("QXIIC_BUS");
		std::string said[2];
		int status[2];
		for (int t = 0; t < 2; t++) {
			std::istringstream in;
			std::ostringstream out, err;
			tool::ToolEnvironment env{ in, out, err, false, false, clock };
			status[t] = t == 0 ? eeprom_cli::RunTool(c.eeprom, env)
					   : reg_cli::RunRegTool(c.reg, env);
			said[t] = err.str();
		}
		EXPECT_EQ(status[0], 2);
		EXPECT_EQ(status[1], 2);
		std::string eeprom = said[0].substr(said[0].find(':'));
		std::string reg = said[1].substr(said[1].find(':'));
		EXPECT_EQ(eeprom.substr(0, eeprom.find(" (see")), reg.substr(0, reg.find(" (see")))
			<< said[0];
	}
	unsetenv("QXIIC_BUS");
}

} // namespace
