// velmora-eeprom buses: one line per bus, exit status 0 only when the
// camera answers on exactly one.
#include "BusesCommand.h"
#include "ExitStatus.h"
#include "ToolMain.h"
#include "qxiic_sys.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using iicbus::BusListing;
using iicbus::CameraSeen;

const BusListing kSmbus{
	"/dev/i2c-0",
	"SMBus I801 adapter at efa0",
	false,
	false,
	"refusing /dev/i2c-0: its adapter \"SMBus I801 adapter at efa0\" is the PC's own SMBus "
	"controller",
	CameraSeen::NotProbed
};
const BusListing kCp2112{ "/dev/i2c-3",       "CP2112 SMBus Bridge on hidraw0", true, true, "allowed",
			  CameraSeen::Answers };
const BusListing kMcp2221{
	"/dev/i2c-7", "MCP2221 usb-i2c bridge", true, true, "allowed", CameraSeen::Silent
};

TEST(BusesTest, OneLinePerBusAndTheStatusSaysWhetherOneCameraWasFound)
{
	const struct {
		const char *what;
		std::vector<BusListing> buses;
		int status;
		const char *out;
		const char *err;
	} cases[] = {
		{ "one camera",
		  { kSmbus, kCp2112, kMcp2221 },
		  tool::kSuccess,
		  "/dev/i2c-0  \"SMBus I801 adapter at efa0\"  not USB  refused: its adapter \"SMBus I801 adapter "
		  "at efa0\" is the PC's own SMBus controller  not probed\n"
		  "/dev/i2c-3  \"CP2112 SMBus Bridge on hidraw0\"  USB  allowed  camera answers\n"
		  "/dev/i2c-7  \"MCP2221 usb-i2c bridge\"  USB  allowed  no camera\n",
		  "" },
		{ "no camera",
		  { kMcp2221 },
		  tool::kBusFailure,
		  "/dev/i2c-7  \"MCP2221 usb-i2c bridge\"  USB  allowed  no camera\n",
		  "velmora-eeprom: the camera answers on no bus the tool may use\n" },
		{ "two cameras",
		  { kCp2112, kCp2112 },
		  tool::kBusFailure,
		  "/dev/i2c-3  \"CP2112 SMBus Bridge on hidraw0\"  USB  allowed  camera answers\n"
		  "/dev/i2c-3  \"CP2112 SMBus Bridge on hidraw0\"  USB  allowed  camera answers\n",
		  "velmora-eeprom: the camera answers on 2 buses: name one with --bus\n" },
		{ "no bus",
		  {},
		  tool::kBusFailure,
		  "",
		  "velmora-eeprom: no i2c-dev bus at all (is the i2c-dev module loaded?)\n" },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.what);
		std::ostringstream out, err;
		EXPECT_EQ(eeprom_cli::ListBuses(c.buses, out, err), c.status);
		EXPECT_EQ(out.str(), c.out);
		EXPECT_EQ(err.str(), c.err);
	}
}

// Through the tool and the library, on a sysfs tree whose nodes are
// missing: nothing is probed, and each bus says why.
TEST(BusesTest, ToolListsWhatTheLibraryFinds)
{
	namespace fs = std::filesystem;
	char pattern[] = "/tmp/velmora-buses-XXXXXX";
	ASSERT_NE(mkdtemp(pattern), nullptr);
	const fs::path root = pattern;
	fs::create_directories(root / "class/i2c-dev/i2c-0");
	std::ofstream(root / "class/i2c-dev/i2c-0/name") << "SMBus I801 adapter at efa0\n";
	fs::create_directories(root / "devices/usb1/1-2/1-2:1.0/i2c-3");
	fs::create_directories(root / "bus/usb");
	fs::create_directory_symlink(root / "bus/usb", root / "devices/usb1/1-2/subsystem");
	fs::create_directories(root / "class/i2c-dev/i2c-3");
	fs::create_directory_symlink(root / "devices/usb1/1-2/1-2:1.0/i2c-3",
				     root / "class/i2c-dev/i2c-3/device");
	std::ofstream(root / "class/i2c-dev/i2c-3/name") << "CP2112 SMBus Bridge on hidraw0\n";
	qxiic::sys::UseSysfsRoot(root.c_str());
	qxiic::sys::UseDevRoot((root / "dev").c_str());

	std::istringstream in;
	std::ostringstream out, err;
	tool::ToolEnvironment env{ in, out, err, false, false, tool::ToolClock::Real() };
	EXPECT_EQ(eeprom_cli::RunTool({ "buses" }, env), tool::kBusFailure);
	const std::string dev = (root / "dev").string();
	EXPECT_EQ(out.str(),
		  dev +
			  "/i2c-0  \"SMBus I801 adapter at efa0\"  not USB  refused: its adapter \"SMBus "
			  "I801 adapter at efa0\" is the PC's own SMBus controller, where 0x50..0x57 are "
			  "the memory modules' SPD EEPROMs that a camera EEPROM write would overwrite; "
			  "set QXIIC_ALLOW_BUS=1 to use it anyway  not probed\n" +
			  dev + "/i2c-3  \"CP2112 SMBus Bridge on hidraw0\"  USB  refused: open " + dev +
			  "/i2c-3: ENOENT (No such file or directory)  not probed\n");
	EXPECT_EQ(err.str(), "velmora-eeprom: the camera answers on no bus the tool may use\n");

	qxiic::sys::UseSysfsRoot(nullptr);
	qxiic::sys::UseDevRoot(nullptr);
	fs::remove_all(root);
}

} // namespace
