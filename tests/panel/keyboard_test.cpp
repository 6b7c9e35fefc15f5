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

TEST_F(PanelTest, KeyboardF1OpensTheAboutBoxAndSpaceOnLeftMovesTheTrimTwice)
{
	qxiic::sim::SetEepromByte(0x400, 20);
	Open();
	QWidget *window = toolkit::DialogWidget(*dlg);
	window->show();
	QString title;
	QTimer::singleShot(0, [&title] {
		QTimer::singleShot(0, [&title] {
			if (QWidget *box = QApplication::activeModalWidget()) {
				title = box->windowTitle();
				static_cast<QDialog *>(box)->accept();
			}
		});
	});
	Control(IDC_TRIM_LEFT)->setFocus();
	ClearLog();
	QTest::keyClick(window->focusWidget(), Qt::Key_F1);
	EXPECT_EQ(title, "About Velmora");
	EXPECT_TRUE(Log().empty()) << "F1 reached the focused button";

	QTest::keyClick(window->focusWidget(), Qt::Key_Space);
	QTest::keyClick(window->focusWidget(), Qt::Key_Space);
	EXPECT_EQ(window->focusWidget(), Control(IDC_TRIM_LEFT));
	EXPECT_EQ(Count(Log(), "W c892=0016"), 1u);
	EXPECT_EQ(Count(Log(), "W c892=0018"), 1u);
}

} // namespace
