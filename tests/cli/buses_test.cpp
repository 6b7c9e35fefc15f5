// velmora-eeprom buses: one line per bus, exit status 0 only when the
// camera answers on exactly one.
#include "BusesCommand.h"
#include "ExitStatus.h"

#include <gtest/gtest.h>

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
		  eeprom_cli::kSuccess,
		  "/dev/i2c-0  \"SMBus I801 adapter at efa0\"  not USB  refused: its adapter \"SMBus I801 adapter "
		  "at efa0\" is the PC's own SMBus controller  not probed\n"
		  "/dev/i2c-3  \"CP2112 SMBus Bridge on hidraw0\"  USB  allowed  camera answers\n"
		  "/dev/i2c-7  \"MCP2221 usb-i2c bridge\"  USB  allowed  no camera\n",
		  "" },
		{ "no camera",
		  { kMcp2221 },
		  eeprom_cli::kBusFailure,
		  "/dev/i2c-7  \"MCP2221 usb-i2c bridge\"  USB  allowed  no camera\n",
		  "velmora-eeprom: the camera answers on no bus the tool may use\n" },
		{ "two cameras",
		  { kCp2112, kCp2112 },
		  eeprom_cli::kBusFailure,
		  "/dev/i2c-3  \"CP2112 SMBus Bridge on hidraw0\"  USB  allowed  camera answers\n"
		  "/dev/i2c-3  \"CP2112 SMBus Bridge on hidraw0\"  USB  allowed  camera answers\n",
		  "velmora-eeprom: the camera answers on 2 buses: name one with --bus\n" },
		{ "no bus",
		  {},
		  eeprom_cli::kBusFailure,
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

} // namespace
