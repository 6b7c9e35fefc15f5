// velmora-reg: register names, script lines, and scripts run in-process on
// the simulated camera, checked in the bus trace.
#include "RegScript.h"
#include "RegTool.h"
#include "RegisterNames.h"
#include "StopRequest.h"
#include "qxiic_sim.h"
#include "sim_tool_clock.h"
#include "simulated_camera.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace sim = qxiic::sim;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

class RegToolTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		UseFreshSimulatedCamera();
		script = (fs::temp_directory_path() / ("velmora-reg-" + std::to_string(getpid()))).string();
	}
	void TearDown() override { fs::remove(script); }

	int Run(const std::vector<std::string> &args, const std::string &text = "")
	{
		if (!text.empty())
			std::ofstream(script) << text;
		out.str("");
		err.str("");
		std::istringstream in;
		tool::ToolEnvironment env{ in, out, err, false, false, clock };
		return reg_cli::RunRegTool(args, env);
	}

	// Sensor transfers as "W 3012=0100" and "R 0040", in bus order.
	static std::vector<std::string> Bus()
	{
		std::vector<std::string> log;
		for (const sim::TraceEntry &e : sim::Trace()) {
			if (e.call != sim::Call::SendSub && e.call != sim::Call::ReceiveSub)
				continue;
			char text[32];
			if (e.call == sim::Call::SendSub)
				std::snprintf(text, sizeof(text), "W %04x=%02x%02x", e.subAddress, e.data[0],
					      e.data[1]);
			else
				std::snprintf(text, sizeof(text), "R %04x", e.subAddress);
			log.push_back(text);
		}
		return log;
	}

	SimToolClock clock;
	std::string script;
	std::ostringstream out;
	std::ostringstream err;
};

} // namespace

TEST(RegisterNames, LookupAndRefusal)
{
	struct Case {
		const char *text;
		int number; // -1: refused
		const char *result;
	} const cases[] = {
		{ "shutter", 0x3012, "shutter (0x3012)" },
		{ "AEX-REF", 0xA812, "aex-ref (0xa812)" },
		{ "wb-mode", 0xAC04, "wb-mode (0xac04)" },
		{ "red-gain", 0xAC48, "red-gain (0xac48)" },
		{ "0x3012", 0x3012, "shutter (0x3012)" },
		{ "12306", 0x3012, "shutter (0x3012)" },
		{ "0xc822", 0xC822, "0xc822" },
		{ "shuter", -1, "no register is named 'shuter'; nearest: shutter" },
		{ "gain", -1, "no register is named 'gain'; nearest: gain-1 gain-2 gain-3" },
		{ "exposure-s", -1,
		  "no register is named 'exposure-s'; nearest: exposure-state-1 exposure-state-2" },
		{ "redgain", -1, "no register is named 'redgain'; nearest: red-gain" },
		{ "0x10000", -1, "register 0x10000 is larger than 0xFFFF" },
		{ "0x30g2", -1, "register '0x30g2' is not a number (hexadecimal with 0x, or decimal)" },
	};
	for (const Case &c : cases) {
		reg_cli::Resolved r = reg_cli::ResolveRegister(c.text);
		if (c.number < 0) {
			EXPECT_FALSE(r.reg) << c.text;
			EXPECT_EQ(r.error, c.result);
		} else {
			ASSERT_TRUE(r.reg) << c.text << ": " << r.error;
			EXPECT_EQ(r.reg->number, c.number) << c.text;
			EXPECT_EQ(reg_cli::Describe(*r.reg), c.result);
		}
	}
}

TEST(RegScriptLines, GoodAndBad)
{
	struct Case {
		const char *text;
		const char *error; // "" = accepted
	} const cases[] = {
		{ "write shutter 0x100\n# note\n\nread 0x3012 expect 256 mask 0xff00 # trailing\nwait 5\n"
		  "poll command 0x8000 0 100\ncommand 0x8304\n",
		  "" },
		{ "wait 5\nwrite shutter\n", "line 2: expected write REG VALUE" },
		{ "write shuter 1\n", "line 1: no register is named 'shuter'; nearest: shutter" },
		{ "write shutter 0x10000\n", "line 1: 0x10000 is larger than 0xFFFF" },
		{ "write shutter -1\n", "line 1: '-1' is not a number (hexadecimal with 0x, or decimal)" },
		{ "read shutter expect 0x1ff mask 0xff\n",
		  "line 1: the value 0x01ff has bits outside the mask 0x00ff and can never be read" },
		{ "read shutter mask 0xff\n", "line 1: expected read REG [expect VALUE [mask M]]" },
		{ "poll command 0x8000 0x8000\n", "line 1: expected poll REG MASK VALUE TIMEOUT_MS" },
		{ "wait 3600001\n",
		  "line 1: 3600001 ms is longer than the longest wait, 3600000 ms (an hour)" },
		{ "wait 0x400000\n",
		  "line 1: 4194304 ms is longer than the longest wait, 3600000 ms (an hour)" },
		{ "write shutter 0xffff\nwait 3600000\npoll shutter 0xffff 0xffff 3600000\n", "" },
		{ "\n\nsleep 5\n",
		  "line 3: unknown step 'sleep' (write, read, wait, poll, command or a # comment)" },
		// Any line end, a byte-order mark first; raw bytes never shown.
		{ "wait 5\rwait 5\rsleep\r",
		  "line 3: unknown step 'sleep' (write, read, wait, poll, command or a # comment)" },
		{ "wait 5\r\n\r\nsleep\r\n",
		  "line 3: unknown step 'sleep' (write, read, wait, poll, command or a # comment)" },
		{ "wait 5\n\rsleep",
		  "line 3: unknown step 'sleep' (write, read, wait, poll, command or a # comment)" },
		{ "\xEF\xBB\xBFwait 5\nsleep\n",
		  "line 2: unknown step 'sleep' (write, read, wait, poll, command or a # comment)" },
		{ "sleep\x1b[2J\n",
		  "line 1: unknown step 'sleep\\x1b[2J' (write, read, wait, poll, command or a # comment)" },
	};
	for (const Case &c : cases) {
		reg_cli::ParsedScript parsed = reg_cli::ParseRegScript(c.text);
		EXPECT_EQ(parsed.errors.empty() ? "" : parsed.errors[0], c.error) << c.text;
		EXPECT_EQ(parsed.ok, c.error[0] == '\0') << c.text;
	}
	reg_cli::ParsedScript parsed = reg_cli::ParseRegScript(cases[0].text);
	ASSERT_EQ(parsed.steps.size(), 5u);
	EXPECT_EQ(parsed.steps[1].line, 4);
	EXPECT_EQ(parsed.steps[1].mask, 0xFF00);
	EXPECT_EQ(parsed.steps[3].ms, 100u);
}

TEST_F(RegToolTest, RunWritesPollsTheBusyBitAndExpects)
{
	sim::SetCommandBusyReads(2); // two busy reads, then done
	std::string text = "write 0x098e 0x4824\n"
			   "command 0x8304\n"
			   "wait 20\n"
			   "read shutter expect 0xa6\n"
			   "read shutter\n";
	std::int64_t start = sim::Now();
	ASSERT_EQ(Run({ "run", script }, text), 0) << err.str();
	EXPECT_THAT(Bus(), ElementsAre("W 098e=4824", "W 0040=8304", "R 0040", "R 0040", "R 0040", "R 3012",
				       "R 3012"));
	EXPECT_EQ(sim::Now() - start, 20000);
	EXPECT_EQ(out.str(), "shutter (0x3012) = 0x00a6\n" + script + ": 5 steps done\n");

	// The first unmet expectation stops the script, naming its line.
	sim::ClearTrace();
	ASSERT_EQ(Run({ "run", script },
		      "read shutter expect 0xa6\nread aex-ref expect 0x51\nwrite shutter 1\n"),
		  5);
	EXPECT_EQ(err.str(),
		  "velmora-reg: " + script +
			  ": line 2: aex-ref (0xa812) is 0x0050, expected 0x0051 under the mask 0xffff\n");
	EXPECT_THAT(Bus(), ElementsAre("R 3012", "R a812"));
}

TEST_F(RegToolTest, FailuresNameTheLine)
{
	struct Case {
		const char *text;
		int busyReads;
		bool unplugged;
		int status;
		const char *error;
		size_t transfers; // a bad line sends nothing
		std::int64_t waitedUs;
	} const cases[] = {
		{ "command 0x8304\n", -1, false, 5,
		  "line 1: the command 0x8304 was still busy after 16 polls", 17, 0 },
		{ "# poll\npoll 0xa804 0x000f 0 30\n", 3, false, 5,
		  "line 2: exposure-mode (0xa804) was still 0x000f after 30 ms, waiting for 0x0000 under the "
		  "mask 0x000f",
		  31, 30000 },
		{ "write shutter 1\n", 3, true, 4,
		  "line 1: writing register 0x3012 failed: error: USB_I2C_NACK", 1, 0 },
		{ "write shutter 1\nbogus\n", 3, false, 3, "line 2: unknown step 'bogus'", 0, 0 },
	};
	for (const Case &c : cases) {
		sim::Reset();
		sim::UseManualClock(true);
		sim::SetCommandBusyReads(c.busyReads);
		sim::SetPlugged(!c.unplugged);
		std::int64_t start = sim::Now();
		EXPECT_EQ(Run({ "run", script }, c.text), c.status) << c.text;
		EXPECT_THAT(err.str(), HasSubstr(c.error));
		EXPECT_EQ(Bus().size(), c.transfers) << c.text;
		EXPECT_EQ(sim::Now() - start, c.waitedUs) << c.text;
	}
}

// The script is read as a settings file is (the reading's own tests are
// the settings layer's): what cannot be a script is refused as a file.
TEST_F(RegToolTest, RunRefusesWhatIsNoScript)
{
	EXPECT_EQ(Run({ "run", "/tmp" }), 3);
	EXPECT_EQ(err.str(),
		  "velmora-reg: cannot read the script /tmp: it is a directory; nothing was sent\n");
	EXPECT_TRUE(sim::Trace().empty());
}

TEST_F(RegToolTest, DryRunSendsNothing)
{
	ASSERT_EQ(Run({ "run", "--dry-run", script }, "write shutter 1\ncommand 0x8305\n"), 0);
	EXPECT_EQ(out.str(), script + ": 2 steps checked; nothing was sent\n");
	EXPECT_TRUE(sim::Trace().empty());
}

TEST_F(RegToolTest, GetSetAndDumpScriptReplays)
{
	ASSERT_EQ(Run({ "set", "shutter=0x120", "sharpness=4096" }), 0) << err.str();
	EXPECT_THAT(Bus(), ElementsAre("W 3012=0120", "W 326c=1000"));
	ASSERT_EQ(Run({ "get", "0x3012", "aex-ref" }), 0);
	EXPECT_EQ(out.str(), "shutter (0x3012) = 0x0120\naex-ref (0xa812) = 0x0050\n");
	// Nothing is sent when one argument is wrong.
	sim::ClearTrace();
	EXPECT_EQ(Run({ "set", "shutter=1", "shuter=2" }), 2);
	EXPECT_EQ(err.str(), "velmora-reg: no register is named 'shuter'; nearest: shutter\n");
	EXPECT_TRUE(Bus().empty());

	ASSERT_EQ(Run({ "dump", "--script" }), 0);
	std::string dumped = out.str();
	EXPECT_THAT(dumped, HasSubstr("write shutter 0x0120\nwrite aex-ref 0x0050\n"));
	EXPECT_THAT(dumped, ::testing::Not(HasSubstr("command")));
	sim::Reset();
	sim::UseManualClock(true);
	ASSERT_EQ(Run({ "run", script }, dumped), 0) << err.str();
	EXPECT_EQ(sim::Register(0x3012), 0x0120);
	EXPECT_EQ(sim::Register(0x326C), 0x1000);
	EXPECT_EQ(Bus().size(), 14u) << "one write per settings register";
}

// What velmora-reg says, word for word, on the simulated camera's manual
// clock: stop=true asks to stop (as Ctrl+C does) during the first pause.
TEST_F(RegToolTest, MessagesAsTheUserReadsThem)
{
	// 22 wrong lines: the first 20 are named.
	std::string many, manyNamed;
	for (int i = 1; i <= 22; i++) {
		many += "bogus\n";
		if (i <= 20)
			manyNamed +=
				"velmora-reg: " + script + ": line " + std::to_string(i) +
				": unknown step 'bogus' (write, read, wait, poll, command or a # comment)\n";
	}
	// One page of a settings file, as the panel's Cam --> File writes it.
	std::string settingsFile = "//Settings file : golden.qmx\r\n//Page 0 of the EEprom:\t\r\n";
	for (int line = 0; line < 16; line++) {
		for (int i = 0; i < 16; i++)
			settingsFile += "FF ";
		settingsFile += "\r\n";
	}
	struct Case {
		std::vector<std::string> args;
		std::string text;
		bool stop;
		int status;
		std::string out, err;
		std::vector<std::string> bus;
	} const cases[] = {
		{ { "run", script },
		  settingsFile,
		  false,
		  3,
		  "",
		  "velmora-reg: " + script +
			  " is a settings file (.qmx), not a register script: velmora-eeprom program writes "
			  "it into the camera's EEPROM; nothing was sent\n",
		  {} },
		// The register a wrong value was for is named; input is shown on one line.
		{ { "set", "aex-ref=bad" },
		  "",
		  false,
		  2,
		  "",
		  "velmora-reg: aex-ref: 'bad' is not a number (hexadecimal with 0x, or decimal)\n",
		  {} },
		{ { "set", "shutter=5\n" },
		  "",
		  false,
		  2,
		  "",
		  "velmora-reg: shutter: '5\\n' is not a number (hexadecimal with 0x, or decimal)\n",
		  {} },
		{ { "run", script },
		  "write shutter 0xffff\n",
		  false,
		  0,
		  script + ": 1 step done\n",
		  "",
		  { "W 3012=ffff" } },
		{ { "run", "-n", script },
		  "wait 3600000\n",
		  false,
		  0,
		  script + ": 1 step checked; nothing was sent\n",
		  "",
		  {} },
		{ { "run", script },
		  "write shutter 1\nwait 99999999\nwrite shuter 2\nread 0x3012 expect 0x10000\n",
		  false,
		  3,
		  "",
		  "velmora-reg: " + script +
			  ": line 2: 99999999 ms is longer than the longest wait, 3600000 ms (an hour)\n"
			  "velmora-reg: " +
			  script +
			  ": line 3: no register is named 'shuter'; nearest: shutter\n"
			  "velmora-reg: " +
			  script +
			  ": line 4: 0x10000 is larger than 0xFFFF\n"
			  "velmora-reg: " +
			  script + ": 3 wrong lines; nothing was sent\n",
		  {} },
		{ { "run", script },
		  many,
		  false,
		  3,
		  "",
		  manyNamed + "velmora-reg: " + script +
			  ": 20 wrong lines shown, and more; nothing was sent\n",
		  {} },
		{ { "run", script },
		  "write shutter 1\nwait 3600000\nwrite shutter 2\n",
		  true,
		  130,
		  "",
		  "velmora-reg: " + script +
			  ": line 2: stopped by Ctrl+C or SIGTERM; the 1 step before this line was done\n",
		  { "W 3012=0001" } },
		{ { "get", "shutter", "trim-select" },
		  "",
		  false,
		  2,
		  "",
		  "velmora-reg: trim-select (0x098e) is written only: it cannot be read back\n",
		  {} },
		// A write that fails stops the script: the read after it is never sent.
		{ { "run", script },
		  "write 0x3012 0x10\nread shutter\n",
		  false,
		  4,
		  "",
		  "velmora-reg: " + script +
			  ": line 1: writing register 0x3012 failed: error: USB_I2C_NACK\n",
		  { "W 3012=0010" } },
		// Only the masked bits are compared: 0x00a6 under 0xff00 is 0x0000.
		{ { "run", script },
		  "read shutter expect 0 mask 0xff00\nread shutter expect 0xa0 mask 0xf0\n",
		  false,
		  0,
		  script + ": 2 steps done\n",
		  "",
		  { "R 3012", "R 3012" } },
		{ { "run", script },
		  "read shutter expect 0x100 mask 0xff00\n",
		  false,
		  5,
		  "",
		  "velmora-reg: " + script +
			  ": line 1: shutter (0x3012) is 0x00a6, expected 0x0100 under the mask 0xff00\n",
		  { "R 3012" } },
	};
	for (const Case &c : cases) {
		SCOPED_TRACE(c.text);
		sim::Reset();
		sim::UseManualClock(true);
		sim::SetPlugged(c.status != 4);
		class StoppingClock final : public tool::ToolClock
		{
		public:
			explicit StoppingClock(bool stop) : m_stop(stop) {}
			std::int64_t NowUs() override { return sim::Now(); }
			void SleepUs(std::int64_t us) override
			{
				if (m_stop)
					tool::RequestStop();
				sim::AdvanceClock(us);
			}

		private:
			bool m_stop;
		} stopping(c.stop);
		std::ofstream(script) << c.text;
		out.str("");
		err.str("");
		std::istringstream in;
		tool::ToolEnvironment env{ in, out, err, false, false, stopping };
		EXPECT_EQ(reg_cli::RunRegTool(c.args, env), c.status);
		EXPECT_EQ(out.str(), c.out);
		EXPECT_EQ(err.str(), c.err);
		EXPECT_EQ(Bus(), c.bus);
	}
}
