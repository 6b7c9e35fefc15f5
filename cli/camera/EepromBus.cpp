#include "EepromBus.h"

namespace eeprom_cli {

using namespace tool;

EepromBus::EepromBus(ToolClock &clock)
	: m_pacing([&clock] { return clock.NowUs(); }, [&clock](std::int64_t us) { clock.SleepUs(us); },
		   kWriteCycleLimitUs, kPollIntervalUs)
{}

} // namespace eeprom_cli
