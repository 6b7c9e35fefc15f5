// The settings EEPROM as the tool reaches it: the EEPROM engine over the
// panel's transfer class, paced by acknowledge polling instead of a fixed
// pause after every write.
//
// While an EEPROM stores a written block it acknowledges nothing. The
// engine retries a transfer until the EEPROM acknowledges again and gives
// up 25 ms after the write, five times the parts' longest write cycle.
#pragma once

#include "EepromEngine.h"
#include "IICTransfer.h"
#include "ToolClock.h"

#include <cstdint>

namespace eeprom_cli {

class EepromBus
{
public:
	explicit EepromBus(tool::ToolClock &clock);
	EepromBus(const EepromBus &) = delete;
	EepromBus &operator=(const EepromBus &) = delete;

	eeprom::Engine &Engine() { return m_engine; }

	static constexpr std::int64_t kWriteCycleLimitUs = 25000;
	static constexpr std::int64_t kPollIntervalUs = 200;

private:
	// Keeps the adapter's status instead of printing it: the not
	// acknowledged transfers of polling are expected, and a real failure
	// reaches the tool's line as the operation's result.
	HeldErrorSink m_sink;
	CIICTransfer m_iic{ m_sink };
	eeprom::AckPolling m_pacing;
	eeprom::Engine m_engine{ m_iic, m_pacing };
};

} // namespace eeprom_cli
