// The simulated cameras sim:0..sim:7: each its own, each keeping its
// EEPROM in its own file, so that what one run wrote the next one reads.
#include "adapter_fixture.h"

#include <filesystem>
#include <fstream>
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
	std::filesystem::path dir;
};

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
	for (const char *bus : { "sim:8", "sim:", "sim:-1", "simulator", "SIM" }) {
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
