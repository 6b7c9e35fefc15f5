// Slider/edit pairs: arrows, thumb drags and the common text checks, driven
// through the real scroll bars and edits.
#include "panel_fixture.h"

#include "qt_access.h"
#include "resource.h"

#include <QDialog>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QTest>

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Action = QAbstractSlider::SliderAction;

namespace {

class SlidersTest : public PanelTest
{
protected:
	// Manual exposure and manual white balance: shutter, sharpness and both
	// gains take operator input.
	void OpenAllManual()
	{
		qxiic::sim::SetRegister(0xA804, 0x0000);
		qxiic::sim::SetRegister(0xAC04, 0xFF00);
		Open();
	}

	std::vector<std::string> Step(int bar, Action action)
	{
		ClearLog();
		Bar(bar)->triggerAction(action);
		return Log();
	}

	void Type(int edit, const char *text)
	{
		Edit(edit)->selectAll();
		QTest::keyClicks(Edit(edit), text);
	}
};

TEST_F(SlidersTest, ArrowsAtTheEndsSetTheSameTextAndWriteAgain)
{
	qxiic::sim::SetRegister(0x3012, 0x013B);
	qxiic::sim::SetRegister(0xAC48, 0x00A0);
	qxiic::sim::SetRegister(0xAC4A, 0x0000);
	OpenAllManual();

	EXPECT_THAT(Step(IDC_SHUTTER_SCROLL, Action::SliderSingleStepAdd), ElementsAre("W 3012=013b"));
	EXPECT_EQ(Text(IDC_SHUTTER), "13b");
	EXPECT_EQ(Bar(IDC_SHUTTER_SCROLL)->value(), 315);

	EXPECT_THAT(Step(IDC_RED_GREEN_SCROLL, Action::SliderSingleStepAdd),
		    ElementsAre("W ac04=ff00", "W ac48=00a0"));
	EXPECT_EQ(Text(IDC_RED_GREEN), "a0");
	EXPECT_EQ(Bar(IDC_RED_GREEN_SCROLL)->value(), 160);

	EXPECT_THAT(Step(IDC_BLUE_GREEN_SCROLL, Action::SliderSingleStepSub),
		    ElementsAre("W ac04=ff00", "W ac4a=0000"));
	EXPECT_EQ(Text(IDC_BLUE_GREEN), "00");

	Type(IDC_SHUTTER, "000");
	EXPECT_THAT(Step(IDC_SHUTTER_SCROLL, Action::SliderSingleStepSub), ElementsAre("W 3012=0000"));
	EXPECT_EQ(Text(IDC_SHUTTER), "000");
	EXPECT_EQ(Bar(IDC_SHUTTER_SCROLL)->value(), 0);
	EXPECT_TRUE(messages.empty());
}

TEST_F(SlidersTest, DraggedThumbWritesOnceWhenReleased)
{
	OpenAllManual();
	ClearLog();

	QScrollBar *shutter = Bar(IDC_SHUTTER_SCROLL);
	shutter->setSliderDown(true);
	shutter->setSliderPosition(100);
	shutter->setSliderPosition(200);
	EXPECT_THAT(Log(), IsEmpty());
	EXPECT_EQ(Text(IDC_SHUTTER), "0a6");
	shutter->setSliderDown(false);
	EXPECT_THAT(Log(), ElementsAre("W 3012=00c8"));
	EXPECT_EQ(Text(IDC_SHUTTER), "0c8");
	EXPECT_EQ(shutter->value(), 200);
	EXPECT_EQ(dlg->m_nShutter, 200);
}

// Some styles jump the thumb to a click in the trough; under one of them
// the panel's sliders still move only by steps and drags.
TEST_F(SlidersTest, TroughClicksDoNotJumpUnderAStyleThatAsksForIt)
{
	struct JumpStyle : QProxyStyle {
		JumpStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}
		int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
			      QStyleHintReturn *returnData) const override
		{
			if (hint == SH_ScrollBar_LeftClickAbsolutePosition ||
			    hint == SH_ScrollBar_MiddleClickAbsolutePosition)
				return 1;
			return QProxyStyle::styleHint(hint, option, widget, returnData);
		}
	};
	OpenAllManual();
	toolkit::DialogWidget(*dlg)->show();
	for (int id : { IDC_SHUTTER_SCROLL, IDC_SHARPNESS_SCROLL, IDC_RED_GREEN_SCROLL }) {
		QScrollBar *bar = Bar(id);
		auto *panelStyle = qobject_cast<QProxyStyle *>(bar->style());
		ASSERT_NE(panelStyle, nullptr) << id;
		const QString baseName = panelStyle->baseStyle()->name();
		panelStyle->setBaseStyle(new JumpStyle);
		ASSERT_EQ(panelStyle->baseStyle()->styleHint(QStyle::SH_ScrollBar_LeftClickAbsolutePosition),
			  1);
		const int before = bar->value();
		ClearLog();
		QStyleOptionSlider opt;
		opt.initFrom(bar);
		opt.orientation = Qt::Horizontal;
		opt.maximum = bar->maximum();
		opt.sliderPosition = opt.sliderValue = bar->value();
		opt.singleStep = bar->singleStep();
		opt.pageStep = bar->pageStep();
		opt.subControls = QStyle::SC_All;
		for (QStyle::SubControl page : { QStyle::SC_ScrollBarSubPage, QStyle::SC_ScrollBarAddPage }) {
			QPoint trough =
				bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, page, bar).center();
			QTest::mouseClick(bar, Qt::LeftButton, {}, trough);
			QTest::mouseClick(bar, Qt::MiddleButton, {}, trough);
		}
		panelStyle->setBaseStyle(QStyleFactory::create(baseName));
		EXPECT_THAT(Log(), IsEmpty()) << id;
		EXPECT_EQ(bar->value(), before) << id;
	}
	EXPECT_EQ(Text(IDC_SHUTTER), "0a6");
	EXPECT_EQ(Text(IDC_SHARPNESS), "5");
	EXPECT_EQ(Text(IDC_RED_GREEN), "62");
}

TEST_F(SlidersTest, PageHomeAndEndDoNothing)
{
	OpenAllManual();
	for (int bar :
	     { IDC_SHUTTER_SCROLL, IDC_SHARPNESS_SCROLL, IDC_RED_GREEN_SCROLL, IDC_BLUE_GREEN_SCROLL }) {
		int before = Bar(bar)->value();
		for (Action action : { Action::SliderPageStepAdd, Action::SliderPageStepSub,
				       Action::SliderToMinimum, Action::SliderToMaximum }) {
			EXPECT_THAT(Step(bar, action), IsEmpty()) << bar << " action " << action;
			EXPECT_EQ(Bar(bar)->value(), before) << bar << " action " << action;
		}
	}
	EXPECT_EQ(Text(IDC_SHUTTER), "0a6");
	EXPECT_EQ(Text(IDC_SHARPNESS), "5");
	EXPECT_EQ(Text(IDC_RED_GREEN), "62");
	EXPECT_EQ(Text(IDC_BLUE_GREEN), "58");
}

TEST_F(SlidersTest, TextsAreTakenOnlyWhenCompleteHexAndWithinRange)
{
	qxiic::sim::SetRegister(0xAC04, 0xFF00);
	Open();
	ClearLog();

	Type(IDC_AEX_REF, "1");
	QTest::keyClicks(Edit(IDC_AEX_REF), "g");
	EXPECT_EQ(Text(IDC_AEX_REF), "1g");
	EXPECT_THAT(Log(), IsEmpty());
	EXPECT_EQ(dlg->m_nAexRef, 0x50);
	EXPECT_EQ(Bar(IDC_AEX_REF_SCROLL)->value(), 0x50);

	// The typing limit of two keeps a third character out.
	Type(IDC_AEX_REF, "3c9");
	EXPECT_EQ(Text(IDC_AEX_REF), "3c");
	EXPECT_THAT(RegisterWrites(), ElementsAre("a812=003c"));

	// A limited gain: each of its two writes goes with its own mode write.
	ClearLog();
	Type(IDC_RED_GREEN, "a");
	EXPECT_THAT(Log(), IsEmpty());
	QTest::keyClicks(Edit(IDC_RED_GREEN), "1");
	EXPECT_EQ(Text(IDC_RED_GREEN), "a0");
	EXPECT_THAT(Log(), ElementsAre("W ac04=ff00", "W ac48=00a0", "W ac04=ff00", "W ac48=00a0"));
	EXPECT_EQ(dlg->m_nRedGreen, 0xA0);
	EXPECT_EQ(Bar(IDC_RED_GREEN_SCROLL)->value(), 160);
	EXPECT_EQ(dlg->m_anWbSnapshot[2], 0xFF00);
	EXPECT_EQ(dlg->m_anWbSnapshot[24], 0xA0);
	EXPECT_TRUE(messages.empty());
}

} // namespace
