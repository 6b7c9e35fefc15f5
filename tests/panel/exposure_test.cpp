// Exposure group: switching between automatic and manual exposure, the
// shutter and reference texts, and Freeze Gain.
#include "panel_fixture.h"

#include "resource.h"

#include <QTest>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class ExposureTest : public PanelTest
{
protected:
	void Type(int edit, const char *text)
	{
		Edit(edit)->selectAll();
		QTest::keyClicks(Edit(edit), text);
	}

	void ExpectManualEnables(bool manual)
	{
		EXPECT_EQ(Enabled(IDC_SHUTTER_SCROLL), manual);
		EXPECT_EQ(Enabled(IDC_SHUTTER), manual);
		EXPECT_EQ(Enabled(IDC_FREEZE_GAIN), manual);
		EXPECT_EQ(Enabled(IDC_AEX_REF_SCROLL), !manual);
		EXPECT_EQ(Enabled(IDC_AEX_REF), !manual);
	}
};

TEST_F(ExposureTest, SwitchToManualReadsInOrderAndShowsTheWholeShutter)
{
	qxiic::sim::SetRegister(0x3012, 0x0040);
	qxiic::sim::SetRegister(0x3056, 0x1111);
	qxiic::sim::SetRegister(0x305C, 0x2222);
	qxiic::sim::SetRegister(0x3058, 0x3333);
	qxiic::sim::SetRegister(0x305A, 0x4444);
	qxiic::sim::SetRegister(0xA838, 0x5555);
	qxiic::sim::SetRegister(0xA83A, 0x6666);
	Open();
	ExpectManualEnables(false);
	ClearLog();

	Button(IDC_MANUAL_EXPOSURE)->click();
	EXPECT_TRUE(dlg->m_bManualExposure);
	EXPECT_THAT(Log(), ElementsAre("W a804=0000", "R 3012", "R 3056", "R 305c", "R 3058", "R 305a",
				       "R a838", "SLEEP 50", "R a83a", "SLEEP 50", "R c86c"));
	ExpectManualEnables(true);
	EXPECT_EQ(Text(IDC_SHUTTER), "40");
	EXPECT_EQ(Bar(IDC_SHUTTER_SCROLL)->value(), 64);
	EXPECT_EQ(dlg->m_nShutter, 0x40);
	EXPECT_EQ(dlg->m_nGain3056, 0x1111);
	EXPECT_EQ(dlg->m_nGain305C, 0x2222);
	EXPECT_EQ(dlg->m_nGain3058, 0x3333);
	EXPECT_EQ(dlg->m_nGain305A, 0x4444);
	EXPECT_EQ(dlg->m_nRegA838, 0x5555);
	EXPECT_EQ(dlg->m_nRegA83A, 0x6666);

	// A value beyond the slider is shown whole; the thumb stops at the end.
	Button(IDC_MANUAL_EXPOSURE)->click();
	qxiic::sim::SetRegister(0x3012, 0x0200);
	Button(IDC_MANUAL_EXPOSURE)->click();
	EXPECT_EQ(Text(IDC_SHUTTER), "200");
	EXPECT_EQ(Bar(IDC_SHUTTER_SCROLL)->value(), 315);
	EXPECT_EQ(dlg->m_nShutter, 0x200);
	EXPECT_THAT(RegisterWrites(), ElementsAre("a804=0000", "a804=000f", "a804=0000"));
	EXPECT_EQ(qxiic::sim::RegisterWrites(0x3012), 0);
	EXPECT_TRUE(messages.empty());
}

TEST_F(ExposureTest, SwitchToAutoShowsTheReferenceAndLeavesTheShutterShown)
{
	qxiic::sim::SetRegister(0xA804, 0x0000);
	Open();
	qxiic::sim::SetRegister(0x3012, 0x0077);
	qxiic::sim::SetRegister(0xA812, 0x0123);
	ClearLog();

	Button(IDC_MANUAL_EXPOSURE)->click();
	EXPECT_FALSE(Checked(IDC_MANUAL_EXPOSURE));
	EXPECT_THAT(Log(), ElementsAre("W a804=000f", "R 3012", "R a812"));
	ExpectManualEnables(false);
	EXPECT_EQ(dlg->m_nShutter, 0x77);
	EXPECT_EQ(Text(IDC_SHUTTER), "0a6");
	EXPECT_EQ(Bar(IDC_SHUTTER_SCROLL)->value(), 0xA6);
	EXPECT_EQ(dlg->m_nAexRef, 0x123);
	EXPECT_EQ(Text(IDC_AEX_REF), "123");
	EXPECT_EQ(Bar(IDC_AEX_REF_SCROLL)->value(), 0x23);
}

TEST_F(ExposureTest, ShutterTextIsLimitedTo13bAndNeedsThreeDigits)
{
	qxiic::sim::SetRegister(0xA804, 0x0000);
	Open();
	ClearLog();

	Type(IDC_SHUTTER, "fff");
	EXPECT_EQ(Text(IDC_SHUTTER), "13b");
	EXPECT_EQ(dlg->m_nShutter, 0x13B);
	EXPECT_EQ(Bar(IDC_SHUTTER_SCROLL)->value(), 315);
	EXPECT_THAT(RegisterWrites(), ElementsAre("3012=013b", "3012=013b"));

	ClearLog();
	Type(IDC_SHUTTER, "ff");
	EXPECT_THAT(Log(), IsEmpty());
	// "0ff" is written; a fourth character makes the text unusable.
	Edit(IDC_SHUTTER)->home(false);
	QTest::keyClicks(Edit(IDC_SHUTTER), "0");
	Edit(IDC_SHUTTER)->end(false);
	QTest::keyClicks(Edit(IDC_SHUTTER), "1");
	EXPECT_EQ(Text(IDC_SHUTTER), "0ff1");
	EXPECT_THAT(RegisterWrites(), ElementsAre("3012=00ff"));
	EXPECT_EQ(dlg->m_nShutter, 0xFF);
	EXPECT_EQ(Bar(IDC_SHUTTER_SCROLL)->value(), 0xFF);
}

TEST_F(ExposureTest, AexRefIsWrittenWithHighByteZero)
{
	qxiic::sim::SetRegister(0xA812, 0xAB50);
	Open();
	EXPECT_EQ(Bar(IDC_AEX_REF_SCROLL)->value(), 0x50);
	ClearLog();

	Bar(IDC_AEX_REF_SCROLL)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
	EXPECT_THAT(Log(), ElementsAre("W a812=0051"));
	EXPECT_EQ(Text(IDC_AEX_REF), "51");
	EXPECT_EQ(Bar(IDC_AEX_REF_SCROLL)->value(), 0x51);
	EXPECT_EQ(qxiic::sim::Register(0xA812), 0x0051);
}

TEST_F(ExposureTest, FreezeGainIsOnlyRemembered)
{
	qxiic::sim::SetRegister(0xA804, 0x0000);
	Open();
	ASSERT_FALSE(Checked(IDC_FREEZE_GAIN));
	ClearLog();

	Button(IDC_FREEZE_GAIN)->click();
	EXPECT_TRUE(Checked(IDC_FREEZE_GAIN));
	EXPECT_TRUE(dlg->m_bFreezeGain);
	EXPECT_THAT(Log(), IsEmpty());

	// Switching to automatic exposure only disables the box.
	Button(IDC_MANUAL_EXPOSURE)->click();
	EXPECT_FALSE(Enabled(IDC_FREEZE_GAIN));
	EXPECT_TRUE(Checked(IDC_FREEZE_GAIN));
	EXPECT_TRUE(dlg->m_bFreezeGain);
}

} // namespace
