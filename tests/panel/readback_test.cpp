// Start-up, Connect and the read-back of the camera's state into the panel.
#include "panel_fixture.h"

#include "qt_access.h"
#include "resource.h"

#include <QApplication>
#include <QDialog>

#include <map>

namespace sim = qxiic::sim;
using sim::Call;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

const char kConnectError[] = "I2C Communication Error; Connect Camera and push Connect";

// Everything that needs the camera.
const int kCameraControls[] = {
	1067, 1069, 1029, 1028, 1030, 1031, 1050, 1003, 1077, 1051, 1004, 1010, 1056,
	1078, 1079, 1080, 1081, 1082, 1083, 1058, 1059, 1076, 1073, 1074, 1071, 1072,
	1075, 1016, 1018, 1000, 1014, 1015, 1005, 1061, 1063, 1055, 1046, 1026, 1060,
};

// What stays usable without a camera.
const int kAlwaysEnabled[] = {
	IDC_CONNECT,   IDC_BROWSE,   IDC_FILE_NAME, IDC_SHARPNESS_SCROLL,
	IDC_SHARPNESS, IDC_REG_LOW,  IDC_DATA_LOW,  IDC_SENSOR,
	IDC_EEPROM0,   IDC_EEPROM1,  IDC_EEPROM2,   IDC_EEPROM3,
	IDC_READ,      IDC_PROGRESS, IDOK,          IDCANCEL,
};

const int kTrimControls[] = { 1058, 1059, 1076, 1073, 1074, 1071, 1072, 1075 };

// The read-back of the factory camera: overlays on, automatic exposure,
// trim present.
std::vector<std::string> FactoryReadBack()
{
	std::vector<std::string> log = {
		"R 301c", "R 4000", "R 4f02", "R 4f08", "R 4f0a",   "R 4f0c",   "R 4f0e",
		"R a804", "R 3012", "R a812", "R 3056", "R 305c",   "R 3058",   "R 305a",
		"R ac04", "R ac4a", "R ac48", "R 326c", "RB a9:00", "RB a9:01",
	};
	log.insert(log.end(), 16, "RAW a9 16");
	log.insert(log.end(), 16, "RAW ab 16");
	log.insert(log.end(), 5, "RAW ad 16");
	return log;
}

class ReadBackTest : public PanelTest
{
protected:
	// Reads the camera again into the open panel.
	void ReadAgain()
	{
		ClearLog();
		EXPECT_FALSE(dlg->ReadBackCamera());
	}

	std::vector<bool> CameraControlStates() const
	{
		std::vector<bool> states;
		for (int id : kCameraControls)
			states.push_back(Enabled(id));
		return states;
	}

	void ExpectEnabled(std::initializer_list<int> ids, bool enabled) const
	{
		for (int id : ids)
			EXPECT_EQ(Enabled(id), enabled) << "control " << id;
	}
};

TEST_F(ReadBackTest, FactoryCameraIsReadInFixedOrder)
{
	sim::SetRegister(0x305C, 0x1031);
	Open();
	EXPECT_TRUE(messages.empty());
	EXPECT_THAT(Log(), ElementsAreArray(FactoryReadBack()));

	// Bytes 0 and 1 hold the trims, not part of the table load.
	EXPECT_EQ(dlg->m_abTrimTable[0], 0);
	EXPECT_EQ(dlg->m_abTrimTable[1], 0);
	for (int i = 2; i < 594; i++)
		ASSERT_EQ(dlg->m_abTrimTable[i], sim::EepromByte(4 * 256 + i)) << "table byte " << i;

	EXPECT_EQ(Text(IDC_TV_MODE), "PAL");
	EXPECT_EQ(Text(IDC_TRIM_HORIZONTAL), "14");
	EXPECT_EQ(Text(IDC_TRIM_VERTICAL), "c");
	EXPECT_EQ(dlg->m_nGain3056, 0x1030);
	EXPECT_EQ(dlg->m_nGain3058, 0x1036);
	EXPECT_EQ(dlg->m_nGain305A, 0x102C);
	EXPECT_EQ(dlg->m_nGain305C, 0x1031);
	EXPECT_EQ(dlg->m_nReg326C, 0x2C80);

	// The direct access panel starts on the shutter register, reading.
	EXPECT_EQ(Text(IDC_REG_HIGH), "30");
	EXPECT_EQ(Text(IDC_REG_LOW), "12");
	EXPECT_TRUE(Checked(IDC_READ));
	EXPECT_TRUE(Checked(IDC_SENSOR));
	EXPECT_EQ(dlg->m_nDirectDevice, 0xBB);
	EXPECT_EQ(dlg->m_bDirectSensor, 1);
}

TEST_F(ReadBackTest, ExposureModeDecidesFreezeMarkerReadAndKeepsOtherControls)
{
	Open();
	ExpectEnabled({ 1050, 1003, 1077 }, false);
	ExpectEnabled({ 1051, 1004 }, true);
	EXPECT_FALSE(Checked(IDC_MANUAL_EXPOSURE));

	// Only bits 3..0 tell the mode: 0x0010 is manual.
	sim::SetRegister(0xA804, 0x0010);
	sim::SetEepromByte(0x1FF, 0x5A);
	ReadAgain();
	std::vector<std::string> log = Log();
	ASSERT_GT(log.size(), 11u);
	EXPECT_THAT(std::vector<std::string>(log.begin() + 7, log.begin() + 12),
		    ElementsAre("R a804", "R 3012", "R a812", "RB a3:ff", "R 3056"));
	EXPECT_TRUE(Checked(IDC_MANUAL_EXPOSURE));
	EXPECT_TRUE(Checked(IDC_FREEZE_GAIN));
	EXPECT_EQ(dlg->m_bFreezeGain, 1);
	ExpectEnabled({ 1077 }, true);
	ExpectEnabled({ 1051, 1004 }, false);
	// Manual mode does not enable the shutter pair: the exposure handler does.
	ExpectEnabled({ 1050, 1003 }, false);

	sim::SetRegister(0xA804, 0x0000);
	sim::SetEepromByte(0x1FF, 0xFF);
	ReadAgain();
	EXPECT_FALSE(Checked(IDC_FREEZE_GAIN));
	EXPECT_EQ(dlg->m_bFreezeGain, 0);

	sim::SetRegister(0xA804, 0x0003);
	ReadAgain();
	EXPECT_EQ(Log(), FactoryReadBack());
	EXPECT_FALSE(Checked(IDC_MANUAL_EXPOSURE));
	ExpectEnabled({ 1050, 1003, 1077 }, false);
	ExpectEnabled({ 1051, 1004 }, false);
	EXPECT_TRUE(messages.empty());
}

TEST_F(ReadBackTest, WhiteBalanceModeSetsItsGroup)
{
	struct Case {
		int reg;
		const char *text;
		bool autoWb, manual, pushToSet;
	};
	const Case cases[] = {
		{ 0x0100, "Manual WB", false, true, false },
		{ 0x0000, "P2W = set", false, false, true },
		{ 0x00FF, "AWB!", true, false, false },
		{ 0x0042, "P2W = set", false, false, true },
	};
	Open();
	for (const Case &c : cases) {
		SCOPED_TRACE(Hex4(c.reg));
		sim::SetRegister(0xAC04, static_cast<std::uint16_t>(c.reg));
		ReadAgain();
		EXPECT_EQ(Text(IDC_WB_MODE), c.text);
		EXPECT_EQ(Checked(IDC_AUTO_WB), c.autoWb);
		// Automatic balance leaves the two mode buttons as they were.
		if (!c.autoWb) {
			EXPECT_EQ(Checked(IDC_MANUAL_MODE), c.manual);
			EXPECT_EQ(Checked(IDC_PUSH_TO_SET), c.pushToSet);
		} else {
			EXPECT_FALSE(Checked(IDC_MANUAL_MODE));
			EXPECT_TRUE(Checked(IDC_PUSH_TO_SET));
		}
		ExpectEnabled({ 1056, 1078, 1079 }, !c.autoWb);
		ExpectEnabled({ IDC_PUSH2WHITE }, c.pushToSet);
		ExpectEnabled({ 1080, 1081, 1082, 1083 }, c.manual);
	}
}

TEST_F(ReadBackTest, RegisterValuesBecomeTextsAndThumbs)
{
	sim::SetRegister(0x301C, 0x0102);
	sim::SetRegister(0x4000, 0x0004);
	sim::SetRegister(0x326C, 0x3800);
	sim::SetRegister(0x3012, 0x001A);
	sim::SetRegister(0xA812, 0x0123);
	sim::SetRegister(0xAC04, 0xFF00);
	sim::SetRegister(0xAC48, 0x01F0);
	sim::SetRegister(0xAC4A, 0x0033);
	Open();
	EXPECT_FALSE(Checked(IDC_MIRROR));
	EXPECT_TRUE(Checked(IDC_FLIP));
	EXPECT_EQ(Text(IDC_TV_MODE), "NTSC");
	EXPECT_EQ(Text(IDC_SHARPNESS), "7");
	EXPECT_EQ(dlg->m_nSharpness, 7);
	EXPECT_EQ(Bar(IDC_SHARPNESS_SCROLL)->value(), 7);
	EXPECT_EQ(Text(IDC_SHUTTER), "01a");
	EXPECT_EQ(dlg->m_nShutter, 0x1A);
	EXPECT_EQ(Bar(IDC_SHUTTER_SCROLL)->value(), 0x1A);
	EXPECT_EQ(Text(IDC_AEX_REF), "123");
	EXPECT_EQ(dlg->m_nAexRef, 0x123);
	EXPECT_EQ(Bar(IDC_AEX_REF_SCROLL)->value(), 0x23);
	EXPECT_EQ(Text(IDC_RED_GREEN), "f0");
	EXPECT_EQ(dlg->m_nRedGreen, 0x01F0);
	EXPECT_EQ(dlg->m_nRedGreenSaved, 0xF0);
	EXPECT_EQ(Bar(IDC_RED_GREEN_SCROLL)->value(), 160);
	EXPECT_EQ(Text(IDC_BLUE_GREEN), "33");
	EXPECT_EQ(dlg->m_nBlueGreen, 0x33);
	EXPECT_EQ(Bar(IDC_BLUE_GREEN_SCROLL)->value(), 0x33);
	EXPECT_TRUE(messages.empty());
	// Showing the values raised no handler.
	EXPECT_TRUE(RegisterWrites().empty());

	sim::SetRegister(0x301C, 0x0001);
	sim::SetRegister(0x4000, 0x0002);
	sim::SetRegister(0x326C, 0x0800);
	ReadAgain();
	EXPECT_TRUE(Checked(IDC_MIRROR));
	EXPECT_FALSE(Checked(IDC_FLIP));
	EXPECT_EQ(Text(IDC_TV_MODE), "PAL");
	EXPECT_EQ(Text(IDC_SHARPNESS), "1");
	EXPECT_TRUE(RegisterWrites().empty());
}

TEST_F(ReadBackTest, OverlaysFollowTheirRegistersOrKeepTheirMarksWhenOff)
{
	sim::SetRegister(0x4F08, 0x0000);
	sim::SetRegister(0x4F0A, 0x8001);
	sim::SetRegister(0x4F0C, 0x8002);
	sim::SetRegister(0x4F0E, 0x0003);
	Open();
	EXPECT_TRUE(Checked(IDC_ENABLE_OVERLAY));
	EXPECT_FALSE(Checked(IDC_OVERLAY1));
	EXPECT_TRUE(Checked(IDC_OVERLAY2));
	EXPECT_TRUE(Checked(IDC_OVERLAY3));
	EXPECT_FALSE(Checked(IDC_OVERLAY4));
	ExpectEnabled({ 1029, 1028, 1030, 1031 }, true);

	sim::SetRegister(0x4F02, 0x0000);
	ReadAgain();
	std::vector<std::string> log = Log();
	ASSERT_GE(log.size(), 4u);
	EXPECT_THAT(std::vector<std::string>(log.begin(), log.begin() + 4),
		    ElementsAre("R 301c", "R 4000", "R 4f02", "R a804"));
	EXPECT_FALSE(Checked(IDC_ENABLE_OVERLAY));
	ExpectEnabled({ 1029, 1028, 1030, 1031 }, false);
	EXPECT_TRUE(Checked(IDC_OVERLAY2));
	EXPECT_TRUE(Checked(IDC_OVERLAY3));
}

TEST_F(ReadBackTest, ImageTrim)
{
	sim::SetEepromByte(0x400, 0x31);
	sim::SetEepromByte(0x401, 0x2D);
	Open();
	EXPECT_EQ(Text(IDC_TRIM_HORIZONTAL), "Max Left");
	EXPECT_EQ(Text(IDC_TRIM_VERTICAL), "2c");
	EXPECT_EQ(dlg->m_nTrimHorizontal, 46);
	EXPECT_EQ(dlg->m_nTrimVertical, 0x2C);
	for (int id : kTrimControls)
		EXPECT_TRUE(Enabled(id)) << id;

	// A camera without trim: nothing more is read from the EEPROM.
	sim::SetEepromByte(0x400, 0xFF);
	ReadAgain();
	EXPECT_EQ(Log().back(), "RB a9:00");
	EXPECT_EQ(Log().size(), 19u);
	EXPECT_EQ(Text(IDC_TRIM_HORIZONTAL), "not active");
	EXPECT_EQ(Text(IDC_TRIM_VERTICAL), "not active");
	for (int id : kTrimControls)
		EXPECT_FALSE(Enabled(id)) << id;
	EXPECT_TRUE(messages.empty());
}

TEST_F(ReadBackTest, StartUpWithoutCameraThenConnect)
{
	sim::SetPlugged(false);
	Open();
	EXPECT_THAT(messages, ElementsAre("error: USB_I2C_NACK", kConnectError));
	EXPECT_THAT(Log(), ElementsAre("R 301c !14"));
	for (int id : kCameraControls)
		EXPECT_FALSE(Enabled(id)) << id;
	for (int id : kAlwaysEnabled)
		EXPECT_TRUE(Enabled(id)) << id;

	sim::SetPlugged(true);
	ClearLog();
	Button(IDC_CONNECT)->click();
	EXPECT_TRUE(messages.empty());
	EXPECT_EQ(Log(), FactoryReadBack());
	ExpectEnabled({ 1067, 1069, 1029, 1028, 1030, 1031, 1016, 1018, 1000, 1014, 1015, 1005, 1061, 1063,
			1055, 1046, 1026, 1060 },
		      true);
	for (int id : kTrimControls)
		EXPECT_TRUE(Enabled(id)) << id;
	// Automatic exposure and white balance on this camera; the AEX pair
	// stays as the failed start-up left it.
	ExpectEnabled({ 1050, 1003, 1077, 1051, 1004, 1010, 1056, 1078, 1079, 1080, 1081, 1082, 1083 },
		      false);
}

TEST_F(ReadBackTest, TestedTransferFailureStopsStartUp)
{
	struct Case {
		sim::Fault fault;
		size_t logSize;
		const char *message;
		const char *tvMode;
	};
	const Case cases[] = {
		{ { Call::ReceiveSub, 0xBB, 0x301C, 13, 0, 1 }, 1, "USB_READ_ERROR", "" },
		{ { Call::ReceiveSub, 0xBB, 0x4000, 4, 0, 1 }, 2, "TIMEOUT, no response", "UNDEFINED!" },
		{ { Call::ReceiveSub, 0xBB, 0x4F02, 14, 0, 1 }, 3, "error: USB_I2C_NACK", "PAL" },
		{ { Call::ReceiveSub, 0xA9, 0x00, 15, 0, 1 }, 19, "error: device not present", "PAL" },
	};
	for (const Case &c : cases) {
		SCOPED_TRACE(c.message);
		dlg.reset();
		sim::Reset();
		sim::UseManualClock(true);
		ClearLog();
		sim::AddFault(c.fault);
		Open();
		std::vector<std::string> expected = FactoryReadBack();
		expected.resize(c.logSize);
		expected.back() += " !" + std::to_string(c.fault.status);
		EXPECT_EQ(Log(), expected);
		EXPECT_THAT(messages, ElementsAre(c.message, kConnectError));
		EXPECT_EQ(Text(IDC_TV_MODE), c.tvMode);
		for (int id : kCameraControls)
			EXPECT_FALSE(Enabled(id)) << id;
		EXPECT_TRUE(Enabled(IDC_SHARPNESS_SCROLL));
		EXPECT_TRUE(Enabled(IDC_SHARPNESS));
	}
}

TEST_F(ReadBackTest, ConnectFailureDisablesNothing)
{
	Open();
	std::vector<bool> before = CameraControlStates();
	sim::AddFault({ Call::ReceiveSub, 0xBB, 0x4000, 14, 0, 1 });
	ClearLog();
	Button(IDC_CONNECT)->click();
	EXPECT_THAT(Log(), ElementsAre("R 301c", "R 4000 !14"));
	EXPECT_THAT(messages, ElementsAre("error: USB_I2C_NACK", kConnectError));
	EXPECT_EQ(CameraControlStates(), before);
	// The mode text waits for the next refresh.
	EXPECT_EQ(dlg->m_strTvMode, "UNDEFINED!");
	EXPECT_EQ(Text(IDC_TV_MODE), "PAL");

	// A failure in a later step: nothing after it is read or changed, so
	// STORE keeps the trims the camera has.
	sim::SetRegister(0x3012, 0x0123);
	dlg->m_nTrimHorizontal = 0x14;
	messages.clear();
	sim::AddFault({ Call::ReceiveSub, 0xBB, 0x3012, 14, 0, 1 });
	Button(IDC_CONNECT)->click();
	EXPECT_THAT(messages, ElementsAre("error: USB_I2C_NACK", kConnectError));
	EXPECT_NE(Text(IDC_SHUTTER), "123");
	EXPECT_NE(Text(IDC_SHUTTER), "000");
	EXPECT_EQ(dlg->m_nTrimHorizontal, 0x14);
}

} // namespace

namespace {

// Values at the edges of what the read-back decides or formats.
TEST_F(ReadBackTest, BoundaryValuesAreShownAsTheCameraHoldsThem)
{
	const struct {
		std::map<int, int> registers, eeprom;
		std::map<int, std::string> texts;
		std::map<int, bool> checks;
	} cases[] = {
		// The freeze-gain marker is 0x5A and nothing else, read only in manual exposure.
		{ { { 0xA804, 0x0000 } }, { { 0x1FF, 0x5A } }, {}, { { IDC_FREEZE_GAIN, true } } },
		{ { { 0xA804, 0x0000 } }, { { 0x1FF, 0x5B } }, {}, { { IDC_FREEZE_GAIN, false } } },
		{ { { 0xA804, 0x0000 } }, { { 0x1FF, 0x59 } }, {}, { { IDC_FREEZE_GAIN, false } } },
		{ { { 0xA804, 0x0000 } }, { { 0x1FF, 0xDA } }, {}, { { IDC_FREEZE_GAIN, false } } },
		{ { { 0xA804, 0x0000 } }, { { 0x1FF, 0xA5 } }, {}, { { IDC_FREEZE_GAIN, false } } },
		{ { { 0xA804, 0x000F } }, { { 0x1FF, 0x5A } }, {}, { { IDC_FREEZE_GAIN, false } } },
		// Trims: both ends, odd values made even, above 46 limited.
		{ {},
		  { { 0x400, 0 }, { 0x401, 0 } },
		  { { IDC_TRIM_HORIZONTAL, "Max Right" }, { IDC_TRIM_VERTICAL, "Max down" } },
		  {} },
		{ {},
		  { { 0x400, 46 }, { 0x401, 46 } },
		  { { IDC_TRIM_HORIZONTAL, "Max Left" }, { IDC_TRIM_VERTICAL, "Max up" } },
		  {} },
		{ {},
		  { { 0x400, 2 }, { 0x401, 44 } },
		  { { IDC_TRIM_HORIZONTAL, "2" }, { IDC_TRIM_VERTICAL, "2c" } },
		  {} },
		{ {},
		  { { 0x400, 1 }, { 0x401, 45 } },
		  { { IDC_TRIM_HORIZONTAL, "Max Right" }, { IDC_TRIM_VERTICAL, "2c" } },
		  {} },
		{ {},
		  { { 0x400, 47 }, { 0x401, 0xFE } },
		  { { IDC_TRIM_HORIZONTAL, "Max Left" }, { IDC_TRIM_VERTICAL, "Max up" } },
		  {} },
		// Sharpness is bits 13..11 only, whatever the bits around them hold.
		{ { { 0x326C, 0xC7FF } }, {}, { { IDC_SHARPNESS, "0" } }, {} },
		{ { { 0x326C, 0xF7FF } }, {}, { { IDC_SHARPNESS, "6" } }, {} },
		{ { { 0x326C, 0x4FFF } }, {}, { { IDC_SHARPNESS, "1" } }, {} },
		{ { { 0x326C, 0x1000 } }, {}, { { IDC_SHARPNESS, "2" } }, {} },
		// Small values keep their text width.
		{ { { 0x3012, 0x0005 }, { 0xA812, 0x0007 }, { 0xAC48, 0x0005 }, { 0xAC4A, 0x000B } },
		  {},
		  { { IDC_SHUTTER, "005" },
		    { IDC_AEX_REF, "07" },
		    { IDC_RED_GREEN, "05" },
		    { IDC_BLUE_GREEN, "0b" } },
		  {} },
	};
	for (const auto &c : cases) {
		sim::Reset();
		sim::UseManualClock(true);
		for (const auto &[reg, value] : c.registers)
			sim::SetRegister(static_cast<std::uint16_t>(reg), static_cast<std::uint16_t>(value));
		for (const auto &[address, value] : c.eeprom)
			sim::SetEepromByte(address, static_cast<std::uint8_t>(value));
		Open();
		std::string setup = ::testing::PrintToString(c.registers) +
				    ::testing::PrintToString(c.eeprom);
		for (const auto &[id, text] : c.texts)
			EXPECT_EQ(Text(id), text) << setup;
		for (const auto &[id, checked] : c.checks)
			EXPECT_EQ(Checked(id), checked) << setup;
		EXPECT_TRUE(messages.empty()) << setup;
		EXPECT_TRUE(RegisterWrites().empty()) << setup;
	}
}

} // namespace

namespace {

// The user goes to another program (a terminal running a register
// script) and comes back to the panel, as the window system tells the
// application (the offscreen platform has no other program to go to).
void LeaveAndComeBack()
{
	emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
	emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
	QApplication::processEvents();
}

} // namespace

TEST_F(ReadBackTest, TheTvModeIsReadAgainWhenTheUserComesBack)
{
	Open();
	QWidget *panel = toolkit::DialogWidget(*dlg);
	panel->show();
	QApplication::setActiveWindow(panel);
	QApplication::processEvents();
	ASSERT_EQ(Text(IDC_TV_MODE), "PAL");

	const struct {
		int videoStandard; // -1: the camera unplugged
		const char *shown;
	} cases[] = {
		{ 0x0004, "NTSC" },
		{ 0x0006, "PAL" },
		{ -1, "UNDEFINED!" },
	};
	for (const auto &c : cases) {
		if (c.videoStandard < 0)
			sim::SetPlugged(false);
		else
			sim::SetRegister(0x4000, static_cast<std::uint16_t>(c.videoStandard));
		ClearLog();
		LeaveAndComeBack();
		EXPECT_EQ(Text(IDC_TV_MODE), c.shown);
		EXPECT_EQ(Log(), (std::vector<std::string>{ c.videoStandard < 0 ? "R 4000 !14" : "R 4000" }))
			<< c.shown;
		EXPECT_EQ(messages, std::vector<std::string>{}) << "a look, not a handler: no message";
	}
}
