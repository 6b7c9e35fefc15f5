// --frame-check on the production line, on simulated cameras with their
// picture faults files: a station and a run of several cameras, their
// verdicts, records, thumbnails (file and database) and the summary's page.
#include "PictureCheck.h"
#include "Production.h"
#include "RegTool.h"
#include "ScratchPostgres.h"
#include "Station.h"
#include "Thumbnail.h"
#include "ToolMain.h"
#include "pg_rows.h"
#include "qxiic_sim.h"
#include "sim_tool_clock.h"
#include "simulated_camera.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace eeprom_cli;
using nlohmann::json;

const std::string kLimits = std::string(VELMORA_EXAMPLES_DIR) + "/sim-scene.limits";

std::string ReadBytes(const fs::path &path)
{
	std::ifstream in(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(in), {});
}

// A settings file's text with page 4's first two bytes, the unit's trim,
// in place of the fixture's 0x14 and 0x0C.
std::string WithTrim(std::string text, const char *trim)
{
	const std::size_t page4 = text.find("\r\n") + 2 + 64 * (16 * 3 + 1);
	EXPECT_EQ(text.substr(page4, 5), "14 0C");
	return text.replace(page4, 5, trim);
}

std::string FromBase64(const std::string &text)
{
	const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
	std::string bytes;
	unsigned bits = 0, count = 0;
	for (char c : text) {
		std::size_t v = digits.find(c);
		if (v == std::string::npos)
			break;
		bits = bits << 6 | static_cast<unsigned>(v);
		if ((count += 6) >= 8) {
			count -= 8;
			bytes += static_cast<char>(bits >> count & 0xFF);
		}
	}
	return bytes;
}

struct Shown {
	std::string check;
	video::Frame thumbnail;
};

// The page's figures in order: their frame check and decoded picture.
std::vector<Shown> FiguresOf(const std::string &page)
{
	std::vector<Shown> shown;
	for (std::size_t at = page.find("<figure"); at != std::string::npos;
	     at = page.find("<figure", at + 1)) {
		std::size_t check = page.find("data-check=\"", at) + 12;
		std::size_t data = page.find("src=\"data:image/png;base64,", at) + 27;
		Shown s{ page.substr(check, page.find('"', check) - check), {} };
		EXPECT_TRUE(video::DecodePng(FromBase64(page.substr(data, page.find('"', data) - data)),
					     s.thumbnail));
		shown.push_back(std::move(s));
	}
	return shown;
}

// Camera 0 of the fixture: before each look put in ('+') or taken away
// ('-'); as a camera comes, its picture's faults are the next of faults.
class FaultyFixture final : public PresenceProbe
{
public:
	FaultyFixture(fs::path dir, std::string script, std::vector<std::string> faults)
		: m_dir(std::move(dir)), m_script(std::move(script)), m_faults(std::move(faults))
	{}
	Presence Look() override
	{
		if (m_next == m_script.size()) {
			raise(SIGINT);
			return {};
		}
		bool in = m_script[m_next++] == '+';
		if (in && !m_in && m_camera < m_faults.size())
			std::ofstream(m_dir / "sim-0.picture") << m_faults[m_camera++];
		if (in)
			fs::remove(m_dir / "sim-0.absent");
		else
			std::ofstream(m_dir / "sim-0.absent").put('\n');
		m_in = in;
		return m_real.Look();
	}

private:
	EepromProbe m_real;
	fs::path m_dir;
	std::string m_script;
	std::vector<std::string> m_faults;
	std::size_t m_next = 0, m_camera = 0;
	bool m_in = false;
};

class FrameCheckLineTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		UseFreshSimulatedCamera();
		char pattern[] = "/tmp/velmora-frames-XXXXXX";
		dir = mkdtemp(pattern);
		setenv("QXIIC_SIM_DIR", dir.c_str(), 1);
		golden = (dir / "golden.qmx").string();
		// Page 3: overlays on, 2 and 3 of them (the camera powers up with 1
		// and 3); page 4: trims 0x14 and 0x0C.
		std::vector<int> bytes(2048, 0x5A);
		const int script[] = { 0x4F, 0x02, 0x80, 0x00, 0x4F, 0x08, 0x00, 0x00, 0x4F, 0x0A,
				       0x80, 0x01, 0x4F, 0x0C, 0x80, 0x02, 0x4F, 0x0E, 0x00, 0x03 };
		for (int i = 0; i < 256; i++)
			bytes[static_cast<std::size_t>(0x300 + i)] = i < 20 ? script[i] : 0xFF;
		bytes[0x400] = 0x14;
		bytes[0x401] = 0x0C;
		std::string text = "//Settings file : golden\r\n";
		char hex[4];
		for (int i = 0; i < 2048; i++) {
			std::snprintf(hex, sizeof(hex), "%02X", bytes[static_cast<std::size_t>(i)]);
			text += std::string(hex) + (i % 16 == 15 ? "\r\n" : " ");
		}
		std::ofstream(golden, std::ios::binary) << text;
	}
	void TearDown() override
	{
		setenv("QXIIC_BUS", "sim", 1);
		setenv("QXIIC_SIM_DIR", "", 1);
		fs::remove_all(dir);
	}
	int Run(const std::vector<std::string> &args, PresenceProbe *probe = nullptr)
	{
		out.str("");
		err.str("");
		std::istringstream in;
		tool::ToolEnvironment env{ in, out, err, false, false, clock };
		LineSeams seams;
		seams.probe = probe;
		seams.frameWait = [](std::chrono::steady_clock::time_point) {};
		return RunTool(args, env, seams);
	}

	SimToolClock clock;
	fs::path dir;
	std::string golden;
	std::ostringstream out, err;
};

TEST_F(FrameCheckLineTest, StationRecordsWhatEachCameraShowed)
{
	std::string report = (dir / "line.jsonl").string();
	FaultyFixture fixture(dir, "+++---+++---+++---", { "", "cast 1.4 1 1\n", "no-signal\n" });
	EXPECT_EQ(Run({ "program", "--repeat", "--yes", "--verbose", "--frame-check", "--limits", kLimits,
			"--report", report, "--station", "bench-7", golden },
		      &fixture),
		  7);
	const std::string values = "PAL 720x576 (PAL expected), 560 moving pixels (at least 100), ";
	const std::string overlays = ", overlays 2 3 (2 3 expected)";
	// Against the factory camera's reference, whose script turns on overlays 1 and 3.
	const std::string compared =
		", structure 0.91 (at least 0.75), offset 0.0 px (at most 1.0), sharpness ";
	EXPECT_EQ(
		out.str(),
		"station mode: writing pages 0-3,7 of " + golden +
			"; each unit keeps its own trim and trim table, pages 4-6; a unit without a trim "
			"gets the file's\n"
			"waiting for camera 1...\n"
			"PASS cam 1 (0.4 s)\n"
			"  5 pages (0-3,7) of " +
			golden +
			" written and verified; the unit's own trim (pages 4-6) kept; frame: " + values +
			"luminance 191.0 (160.0..220.0), red/green 1.00 (0.85..1.15), blue/green 1.00 "
			"(0.85..1.15)" +
			overlays + compared +
			"1.01 (at least 0.70)\n"
			"remove camera 1\n"
			"waiting for camera 2...\n"
			"FAIL cam 2 (0.4 s): frame: colour: " +
			values +
			"luminance 210.1 (160.0..220.0), red/green 1.34 (0.85..1.15), blue/green 1.00 "
			"(0.85..1.15)" +
			overlays + compared +
			"1.00 (at least 0.70)\n"
			"remove camera 2\n"
			"waiting for camera 3...\n"
			"FAIL cam 3 (0.4 s): frame: no signal: 0 of 5 frames from simulated camera (no signal: " +
			(dir / "sim-0.picture").string() +
			"), PAL expected\n"
			"remove camera 3\n"
			"waiting for camera 4...\n"
			"3 cameras: 1 passed, 2 failed\n");

	std::vector<json> records;
	std::istringstream lines(ReadBytes(report));
	for (std::string line; std::getline(lines, line);)
		records.push_back(json::parse(line));
	ASSERT_EQ(records.size(), 3u);
	const struct {
		const char *result, *check;
		int status;
		json luminance, redGreen;
		int height;
		// The grey area on the 75 % white bar (191); the cast's red clipped at 255.
	} expected[] = { { "verified", "passed", 0, 191.0, 1.0, 128 },
			 { "frame-failed", "colour", 7, 0.299 * 255 + 0.587 * 191 + 0.114 * 191, 255.0 / 191,
			   128 },
			 { "frame-failed", "no signal", 7, nullptr, nullptr, 128 } };
	std::vector<video::Levels> levels;
	for (std::size_t i = 0; i < records.size(); i++) {
		const json &r = records[i];
		EXPECT_EQ(r["result"], expected[i].result) << i;
		EXPECT_EQ(r["exit_status"], expected[i].status) << i;
		EXPECT_EQ(r["frame"]["check"], expected[i].check) << i;
		EXPECT_EQ(r["frame"]["standard_expected"], "PAL") << i;
		EXPECT_EQ(r["frame"]["overlays_expected"], json({ 2, 3 })) << i;
		if (expected[i].luminance.is_null()) {
			EXPECT_TRUE(r["frame"]["luminance"].is_null()) << i;
		} else {
			EXPECT_NEAR(r["frame"]["luminance"].get<double>(),
				    expected[i].luminance.get<double>(), 0.01);
			EXPECT_NEAR(r["frame"]["red_green"].get<double>(), expected[i].redGreen.get<double>(),
				    0.001);
		}
		video::Frame thumbnail;
		ASSERT_TRUE(
			video::DecodePng(ReadBytes(dir / (r["id"].get<std::string>() + ".png")), thumbnail))
			<< i;
		EXPECT_EQ(thumbnail.width, 160) << i;
		EXPECT_EQ(thumbnail.height, expected[i].height) << i;
		levels.push_back(video::Measure(thumbnail));
	}
	// The cast shows in the thumbnail: red up, green as it was; no signal is black.
	EXPECT_GT(levels[1].red, levels[0].red * 1.2);
	EXPECT_NEAR(levels[1].green, levels[0].green, 0.5);
	EXPECT_EQ(levels[2].luma, 0.0);

	std::string page = (dir / "page.html").string();
	EXPECT_EQ(Run({ "records", report, "--html", page }), 0);
	EXPECT_NE(out.str().find("Failed runs: 2 (0 EEPROM, 2 frame check)\n"), std::string::npos)
		<< out.str();
	EXPECT_EQ(Run({ "records", report, "--json" }), 0);
	json summary = json::parse(out.str());
	EXPECT_EQ(summary["eeprom_failures"], 0);
	EXPECT_EQ(summary["frame_failures"], 2);
	std::string html = ReadBytes(page);
	EXPECT_NE(html.find("img-src data:"), std::string::npos);
	std::vector<Shown> shown = FiguresOf(html);
	ASSERT_EQ(shown.size(), 3u);
	const char *checks[] = { "passed", "colour", "no signal" };
	for (std::size_t i = 0; i < shown.size(); i++) {
		EXPECT_EQ(shown[i].check, checks[i]);
		EXPECT_EQ(shown[i].thumbnail.width, 160);
		EXPECT_NEAR(video::Measure(shown[i].thumbnail).red, levels[i].red, 0.01) << i;
	}
}

// What the panel or velmora-reg left in the sensor does not count: the
// check looks at the camera as it powers up, every register a tool can
// change at its power-up value, then the stored trim (here 0x10 and 0x08)
// and the settings script.
TEST_F(FrameCheckLineTest, TheCheckSeesThePowerUpStateNotWhatToolsLeft)
{
	const std::string trimmed = WithTrim(ReadBytes(golden), "10 08");
	std::ofstream(golden, std::ios::binary) << trimmed;

	std::istringstream in;
	tool::ToolEnvironment env{ in, out, err, false, false, clock };
	ASSERT_EQ(reg_cli::RunRegTool({ "set", "mirror-flip-1=0x0101", "mirror-flip-2=0x0003", "aex-ref=0x90",
					"exposure-mode=0", "shutter=0x120", "overlay-1=0x8000",
					"trim-horizontal=0x2E", "trim-vertical=0x2E" },
				      env),
		  0)
		<< err.str();
	// The reference was taken at the factory trim, so without it: a moved
	// trim is what this unit stores.
	std::string limits = ReadBytes(kLimits);
	for (const char *key : { "reference ", "structure ", "position ", "sharpness ", "orientation " })
		limits.erase(limits.find(key), limits.find('\n', limits.find(key)) + 1 - limits.find(key));
	const std::string unreferenced = (dir / "no-reference.limits").string();
	std::ofstream(unreferenced) << limits;
	EXPECT_EQ(Run({ "program", "--yes", "--frame-check", "--limits", unreferenced, golden }), 0)
		<< out.str() << err.str();
	const struct {
		std::uint16_t reg, value;
	} after[] = {
		// at their power-up values
		{ 0x301C, 0x0100 },
		{ 0x3254, 0x0000 },
		{ 0xA812, 0x0050 },
		{ 0xA804, 0x000F },
		{ 0x3012, 0x00A6 },
		// as the script sets them
		{ 0x4F08, 0x0000 },
		{ 0x4F0A, 0x8001 },
		// the stored trim
		{ 0xC892, 0x0010 },
		{ 0xC894, 0x0008 },
	};
	for (const auto &a : after)
		EXPECT_EQ(qxiic::sim::Register(a.reg), a.value) << std::hex << a.reg;
}

// Several cameras at once, each in its own process, into the plant's
// database: the values in its columns, the thumbnails in their table, and
// the same page from there.
TEST_F(FrameCheckLineTest, SeveralCamerasIntoTheDatabase)
{
	ScratchPostgres server;
	ASSERT_EQ(server.Start(), "");
	ASSERT_EQ(server.CreateDatabase("plant"), "");
	setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
	std::ofstream(dir / "sim-1.picture") << "cast 1.4 1 1\n";
	std::ofstream(dir / "sim-2.picture") << "no-signal\n";
	EXPECT_EQ(Run({ "program", "--bus", "sim:0", "--bus", "sim:1", "--bus", "sim:2", "--yes",
			"--frame-check", "--limits", kLimits, "--station", "bench-8", "--report",
			server.Url("plant"), golden }),
		  7);
	EXPECT_EQ(
		PgRows(server.Conninfo("plant"),
		       "SELECT bus, result, frame_check, frame_standard, round(frame_luminance::numeric, 1), "
		       "round(frame_red_green::numeric, 2), frame_moving_pixels, frame_orientation, "
		       "octet_length(t.png) > 100, record ? 'thumbnail_png' FROM velmora_records r JOIN "
		       "velmora_thumbnails t USING (id) ORDER BY bus"),
		"sim:0|verified|passed|PAL|191.0|1.00|560|straight|t|f\n"
		"sim:1|frame-failed|colour|PAL|210.1|1.34|560|straight|t|f\n"
		"sim:2|frame-failed|no signal||||||t|f");
	std::string page = (dir / "page.html").string();
	EXPECT_EQ(Run({ "records", server.Url("plant"), "--html", page }), 0);
	std::vector<Shown> shown = FiguresOf(ReadBytes(page));
	ASSERT_EQ(shown.size(), 3u);
	const char *checks[] = { "passed", "colour", "no signal" };
	for (std::size_t i = 0; i < shown.size(); i++) {
		EXPECT_EQ(shown[i].check, checks[i]);
		EXPECT_EQ(shown[i].thumbnail.width, 160);
		EXPECT_EQ(shown[i].thumbnail.height, 128);
	}
	unsetenv("XDG_STATE_HOME");
}

// The overlays the check looks for: the camera powers up with 1 and 3 on,
// and the script changes what it names.
TEST(FrameCheckOverlays, TheScriptPlaysOverThePowerUpValues)
{
	const struct {
		std::vector<ScriptRecord> script;
		std::array<bool, 4> on;
	} cases[] = {
		{ {}, { true, false, true, false } },
		{ { { 0x4F02, 0x0000 } }, { false, false, false, false } },
		{ { { 0x4F0A, 0x8001 }, { 0x4F08, 0x0000 } }, { false, true, true, false } },
		{ { { 0x4F02, 0x0000 }, { 0x4F0E, 0x8003 }, { 0x4F02, 0x8000 } },
		  { true, false, true, true } },
	};
	for (const auto &c : cases)
		EXPECT_EQ(OverlaysTurnedOn(c.script), c.on) << c.script.size();
}

// A reference made from a golden unit with snapshot: each assembly fault
// of the simulated camera, and a unit that came up without its trim,
// fails with its cause in words.
TEST_F(FrameCheckLineTest, AssemblyFaultsAgainstAGoldenUnitsPicture)
{
	// The golden unit's own trim, 0x16 and 0x10, where the sensor powers
	// up with 0x14 and 0x0C: the scene 2 pixels further left, 4 further up.
	const std::string text = ReadBytes(golden), notrim = (dir / "notrim.qmx").string();
	std::ofstream(golden, std::ios::binary) << WithTrim(text, "16 10");
	std::ofstream(notrim, std::ios::binary) << WithTrim(text, "FF FF");

	// Switched off and on, as the next program run finds it.
	auto powerCycle = [&] {
		fs::remove(dir / "sim-0.sensor");
		qxiic::sim::Forget();
	};
	ASSERT_EQ(Run({ "program", "--yes", "--bus", "sim", golden }), 0) << err.str();
	powerCycle();
	ASSERT_EQ(Run({ "snapshot", "--bus", "sim", "--video", "sim", (dir / "golden.png").string() }), 0)
		<< err.str();
	const std::string limits = (dir / "golden.limits").string();
	std::string shipped = ReadBytes(kLimits);
	shipped.replace(shipped.find("reference sim-scene.png"), 23, "reference golden.png");
	std::ofstream(limits) << shipped;

	const struct {
		const char *faults, *file, *message;
	} cases[] = {
		{ "mirrored\n", "golden", "frame: orientation: the picture is mirrored left to right (" },
		{ "upside-down\n", "golden", "frame: orientation: the picture is upside down (" },
		{ "shifted -3 0\n", "golden",
		  "frame: position: the picture lies 3.0 pixels left and 0.0 down of the reference's place: is "
		  "the unit's image trim applied?; " },
		{ "soft 2\n", "golden", "frame: sharpness: the picture is soft: is the lens in focus?; " },
		{ "", "golden", "" },
		{ "", "notrim",
		  "frame: position: the picture lies 2.0 pixels right and 4.0 down of the reference's place: is "
		  "the unit's image trim applied?; " },
	};
	std::string programmed = golden;
	for (const auto &c : cases) {
		const std::string file = std::string(c.file) == "golden" ? golden : notrim;
		if (file != programmed) {
			ASSERT_EQ(Run({ "program", "--yes", "--bus", "sim", file }), 0) << err.str();
		}
		programmed = file;
		powerCycle(); // as it comes to the station
		std::ofstream(dir / "sim-0.picture") << c.faults;
		const int status = Run(
			{ "program", "--yes", "--bus", "sim", "--frame-check", "--limits", limits, file });
		EXPECT_EQ(status, *c.message ? 7 : 0) << c.faults << err.str();
		const std::string said = *c.message ? std::string("velmora-eeprom: ") + c.message : "";
		EXPECT_EQ(err.str().substr(0, said.size()), said) << c.faults;
	}
}

// What the command line must say for the frame check to run.
TEST_F(FrameCheckLineTest, UsageOfItsOptions)
{
	const struct {
		std::vector<std::string> args;
		std::string error;
	} cases[] = {
		{ { "program", "--yes", "--frame-check", "g" },
		  "--frame-check needs --limits FILE: what the picture must show" },
		{ { "program", "--yes", "--limits", "l", "g" }, "--limits goes with --frame-check" },
		{ { "verify", "--frame-check", "g" }, "--frame-check belongs to program" },
		{ { "program", "--yes", "--frame-check", "--limits", kLimits, "--video", "sim:1", "g" },
		  "--video takes BUS=DEV, a bus and its capture device" },
		{ { "program", "--yes", "--frame-check", "--limits", kLimits, "--bus", "/dev/i2c-3", "g" },
		  "--frame-check: the camera on /dev/i2c-3 has no capture device; pair it with --video BUS=DEV" },
		{ { "program", "--yes", "--frame-check", "--limits", kLimits, "--bus", "sim:0", "--video",
		    "sim:1=/dev/video0", "g" },
		  "--video sim:1=/dev/video0: sim:1 is no camera of this run" },
		{ { "program", "--yes", "--frame-check", "--limits", kLimits, "--bus", "sim:0", "--video",
		    "sim:0=/dev/null", "g" },
		  "--video sim:0=/dev/null: /dev/null is not a capture device: Inappropriate ioctl for device" },
		{ { "program", "--yes", "--frame-check", "--limits", golden, "--bus", "sim:0", "g" },
		  "the limits " + golden + ": line 1: no setting \"//Settings\"" },
	};
	for (const auto &c : cases) {
		EXPECT_EQ(Run(c.args), 2) << c.error;
		EXPECT_EQ(err.str(), "velmora-eeprom: " + c.error + " (see velmora-eeprom --help)\n");
	}
	EXPECT_TRUE(qxiic::sim::Trace().empty());
}

} // namespace
