// The dialog toolkit's semantics, checked on a small dialog of our own: the
// panel's handlers depend on exactly when notifications are raised and when
// they are not, so each case drives the real widgets.
#include "ddx.h"
#include "dialog.h"
#include "msgbox.h"
#include "qt_access.h"
#include "resources.h"
#include "sleep.h"
#include "velmora_resources.h"
#include "waitcursor.h"
#include "winapp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTextLayout>
#include <QTimer>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr UINT IDD_PROBE = 900;
enum : int {
	IDC_EDIT_A = 2001,
	IDC_EDIT_B,
	IDC_MEMO,
	IDC_CHECK_1,
	IDC_CHECK_2,
	IDC_RADIO_1,
	IDC_RADIO_2,
	IDC_GO,
	IDC_IDLE,
	IDC_SCROLL,
	IDC_PROGRESS,
};

// Edits A and B are 4 dialog units apart horizontally and 16 vertically.
const ControlTemplate kProbeControls[] = {
	{ IDC_EDIT_A, ControlKind::Edit, "", nullptr, 10, 10, 40, 12, CS_NONE, 0, 0 },
	{ IDC_EDIT_B, ControlKind::Edit, "", nullptr, 14, 26, 40, 12, CS_NONE, 0, 0 },
	{ IDC_MEMO, ControlKind::Edit, "", nullptr, 60, 10, 40, 28, CS_READONLY | CS_MULTILINE, 0, 0 },
	{ IDC_CHECK_1, ControlKind::CheckBox, "one", nullptr, 10, 44, 40, 10, CS_NONE, 0, 0 },
	{ IDC_CHECK_2, ControlKind::CheckBox, "two", nullptr, 60, 44, 40, 10, CS_NONE, 0, 0 },
	{ IDC_RADIO_1, ControlKind::RadioButton, "r1", nullptr, 10, 58, 40, 10, CS_NONE, 1, 0 },
	{ IDC_RADIO_2, ControlKind::RadioButton, "r2", nullptr, 60, 58, 40, 10, CS_NONE, 1, 0 },
	{ IDC_GO, ControlKind::PushButton, "Go", nullptr, 10, 72, 40, 14, CS_NONE, 0, 0 },
	{ IDC_IDLE, ControlKind::PushButton, "Idle", nullptr, 60, 72, 40, 14, CS_NONE, 0, 0 },
	{ IDC_SCROLL, ControlKind::HScrollBar, "", nullptr, 10, 90, 90, 10, CS_NONE, 0, 0 },
	{ IDC_PROGRESS, ControlKind::ProgressBar, "", nullptr, 10, 104, 90, 8, CS_NONE, 0, 0 },
	{ IDOK, ControlKind::DefPushButton, "OK", nullptr, 10, 118, 40, 14, CS_NONE, 0, 0 },
	{ IDCANCEL, ControlKind::PushButton, "Cancel", nullptr, 60, 118, 40, 14, CS_NONE, 0, 0 },
};
const DialogTemplate kProbeDialogs[] = {
	{ IDD_PROBE, "Probe", 110, 140, "MS Sans Serif", 8, kProbeControls },
};
const ResourceTable kProbeResources = { kProbeDialogs, {}, {}, {} };

struct ScrollEvent {
	UINT code;
	UINT pos;
	CScrollBar *bar;
	int posSeen; // the bar's position while the handler ran
};

class ProbeDlg : public CDialog
{
public:
	ProbeDlg() : CDialog(IDD_PROBE) {}

	CString m_strA, m_strB, m_strMemo;
	BOOL m_bCheck1 = FALSE, m_bCheck2 = FALSE;
	CEdit m_ctlEditA;
	CScrollBar m_ctlScroll;
	CProgressCtrl m_ctlProgress;

	std::vector<std::string> log;
	bool nestIntoB = false; // A's change handler sets B's text
	std::vector<ScrollEvent> scrolls;
	std::function<void(UINT code, UINT pos)> onScroll;
	std::function<void()> onGo;

protected:
	void DoDataExchange(CDataExchange *dx) override
	{
		DDX_Control(dx, IDC_SCROLL, m_ctlScroll);
		DDX_Control(dx, IDC_PROGRESS, m_ctlProgress);
		DDX_Text(dx, IDC_EDIT_A, m_strA);
		DDX_Text(dx, IDC_MEMO, m_strMemo);
		DDX_Check(dx, IDC_CHECK_1, m_bCheck1);
		DDX_Text(dx, IDC_EDIT_B, m_strB);
		DDV_MaxChars(dx, m_strB, 4);
		DDX_Check(dx, IDC_CHECK_2, m_bCheck2);
		DDX_Control(dx, IDC_EDIT_A, m_ctlEditA);
	}

	std::string text(int id) const { return GetDlgItem(id)->GetWindowText().str(); }
	std::string checks(int a, int b) const
	{
		return std::to_string(IsDlgButtonChecked(a)) + std::to_string(IsDlgButtonChecked(b));
	}

	void OnEnChangeA()
	{
		log.push_back("A:" + text(IDC_EDIT_A));
		if (nestIntoB) {
			GetDlgItem(IDC_EDIT_B)->SetWindowText("nested");
			log.push_back("A end");
		}
	}
	void OnEnChangeB() { log.push_back("B:" + text(IDC_EDIT_B)); }
	void OnEnChangeMemo() { log.push_back("memo"); }
	void OnBnClickedCheck1() { log.push_back("check1 " + checks(IDC_CHECK_1, IDC_CHECK_2)); }
	void OnBnClickedRadio1() { log.push_back("radio1 " + checks(IDC_RADIO_1, IDC_RADIO_2)); }
	void OnBnClickedRadio2() { log.push_back("radio2 " + checks(IDC_RADIO_1, IDC_RADIO_2)); }
	void OnBnClickedGo()
	{
		log.push_back("go");
		if (onGo)
			onGo();
	}
	void OnHScroll(UINT code, UINT pos, CScrollBar *bar)
	{
		scrolls.push_back({ code, pos, bar, bar->GetScrollPos() });
		if (onScroll)
			onScroll(code, pos);
	}

	DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ProbeDlg, CDialog)
	ON_EN_CHANGE(IDC_EDIT_A, &ProbeDlg::OnEnChangeA)
	ON_EN_CHANGE(IDC_EDIT_B, &ProbeDlg::OnEnChangeB)
	ON_EN_CHANGE(IDC_MEMO, &ProbeDlg::OnEnChangeMemo)
	ON_BN_CLICKED(IDC_CHECK_1, &ProbeDlg::OnBnClickedCheck1)
	ON_BN_CLICKED(IDC_RADIO_1, &ProbeDlg::OnBnClickedRadio1)
	ON_BN_CLICKED(IDC_RADIO_2, &ProbeDlg::OnBnClickedRadio2)
	ON_BN_CLICKED(IDC_GO, &ProbeDlg::OnBnClickedGo)
	ON_WM_HSCROLL()
END_MESSAGE_MAP()

// Takes "OK" itself; everything else goes through the base table.
class OwnOkDlg : public ProbeDlg
{
protected:
	void OnBnClickedOk() { log.push_back("own ok"); }
	DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(OwnOkDlg, ProbeDlg)
	ON_BN_CLICKED(IDOK, &OwnOkDlg::OnBnClickedOk)
END_MESSAGE_MAP()

class ToolkitTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		AfxSetResourceTable(&kProbeResources);
		toolkit::SetMessageBoxObserver([this](QMessageBox &box) {
			boxes.push_back(box.text().toStdString());
			QTimer::singleShot(0, &box, &QMessageBox::accept);
		});
	}
	void TearDown() override
	{
		dlg.DestroyWindow();
		toolkit::SetMessageBoxObserver({});
		AfxSetSleepHandler({});
		AfxSetResourceTable(&VelmoraResources());
	}

	void Open(CDialog &d)
	{
		ASSERT_TRUE(d.Create());
		toolkit::DialogWidget(d)->show();
	}
	template <typename W = QAbstractButton>
	static W *Widget(const CDialog &d, int id)
	{
		return qobject_cast<W *>(toolkit::ControlWidget(d, id));
	}
	QLineEdit *Edit(int id) const { return Widget<QLineEdit>(dlg, id); }
	QAbstractButton *Button(int id) const { return Widget(dlg, id); }
	QScrollBar *Bar() const { return Widget<QScrollBar>(dlg, IDC_SCROLL); }

	// Keys go to the focused control through the application's whole key
	// path, shortcuts first, as from a keyboard.
	QWidget *Focused() const { return toolkit::DialogWidget(dlg)->focusWidget(); }
	int FocusedId() const { return Focused() ? Focused()->objectName().toInt() : 0; }
	void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
	{
		QTest::keyClick(Focused(), static_cast<Qt::Key>(key), modifiers);
	}
	void Activate() const { QApplication::setActiveWindow(toolkit::DialogWidget(dlg)); }

	ProbeDlg dlg;
	std::vector<std::string> boxes;
};

using Log = std::vector<std::string>;

TEST_F(ToolkitTest, ProgramSetEditTextRaisesChangeHandlerNestedAndSynchronously)
{
	Open(dlg);
	dlg.nestIntoB = true;
	dlg.GetDlgItem(IDC_EDIT_A)->SetWindowText("12");
	EXPECT_EQ(dlg.log, (Log{ "A:12", "B:nested", "A end" }));

	// Qt is silent when the text is already shown; the handler still runs.
	dlg.log.clear();
	dlg.m_ctlEditA.SetWindowText("12");
	EXPECT_EQ(dlg.log, (Log{ "A:12", "B:nested", "A end" }));

	dlg.log.clear();
	dlg.GetDlgItem(IDC_MEMO)->SetWindowText("status");
	EXPECT_EQ(Edit(IDC_MEMO)->text(), "status");
	EXPECT_TRUE(dlg.log.empty());

	dlg.nestIntoB = false;
	QTest::keyClicks(Edit(IDC_EDIT_A), "xy");
	EXPECT_EQ(dlg.log, (Log{ "A:12x", "A:12xy" }));
}

TEST_F(ToolkitTest, DataExchangeRaisesNothingAndRewritesOnlyChangedEdits)
{
	Open(dlg);
	dlg.m_strA = "same";
	dlg.m_strB = "old";
	dlg.m_strMemo = "memo";
	dlg.m_bCheck2 = TRUE;
	ASSERT_TRUE(dlg.UpdateData(FALSE));
	EXPECT_TRUE(dlg.log.empty());
	EXPECT_EQ(Edit(IDC_EDIT_B)->text(), "old");
	EXPECT_EQ(Edit(IDC_MEMO)->text(), "memo");
	EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_CHECK_2), BST_CHECKED);

	QSignalSpy changedA(Edit(IDC_EDIT_A), &QLineEdit::textChanged);
	QSignalSpy changedB(Edit(IDC_EDIT_B), &QLineEdit::textChanged);
	Edit(IDC_EDIT_A)->setSelection(1, 2);
	dlg.m_strB = "new";
	ASSERT_TRUE(dlg.UpdateData(FALSE));
	EXPECT_EQ(changedA.count(), 0);
	EXPECT_EQ(changedB.count(), 1);
	EXPECT_EQ(Edit(IDC_EDIT_A)->selectedText(), "am");
	EXPECT_TRUE(dlg.log.empty());

	// What the operator changed comes back into the members, silently.
	QTest::keyClicks(Edit(IDC_EDIT_B), "!");
	Button(IDC_CHECK_1)->click();
	dlg.log.clear();
	ASSERT_TRUE(dlg.UpdateData(TRUE));
	EXPECT_EQ(dlg.m_strB, "new!");
	EXPECT_EQ(dlg.m_strA, "same");
	EXPECT_EQ(dlg.m_bCheck1, TRUE);
	EXPECT_EQ(dlg.m_bCheck2, TRUE);
	EXPECT_TRUE(dlg.log.empty());
}

TEST_F(ToolkitTest, LimitTextStopsTypingButKeepsLongerText)
{
	Open(dlg);
	QLineEdit *edit = Edit(IDC_EDIT_A);
	dlg.m_ctlEditA.SetWindowText("abcdef");
	dlg.log.clear();

	dlg.m_ctlEditA.LimitText(3);
	EXPECT_EQ(edit->text(), "abcdef");
	EXPECT_TRUE(dlg.log.empty());
	EXPECT_EQ(dlg.m_ctlEditA.LineLength(), 6);

	QTest::keyClick(edit, Qt::Key_End);
	QTest::keyClicks(edit, "g");
	EXPECT_EQ(edit->text(), "abcdef");

	for (int i = 0; i < 4; ++i)
		QTest::keyClick(edit, Qt::Key_Backspace);
	QTest::keyClicks(edit, "xyz");
	EXPECT_EQ(edit->text(), "abx");

	char line[8] = {};
	ASSERT_EQ(dlg.m_ctlEditA.GetLine(0, line, sizeof(line)), 3);
	EXPECT_EQ(std::string(line, 3), "abx");

	// A limit set before the program puts a longer text in (a read-back
	// after the operator typed) cuts nothing either.
	dlg.log.clear();
	dlg.m_ctlEditA.SetWindowText("0123456789");
	EXPECT_EQ(edit->text(), "0123456789");
	EXPECT_EQ(dlg.log, Log{ "A:0123456789" });
}

TEST_F(ToolkitTest, ProgramSetChecksAreSilentClicksToggleBeforeTheHandler)
{
	Open(dlg);
	dlg.CheckDlgButton(IDC_CHECK_1, BST_CHECKED);
	EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_CHECK_1), BST_CHECKED);
	dlg.GetDlgItem(IDC_CHECK_1)->SendMessage(BM_SETCHECK, BST_UNCHECKED);
	EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_CHECK_1), BST_UNCHECKED);
	dlg.CheckDlgButton(IDC_RADIO_2, BST_CHECKED);
	EXPECT_TRUE(dlg.log.empty());

	Button(IDC_CHECK_1)->click();
	Button(IDC_CHECK_1)->click();
	EXPECT_EQ(dlg.log, (Log{ "check1 10", "check1 00" }));

	dlg.log.clear();
	Button(IDC_RADIO_1)->click();
	Button(IDC_RADIO_1)->click();
	EXPECT_EQ(dlg.log, (Log{ "radio1 10", "radio1 10" }));

	dlg.log.clear();
	dlg.CheckDlgButton(IDC_RADIO_1, BST_UNCHECKED);
	EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_RADIO_1) + dlg.IsDlgButtonChecked(IDC_RADIO_2), 0u);
	Button(IDC_RADIO_2)->click();
	Button(IDC_RADIO_1)->click();
	EXPECT_EQ(dlg.log, (Log{ "radio2 01", "radio1 10" }));
}

class ToolkitScrollTest : public ToolkitTest
{
protected:
	void SetUp() override
	{
		ToolkitTest::SetUp();
		Open(dlg);
		// Range 0..24 with a page of 5: thumb positions 0..20.
		SCROLLINFO info;
		info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
		info.nMin = 0;
		info.nMax = 24;
		info.nPage = 5;
		info.nPos = 10;
		dlg.m_ctlScroll.SetScrollInfo(&info);
		dlg.scrolls.clear();
	}

	std::vector<UINT> Codes() const
	{
		std::vector<UINT> codes;
		for (const ScrollEvent &e : dlg.scrolls)
			codes.push_back(e.code);
		return codes;
	}

	QRect SubControlRect(QStyle::SubControl sc) const
	{
		QScrollBar *bar = Bar();
		QStyleOptionSlider opt;
		opt.orientation = Qt::Horizontal;
		opt.minimum = bar->minimum();
		opt.maximum = bar->maximum();
		opt.sliderPosition = bar->sliderPosition();
		opt.sliderValue = bar->value();
		opt.singleStep = bar->singleStep();
		opt.pageStep = bar->pageStep();
		opt.rect = bar->rect();
		opt.state = QStyle::State_Enabled | QStyle::State_Horizontal;
		opt.subControls = QStyle::SC_All;
		return bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, sc, bar);
	}
};

TEST_F(ToolkitScrollTest, ArrowStepsAndThumbReleaseReachTheHandlerWithoutMovingTheBar)
{
	QScrollBar *bar = Bar();
	bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
	bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
	const QRect arrow = SubControlRect(QStyle::SC_ScrollBarAddLine);
	ASSERT_FALSE(arrow.isEmpty());
	QTest::mouseClick(bar, Qt::LeftButton, {}, arrow.center());

	ASSERT_EQ(Codes(), (std::vector<UINT>{ SB_LINERIGHT, SB_LINELEFT, SB_LINERIGHT }));
	for (const ScrollEvent &e : dlg.scrolls) {
		EXPECT_EQ(e.posSeen, 10);
		EXPECT_EQ(e.bar, &dlg.m_ctlScroll);
	}
	EXPECT_EQ(dlg.GetDlgItem(IDC_SCROLL), &dlg.m_ctlScroll);
	EXPECT_EQ(dlg.m_ctlScroll.GetScrollPos(), 10);

	// Dragging reports nothing until the thumb is let go.
	dlg.scrolls.clear();
	bar->setSliderDown(true);
	bar->setSliderPosition(15);
	EXPECT_TRUE(dlg.scrolls.empty());
	bar->setSliderDown(false);
	ASSERT_EQ(Codes(), (std::vector<UINT>{ SB_THUMBPOSITION }));
	EXPECT_EQ(dlg.scrolls[0].pos, 15u);
	EXPECT_EQ(dlg.m_ctlScroll.GetScrollPos(), 10);
	EXPECT_EQ(bar->sliderPosition(), 10);
}

TEST_F(ToolkitScrollTest, KeysOfAFocusedBarSendThePlatformsScrollCodes)
{
	Bar()->setFocus();
	ASSERT_EQ(Focused(), Bar());
	for (int key : { Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_PageUp,
			 Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End })
		Press(key);
	EXPECT_EQ(Codes(), (std::vector<UINT>{ SB_LINELEFT, SB_LINELEFT, SB_LINERIGHT, SB_LINERIGHT,
					       SB_PAGELEFT, SB_PAGERIGHT, SB_LEFT, SB_RIGHT }));
	for (const ScrollEvent &e : dlg.scrolls) {
		EXPECT_EQ(e.posSeen, 10);
		EXPECT_EQ(e.bar, &dlg.m_ctlScroll);
	}
	EXPECT_EQ(Bar()->sliderPosition(), 10);
}

TEST_F(ToolkitScrollTest, OtherSliderEventsNeverMoveTheBar)
{
	QScrollBar *bar = Bar();
	bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
	bar->triggerAction(QAbstractSlider::SliderPageStepSub);
	bar->triggerAction(QAbstractSlider::SliderToMinimum);
	bar->triggerAction(QAbstractSlider::SliderToMaximum);
	QTest::keyClick(bar, Qt::Key_Home);
	QTest::keyClick(bar, Qt::Key_End);
	QWheelEvent wheel(QPointF(5, 5), bar->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
			  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
	QCoreApplication::sendEvent(bar, &wheel);

	// Trough clicks: the left button pages; the middle button must not jump
	// the thumb to the pointer, nor may a context menu's "Scroll here".
	const QPoint trough = SubControlRect(QStyle::SC_ScrollBarAddPage).center();
	QTest::mouseClick(bar, Qt::LeftButton, {}, trough);
	QTest::mouseClick(bar, Qt::MiddleButton, {}, trough);
	QTimer::singleShot(0, [] {
		if (QWidget *popup = QApplication::activePopupWidget()) {
			QTest::keyClick(popup, Qt::Key_Down);
			QTest::keyClick(popup, Qt::Key_Return);
		}
	});
	QContextMenuEvent menu(QContextMenuEvent::Mouse, trough, bar->mapToGlobal(trough));
	QCoreApplication::sendEvent(bar, &menu);
	QCoreApplication::processEvents();

	for (UINT code : Codes()) {
		EXPECT_NE(code, SB_LINELEFT);
		EXPECT_NE(code, SB_LINERIGHT);
		EXPECT_NE(code, SB_THUMBPOSITION);
	}
	for (const ScrollEvent &e : dlg.scrolls)
		EXPECT_EQ(e.posSeen, 10);
	EXPECT_EQ(dlg.m_ctlScroll.GetScrollPos(), 10);
	EXPECT_EQ(bar->sliderPosition(), 10);
}

TEST_F(ToolkitScrollTest, OnlyTheHandlerMovesTheBarWithinItsRange)
{
	QScrollBar *bar = Bar();
	dlg.onScroll = [this](UINT code, UINT pos) {
		if (code == SB_THUMBPOSITION)
			dlg.m_ctlScroll.SetScrollPos(static_cast<int>(pos));
		if (code == SB_LINERIGHT)
			dlg.m_ctlScroll.SetScrollPos(dlg.m_ctlScroll.GetScrollPos() + 100);
		if (code == SB_LINELEFT) {
			SCROLLINFO info;
			dlg.m_ctlScroll.GetScrollInfo(&info);
			info.nPos = -3;
			dlg.m_ctlScroll.SetScrollInfo(&info);
		}
	};
	bar->setSliderDown(true);
	bar->setSliderPosition(13);
	bar->setSliderDown(false);
	EXPECT_EQ(dlg.m_ctlScroll.GetScrollPos(), 13);

	bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
	EXPECT_EQ(dlg.m_ctlScroll.GetScrollPos(), 20); // last thumb position: 24 - 5 + 1

	bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
	EXPECT_EQ(dlg.m_ctlScroll.GetScrollPos(), 0);

	int lo = -1, hi = -1;
	dlg.m_ctlScroll.GetScrollRange(&lo, &hi);
	EXPECT_EQ(lo, 0);
	EXPECT_EQ(hi, 24);
}

TEST_F(ToolkitTest, WindowMenuKeysOpenTheMenuFromAnyControlAndNeverReachIt)
{
	// Not activated, as after a modal box closed where no window manager
	// gives the activation back.
	Open(dlg);
	QMenu *menu = toolkit::DialogWidget(dlg)->findChild<QMenu *>();
	ASSERT_NE(menu, nullptr);
	for (auto [key, modifier] :
	     { std::pair{ Qt::Key_Space, Qt::AltModifier }, std::pair{ Qt::Key_Menu, Qt::NoModifier },
	       std::pair{ Qt::Key_F10, Qt::ShiftModifier } }) {
		for (int id : { IDC_CHECK_1, IDC_RADIO_1, IDC_GO, IDC_EDIT_A, IDC_SCROLL }) {
			SCOPED_TRACE(std::to_string(key) + " on " + std::to_string(id));
			Widget<QWidget>(dlg, id)->setFocus();
			ASSERT_EQ(FocusedId(), id);
			Press(key, modifier);
			// X11 follows the Menu key with a context menu event, which an
			// edit would answer with its own Undo/Copy/Paste menu.
			if (key == Qt::Key_Menu) {
				menu->hide();
				QWidget *focused = Widget<QWidget>(dlg, id);
				QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(1, 1),
							focused->mapToGlobal(QPoint(1, 1)));
				QApplication::sendEvent(focused, &event);
			}
			EXPECT_TRUE(menu->isVisible());
			int menus = 0;
			for (QWidget *window : QApplication::topLevelWidgets())
				menus += qobject_cast<QMenu *>(window) && window->isVisible() ? 1 : 0;
			EXPECT_EQ(menus, 1);
			menu->hide();
		}
	}
	EXPECT_TRUE(dlg.log.empty());
	EXPECT_TRUE(dlg.scrolls.empty());
	EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_CHECK_1) + dlg.IsDlgButtonChecked(IDC_RADIO_1), 0u);
	EXPECT_EQ(Edit(IDC_EDIT_A)->text(), "");
}

TEST_F(ToolkitTest, FocusComesBackToAControlItsHandlerDisabledUnlessItMovedOn)
{
	for (auto [movedMeanwhile, focusAfter] :
	     { std::pair{ false, IDC_GO }, std::pair{ true, IDC_EDIT_A } }) {
		ProbeDlg probe;
		Open(probe);
		// Go and the button after it locked for the duration of the work.
		probe.onGo = [&probe, moved = movedMeanwhile] {
			for (BOOL on : { FALSE, TRUE }) {
				if (on && moved)
					Widget<QWidget>(probe, IDC_EDIT_A)->setFocus();
				probe.GetDlgItem(IDC_GO)->EnableWindow(on);
				probe.GetDlgItem(IDC_IDLE)->EnableWindow(on);
			}
		};
		QWidget *window = toolkit::DialogWidget(probe);
		Widget<QWidget>(probe, IDC_GO)->setFocus();
		QTest::keyClick(window->focusWidget(), Qt::Key_Space);
		QTest::keyClick(window->focusWidget(), Qt::Key_Space);
		EXPECT_EQ(window->focusWidget()->objectName().toInt(), focusAfter) << movedMeanwhile;
		EXPECT_EQ(probe.log, (Log{ "go", movedMeanwhile ? "A: " : "go" }));
		probe.DestroyWindow();
	}
}

TEST_F(ToolkitTest, TabFollowsTheTemplateWithOneStopPerRadioSet)
{
	Open(dlg);
	Activate();
	dlg.CheckDlgButton(IDC_RADIO_2, BST_CHECKED);
	Edit(IDC_EDIT_A)->setFocus();
	std::vector<int> stops;
	do {
		stops.push_back(FocusedId());
		Press(Qt::Key_Tab);
	} while (FocusedId() != IDC_EDIT_A && stops.size() < 20);
	EXPECT_EQ(stops, (std::vector<int>{ IDC_EDIT_A, IDC_EDIT_B, IDC_MEMO, IDC_CHECK_1, IDC_CHECK_2,
					    IDC_RADIO_2, IDC_GO, IDC_IDLE, IDC_SCROLL, IDOK, IDCANCEL }));

	// Backwards; a set with nothing chosen is entered at its first button;
	// a disabled control is passed over.
	dlg.CheckDlgButton(IDC_RADIO_2, BST_UNCHECKED);
	dlg.GetDlgItem(IDC_IDLE)->EnableWindow(FALSE);
	Widget(dlg, IDC_GO)->setFocus();
	Press(Qt::Key_Tab, Qt::ShiftModifier);
	EXPECT_EQ(FocusedId(), IDC_RADIO_1);
	Press(Qt::Key_Tab);
	Press(Qt::Key_Tab);
	EXPECT_EQ(FocusedId(), IDC_SCROLL);
	EXPECT_TRUE(dlg.log.empty());
}

TEST_F(ToolkitTest, ArrowKeysMoveWithinARadioSetWithoutChoosing)
{
	Open(dlg);
	Activate();
	Button(IDC_RADIO_1)->setFocus();
	std::vector<int> visited;
	for (int key : { Qt::Key_Right, Qt::Key_Down, Qt::Key_Up, Qt::Key_Left }) {
		Press(key);
		visited.push_back(FocusedId());
	}
	EXPECT_EQ(visited, (std::vector<int>{ IDC_RADIO_2, IDC_RADIO_1, IDC_RADIO_2, IDC_RADIO_1 }));
	EXPECT_TRUE(dlg.log.empty());
	EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_RADIO_1) + dlg.IsDlgButtonChecked(IDC_RADIO_2), 0u);

	// Space chooses the focused button, as a click does.
	Press(Qt::Key_Space);
	EXPECT_EQ(dlg.log, (Log{ "radio1 10" }));
}

TEST_F(ToolkitTest, EveryTabStopShowsAFocusMark)
{
	Open(dlg);
	Activate();
	Edit(IDC_EDIT_A)->setFocus(Qt::TabFocusReason);
	for (int n = 0; n < 11; ++n) {
		QWidget *focused = Focused();
		SCOPED_TRACE(focused->objectName().toStdString());
		const QImage withFocus = focused->grab().toImage();
		Press(Qt::Key_Tab);
		ASSERT_NE(Focused(), focused);
		EXPECT_NE(focused->grab().toImage(), withFocus) << "no focus mark";
	}
}

TEST_F(ToolkitTest, ProgressBarStepsAndStartsOverPastTheEnd)
{
	Open(dlg);
	CProgressCtrl &bar = dlg.m_ctlProgress;
	bar.SetRange(10, 50);
	bar.SetPos(30);
	EXPECT_EQ(bar.SetPos(99), 30);
	EXPECT_EQ(bar.GetPos(), 50);
	bar.SetPos(10);
	bar.SetStep(20);

	std::vector<int> seen;
	for (int i = 0; i < 4; ++i) {
		bar.StepIt();
		seen.push_back(bar.GetPos());
	}
	EXPECT_EQ(seen, (std::vector<int>{ 30, 50, 10, 30 }));
}

// A handler that steps the bar while it blocks the thread sees it paint
// at once, but not once per step: a thousand steps paint a few times.
TEST_F(ToolkitTest, ProgressBarPaintsWhileTheThreadIsBlockedAtMostEvery40Ms)
{
	Open(dlg);
	auto *widget = Widget<QProgressBar>(dlg, IDC_PROGRESS);
	struct PaintCounter : QObject {
		int paints = 0;
		bool eventFilter(QObject *, QEvent *event) override
		{
			paints += event->type() == QEvent::Paint;
			return false;
		}
	} counter;
	widget->installEventFilter(&counter);
	ASSERT_TRUE(QTest::qWaitForWindowExposed(toolkit::DialogWidget(dlg)));
	auto now = std::chrono::steady_clock::now();
	toolkit::SetPaintClock([&now] { return now; });

	CProgressCtrl &bar = dlg.m_ctlProgress;
	// A thousand reads 1 ms apart; the panel's 200 steps of a save, each
	// after a 20 ms write cycle (each step moves the bar a pixel or more,
	// where QProgressBar would repaint by itself).
	const struct {
		short range;
		int msPerStep;
		int paints;
	} cases[] = { { 1000, 1, 990 / 40 + 1 }, { 200, 20, 190 / 2 } };
	for (const auto &c : cases) {
		bar.SetRange(0, c.range);
		bar.SetStep(1);
		counter.paints = 0;
		bar.SetPos(0);
		EXPECT_EQ(counter.paints, 1);

		// Within 40 ms of that paint steps only schedule one; after it,
		// a step paints once 40 ms have passed, and so does the step
		// that reaches the end.
		counter.paints = 0;
		for (int i = 0; i < 10; ++i)
			bar.StepIt();
		EXPECT_EQ(counter.paints, 0);
		for (int i = 10; i < c.range; ++i) {
			now += std::chrono::milliseconds(c.msPerStep);
			bar.StepIt();
		}
		EXPECT_EQ(counter.paints, c.paints) << c.range;
		EXPECT_EQ(bar.GetPos(), c.range);
		now += std::chrono::seconds(1);
	}
	widget->removeEventFilter(&counter);
	toolkit::SetPaintClock({});
}

TEST_F(ToolkitTest, OkValidatesAndEndsEnterAndEscapeActAsOkAndCancel)
{
	bool flaggedModal = true;
	QTimer::singleShot(0, [this, &flaggedModal] {
		// A window without a parent blocks nothing; a window manager must
		// not treat it as a modal dialog.
		flaggedModal = toolkit::DialogWidget(dlg)->isModal();
		QTest::keyClicks(Edit(IDC_EDIT_A), "hi");
		QTest::keyClick(Edit(IDC_EDIT_A), Qt::Key_Return);
	});
	AfxGetApp()->m_pMainWnd = &dlg;
	EXPECT_EQ(dlg.DoModal(), IDOK);
	AfxGetApp()->m_pMainWnd = nullptr;
	EXPECT_FALSE(flaggedModal);
	EXPECT_EQ(dlg.m_strA, "hi");
	EXPECT_EQ(toolkit::DialogWidget(dlg), nullptr);

	ProbeDlg other;
	QTimer::singleShot(0, [this, &other] {
		QLineEdit *edit = Widget<QLineEdit>(other, IDC_EDIT_A);
		QTest::keyClicks(edit, "no");
		QTest::keyClick(edit, Qt::Key_Escape);
	});
	EXPECT_EQ(other.DoModal(), IDCANCEL);
	EXPECT_EQ(other.m_strA, "");
	EXPECT_TRUE(boxes.empty());
}

TEST_F(ToolkitTest, FailingLengthCheckKeepsTheDialogOpen)
{
	Open(dlg);
	QDialog *window = toolkit::DialogWidget(dlg);
	QTest::keyClicks(Edit(IDC_EDIT_B), "12345");
	QTest::keyClicks(Edit(IDC_EDIT_A), "a");
	Button(IDC_CHECK_2)->click();
	Button(IDOK)->click();
	ASSERT_EQ(boxes.size(), 1u);
	EXPECT_NE(boxes[0].find('4'), std::string::npos);
	EXPECT_TRUE(window->isVisible());
	// The exchange stops at the failing check: later members keep their values.
	EXPECT_EQ(dlg.m_strA, "a");
	EXPECT_EQ(dlg.m_strB, "12345");
	EXPECT_EQ(dlg.m_bCheck2, FALSE);
	EXPECT_EQ(Edit(IDC_EDIT_B)->selectedText(), "12345");

	QTest::keyClick(Edit(IDC_EDIT_B), Qt::Key_End);
	QTest::keyClick(Edit(IDC_EDIT_B), Qt::Key_Backspace);
	Button(IDOK)->click();
	EXPECT_FALSE(window->isVisible());
	EXPECT_EQ(window->result(), IDOK);
	EXPECT_EQ(dlg.m_strB, "1234");
	EXPECT_EQ(dlg.m_bCheck2, TRUE);

	ProbeDlg other;
	Open(other);
	Widget(other, IDCANCEL)->click();
	EXPECT_FALSE(toolkit::DialogWidget(other)->isVisible());
	EXPECT_EQ(toolkit::DialogWidget(other)->result(), IDCANCEL);
	EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(ToolkitTest, MessageBoxIsModalOkOnlyAndSleepUsesTheHandler)
{
	struct Seen {
		std::string text, caption;
		QMessageBox::StandardButtons buttons;
		bool modal;
		bool shownWhileRunning = false;
	};
	std::vector<Seen> seen;
	toolkit::SetMessageBoxObserver([&seen](QMessageBox &box) {
		seen.push_back({ box.text().toStdString(), box.windowTitle().toStdString(),
				 box.standardButtons(), box.isModal() });
		QTimer::singleShot(0, &box, [&seen, &box] {
			seen.back().shownWhileRunning = box.isVisible();
			box.accept();
		});
	});
	EXPECT_EQ(AfxMessageBox("Disk full"), IDOK);
	ASSERT_EQ(seen.size(), 1u);
	EXPECT_EQ(seen[0].text, "Disk full");
	EXPECT_EQ(seen[0].caption, "Velmora");
	EXPECT_EQ(seen[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
	EXPECT_TRUE(seen[0].modal);
	EXPECT_TRUE(seen[0].shownWhileRunning); // ran and closed before AfxMessageBox returned

	// Inside a busy operation the box shows the arrow; the busy cursor
	// comes back when it closes and goes when the operation ends.
	Qt::CursorShape duringBox = Qt::BlankCursor;
	toolkit::SetMessageBoxObserver([&duringBox](QMessageBox &box) {
		duringBox = QApplication::overrideCursor()->shape();
		QTimer::singleShot(0, &box, &QMessageBox::accept);
	});
	{
		CWaitCursor wait;
		ASSERT_NE(QApplication::overrideCursor(), nullptr);
		EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
		AfxMessageBox("Busy");
		EXPECT_EQ(duringBox, Qt::ArrowCursor);
		EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
	}
	EXPECT_EQ(QApplication::overrideCursor(), nullptr);

	std::vector<DWORD> pauses;
	AfxSetSleepHandler([&pauses](DWORD ms) { pauses.push_back(ms); });
	Sleep(20);
	Sleep(100);
	EXPECT_EQ(pauses, (std::vector<DWORD>{ 20, 100 }));
}

TEST_F(ToolkitTest, ControlsArePlacedInDialogUnitsOfTheDialogFont)
{
	Open(dlg);
	QFontMetrics metrics(toolkit::DialogWidget(dlg)->font());
	const int alphabet = metrics.horizontalAdvance(
		QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
	const double charWidth = alphabet / 52.0;
	const double charHeight = metrics.height();
	const QRect a = Edit(IDC_EDIT_A)->geometry();
	const QRect b = Edit(IDC_EDIT_B)->geometry();

	EXPECT_NEAR(b.x() - a.x(), charWidth, 1.5);
	EXPECT_NEAR(b.y() - a.y(), 2 * charHeight, 1.5);
	EXPECT_NEAR(a.width(), 10 * charWidth, 10 * 0.5 + 1);
	EXPECT_NEAR(a.height(), 1.5 * charHeight, 1.5);
	EXPECT_NEAR(toolkit::DialogWidget(dlg)->width(), 110 * charWidth / 4, 110 * 0.5 / 4 + 1);
}

TEST_F(ToolkitTest, MessageTableRoutesEntriesAndFallsBackToDefaultOkCancel)
{
	Open(dlg);
	Button(IDC_GO)->click();
	Button(IDC_IDLE)->click();
	EXPECT_EQ(dlg.log, (Log{ "go" }));
	EXPECT_TRUE(toolkit::DialogWidget(dlg)->isVisible());

	OwnOkDlg own;
	Open(own);
	Widget(own, IDOK)->click();
	Widget(own, IDC_GO)->click();
	EXPECT_EQ(own.log, (Log{ "own ok", "go" }));
	EXPECT_TRUE(toolkit::DialogWidget(own)->isVisible());
	Widget(own, IDCANCEL)->click();
	EXPECT_FALSE(toolkit::DialogWidget(own)->isVisible());
	EXPECT_EQ(toolkit::DialogWidget(own)->result(), IDCANCEL);
}

TEST_F(ToolkitTest, AMessageNeverBreaksAPathAcrossLines)
{
	// A message long enough to wrap, with paths where a line could break.
	const std::string path = "/home/operator/cameras/line-4/golden-settings.qmx";
	std::string text = "The settings file " + path +
			   " was not written: cannot create a file in its "
			   "folder: Permission denied. The adapter on /dev/i2c-1 answered.";
	std::vector<std::string> lines;
	toolkit::SetMessageBoxObserver([&lines](QMessageBox &box) {
		QTimer::singleShot(0, &box, [&box, &lines] {
			auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
			QTextLayout layout(label->text(), label->font());
			QTextOption option;
			option.setWrapMode(QTextOption::WordWrap);
			layout.setTextOption(option);
			layout.beginLayout();
			for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
				line.setLineWidth(label->contentsRect().width());
			layout.endLayout();
			for (int i = 0; i < layout.lineCount(); ++i)
				lines.push_back(label->text()
							.mid(layout.lineAt(i).textStart(),
							     layout.lineAt(i).textLength())
							.remove(QChar(0x2060))
							.toStdString());
			box.accept();
		});
	});
	AfxMessageBox(text.c_str());
	ASSERT_GT(lines.size(), 1u);
	int whole = 0;
	for (const std::string &line : lines)
		whole += (line.find(path) != std::string::npos) +
			 (line.find("/dev/i2c-1") != std::string::npos);
	EXPECT_EQ(whole, 2) << ::testing::PrintToString(lines);
}

TEST(WindowPlacement, FrameAndTitleBarStayInTheScreenAreaWhereTheyFit)
{
	const struct {
		QRect area, frame;
		QPoint corner;
	} cases[] = {
		// 1280x800: already inside, left alone.
		{ QRect(0, 0, 1280, 800), QRect(190, 100, 900, 600), QPoint(190, 100) },
		// 1024x600, centred on the client: the title bar above the top.
		{ QRect(0, 0, 1024, 600), QRect(62, -12, 900, 590), QPoint(62, 0) },
		{ QRect(0, 0, 1024, 600), QRect(300, 200, 900, 500), QPoint(124, 100) },
		// A desktop panel takes the top 30 pixels.
		{ QRect(0, 30, 1024, 570), QRect(62, 0, 900, 560), QPoint(62, 30) },
		// Exactly the area's size.
		{ QRect(0, 0, 1024, 600), QRect(5, 5, 1024, 600), QPoint(0, 0) },
		// Too tall (the scrolling view's case): its top, title bar, at the top.
		{ QRect(0, 0, 1024, 600), QRect(62, -40, 900, 680), QPoint(62, 0) },
		{ QRect(40, 30, 800, 500), QRect(0, 0, 900, 680), QPoint(40, 30) },
		// The second screen of two.
		{ QRect(1280, 0, 1024, 768), QRect(100, 100, 900, 600), QPoint(1280, 100) },
		// No known screen: unchanged.
		{ QRect(), QRect(-5, -30, 900, 600), QPoint(-5, -30) },
	};
	for (const auto &c : cases)
		EXPECT_EQ(toolkit::PlaceFrame(c.area, c.frame), c.corner)
			<< c.frame.x() << "," << c.frame.y();
}

} // namespace
