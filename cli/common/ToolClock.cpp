#include "ToolClock.h"

#include <chrono>
#include <thread>

namespace tool {

namespace {

class SteadyClock final : public ToolClock
{
public:
	std::int64_t NowUs() override
	{
		using namespace std::chrono;
		return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
	}
	void SleepUs(std::int64_t microseconds) override
	{
		std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
	}
};

} // namespace

ToolClock &ToolClock::Real()
{
	static SteadyClock clock;
	return clock;
}

} // namespace tool
