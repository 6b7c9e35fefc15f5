// What the panel says about its bus: title bar, About box, and the
// message when no bus could be opened; and the panel's command line.
#include "BusCaption.h"
#include "CommandLine.h"

#include "qt_access.h"

#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

TEST(BusCaptionTest, TitleAboutAndMessageNameTheBus)
{
	const iicbus::BusIdentity unknown{};
	const iicbus::BusIdentity sim{ true, true, "simulated camera", "" };
	const iicbus::BusIdentity cp2112{ true, true, "CP2112 SMBus Bridge (/dev/i2c-3)", "" };
	const iicbus::BusIdentity none{ true, false, "no adapter", "no USB-to-I2C adapter found" };
	const iicbus::BusIdentity smbus{
		true, false, "/dev/i2c-0",
		"refusing /dev/i2c-0: its adapter \"SMBus I801 adapter at efa0\" is the "
		"PC's own SMBus controller, where 0x50..0x57 are the memory modules' SPD "
		"EEPROMs that a camera EEPROM write would overwrite; set QXIIC_ALLOW_BUS=1 "
		"to use it anyway"
	};
	const iicbus::BusIdentity denied{ true, false, "CP2112 SMBus Bridge on hidraw0 (/dev/i2c-3)",
					  "open /dev/i2c-3: EACCES (Permission denied)", true };
	const struct {
		iicbus::BusIdentity bus;
		const char *title;
		const char *about;
		const char *message;
	} cases[] = {
		{ unknown, "Velmora", "Bus: not yet used", "error USB_DEVICE_NOT_FOUND" },
		{ sim, "Velmora - simulated camera", "Bus: simulated camera", "error USB_DEVICE_NOT_FOUND" },
		{ cp2112, "Velmora - CP2112 SMBus Bridge (/dev/i2c-3)",
		  "Bus: CP2112 SMBus Bridge (/dev/i2c-3)", "error USB_DEVICE_NOT_FOUND" },
		{ none, "Velmora - no adapter", "Bus: no adapter (not opened)",
		  "error USB_DEVICE_NOT_FOUND\n\nNo USB-to-I2C adapter found.\n\nPlug in the USB-to-I2C adapter "
		  "with the camera, then push Connect. See \"Which "
		  "camera\" in the guide, /usr/share/doc/velmora/guide.md." },
		// The override is not the operator's to set.
		{ smbus, "Velmora - /dev/i2c-0", "Bus: /dev/i2c-0 (not opened)",
		  "error USB_DEVICE_NOT_FOUND\n\nRefusing /dev/i2c-0: its adapter \"SMBus I801 adapter at efa0\" "
		  "is the PC's own SMBus controller, where 0x50..0x57 are the memory modules' SPD EEPROMs that a "
		  "camera EEPROM write would overwrite.\n\nSee \"Which camera\" in the guide, "
		  "/usr/share/doc/velmora/guide.md." },
		{ denied, "Velmora - CP2112 SMBus Bridge on hidraw0 (/dev/i2c-3)",
		  "Bus: CP2112 SMBus Bridge on hidraw0 (/dev/i2c-3) (not opened)",
		  "error USB_DEVICE_NOT_FOUND\n\nOpen /dev/i2c-3: EACCES (Permission denied); this user may not "
		  "open it: unplug and plug in the adapter again after installing Velmora (its udev rule gives "
		  "the logged-in user and the i2c group USB-to-I2C adapters' buses), or be added to the i2c group "
		  "and log in again.\n\nSee \"Access as a normal user\" in the guide, "
		  "/usr/share/doc/velmora/guide.md." },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.title);
		EXPECT_EQ(BusWindowTitle(c.bus), c.title);
		EXPECT_EQ(BusAboutText(c.bus), c.about);
		EXPECT_EQ(BusFailureMessage("error USB_DEVICE_NOT_FOUND", c.bus), c.message);
	}
}

TEST(PanelCommandLineTest, BusHelpVersionAndMistakes)
{
	const struct {
		std::vector<std::string> args;
		bool run;
		int status;
		std::string bus;
		std::string err;
		const char *environmentBus = nullptr;
	} cases[] = {
		{ {}, true, 0, "", "" },
		{ { "--bus", "none" }, true, 0, "none", "" },
		{ { "--bus=sim:3" }, true, 0, "sim:3", "" },
		{ { "--help" }, false, 0, "", "" },
		{ { "--version" }, false, 0, "", "" },
		{ { "--bus" }, false, 2, "", "velmora: Missing value after '--bus'. (see velmora --help)\n" },
		{ { "--bus=" }, false, 2, "", "velmora: --bus needs a bus (see velmora --help)\n" },
		{ { "--bus", "sim", "--bus=sim:1" },
		  false,
		  2,
		  "",
		  "velmora: --bus is given 2 times; the panel shows one camera (see velmora --help)\n" },
		{ { "--frobnicate" },
		  false,
		  2,
		  "",
		  "velmora: Unknown option 'frobnicate'. (see velmora --help)\n" },
		{ { "camera" },
		  false,
		  2,
		  "",
		  "velmora: unexpected argument 'camera' (see velmora --help)\n" },
		// The bus as the tools understand it (BusName.h): one routing case each way.
		{ { "--bus", "sim:9" },
		  false,
		  2,
		  "sim:9",
		  "velmora: bus 'sim:9' cannot exist: the simulated cameras are sim:0 to sim:7 (see velmora "
		  "--help)\n" },
		{ {},
		  false,
		  2,
		  "",
		  "velmora: QXIIC_BUS: bus 'sim:9' cannot exist: the simulated cameras are sim:0 to sim:7 (see "
		  "velmora --help)\n",
		  "sim:9" },
		{ { "--bus", "sim:2" }, true, 0, "sim:2", "", "sim:9" },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
		PanelCommandLine cl = ParsePanelCommandLine(c.args, c.environmentBus);
		EXPECT_EQ(cl.run, c.run);
		EXPECT_EQ(cl.status, c.status);
		EXPECT_EQ(cl.bus, c.bus);
		EXPECT_EQ(cl.err, c.err);
	}
	EXPECT_EQ(ParsePanelCommandLine({ "--version" }).out, "velmora (Velmora) 5.4\n");
	EXPECT_NE(ParsePanelCommandLine({ "-h" }).out.find("--bus BUS"), std::string::npos);
}

// A panel started from a menu has no terminal: its refusal is a message
// box, and it still ends with the usage status.
TEST(PanelCommandLineTest, RefusalIsAMessageBox)
{
	QString shown;
	toolkit::SetMessageBoxObserver([&shown](QMessageBox &box) {
		shown = box.text();
		QTimer::singleShot(0, &box, &QMessageBox::accept);
	});
	PanelCommandLine cl = ParsePanelCommandLine({ "--bus", "/dev/null" });
	EXPECT_EQ(ShowCommandLineRefusal(cl), 2);
	toolkit::SetMessageBoxObserver({});
	EXPECT_EQ(shown.toStdString(), "bus '/dev/null' is not an i2c-dev bus (/dev/i2c-N)");
}

} // namespace
