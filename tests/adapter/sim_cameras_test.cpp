// The simulated cameras sim:0..sim:7: each its own, each keeping its
// EEPROM in its own file, so that what one run wrote the next one reads.
#include "adapter_fixture.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {

class SimCamerasTest : public AdapterTest
{
protected:
	void SetUp() override
	{
		AdapterTest::SetUp();
		char pattern[] = "/tmp/qxiic-sim-XXXXXX";
		ASSERT_NE(mkdtemp(pattern), nullptr);
		dir = pattern;
		setenv("QXIIC_SIM_DIR", dir.c_str(), 1);
	}
	void TearDown() override
	{
		setenv("QXIIC_BUS", "sim", 1);
		setenv("QXIIC_SIM_DIR", "", 1);
		qxiic::sim::Reset();
		std::filesystem::remove_all(dir);
	}
	unsigned short WriteEepromOn(const char *bus, std::uint8_t value)
	{
		setenv("QXIIC_BUS", bus, 1);
		qxiic::sim::AdvanceClock(qxiic::sim::kEepromWriteCycleUs);
		return Send(0xA6, 1, 0x10, { value });
	}
	int EepromOn(const char *bus)
	{
		setenv("QXIIC_BUS", bus, 1);
		Bytes b = Fetch(0xA6, 1, 0x10, 1);
		return b.empty() ? -1 : b[0];
	}
	int SensorOn(const char *bus, std::uint16_t reg)
	{
		setenv("QXIIC_BUS", bus, 1);
		Bytes b = Fetch(0xBA, 2, reg, 2);
		return b.empty() ? -1 : b[0] << 8 | b[1];
	}
	static std::vector<std::string> Notices()
	{
		std::vector<std::string> out;
		char text[512];
		while (IICTakeNotice(text, sizeof text) == 1)
			out.emplace_back(text);
		return out;
	}
	std::filesystem::path dir;
};

// A camera keeps its registers while it stays powered: another program
// finds what this one set, until the camera is power-cycled.
TEST_F(SimCamerasTest, SensorRegistersStayUntilPowerCycle)
{
	setenv("QXIIC_BUS", "sim:2", 1);
	ASSERT_EQ(Send(0xBA, 2, 0x3012, { 0x01, 0x00 }), QXIIC_OK);
	qxiic::sim::Forget(); // as a new process
	EXPECT_EQ(SensorOn("sim:2", 0x3012), 0x0100);
	EXPECT_EQ(SensorOn("sim:3", 0x3012), 0x00A6) << "another camera";
	EXPECT_FALSE(std::filesystem::exists(dir / "sim-3.sensor")) << "read, never changed";

	std::filesystem::remove(dir / "sim-2.sensor"); // the power cycle
	EXPECT_EQ(SensorOn("sim:2", 0x3012), 0x00A6) << "without a new process";
	EXPECT_EQ(SensorOn("sim:2", 0x4000), 0x0006);
	EXPECT_EQ(Notices(), std::vector<std::string>{});
}

// As it powers up the camera takes its stored trim and plays its settings
// script (page 3 from its first byte, up to the erased rest); a trim of
// 0xFF (none stored) leaves the power-on trim.
TEST_F(SimCamerasTest, PowerCycleRunsTheStoredTrimAndScript)
{
	setenv("QXIIC_BUS", "sim:2", 1);
	qxiic::sim::UseManualClock(true);
	auto write = [](int device, int offset, Bytes bytes) {
		qxiic::sim::AdvanceClock(qxiic::sim::kEepromWriteCycleUs);
		return Send(device, 1, offset, bytes);
	};
	ASSERT_EQ(
		write(0xA6, 0x00, { 0x4F, 0x02, 0x80, 0x00, 0x4F, 0x0C, 0x80, 0x02, 0x30, 0x12, 0x01, 0x20 }),
		QXIIC_OK);
	ASSERT_EQ(write(0xA6, 0x10, { 0xA8, 0x12, 0x00, 0x77 }),
		  QXIIC_OK); // after the erased rest: never played
	ASSERT_EQ(write(0xA8, 0x00, { 0x08, 0x10 }), QXIIC_OK);
	ASSERT_EQ(Send(0xBA, 2, 0x4F02, { 0x00, 0x00 }), QXIIC_OK);

	std::filesystem::remove(dir / "sim-2.sensor"); // the power cycle
	const struct {
		std::uint16_t reg;
		int value;
	} powered[] = { { 0xC892, 0x0008 }, { 0xC894, 0x0010 }, { 0x4F02, 0x8000 }, { 0x4F0C, 0x8002 },
			{ 0x3012, 0x0120 }, { 0xA812, 0x0050 }, { 0x4000, 0x0006 }, { 0x4F0A, 0x0001 } };
	for (const auto &p : powered)
		EXPECT_EQ(SensorOn("sim:2", p.reg), p.value) << std::hex << p.reg;

	ASSERT_EQ(write(0xA8, 0x00, { 0xFF, 0xFF }), QXIIC_OK);
	ASSERT_EQ(Send(0xBA, 2, 0xC892, { 0x00, 0x2E }), QXIIC_OK);
	std::filesystem::remove(dir / "sim-2.sensor");
	EXPECT_EQ(SensorOn("sim:2", 0xC892), 0x0014);
	EXPECT_EQ(SensorOn("sim:2", 0xC894), 0x000C);

	// A full script, 64 records to the page's end, the last one played
	// too: record n sets the shutter to n.
	for (int offset = 0; offset < 256; offset += 16) {
		Bytes records;
		for (int n = offset / 4 + 1; n <= offset / 4 + 4; n++)
			records.insert(records.end(), { 0x30, 0x12, 0x00, static_cast<std::uint8_t>(n) });
		ASSERT_EQ(write(0xA6, offset, records), QXIIC_OK);
	}
	ASSERT_EQ(Send(0xBA, 2, 0x3012, { 0x00, 0x01 }), QXIIC_OK);
	std::filesystem::remove(dir / "sim-2.sensor");
	EXPECT_EQ(SensorOn("sim:2", 0x3012), 64);
	qxiic::sim::UseManualClock(false);
}

// Two programs on one camera take turns: neither loses the other's writes.
TEST_F(SimCamerasTest, TwoProcessesOnOneCameraKeepBothTheirWrites)
{
	constexpr int kWrites = 60;
	pid_t children[2];
	for (int child = 0; child < 2; child++) {
		children[child] = fork();
		ASSERT_GE(children[child], 0);
		if (children[child] == 0) {
			setenv("QXIIC_BUS", "sim:1", 1);
			int failed = 0;
			for (int i = 0; i < kWrites; i++) {
				qxiic::sim::AdvanceClock(qxiic::sim::kEepromWriteCycleUs);
				failed += Send(0xA0, 1, child * kWrites + i,
					       { static_cast<std::uint8_t>(i) }) != 0;
			}
			_exit(failed == 0 && Notices().empty() ? 0 : 1);
		}
	}
	for (pid_t child : children) {
		int status = -1;
		waitpid(child, &status, 0);
		EXPECT_EQ(status, 0);
	}
	qxiic::sim::Forget();
	setenv("QXIIC_BUS", "sim:1", 1);
	Bytes page = Fetch(0xA0, 1, 0, 2 * kWrites);
	ASSERT_EQ(page.size(), 2u * kWrites);
	for (int i = 0; i < 2 * kWrites; i++)
		EXPECT_EQ(page[static_cast<std::size_t>(i)], i % kWrites) << "byte " << i;
	for (const auto &entry : std::filesystem::directory_iterator(dir))
		EXPECT_TRUE(entry.path().filename() == "sim-1.eeprom" ||
			    entry.path().filename() == "sim-1.lock")
			<< entry.path() << " left behind";
}

// Something that is not a file where a file should be is left alone and
// said, never opened blocking; and a camera with nowhere to keep its state
// says that it keeps nothing.
TEST_F(SimCamerasTest, StateFilesAreRefusedWhenTheyAreNotFiles)
{
	ASSERT_EQ(mkfifo((dir / "sim-1.eeprom").c_str(), 0600), 0);
	std::filesystem::create_directory(dir / "sim-1.sensor");
	EXPECT_EQ(EepromOn("sim:1"), 0xFF);
	setenv("QXIIC_BUS", "sim:1", 1);
	EXPECT_EQ(Send(0xBA, 2, 0x3012, { 0x01, 0x00 }), QXIIC_OK);
	EXPECT_EQ(Notices(), (std::vector<std::string>{
				     "the simulated camera does not use " + (dir / "sim-1.eeprom").string() +
					     ": it is a FIFO, not a file",
				     "the simulated camera does not use " + (dir / "sim-1.sensor").string() +
					     ": it is a directory, not a file" }));
	EXPECT_EQ(SensorOn("sim:1", 0x3012), 0x0100) << "the camera in memory carries on";

	const char *home = std::getenv("HOME");
	const std::string savedHome = home ? home : "";
	unsetenv("QXIIC_SIM_DIR");
	unsetenv("XDG_STATE_HOME");
	unsetenv("HOME");
	EXPECT_EQ(EepromOn("sim:1"), 0xFF);
	EXPECT_EQ(Notices(),
		  std::vector<std::string>{ "the simulated cameras keep nothing between runs: neither "
					    "XDG_STATE_HOME nor HOME names a folder (QXIIC_SIM_DIR can)" });
	if (home)
		setenv("HOME", savedHome.c_str(), 1);
}

// The XDG base directory rules: folders made 0700, folders found kept as
// they are.
TEST_F(SimCamerasTest, StateFoldersAreMadePrivate)
{
	std::filesystem::create_directory(dir / "shared");
	chmod((dir / "shared").c_str(), 0755);
	setenv("QXIIC_SIM_DIR", (dir / "shared/state/velmora").c_str(), 1);
	ASSERT_EQ(WriteEepromOn("sim:0", 0x42), QXIIC_OK);
	auto mode = [&](const char *sub) {
		struct stat st;
		return stat((dir / sub).c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
	};
	EXPECT_EQ(mode("shared"), 0755u);
	EXPECT_EQ(mode("shared/state"), 0700u);
	EXPECT_EQ(mode("shared/state/velmora"), 0700u);
	EXPECT_EQ(mode("shared/state/velmora/sim-0.eeprom"), 0600u);
}

TEST_F(SimCamerasTest, EachCameraKeepsItsOwnEepromAcrossRuns)
{
	ASSERT_EQ(WriteEepromOn("sim:2", 0x22), QXIIC_OK);
	ASSERT_EQ(WriteEepromOn("sim:5", 0x55), QXIIC_OK);
	ASSERT_EQ(WriteEepromOn("sim", 0x10), QXIIC_OK);

	qxiic::sim::Forget(); // as a new process
	const struct {
		const char *bus;
		int value;
	} cases[] = {
		{ "sim", 0x10 }, { "sim:0", 0x10 }, { "sim:2", 0x22 }, { "sim:5", 0x55 }, { "sim:7", 0xFF },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.bus);
		EXPECT_EQ(EepromOn(c.bus), c.value);
	}
	EXPECT_TRUE(std::filesystem::exists(dir / "sim-2.eeprom"));
	EXPECT_FALSE(std::filesystem::exists(dir / "sim-7.eeprom")) << "read, never written";

	// A file that is not a whole EEPROM is not taken for one.
	std::filesystem::resize_file(dir / "sim-5.eeprom", 100);
	qxiic::sim::Forget();
	EXPECT_EQ(EepromOn("sim:5"), 0xFF);
}

// A file the camera did not write that way is said once, kept aside under
// a name of its own, and the camera starts from factory content.
TEST_F(SimCamerasTest, DamagedFilesAreKeptAsideAndSaid)
{
	const struct {
		const char *file;
		std::string content;
		const char *problem;
	} cases[] = {
		{ "sim-0.eeprom", std::string(100, '\x42'), "100 bytes, not 2048" },
		{ "sim-0.eeprom", "", "0 bytes, not 2048" },
		{ "sim-0.sensor", "garbage\n", "line 1 is not a register and a value in hex" },
		{ "sim-0.sensor", "3012 0100\n301c 01", "it ends inside a line" },
		{ "sim-0.sensor", "3012 0100\n301c 0100\n", "register 3056 is missing" },
		{ "sim-0.sensor", "", "register 3012 is missing" },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.problem);
		// Twice: a second damaged file is kept beside the first.
		std::vector<std::filesystem::path> kept;
		for (int round = 0; round < 2; round++) {
			std::ofstream(dir / c.file, std::ios::binary) << c.content;
			qxiic::sim::Forget();
			EXPECT_EQ(EepromOn("sim:0"), 0xFF);
			EXPECT_EQ(SensorOn("sim:0", 0x3012), 0x00A6);
			std::vector<std::string> notices = Notices();
			ASSERT_EQ(notices.size(), 1u);
			const std::string start = "the simulated camera's " +
						  std::string(c.file[6] == 'e' ? "EEPROM" : "sensor") +
						  " file " + (dir / c.file).string() + " is damaged (" +
						  c.problem + "): kept as " + (dir / c.file).string() +
						  ".damaged-";
			ASSERT_EQ(notices[0].substr(0, start.size()), start);
			// NAME.damaged-20261208T053500Z (-2 after it when that is taken)
			const std::size_t end = notices[0].find(';', start.size());
			EXPECT_GE(end - start.size(), 16u);
			std::filesystem::path aside = notices[0].substr(0, end).substr(
				start.find("kept as ") + 8);
			EXPECT_TRUE(notices[0].ends_with(
				c.file[6] == 'e' ? "; the camera starts from factory content"
						 : "; the sensor starts from its power-up values"));
			std::ifstream held(aside, std::ios::binary);
			EXPECT_EQ(std::string(std::istreambuf_iterator<char>(held), {}), c.content) << aside;
			kept.push_back(aside);
			EXPECT_EQ(SensorOn("sim:0", 0x3012), 0x00A6);
			EXPECT_EQ(Notices(), std::vector<std::string>{}) << "said once";
		}
		EXPECT_NE(kept[0], kept[1]);
		for (const auto &file : kept)
			std::filesystem::remove(file);
		std::filesystem::remove(dir / c.file);
	}
}

// Without its lock a program would write the camera while another does:
// nothing goes over its bus then, and the front end is told why.
TEST_F(SimCamerasTest, NoTransferWithoutTheLock)
{
	const std::string lock = (dir / "sim-4.lock").string();
	const struct {
		const char *what;
		std::function<void()> make;
		std::string reason;
	} cases[] = {
		{ "directory", [&] { std::filesystem::create_directory(lock); },
		  lock + " is a directory, not a file" },
		{ "symbolic link", [&] { std::filesystem::create_symlink(dir / "elsewhere", lock); },
		  lock + ": Too many levels of symbolic links" },
		{ "FIFO", [&] { mkfifo(lock.c_str(), 0600); }, lock + " is a FIFO, not a file" },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.what);
		c.make();
		EXPECT_EQ(WriteEepromOn("sim:4", 0x44), QXIIC_INIT_ERROR);
		char reason[512];
		EXPECT_EQ(IICBusState(nullptr, 0, reason, sizeof reason), QXIIC_INIT_ERROR);
		EXPECT_EQ(reason,
			  "the simulated camera cannot be locked against other programs: " + c.reason);
		EXPECT_FALSE(std::filesystem::exists(dir / "sim-4.eeprom"));
		std::filesystem::remove(lock);
	}
	EXPECT_EQ(WriteEepromOn("sim:4", 0x44), QXIIC_OK) << "with the lock back";
}

// A file where the folder should be: the camera keeps nothing, and says so.
TEST_F(SimCamerasTest, AFileGivenAsTheFolder)
{
	std::ofstream(dir / "plain") << "x";
	setenv("QXIIC_SIM_DIR", (dir / "plain").c_str(), 1);
	EXPECT_EQ(WriteEepromOn("sim:0", 0x42), QXIIC_OK);
	qxiic::sim::AdvanceClock(qxiic::sim::kEepromWriteCycleUs);
	EXPECT_EQ(EepromOn("sim:0"), 0x42) << "in memory";
	EXPECT_EQ(Notices(), std::vector<std::string>{ "the simulated cameras keep nothing between runs: " +
						       (dir / "plain").string() + " is not a folder" });
}

// A write replaces the file whole: whoever holds the old one (a copy in
// progress, a hard link) keeps the old content.
TEST_F(SimCamerasTest, AWriteReplacesTheFileWhole)
{
	ASSERT_EQ(WriteEepromOn("sim:1", 0x11), QXIIC_OK);
	std::filesystem::create_hard_link(dir / "sim-1.eeprom", dir / "before");
	ASSERT_EQ(WriteEepromOn("sim:1", 0x12), QXIIC_OK);
	// Device 0xA6 is page 3: the byte at 3 * 256 + 0x10.
	for (const auto &[name, value] : { std::pair{ "before", 0x11 }, std::pair{ "sim-1.eeprom", 0x12 } }) {
		std::ifstream file(dir / name, std::ios::binary);
		file.seekg(0x310);
		EXPECT_EQ(file.get(), value) << name;
	}
}

TEST_F(SimCamerasTest, OnlyTheCamerasThatExistAreSimulated)
{
	for (const char *bus : { "sim:8", "sim:9", "sim:01", "sim:12", "sim:", "sim:a", "sim:-1", "sim: 1",
				 "sim1", "simulator", "SIM" }) {
		SCOPED_TRACE(bus);
		EXPECT_EQ(EepromOn(bus), -1);
	}
	qxiic::sim::SelectCamera(3);
	qxiic::sim::SetPlugged(false);
	EXPECT_EQ(EepromOn("sim:3"), -1);
	EXPECT_EQ(EepromOn("sim:4"), 0xFF) << "unplugging one camera leaves the others";
}

} // namespace

// The bus a front end chose wins over QXIIC_BUS until the choice is handed
// back; the environment is read again at the very next open.
TEST_F(SimCamerasTest, TheChosenBusWinsOverTheEnvironment)
{
	WriteEepromOn("sim:1", 0x11);
	WriteEepromOn("sim:2", 0x22);
	qxiic::sim::AdvanceClock(qxiic::sim::kEepromWriteCycleUs);
	setenv("QXIIC_BUS", "sim:1", 1);
	IICSelectBus("sim:2");
	EXPECT_EQ(Fetch(0xA6, 1, 0x10, 1), Bytes{ 0x22 });
	IICSelectBus("none");
	EXPECT_TRUE(Fetch(0xA6, 1, 0x10, 1).empty());
	IICSelectBus(nullptr);
	EXPECT_EQ(Fetch(0xA6, 1, 0x10, 1), Bytes{ 0x11 });
	EXPECT_STREQ(getenv("QXIIC_BUS"), "sim:1");
}
