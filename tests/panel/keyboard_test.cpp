// The panel from the keyboard alone: the About box by F1, and a trim button
// that keeps the focus through its own move.
#include "panel_fixture.h"

#include "qt_access.h"
#include "resource.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>

namespace {

void PressOnFocused(const CVelmoraDlg &dlg, Qt::Key key)
{
	QTest::keyClick(toolkit::DialogWidget(dlg)->focusWidget(), key);
}

TEST_F(PanelTest, KeyboardF1OpensTheAboutBoxFromTheFocusedControl)
{
	Open();
	toolkit::DialogWidget(*dlg)->show();
	Control(IDC_CONNECT)->setFocus();
	std::string title;
	QTimer::singleShot(0, [&title] {
		QTimer::singleShot(0, [&title] {
			QWidget *box = QApplication::activeModalWidget();
			title = box ? box->windowTitle().toStdString() : "";
			if (box)
				static_cast<QDialog *>(box)->accept();
		});
	});
	ClearLog();
	PressOnFocused(*dlg, Qt::Key_F1);
	EXPECT_EQ(title, "About Velmora");
	EXPECT_TRUE(Log().empty()); // not a "Connect"
}

TEST_F(PanelTest, KeyboardSpaceTwiceOnLeftMovesTheTrimTwice)
{
	qxiic::sim::SetEepromByte(0x400, 20);
	Open();
	toolkit::DialogWidget(*dlg)->show();
	Control(IDC_TRIM_LEFT)->setFocus();
	ClearLog();
	PressOnFocused(*dlg, Qt::Key_Space);
	PressOnFocused(*dlg, Qt::Key_Space);
	EXPECT_EQ(toolkit::DialogWidget(*dlg)->focusWidget(), Control(IDC_TRIM_LEFT));
	EXPECT_EQ(Count(Log(), "W c892=0016"), 1u);
	EXPECT_EQ(Count(Log(), "W c892=0018"), 1u);
}

} // namespace
