// The panel on a screen too small for it: a scrolling view of the screen's
// size at its corner, which follows the focus; on a large screen none.
#include "panel_fixture.h"

#include "qt_access.h"
#include "resource.h"

#include <QDialog>
#include <QScrollArea>
#include <QTest>

namespace {

TEST_F(PanelTest, SmallScreenShowsThePanelInAScrollingViewThatFollowsTheFocus)
{
	for (auto [area, scrolls] :
	     { std::pair{ QRect(40, 30, 800, 500), true }, std::pair{ QRect(0, 0, 3000, 2000), false } }) {
		toolkit::SetAvailableScreenArea(area);
		Open();
		toolkit::SetAvailableScreenArea({});
		QDialog *window = toolkit::DialogWidget(*dlg);
		window->show();
		auto *view = window->findChild<QScrollArea *>();
		ASSERT_EQ(view != nullptr, scrolls);
		EXPECT_TRUE(area.contains(QRect(area.topLeft(), window->size())));
		if (!view)
			continue;
		// Inside the area, with room above it for the title bar.
		EXPECT_TRUE(area.contains(window->geometry()));
		EXPECT_GT(window->y(), area.top());
		// Tab from "Read" brings "SEND", at the panel's far corner, into sight.
		QWidget *send = Control(IDC_SEND);
		Control(IDC_READ)->setFocus();
		QTest::keyClick(Control(IDC_READ), Qt::Key_Tab);
		ASSERT_EQ(window->focusWidget(), send);
		EXPECT_TRUE(view->viewport()->rect().contains(
			send->mapTo(view->viewport(), send->rect().bottomRight())));
	}
}

} // namespace
