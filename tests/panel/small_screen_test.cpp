// The panel on a screen too small for it: a scrolling view of the screen's
// size, which follows the focus; on a large screen no view at all.
#include "panel_fixture.h"

#include "qt_access.h"
#include "resource.h"

#include <QDialog>
#include <QScrollArea>
#include <QTest>

namespace {

TEST_F(PanelTest, SmallScreenShowsThePanelInAScrollingViewThatFollowsTheFocus)
{
	const struct {
		QRect area;
		bool scrolls;
	} screens[] = {
		{ QRect(40, 30, 800, 500), true },
		{ QRect(0, 0, 1600, 560), true },
		{ QRect(0, 0, 3000, 2000), false },
	};
	for (const auto &screen : screens) {
		SCOPED_TRACE(screen.area.height());
		toolkit::SetAvailableScreenArea(screen.area);
		Open();
		toolkit::SetAvailableScreenArea({});
		QDialog *window = toolkit::DialogWidget(*dlg);
		window->show();
		auto *view = window->findChild<QScrollArea *>();
		EXPECT_EQ(view != nullptr, screen.scrolls);
		EXPECT_LE(window->width(), screen.area.width());
		EXPECT_LE(window->height(), screen.area.height());
		if (!view)
			continue;
		// At the area's corner, title bar and all.
		EXPECT_EQ(window->pos(), screen.area.topLeft());
		EXPECT_GT(view->widget()->height(), window->height());

		// Tab from "Read" brings "SEND", at the panel's far corner, into
		// sight.
		QWidget *send = Control(IDC_SEND);
		EXPECT_TRUE(send->isVisible());
		Control(IDC_READ)->setFocus();
		QTest::keyClick(Control(IDC_READ), Qt::Key_Tab);
		ASSERT_EQ(window->focusWidget(), send);
		const QPoint corner = send->mapTo(view->viewport(), QPoint(send->width(), send->height()));
		EXPECT_TRUE(view->viewport()->rect().contains(corner - QPoint(1, 1)));
	}
}

} // namespace
