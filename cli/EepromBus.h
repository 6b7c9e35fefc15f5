// The settings EEPROM as the tool reaches it: blocks of up to 16 bytes
// through the panel's transfer class, and no fixed pause after a write.
//
// While an EEPROM stores a written block it acknowledges nothing. Instead
// of sleeping for the longest write cycle after every block, the tool
// retries the next transfer until the EEPROM acknowledges again
// (acknowledge polling) and gives up 25 ms after the write, five times
// the parts' longest write cycle.
#pragma once

#include "IICTransfer.h"
#include "ToolClock.h"

#include <cstdint>
#include <optional>
#include <string>

namespace eeprom_cli {

class EepromBus
{
public:
	explicit EepromBus(ToolClock &clock) : m_clock(clock) {}
	EepromBus(const EepromBus &) = delete;
	EepromBus &operator=(const EepromBus &) = delete;

	// Both return false on failure; Failure() then says why, naming the
	// page and byte. count is 1..16 and the block stays inside one of
	// the EEPROM's 16-byte write pages.
	bool WriteBlock(int page, int offset, const std::uint16_t *values, int count);
	bool ReadBlock(int page, int offset, unsigned char *buffer, int count);

	const std::string &Failure() const { return m_failure; }

	// A stop request (StopRequest.h) is honoured between blocks, never
	// inside one: the block that would have come next is refused, and
	// this says which it was.
	struct Position {
		int page = 0;
		int offset = 0;
	};
	const std::optional<Position> &StoppedBefore() const { return m_stoppedBefore; }

	static constexpr std::int64_t kWriteCycleLimitUs = 25000;
	static constexpr std::int64_t kPollIntervalUs = 200;

private:
	// Keeps the adapter's message instead of printing it: the not
	// acknowledged transfers of polling are expected, and a real failure
	// becomes part of the one line the tool prints.
	class HeldSink final : public IICErrorSink
	{
	public:
		void Report(const char *text) override { m_text = text; }
		const std::string &Text() const { return m_text; }

	private:
		std::string m_text;
	};

	template <typename Transfer>
	bool attempt(const char *action, int page, int offset, Transfer transfer);
	bool stopBefore(const char *action, int page, int offset);
	void fail(const char *action, int page, int offset, const std::string &why);

	ToolClock &m_clock;
	HeldSink m_sink;
	CIICTransfer m_iic{ m_sink };
	// When the last write was acknowledged, while its cycle may still run.
	std::optional<std::int64_t> m_lastWriteUs;
	std::string m_failure;
	std::optional<Position> m_stoppedBefore;
};

} // namespace eeprom_cli
