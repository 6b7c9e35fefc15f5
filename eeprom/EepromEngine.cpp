#include "EepromEngine.h"

#include "registers.h"

#include <algorithm>

using namespace kl310;

namespace eeprom {

bool AckPolling::Retry(int status)
{
	m_timedOut = false;
	if (!CIICTransfer::NotAcknowledged(status) || !m_lastWriteUs)
		return false;
	std::int64_t left = *m_lastWriteUs + m_limitUs - m_now();
	if (left > 0) {
		m_sleep(std::min(m_pollUs, left));
		return true;
	}
	// A refusal that arrives past the limit (a loaded machine, a slow bus)
	// may answer a question asked well before it: the EEPROM is asked once
	// more, and that answer decides.
	if (!m_askedAfterLimit) {
		m_askedAfterLimit = true;
		return true;
	}
	m_askedAfterLimit = false;
	m_timedOut = true;
	return false;
}

int Engine::WriteTransfers(int pages)
{
	return pages * (EEPROM_PAGE_SIZE / EEPROM_WRITE_PAGE_SIZE);
}

int Engine::FillTransfers(int offset)
{
	int blocks = 0;
	for (int sub = offset; sub < EEPROM_PAGE_SIZE;
	     sub += EEPROM_WRITE_PAGE_SIZE - sub % EEPROM_WRITE_PAGE_SIZE)
		blocks++;
	return blocks;
}

int Engine::ReadTransfers(int pages, int unit)
{
	return pages * EEPROM_PAGE_SIZE / unit;
}

// One transfer, tried again while the pacing asks for it.
template <typename Transfer>
bool Engine::run(int page, int offset, bool write, Transfer transfer)
{
	if (m_stop) {
		m_failure = Failure{ 0, page, offset, true };
		m_failure.write = write;
		return false;
	}
	while (!transfer()) {
		if (!m_pacing.Retry(m_iic.Status())) {
			m_failure = Failure{ m_iic.Status(), page, offset };
			m_failure.write = write;
			return false;
		}
	}
	if (write)
		m_pacing.AfterWrite();
	else
		m_pacing.AfterRead();
	if (m_step)
		m_step();
	return true;
}

bool Engine::WritePages(int firstPage, int pages, const std::uint16_t *values)
{
	for (int page = firstPage; page < firstPage + pages; page++) {
		for (int sub = 0; sub < EEPROM_PAGE_SIZE; sub += EEPROM_WRITE_PAGE_SIZE) {
			const std::uint16_t *block = &values[(page - firstPage) * EEPROM_PAGE_SIZE + sub];
			if (!run(page, sub, true, [&] {
				    return m_iic.WriteBlock(EepromWrite(page), sub, block,
							    EEPROM_WRITE_PAGE_SIZE);
			    }))
				return false;
		}
	}
	return true;
}

bool Engine::FillPage(int page, int offset, std::uint8_t value)
{
	std::uint16_t block[EEPROM_WRITE_PAGE_SIZE];
	std::fill(std::begin(block), std::end(block), value);
	for (int sub = offset; sub < EEPROM_PAGE_SIZE;) {
		int count = EEPROM_WRITE_PAGE_SIZE - sub % EEPROM_WRITE_PAGE_SIZE;
		if (!run(page, sub, true,
			 [&] { return m_iic.WriteBlock(EepromWrite(page), sub, block, count); }))
			return false;
		sub += count;
	}
	return true;
}

bool Engine::read(int firstPage, int pages, std::uint16_t *out, const std::uint16_t *expected, int unit,
		  ReadForm form)
{
	for (int page = firstPage; page < firstPage + pages; page++) {
		int device = form == ReadForm::Read ? EepromRead(page) : EepromWrite(page);
		for (int sub = 0; sub < EEPROM_PAGE_SIZE; sub += unit) {
			unsigned char bytes[EEPROM_WRITE_PAGE_SIZE] = {};
			bool ok = run(page, sub, false, [&] {
				if (unit == 1) {
					bytes[0] = static_cast<unsigned char>(m_iic.ReadByte(device, sub));
					return m_iic.Status() == 0;
				}
				return m_iic.ReadBlock(device, sub, bytes, unit);
			});
			if (!ok)
				return false;
			int at = (page - firstPage) * EEPROM_PAGE_SIZE + sub;
			for (int i = 0; i < unit; i++) {
				if (out)
					out[at + i] = bytes[i];
				if (expected && bytes[i] != (expected[at + i] & 0xFF)) {
					m_failure = Failure{};
					m_failure.page = page;
					m_failure.offset = sub + i;
					m_failure.mismatch = true;
					m_failure.found = bytes[i];
					m_failure.expected = expected[at + i] & 0xFF;
					return false;
				}
			}
		}
	}
	return true;
}

bool Engine::ReadPages(int firstPage, int pages, std::uint16_t *out, int unit, ReadForm form)
{
	return read(firstPage, pages, out, nullptr, unit, form);
}

bool Engine::VerifyPages(int firstPage, int pages, const std::uint16_t *expected, int unit, ReadForm form)
{
	return read(firstPage, pages, nullptr, expected, unit, form);
}

} // namespace eeprom
