// Below the front ends nothing writes to the process's standard output or
// error: every command of both tools, successes and failures, runs with
// those descriptors pointing at a file that must stay empty, while the
// tools' own words go to the streams they were given.
#include "RegTool.h"
#include "ToolMain.h"
#include "qxiic_sim.h"
#include "sim_tool_clock.h"
#include "simulated_camera.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

TEST(QuietLibrariesTest, NothingReachesStandardOutputOrError)
{
	UseFreshSimulatedCamera();
	const fs::path dir = fs::path(::testing::TempDir()) / "velmora-quiet";
	fs::remove_all(dir);
	fs::create_directories(dir);
	const std::string file = (dir / "cam.qmx").string(), report = (dir / "r.jsonl").string();
	const std::string damaged = (dir / "damaged.qmx").string();
	std::ofstream(damaged) << "00 zz\n";
	const struct {
		bool reg;
		std::vector<std::string> args;
	} runs[] = {
		{ false, { "dump", "--report", report, file } },
		{ false, { "program", "-y", "--pages", "4-6", "--report", report, file } },
		{ false, { "verify", file } },
		{ false, { "verify", damaged } },
		{ false, { "erase-settings", "-y" } },
		{ false, { "show", file } },
		{ false, { "diff", file, "--camera" } },
		{ false, { "buses" } },
		{ false, { "records", report, "--json" } },
		{ false, { "records", (dir / "missing.jsonl").string() } },
		{ false, { "--bus", "sim:9", "dump", file } },
		{ false, { "--bus", "none", "verify", file } },
		{ true, { "get", "shutter" } },
		{ true, { "set", "shutter=0x100" } },
		{ true, { "dump", "--script" } },
		{ true, { "--bus", "none", "get", "shutter" } },
		// libv4l2 and libv4lconvert have their own say on stderr.
		{ false, { "snapshot", "--video", "/dev/null", (dir / "a.png").string() } },
		{ false, { "snapshot", "--video", "/dev/zero", (dir / "a.png").string() } },
		{ false, { "snapshot", "--video", damaged, (dir / "a.png").string() } },
	};
	const fs::path captured = dir / "captured";
	std::cout.flush();
	std::cerr.flush();
	std::fflush(nullptr);
	int savedOut = dup(STDOUT_FILENO), savedErr = dup(STDERR_FILENO);
	int sink = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
	ASSERT_GE(sink, 0);
	dup2(sink, STDOUT_FILENO);
	dup2(sink, STDERR_FILENO);
	std::vector<std::string> said;
	for (const auto &run : runs) {
		SimToolClock clock;
		std::istringstream in;
		std::ostringstream out, err;
		tool::ToolEnvironment env{ in, out, err, false, false, clock };
		if (run.reg)
			reg_cli::RunRegTool(run.args, env);
		else
			eeprom_cli::RunTool(run.args, env);
		said.push_back(out.str() + err.str());
	}
	std::cout.flush();
	std::cerr.flush();
	std::fflush(nullptr);
	dup2(savedOut, STDOUT_FILENO);
	dup2(savedErr, STDERR_FILENO);
	close(savedOut);
	close(savedErr);
	close(sink);
	std::ifstream written(captured);
	EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "");
	// Each run said something, to the streams it was given.
	for (size_t i = 0; i < said.size(); i++)
		EXPECT_FALSE(said[i].empty()) << runs[i].args[0];
	fs::remove_all(dir);
}

} // namespace
