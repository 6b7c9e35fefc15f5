// The picture window through the panel: opened from the window menu by
// the keyboard, the simulated camera's picture in it (one frame each time
// the test lets one through), brighter after a larger shutter typed into
// the panel, another device chosen in it, its frame saved, its place
// remembered, and gone with the panel.
#include "panel_fixture.h"

#include "CommandLine.h"
#include "FrameSource.h"
#include "FuseCapture.h"
#include "PictureWindow.h"
#include "PictureWindowAccess.h"
#include "filedlg_access.h"
#include "qt_access.h"
#include "resource.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTextLayout>
#include <QTimer>

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
	void TearDown() override
	{
		gate.open();
		dlg.reset();
		PanelTest::TearDown();
	}

	// The panel with its picture on device; "sim" is the gated simulated
	// camera, anything else cannot be opened.
	void OpenWith(const std::string &device, bool atStart, int simCamera = -1)
	{
		PictureSource source;
		source.device = device;
		source.openAtStart = atStart;
		source.simCamera = simCamera;
		source.open = [this, simCamera](const std::string &name, std::string &why) {
			opened.push_back(name);
			std::unique_ptr<video::FrameSource> made;
			if (name == "sim")
				made = video::OpenSimulatedCamera(gate.wait(), simCamera);
			else
				why = "cannot open " + name;
			return made;
		};
		Show(source);
	}
	void Show(const PictureSource &source)
	{
		dlg = std::make_unique<CVelmoraDlg>();
		dlg->SetPictureSource(source);
		ASSERT_TRUE(dlg->Create());
		toolkit::DialogWidget(*dlg)->show();
		QApplication::processEvents();
	}
	QWidget *Window() const { return dlg ? PictureWindowWidget(*dlg) : nullptr; }
	QLabel *Label(const char *name) const
	{
		return Window() ? Window()->findChild<QLabel *>(QLatin1String(name)) : nullptr;
	}
	// The levels line as a reader sees it: its unbreakable spaces as spaces.
	std::string Levels() const
	{
		QLabel *label = Label("levels");
		return label ? label->text().replace(QChar(0x00A0), QLatin1Char(' ')).toStdString() : "";
	}
	// Lets one frame through and waits until the window shows it; its
	// number counts the frames through the gate so far.
	double NextFrameMeanGreen()
	{
		gate.allow(1);
		gate.awaitEntries(++frames + 1);
		QApplication::processEvents();
		const std::string text = Levels();
		const std::size_t at = text.find(" G ");
		EXPECT_TRUE(at != std::string::npos) << text;
		return at == std::string::npos ? 0 : std::stod(text.substr(at + 3));
	}

	FrameGate gate;
	int frames = 0;
	std::vector<std::string> opened;
};

TEST_F(PictureWindowTest, OpenedFromTheMenuByKeyboardItShowsALargerShutterBrighter)
{
	OpenWith("sim", false);
	QWidget *panel = toolkit::DialogWidget(*dlg);
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
	ASSERT_NE(Window(), nullptr);
	EXPECT_TRUE(Window()->isVisible());

	const double before = NextFrameMeanGreen();
	EXPECT_EQ(Levels().substr(0, 16), "720 x 576 PAL, 0") << Levels();
	EXPECT_TRUE(Levels().ends_with(", frame 0")) << Levels();

	// Back to the panel, as the operator goes from one window to the other.
	QApplication::setActiveWindow(panel);
	Control(IDC_MANUAL_EXPOSURE)->setFocus();
	QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
	ASSERT_TRUE(Checked(IDC_MANUAL_EXPOSURE));
	Type(IDC_SHUTTER, "13b");
	ASSERT_EQ(qxiic::sim::Register(0x3012), 0x013B);

	const double after = NextFrameMeanGreen();
	EXPECT_GT(after, before + 30) << before << " then " << after;

	gate.open();
	dlg.reset();
	EXPECT_EQ(Window(), nullptr) << "closes with the panel";
}

TEST_F(PictureWindowTest, TheCommandLineChoosesWhatItShowsFirst)
{
	const struct {
		std::vector<std::string> args;
		const char *environmentBus = nullptr;
		std::string err = ""; // refused when given
		std::string device = "";
		int simCamera = -1;
		std::string adapterNode = "";
		bool openAtStart = false;
	} cases[] = {
		{ .args = { "--video", "sim" }, .device = "sim", .openAtStart = true },
		{ .args = { "--video=/dev/video2", "--bus", "sim" },
		  .device = "/dev/video2",
		  .simCamera = 0,
		  .openAtStart = true },
		// A simulated camera shows its own picture, from the menu.
		{ .args = { "--bus", "sim:3" }, .device = "sim", .simCamera = 3 },
		{ .args = {}, .environmentBus = "sim:5", .device = "sim", .simCamera = 5 },
		{ .args = { "--bus", "none" }, .environmentBus = "sim:5" },
		// An adapter's bus leads to the grabber on its USB device.
		{ .args = { "--bus", "/dev/i2c-97" }, .adapterNode = "/dev/i2c-97" },
		{ .args = {} },
		{ .args = { "--video", "" },
		  .err = "velmora: --video needs a capture device or sim (see velmora --help)\n" },
		{ .args = { "--video", "sim", "--video", "/dev/video0" },
		  .err = "velmora: --video is given 2 times; the panel shows one picture (see velmora --help)\n" },
	};
	for (const auto &c : cases) {
		const std::string name = c.args.empty() ? "(none)" : c.args[0] + " " + c.args.back();
		const PanelCommandLine cl = ParsePanelCommandLine(c.args, c.environmentBus);
		EXPECT_EQ(cl.run, c.err.empty()) << name;
		EXPECT_EQ(cl.err, c.err) << name;
		if (!cl.run)
			continue;
		const PictureSource source = PictureSourceOf(cl);
		EXPECT_EQ(source.device, c.device) << name;
		EXPECT_EQ(source.simCamera, c.simCamera) << name;
		EXPECT_EQ(source.adapterNode, c.adapterNode) << name;
		EXPECT_EQ(source.openAtStart, c.openAtStart) << name;
	}
}

TEST_F(PictureWindowTest, OpensWithThePanelAndTheKeyboardGoesRoundIt)
{
	OpenWith("sim", true);
	QWidget *window = Window();
	ASSERT_NE(window, nullptr);
	EXPECT_TRUE(window->isVisible());
	NextFrameMeanGreen();

	// The keyboard goes round its parts, each named for a screen reader,
	// and Escape closes it.
	QApplication::setActiveWindow(window);
	window->findChild<QComboBox *>(QStringLiteral("source"))->setFocus();
	QStringList names;
	// Fit and 1:1 are one stop: the arrow keys choose between them.
	for (int i = 0; i < 8; i++) {
		QWidget *focus = QApplication::focusWidget();
		names << (focus->accessibleName().isEmpty() ? focus->property("text").toString()
							    : focus->accessibleName());
		QTest::keyClick(focus, Qt::Key_Tab);
	}
	EXPECT_EQ(names.join(", ").toStdString(),
		  "Source, &Fit, Picture, Luminance histogram, Levels, Save &picture..., Close, Source");
	QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
	EXPECT_FALSE(window->isVisible());
}

TEST_F(PictureWindowTest, AnotherDeviceIsChosenInTheWindow)
{
	OpenWith("/dev/video9", true);
	ASSERT_NE(Window(), nullptr);
	EXPECT_EQ(Label("notice")->text(), "cannot open /dev/video9");
	EXPECT_EQ(Levels(), "no signal");

	auto *box = Window()->findChild<QComboBox *>(QStringLiteral("source"));
	QApplication::setActiveWindow(Window());
	box->setFocus();
	QTest::keyClicks(QApplication::focusWidget(), "simulated");
	EXPECT_EQ(box->currentText(), "simulated picture");
	NextFrameMeanGreen();
	EXPECT_EQ(Levels().substr(0, 14), "720 x 576 PAL,") << Levels();
	EXPECT_EQ(opened, (std::vector<std::string>{ "/dev/video9", "sim" }));
	EXPECT_EQ(Window()->windowTitle(), "Velmora picture - simulated camera");
}

TEST_F(PictureWindowTest, TheStatusLineBreaksOnlyBetweenItsFields)
{
	OpenWith("sim", true);
	NextFrameMeanGreen();
	QLabel *levels = Label("levels");
	// However narrow the window, a line ends with a field or a colour's
	// level, never inside one ("B" then "111.0").
	for (int width = 120; width <= 480; width += 20) {
		QTextLayout layout(levels->text(), levels->font());
		layout.beginLayout();
		QStringList lines;
		for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
			line.setLineWidth(width);
			lines << levels->text().mid(line.textStart(), line.textLength()).trimmed();
		}
		layout.endLayout();
		for (qsizetype i = 0; i + 1 < lines.size(); i++) {
			const QChar last = lines[i].back();
			EXPECT_TRUE(last == QLatin1Char(',') || last.isDigit())
				<< width << ": " << lines.join(" | ").toStdString();
		}
	}
}

TEST_F(PictureWindowTest, SavePictureWritesTheFrameShownAsPng)
{
	OpenWith("sim", true);
	NextFrameMeanGreen();
	char pattern[] = "/tmp/velmora-save-XXXXXX";
	const std::string dir = mkdtemp(pattern);
	const std::string file = dir + "/frame.png";
	toolkit::SetFileDialogObserver([&file](QFileDialog &dialog) {
		QTimer::singleShot(0, &dialog, [&dialog, &file] {
			dialog.selectFile(QString::fromStdString(file));
			static_cast<QDialog &>(dialog).accept();
		});
	});
	auto *save = Window()->findChild<QPushButton *>(QStringLiteral("save"));
	QApplication::setActiveWindow(Window());
	save->setFocus();
	QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
	toolkit::SetFileDialogObserver({});

	const QImage saved(QString::fromStdString(file), "PNG");
	ASSERT_FALSE(saved.isNull());
	EXPECT_EQ(saved.size(), QSize(720, 576));
	// The 75 % white and yellow bars, at the camera's unity exposure.
	EXPECT_EQ(saved.pixel(45, 100), qRgb(191, 191, 191));
	EXPECT_EQ(saved.pixel(135, 100), qRgb(191, 191, 0));
	EXPECT_EQ(Label("notice")->text().toStdString(), "picture saved in " + file);
	EXPECT_EQ(messages, std::vector<std::string>{});
	std::filesystem::remove_all(dir);
}

TEST_F(PictureWindowTest, ItOpensWhereTheUserLeftIt)
{
	gate.open(); // frames flow: the window's thread ends as it closes
	OpenWith("sim", true);
	QWidget *window = Window();
	window->setGeometry(140, 90, 700, 640);
	QApplication::processEvents();
	window->close();
	QApplication::processEvents();
	ASSERT_EQ(Window(), nullptr);

	dlg->Dispatch(WM_SYSCOMMAND, 0, 0, IDM_PICTURE);
	QApplication::processEvents();
	ASSERT_NE(Window(), nullptr);
	EXPECT_EQ(Window()->geometry(), QRect(140, 90, 700, 640));

	// Left open as the panel ends, and the panel started again.
	Window()->setGeometry(60, 300, 600, 480);
	dlg.reset();
	OpenWith("sim", true);
	ASSERT_NE(Window(), nullptr);
	EXPECT_EQ(Window()->geometry(), QRect(60, 300, 600, 480));
}

TEST_F(PictureWindowTest, ANoSignalNoticeGoesWhenThePictureComesBack)
{
	char pattern[] = "/tmp/velmora-picture-XXXXXX";
	const std::string dir = mkdtemp(pattern);
	setenv("QXIIC_SIM_DIR", dir.c_str(), 1);
	const std::string faults = dir + "/sim-0.picture";
	std::ofstream(faults) << "no-signal\n";
	OpenWith("sim", true, 0);
	ASSERT_NE(Window(), nullptr);
	QLabel *notice = Label("notice");

	gate.allow(1);
	gate.awaitEntries(2);
	QApplication::processEvents();
	EXPECT_EQ(Levels(), "no signal");
	EXPECT_EQ(notice->text().toStdString(), "no signal: " + faults);

	std::remove(faults.c_str());
	gate.allow(1);
	gate.awaitEntries(3);
	QApplication::processEvents();
	EXPECT_TRUE(Levels().ends_with("frame 0")) << Levels();
	EXPECT_EQ(notice->text().toStdString(), "");

	setenv("QXIIC_SIM_DIR", "", 1);
	std::filesystem::remove_all(dir);
}

// A picture with one-pixel lines, fitted into boxes of every kind of
// size: each line still stands out of the grey around it.
TEST(FitPicture, OnePixelLinesStayVisibleAtAnySize)
{
	QImage picture(720, 576, QImage::Format_RGB888);
	picture.fill(QColor(128, 128, 128));
	for (int x = 0; x < 720; x++)
		picture.setPixelColor(x, 432, QColor(0, 255, 0)); // a guide line
	for (int y = 0; y < 576; y++)
		picture.setPixelColor(361, y, QColor(255, 255, 255)); // a cross's stroke

	const struct {
		QSize box;
		QSize fitted;
	} cases[] = {
		{ { 719, 575 }, { 718, 575 } },   { { 500, 400 }, { 500, 400 } },
		{ { 333, 500 }, { 333, 266 } },   { { 240, 192 }, { 240, 192 } },
		{ { 1000, 800 }, { 1000, 800 } },
	};
	for (const auto &c : cases) {
		const QImage fitted = FitPicture(picture, c.box).convertToFormat(QImage::Format_RGB888);
		ASSERT_EQ(fitted.size(), c.fitted) << c.box.width();
		int greenest = 0, brightest = 0;
		for (int y = 0; y < fitted.height(); y++) {
			const QColor p = fitted.pixelColor(fitted.width() / 4, y);
			greenest = std::max(greenest, p.green() - p.red());
		}
		for (int x = 0; x < fitted.width(); x++)
			brightest = std::max(brightest, fitted.pixelColor(x, fitted.height() / 4).red());
		// At a third of the size a line still covers a third of a pixel.
		EXPECT_GE(greenest, 40) << c.box.width();
		EXPECT_GE(brightest, 128 + 40) << c.box.width();
	}
}

TEST(PictureFrameBeside, BesideThePanelWholeAndOnTheScreen)
{
	const QSize frame(640, 560);
	const struct {
		QRect panel;
		QRect area;
		QRect placed;
	} cases[] = {
		// Room on the right.
		{ { 10, 10, 700, 600 }, { 0, 0, 1920, 1080 }, { 718, 10, 640, 560 } },
		// Only on the left.
		{ { 1200, 10, 700, 600 }, { 0, 0, 1920, 1080 }, { 552, 10, 640, 560 } },
		// Neither: whole, over the panel, inside the screen's right edge.
		{ { 0, 0, 700, 600 }, { 0, 0, 1024, 768 }, { 384, 0, 640, 560 } },
		{ { 330, 100, 700, 600 }, { 0, 0, 1024, 768 }, { 0, 100, 640, 560 } },
	};
	for (const auto &c : cases)
		EXPECT_EQ(PictureFrameBeside(c.panel, c.area, frame), c.placed) << c.panel.x();
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
	PictureSource source;
	source.device = dir + "/video0";
	source.openAtStart = true;
	Show(source);
	ASSERT_NE(Window(), nullptr);
	EXPECT_TRUE(QTest::qWaitFor([this] { return Levels().starts_with("720 x 576 PAL, "); }, 10000))
		<< Levels();
	EXPECT_NE(Levels().find(", mean R 128.0 G 128.0 B 128.0, frame "), std::string::npos) << Levels();
	dlg.reset();
	device.Stop();
	std::filesystem::remove_all(dir);
}

} // namespace
