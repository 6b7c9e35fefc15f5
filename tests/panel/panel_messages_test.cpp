// The panel's messages: where their boxes open (over the middle of the
// panel, or of the screen while the panel is not shown yet), and what the
// adapter library has to tell besides the transfers.
#include "panel_fixture.h"

#include "qt_access.h"
#include "resource.h"
#include "winapp.h"

#include <QDialog>
#include <QMessageBox>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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
	// Without a window manager the title bar a box will get is the
	// style's guess: its middle may miss by a few pixels, never by more.
	static constexpr int kSlack = 12;
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
		EXPECT_LE((centre - kScreen.center()).manhattanLength(), kSlack)
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
		EXPECT_LE((centre - panel->frameGeometry().center()).manhattanLength(), kSlack)
			<< centre.x() << "," << centre.y();
}

// A simulated camera's damaged file is said once, as the panel reads the camera.
TEST_F(PanelTest, AdapterNoticesAreShownOnce)
{
	char pattern[] = "/tmp/velmora-panel-XXXXXX";
	ASSERT_NE(mkdtemp(pattern), nullptr);
	const std::string dir = pattern;
	std::ofstream(dir + "/sim-0.eeprom", std::ios::binary) << std::string(100, 'x');
	setenv("QXIIC_SIM_DIR", dir.c_str(), 1);
	Open();
	ASSERT_EQ(messages.size(), 1u);
	EXPECT_THAT(messages[0],
		    ::testing::StartsWith("the simulated camera's EEPROM file " + dir +
					  "/sim-0.eeprom is damaged (100 bytes, not 2048): kept as "));
	EXPECT_EQ(Text(IDC_TRIM_HORIZONTAL), "14") << "factory content";
	ClearLog();
	Click(IDC_CONNECT);
	EXPECT_THAT(messages, ::testing::IsEmpty());
	setenv("QXIIC_SIM_DIR", "", 1);
	std::filesystem::remove_all(dir);
}

} // namespace
