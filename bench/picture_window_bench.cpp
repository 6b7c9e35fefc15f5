// The picture window beside the panel, showing a capture device that the
// kernel serves from user space (testing/fuse_capture) at PAL 25 frames a
// second: the real window, its thread reading through libv4l2's ioctls,
// mmap and poll, libv4lconvert, the levels and the painting. Each
// iteration lets the event loop run for one second.
// Counters: frames_received (frames a second the window's thread took
// from the device), frames_shown (a second, pictures painted) and
// cpu_pct (this process's CPU time as a share of one core; the device's
// own process, the camera, is not counted).
#include "FuseCapture.h"
#include "PictureWindow.h"
#include "PictureWindowAccess.h"
#include "VelmoraApp.h"
#include "VelmoraDlg.h"
#include "qt_access.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QScrollArea>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

std::string g_video; // the user-space capture device's node

double CpuSeconds()
{
	timespec t{};
	clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
	return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Paints of the picture's view.
class PaintCounter final : public QObject
{
public:
	int paints = 0;

protected:
	bool eventFilter(QObject *, QEvent *event) override
	{
		if (event->type() == QEvent::Paint)
			paints++;
		return false;
	}
};

// The number after "frame " in the levels line; -1 before the first frame.
long FrameNumber(QWidget *window)
{
	const QString text = window->findChild<QLabel *>(QStringLiteral("levels"))->text();
	const qsizetype at = text.lastIndexOf(QStringLiteral("frame "));
	return at < 0 ? -1 : text.mid(at + 6).toLong();
}

void BM_PictureWindowUserSpaceDevicePal(benchmark::State &state)
{
	CVelmoraApp app;
	CVelmoraDlg dlg;
	PictureSource source;
	source.device = g_video;
	dlg.SetPictureSource(source);
	dlg.Create();
	toolkit::DialogWidget(dlg)->show();
	ShowPictureWindow(dlg, dlg.m_picture);
	QApplication::processEvents();
	QWidget *window = PictureWindowWidget(dlg);
	// The picture itself, inside its scrolling area.
	auto *area = window->findChild<QScrollArea *>(QStringLiteral("view"));
	QWidget *view = area ? area->widget() : nullptr;
	PaintCounter counter;
	view->installEventFilter(&counter);
	auto runFor = [](int ms) {
		QEventLoop loop;
		QTimer::singleShot(ms, &loop, &QEventLoop::quit);
		loop.exec();
	};
	// Until frames flow: the device opened and streaming.
	for (int i = 0; i < 50 && FrameNumber(window) < 0; i++)
		runFor(100);
	if (FrameNumber(window) < 0) {
		state.SkipWithError("no frame from the device");
		return;
	}
	double received = 0, shown = 0, cpu = 0, wall = 0;
	for (auto _ : state) {
		const long firstFrame = FrameNumber(window);
		const int firstPaints = counter.paints;
		const double firstCpu = CpuSeconds();
		QElapsedTimer timer;
		timer.start();
		runFor(1000);
		const double seconds = static_cast<double>(timer.nsecsElapsed()) * 1e-9;
		state.SetIterationTime(seconds);
		received += static_cast<double>(FrameNumber(window) - firstFrame);
		shown += counter.paints - firstPaints;
		cpu += CpuSeconds() - firstCpu;
		wall += seconds;
	}
	state.counters["frames_received"] = received / wall;
	state.counters["frames_shown"] = shown / wall;
	state.counters["cpu_pct"] = 100 * cpu / wall;
	delete window;
}

} // namespace

BENCHMARK(BM_PictureWindowUserSpaceDevicePal)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv)
{
	setenv("QT_QPA_PLATFORM", "offscreen", 1);
	setenv("QXIIC_BUS", "sim", 1);
	setenv("QXIIC_SIM_DIR", "", 1);
	benchmark::Initialize(&argc, argv);
	if (benchmark::ReportUnrecognizedArguments(argc, argv))
		return 1;
	const std::filesystem::path dir = std::filesystem::temp_directory_path() /
					  ("velmora-bench-video-" + std::to_string(getpid()));
	std::filesystem::create_directories(dir);
	const std::string video = (dir / "video0").string();
	fuse_capture::Device device;
	if (std::string why = device.Start(video, { .standard = "pal" }); !why.empty()) {
		std::fprintf(stderr, "picture_window_bench: the user-space capture device cannot run: %s\n",
			     why.c_str());
		return 1;
	}
	g_video = video;
	{
		QApplication application(argc, argv);
		benchmark::RunSpecifiedBenchmarks();
		benchmark::Shutdown();
	}
	device.Stop();
	std::filesystem::remove_all(dir);
	return 0;
}
