// The panel from the keyboard alone: the About box by F1, and a trim button
// that keeps the focus through its own move.
#include "panel_fixture.h"

#include "qt_access.h"
#include "resource.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace sim = qxiic::sim;

namespace {

QWidget *Focused(const CVelmoraDlg &dlg)
{
	return toolkit::DialogWidget(dlg)->focusWidget();
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
			ASSERT_NE(box, nullptr);
			title = box->windowTitle().toStdString();
			box->findChild<QPushButton *>("1")->click();
		});
	});
	ClearLog();
	QTest::keyClick(Focused(*dlg), Qt::Key_F1);
	EXPECT_EQ(title, "About Velmora");
	// The key went to the window, not to the focused "Connect".
	EXPECT_TRUE(Log().empty());
}

TEST_F(PanelTest, KeyboardSpaceTwiceOnLeftMovesTheTrimTwice)
{
	sim::SetEepromByte(0x400, 20);
	sim::SetEepromByte(0x401, 12);
	Open();
	toolkit::DialogWidget(*dlg)->show();
	Control(IDC_TRIM_LEFT)->setFocus();
	ClearLog();
	QTest::keyClick(Focused(*dlg), Qt::Key_Space);
	QTest::keyClick(Focused(*dlg), Qt::Key_Space);
	EXPECT_EQ(Focused(*dlg), Control(IDC_TRIM_LEFT));
	EXPECT_EQ(Count(Log(), "W c892=0016"), 1u);
	EXPECT_EQ(Count(Log(), "W c892=0018"), 1u);
	EXPECT_EQ(Text(IDC_TRIM_HORIZONTAL), "18");
}

} // namespace
