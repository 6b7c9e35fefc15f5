// The panel's shell: template 102 as the operator sees it, the data
// exchange table, the window menu with the About box, and how the panel
// ends.
#include "panel_fixture.h"

#include "AboutDlg.h"
#include "msgbox.h"
#include "qt_access.h"
#include "resource.h"
#include "resources.h"
#include "winapp.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <functional>

namespace {

struct Row {
	int id;
	const char *kind; // Qt class the contract promises
	const char *caption;
	int x, y, cx, cy;
};

// A sample of template rows, one of every kind, as the operator knows them.
const Row kRows[] = {
	{ 1000, "QCheckBox", "Manual Exposure", 64, 14, 74, 13 },
	{ 1050, "QScrollBar", nullptr, 49, 29, 60, 9 },
	{ 1003, "QLineEdit", nullptr, 119, 27, 23, 13 },
	{ 1076, "QGroupBox", "Image trim", 7, 191, 143, 43 },
	{ 1078, "QRadioButton", "Manual mode", 162, 31, 64, 11 },
	{ 1046, "QPushButton", "Save ", 207, 200, 40, 13 },
	{ 1061, "QPushButton", "File --> Cam", 157, 159, 49, 13 },
	{ 1015, "QCheckBox", "Flip(vertical)", 17, 105, 56, 12 },
	{ 1028, "QCheckBox", "overlay 2", 13, 174, 45, 10 },
	{ 1066, "QProgressBar", nullptr, 157, 174, 143, 10 },
	{ 1024, "QRadioButton", "EEprom3", 267, 293, 45, 10 },
	{ 1, "QPushButton", "OK", 26, 281, 32, 14 },
	{ 2, "QPushButton", "Cancel", 83, 281, 31, 14 },
};

QString caption(QWidget *widget)
{
	if (auto *button = qobject_cast<QAbstractButton *>(widget))
		return button->text();
	if (auto *group = qobject_cast<QGroupBox *>(widget))
		return group->title();
	return {};
}

// Runs action once the next modal window is up, from a fresh single-shot so
// the caller's own event processing does not hold it back.
void WhenModal(std::function<void(QWidget *)> action)
{
	QTimer::singleShot(0, [action] {
		QTimer::singleShot(0, [action] { action(QApplication::activeModalWidget()); });
	});
}

// Runs action on the panel's window once its DoModal runs. The panel is
// not flagged modal (it has no parent), so it is not the active modal widget.
void WhenRunning(const CDialog &panel, std::function<void(QWidget *)> action)
{
	QTimer::singleShot(0, [&panel, action] {
		QTimer::singleShot(0, [&panel, action] { action(toolkit::DialogWidget(panel)); });
	});
}

// The widget's caption, or an empty text for a control without one.
QString CaptionOf(QWidget *widget)
{
	if (auto *label = qobject_cast<QLabel *>(widget))
		return label->text();
	return caption(widget);
}

// The part of a control that its style leaves for the caption.
QRect CaptionRoom(QWidget *widget)
{
	QStyle *style = widget->style();
	if (auto *group = qobject_cast<QGroupBox *>(widget)) {
		QStyleOptionGroupBox option;
		option.initFrom(group);
		option.text = group->title();
		option.textAlignment = group->alignment();
		option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
		option.lineWidth = 1;
		return style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
	}
	if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
		QStyleOptionButton option;
		option.initFrom(button);
		option.text = button->text();
		QStyle::SubElement element = QStyle::SE_PushButtonContents;
		if (qobject_cast<QCheckBox *>(button))
			element = QStyle::SE_CheckBoxContents;
		else if (qobject_cast<QRadioButton *>(button))
			element = QStyle::SE_RadioButtonContents;
		return style->subElementRect(element, &option, button);
	}
	return widget->contentsRect();
}

// Checks every captioned control of a dialog: its caption, in the font the
// program uses, lies whole inside the control.
void ExpectCaptionsWhole(const CDialog &dialog)
{
	QDialog *window = toolkit::DialogWidget(dialog);
	const DialogTemplate *tmpl = AfxFindDialogTemplate(dialog.GetTemplateId());
	ASSERT_NE(tmpl, nullptr);
	int checked = 0;
	for (const ControlTemplate &row : tmpl->controls) {
		if (row.kind == ControlKind::Edit || row.kind == ControlKind::HScrollBar ||
		    row.kind == ControlKind::ProgressBar || row.kind == ControlKind::Bitmap ||
		    row.kind == ControlKind::Icon)
			continue;
		const QString text = QString::fromUtf8(row.caption);
		for (QWidget *widget : window->findChildren<QWidget *>()) {
			if (CaptionOf(widget) != text)
				continue;
			SCOPED_TRACE(row.caption);
			QFontMetrics metrics(widget->font());
			QRect room = CaptionRoom(widget);
			EXPECT_TRUE(widget->rect().contains(room)) << "room outside the control";
			EXPECT_LE(metrics.horizontalAdvance(text), room.width()) << "clipped across";
			EXPECT_LE(metrics.height(), room.height()) << "clipped down";
			checked++;
		}
	}
	EXPECT_GT(checked, 0);
}

QRect GroupFrame(QWidget *window, const char *title)
{
	for (QGroupBox *group : window->findChildren<QGroupBox *>())
		if (group->title() == title)
			return group->geometry();
	return QRect();
}

} // namespace

TEST_F(PanelTest, ShellTemplateControlsAreStandardWidgetsAtTheirPlace)
{
	Open();
	QDialog *window = toolkit::DialogWidget(*dlg);
	ASSERT_NE(window, nullptr);
	// The title bar names the bus the start-up talked to.
	EXPECT_EQ(window->windowTitle().toStdString(), "Velmora - simulated camera");

	// Dialog units come from the dialog font: a quarter of its average
	// character width across, an eighth of its height down.
	QFontMetrics metrics(window->font());
	int average =
		(metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) /
		2;
	double unitX = average / 4.0;
	double unitY = metrics.height() / 8.0;
	EXPECT_NEAR(window->width(), 326 * unitX, 1);
	EXPECT_NEAR(window->height(), 320 * unitY, 1);

	for (const Row &row : kRows) {
		SCOPED_TRACE(row.id);
		QWidget *widget = window->findChild<QWidget *>(QString::number(row.id));
		ASSERT_NE(widget, nullptr);
		EXPECT_TRUE(widget->inherits(row.kind)) << widget->metaObject()->className();
		if (row.caption) {
			EXPECT_EQ(caption(widget).toStdString(), row.caption);
		}
		EXPECT_NEAR(widget->x(), row.x * unitX, 1);
		EXPECT_NEAR(widget->y(), row.y * unitY, 1);
		EXPECT_NEAR(widget->width(), row.cx * unitX, 1);
		EXPECT_NEAR(widget->height(), row.cy * unitY, 1);
	}
}

TEST_F(PanelTest, ShellEveryIdentifiedControlExistsOnceAndOnlyOffsetIsHidden)
{
	Open();
	QDialog *window = toolkit::DialogWidget(*dlg);
	window->show();
	const int ids[] = { 1000, 1003, 1004, 1005, 1010, 1014, 1015, 1016, 1017, 1018, 1019, 1020,
			    1021, 1022, 1023, 1024, 1025, 1026, 1027, 1028, 1029, 1030, 1031, 1032,
			    1046, 1050, 1051, 1054, 1055, 1056, 1057, 1058, 1059, 1060, 1061, 1062,
			    1063, 1066, 1067, 1068, 1069, 1070, 1071, 1072, 1073, 1074, 1075, 1076,
			    1077, 1078, 1079, 1080, 1081, 1082, 1083, 1,    2 };
	for (int id : ids) {
		SCOPED_TRACE(id);
		auto found = window->findChildren<QWidget *>(QString::number(id));
		ASSERT_EQ(found.size(), 1);
		EXPECT_EQ(found[0]->isVisible(), id != IDC_ADDR_OFFSET);
	}
	// The offset's label is hidden with it.
	for (QLabel *label : window->findChildren<QLabel *>()) {
		if (label->text() == "address offset 0x") {
			EXPECT_FALSE(label->isVisible());
		}
	}
	EXPECT_TRUE(qobject_cast<QPushButton *>(Control(IDOK))->isDefault());
	EXPECT_TRUE(Edit(IDC_WB_MODE)->isReadOnly());
	EXPECT_TRUE(Edit(IDC_TV_MODE)->isReadOnly());
	EXPECT_EQ(Edit(IDC_TRIM_HORIZONTAL)->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
}

TEST_F(PanelTest, ShellControlsLieInsideTheirGroupBoxes)
{
	Open();
	QDialog *window = toolkit::DialogWidget(*dlg);
	auto groupRect = [window](const char *title) {
		for (QGroupBox *group : window->findChildren<QGroupBox *>())
			if (group->title() == title)
				return group->geometry();
		return QRect();
	};
	const std::pair<const char *, std::vector<int>> groups[] = {
		{ "Auto Exposure", { 1000, 1050, 1003, 1077, 1051, 1004 } },
		{ "Image projection", { 1014, 1015 } },
		{ "Overlay", { 1060, 1029, 1030, 1028, 1031 } },
		{ "Image trim", { 1071, 1072, 1073, 1074, 1058, 1059, 1075 } },
		{ "White Balance", { 1005, 1056, 1078, 1079, 1010, 1080, 1082, 1081, 1083 } },
		{ "Sharpness", { 1068, 1070 } },
		{ "General", { 1062, 1032, 1061, 1063, 1066, 1055, 1046, 1027, 1057, 1054 } },
		{ "Direct I2C Communication",
		  { 1016, 1017, 1018, 1019, 1020, 1024, 1067, 1069, 1025, 1026 } },
	};
	for (const auto &[title, ids] : groups) {
		QRect frame = groupRect(title);
		ASSERT_TRUE(frame.isValid()) << title;
		for (int id : ids)
			EXPECT_TRUE(frame.contains(Control(id)->geometry())) << title << " " << id;
	}
}

TEST_F(PanelTest, ShellRadioSetsAreIndependent)
{
	Open();
	Button(IDC_EEPROM2)->click();
	EXPECT_TRUE(Checked(IDC_EEPROM2));
	EXPECT_FALSE(Checked(IDC_SENSOR));
	EXPECT_FALSE(Checked(IDC_EEPROM0));

	qxiic::sim::SetRegister(0xAC04, 0x0000);
	Button(IDC_CONNECT)->click(); // push-to-set: both white-balance radios usable
	ClearLog();
	Button(IDC_MANUAL_MODE)->click();
	EXPECT_TRUE(Checked(IDC_MANUAL_MODE));
	EXPECT_FALSE(Checked(IDC_PUSH_TO_SET));
	// The direct panel's set is untouched by the other set (Connect reset it to Sensor).
	EXPECT_TRUE(Checked(IDC_SENSOR));
}

TEST_F(PanelTest, ShellDataExchangeBindsEachMemberToItsControl)
{
	Open();
	const std::pair<int, CString CVelmoraDlg::*> texts[] = {
		{ 1017, &CVelmoraDlg::m_strRegLow },       { 1016, &CVelmoraDlg::m_strRegHigh },
		{ 1019, &CVelmoraDlg::m_strDataLow },      { 1018, &CVelmoraDlg::m_strDataHigh },
		{ 1004, &CVelmoraDlg::m_strAexRef },       { 1003, &CVelmoraDlg::m_strShutter },
		{ 1054, &CVelmoraDlg::m_strAddrOffset },   { 1056, &CVelmoraDlg::m_strWbMode },
		{ 1057, &CVelmoraDlg::m_strTvMode },       { 1070, &CVelmoraDlg::m_strSharpness },
		{ 1059, &CVelmoraDlg::m_strTrimVertical }, { 1058, &CVelmoraDlg::m_strTrimHorizontal },
		{ 1082, &CVelmoraDlg::m_strRedGreen },     { 1083, &CVelmoraDlg::m_strBlueGreen },
		{ 1062, &CVelmoraDlg::m_strFileName },
	};
	const std::pair<int, BOOL CVelmoraDlg::*> checks[] = {
		{ 1025, &CVelmoraDlg::m_bReadMode },       { 1005, &CVelmoraDlg::m_bAutoWb },
		{ 1000, &CVelmoraDlg::m_bManualExposure }, { 1014, &CVelmoraDlg::m_bMirror },
		{ 1015, &CVelmoraDlg::m_bFlip },           { 1060, &CVelmoraDlg::m_bOverlayEnable },
		{ 1029, &CVelmoraDlg::m_bOverlay1 },       { 1028, &CVelmoraDlg::m_bOverlay2 },
		{ 1030, &CVelmoraDlg::m_bOverlay3 },       { 1031, &CVelmoraDlg::m_bOverlay4 },
		{ 1077, &CVelmoraDlg::m_bFreezeGain },
	};

	int n = 0;
	for (const auto &[id, member] : texts)
		(dlg.get()->*member).Format("t%d", n++);
	for (const auto &[id, member] : checks)
		dlg.get()->*member = !Checked(id);
	ClearLog();
	ASSERT_TRUE(dlg->UpdateData(FALSE));
	EXPECT_TRUE(Log().empty()) << "showing values wrote to the camera";

	n = 0;
	for (const auto &[id, member] : texts) {
		EXPECT_EQ(Text(id), "t" + std::to_string(n++)) << id;
	}
	for (const auto &[id, member] : checks) {
		EXPECT_EQ(Checked(id), dlg.get()->*member != FALSE) << id;
		Button(id)->blockSignals(true);
		Button(id)->toggle();
		Button(id)->blockSignals(false);
	}
	for (const auto &[id, member] : texts)
		Edit(id)->blockSignals(true), Edit(id)->setText("in"), Edit(id)->blockSignals(false);
	ASSERT_TRUE(dlg->UpdateData(TRUE));
	for (const auto &[id, member] : texts)
		EXPECT_EQ((dlg.get()->*member).str(), "in") << id;
	for (const auto &[id, member] : checks)
		EXPECT_EQ(dlg.get()->*member != FALSE, Checked(id)) << id;

	// The control objects are the ones the exchange attached.
	EXPECT_EQ(dlg->GetDlgItem(IDC_SHUTTER_SCROLL), &dlg->m_ctlShutterScroll);
	EXPECT_EQ(dlg->GetDlgItem(IDC_RED_GREEN), &dlg->m_ctlRedGreenEdit);
	EXPECT_EQ(dlg->GetDlgItem(IDC_PROGRESS), &dlg->m_ctlProgress);
}

TEST_F(PanelTest, ShellLengthCheckStopsTheExchangeAndKeepsThePanelOpen)
{
	qxiic::sim::SetRegister(0xAC04, 0x0100); // manual gains: the gain edits take input
	Open();
	QDialog *window = toolkit::DialogWidget(*dlg);
	window->show();
	QApplication::setActiveWindow(window);
	dlg->m_strFileName = "before";
	Edit(IDC_RED_GREEN)->blockSignals(true);
	Edit(IDC_RED_GREEN)->setText("12345");
	Edit(IDC_RED_GREEN)->blockSignals(false);
	Edit(IDC_FILE_NAME)->blockSignals(true);
	Edit(IDC_FILE_NAME)->setText("after");
	Edit(IDC_FILE_NAME)->blockSignals(false);

	ClearLog();
	Button(IDOK)->click();
	ASSERT_EQ(messages.size(), 1u);
	EXPECT_EQ(messages[0], "Please enter no more than 4 characters.");
	EXPECT_TRUE(window->isVisible());
	// The operator lands on the edit whose text was refused.
	EXPECT_EQ(window->focusWidget(), Edit(IDC_RED_GREEN));
	EXPECT_EQ(Edit(IDC_RED_GREEN)->selectedText().toStdString(), "12345");
	// Members before the check are taken, those after it are not.
	EXPECT_EQ(dlg->m_strRedGreen.str(), "12345");
	EXPECT_EQ(dlg->m_strFileName.str(), "before");
}

TEST_F(PanelTest, ShellOkCancelAndEscapeEndThePanelWithoutTouchingTheCamera)
{
	for (int ending = 0; ending < 3; ending++) {
		SCOPED_TRACE(ending);
		ClearLog();
		dlg = std::make_unique<CVelmoraDlg>();
		WhenRunning(*dlg, [ending](QWidget *window) {
			ASSERT_NE(window, nullptr);
			if (ending == 0)
				window->findChild<QPushButton *>("1")->click();
			else if (ending == 1)
				window->findChild<QPushButton *>("2")->click();
			else
				QTest::keyClick(window->findChild<QLineEdit *>("1062"), Qt::Key_Escape);
		});
		INT_PTR result = dlg->DoModal();
		EXPECT_EQ(result, ending == 0 ? IDOK : IDCANCEL);
		// Only the start-up read-back reached the bus: nothing was written.
		for (const std::string &entry : Log())
			EXPECT_EQ(entry[0], 'R') << entry;
	}
}

TEST_F(PanelTest, ShellEnterInAnEditActsAsOk)
{
	dlg = std::make_unique<CVelmoraDlg>();
	// As the application runs it: the main window, not flagged modal.
	AfxGetApp()->m_pMainWnd = dlg.get();
	WhenRunning(*dlg, [](QWidget *window) {
		ASSERT_NE(window, nullptr);
		EXPECT_FALSE(window->isModal());
		QLineEdit *edit = window->findChild<QLineEdit *>("1062");
		edit->setFocus();
		QTest::keyClick(edit, Qt::Key_Return);
	});
	EXPECT_EQ(dlg->DoModal(), IDOK);
	AfxGetApp()->m_pMainWnd = nullptr;
}

TEST_F(PanelTest, ShellWindowMenuEndsWithAboutWhichReturnsToThePanel)
{
	Open();
	QDialog *window = toolkit::DialogWidget(*dlg);
	window->show();
	QMenu *menu = window->findChild<QMenu *>();
	ASSERT_NE(menu, nullptr);
	QList<QAction *> actions = menu->actions();
	ASSERT_GE(actions.size(), 2);
	EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
	QAction *about = actions.last();
	EXPECT_EQ(about->text().toStdString(), "&About Velmora...");

	std::string aboutTitle;
	std::vector<std::string> aboutLabels;
	WhenModal([&](QWidget *box) {
		ASSERT_NE(box, nullptr);
		aboutTitle = box->windowTitle().toStdString();
		for (QLabel *label : box->findChildren<QLabel *>())
			aboutLabels.push_back(label->text().toStdString());
		box->findChild<QPushButton *>("1")->click();
	});
	about->trigger();
	EXPECT_EQ(aboutTitle, "About Velmora");
	EXPECT_THAT(aboutLabels, ::testing::Contains("Velmora Version 5.4"));
	EXPECT_THAT(aboutLabels, ::testing::Contains("Bus: simulated camera"));
	EXPECT_TRUE(window->isVisible());
	EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(PanelTest, ShellOtherWindowCommandsGoToTheDefaultHandling)
{
	Open();
	QDialog *window = toolkit::DialogWidget(*dlg);
	window->show();
	// The About command is recognised with its low four bits set too.
	WhenModal([](QWidget *box) {
		ASSERT_NE(box, nullptr);
		box->findChild<QPushButton *>("1")->click();
	});
	dlg->Dispatch(WM_SYSCOMMAND, 0, 0, IDM_ABOUTBOX | 0x3, 0);
	EXPECT_TRUE(window->isVisible());

	dlg->Dispatch(WM_SYSCOMMAND, 0, 0, SC_CLOSE, 0);
	EXPECT_FALSE(window->isVisible());
	EXPECT_EQ(window->result(), IDCANCEL);
}

TEST_F(PanelTest, ShellNotificationsAreAcknowledgedAndChangeNothing)
{
	Open();
	ClearLog();
	for (auto [code, id] : { std::pair{ NM_THEMECHANGED, IDC_RED_GREEN_SCROLL },
				 std::pair{ NM_THEMECHANGED, IDC_BLUE_GREEN_SCROLL },
				 std::pair{ NM_THEMECHANGED, IDC_SHARPNESS_SCROLL },
				 std::pair{ NM_CUSTOMDRAW, IDC_PROGRESS } }) {
		NMHDR header;
		header.code = code;
		LRESULT result = 7;
		dlg->Dispatch(WM_NOTIFY, code, id, 0, reinterpret_cast<LPARAM>(&header), &result);
		EXPECT_EQ(result, 0) << id;
	}
	EXPECT_TRUE(Log().empty());
	EXPECT_TRUE(messages.empty());
	EXPECT_EQ(dlg->OnQueryDragIcon(), dlg->m_hIcon);
	EXPECT_NE(dlg->m_hIcon, nullptr);
}

TEST_F(PanelTest, ShellWindowMenuOpensFromAltSpaceAndTheBackground)
{
	Open();
	QDialog *window = toolkit::DialogWidget(*dlg);
	window->show();
	// Window shortcuts need the active window; offscreen nothing activates it.
	QApplication::setActiveWindow(window);
	QMenu *menu = window->findChild<QMenu *>();
	ASSERT_NE(menu, nullptr);

	QTest::keyClick(Edit(IDC_FILE_NAME), Qt::Key_Space, Qt::AltModifier);
	EXPECT_TRUE(menu->isVisible());
	EXPECT_EQ(Text(IDC_FILE_NAME), "") << "Alt+Space typed into the edit";
	menu->hide();

	// A right-click on a bare spot of the panel, not on a control.
	QPoint bare(window->width() - 2, window->height() - 2);
	ASSERT_EQ(window->childAt(bare), nullptr);
	QContextMenuEvent event(QContextMenuEvent::Mouse, bare, window->mapToGlobal(bare));
	QApplication::sendEvent(window, &event);
	EXPECT_TRUE(menu->isVisible());
	menu->hide();
}

TEST_F(PanelTest, ShellMinimisedPanelShowsItsIconInTheMiddle)
{
	Open();
	QDialog *window = toolkit::DialogWidget(*dlg);
	window->show();
	window->showMinimized();
	ASSERT_TRUE(dlg->IsIconic());

	// The panel's own painting, without its controls on top.
	QPixmap canvas(window->size());
	canvas.fill(Qt::magenta);
	window->render(&canvas, QPoint(), QRegion(), QWidget::DrawWindowBackground);
	QImage image = canvas.toImage();
	QColor background = window->palette().window().color();
	int x = (window->width() - 32 + 1) / 2;
	int y = (window->height() - 32 + 1) / 2;
	EXPECT_NE(image.pixelColor(x + 16, y + 16), background) << "no icon in the middle";
	EXPECT_EQ(image.pixelColor(x - 4, y + 16), background);
	EXPECT_EQ(image.pixelColor(2, 2), background);
}

// Keys reach the focused control through the application's whole key path,
// shortcuts first, as from a keyboard.
class ShellKeysTest : public PanelTest
{
protected:
	QDialog *Window() const { return toolkit::DialogWidget(*dlg); }
	QWidget *Focused() const { return Window()->focusWidget(); }
	int FocusedId() const { return Focused() ? Focused()->objectName().toInt() : 0; }
	void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
	{
		QTest::keyClick(Focused(), static_cast<Qt::Key>(key), modifiers);
	}
};

TEST_F(ShellKeysTest, SliderKeysStepAsThePlatformDoesAndPagingKeysDoNothing)
{
	qxiic::sim::SetRegister(0x326C, 0x2800); // sharpness 5
	Open();
	Window()->show();
	QApplication::setActiveWindow(Window());
	ASSERT_EQ(Text(IDC_SHARPNESS), "5");
	Bar(IDC_SHARPNESS_SCROLL)->setFocus();

	const struct {
		int key;
		const char *text;
		std::vector<std::string> log;
	} steps[] = {
		{ Qt::Key_Left, "4", { "W 326c=2000" } },
		{ Qt::Key_Up, "3", { "W 326c=1800" } },
		{ Qt::Key_Right, "4", { "W 326c=2000" } },
		{ Qt::Key_Down, "5", { "W 326c=2800" } },
		{ Qt::Key_PageUp, "5", {} },
		{ Qt::Key_PageDown, "5", {} },
		{ Qt::Key_Home, "5", {} },
		{ Qt::Key_End, "5", {} },
	};
	for (const auto &step : steps) {
		SCOPED_TRACE(step.key);
		ClearLog();
		Press(step.key);
		EXPECT_EQ(Log(), step.log);
		EXPECT_EQ(Text(IDC_SHARPNESS), step.text);
		EXPECT_EQ(FocusedId(), IDC_SHARPNESS_SCROLL);
	}
	EXPECT_EQ(Bar(IDC_SHARPNESS_SCROLL)->value(), 5);
}

TEST_F(ShellKeysTest, AltSpaceAfterTheAboutBoxOpensTheMenuAndLeavesTheCheckBoxAlone)
{
	Open();
	Window()->show();
	QMenu *menu = Window()->findChild<QMenu *>();
	ASSERT_NE(menu, nullptr);
	// Through the About box and back; nothing activates the panel again.
	WhenModal([](QWidget *box) {
		ASSERT_NE(box, nullptr);
		box->findChild<QPushButton *>("1")->click();
	});
	menu->actions().last()->trigger();
	ASSERT_TRUE(Enabled(IDC_MANUAL_EXPOSURE));
	Button(IDC_MANUAL_EXPOSURE)->setFocus();
	ASSERT_EQ(FocusedId(), IDC_MANUAL_EXPOSURE);

	ClearLog();
	Press(Qt::Key_Space, Qt::AltModifier);
	EXPECT_TRUE(menu->isVisible());
	EXPECT_FALSE(Checked(IDC_MANUAL_EXPOSURE));
	EXPECT_TRUE(Log().empty()) << "the key reached the check box";
	menu->hide();
}

TEST_F(ShellKeysTest, ClosingTheAboutBoxOrAMessageGivesThePanelBackItsActivation)
{
	Open();
	Window()->show();
	QApplication::setActiveWindow(Window());
	ASSERT_EQ(QApplication::activeWindow(), Window());
	WhenModal([](QWidget *box) {
		ASSERT_NE(box, nullptr);
		QApplication::setActiveWindow(box);
		box->findChild<QPushButton *>("1")->click();
	});
	Window()->findChild<QMenu *>()->actions().last()->trigger();
	QApplication::processEvents(); // the window system answers the activation
	EXPECT_EQ(QApplication::activeWindow(), Window()) << "after the About box";

	toolkit::SetMessageBoxObserver([](QMessageBox &box) {
		QTimer::singleShot(0, &box, [&box] {
			QApplication::setActiveWindow(&box);
			box.accept();
		});
	});
	AfxMessageBox("Note");
	QApplication::processEvents();
	EXPECT_EQ(QApplication::activeWindow(), Window()) << "after a message";
}

TEST_F(ShellKeysTest, TabVisitsTheTemplateOrderWithOneStopPerRadioSet)
{
	Open();
	Window()->show();
	QApplication::setActiveWindow(Window());
	// Every control usable, so that the order is the whole template's.
	for (QWidget *widget : Window()->findChildren<QWidget *>())
		widget->setEnabled(true);
	dlg->CheckDlgButton(IDC_SENSOR, BST_UNCHECKED);
	dlg->CheckDlgButton(IDC_EEPROM2, BST_CHECKED);
	dlg->CheckDlgButton(IDC_MANUAL_MODE, BST_UNCHECKED);
	dlg->CheckDlgButton(IDC_PUSH_TO_SET, BST_UNCHECKED);

	Control(IDC_MANUAL_EXPOSURE)->setFocus();
	ClearLog();
	std::vector<int> stops;
	do {
		stops.push_back(FocusedId());
		Press(Qt::Key_Tab);
	} while (FocusedId() != IDC_MANUAL_EXPOSURE && stops.size() < 80);
	const std::vector<int> expected = {
		1000, 1050, 1003, 1077, 1051, 1004, 1014, 1015, 1060, 1029,
		1030, 1028, 1031,                                           // exposure .. overlay
		1071, 1072, 1073, 1074, 1058, 1059, 1075,                   // image trim
		1005, 1056, 1078, 1010, 1080, 1082, 1081, 1083, 1068, 1070, // white balance, sharpness
		1062, 1032, 1061, 1063, 1055, 1046, 1027, 1057,             // general (offset hidden)
		1016, 1017, 1018, 1019, 1023, 1067, 1069, 1025, 1026,       // direct I2C
		1,    2,
	};
	EXPECT_EQ(stops, expected);
	// Focus alone runs no handler: nothing chosen, nothing on the bus.
	EXPECT_TRUE(Log().empty());
	EXPECT_FALSE(Checked(IDC_MANUAL_MODE));
	EXPECT_TRUE(Checked(IDC_EEPROM2));
}

TEST_F(ShellKeysTest, ArrowKeysMoveWithinTheTargetSetWithoutTouchingTheBus)
{
	Open();
	Window()->show();
	QApplication::setActiveWindow(Window());
	ASSERT_TRUE(Checked(IDC_SENSOR));
	Control(IDC_SENSOR)->setFocus();
	ClearLog();
	std::vector<int> visited;
	for (int key : { Qt::Key_Down, Qt::Key_Right, Qt::Key_Up, Qt::Key_Up, Qt::Key_Left }) {
		Press(key);
		visited.push_back(FocusedId());
	}
	EXPECT_EQ(visited, (std::vector<int>{ 1021, 1022, 1021, 1020, 1024 }));
	EXPECT_TRUE(Checked(IDC_SENSOR));
	EXPECT_FALSE(Checked(IDC_EEPROM3));
	EXPECT_TRUE(Log().empty());
	EXPECT_TRUE(messages.empty());
}

TEST_F(PanelTest, ShellEveryCaptionIsWholeInTheProgramsFont)
{
	Open();
	ExpectCaptionsWhole(*dlg);
	// Characters as written: "-->" stays three glyphs, not the face's arrow.
	QFontMetrics metrics(Control(IDC_FILE_TO_CAM)->font());
	EXPECT_EQ(metrics.horizontalAdvance("-->"),
		  2 * metrics.horizontalAdvance("-") + metrics.horizontalAdvance(">"));
	CAboutDlg about;
	ASSERT_TRUE(about.Create());
	ExpectCaptionsWhole(about);
}

TEST_F(PanelTest, ShellGroupFramesMeetWithoutCrossingOrDoubling)
{
	Open();
	QDialog *window = toolkit::DialogWidget(*dlg);
	window->show();
	const QRect general = GroupFrame(window, "General");
	const QRect direct = GroupFrame(window, "Direct I2C Communication");
	const QRect trim = GroupFrame(window, "Image trim");
	// Bottom edges that are one in the template are one line on the screen.
	EXPECT_EQ(direct.bottom(), general.bottom());

	// The trim frame, which the template lets reach into "General", ends
	// at General's line: none of it shows inside General.
	QImage image = window->grab().toImage();
	const QColor background = window->palette().window().color();
	ASSERT_GT(trim.right(), general.left() + 1);
	for (int x = general.left() + 2; x <= trim.right(); ++x) {
		EXPECT_EQ(image.pixelColor(x, trim.bottom()), background) << "x " << x;
		EXPECT_EQ(image.pixelColor(x, (trim.top() + trim.bottom()) / 2), background) << "x " << x;
	}
	// Where they meet, General's line is drawn: it closes the trim frame.
	for (int y : { trim.top() + 2, (trim.top() + trim.bottom()) / 2, trim.bottom() - 2 })
		EXPECT_NE(image.pixelColor(general.left(), y), background) << "y " << y;

	// Captions sit on the frame line, which breaks for them: the top line
	// runs at mid-caption, with a gap before the caption's first letter.
	const int line = general.top() + QFontMetrics(window->font()).height() / 2 + 1;
	EXPECT_NE(image.pixelColor(general.right() - 4, line), background);
	EXPECT_NE(image.pixelColor(general.left() + 3, line), background);
	EXPECT_EQ(image.pixelColor(general.left() + 8, line), background);
}

// The text of a control's tooltip as the operator reads it.
std::string TipOf(QWidget *widget)
{
	QTextDocument tip;
	tip.setHtml(widget->toolTip());
	return tip.toPlainText().toStdString();
}

TEST_F(PanelTest, ShellAbbreviatedControlsExplainThemselves)
{
	Open();
	// What each tooltip must name: the register or EEPROM page it touches.
	const std::pair<int, const char *> tips[] = {
		{ 1050, "0x3012" },        { 1003, "0x3012" },           { 1051, "0xA812" },
		{ 1004, "0xA812" },        { 1056, "0xAC04" },           { 1010, "0xAC04" },
		{ 1080, "0xAC48" },        { 1082, "0xAC48" },           { 1081, "0xAC4A" },
		{ 1083, "0xAC4A" },        { 1068, "0x326C" },           { 1070, "0x326C" },
		{ 1055, "EEPROM page 3" }, { 1067, "register address" }, { 1069, "register address" },
		{ 1016, "high byte" },     { 1017, "EEPROM" },           { 1018, "high byte" },
		{ 1019, "EEPROM" },
	};
	for (const auto &[id, names] : tips) {
		SCOPED_TRACE(id);
		const std::string tip = TipOf(Control(id));
		EXPECT_NE(tip.find(names), std::string::npos) << tip;
		// One sentence.
		ASSERT_FALSE(tip.empty());
		EXPECT_EQ(tip.back(), '.');
		EXPECT_EQ(tip.find(". "), std::string::npos) << tip;
	}
	// The abbreviated labels explain themselves too.
	QDialog *window = toolkit::DialogWidget(*dlg);
	for (const auto &[label, names] :
	     { std::pair{ "Man. Shutt.", "0x3012" }, std::pair{ "AEX ref.", "0xA812" } }) {
		QLabel *found = nullptr;
		for (QLabel *candidate : window->findChildren<QLabel *>())
			if (candidate->text() == label)
				found = candidate;
		ASSERT_NE(found, nullptr) << label;
		EXPECT_NE(TipOf(found).find(names), std::string::npos) << label;
	}
}
