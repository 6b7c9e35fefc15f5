// The camera's picture, one frame at a time as the picture window handles
// it: the simulated camera's registers read through the adapter library
// and its picture rendered (or a capture device's frame dequeued and
// turned into RGB by libv4lconvert, here from the tests' fake device),
// the levels measured, the frame turned into a QImage, scaled smoothly and
// painted into the window's 480 x 384 picture area.
// Counter: share_at_25fps = CPU time per frame x 25, the part of one core
// the picture takes at PAL's frame rate.
#include "CaptureDevice.h"
#include "FakeV4l2.h"
#include "FrameSource.h"
#include "SimPicture.h"
#include "qxiic_sim.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdlib>

namespace {

// What the window's present() and paintEvent() do with a frame.
void Paint(const video::Frame &frame, QImage &target)
{
	const video::Levels levels = video::Measure(frame);
	benchmark::DoNotOptimize(levels);
	const QImage image = QImage(frame.rgb.data(), frame.width, frame.height, frame.width * 3,
				    QImage::Format_RGB888)
				     .copy();
	QPainter p(&target);
	p.fillRect(target.rect(), Qt::black);
	// Fitted smoothly, as the window's picture is (FitPicture).
	const QImage fitted = image.scaled(target.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
	p.drawImage(QPoint((target.width() - fitted.width()) / 2, (target.height() - fitted.height()) / 2),
		    fitted);
}

void Report(benchmark::State &state)
{
	// CPU seconds per frame x 25 frames a second.
	state.counters["share_at_25fps"] = benchmark::Counter(static_cast<double>(state.iterations()) / 25.0,
							      benchmark::Counter::kIsRate |
								      benchmark::Counter::kInvert);
}

void BM_SimulatedPicturePal(benchmark::State &state)
{
	qxiic::sim::Reset();
	QImage target(480, 384, QImage::Format_RGB32);
	video::SensorState registers;
	video::Frame frame;
	std::int64_t number = 0;
	for (auto _ : state) {
		if (!video::ReadSensorState(registers)) {
			state.SkipWithError("the simulated camera does not answer");
			return;
		}
		video::RenderSimPicture(registers, number++, frame);
		Paint(frame, target);
	}
	Report(state);
}

void BM_CaptureDeviceFramePal(benchmark::State &state)
{
	fake_v4l2::Reset();
	video::CaptureOptions options;
	options.pal = true;
	options.calls = &fake_v4l2::Calls();
	options.pause = [](std::chrono::milliseconds) {};
	std::unique_ptr<video::FrameSource> source = video::OpenCaptureDevice(fake_v4l2::TheDevice().path,
									      options);
	QImage target(480, 384, QImage::Format_RGB32);
	video::Frame frame;
	for (auto _ : state) {
		if (!source->next(frame)) {
			state.SkipWithError(source->takeNotice().c_str());
			return;
		}
		Paint(frame, target);
	}
	Report(state);
	source.reset();
	fake_v4l2::Reset();
}

} // namespace

BENCHMARK(BM_SimulatedPicturePal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CaptureDeviceFramePal)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
	setenv("QT_QPA_PLATFORM", "offscreen", 1);
	setenv("QXIIC_BUS", "sim", 1);
	setenv("QXIIC_SIM_DIR", "", 1);
	benchmark::Initialize(&argc, argv);
	if (benchmark::ReportUnrecognizedArguments(argc, argv))
		return 1;
	QGuiApplication application(argc, argv);
	benchmark::RunSpecifiedBenchmarks();
	benchmark::Shutdown();
	return 0;
}
