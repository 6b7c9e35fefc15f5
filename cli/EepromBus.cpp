#include "EepromBus.h"

#include "StopRequest.h"
#include "qxiic.h"
#include "registers.h"

#include <algorithm>
#include <cstdio>

using namespace kl310;

namespace eeprom_cli {

namespace {

bool FitsWritePage(int offset, int count)
{
	return offset >= 0 && count >= 1 &&
	       offset % EEPROM_WRITE_PAGE_SIZE + count <= EEPROM_WRITE_PAGE_SIZE &&
	       offset + count <= EEPROM_PAGE_SIZE;
}

} // namespace

void EepromBus::fail(const char *action, int page, int offset, const std::string &why)
{
	char where[64];
	std::snprintf(where, sizeof(where), "%s EEPROM page %d at byte 0x%02x failed: ", action, page,
		      offset);
	m_failure = where + why;
}

// A busy EEPROM answers a transfer with a missing acknowledge and takes
// nothing from it, so the same transfer is simply tried again. Any other
// failure, or one with no write cycle to explain it, is final.
template <typename Transfer>
bool EepromBus::attempt(const char *action, int page, int offset, Transfer transfer)
{
	for (;;) {
		transfer();
		if (!m_iic.TestAndClearError())
			return true;
		bool notAcknowledged = m_sink.Text() == CIICTransfer::StatusText(QXIIC_NACK);
		if (!notAcknowledged || !m_lastWriteUs) {
			fail(action, page, offset, m_sink.Text());
			return false;
		}
		std::int64_t left = *m_lastWriteUs + kWriteCycleLimitUs - m_clock.NowUs();
		if (left <= 0) {
			fail(action, page, offset,
			     "the EEPROM did not acknowledge within 25 ms of the last write (" +
				     m_sink.Text() + ")");
			return false;
		}
		m_clock.SleepUs(std::min(kPollIntervalUs, left));
	}
}

bool EepromBus::stopBefore(const char *action, int page, int offset)
{
	if (!StopRequested())
		return false;
	m_stoppedBefore = Position{ page, offset };
	fail(action, page, offset, "interrupted");
	return true;
}

bool EepromBus::WriteBlock(int page, int offset, const std::uint16_t *values, int count)
{
	if (stopBefore("writing", page, offset))
		return false;
	// A block across a write page border would wrap inside the EEPROM
	// and overwrite bytes nobody asked for.
	if (!FitsWritePage(offset, count)) {
		fail("writing", page, offset, "the block crosses a 16-byte write page");
		return false;
	}
	bool ok = attempt("writing", page, offset,
			  [&] { m_iic.WriteBlock(EepromWrite(page), offset, values, count); });
	if (ok)
		m_lastWriteUs = m_clock.NowUs();
	return ok;
}

// Read with the write form of the address, as the panel's "Cam --> File"
// does; the adapter takes the direction from the call.
bool EepromBus::ReadBlock(int page, int offset, unsigned char *buffer, int count)
{
	if (stopBefore("reading", page, offset))
		return false;
	bool ok = attempt("reading", page, offset,
			  [&] { m_iic.ReadBlock(EepromWrite(page), offset, buffer, count); });
	// An acknowledged transfer means the write cycle is over.
	if (ok)
		m_lastWriteUs.reset();
	return ok;
}

} // namespace eeprom_cli
