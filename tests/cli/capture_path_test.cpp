// velmora-eeprom over a capture device the kernel serves from user space
// (testing/fuse_capture): libv4l2's ioctls, mmap and poll as real system
// calls. The device's picture is eight grey bars moving to the right, so
// every frame's mean is R = G = B = 128. Each run's process output must
// stay empty: libv4l2's own messages never reach the terminal.
#include "FuseCapture.h"
#include "ToolMain.h"
#include "sim_tool_clock.h"
#include "simulated_camera.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class CapturePathTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		UseFreshSimulatedCamera();
		char pattern[] = "/tmp/velmora-capture-XXXXXX";
		dir = mkdtemp(pattern);
		std::ofstream(dir / "bars.limits") << "frames 5\n"
						      "grey-area 0 0 1 1\n"
						      "luminance 120 136\n"
						      "red-green 0.95 1.05\n"
						      "blue-green 0.95 1.05\n"
						      "moving-pixels 1000\n";
	}
	void TearDown() override
	{
		devices[0].Stop();
		devices[1].Stop();
		fs::remove_all(dir);
	}

	// The tool in this process, the process's own output caught meanwhile.
	int Run(const std::vector<std::string> &args)
	{
		out.str("");
		err.str("");
		std::istringstream in;
		tool::ToolEnvironment env{ in, out, err, false, false, clock };
		std::fflush(nullptr);
		const fs::path caught = dir / "caught";
		const int saved[2] = { dup(STDOUT_FILENO), dup(STDERR_FILENO) };
		const int sink = open(caught.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
		dup2(sink, STDOUT_FILENO);
		dup2(sink, STDERR_FILENO);
		const int status = eeprom_cli::RunTool(args, env);
		std::fflush(nullptr);
		dup2(saved[0], STDOUT_FILENO);
		dup2(saved[1], STDERR_FILENO);
		close(saved[0]);
		close(saved[1]);
		close(sink);
		std::ifstream written(caught);
		processOutput = std::string(std::istreambuf_iterator<char>(written), {});
		return status;
	}
	std::string Video(int n) const { return (dir / ("video" + std::to_string(n))).string(); }

	SimToolClock clock;
	fs::path dir;
	fuse_capture::Device devices[2];
	std::ostringstream out, err;
	std::string processOutput;
};

TEST_F(CapturePathTest, SnapshotOfEachKindOfDevice)
{
	const struct {
		const char *what;
		fuse_capture::Faults faults;
		int lines;
	} cases[] = {
		{ "PAL", {}, 576 },
		{ "NTSC only", { .standard = "ntsc" }, 480 },
		{ "read() only", { .readOnly = true }, 576 },
		{ "plugged in a second later", { .appearAfterMs = 1000 }, 576 },
	};
	for (const auto &c : cases) {
		START_FUSE_CAPTURE(devices[0], Video(0), c.faults);
		const std::string png = (dir / "a.png").string();
		EXPECT_EQ(Run({ "snapshot", "--bus", "sim", "--video", Video(0), png }), 0)
			<< c.what << ": " << err.str();
		EXPECT_EQ(out.str(),
			  png + ": 720 x " + std::to_string(c.lines) + ", mean R 128.0 G 128.0 B 128.0\n")
			<< c.what;
		EXPECT_EQ(processOutput, "") << c.what;
		devices[0].Stop();
	}
}

// Two cameras, each in a process of its own with its own device: the one
// whose grabber sends NTSC fails on the standard, the other passes.
TEST_F(CapturePathTest, FrameCheckOfTwoCamerasWithTwoDevices)
{
	START_FUSE_CAPTURE(devices[0], Video(0));
	START_FUSE_CAPTURE(devices[1], Video(1), { .standard = "ntsc" });
	const std::string golden = (dir / "golden.qmx").string();
	ASSERT_EQ(Run({ "--bus", "sim:0", "dump", golden }), 0) << err.str();
	EXPECT_EQ(Run({ "program", "--yes", "--bus", "sim:0", "--bus", "sim:1", "--frame-check", "--limits",
			(dir / "bars.limits").string(), "--video", "sim:0=" + Video(0), "--video",
			"sim:1=" + Video(1), golden }),
		  7)
		<< err.str();
	// How many pixels moved depends on whether the machine kept up with
	// every frame (8 edges x 32 columns x the lines when it did).
	std::string said = err.str();
	for (std::size_t at = 0; (at = said.find(" moving pixels", at)) != std::string::npos; at += 14) {
		std::size_t digits = said.find_last_not_of("0123456789", at - 1) + 1;
		said.replace(digits, at - digits, "N");
		at = digits + 1;
	}
	const std::string bars =
		" moving pixels (at least 1000), luminance 128.0 (120.0..136.0), red/green 1.00 "
		"(0.95..1.05), blue/green 1.00 (0.95..1.05), overlays none (none expected)\n";
	EXPECT_EQ(said, "sim:0: verified: 8 pages of " + golden +
				" written and verified; frame: PAL 720x576 (PAL expected), N" + bars +
				"sim:1: frame-failed: frame: standard: NTSC 720x480 (PAL expected), N" +
				bars);
	EXPECT_EQ(out.str(), "2 cameras: 1 succeeded, 1 failed\n");
	EXPECT_EQ(processOutput, "");
}

// What a device that misbehaves makes of the frame check: its reason on
// one line, status 7.
struct Fault {
	const char *name;
	fuse_capture::Faults faults;
	const char *reason;
};

void PrintTo(const Fault &f, std::ostream *os)
{
	*os << f.name;
}

class CaptureFaultTest : public CapturePathTest, public ::testing::WithParamInterface<Fault>
{
};

TEST_P(CaptureFaultTest, SaidInOneLineWithStatus7)
{
	const Fault &f = GetParam();
	START_FUSE_CAPTURE(devices[0], Video(0), f.faults);
	const std::string golden = (dir / "golden.qmx").string();
	ASSERT_EQ(Run({ "--bus", "sim", "dump", golden }), 0) << err.str();
	EXPECT_EQ(Run({ "program", "--yes", "--bus", "sim", "--frame-check", "--limits",
			(dir / "bars.limits").string(), "--video", "sim=" + Video(0), golden }),
		  7);
	std::string reason = f.reason;
	for (std::size_t at; (at = reason.find("VIDEO")) != std::string::npos;)
		reason.replace(at, 5, Video(0));
	EXPECT_EQ(err.str(), "velmora-eeprom: frame: no signal: " + reason + "\n");
	EXPECT_EQ(processOutput, "");
}

INSTANTIATE_TEST_SUITE_P(
	Devices, CaptureFaultTest,
	::testing::Values(
		Fault{ "StopsAfter2Frames",
		       { .stopAfter = 2 },
		       "2 of 5 frames from VIDEO (VIDEO has delivered no frame for 2 s; trying it again), PAL "
		       "expected" },
		Fault{ "VanishesAfter2Frames",
		       { .vanishAfter = 2 },
		       "2 of 5 frames from VIDEO (VIDEO is gone (Transport endpoint is not connected); waiting "
		       "for it to come back), PAL expected" },
		Fault{ "ShortFrames",
		       { .shortFrames = true },
		       "0 of 5 frames from VIDEO (VIDEO: frames arrive incomplete (414720 of 829440 bytes), none "
		       "whole for 2 s; trying it again), PAL expected" },
		Fault{ "FramesFlaggedAsErrors",
		       { .errorFlag = true },
		       "0 of 5 frames from VIDEO (VIDEO: frames arrive incomplete (flagged as damaged by the "
		       "device), none whole for 2 s; trying it again), PAL expected" }),
	[](const ::testing::TestParamInfo<Fault> &param) { return std::string(param.param.name); });

} // namespace
