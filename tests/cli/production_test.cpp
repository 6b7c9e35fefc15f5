// velmora-eeprom on several simulated cameras at once, in station mode and
// under Ctrl+C: exit statuses, the lines printed, the files and records left.
#include "CameraRecord.h"
#include "Fleet.h"
#include "Production.h"
#include "Station.h"
#include "StopRequest.h"
#include "ToolMain.h"
#include "camera_process.h"
#include "qxiic.h"
#include "qxiic_sim.h"
#include "sim_tool_clock.h"
#include "simulated_camera.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sim = qxiic::sim;
namespace fs = std::filesystem;
using namespace eeprom_cli;
using nlohmann::json;
using tool::ToolEnvironment;

namespace {

// Calls at(phase, steps done) at each phase's start and after every step.
class Hooked final : public Progress
{
public:
	Hooked(Progress &inner, std::function<void(const std::string &, int)> at)
		: m_inner(inner), m_at(std::move(at))
	{}
	void Begin(const char *phase, int total) override
	{
		m_phase = phase;
		m_steps = 0;
		m_inner.Begin(phase, total);
		m_at(m_phase, 0);
	}
	void Step() override
	{
		m_inner.Step();
		m_at(m_phase, ++m_steps);
	}
	void End() override { m_inner.End(); }

private:
	Progress &m_inner;
	std::function<void(const std::string &, int)> m_at;
	std::string m_phase;
	int m_steps = 0;
};

// The hook shapes camera N of the simulator before and while the tool
// works on "sim:N".
using CameraHook = std::function<void(const std::string &bus, const std::string &phase, int step)>;

CameraRunner HookedRunner(CameraHook hook, ToolClock &clock)
{
	return [hook, &clock](const CameraJob &job, Progress &progress) {
		if (job.bus.starts_with("sim:"))
			sim::SelectCamera(std::stoi(job.bus.substr(4)));
		Hooked hooked(progress,
			      [&](const std::string &phase, int step) { hook(job.bus, phase, step); });
		return RunCamera(job, clock, hooked);
	};
}

// What shapes the cameras of a run on several buses, each in its own
// process; the test names one in VELMORA_TEST_CAMERA_HOOK.
const std::map<std::string, CameraHook> &CameraProcessHooks()
{
	static const std::map<std::string, CameraHook> hooks = {
		// One camera fails its third block, one does not keep a byte,
		// one's process dies.
		{ "side-by-side",
		  [](const std::string &bus, const std::string &phase, int step) {
			  if (bus == "sim:1" && phase == "write" && step == 0)
				  sim::AddFault({ sim::Call::SendSub, 0xA0, 0x20, QXIIC_TIMEOUT, 0, 1 });
			  if (bus == "sim:2" && phase == "verify" && step == 0)
				  sim::SetEepromByte(5 * 256 + 0x33, 0x00);
			  if (bus == "sim:4")
				  raise(SIGKILL);
		  } },
		{ "first-byte-by-bus", [](const std::string &bus, const std::string &,
					  int) { sim::SetEepromByte(0, bus == "sim:0" ? 0xA0 : 0xA1); } },
	};
	return hooks;
}

std::string ReadText(const std::string &path)
{
	std::ifstream in(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<json> Records(const std::string &path)
{
	std::vector<json> records;
	std::istringstream lines(ReadText(path));
	for (std::string line; std::getline(lines, line);)
		records.push_back(json::parse(line));
	return records;
}

// sha256sum, not the tool's own digest.
std::string Sha256Sum(const std::string &path)
{
	FILE *pipe = popen(("sha256sum '" + path + "'").c_str(), "r");
	char hex[65] = {};
	if (pipe) {
		if (std::fscanf(pipe, "%64s", hex) != 1)
			hex[0] = 0;
		pclose(pipe);
	}
	return hex;
}

class ProductionTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		UseFreshSimulatedCamera();
		std::string pattern = (fs::temp_directory_path() / "velmora-line-XXXXXX").string();
		dir = mkdtemp(pattern.data());
		golden = (dir / "golden.qmx").string();
		report = (dir / "line.jsonl").string();
		// 8 pages of 0x5A.
		std::string text = "//Settings file : golden\r\n";
		for (int i = 0; i < 2048; i++)
			text += i % 16 == 15 ? "5A\r\n" : "5A ";
		std::ofstream(golden, std::ios::binary) << text;
	}
	void TearDown() override
	{
		setenv("QXIIC_BUS", "sim", 1);
		fs::remove_all(dir);
	}

	int Run(const std::vector<std::string> &args, CameraHook hook = {}, bool inTerminal = false,
		bool errTerminal = false, const std::string &input = "")
	{
		out.str("");
		err.str("");
		std::istringstream in(input);
		ToolEnvironment env{ in, out, err, inTerminal, errTerminal, clock };
		LineSeams seams;
		if (hook)
			seams.runner = HookedRunner(hook, clock);
		seams.probe = probe;
		return RunTool(args, env, seams);
	}

	// Several cameras, each in a process of this test program's own.
	int RunCameraProcesses(const std::vector<std::string> &args, const char *hook)
	{
		setenv("VELMORA_TEST_CAMERA_HOOK", hook, 1);
		int status = Run(args);
		unsetenv("VELMORA_TEST_CAMERA_HOOK");
		return status;
	}

	SimToolClock clock;
	PresenceProbe *probe = nullptr;
	fs::path dir;
	std::string golden;
	std::string report;
	std::ostringstream out;
	std::ostringstream err;
};

TEST(ProgressLineTest, FitsTheTerminalWidth)
{
	const struct {
		const char *label;
		const char *phase;
		int done;
		int total;
		int columns;
		const char *line;
	} cases[] = {
		{ "", "write", 64, 128, 80, "write [####################                    ]  50%" },
		{ "", "write", 64, 128, 30, "write [########        ]  50%" },
		{ "sim:1", "verify", 128, 128, 30, "sim:1 verify [#########] 100%" },
		{ "sim:1", "verify", 0, 128, 20, "sim:1 verify   0%" },
		{ "/dev/i2c-10", "write", 1, 2, 12, "/dev/i2c-10" },
	};
	for (const auto &c : cases)
		EXPECT_EQ(ProgressLine(c.label, c.phase, c.done, c.total, c.columns), c.line) << c.columns;
}

// One line per camera, all redrawn in place when one of them changes.
TEST(ProgressLineTest, OneLinePerCamera)
{
	std::ostringstream text;
	CameraLines lines(text, { "sim:0", "/dev/i2c-3" }, 40);
	lines.Show(0, "write", 64, 128);
	lines.Show(1, "write", 128, 128);
	lines.Show(1, "write", 128, 128);
	EXPECT_EQ(text.str(), "\r\x1b[2Ksim:0      write [#######        ]  50%\n"
			      "\r\x1b[2K/dev/i2c-3 waiting [             ]   0%\n"
			      "\x1b[2A"
			      "\r\x1b[2Ksim:0      write [#######        ]  50%\n"
			      "\r\x1b[2K/dev/i2c-3 write [###############] 100%\n");
}

TEST(CameraRecordTest, OneJsonObjectPerLine)
{
	CameraRecord record;
	record.time = 1700000000;
	record.host = "bench-2";
	record.bus = "/dev/i2c-3";
	record.adapter = "CP2112 SMBus Bridge";
	record.command = "program";
	record.file = "golden \"A\".qmx";
	record.sha256 = "ab12";
	record.pages = 8;
	operations::Result mismatch;
	mismatch.outcome = operations::Outcome::Mismatch;
	mismatch.direction = eeprom::Direction::Verify;
	mismatch.page = 3;
	mismatch.byte = 0x10;
	mismatch.expected = 0x5A;
	record.outcome = { kMismatch, "verification failed", mismatch, "x" };
	record.durationUs = 1234567;
	std::string line = RecordLine(record);
	ASSERT_EQ(line.back(), '\n');
	ASSERT_EQ(line.find('\n'), line.size() - 1);
	EXPECT_EQ(json::parse(line),
		  json::parse(R"({"time":"2023-11-14T22:13:20Z","host":"bench-2","bus":"/dev/i2c-3",
			"adapter":"CP2112 SMBus Bridge","command":"program","file":"golden \"A\".qmx",
			"sha256":"ab12","pages":8,"result":"mismatch","exit_status":5,
			"first_difference":{"page":3,"byte":16,"found":0,"expected":90},"failure":null,
			"message":"verification failed","duration_ms":1234.5})"));

	const std::string path = ::testing::TempDir() + "velmora-records.jsonl";
	std::remove(path.c_str());
	EXPECT_EQ(AppendRecordLine(path, "{\"a\":1}\n"), "");
	EXPECT_EQ(AppendRecordLine(path, "{\"a\":2}\n"), "");
	EXPECT_EQ(ReadText(path), "{\"a\":1}\n{\"a\":2}\n");
	std::remove(path.c_str());
	EXPECT_EQ(AppendRecordLine("/nonexistent/dir/r.jsonl", "{}\n"), "No such file or directory");
}

// --all: the allowed buses on which the camera answered, nothing else.
TEST(FileForBusTest, AllMeansEveryAllowedBusWithACamera)
{
	using iicbus::CameraSeen;
	std::vector<iicbus::BusListing> listing = {
		{ "/dev/i2c-3", "CP2112", true, true, "allowed", CameraSeen::Answers },
		{ "/dev/i2c-4", "CP2112", true, true, "allowed", CameraSeen::Silent },
		{ "/dev/i2c-0", "i801", false, false, "not usb", CameraSeen::NotProbed },
		{ "/dev/i2c-7", "CP2112", true, true, "allowed", CameraSeen::Answers },
	};
	EXPECT_EQ(CameraBuses(listing), (std::vector<std::string>{ "/dev/i2c-3", "/dev/i2c-7" }));
}

TEST(FileForBusTest, OneFilePerBus)
{
	EXPECT_EQ(FileForBus("cam-{bus}.qmx", "/dev/i2c-3"), "cam-i2c-3.qmx");
	EXPECT_EQ(FileForBus("cam-{bus}.qmx", "sim:2"), "cam-sim:2.qmx");
	EXPECT_EQ(FileForBus("x/{bus}-{bus}", "/dev/serial/a"), "x/serial_a-serial_a");
}

std::string ReadAll(int fd)
{
	std::string text;
	char buffer[256];
	for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
		text.append(buffer, static_cast<size_t>(n));
	close(fd);
	return text;
}

// A camera's process reports on descriptor 3 and holds no other camera's
// pipe: a second one started while the first one's is open cannot see it.
TEST(FleetTest, ACameraProcessHoldsOnlyItsOwnPipe)
{
	int first = -1, second = -1;
	std::string why;
	// Descriptor 3 taken, so that the first pipe's cannot be the number
	// a camera's process reports on.
	int placeholder = open("/dev/null", O_RDONLY | O_CLOEXEC);
	pid_t one = SpawnWithReportPipe("/bin/sh", { "-c", "echo first >&3" }, first, why);
	ASSERT_GT(one, 0) << why;
	std::string look = "[ -e /proc/$$/fd/" + std::to_string(first) +
			   " ] && echo inherited >&3; echo second >&3";
	pid_t two = SpawnWithReportPipe("/bin/sh", { "-c", look }, second, why);
	ASSERT_GT(two, 0) << why;
	EXPECT_EQ(fcntl(second, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
	EXPECT_EQ(ReadAll(second), "second\n");
	EXPECT_EQ(ReadAll(first), "first\n");
	waitpid(one, nullptr, 0);
	waitpid(two, nullptr, 0);
	close(placeholder);

	EXPECT_EQ(SpawnWithReportPipe("/nonexistent/tool", {}, first, why), -1);
	EXPECT_EQ(why, "no process for the camera: No such file or directory");
}

// One camera fails its third block, one does not keep a byte, one's process
// dies, the rest verify; none holds up another.
TEST_F(ProductionTest, SeveralCamerasSideBySide)
{
	EXPECT_EQ(RunCameraProcesses({ "program", "-y", "--report", report, "--bus", "sim:0", "--bus",
				       "sim:1", "--bus", "sim:2", "--bus", "sim:3", "--bus=sim:4", golden },
				     "side-by-side"),
		  5);
	EXPECT_EQ(
		err.str(),
		"sim:0: verified: 8 pages of " + golden + " written and verified\n" +
			"sim:1: bus-failure: writing EEPROM page 0 at byte 0x20 failed: TIMEOUT, no response; "
			"the EEPROM is partly written and not verified\n" +
			"sim:2: mismatch: verification failed: EEPROM page 5 byte 0x33 is 0x00, the file has 0x5A\n" +
			"sim:3: verified: 8 pages of " + golden + " written and verified\n" +
			"sim:4: bus-failure: the camera's process ended without a result (signal 9 (Killed))\n");
	EXPECT_EQ(out.str(), "5 cameras: 2 succeeded, 3 failed\n");

	std::vector<json> records = Records(report);
	ASSERT_EQ(records.size(), 5u);
	const struct {
		const char *bus;
		const char *adapter;
		const char *result;
		int status;
		double ms;
		json difference;
		json failure;
	} expected[] = {
		{ "sim:0", "simulated camera 0", "verified", 0, 640.0, nullptr, nullptr },
		{ "sim:1",
		  "simulated camera 1",
		  "bus-failure",
		  4,
		  5.0,
		  nullptr,
		  { { "direction", "write" },
		    { "status", 4 },
		    { "status_name", "QXIIC_TIMEOUT" },
		    { "device", 0xA0 },
		    { "page", 0 },
		    { "block", 2 },
		    { "byte", 0x20 },
		    { "timed_out", false } } },
		{ "sim:2",
		  "simulated camera 2",
		  "mismatch",
		  5,
		  640.0,
		  { { "page", 5 }, { "byte", 0x33 }, { "found", 0 }, { "expected", 0x5A } },
		  nullptr },
		{ "sim:3", "simulated camera 3", "verified", 0, 640.0, nullptr, nullptr },
		{ "sim:4", "", "bus-failure", 4, 0.0, nullptr, nullptr },
	};
	std::string sha = Sha256Sum(golden);
	ASSERT_EQ(sha.size(), 64u);
	for (size_t i = 0; i < records.size(); i++) {
		const json &r = records[i];
		EXPECT_EQ(r["bus"], expected[i].bus);
		EXPECT_EQ(r["result"], expected[i].result) << i;
		EXPECT_EQ(r["exit_status"], expected[i].status) << i;
		EXPECT_EQ(r["first_difference"], expected[i].difference) << i;
		EXPECT_EQ(r["failure"], expected[i].failure) << i;
		EXPECT_EQ(r["duration_ms"], expected[i].ms) << i;
		EXPECT_EQ(r["command"], "program");
		EXPECT_EQ(r["adapter"], expected[i].adapter);
		EXPECT_EQ(r["file"], golden);
		EXPECT_EQ(r["sha256"], sha);
		EXPECT_EQ(r["pages"], 8);
		EXPECT_EQ(r["host"], HostName());
		EXPECT_EQ(r["time"].get<std::string>().size(), 20u);
	}

	// dump: one file per camera, each what its camera holds.
	EXPECT_EQ(RunCameraProcesses(
			  { "--bus", "sim:0", "--bus", "sim:1", "dump", (dir / "cam-{bus}.qmx").string() },
			  "first-byte-by-bus"),
		  0)
		<< err.str();
	EXPECT_NE(ReadText((dir / "cam-sim:0.qmx").string()).find("\r\nA0 "), std::string::npos);
	EXPECT_NE(ReadText((dir / "cam-sim:1.qmx").string()).find("\r\nA1 "), std::string::npos);
}

// What a camera's own process had to tell reaches the operator under its bus.
TEST_F(ProductionTest, EachCamerasNoticesAreShown)
{
	std::string trace = (dir / "missing" / "trace.log").string();
	setenv("QXIIC_TRACE", trace.c_str(), 1);
	Run({ "--bus", "sim:0", "--bus", "sim:1", "verify", golden });
	unsetenv("QXIIC_TRACE");
	for (const char *bus : { "sim:0", "sim:1" }) {
		std::string line = std::string(bus) + ": warning: cannot write the trace to " + trace +
				   ": No such file or directory\n";
		EXPECT_NE(err.str().find(line), std::string::npos) << err.str();
	}
}

// A refused file is a result for every camera of the run, and nothing
// reaches any of them.
TEST_F(ProductionTest, ARefusedFileIsRecordedForEachCamera)
{
	std::string bad = (dir / "bad.qmx").string();
	std::ofstream(bad) << "garbage\n";
	EXPECT_EQ(Run({ "program", "-y", "--report", report, "--bus", "sim:0", "--bus", "sim:1", bad }), 3);
	EXPECT_TRUE(sim::Trace().empty());
	std::vector<json> records = Records(report);
	ASSERT_EQ(records.size(), 2u);
	for (size_t i = 0; i < records.size(); i++) {
		EXPECT_EQ(records[i]["bus"], i == 0 ? "sim:0" : "sim:1");
		EXPECT_EQ(records[i]["result"], "refused");
		EXPECT_EQ(records[i]["exit_status"], 3);
		EXPECT_EQ(records[i]["pages"], 0);
		EXPECT_EQ(records[i]["sha256"],
			  "233d4809807d21d1b24ae54639eede42f519dcbe35ca71d51bd051bca59c6a68");
	}
}

// A byte that does not keep its value is found at the first, a middle and
// the last place of a 16-byte block, by verify and by program.
TEST_F(ProductionTest, DifferenceAtEveryPlaceOfABlock)
{
	for (int place : { 0x30, 0x37, 0x3F }) {
		CameraHook stuck = [place](const std::string &, const std::string &phase, int step) {
			if (phase == "verify" && step == 0)
				sim::SetEepromByte(4 * 256 + place, 0x11);
		};
		char expected[128];
		std::snprintf(
			expected, sizeof(expected),
			"velmora-eeprom: verification failed: EEPROM page 4 byte 0x%02x is 0x11, the file "
			"has 0x5A\n",
			place);
		EXPECT_EQ(Run({ "program", "--yes", golden }, stuck), 5);
		EXPECT_EQ(err.str(), expected);
		sim::SetEepromByte(4 * 256 + place, 0x5A);
		EXPECT_EQ(Run({ "verify", golden }), 0) << err.str();
		sim::SetEepromByte(4 * 256 + place, 0x11);
		EXPECT_EQ(Run({ "verify", golden }), 5);
		EXPECT_EQ(err.str(), expected);
		sim::SetEepromByte(4 * 256 + place, 0x5A);
	}
}

// Asking depends on standard input alone: a terminal on standard error
// cannot answer, and one on standard input can without a bar.
TEST_F(ProductionTest, ConfirmationLooksAtStandardInput)
{
	EXPECT_EQ(Run({ "program", golden }, {}, false, true, "y\n"), 2);
	EXPECT_EQ(err.str(), "velmora-eeprom: program writes the camera's EEPROM and standard input is not a "
			     "terminal to confirm on: give --yes; nothing was written\n");
	EXPECT_EQ(Run({ "program", golden }, {}, true, false, "y\n"), 0);
	EXPECT_EQ(err.str(), "Write 8 page(s) of " + golden + " into the camera's EEPROM on bus sim? [y/N] ");
}

TEST_F(ProductionTest, UsageOfTheLineOptions)
{
	const struct {
		std::vector<std::string> args;
		const char *err;
	} cases[] = {
		{ { "verify", "--repeat", "f" }, "--repeat belongs to program" },
		{ { "program", "--repeat", "--bus", "sim:0", "--bus", "sim:1", "f" },
		  "--repeat takes one bus" },
		{ { "dump", "--bus", "sim:0", "--bus", "sim:1", "f.qmx" },
		  "dump from several buses needs {bus} in the file name, as in cam-{bus}.qmx" },
		{ { "verify", "--bus", "sim", "--bus", "sim", "f" }, "bus sim is given twice" },
		{ { "verify", "f", "--report" }, "--report needs a file" },
		{ { "verify", "--camera-process", "f" },
		  "--camera-process is how velmora-eeprom starts itself" },
	};
	for (const auto &c : cases) {
		EXPECT_EQ(Run(c.args), 2) << c.err;
		EXPECT_EQ(err.str(),
			  std::string("velmora-eeprom: ") + c.err + " (see velmora-eeprom --help)\n");
	}
}

// Present or absent as scripted; at the end of the script, Ctrl+C.
class ScriptedProbe final : public PresenceProbe
{
public:
	explicit ScriptedProbe(std::vector<bool> script, std::string trouble = "")
		: m_script(std::move(script)), m_trouble(std::move(trouble))
	{}
	std::string BusTrouble() override { return m_trouble; }
	bool CameraAnswers() override
	{
		if (m_next == m_script.size()) {
			raise(SIGINT);
			return false;
		}
		return m_script[m_next++];
	}

private:
	std::vector<bool> m_script;
	std::string m_trouble;
	size_t m_next = 0;
};

// An operator waiting at a bus that cannot be opened is told why, once.
TEST_F(ProductionTest, StationSaysOnceWhyTheBusCannotBeOpened)
{
	ScriptedProbe script({ false, false, false }, "open /dev/i2c-5: EACCES (Permission denied)");
	probe = &script;
	Run({ "program", "--repeat", "--yes", golden });
	EXPECT_EQ(out.str(), "waiting for camera 1...\n"
			     "the bus cannot be opened: open /dev/i2c-5: EACCES (Permission denied)\n"
			     "0 cameras: 0 passed, 0 failed\n");
}

TEST_F(ProductionTest, StationProgramsCameraAfterCamera)
{
	ScriptedProbe script({ false, true, true, false, false, true, false });
	probe = &script;
	int cameras = 0;
	CameraHook secondStuck = [&cameras](const std::string &, const std::string &phase, int step) {
		if (phase == "write" && step == 0)
			cameras++;
		if (cameras == 2 && phase == "verify" && step == 0)
			sim::SetEepromByte(2 * 256 + 0x10, 0x00);
	};
	EXPECT_EQ(Run({ "program", "--repeat", "--yes", "--report", report, golden }, secondStuck), 5);
	EXPECT_EQ(out.str(), "waiting for camera 1...\n"
			     "PASS cam 1 8 pages of " +
				     golden +
				     " written and verified (0.6 s)\n"
				     "remove camera 1\n"
				     "waiting for camera 2...\n"
				     "FAIL cam 2 page 2 byte 0x10 is 0x00, the file has 0x5A (0.6 s)\n"
				     "remove camera 2\n"
				     "waiting for camera 3...\n"
				     "2 cameras: 1 passed, 1 failed\n");
	std::vector<json> records = Records(report);
	ASSERT_EQ(records.size(), 2u);
	EXPECT_EQ(records[0]["camera"], 1);
	EXPECT_EQ(records[0]["result"], "verified");
	EXPECT_EQ(records[1]["camera"], 2);
	EXPECT_EQ(records[1]["result"], "mismatch");
}

// A camera is there when its EEPROM gives its first byte.
TEST_F(ProductionTest, EepromProbeReadsOneByte)
{
	EepromProbe eeprom;
	sim::ClearTrace();
	EXPECT_TRUE(eeprom.CameraAnswers());
	std::vector<sim::TraceEntry> trace = sim::Trace();
	ASSERT_EQ(trace.size(), 3u);
	EXPECT_EQ(trace[1].call, sim::Call::ReceiveSub);
	EXPECT_EQ(trace[1].device, 0xA0);
	EXPECT_EQ(trace[1].subAddress, 0);
	EXPECT_EQ(trace[1].count, 1);
	sim::SetPlugged(false);
	EXPECT_FALSE(eeprom.CameraAnswers());
	EXPECT_EQ(eeprom.BusTrouble(), "") << "the bus opened; the camera is away";
	setenv("QXIIC_BUS", "none", 1);
	EXPECT_FALSE(eeprom.CameraAnswers());
	EXPECT_EQ(eeprom.BusTrouble(),
		  "\"none\" names no bus: use sim, sim:0 to sim:7 or a path such as /dev/i2c-1");
	setenv("QXIIC_BUS", "sim", 1);
}

CameraHook CtrlCAfterStep(int stop)
{
	return [stop](const std::string &, const std::string &, int step) {
		if (step == stop)
			raise(SIGINT);
	};
}

// Ctrl+C lets the block on the wire finish, then nothing more is written.
TEST_F(ProductionTest, InterruptedProgramNamesTheBlockReached)
{
	std::vector<std::uint8_t> factory;
	for (int a = 0; a < 2048; a++)
		factory.push_back(sim::EepromByte(a));
	sim::ClearTrace();
	EXPECT_EQ(Run({ "program", "--yes", "--report", report, golden }, CtrlCAfterStep(40)), 130);
	EXPECT_EQ(err.str(), "velmora-eeprom: interrupted before page 2 block 8 (byte 0x80): every block "
			     "before it is written, the rest is not; the camera must be programmed again\n");
	for (int a = 0; a < 2048; a++)
		ASSERT_EQ(sim::EepromByte(a), a < 2 * 256 + 0x80 ? 0x5A : factory[a]) << a;
	int written = 0;
	for (const sim::TraceEntry &e : sim::Trace())
		written += e.call == sim::Call::SendSub && e.status == 0;
	EXPECT_EQ(written, 40);
	std::vector<json> records = Records(report);
	ASSERT_EQ(records.size(), 1u);
	EXPECT_EQ(records[0]["result"], "interrupted");
	EXPECT_EQ(records[0]["exit_status"], 130);
}

TEST_F(ProductionTest, InterruptedDumpLeavesNoFile)
{
	std::string cam = (dir / "cam.qmx").string();
	EXPECT_EQ(Run({ "dump", cam }, CtrlCAfterStep(40)), 130);
	EXPECT_EQ(err.str(),
		  "velmora-eeprom: interrupted before page 2 block 8 (byte 0x80); no file was written\n");
	EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1); // golden.qmx alone
}

} // namespace

int RunTestCameraProcess(const std::vector<std::string> &args)
{
	sim::UseManualClock(true);
	SimToolClock clock;
	std::istringstream in;
	std::ostringstream out;
	std::ostringstream err;
	ToolEnvironment env{ in, out, err, false, false, clock };
	LineSeams seams;
	const char *hook = std::getenv("VELMORA_TEST_CAMERA_HOOK");
	if (hook && CameraProcessHooks().contains(hook))
		seams.runner = HookedRunner(CameraProcessHooks().at(hook), clock);
	return RunTool(args, env, seams);
}
