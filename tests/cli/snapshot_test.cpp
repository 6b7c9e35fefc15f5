// velmora-eeprom snapshot on the simulated camera: the PNG file it
// writes, the levels line, and what it refuses.
#include "ToolMain.h"
#include "qxiic_sim.h"
#include "sim_tool_clock.h"
#include "simulated_camera.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <sys/stat.h>

namespace sim = qxiic::sim;
namespace fs = std::filesystem;
using ::testing::MatchesRegex;

namespace {

class SnapshotTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		UseFreshSimulatedCamera();
		std::string pattern = (fs::temp_directory_path() / "velmora-snapshot-XXXXXX").string();
		dir = mkdtemp(pattern.data());
	}
	void TearDown() override { fs::remove_all(dir); }

	int Run(const std::vector<std::string> &args)
	{
		out.str("");
		err.str("");
		std::istringstream in;
		tool::ToolEnvironment env{ in, out, err, false, false, clock };
		return eeprom_cli::RunTool(args, env);
	}
	std::string File(const std::string &name) const
	{
		std::ifstream in(dir / name, std::ios::binary);
		return std::string(std::istreambuf_iterator<char>(in), {});
	}
	// The width and height of a PNG file's header.
	static std::pair<int, int> PngSize(const std::string &bytes)
	{
		auto word = [&bytes](std::size_t at) {
			return static_cast<int>(static_cast<unsigned char>(bytes[at]) << 24 |
						static_cast<unsigned char>(bytes[at + 1]) << 16 |
						static_cast<unsigned char>(bytes[at + 2]) << 8 |
						static_cast<unsigned char>(bytes[at + 3]));
		};
		if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0)
			return { 0, 0 };
		return { word(16), word(20) };
	}

	SimToolClock clock;
	fs::path dir;
	std::ostringstream out, err;
};

TEST_F(SnapshotTest, OneFrameOfTheSimulatedCameraIntoAPngWithItsLevels)
{
	const std::string a = (dir / "a.png").string();
	ASSERT_EQ(Run({ "snapshot", "--bus", "sim", "--video", "sim", a }), 0) << err.str();
	EXPECT_THAT(out.str(), MatchesRegex(".*/a\\.png: 720 x 576, mean R [0-9]+\\.[0-9] G [0-9]+\\.[0-9] B "
					    "[0-9]+\\.[0-9]\n"));
	EXPECT_EQ(err.str(), "");
	EXPECT_EQ(PngSize(File("a.png")), std::make_pair(720, 576));
	const std::string first = out.str().substr(out.str().find(':'));

	// The same registers: the same frame, the same file; --bus may come first.
	ASSERT_EQ(Run({ "--bus=sim", "snapshot", "--video=sim", (dir / "b.png").string() }), 0);
	EXPECT_EQ(File("a.png"), File("b.png"));
	EXPECT_EQ(out.str().substr(out.str().find(':')), first);

	// Another process's write shows: mirror, then NTSC.
	sim::SetRegister(0x301C, 0x0101);
	ASSERT_EQ(Run({ "snapshot", "--bus", "sim", "--video", "sim", (dir / "c.png").string() }), 0);
	EXPECT_NE(File("a.png"), File("c.png"));
	sim::SetRegister(0x4000, 0x0004);
	ASSERT_EQ(Run({ "snapshot", "--bus", "sim", "--video", "sim", (dir / "d.png").string() }), 0);
	EXPECT_EQ(PngSize(File("d.png")), std::make_pair(720, 480));
}

TEST_F(SnapshotTest, WhatItRefuses)
{
	const std::string png = (dir / "x.png").string();
	const struct {
		std::vector<std::string> args;
		int status;
		std::string err;
	} cases[] = {
		{ { "snapshot" }, 2, "velmora-eeprom: snapshot needs a PNG file to write" },
		{ { "snapshot", "a.png", "b.png" }, 2, "velmora-eeprom: snapshot: too many arguments" },
		{ { "snapshot", "--video" }, 2, "velmora-eeprom: snapshot: --video needs a value" },
		{ { "snapshot", "--video", "sim", "--video", "sim", "a.png" },
		  2,
		  "velmora-eeprom: snapshot: --video is given twice" },
		{ { "snapshot", "--frame", "a.png" }, 2, "velmora-eeprom: snapshot: unknown option --frame" },
		{ { "snapshot", "--video", "sim", (dir / "none" / "x.png").string() },
		  6,
		  "velmora-eeprom: " + (dir / "none" / "x.png").string() +
			  " was not written: cannot create a file in the folder " + (dir / "none").string() +
			  ": No such file or directory\n" },
		// Refused before the camera is asked: nothing opened, nothing removed.
		{ { "snapshot", "--video", "sim", (dir / "fifo").string() },
		  6,
		  "velmora-eeprom: " + (dir / "fifo").string() + " was not written: it is a FIFO\n" },
	};
	ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
	for (const auto &c : cases) {
		EXPECT_EQ(Run(c.args), c.status) << c.args.back();
		EXPECT_THAT(err.str(), ::testing::StartsWith(c.err)) << c.args.back();
		EXPECT_EQ(out.str(), "");
	}
	EXPECT_TRUE(fs::is_fifo(dir / "fifo"));

	sim::SetPlugged(false);
	// The target is refused before the camera is asked.
	EXPECT_EQ(Run({ "snapshot", "--bus", "sim", "--video", "sim", (dir / "fifo").string() }), 6);
	EXPECT_EQ(Run({ "snapshot", "--bus", "sim", "--video", "sim", png }), 4);
	EXPECT_THAT(err.str(),
		    ::testing::StartsWith("velmora-eeprom: sim: the simulated camera does not answer; "
					  "no picture was taken"));
	EXPECT_FALSE(fs::exists(png));
}

// Asked by their answer to VIDIOC_QUERYCAP, not by their file type, and
// refused at once, in the tool's own line.
TEST_F(SnapshotTest, NodesThatAreNoCaptureDeviceAreRefusedInOneLine)
{
	const std::string plain = (dir / "plain.txt").string();
	std::ofstream(plain) << "text\n";
	const std::string png = (dir / "x.png").string();
	for (const std::string &node : { std::string("/dev/null"), std::string("/dev/zero"), plain }) {
		EXPECT_EQ(Run({ "snapshot", "--video", node, png }), 4) << node;
		EXPECT_EQ(err.str(),
			  "velmora-eeprom: " + node +
				  " is not a capture device: Inappropriate ioctl for device; no picture "
				  "was taken\n");
		EXPECT_FALSE(fs::exists(png));
	}
}

TEST_F(SnapshotTest, TheNamedSimulatedCamerasPictureFaultsShow)
{
	setenv("QXIIC_SIM_DIR", dir.c_str(), 1);
	std::ofstream(dir / "sim-1.picture") << "no-signal\n";
	const std::string png = (dir / "x.png").string();
	EXPECT_EQ(Run({ "snapshot", "--bus", "sim:1", "--video", "sim", png }), 4);
	EXPECT_EQ(err.str(), "velmora-eeprom: sim:1: no signal: " + (dir / "sim-1.picture").string() +
				     "; no picture was taken\n");
	EXPECT_FALSE(fs::exists(png));
	// Another camera's faults are not this one's.
	EXPECT_EQ(Run({ "snapshot", "--bus", "sim:0", "--video", "sim", png }), 0) << err.str();
	setenv("QXIIC_SIM_DIR", "", 1);
}

} // namespace
