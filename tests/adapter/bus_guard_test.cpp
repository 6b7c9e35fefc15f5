// Which bus the library opens: a named one only if it is an i2c-dev node
// of a USB-attached adapter (or the override is set); with none named,
// the one USB-to-I2C adapter present, or the one of several on which the
// camera answers. Nothing is ever opened that is not such a node.
#include "i2cdev_fixture.h"

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using On = I2cDevTest::On;

struct Found {
	int status;
	std::string bus;
	std::string reason;
	std::vector<std::string> opened; // nodes opened, in turn
};

class BusGuardTest : public I2cDevTest
{
protected:
	Found Open()
	{
		kernel().opened.clear();
		int h = IICInit(0xBA, 20000, 1000);
		IICClose(h);
		char bus[200] = "";
		char reason[400] = "";
		int status = IICBusState(bus, sizeof bus, reason, sizeof reason);
		return { status, bus, reason, kernel().opened };
	}
	std::string Path(const char *name) const { return (sysfs / name).string(); }
};

TEST_F(BusGuardTest, NamedBusIsOpenedOnlyWhenItIsAUsbI2cDevNode)
{
	const std::string dir = Path("plain-dir"), file = Path("i2c-3"), fifo = Path("i2c-4");
	std::filesystem::create_directories(dir);
	std::ofstream(file) << "\n";
	ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
	const std::string cp2112 = "CP2112 SMBus Bridge on hidraw0";
	const char *noBus = ", not an i2c-dev bus (a character device of major 89)";
	const char *anyway = "; set QXIIC_ALLOW_BUS=1 to use it anyway";
	const struct {
		const char *what;
		std::string bus;
		unsigned type, major;
		std::string adapter;
		On on;
		int status;
		std::string reason;
	} cases[] = {
		{ "CP2112 on USB", "/dev/i2c-5", S_IFCHR, 89, cp2112, On::Cp2112, QXIIC_OK, "" },
		{ "udev's name for it", "/dev/kl310", S_IFCHR, 89, cp2112, On::Cp2112, QXIIC_OK, "" },
		{ "empty adapter name", "/dev/i2c-5", S_IFCHR, 89, "", On::Cp2112, QXIIC_INIT_ERROR,
		  "refusing /dev/i2c-5: its adapter's name cannot be read from " +
			  Path("class/i2c-dev/i2c-5") + "/name, so nothing shows it is a USB-to-I2C adapter" +
			  anyway },
		{ "block device", "/dev/i2c-5", S_IFBLK, 8, cp2112, On::Cp2112, QXIIC_INIT_ERROR,
		  "refusing /dev/i2c-5: it is a block device" + std::string(noBus) },
		{ "another driver's node", "/dev/i2c-5", S_IFCHR, 1, cp2112, On::Cp2112, QXIIC_INIT_ERROR,
		  "refusing /dev/i2c-5: it is a character device of another driver" + std::string(noBus) },
		{ "regular file", file, 0, 0, cp2112, On::Cp2112, QXIIC_INIT_ERROR,
		  "refusing " + file + ": it is a regular file" + noBus },
		{ "FIFO", fifo, 0, 0, cp2112, On::Cp2112, QXIIC_INIT_ERROR,
		  "refusing " + fifo + ": it is a FIFO" + noBus },
		{ "directory", dir, 0, 0, cp2112, On::Cp2112, QXIIC_INIT_ERROR,
		  "refusing " + dir + ": it is a directory" + noBus },
		{ "missing", "/nonexistent/i2c-42", 0, 0, cp2112, On::Cp2112, QXIIC_DEVICE_NOT_FOUND,
		  "open /nonexistent/i2c-42: ENOENT (No such file or directory)" },
		{ "no bus", "none", 0, 0, cp2112, On::Cp2112, QXIIC_DEVICE_NOT_FOUND,
		  "no bus was chosen (none)" },
		{ "no path", "usb", 0, 0, cp2112, On::Cp2112, QXIIC_DEVICE_NOT_FOUND,
		  "\"usb\" names no bus: use sim, sim:0 to sim:7, none or a path such as /dev/i2c-1" },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.what);
		kernel().busPath = c.type ? c.bus : "/dev/i2c-5";
		kernel().busMajor = c.type ? c.major : 89;
		if (c.type == S_IFBLK)
			kernel().nodes = { { c.bus + "-blk", S_IFBLK, c.major, 5 } };
		SetAdapterName(5, c.adapter, c.on);
		setenv("QXIIC_BUS", c.type == S_IFBLK ? (c.bus + "-blk").c_str() : c.bus.c_str(), 1);
		Found f = Open();
		kernel().nodes.clear();
		EXPECT_EQ(f.status, c.status);
		if (c.type == S_IFBLK)
			EXPECT_EQ(f.reason, "refusing " + c.bus + "-blk: it is a block device" + noBus);
		else
			EXPECT_EQ(f.reason, c.reason);
		EXPECT_EQ(f.opened.size(), c.status == QXIIC_OK ? 1u : 0u);
	}
	EXPECT_EQ(kernel().transactions.size(), 0u) << "opening sends nothing";

	// A node swapped between the check and the open for another driver's
	// device, or for another i2c-dev bus: the PC's SMBus, same major.
	kernel().busPath = "/dev/i2c-5";
	setenv("QXIIC_BUS", "/dev/i2c-5", 1);
	for (unsigned swappedMajor : { 1u, 89u }) {
		SetAdapterName(5, cp2112);
		kernel().swappedMajor = swappedMajor;
		kernel().calls.clear();
		Found swapped = Open();
		EXPECT_EQ(swapped.status, QXIIC_INIT_ERROR);
		EXPECT_EQ(swapped.reason,
			  "refusing /dev/i2c-5: the opened node is not the i2c-dev bus that was checked");
		EXPECT_EQ(kernel().calls, (std::vector<std::string>{ "open /dev/i2c-5", "close" }));
	}
	kernel().swappedMajor = 0;

	// The override opens i2c-dev buses only; its older name does the same.
	setenv("QXIIC_ALLOW_BUS", "1", 1);
	setenv("QXIIC_BUS", file.c_str(), 1);
	EXPECT_EQ(Open().status, QXIIC_INIT_ERROR);
	unsetenv("QXIIC_ALLOW_BUS");
	setenv("QXIIC_ALLOW_SMBUS", "1", 1);
	setenv("QXIIC_BUS", "/dev/i2c-5", 1);
	SetAdapterName(5, "SMBus I801 adapter at efa0", On::I801);
	EXPECT_EQ(Open().status, QXIIC_OK);
}

// Every adapter the library may meet, laid out as its driver registers
// it, named and not named, with the override at its one documented value
// and at values that must not count as consent.
TEST_F(BusGuardTest, EveryKernelLayoutIsJudgedByItsUsbParent)
{
	const std::string dev = Path("dev");
	qxiic::sys::UseDevRoot(dev.c_str());
	const std::string smbus = "\" is the PC's own SMBus controller, where 0x50..0x57 are the memory "
				  "modules' SPD EEPROMs that a camera EEPROM write would overwrite; set "
				  "QXIIC_ALLOW_BUS=1 to use it anyway";
	const std::string notUsb = "\" is not attached through USB (a display, SMBus or system bus, where a "
				   "camera EEPROM write could overwrite another device's EEPROM); set "
				   "QXIIC_ALLOW_BUS=1 to use it anyway";
	const struct {
		On on;
		const char *name;
		bool usb;
		std::string refusal; // of the bus named, without the override
	} layouts[] = {
		{ On::Cp2112, "CP2112 SMBus Bridge on hidraw0", true, "" },
		{ On::Mcp2221, "MCP2221 usb-i2c bridge", true, "" },
		{ On::Ft260, "FT260 usb-i2c bridge", true, "" },
		{ On::TinyUsb, "i2c-tiny-usb at bus 001 device 005", true, "" },
		{ On::Dln2, "dln2-i2c-1-6:1.0-0", true, "" },
		{ On::I801, "SMBus I801 adapter at efa0", false, smbus },
		{ On::Piix4, "SMBus PIIX4 adapter port 0 at 0b00", false, smbus },
		{ On::I915, "i915 gmbus dpb", false, notUsb },
		{ On::Amdgpu, "AMDGPU DM i2c hw bus 0", false, notUsb },
		{ On::Nouveau, "nvkm-0000:01:00.0-bus-0005", false, notUsb },
		{ On::Soc, "bcm2835 (i2c@7e804000)", false, notUsb },
	};
	const struct {
		const char *value; // nullptr: unset
		bool overrides;
	} overrides[] = { { nullptr, false }, { "1", true },      { "0", false },
			  { "no", false },    { "false", false }, { "", false } };
	const std::string node = dev + "/i2c-4";
	for (const auto &l : layouts) {
		SCOPED_TRACE(l.name);
		std::filesystem::remove_all(sysfs / "class");
		kernel().nodes = { { node, S_IFCHR, 89, 4, true } };
		SetAdapterName(4, l.name, l.on);
		for (const auto &o : overrides) {
			SCOPED_TRACE(o.value ? std::string("QXIIC_ALLOW_BUS=") + o.value : "no override");
			if (o.value)
				setenv("QXIIC_ALLOW_BUS", o.value, 1);
			else
				unsetenv("QXIIC_ALLOW_BUS");
			setenv("QXIIC_BUS", node.c_str(), 1);
			Found named = Open();
			bool allowed = l.usb || o.overrides;
			EXPECT_EQ(named.status, allowed ? QXIIC_OK : QXIIC_INIT_ERROR);
			EXPECT_EQ(named.reason,
				  allowed ? ""
					  : "refusing " + node + ": its adapter \"" + l.name + l.refusal);
			// Unnamed, only a USB adapter is ever taken, override or not.
			unsetenv("QXIIC_BUS");
			Found found = Open();
			EXPECT_EQ(found.status, l.usb ? QXIIC_OK : QXIIC_DEVICE_NOT_FOUND);
			EXPECT_EQ(found.bus, l.usb ? l.name + (" (" + node + ")") : "no adapter");
			EXPECT_EQ(found.opened,
				  l.usb ? std::vector<std::string>{ node } : std::vector<std::string>{});
		}
	}
	unsetenv("QXIIC_ALLOW_BUS");
	EXPECT_EQ(kernel().transactions.size(), 0u) << "opening sends nothing";
	qxiic::sys::UseDevRoot(nullptr);
}

// The adapter is looked up once per node; a node of another adapter is
// judged anew.
TEST_F(BusGuardTest, TheVerdictIsKeptForTheSameNodeOnly)
{
	auto callsPerOpen = [this] {
		long before = kernel().systemCalls;
		Found f = Open();
		EXPECT_EQ(f.status, QXIIC_OK);
		return kernel().systemCalls - before;
	};
	// stat, name open/read/close, open, fstat, I2C_FUNCS, close; then
	// the same without the name.
	EXPECT_EQ(callsPerOpen(), 8);
	EXPECT_EQ(callsPerOpen(), 5);

	SetAdapterName(5, "SMBus I801 adapter at efa0", On::I801); // another adapter, another node
	EXPECT_EQ(Open().status, QXIIC_INIT_ERROR);

	// A node that stays while sysfs shows another adapter (made by hand,
	// not by devtmpfs) is looked up again too.
	SetAdapterName(5, "CP2112 SMBus Bridge on hidraw0", On::Cp2112);
	EXPECT_EQ(Open().status, QXIIC_OK);
	unsigned long inode = kernel().busInode;
	SetAdapterName(5, "SMBus I801 adapter at efa0", On::I801);
	kernel().busInode = inode;
	EXPECT_EQ(Open().status, QXIIC_INIT_ERROR);
}

TEST_F(BusGuardTest, WithNoBusNamedTheOneUsbAdapterIsFound)
{
	std::filesystem::remove_all(sysfs / "class");
	const std::string dev = Path("dev");
	qxiic::sys::UseDevRoot(dev.c_str());
	struct Adapter {
		int number;
		const char *name;
		On on;
		bool camera;
	};
	const struct {
		const char *what;
		std::vector<Adapter> adapters;
		int status;
		std::string bus;
		std::vector<std::string> opened;
	} cases[] = {
		{ "none", {}, QXIIC_DEVICE_NOT_FOUND, "no adapter", {} },
		{ "two adapters, the camera on the second",
		  { { 0, "SMBus I801 adapter at efa0", On::I801, true },
		    { 3, "CP2112 SMBus Bridge on hidraw0", On::Cp2112, false },
		    { 7, "MCP2221 usb-i2c bridge", On::Mcp2221, true } },
		  QXIIC_OK,
		  "MCP2221 usb-i2c bridge (" + dev + "/i2c-7)",
		  { dev + "/i2c-3", dev + "/i2c-7" } },
		{ "two adapters, the camera on both",
		  { { 3, "CP2112 SMBus Bridge on hidraw0", On::Cp2112, true },
		    { 7, "MCP2221 usb-i2c bridge", On::Mcp2221, true } },
		  QXIIC_DEVICE_NOT_FOUND,
		  "several adapters",
		  { dev + "/i2c-3", dev + "/i2c-7" } },
	};
	unsetenv("QXIIC_BUS");
	for (const auto &c : cases) {
		SCOPED_TRACE(c.what);
		std::filesystem::remove_all(sysfs / "class");
		kernel().nodes.clear();
		for (const Adapter &a : c.adapters) {
			SetAdapterName(a.number, a.name, a.on);
			kernel().nodes.push_back({ dev + "/i2c-" + std::to_string(a.number), S_IFCHR, 89,
						   static_cast<unsigned>(a.number), a.camera });
		}
		Found f = Open();
		EXPECT_EQ(f.status, c.status);
		EXPECT_EQ(f.bus, c.bus);
		EXPECT_EQ(f.opened, c.opened);
	}
	EXPECT_EQ(Open().reason,
		  "2 USB-to-I2C adapters found and the camera answers on 2 of them: CP2112 SMBus "
		  "Bridge on hidraw0 (" +
			  dev + "/i2c-3), MCP2221 usb-i2c bridge (" + dev +
			  "/i2c-7); name one with QXIIC_BUS or --bus");
	std::filesystem::remove_all(sysfs / "class");
	EXPECT_EQ(Open().reason, "no USB-to-I2C adapter found");
	qxiic::sys::UseDevRoot(nullptr);
}

TEST_F(BusGuardTest, ScanListsEveryBusAndProbesOnlyTheAllowedOnes)
{
	std::filesystem::remove_all(sysfs / "class");
	const std::string dev = Path("dev");
	qxiic::sys::UseDevRoot(dev.c_str());
	SetAdapterName(0, "SMBus I801 adapter at efa0", On::I801);
	SetAdapterName(3, "CP2112 SMBus Bridge on hidraw0", On::Cp2112);
	kernel().nodes = { { dev + "/i2c-0", S_IFCHR, 89, 0, true },
			   { dev + "/i2c-3", S_IFCHR, 89, 3, true } };
	char text[2000];
	int length = IICScanBuses(text, sizeof text);
	EXPECT_EQ(std::string(text),
		  dev + "/i2c-0\tSMBus I801 adapter at efa0\tnot usb\trefusing " + dev +
			  "/i2c-0: its adapter \"SMBus I801 adapter at efa0\" is the PC's own "
			  "SMBus controller, where 0x50..0x57 are the memory modules' SPD "
			  "EEPROMs that a camera EEPROM write would overwrite; set "
			  "QXIIC_ALLOW_BUS=1 to use it anyway\tnot probed\t0\n" +
			  dev + "/i2c-3\tCP2112 SMBus Bridge on hidraw0\tusb\tallowed\tcamera\t0\n");
	EXPECT_EQ(length, static_cast<int>(std::strlen(text)));
	EXPECT_EQ(kernel().opened, std::vector<std::string>{ dev + "/i2c-3" });
	qxiic::sys::UseDevRoot(nullptr);
}

} // namespace
