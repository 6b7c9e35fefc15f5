// Time as the tool sees it. Acknowledge polling measures and waits through
// this, so tests run the tool on the simulator's manual clock and never
// sleep for real.
#pragma once

#include <cstdint>

namespace tool {

class ToolClock
{
public:
	virtual ~ToolClock() = default;
	virtual std::int64_t NowUs() = 0;
	virtual void SleepUs(std::int64_t microseconds) = 0;

	// The steady clock, with real pauses of the calling thread.
	static ToolClock &Real();
};

} // namespace tool
