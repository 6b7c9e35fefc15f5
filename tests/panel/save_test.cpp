// "Save ", the address offset and "Erase EEp": the script in EEPROM page 3,
// the freeze-gain marker in page 1, and the refusals that keep a script whole.
#include "panel_fixture.h"

#include "resource.h"

#include <QProgressBar>

namespace sim = qxiic::sim;
using sim::Call;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

constexpr int kPage1 = 0x100;
constexpr int kPage3 = 0x300;
const char kNack[] = "error: USB_I2C_NACK";

// Automatic white balance, overlay off, automatic exposure.
const std::vector<std::uint8_t> kShortest = {
	0x30, 0x1C, 0x40, 0x03, // mirror and flip, read by Save
	0x32, 0x54, 0x01, 0x02, //
	0x4F, 0x02, 0x00, 0x00, // overlay off
	0x32, 0x6C, 0x08, 0x00, // sharpness
	0xA8, 0x04, 0x00, 0x0F, // automatic exposure
	0xA8, 0x12, 0x01, 0x23, //
};

// Measured white balance, all overlays, manual exposure with frozen gain.
const std::vector<std::uint8_t> kLongest = {
	0x30, 0x1C, 0x40, 0x03, 0x32, 0x54, 0x01, 0x02, //
	0xAC, 0x00, 0x00, 0x01, 0xAC, 0x02, 0x00, 0x0A, 0xAC, 0x04, 0x00,
	0x00, // as the measurement wrote them
	// What the camera measured (its first measurement since power-up).
	0xAC, 0x0A, 0x02, 0x95, 0xAC, 0x0C, 0x02, 0xD0, 0xAC, 0x0E, 0x03, 0x0B, //
	0xAC, 0x10, 0x03, 0x46, 0xAC, 0x12, 0x03, 0x81, 0xAC, 0x14, 0x03, 0xBC, //
	0xAC, 0x16, 0x03, 0xF7, 0xAC, 0x18, 0x04, 0x32, 0xAC, 0x1A, 0x04, 0x6D, //
	0xAC, 0x1C, 0x04, 0xA8, 0xAC, 0x1E, 0x04, 0xE3, 0xAC, 0x32, 0x05, 0x1E, //
	0xAC, 0x36, 0x05, 0x59, 0xAC, 0x38, 0x05, 0x94, 0xAC, 0x3A, 0x05, 0xCF, //
	0xAC, 0x3C, 0x06, 0x0A, 0xAC, 0x3E, 0x06, 0x45, 0xAC, 0x40, 0x06, 0x80, //
	0xAC, 0x42, 0x06, 0xBB, 0xAC, 0x44, 0x06, 0xF6, 0xAC, 0x46, 0x07, 0x31, //
	0xAC, 0x48, 0x00, 0x2D, 0xAC, 0x4A, 0x00, 0x56, 0xAC, 0x4C, 0x07, 0x6C, //
	0xAC, 0x4E, 0x4E, 0x4E, // the camera's own value, measured with the rest
	0x4F, 0x02, 0x80, 0x00, 0x4F, 0x08, 0x80, 0x00, 0x4F, 0x0A, 0x80, 0x01, //
	0x4F, 0x0C, 0x80, 0x02, 0x4F, 0x0E, 0x80, 0x03,                         //
	0x32, 0x6C, 0x38, 0x00,                                                 //
	0xA8, 0x04, 0x00, 0x00, 0x30, 0x12, 0x00, 0xA6, 0xA8, 0x12, 0x00, 0x42, //
	0x30, 0x56, 0x01, 0x56, 0x30, 0x58, 0x01, 0x58, 0x30, 0x5A, 0x01, 0x5A, //
	0x30, 0x5C, 0x01, 0x5C, 0xA8, 0x38, 0x38, 0x38, 0xA8, 0x3A, 0x3A, 0x3A, //
};

std::string Hex2(int value)
{
	char text[4];
	std::snprintf(text, sizeof(text), "%02x", value & 0xFF);
	return text;
}

// Bytes as "30 1c ...", so that a difference reads at a glance.
std::string HexBytes(std::vector<std::uint8_t>::const_iterator begin,
		     std::vector<std::uint8_t>::const_iterator end)
{
	std::string text;
	for (auto it = begin; it != end; ++it)
		text += (text.empty() ? "" : " ") + Hex2(*it);
	return text;
}

std::string HexBytes(const std::vector<std::uint8_t> &bytes)
{
	return HexBytes(bytes.begin(), bytes.end());
}

std::string Block(int sub, int count)
{
	std::string text = "WB a6:" + Hex2(sub);
	for (int i = 0; i < count; i++)
		text += " ff";
	return text;
}

class SaveTest : public PanelTest
{
protected:
	void OpenShortest()
	{
		sim::SetRegister(0xAC04, 0x00FF);
		sim::SetRegister(0x4F02, 0x0000);
		sim::SetRegister(0xA804, 0x000F);
		sim::SetRegister(0x326C, 0x0800);
		sim::SetRegister(0xA812, 0x0123);
		CameraRegisters();
		Open();
		ScribbleOverPage3();
	}

	void OpenLongest()
	{
		sim::SetRegister(0xAC04, 0x0000); // push to set
		sim::SetRegister(0xAC4E, 0x4E4E); // not part of the measurement
		sim::SetRegister(0x4F02, 0x8000);
		for (int i = 0; i < 4; i++)
			sim::SetRegister(static_cast<std::uint16_t>(0x4F08 + 2 * i),
					 static_cast<std::uint16_t>(0x8000 | i));
		sim::SetRegister(0x326C, 0x3800);
		sim::SetRegister(0xA804, 0x0000);
		sim::SetRegister(0x3012, 0x00A6);
		sim::SetRegister(0xA812, 0x0042);
		for (int reg : { 0x3056, 0x3058, 0x305A, 0x305C })
			sim::SetRegister(static_cast<std::uint16_t>(reg),
					 static_cast<std::uint16_t>(0x100 | (reg & 0xFF)));
		sim::SetRegister(0xA838, 0x3838);
		sim::SetRegister(0xA83A, 0x3A3A);
		sim::SetEepromByte(kPage1 + 0xFF, 0x5A);
		CameraRegisters();
		Open();
		EXPECT_TRUE(Checked(IDC_FREEZE_GAIN));
		// Measure the white balance: the first press resumes, the second holds.
		Button(IDC_PUSH2WHITE)->click();
		Button(IDC_PUSH2WHITE)->click();
		// Manual exposure switched on again takes 0xA838 and 0xA83A.
		Button(IDC_MANUAL_EXPOSURE)->click();
		Button(IDC_MANUAL_EXPOSURE)->click();
		ASSERT_TRUE(Checked(IDC_MANUAL_EXPOSURE));
		sim::SetEepromByte(kPage1 + 0xFF, 0xFF);
		ScribbleOverPage3();
	}

	void CameraRegisters()
	{
		sim::SetRegister(0x301C, 0x4003);
		sim::SetRegister(0x3254, 0x0102);
	}

	void ScribbleOverPage3()
	{
		for (int i = 0; i < 256; i++)
			sim::SetEepromByte(kPage3 + i, 0x00);
	}

	std::vector<std::uint8_t> Page3(int from = 0, int to = 256) const
	{
		std::vector<std::uint8_t> bytes;
		for (int i = from; i < to; i++)
			bytes.push_back(sim::EepromByte(kPage3 + i));
		return bytes;
	}

	void SetOffset(const char *text) { Edit(IDC_ADDR_OFFSET)->setText(text); }

	void Press(int id)
	{
		ClearLog();
		Button(id)->click();
	}
};

} // namespace

TEST_F(SaveTest, ShortestScript)
{
	OpenShortest();
	QProgressBar *bar = qobject_cast<QProgressBar *>(Control(IDC_PROGRESS));
	int highest = 0;
	int drops = 0;
	int last = 0;
	QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
		highest = std::max(highest, value);
		drops += value < last;
		last = value;
	});
	Press(IDC_SAVE);

	EXPECT_THAT(messages, IsEmpty());
	EXPECT_EQ(HexBytes(Page3(0, 24)), HexBytes(kShortest));
	EXPECT_THAT(Page3(24), ::testing::Each(0xFF));
	EXPECT_EQ(sim::EepromByte(kPage1 + 0xFF), 0xFF);

	std::vector<std::string> expected;
	for (int sub = 0; sub < 256; sub += 16) {
		expected.push_back(Block(sub, 16));
		expected.push_back("SLEEP 20");
	}
	expected.insert(expected.end(), { "SLEEP 100", "R 301c", "R 3254" });
	for (int pos = 0; pos < 24; pos++) {
		if (pos == 16) // the marker goes before the automatic exposure records
			expected.insert(expected.end(), { "WB a2:ff ff", "SLEEP 20" });
		expected.push_back("WB a6:" + Hex2(pos) + " " + Hex2(kShortest[static_cast<size_t>(pos)]));
		expected.push_back("SLEEP 20");
	}
	EXPECT_THAT(Log(), ElementsAreArray(expected));
	// 16 fill blocks and 24 script bytes, less the 4 of "overlay off": the
	// bar fills once, then is empty again.
	EXPECT_EQ(bar->maximum(), 36);
	EXPECT_EQ(highest, 36);
	EXPECT_EQ(drops, 1);
	EXPECT_EQ(bar->value(), 0);
}

TEST_F(SaveTest, LongestScriptThenConnectRestoresFreezeGain)
{
	OpenLongest();
	Press(IDC_SAVE);

	EXPECT_THAT(messages, IsEmpty());
	EXPECT_EQ(HexBytes(Page3(0, 180)), HexBytes(kLongest));
	EXPECT_THAT(Page3(180), ::testing::Each(0xFF));
	EXPECT_EQ(sim::EepromByte(kPage1 + 0xFF), 0x5A);
	std::vector<std::string> log = Log();
	auto marker = std::find(log.begin(), log.end(), "WB a2:ff 5a");
	ASSERT_NE(marker, log.end());
	EXPECT_EQ(*(marker - 2), "WB a6:9b 42") << "the marker follows the 0xA812 record";

	// Freeze Gain is forgotten in the panel; Connect brings it back.
	Button(IDC_FREEZE_GAIN)->click();
	ASSERT_FALSE(dlg->m_bFreezeGain);
	Press(IDC_CONNECT);
	EXPECT_TRUE(Checked(IDC_FREEZE_GAIN));
	EXPECT_TRUE(dlg->m_bFreezeGain);
}

TEST_F(SaveTest, ManualExposureWithoutFreezeEndsTheScriptAndClearsTheMarker)
{
	OpenLongest();
	Button(IDC_FREEZE_GAIN)->click();
	sim::SetEepromByte(kPage1 + 0xFF, 0x5A);
	Press(IDC_SAVE);

	EXPECT_THAT(messages, IsEmpty());
	EXPECT_EQ(HexBytes(Page3(0, 156)), HexBytes(kLongest.begin(), kLongest.begin() + 156));
	EXPECT_THAT(Page3(156), ::testing::Each(0xFF));
	EXPECT_EQ(sim::EepromByte(kPage1 + 0xFF), 0xFF);
	EXPECT_EQ(Log().back(), "SLEEP 20");
	EXPECT_EQ(Log().end()[-2], "WB a2:ff ff");
}

TEST_F(SaveTest, OffsetMovesTheScriptOrRefusesIt)
{
	OpenShortest();
	// 0xE8 + 24 bytes end exactly at the page end; the fill keeps to the
	// EEPROM's 16-byte write pages.
	SetOffset("e8");
	Press(IDC_SAVE);
	EXPECT_THAT(messages, IsEmpty());
	std::vector<std::string> log = Log();
	ASSERT_GE(log.size(), 4u);
	EXPECT_THAT(std::vector<std::string>(log.begin(), log.begin() + 4),
		    ElementsAre(Block(0xE8, 8), "SLEEP 20", Block(0xF0, 16), "SLEEP 20"));
	EXPECT_THAT(Page3(0, 0xE8), ::testing::Each(0x00));
	EXPECT_EQ(HexBytes(Page3(0xE8)), HexBytes(kShortest));

	// One byte further the script would wrap onto its own start.
	ScribbleOverPage3();
	SetOffset("e9");
	Press(IDC_SAVE);
	EXPECT_THAT(messages,
		    ElementsAre("The settings script of 24 bytes does not fit into EEPROM page 3 from "
				"offset 0xe9; nothing was saved."));
	EXPECT_THAT(Log(), IsEmpty());
}

TEST_F(SaveTest, FailedReadsAndWritesStopSave)
{
	OpenShortest();
	sim::AddFault({ Call::ReceiveSub, 0xBB, 0x3254, 14, 0, 1 });
	Press(IDC_SAVE);
	EXPECT_THAT(
		messages,
		ElementsAre(
			kNack,
			"Reading the camera failed; the settings were not saved. Check the camera and press Save again."));
	EXPECT_EQ(Log().back(), "R 3254 !14");
	EXPECT_THAT(Page3(), ::testing::Each(0xFF));

	ScribbleOverPage3();
	sim::AddFault({ Call::SendSub, 0xA6, 0x05, 14, 0, 1 });
	Press(IDC_SAVE);
	EXPECT_THAT(
		messages,
		ElementsAre(
			kNack,
			"Writing to the EEPROM failed; the saved settings are incomplete. Check the camera and press Save again."));
	EXPECT_EQ(Log().back(), "WB a6:05 54 !14");
	EXPECT_THAT(Page3(0, 5), ElementsAre(0x30, 0x1C, 0x40, 0x03, 0x32));
}

TEST_F(SaveTest, EraseWarnsAndErasesByTurns)
{
	OpenShortest();
	std::vector<std::string> erase;
	for (int sub = 0; sub < 256; sub += 16) {
		erase.push_back(Block(sub, 16));
		erase.push_back("SLEEP 20");
	}
	// The counter lives for the whole run: presses alternate from here on.
	Press(IDC_ERASE_EEPROM);
	if (messages.empty())
		Press(IDC_ERASE_EEPROM);
	for (int round = 0; round < 2; round++) {
		SCOPED_TRACE(round);
		EXPECT_THAT(
			messages,
			ElementsAre(
				"This will erase part of camera EEPROM. If this is ok please press again erase"));
		EXPECT_THAT(Log(), IsEmpty());
		EXPECT_THAT(Page3(), ::testing::Each(0x00));

		Press(IDC_ERASE_EEPROM);
		EXPECT_THAT(messages, IsEmpty());
		EXPECT_THAT(Log(), ElementsAreArray(erase));
		EXPECT_THAT(Page3(), ::testing::Each(0xFF));

		ScribbleOverPage3();
		Press(IDC_ERASE_EEPROM);
	}
}

TEST_F(SaveTest, OffsetEditIsNormalised)
{
	Open();
	const struct {
		const char *typed;
		const char *shown;
		int offset;
	} cases[] = {
		{ "1F", "1f", 0x1F }, { "100", "ff", 0xFF }, { "", "0", 0 },       { "0x2a", "2a", 0x2A },
		{ " 7", "7", 7 },     { "zz", "0", 0 },      { "fe", "fe", 0xFE }, { "3g", "3", 3 },
	};
	for (const auto &c : cases) {
		SetOffset(c.typed);
		EXPECT_EQ(Text(IDC_ADDR_OFFSET), c.shown) << c.typed;
		EXPECT_EQ(dlg->m_nAddrOffset, c.offset) << c.typed;
	}
}
