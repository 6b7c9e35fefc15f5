// The command-line tools' clock as the simulator's: a pause moves the
// simulated camera's time on (an EEPROM write cycle ends), nothing sleeps.
#pragma once

#include "ToolClock.h"
#include "qxiic_sim.h"

class SimToolClock final : public tool::ToolClock
{
public:
	std::int64_t NowUs() override { return qxiic::sim::Now(); }
	void SleepUs(std::int64_t microseconds) override { qxiic::sim::AdvanceClock(microseconds); }
};
