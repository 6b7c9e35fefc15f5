// One operator's session from start-up to a final Connect, through the
// panel's own event path: mouse clicks, keys on the focused control,
// typing into edits, message boxes answered. After each step the camera's
// registers and EEPROM hold what the operator asked for, and no other
// EEPROM byte changed.
#include "panel_fixture.h"

#include "filedlg_access.h"
#include "qt_access.h"
#include "resource.h"

#include <QDialog>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>

namespace sim = qxiic::sim;
using ::testing::ElementsAreArray;

namespace {

class OperatorSessionTest : public PanelTest
{
public:
	using PanelTest::Click;
	using PanelTest::Type;

	std::string Path(const char *name) const { return (m_dir.path() + "/" + name).toStdString(); }

	// "Browse", the file chosen in the dialog.
	void Browse(const char *name)
	{
		toolkit::SetFileDialogObserver([this, name](QFileDialog &dialog) {
			QTimer::singleShot(0, &dialog, [&dialog, this, name] {
				dialog.setDirectory(m_dir.path());
				dialog.selectFile(name);
				static_cast<QDialog &>(dialog).accept();
			});
		});
		Click(IDC_BROWSE);
	}

	void Key(int id, Qt::Key key)
	{
		Control(id)->setFocus();
		QTest::keyClick(Control(id), key);
	}

protected:
	void TearDown() override
	{
		toolkit::SetFileDialogObserver({});
		PanelTest::TearDown();
	}

	QTemporaryDir m_dir;
};

struct Step {
	const char *what;
	std::function<void(OperatorSessionTest &)> act;
	std::map<int, int> registers; // register = value afterwards
	std::map<int, int> eeprom;    // every EEPROM byte the step changes
	std::vector<std::string> messages;
	std::map<int, std::string> texts; // edit texts afterwards
};

using T = OperatorSessionTest;

// The factory camera: automatic exposure, shutter 0xA6, AEX ref. 0x50,
// automatic white balance, sharpness 5, no mirror or flip, overlays on
// (1 and 3 shown), trims 0x14 and 0x0C.
// One step a row: the table reads as one.
// clang-format off
const Step kSession[] = {
	{ "start-up", [](T &) {}, { { 0xA804, 0x000F }, { 0x3012, 0x00A6 } }, {}, {},
	  { { IDC_SHUTTER, "0a6" }, { IDC_AEX_REF, "50" }, { IDC_SHARPNESS, "5" }, { IDC_TRIM_HORIZONTAL, "14" },
	    { IDC_TRIM_VERTICAL, "c" }, { IDC_WB_MODE, "AWB!" }, { IDC_TV_MODE, "PAL" } } },
	{ "AEX ref. typed", [](T &t) { t.Type(IDC_AEX_REF, "7f"); }, { { 0xA812, 0x007F } }, {}, {}, {} },
	{ "AEX ref. slider step left", [](T &t) { t.Key(IDC_AEX_REF_SCROLL, Qt::Key_Left); }, { { 0xA812, 0x007E } },
	  {}, {}, { { IDC_AEX_REF, "7e" } } },
	{ "Manual Exposure on", [](T &t) { t.Click(IDC_MANUAL_EXPOSURE); }, { { 0xA804, 0x0000 } }, {}, {},
	  { { IDC_SHUTTER, "a6" } } },
	{ "shutter typed", [](T &t) { t.Type(IDC_SHUTTER, "13a"); }, { { 0x3012, 0x013A } }, {}, {}, {} },
	{ "shutter slider step right", [](T &t) { t.Key(IDC_SHUTTER_SCROLL, Qt::Key_Right); },
	  { { 0x3012, 0x013B } }, {}, {}, { { IDC_SHUTTER, "13b" } } },
	{ "shutter slider at its end", [](T &t) { t.Key(IDC_SHUTTER_SCROLL, Qt::Key_Right); },
	  { { 0x3012, 0x013B } }, {}, {}, { { IDC_SHUTTER, "13b" } } },
	{ "Manual Exposure off", [](T &t) { t.Click(IDC_MANUAL_EXPOSURE); }, { { 0xA804, 0x000F } }, {}, {},
	  { { IDC_AEX_REF, "7e" } } },
	{ "Manual Exposure on again", [](T &t) { t.Click(IDC_MANUAL_EXPOSURE); }, { { 0xA804, 0x0000 } }, {}, {},
	  {} },
	{ "shutter typed small", [](T &t) { t.Type(IDC_SHUTTER, "00c"); }, { { 0x3012, 0x000C } }, {}, {}, {} },
	{ "Freeze Gain", [](T &t) { t.Click(IDC_FREEZE_GAIN); }, { { 0x3012, 0x000C } }, {}, {}, {} },
	{ "Auto WB mode off", [](T &t) { t.Click(IDC_AUTO_WB); }, { { 0xAC04, 0x00FF } }, {}, {},
	  { { IDC_WB_MODE, "P2W running" } } },
	{ "Push2White measures", [](T &t) { t.Click(IDC_PUSH2WHITE); },
	  { { 0xAC04, 0x0000 }, { 0xAC00, 0x0001 }, { 0xAC02, 0x000A } }, {}, {}, { { IDC_WB_MODE, "P2W = set" } } },
	{ "Push2White resumes", [](T &t) { t.Click(IDC_PUSH2WHITE); }, { { 0xAC04, 0x00FF } }, {}, {},
	  { { IDC_WB_MODE, "P2W running" } } },
	// The camera's second measurement gives the gains 0x3A and 0x63.
	{ "Manual mode", [](T &t) { t.Click(IDC_MANUAL_MODE); }, { { 0xAC04, 0x0000 }, { 0xAC48, 0x003A } }, {}, {},
	  { { IDC_WB_MODE, "Manual WB" }, { IDC_RED_GREEN, "3a" }, { IDC_BLUE_GREEN, "63" } } },
	{ "Red-Green typed", [](T &t) { t.Type(IDC_RED_GREEN, "40"); }, { { 0xAC04, 0xFF00 }, { 0xAC48, 0x0040 } }, {},
	  {}, {} },
	{ "Blue-Green above its limit", [](T &t) { t.Type(IDC_BLUE_GREEN, "c5"); }, { { 0xAC4A, 0x00A0 } }, {}, {},
	  { { IDC_BLUE_GREEN, "a0" } } },
	{ "Push to Set", [](T &t) { t.Click(IDC_PUSH_TO_SET); },
	  { { 0xAC04, 0xFF00 }, { 0xAC48, 0x003A }, { 0xAC4A, 0x0063 } }, {}, {},
	  { { IDC_RED_GREEN, "3a" }, { IDC_BLUE_GREEN, "63" } } },
	{ "sharpness typed", [](T &t) { t.Type(IDC_SHARPNESS, "6"); }, { { 0x326C, 0x3480 } }, {}, {}, {} },
	{ "sharpness slider step left", [](T &t) { t.Key(IDC_SHARPNESS_SCROLL, Qt::Key_Left); },
	  { { 0x326C, 0x2C80 } }, {}, {}, { { IDC_SHARPNESS, "5" } } },
	{ "Mirror", [](T &t) { t.Click(IDC_MIRROR); }, { { 0x301C, 0x0101 }, { 0x3254, 0x0001 } }, {}, {}, {} },
	{ "Flip", [](T &t) { t.Click(IDC_FLIP); }, { { 0x301C, 0x0103 }, { 0x3254, 0x0003 } }, {}, {}, {} },
	{ "Mirror off", [](T &t) { t.Click(IDC_MIRROR); }, { { 0x301C, 0x0102 }, { 0x3254, 0x0002 } }, {}, {}, {} },
	{ "overlay 2", [](T &t) { t.Click(IDC_OVERLAY2); }, { { 0x4F0A, 0x8001 } }, {}, {}, {} },
	{ "overlay 1 off", [](T &t) { t.Click(IDC_OVERLAY1); }, { { 0x4F08, 0x0000 } }, {}, {}, {} },
	{ "enable overlay off", [](T &t) { t.Click(IDC_ENABLE_OVERLAY); }, { { 0x4F02, 0x0000 } }, {}, {}, {} },
	{ "enable overlay on", [](T &t) { t.Click(IDC_ENABLE_OVERLAY); }, { { 0x4F02, 0x8000 } }, {}, {}, {} },
	{ "trim left", [](T &t) { t.Click(IDC_TRIM_LEFT); },
	  { { 0xC892, 0x0016 }, { 0xC894, 0x000C }, { 0x098E, 0x4824 }, { 0xC822, 0x707B }, { 0x0040, 0x0305 } }, {},
	  {}, {} },
	{ "trim down", [](T &t) { t.Click(IDC_TRIM_DOWN); }, { { 0xC892, 0x0016 }, { 0xC894, 0x000A } }, {}, {}, {} },
	{ "STORE", [](T &t) { t.Click(IDC_TRIM_STORE); }, {}, { { 0x400, 0x16 }, { 0x401, 0x0A } }, {}, {} },
	{ "direct read of 0x3012", [](T &t) { t.Click(IDC_SEND); }, {}, {}, {},
	  { { IDC_DATA_HIGH, "00" }, { IDC_DATA_LOW, "0c" } } },
	{ "direct write of 0x4f0e",
	  [](T &t) {
		  t.Click(IDC_READ);
		  t.Type(IDC_REG_HIGH, "4f");
		  t.Type(IDC_REG_LOW, "0e");
		  t.Type(IDC_DATA_HIGH, "80");
		  t.Type(IDC_DATA_LOW, "03");
		  t.Click(IDC_SEND);
	  },
	  { { 0x4F0E, 0x8003 } }, {}, {}, {} },
	{ "direct write of EEPROM 2 offset 0x10",
	  [](T &t) {
		  t.Click(IDC_EEPROM2);
		  t.Type(IDC_REG_LOW, "10");
		  t.Type(IDC_DATA_LOW, "5a");
		  t.Click(IDC_SEND);
	  },
	  {}, { { 0x210, 0x5A } }, {}, {} },
	{ "direct read of EEPROM 2 offset 0x11 by Addr+",
	  [](T &t) {
		  t.Click(IDC_READ);
		  t.Click(IDC_ADDR_PLUS);
	  },
	  {}, {}, {}, { { IDC_REG_LOW, "11" }, { IDC_DATA_LOW, "ff" } } },
	// Push to Set (white balance records), overlays on, manual exposure
	// with frozen gains: 45 records, the marker 0x5A.
	{ "Save", [](T &t) { t.Click(IDC_SAVE); }, {},
	  { { 0x1FF, 0x5A },
	    { 0x300, 0x30 }, { 0x301, 0x1C }, { 0x302, 0x01 }, { 0x303, 0x02 }, // mirror/flip as read by Save
	    { 0x304, 0x32 }, { 0x305, 0x54 }, { 0x306, 0x00 }, { 0x307, 0x02 },
	    { 0x308, 0xAC }, { 0x309, 0x00 }, { 0x30A, 0x00 }, { 0x30B, 0x01 }, // the snapshot, 0xAC00 first
	    { 0x30C, 0xAC }, { 0x30D, 0x02 }, { 0x30E, 0x00 }, { 0x30F, 0x0A },
	    { 0x310, 0xAC }, { 0x311, 0x04 }, { 0x312, 0xFF }, { 0x313, 0x00 },
	    { 0x368, 0xAC }, { 0x369, 0x48 }, { 0x36A, 0x00 }, { 0x36B, 0x3A },
	    { 0x36C, 0xAC }, { 0x36D, 0x4A }, { 0x36E, 0x00 }, { 0x36F, 0x63 },
	    { 0x370, 0xAC }, { 0x371, 0x4C }, { 0x374, 0xAC }, { 0x375, 0x4E },
	    { 0x378, 0x4F }, { 0x379, 0x02 }, { 0x37A, 0x80 }, { 0x37B, 0x00 }, // overlays as checked
	    { 0x37C, 0x4F }, { 0x37D, 0x08 }, { 0x37E, 0x00 }, { 0x37F, 0x00 },
	    { 0x380, 0x4F }, { 0x381, 0x0A }, { 0x382, 0x80 }, { 0x383, 0x01 },
	    { 0x384, 0x4F }, { 0x385, 0x0C }, { 0x386, 0x80 }, { 0x387, 0x02 },
	    { 0x388, 0x4F }, { 0x389, 0x0E }, { 0x38A, 0x00 }, { 0x38B, 0x03 },
	    { 0x38C, 0x32 }, { 0x38D, 0x6C }, { 0x38E, 0x2C }, { 0x38F, 0x80 }, // sharpness
	    { 0x390, 0xA8 }, { 0x391, 0x04 }, { 0x392, 0x00 }, { 0x393, 0x00 }, // manual exposure
	    { 0x394, 0x30 }, { 0x395, 0x12 }, { 0x396, 0x00 }, { 0x397, 0x0C },
	    { 0x398, 0xA8 }, { 0x399, 0x12 }, { 0x39A, 0x00 }, { 0x39B, 0x7E },
	    { 0x39C, 0x30 }, { 0x39D, 0x56 }, { 0x39E, 0x10 }, { 0x39F, 0x30 }, // frozen gains
	    { 0x3A0, 0x30 }, { 0x3A1, 0x58 }, { 0x3A2, 0x10 }, { 0x3A3, 0x36 },
	    { 0x3A4, 0x30 }, { 0x3A5, 0x5A }, { 0x3A6, 0x10 }, { 0x3A7, 0x2C },
	    { 0x3A8, 0x30 }, { 0x3A9, 0x5C }, { 0x3AA, 0x10 }, { 0x3AB, 0x30 },
	    { 0x3AC, 0xA8 }, { 0x3AD, 0x38 }, { 0x3AE, 0x04 }, { 0x3AF, 0x12 },
	    { 0x3B0, 0xA8 }, { 0x3B1, 0x3A }, { 0x3B2, 0x00 }, { 0x3B3, 0xC8 },
	    { 0x3B4, 0xFF }, { 0x3FF, 0xFF } },
	  {}, {} },
	{ "Cam --> File",
	  [](T &t) {
		  t.Type(IDC_FILE_NAME, t.Path("camera").c_str());
		  t.Click(IDC_CAM_TO_FILE);
	  },
	  {}, {}, {}, {} },
	{ "Erase EEp, warned first",
	  [](T &t) {
		  t.Click(IDC_ERASE_EEPROM);
		  t.Click(IDC_ERASE_EEPROM);
	  },
	  {}, { { 0x300, 0xFF }, { 0x301, 0xFF }, { 0x38F, 0xFF }, { 0x3B3, 0xFF } },
	  { "This will erase part of camera EEPROM. If this is ok please press again erase" }, {} },
	{ "File --> Cam of the file chosen with Browse",
	  [](T &t) {
		  t.Browse("camera.qmx");
		  t.Click(IDC_FILE_TO_CAM);
	  },
	  {}, { { 0x300, 0x30 }, { 0x301, 0x1C }, { 0x38F, 0x80 }, { 0x3B3, 0xC8 } }, {}, {} },
	{ "Connect", [](T &t) { t.Click(IDC_CONNECT); }, {}, {}, {},
	  { { IDC_SHUTTER, "00c" }, { IDC_TRIM_HORIZONTAL, "16" }, { IDC_TRIM_VERTICAL, "a" },
	    { IDC_WB_MODE, "Manual WB" }, { IDC_SHARPNESS, "5" }, { IDC_AEX_REF, "7e" } } },
};
// clang-format on

std::vector<std::uint8_t> Eeprom()
{
	std::vector<std::uint8_t> bytes(2048);
	for (int a = 0; a < 2048; a++)
		bytes[a] = sim::EepromByte(a);
	return bytes;
}

TEST_F(OperatorSessionTest, FromStartUpToConnect)
{
	ASSERT_TRUE(m_dir.isValid());
	// The session does not depend on what an earlier test left armed.
	Open();
	toolkit::DialogWidget(*dlg)->show();
	Click(IDC_ERASE_EEPROM);
	if (!messages.empty())
		Click(IDC_ERASE_EEPROM);
	dlg.reset();
	sim::Reset();
	sim::UseManualClock(true);

	std::vector<std::uint8_t> eeprom = Eeprom();
	for (const Step &step : kSession) {
		SCOPED_TRACE(step.what);
		if (!dlg) {
			Open();
			toolkit::DialogWidget(*dlg)->show();
		}
		ClearLog();
		step.act(*this);

		EXPECT_THAT(messages, ElementsAreArray(step.messages));
		for (const auto &[reg, value] : step.registers)
			EXPECT_EQ(Hex4(sim::Register(static_cast<std::uint16_t>(reg))), Hex4(value))
				<< "register " << Hex4(reg);
		for (const auto &[id, text] : step.texts)
			EXPECT_EQ(Text(id), text) << "edit " << id;
		for (const auto &[address, value] : step.eeprom)
			eeprom[address] = static_cast<std::uint8_t>(value);
		std::vector<std::uint8_t> now = Eeprom();
		for (int a = 0; a < 2048; a++) {
			// Save and Erase write the whole script page; its bytes are
			// checked where the step names them.
			bool scriptPage = a >= 0x300 && a < 0x400 && step.eeprom.count(0x300);
			if (scriptPage && !step.eeprom.count(a))
				eeprom[a] = now[a];
			EXPECT_EQ(now[a], eeprom[a]) << "EEPROM byte " << Hex4(a);
		}
		if (HasFailure())
			return;
	}

	EXPECT_TRUE(Checked(IDC_FREEZE_GAIN));
	EXPECT_TRUE(Checked(IDC_MANUAL_MODE));

	// The file holds what the EEPROM held at Cam --> File.
	std::ifstream in(Path("camera.qmx"), std::ios::binary);
	std::string file(std::istreambuf_iterator<char>(in), {});
	EXPECT_NE(
		file.find(
			"//Page 3 of the EEprom:\t\r\n30 1C 01 02 32 54 00 02 AC 00 00 01 AC 02 00 0A \r\n"),
		std::string::npos);
	EXPECT_NE(
		file.find("//Page 2 of the EEprom:\t\r\nFF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF \r\n"
			  "5A FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF \r\n"),
		std::string::npos);
}

} // namespace
