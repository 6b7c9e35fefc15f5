// The picture window through the panel: opened from the window menu by
// the keyboard, the simulated camera's picture in it (one frame each time
// the test lets one through), brighter after a larger shutter typed into
// the panel, and gone with the panel.
#include "panel_fixture.h"

#include "CommandLine.h"
#include "FuseCapture.h"
#include "PictureWindow.h"
#include "PictureWindowAccess.h"
#include "qt_access.h"
#include "resource.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace {

// Lets the simulated camera's source through one frame at a time.
class FrameGate
{
public:
	video::WaitUntil wait()
	{
		return [this](std::chrono::steady_clock::time_point) {
			std::unique_lock lock(mutex_);
			entries_++;
			changed_.notify_all();
			changed_.wait(lock, [this] { return allowed_ > 0 || open_; });
			if (allowed_ > 0)
				allowed_--;
		};
	}
	void allow(int frames)
	{
		std::lock_guard lock(mutex_);
		allowed_ += frames;
		changed_.notify_all();
	}
	// Until the source has come to its wait this many times: the frame
	// before has then been handed to the window.
	void awaitEntries(int n)
	{
		std::unique_lock lock(mutex_);
		changed_.wait(lock, [this, n] { return entries_ >= n; });
	}
	void open()
	{
		std::lock_guard lock(mutex_);
		open_ = true;
		changed_.notify_all();
	}

private:
	std::mutex mutex_;
	std::condition_variable changed_;
	int allowed_ = 0;
	int entries_ = 0;
	bool open_ = false;
};

class PictureWindowTest : public PanelTest
{
protected:
	void SetUp() override
	{
		PanelTest::SetUp();
		SetPictureSourceFactory([this](const std::string &source, std::string &) {
			EXPECT_EQ(source, "sim");
			return video::OpenSimulatedCamera(gate.wait());
		});
	}
	void TearDown() override
	{
		gate.open();
		dlg.reset();
		SetPictureSourceFactory({});
		SetPictureSource("", false);
		PanelTest::TearDown();
	}

	QString Levels() const
	{
		QWidget *window = PictureWindowWidget();
		QLabel *label = window ? window->findChild<QLabel *>(QStringLiteral("levels")) : nullptr;
		return label ? label->text() : QString();
	}
	// Lets one frame through and waits until the window shows it.
	double NextFrameMeanGreen(int number)
	{
		gate.allow(1);
		gate.awaitEntries(number + 2);
		QApplication::processEvents();
		const QString frame = QStringLiteral("frame %1").arg(number);
		const std::string text = Levels().toStdString();
		const std::size_t at = text.find(" G ");
		EXPECT_TRUE(at != std::string::npos && Levels().endsWith(frame)) << text;
		return at == std::string::npos ? 0 : std::stod(text.substr(at + 3));
	}

	FrameGate gate;
};

TEST_F(PictureWindowTest, OpenedFromTheMenuByKeyboardItShowsALargerShutterBrighter)
{
	SetPictureSource("sim", false);
	Open();
	QWidget *panel = toolkit::DialogWidget(*dlg);
	panel->show();
	Control(IDC_MANUAL_EXPOSURE)->setFocus();

	// The window menu: Up from the bottom passes "&About Velmora..." to
	// the picture's item.
	QTest::keyClick(panel->focusWidget(), Qt::Key_Menu);
	auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
	ASSERT_NE(menu, nullptr);
	const QList<QAction *> items = menu->actions();
	ASSERT_GE(items.size(), 3);
	ASSERT_EQ(items[items.size() - 1]->text(), "&About Velmora...");
	ASSERT_TRUE(items[items.size() - 2]->isSeparator());
	ASSERT_EQ(items[items.size() - 3]->text(), "&Picture...");
	QTest::keyClick(menu, Qt::Key_Up);
	QTest::keyClick(menu, Qt::Key_Up);
	QTest::keyClick(menu, Qt::Key_Return);
	QApplication::processEvents();
	ASSERT_NE(PictureWindowWidget(), nullptr);
	EXPECT_TRUE(PictureWindowWidget()->isVisible());

	const double before = NextFrameMeanGreen(0);
	EXPECT_TRUE(Levels().startsWith("720 x 576, ")) << Levels().toStdString();

	// Back to the panel, as the operator goes from one window to the other.
	QApplication::setActiveWindow(panel);
	Control(IDC_MANUAL_EXPOSURE)->setFocus();
	QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
	ASSERT_TRUE(Checked(IDC_MANUAL_EXPOSURE));
	Type(IDC_SHUTTER, "13b");
	ASSERT_EQ(qxiic::sim::Register(0x3012), 0x013B);

	const double after = NextFrameMeanGreen(1);
	EXPECT_GT(after, before + 30) << before << " then " << after;

	gate.open();
	dlg.reset();
	EXPECT_EQ(PictureWindowWidget(), nullptr) << "closes with the panel";
}

TEST_F(PictureWindowTest, VideoOnTheCommandLineOpensItWithThePanel)
{
	const struct {
		std::vector<std::string> args;
		bool run;
		std::string video, err;
	} cases[] = {
		{ { "--video", "sim" }, true, "sim", "" },
		{ { "--video=/dev/video2", "--bus", "sim" }, true, "/dev/video2", "" },
		{ { "--video", "" },
		  false,
		  "",
		  "velmora: --video needs a capture device or sim (see velmora --help)\n" },
		{ { "--video", "sim", "--video", "/dev/video0" },
		  false,
		  "",
		  "velmora: --video is given 2 times; the panel shows one picture (see velmora --help)\n" },
	};
	for (const auto &c : cases) {
		const PanelCommandLine cl = ParsePanelCommandLine(c.args);
		EXPECT_EQ(cl.run, c.run) << c.args[0];
		EXPECT_EQ(cl.video, c.video) << c.args[0];
		EXPECT_EQ(cl.err, c.err) << c.args[0];
	}
	// The simulated camera shown, whose picture faults "--video sim" shows.
	EXPECT_EQ(ParsePanelCommandLine({ "--video", "sim", "--bus=sim:3" }).simCamera, 3);
	EXPECT_EQ(ParsePanelCommandLine({ "--video", "sim" }, "sim").simCamera, 0);
	EXPECT_EQ(ParsePanelCommandLine({ "--video", "sim" }, "sim:5").simCamera, 5);
	EXPECT_EQ(ParsePanelCommandLine({ "--video", "sim", "--bus", "none" }, "sim:5").simCamera, -1);

	SetPictureSource("sim", true);
	Open();
	toolkit::DialogWidget(*dlg)->show();
	QApplication::processEvents();
	QWidget *window = PictureWindowWidget();
	ASSERT_NE(window, nullptr);
	EXPECT_TRUE(window->isVisible());
	NextFrameMeanGreen(0);

	// The keyboard goes round its parts, each named for a screen reader,
	// and Escape closes it.
	QApplication::setActiveWindow(window);
	QWidget *first = window->focusWidget() ? window->focusWidget() : window->nextInFocusChain();
	first->setFocus();
	QStringList names;
	for (int i = 0; i < 4; i++) {
		QWidget *focus = QApplication::focusWidget();
		names << (focus->accessibleName().isEmpty() ? focus->property("text").toString()
							    : focus->accessibleName());
		QTest::keyClick(focus, Qt::Key_Tab);
	}
	EXPECT_EQ(names.join(", "), "Picture, Luminance histogram, Levels, Close");
	QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
	EXPECT_FALSE(window->isVisible());
}

TEST_F(PictureWindowTest, ANoSignalNoticeGoesWhenThePictureComesBack)
{
	char pattern[] = "/tmp/velmora-picture-XXXXXX";
	const std::string dir = mkdtemp(pattern);
	setenv("QXIIC_SIM_DIR", dir.c_str(), 1);
	const std::string faults = dir + "/sim-0.picture";
	std::ofstream(faults) << "no-signal\n";
	SetPictureSourceFactory([this](const std::string &, std::string &why) {
		why = "simulated camera 0";
		return video::OpenSimulatedCamera(gate.wait(), 0);
	});
	SetPictureSource("sim", true);
	Open();
	toolkit::DialogWidget(*dlg)->show();
	QApplication::processEvents();
	ASSERT_NE(PictureWindowWidget(), nullptr);
	auto *notice = PictureWindowWidget()->findChild<QLabel *>(QStringLiteral("notice"));
	ASSERT_NE(notice, nullptr);

	gate.allow(1);
	gate.awaitEntries(2);
	QApplication::processEvents();
	EXPECT_EQ(Levels(), "no signal");
	EXPECT_EQ(notice->text().toStdString(), "no signal: " + faults);

	std::remove(faults.c_str());
	gate.allow(1);
	gate.awaitEntries(3);
	QApplication::processEvents();
	EXPECT_TRUE(Levels().endsWith("frame 0")) << Levels().toStdString();
	EXPECT_EQ(notice->text().toStdString(), "simulated camera 0");

	setenv("QXIIC_SIM_DIR", "", 1);
	std::filesystem::remove_all(dir);
}

// A capture device that the kernel serves (testing/fuse_capture), opened
// by the window itself through libv4l2: a frame appears with its mean
// levels, the device's bars' 128 in each colour.
TEST_F(PictureWindowTest, ShowsACaptureDevicesFramesAndLevels)
{
	char pattern[] = "/tmp/velmora-picture-XXXXXX";
	const std::string dir = mkdtemp(pattern);
	fuse_capture::Device device;
	START_FUSE_CAPTURE(device, dir + "/video0");
	SetPictureSourceFactory({});
	SetPictureSource(dir + "/video0", true);
	Open();
	toolkit::DialogWidget(*dlg)->show();
	QApplication::processEvents();
	ASSERT_NE(PictureWindowWidget(), nullptr);
	EXPECT_TRUE(QTest::qWaitFor([this] { return Levels().startsWith("720 x 576, "); }, 10000))
		<< Levels().toStdString();
	EXPECT_TRUE(Levels().contains(", mean R 128.0 G 128.0 B 128.0, frame ")) << Levels().toStdString();
	dlg.reset();
	device.Stop();
	std::filesystem::remove_all(dir);
}

} // namespace
