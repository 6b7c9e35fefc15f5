// Where the panel's message boxes open: over the middle of the panel, or of
// the screen while the panel is not shown yet (the messages of start-up).
#include "panel_fixture.h"

#include "qt_access.h"
#include "resource.h"
#include "winapp.h"

#include <QDialog>
#include <QMessageBox>
#include <QTimer>

namespace {

class MessageBoxPlaceTest : public PanelTest
{
protected:
	void SetUp() override
	{
		PanelTest::SetUp();
		toolkit::SetAvailableScreenArea(kScreen);
		// Each box as it stands once shown, then closed.
		toolkit::SetMessageBoxObserver([this](QMessageBox &box) {
			QTimer::singleShot(0, &box, [this, &box] {
				messages.push_back(box.text().toStdString());
				centres.push_back(box.frameGeometry().center());
				box.accept();
			});
		});
	}
	void TearDown() override
	{
		AfxGetApp()->m_pMainWnd = nullptr;
		toolkit::SetAvailableScreenArea({});
		PanelTest::TearDown();
	}

	const QRect kScreen{ 0, 0, 1600, 1000 };
	std::vector<QPoint> centres;
};

TEST_F(MessageBoxPlaceTest, MessagesOpenOverTheMiddleOfThePanelOrOfTheScreen)
{
	// As the program starts: the panel is the main window, not shown yet.
	qxiic::sim::SetPlugged(false);
	dlg = std::make_unique<CVelmoraDlg>();
	AfxGetApp()->m_pMainWnd = dlg.get();
	ASSERT_TRUE(dlg->Create());
	ASSERT_EQ(messages.size(), 2u) << "the bus's failure, then the connection's";
	for (const QPoint &centre : centres)
		EXPECT_LE((centre - kScreen.center()).manhattanLength(), 2)
			<< centre.x() << "," << centre.y();

	// Shown away from the screen's middle, the panel takes its messages.
	QDialog *panel = toolkit::DialogWidget(*dlg);
	panel->move(100, 80);
	panel->show();
	ClearLog();
	centres.clear();
	Click(IDC_CONNECT);
	ASSERT_EQ(messages.size(), 2u);
	for (const QPoint &centre : centres)
		EXPECT_LE((centre - panel->frameGeometry().center()).manhattanLength(), 2)
			<< centre.x() << "," << centre.y();
}

} // namespace
