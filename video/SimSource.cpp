#include "FrameSource.h"
#include "SimPicture.h"
#include "registers.h"

#include <atomic>
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
	explicit SimSource(WaitUntil wait) : wait_(std::move(wait))
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
		const bool read = ReadSensorState(state_);
		if (!read && !silent_)
			notice_ = "the simulated camera does not answer";
		silent_ = !read;
		if (!read)
			return false;
		RenderSimPicture(state_, number_++, frame);
		return true;
	}

	std::string takeNotice() override { return std::exchange(notice_, std::string()); }
	std::string name() const override { return "simulated camera"; }
	void stop() override { stopped_ = true; }

private:
	WaitUntil wait_;
	SensorState state_;
	std::chrono::steady_clock::time_point due_ = std::chrono::steady_clock::now();
	std::int64_t number_ = 0;
	bool silent_ = false;
	std::string notice_;
	std::atomic<bool> stopped_{ false };
};

} // namespace

std::unique_ptr<FrameSource> OpenSimulatedCamera(WaitUntil wait)
{
	return std::make_unique<SimSource>(std::move(wait));
}

bool SimulatedSnapshot(Frame &frame)
{
	SensorState state;
	if (!ReadSensorState(state))
		return false;
	RenderSimPicture(state, 0, frame);
	return true;
}

} // namespace video
