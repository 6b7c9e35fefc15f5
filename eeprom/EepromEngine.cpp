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

bool Engine::ValidUnit(int unit)
{
	return unit >= 1 && unit <= EEPROM_WRITE_PAGE_SIZE && EEPROM_PAGE_SIZE % unit == 0;
}

bool Engine::refuse(int page, Direction direction)
{
	m_failure = Failure{};
	m_failure.page = page;
	m_failure.direction = direction;
	m_failure.refused = true;
	return false;
}

// One transfer, tried again while the pacing asks for it.
template <typename Transfer>
bool Engine::run(int device, int page, int offset, Direction direction, Step step, Transfer transfer)
{
	if (m_stop) {
		m_failure = Failure{};
		m_failure.device = device;
		m_failure.page = page;
		m_failure.offset = offset;
		m_failure.direction = direction;
		m_failure.stopped = true;
		return false;
	}
	while (!transfer()) {
		if (!m_pacing.Retry(m_iic.Status())) {
			m_failure = Failure{};
			m_failure.status = m_iic.Status();
			m_failure.device = device;
			m_failure.page = page;
			m_failure.offset = offset;
			m_failure.direction = direction;
			m_failure.timedOut = m_pacing.TimedOut();
			return false;
		}
	}
	if (direction == Direction::Write)
		m_pacing.AfterWrite();
	else
		m_pacing.AfterRead();
	if (m_step && step == Step::Counted)
		m_step();
	return true;
}

bool Engine::WritePages(int firstPage, int pages, std::span<const std::uint8_t> bytes)
{
	if (pages < 0 || bytes.size() < static_cast<size_t>(pages) * EEPROM_PAGE_SIZE)
		return refuse(firstPage, Direction::Write);
	for (int page = firstPage; page < firstPage + pages; page++) {
		int device = EepromWrite(page);
		for (int sub = 0; sub < EEPROM_PAGE_SIZE; sub += EEPROM_WRITE_PAGE_SIZE) {
			std::span<const std::uint8_t> from = bytes.subspan(
				static_cast<size_t>((page - firstPage) * EEPROM_PAGE_SIZE + sub),
				EEPROM_WRITE_PAGE_SIZE);
			std::uint16_t block[EEPROM_WRITE_PAGE_SIZE];
			std::copy(from.begin(), from.end(), block);
			if (!run(device, page, sub, Direction::Write, Step::Counted, [&] {
				    return m_iic.WriteBlock(device, sub, block, EEPROM_WRITE_PAGE_SIZE);
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
	int device = EepromWrite(page);
	for (int sub = offset; sub < EEPROM_PAGE_SIZE;) {
		int count = EEPROM_WRITE_PAGE_SIZE - sub % EEPROM_WRITE_PAGE_SIZE;
		if (!run(device, page, sub, Direction::Write, Step::Counted,
			 [&] { return m_iic.WriteBlock(device, sub, block, count); }))
			return false;
		sub += count;
	}
	return true;
}

bool Engine::WriteByte(int page, int offset, std::uint8_t value, Step step)
{
	int device = EepromWrite(page);
	return run(device, page, offset, Direction::Write, step,
		   [&] { return m_iic.WriteByte(device, offset, value); });
}

bool Engine::read(int firstPage, int pages, std::span<std::uint8_t> out,
		  std::span<const std::uint8_t> expected, int unit, ReadForm form)
{
	Direction direction = expected.empty() ? Direction::Read : Direction::Verify;
	size_t needed = static_cast<size_t>(std::max(pages, 0)) * EEPROM_PAGE_SIZE;
	std::span<const std::uint8_t> buffer = expected.empty() ? std::span<const std::uint8_t>(out)
								: expected;
	if (!ValidUnit(unit) || pages < 0 || buffer.size() < needed)
		return refuse(firstPage, direction);
	for (int page = firstPage; page < firstPage + pages; page++) {
		int device = form == ReadForm::Read ? EepromRead(page) : EepromWrite(page);
		for (int sub = 0; sub < EEPROM_PAGE_SIZE; sub += unit) {
			unsigned char bytes[EEPROM_WRITE_PAGE_SIZE] = {};
			bool ok = run(device, page, sub, direction, Step::Counted, [&] {
				if (unit == 1) {
					bytes[0] = static_cast<unsigned char>(m_iic.ReadByte(device, sub));
					return m_iic.Status() == 0;
				}
				return m_iic.ReadBlock(device, sub, bytes, unit);
			});
			if (!ok)
				return false;
			size_t at = static_cast<size_t>((page - firstPage) * EEPROM_PAGE_SIZE + sub);
			for (int i = 0; i < unit; i++) {
				if (!out.empty())
					out[at + i] = bytes[i];
				if (!expected.empty() && bytes[i] != expected[at + i]) {
					m_failure = Failure{};
					m_failure.device = device;
					m_failure.page = page;
					m_failure.offset = sub + i;
					m_failure.direction = Direction::Verify;
					m_failure.mismatch = true;
					m_failure.found = bytes[i];
					m_failure.expected = expected[at + i];
					return false;
				}
			}
		}
	}
	return true;
}

bool Engine::ReadPages(int firstPage, int pages, std::span<std::uint8_t> out, int unit, ReadForm form)
{
	return read(firstPage, pages, out, {}, unit, form);
}

bool Engine::VerifyPages(int firstPage, int pages, std::span<const std::uint8_t> expected, int unit,
			 ReadForm form)
{
	if (expected.empty() && pages > 0)
		return refuse(firstPage, Direction::Verify);
	return read(firstPage, pages, {}, expected, unit, form);
}

} // namespace eeprom
