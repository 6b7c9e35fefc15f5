#include "EepromBus.h"

#include <cstdio>

namespace eeprom_cli {

EepromBus::EepromBus(ToolClock &clock)
	: m_pacing([&clock] { return clock.NowUs(); }, [&clock](std::int64_t us) { clock.SleepUs(us); },
		   kWriteCycleLimitUs, kPollIntervalUs)
{}

std::string EepromBus::Failure() const
{
	const eeprom::Failure &f = m_engine.LastFailure();
	char where[64];
	std::snprintf(where, sizeof(where),
		      "%s EEPROM page %d at byte 0x%02x failed: ", f.write ? "writing" : "reading", f.page,
		      f.offset);
	if (f.stopped)
		return where + std::string("stopped");
	if (m_pacing.TimedOut())
		return where +
		       std::string("the EEPROM did not acknowledge within 25 ms of the last write (") +
		       m_sink.Text() + ")";
	return where + m_sink.Text();
}

} // namespace eeprom_cli
