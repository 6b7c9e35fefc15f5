// White balance group: automatic, push-to-white measurement, manual gains
// and "Push to Set".
#include "panel_fixture.h"

#include "resource.h"

#include <QTest>

using qxiic::sim::Call;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

constexpr int kModeControls[] = { IDC_PUSH2WHITE, IDC_WB_MODE, IDC_MANUAL_MODE, IDC_PUSH_TO_SET };
constexpr int kGainControls[] = { IDC_RED_GREEN_SCROLL, IDC_BLUE_GREEN_SCROLL, IDC_RED_GREEN,
				  IDC_BLUE_GREEN };
// The white-balance block a measurement reads, in order.
constexpr int kSnapshotRegs[] = { 0xAC00, 0xAC02, 0xAC04, 0xAC0A, 0xAC0C, 0xAC0E, 0xAC10, 0xAC12, 0xAC14,
				  0xAC16, 0xAC18, 0xAC1A, 0xAC1C, 0xAC1E, 0xAC32, 0xAC36, 0xAC38, 0xAC3A,
				  0xAC3C, 0xAC3E, 0xAC40, 0xAC42, 0xAC44, 0xAC46, 0xAC48, 0xAC4A, 0xAC4C };

class WhiteBalanceTest : public PanelTest
{
protected:
	void ExpectModeControlsEnabled(bool enabled)
	{
		for (int id : kModeControls)
			EXPECT_EQ(Enabled(id), enabled) << "control " << id;
	}

	void ExpectGainsEnabled(bool enabled)
	{
		for (int id : kGainControls)
			EXPECT_EQ(Enabled(id), enabled) << "control " << id;
	}

	// The transfers of one push-to-white measurement.
	static std::vector<std::string> MeasureLog(const char *failedControl0 = "")
	{
		std::vector<std::string> log = { "W ac04=0000", std::string("W ac00=0001") + failedControl0,
						 "W ac02=000a", "SLEEP 5" };
		for (int reg : kSnapshotRegs) {
			log.push_back("SLEEP 1");
			log.push_back("R " + Hex4(reg));
		}
		// 0xAC4E, for the settings script.
		log.push_back("SLEEP 1");
		log.push_back("R ac4e");
		return log;
	}
};

TEST_F(WhiteBalanceTest, AutoWbCheckAndUncheck)
{
	qxiic::sim::SetRegister(0xAC04, 0xFF00);
	Open();
	ASSERT_TRUE(Checked(IDC_MANUAL_MODE));
	ExpectGainsEnabled(true);
	ClearLog();

	Button(IDC_AUTO_WB)->click();
	EXPECT_TRUE(dlg->m_bAutoWb);
	EXPECT_THAT(Log(), ElementsAre("W ac04=00ff"));
	EXPECT_EQ(Text(IDC_WB_MODE), "AWB");
	EXPECT_FALSE(Checked(IDC_MANUAL_MODE));
	EXPECT_FALSE(Checked(IDC_PUSH_TO_SET));
	ExpectModeControlsEnabled(false);
	ExpectGainsEnabled(false);

	// The camera keeps balancing by itself: nothing is written.
	ClearLog();
	Button(IDC_AUTO_WB)->click();
	EXPECT_FALSE(dlg->m_bAutoWb);
	EXPECT_THAT(Log(), IsEmpty());
	EXPECT_EQ(Text(IDC_WB_MODE), "P2W running");
	EXPECT_EQ(dlg->m_bP2wSet, 0);
	EXPECT_FALSE(Checked(IDC_MANUAL_MODE));
	EXPECT_TRUE(Checked(IDC_PUSH_TO_SET));
	ExpectModeControlsEnabled(true);
	ExpectGainsEnabled(false);
}

TEST_F(WhiteBalanceTest, Push2WhiteMeasuresThenRuns)
{
	Open();
	Button(IDC_AUTO_WB)->click();
	ClearLog();

	Button(IDC_PUSH2WHITE)->click();
	EXPECT_EQ(dlg->m_bP2wSet, 1);
	EXPECT_THAT(Log(), ElementsAreArray(MeasureLog()));
	EXPECT_EQ(Text(IDC_WB_MODE), "P2W = set");
	for (int i = 0; i < 27; i++)
		EXPECT_EQ(dlg->m_anWbSnapshot[i],
			  qxiic::sim::Register(static_cast<std::uint16_t>(kSnapshotRegs[i])))
			<< "entry " << i;
	const int readMode = dlg->m_anWbSnapshot[2];

	ClearLog();
	Button(IDC_PUSH2WHITE)->click();
	EXPECT_EQ(dlg->m_bP2wSet, 0);
	EXPECT_THAT(Log(), ElementsAre("W ac04=00ff"));
	EXPECT_EQ(Text(IDC_WB_MODE), "P2W running");
	EXPECT_EQ(dlg->m_anWbSnapshot[0], 0x00FF);
	EXPECT_EQ(dlg->m_anWbSnapshot[2], readMode);
	EXPECT_TRUE(messages.empty());
}

TEST_F(WhiteBalanceTest, ManualModeMeasuresAndShowsGainsWithoutWriting)
{
	qxiic::sim::SetRegister(0xAC04, 0x0000);
	Open();
	qxiic::sim::SetRegister(0x3056, 0x1234);
	qxiic::sim::SetRegister(0x305C, 0x5678);
	ClearLog();

	Button(IDC_MANUAL_MODE)->click();
	std::vector<std::string> expected = MeasureLog();
	for (const char *read : { "R 3056", "R 305c", "R ac4a", "R ac48" })
		expected.push_back(read);
	EXPECT_THAT(Log(), ElementsAreArray(expected));
	EXPECT_THAT(messages, IsEmpty());
	EXPECT_EQ(dlg->m_bP2wSet, 1);
	EXPECT_EQ(dlg->m_nGain3056, 0x1234);
	EXPECT_EQ(dlg->m_nGain305C, 0x5678);
	// The gains the camera measured.
	EXPECT_EQ(dlg->m_nRedGreenSaved, 0x2D);
	EXPECT_EQ(dlg->m_nBlueGreenSaved, 0x56);
	EXPECT_EQ(Text(IDC_RED_GREEN), "2d");
	EXPECT_EQ(Text(IDC_BLUE_GREEN), "56");
	EXPECT_EQ(Bar(IDC_RED_GREEN_SCROLL)->value(), 0x2D);
	EXPECT_EQ(Bar(IDC_BLUE_GREEN_SCROLL)->value(), 0x56);
	EXPECT_EQ(Text(IDC_WB_MODE), "Manual WB");
	EXPECT_FALSE(Enabled(IDC_PUSH2WHITE));
	ExpectGainsEnabled(true);

	ClearLog();
	Bar(IDC_BLUE_GREEN_SCROLL)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
	EXPECT_THAT(Log(), ElementsAre("W ac04=ff00", "W ac4a=0057"));
	EXPECT_EQ(Text(IDC_BLUE_GREEN), "57");
}

TEST_F(WhiteBalanceTest, PushToSetWritesTheSavedGains)
{
	qxiic::sim::SetRegister(0xAC04, 0xFF00);
	qxiic::sim::SetRegister(0xAC48, 0x0062);
	qxiic::sim::SetRegister(0xAC4A, 0x0008);
	Open();
	Edit(IDC_RED_GREEN)->selectAll();
	QTest::keyClicks(Edit(IDC_RED_GREEN), "30");
	ClearLog();

	// Right after connect the flag is set, as the display said.
	Button(IDC_PUSH_TO_SET)->click();
	EXPECT_THAT(Log(), ElementsAre("W ac04=ff00", "W ac48=0062"));
	EXPECT_EQ(Text(IDC_RED_GREEN), "62");
	EXPECT_EQ(Text(IDC_BLUE_GREEN), "8");
	EXPECT_EQ(Bar(IDC_RED_GREEN_SCROLL)->value(), 0x62);
	EXPECT_EQ(Bar(IDC_BLUE_GREEN_SCROLL)->value(), 0x08);
	EXPECT_EQ(Text(IDC_WB_MODE), "P2W = set");
	EXPECT_TRUE(Enabled(IDC_PUSH2WHITE));
	ExpectGainsEnabled(false);

	// A set flag makes the first Push2White resume the automatic balance.
	ClearLog();
	Button(IDC_PUSH2WHITE)->click();
	EXPECT_THAT(Log(), ElementsAre("W ac04=00ff"));
	EXPECT_EQ(Text(IDC_WB_MODE), "P2W running");
	ClearLog();
	Button(IDC_PUSH_TO_SET)->click();
	EXPECT_THAT(Log(), ElementsAre("W ac04=ff00", "W ac48=0062"));
	EXPECT_EQ(Text(IDC_WB_MODE), "P2W running");
}

} // namespace

namespace {

// Both saved gains travel, each after its mode write, when their texts have
// two digits; one digit is not a valid text and a gain above 0xA0 is limited
// (and written twice, by the nested change).
TEST_F(WhiteBalanceTest, PushToSetWritesEachSavedGainWhoseTextHasTwoDigits)
{
	const struct {
		int redGreen, blueGreen;
		std::vector<std::string> writes;
	} cases[] = {
		{ 0x4A, 0x3C, { "ac04=ff00", "ac48=004a", "ac04=ff00", "ac4a=003c" } },
		{ 0x10, 0xA0, { "ac04=ff00", "ac48=0010", "ac04=ff00", "ac4a=00a0" } },
		{ 0x0F, 0x3C, { "ac04=ff00", "ac4a=003c" } },
		{ 0xC5, 0x0A, { "ac04=ff00", "ac48=00a0", "ac04=ff00", "ac48=00a0" } },
	};
	for (const auto &c : cases) {
		qxiic::sim::Reset();
		qxiic::sim::UseManualClock(true);
		qxiic::sim::SetRegister(0xAC04, 0xFF00);
		qxiic::sim::SetRegister(0xAC48, static_cast<std::uint16_t>(c.redGreen));
		qxiic::sim::SetRegister(0xAC4A, static_cast<std::uint16_t>(c.blueGreen));
		Open();
		ClearLog();
		Button(IDC_PUSH_TO_SET)->click();
		EXPECT_THAT(RegisterWrites(), ElementsAreArray(c.writes))
			<< std::hex << c.redGreen << " " << c.blueGreen;
		EXPECT_THAT(messages, IsEmpty());
	}
}

} // namespace
