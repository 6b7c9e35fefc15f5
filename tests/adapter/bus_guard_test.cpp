// Which buses the library agrees to open: the PC's own SMBus controller
// (the memory modules' SPD EEPROMs sit at 0x50..0x57) only with
// QXIIC_ALLOW_SMBUS=1, and only i2c-dev nodes at all.
#include "i2cdev_fixture.h"

#include <unistd.h>

namespace {

// Bus 5 with the given adapter name: the status of one register read
// and whether the node saw an i2c ioctl at all.
struct Outcome {
	unsigned short status;
	bool touched;
};

class BusGuardTest : public I2cDevTest
{
protected:
	Outcome ReadOn(const std::string &adapterName)
	{
		SetAdapterName(5, adapterName);
		kernel().calls.clear();
		unsigned short st = 0;
		Fetch(0xBA, 2, 0x3012, 2, &st);
		bool touched = false;
		for (const std::string &call : kernel().calls)
			touched = touched || call.rfind("ioctl", 0) == 0;
		return { st, touched };
	}
};

TEST_F(BusGuardTest, PcSmbusControllersAreRefusedUnlessAllowed)
{
	const struct {
		const char *name;
		bool refused;
	} cases[] = {
		{ "SMBus I801 adapter at efa0", true },
		{ "SMBus PIIX4 adapter port 0 at 0b00", true },
		{ "SMBus AMD756 adapter at 50e0", true },
		{ "SMBus nForce2 adapter at 4c00", true },
		{ "SMBus Via Pro adapter at 0400", true },
		{ "SiS96x SMBus adapter at 0x0c00", true },
		{ "SMBus ALi 1563 Adapter @ 0800", true },
		{ "CP2112 SMBus Bridge on hidraw0", false },
		{ "MCP2221 usb-i2c bridge", false },
		{ "FT260 usb-i2c bridge", false },
		{ "i2c-tiny-usb at bus 001 device 007", false },
		{ "dln2-i2c", false },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.name);
		Outcome o = ReadOn(c.name);
		EXPECT_EQ(o.status, c.refused ? QXIIC_INIT_ERROR : QXIIC_OK);
		EXPECT_EQ(o.touched, !c.refused);
	}

	setenv("QXIIC_ALLOW_SMBUS", "yes", 1); // only "1" is the override
	EXPECT_EQ(ReadOn("SMBus I801 adapter at efa0").status, QXIIC_INIT_ERROR);
	setenv("QXIIC_ALLOW_SMBUS", "1", 1);
	Outcome allowed = ReadOn("SMBus I801 adapter at efa0");
	EXPECT_EQ(allowed.status, QXIIC_OK);
	EXPECT_TRUE(allowed.touched);
}

// Without the adapter's name nobody can tell it is not the SMBus.
TEST_F(BusGuardTest, UnknownAdapterNameIsRefusedUnlessAllowed)
{
	std::filesystem::remove_all(sysfs / "class");
	unsigned short st = 0;
	Fetch(0xBA, 2, 0x3012, 2, &st);
	EXPECT_EQ(st, QXIIC_INIT_ERROR);
	EXPECT_EQ(Transactions(), 0);

	setenv("QXIIC_ALLOW_SMBUS", "1", 1);
	Fetch(0xBA, 2, 0x3012, 2, &st);
	EXPECT_EQ(st, QXIIC_OK);
}

TEST_F(BusGuardTest, RefusalTellsWhyOnceOnStandardError)
{
	SetAdapterName(5, "SMBus I801 adapter at efa0");
	testing::internal::CaptureStderr();
	WriteRegister(0x3012, 1);
	WriteRegister(0x3012, 2);
	std::string err = testing::internal::GetCapturedStderr();
	EXPECT_EQ(err, "qxiic: refusing /dev/i2c-5: its adapter \"SMBus I801 adapter at efa0\" is "
		       "the PC's own SMBus controller, where 0x50..0x57 are the memory modules' SPD "
		       "EEPROMs that a camera EEPROM write would overwrite; set QXIIC_ALLOW_SMBUS=1 "
		       "to use it anyway\n");
}

// Only a name that leads to an i2c-N node is opened: no i2c ioctl ever
// reaches some other device.
TEST_F(BusGuardTest, OnlyI2cDevNodesAreOpened)
{
	for (const char *bus : { "/dev/sda", "/dev/i2c-", "/dev/i2c-5x", "/dev/ttyUSB0", "i2c-5" }) {
		SCOPED_TRACE(bus);
		setenv("QXIIC_BUS", bus, 1);
		kernel().systemCalls = 0;
		EXPECT_EQ(WriteRegister(0x3012, 1), QXIIC_DEVICE_NOT_FOUND);
		EXPECT_EQ(kernel().systemCalls, 0);
	}
}

// A udev symlink such as /dev/kl310 counts as the node it points to.
TEST_F(BusGuardTest, SymlinkIsCheckedAsItsTarget)
{
	std::filesystem::path node = sysfs / "i2c-5";
	std::filesystem::path link = sysfs / "kl310";
	std::ofstream(node).put('\n');
	std::filesystem::create_symlink(node, link);
	kernel().busPath = link.string();
	setenv("QXIIC_BUS", link.c_str(), 1);

	EXPECT_EQ(WriteRegister(0x3012, 1), QXIIC_OK);
	SetAdapterName(5, "SMBus PIIX4 adapter port 0 at 0b00");
	EXPECT_EQ(WriteRegister(0x3012, 1), QXIIC_INIT_ERROR);
	EXPECT_EQ(Transactions(), 1);
}

// With the kernel's own calls: a bus that is not there fails every
// transfer with "device not found" and leaves the caller's buffer alone.
TEST_F(BusGuardTest, MissingBusFailsCleanlyOnTheRealSystem)
{
	fake::Uninstall();
	setenv("QXIIC_BUS", "/nonexistent/i2c-42", 1);
	int h = IICInit(0xBA, 20000, 1000);
	ASSERT_GT(h, 0);
	unsigned char buf[2] = { 0x5A, 0x5A };
	EXPECT_EQ(SendSub(h, 2, 0x3012, buf, 2, 0), QXIIC_DEVICE_NOT_FOUND);
	EXPECT_EQ(ReceiveSub(h, 2, 0x3012, buf, 2, 0), QXIIC_DEVICE_NOT_FOUND);
	EXPECT_EQ(Receive(h, buf, 0, 2), QXIIC_DEVICE_NOT_FOUND);
	EXPECT_EQ(buf[0], 0x5A);
	EXPECT_EQ(IICClose(h), 0);
	EXPECT_EQ(IICInit(0xBA, 20000, 1000), h) << "the failed handle's slot is free again";
	IICClose(h);
}

} // namespace
