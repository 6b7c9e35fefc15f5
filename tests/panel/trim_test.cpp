// Image trim: the four move buttons, the sequence each move sends through
// the sensor's command interface, and STORE into EEPROM page 4.
#include "panel_fixture.h"

#include "qt_access.h"
#include "resource.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace sim = qxiic::sim;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const int kTrimButtons[] = { IDC_TRIM_LEFT, IDC_TRIM_RIGHT, IDC_TRIM_UP, IDC_TRIM_DOWN, IDC_TRIM_STORE };

class TrimTest : public PanelTest
{
protected:
	// A fresh camera whose page 4 holds these trims, and a table pattern of
	// our own so that every byte's place shows.
	void OpenWithTrims(int horizontal, int vertical)
	{
		dlg.reset();
		sim::Reset();
		sim::UseManualClock(true);
		sim::SetEepromByte(0x400, static_cast<std::uint8_t>(horizontal));
		sim::SetEepromByte(0x401, static_cast<std::uint8_t>(vertical));
		for (int a = 0x402; a < 0x400 + 594; a++)
			sim::SetEepromByte(a, static_cast<std::uint8_t>(a * 7 + 3));
		Open();
		ClearLog();
	}

	static std::string Hex2(int value) { return Hex4(value).substr(2); }

	// What a move sends, written out from the camera's EEPROM copy of the
	// table; pollsPerCommand reads of 0x0040 after each command.
	static std::vector<std::string> MoveLog(int horizontal, int vertical, int pollsPerCommand)
	{
		auto table = [](int i) { return sim::EepromByte(0x400 + i); };
		auto pair = [&](int i) { return Hex2(table(i)) + Hex2(table(i + 1)); };
		std::vector<std::string> log = { "W c892=00" + Hex2(horizontal), "W c894=00" + Hex2(vertical),
						 "W 098e=4824" };
		const int block[][2] = { { 0xC822, 2 },  { 0xC826, 4 },  { 0xC824, 6 },  { 0xC828, 8 },
					 { 0xC82E, 10 }, { 0xC830, 12 }, { 0xC82A, 14 }, { 0xC82C, 16 } };
		for (const auto &b : block)
			log.push_back("W " + Hex4(b[0]) + "=" + pair(b[1]));
		auto command = [&](const char *word) {
			log.push_back(std::string("W 0040=") + word);
			log.insert(log.end(), static_cast<size_t>(pollsPerCommand), "R 0040");
		};
		auto window = [&](int first, int bytes) {
			for (int k = 0; k < bytes; k += 2)
				log.push_back("W " + Hex4(0xFC00 + k) + "=" + pair(first + k));
		};
		for (int i = 32; i < 576; i += 16) {
			window(i, 16);
			command("8304");
		}
		window(576, 6);
		command("8304");
		window(576, 6);
		command("8304");
		command("8305");
		return log;
	}
};

TEST_F(TrimTest, StepsLimitsAndTexts)
{
	struct Case {
		int button, horizontal, vertical;
		int newHorizontal, newVertical;
		const char *textHorizontal, *textVertical;
	};
	const Case cases[] = {
		{ IDC_TRIM_LEFT, 0, 12, 2, 12, "2", "c" },
		{ IDC_TRIM_LEFT, 2, 12, 4, 12, "4", "c" },
		{ IDC_TRIM_LEFT, 8, 12, 10, 12, "a", "c" },
		{ IDC_TRIM_LEFT, 44, 12, 46, 12, "Max Left", "c" },
		{ IDC_TRIM_LEFT, 46, 12, 46, 12, "Max Left", "c" },
		{ IDC_TRIM_RIGHT, 0, 12, 0, 12, "Max Right", "c" },
		{ IDC_TRIM_RIGHT, 2, 12, 0, 12, "Max Right", "c" },
		{ IDC_TRIM_RIGHT, 44, 12, 42, 12, "2a", "c" },
		{ IDC_TRIM_RIGHT, 46, 12, 44, 12, "2c", "c" },
		{ IDC_TRIM_UP, 20, 0, 20, 2, "14", "2" },
		{ IDC_TRIM_UP, 20, 30, 20, 32, "14", "20" },
		{ IDC_TRIM_UP, 20, 44, 20, 46, "14", "Max up" },
		{ IDC_TRIM_UP, 20, 46, 20, 46, "14", "Max up" },
		{ IDC_TRIM_DOWN, 20, 0, 20, 0, "14", "Max down" },
		{ IDC_TRIM_DOWN, 20, 2, 20, 0, "14", "Max down" },
		{ IDC_TRIM_DOWN, 20, 44, 20, 42, "14", "2a" },
		{ IDC_TRIM_DOWN, 20, 46, 20, 44, "14", "2c" },
	};
	for (const Case &c : cases) {
		SCOPED_TRACE(testing::Message()
			     << "button " << c.button << " at " << c.horizontal << "/" << c.vertical);
		OpenWithTrims(c.horizontal, c.vertical);
		Button(c.button)->click();
		EXPECT_EQ(Text(IDC_TRIM_HORIZONTAL), c.textHorizontal);
		EXPECT_EQ(Text(IDC_TRIM_VERTICAL), c.textVertical);
		EXPECT_EQ(dlg->m_nTrimHorizontal, c.newHorizontal);
		EXPECT_EQ(dlg->m_nTrimVertical, c.newVertical);
		bool atLimit = c.newHorizontal == c.horizontal && c.newVertical == c.vertical;
		if (atLimit)
			EXPECT_THAT(Log(), IsEmpty());
		else
			EXPECT_EQ(Log(), MoveLog(c.newHorizontal, c.newVertical, 4));
		// Never left disabled, at a limit or after a move.
		for (int id : kTrimButtons)
			EXPECT_TRUE(Enabled(id)) << id;
		EXPECT_TRUE(messages.empty());
	}
}

TEST_F(TrimTest, MoveSequenceAndCommandPollsUntilBit15ClearOr16Reads)
{
	struct Case {
		int busyReads, polls;
	};
	const Case cases[] = { { 0, 1 }, { 3, 4 }, { 15, 16 } };
	for (const Case &c : cases) {
		SCOPED_TRACE(c.busyReads);
		OpenWithTrims(20, 12);
		sim::SetCommandBusyReads(c.busyReads);
		Button(IDC_TRIM_DOWN)->click();
		EXPECT_EQ(Log(), MoveLog(20, 10, c.polls));
		EXPECT_TRUE(messages.empty());
		EXPECT_EQ(Text(IDC_TRIM_VERTICAL), "a");

		std::vector<std::string> writes = RegisterWrites();
		EXPECT_EQ(writes.size(), 326u);
		EXPECT_EQ(std::count(writes.begin(), writes.end(), "0040=8304"), 36);
		EXPECT_EQ(writes.back(), "0040=8305");
		EXPECT_EQ(sim::Register(0xC894), 10);
	}
}

// A command still busy after its 16th poll fails the move: it stops there,
// and the trim goes back to where it was.
TEST_F(TrimTest, CommandStillBusyAfter16PollsFailsTheMove)
{
	for (int busyReads : { 16, -1 }) {
		SCOPED_TRACE(busyReads);
		OpenWithTrims(20, 12);
		sim::SetCommandBusyReads(busyReads);
		Button(IDC_TRIM_DOWN)->click();
		std::vector<std::string> expected = MoveLog(20, 10, 16);
		expected.resize(3 + 8 + 8 + 1 + 16); // up to the first chunk's last poll
		EXPECT_EQ(Log(), expected);
		EXPECT_THAT(messages, ElementsAre("The camera did not finish command 0x8304.",
						  "The image trim was not applied completely. Check the "
						  "camera and press Connect."));
		EXPECT_EQ(Text(IDC_TRIM_VERTICAL), "c");
		EXPECT_EQ(dlg->m_nTrimVertical, 12);
		messages.clear();
	}
}

TEST_F(TrimTest, MoveLocksButtonsShowsBusyCursorAndStopsAtAFailure)
{
	OpenWithTrims(20, 12);
	std::vector<bool> enabledDuringMove;
	bool busyCursor = false;
	toolkit::SetMessageBoxObserver([&](QMessageBox &box) {
		messages.push_back(box.text().toStdString());
		for (int id : kTrimButtons)
			enabledDuringMove.push_back(Enabled(id));
		// A box puts its arrow over a busy cursor; with none, no override at all.
		busyCursor = QApplication::overrideCursor() != nullptr;
		QTimer::singleShot(0, &box, &QMessageBox::accept);
	});
	sim::AddFault({ sim::Call::SendSub, 0xBA, 0xC892, 14, 0, 1 });

	Button(IDC_TRIM_UP)->click();
	EXPECT_THAT(messages, ElementsAre("error: USB_I2C_NACK", "The image trim was not applied completely. "
								 "Check the camera and press Connect."));
	// The adapter's message during the move, what was undone after it.
	EXPECT_EQ(enabledDuringMove,
		  std::vector<bool>({ false, false, false, false, false, true, true, true, true, true }));
	EXPECT_TRUE(busyCursor);
	EXPECT_THAT(Log(), ElementsAre("W c892=0014 !14"));
	// The display and STORE keep the trim the sensor has.
	EXPECT_EQ(Text(IDC_TRIM_VERTICAL), "c");
	EXPECT_EQ(dlg->m_nTrimVertical, 12);
	for (int id : kTrimButtons)
		EXPECT_TRUE(Enabled(id)) << id;
	EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(TrimTest, StoreWritesBothTrimsOnceAndConnectReadsThemBack)
{
	OpenWithTrims(10, 12);
	Button(IDC_TRIM_LEFT)->click();
	Button(IDC_TRIM_LEFT)->click();
	ClearLog();

	Button(IDC_TRIM_STORE)->click();
	EXPECT_THAT(Log(), ElementsAre("WB a8:00 0e 0c"));
	EXPECT_EQ(sim::EepromByte(0x400), 0x0E);
	EXPECT_EQ(sim::EepromByte(0x401), 0x0C);
	EXPECT_EQ(Text(IDC_TRIM_HORIZONTAL), "e");

	// A move not stored is gone after the next Connect.
	Button(IDC_TRIM_LEFT)->click();
	EXPECT_EQ(Text(IDC_TRIM_HORIZONTAL), "10");
	sim::AdvanceClock(sim::kEepromWriteCycleUs);
	Button(IDC_CONNECT)->click();
	EXPECT_TRUE(messages.empty());
	EXPECT_EQ(Text(IDC_TRIM_HORIZONTAL), "e");
	EXPECT_EQ(Text(IDC_TRIM_VERTICAL), "c");
	EXPECT_EQ(dlg->m_nTrimHorizontal, 14);
}

} // namespace
