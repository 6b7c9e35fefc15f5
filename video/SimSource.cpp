#include "FrameSource.h"
#include "SimPicture.h"
#include "SimPictureFaults.h"
#include "registers.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <utility>

namespace video {
namespace {

// 25 frames a second; NTSC's 30000/1001.
constexpr std::chrono::nanoseconds kPalPeriod{ 40'000'000 };
constexpr std::chrono::nanoseconds kNtscPeriod{ 33'366'667 };

class SimSource final : public FrameSource
{
public:
	SimSource(WaitUntil wait, int faultsOf)
		: wait_(std::move(wait)), faultsPath_(faultsOf >= 0 ? SimPictureFaultsPath(faultsOf) : "")
	{
		if (!wait_)
			wait_ = [](std::chrono::steady_clock::time_point t) {
				std::this_thread::sleep_until(t);
			};
	}

	bool next(Frame &frame) override
	{
		if (stopped_)
			return false;
		// The frame's time first, then the registers as they are then.
		due_ += state_.videoStandard & kl310::VIDEO_PAL_BIT ? kPalPeriod : kNtscPeriod;
		wait_(due_);
		if (stopped_)
			return false;
		const SimPictureFaults faults = Faults();
		if (faults.noSignal) {
			notice_ = "no signal: " + faultsPath_;
			return false;
		}
		const bool read = ReadSensorState(state_);
		if (!read && !silent_)
			notice_ = "the simulated camera does not answer";
		silent_ = !read;
		if (!read)
			return false;
		SensorState shown = state_;
		if (faults.wrongStandard)
			shown.videoStandard ^= kl310::VIDEO_PAL_BIT;
		// A sensor mounted turned reads the scene turned, as its own
		// mirror and flip would.
		if (faults.mirrored)
			shown.mirrorFlip ^= kl310::MIRROR_BIT;
		if (faults.upsideDown)
			shown.mirrorFlip ^= kl310::FLIP_BIT;
		const Optics optics{ faults.shiftX, faults.shiftY, faults.soft };
		// A frozen picture shows its first frame for ever.
		RenderSimPicture(shown, faults.frozen ? 0 : number_++, frame, optics);
		if (faults.cast != SimPictureFaults{}.cast)
			Cast(frame, faults.cast);
		return true;
	}

	std::string takeNotice() override { return std::exchange(notice_, std::string()); }
	std::string name() const override { return "simulated camera"; }
	void stop() override { stopped_ = true; }

private:
	SimPictureFaults Faults()
	{
		if (faultsPath_.empty())
			return {};
		std::string why;
		SimPictureFaults faults = ReadSimPictureFaults(faultsPath_, why);
		if (!why.empty() && why != faultsWhy_)
			notice_ = why;
		faultsWhy_ = why;
		return faults;
	}

	static void Cast(Frame &frame, const std::array<double, 3> &factor)
	{
		std::uint8_t lut[3][256];
		for (std::size_t c = 0; c < 3; c++)
			for (int v = 0; v < 256; v++)
				lut[c][v] = static_cast<std::uint8_t>(
					std::clamp(std::lround(v * factor[c]), 0L, 255L));
		for (std::size_t i = 0; i < frame.rgb.size(); i++)
			frame.rgb[i] = lut[i % 3][frame.rgb[i]];
	}

	WaitUntil wait_;
	std::string faultsPath_;
	std::string faultsWhy_;
	SensorState state_;
	std::chrono::steady_clock::time_point due_ = std::chrono::steady_clock::now();
	std::int64_t number_ = 0;
	bool silent_ = false;
	std::string notice_;
	std::atomic<bool> stopped_{ false };
};

} // namespace

std::unique_ptr<FrameSource> OpenSimulatedCamera(WaitUntil wait, int faultsOf)
{
	return std::make_unique<SimSource>(std::move(wait), faultsOf);
}

bool SimulatedSnapshot(Frame &frame, int faultsOf, std::string &why)
{
	// One frame, taken at once: nothing to pace.
	SimSource source([](std::chrono::steady_clock::time_point) {}, faultsOf);
	const bool got = source.next(frame);
	why = source.takeNotice();
	return got;
}

} // namespace video
