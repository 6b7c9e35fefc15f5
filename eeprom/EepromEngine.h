// The settings EEPROM in pages: written in 16-byte blocks, filled, read and
// verified, one transfer at a time through CIICTransfer. The caller picks
// how the engine waits for the EEPROM's write cycle (Pacing), learns of
// every transfer done (progress) and may ask it to stop between two
// transfers. The first failure ends an operation; LastFailure() says where.
#pragma once

#include "IICTransfer.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

namespace eeprom {

class Pacing
{
public:
	virtual ~Pacing() = default;
	// After every acknowledged write, and after every acknowledged read.
	virtual void AfterWrite() = 0;
	virtual void AfterRead() {}
	// A transfer failed with status: true to try the same transfer again.
	virtual bool Retry(int status)
	{
		(void)status;
		return false;
	}
};

// A fixed pause after every write, never a retry.
class FixedPause final : public Pacing
{
public:
	FixedPause(std::function<void(int ms)> sleep, int ms) : m_sleep(std::move(sleep)), m_ms(ms) {}
	void AfterWrite() override { m_sleep(m_ms); }

private:
	std::function<void(int)> m_sleep;
	int m_ms;
};

// While an EEPROM stores a written block it acknowledges nothing: instead
// of sleeping for the longest write cycle after every block, a transfer
// that is not acknowledged is tried again until the EEPROM answers, for at
// most limitUs after the last write, and once more after that.
class AckPolling final : public Pacing
{
public:
	AckPolling(std::function<std::int64_t()> nowUs, std::function<void(std::int64_t)> sleepUs,
		   std::int64_t limitUs, std::int64_t pollUs)
		: m_now(std::move(nowUs)), m_sleep(std::move(sleepUs)), m_limitUs(limitUs), m_pollUs(pollUs)
	{}
	void AfterWrite() override
	{
		m_lastWriteUs = m_now();
		m_askedAfterLimit = false;
	}
	// An acknowledged transfer means the write cycle is over.
	void AfterRead() override
	{
		m_lastWriteUs.reset();
		m_askedAfterLimit = false;
	}
	bool Retry(int status) override;
	// The last failure came after the write cycle's limit had run out.
	bool TimedOut() const { return m_timedOut; }

private:
	std::function<std::int64_t()> m_now;
	std::function<void(std::int64_t)> m_sleep;
	std::int64_t m_limitUs;
	std::int64_t m_pollUs;
	std::optional<std::int64_t> m_lastWriteUs;
	bool m_timedOut = false;
	bool m_askedAfterLimit = false;
};

// Which form of a page's address the reads use. The panel's copy into a
// file reads with the write form; the adapter takes the direction from
// the call.
enum class ReadForm { Write, Read };

struct Failure {
	int status = 0; // the adapter's; 0 when stopped or for a mismatch
	int page = 0;
	int offset = 0;
	bool stopped = false;
	bool mismatch = false;
	bool write = false; // the failing transfer wrote
	int found = 0;      // for a mismatch: the EEPROM's byte and the expected one
	int expected = 0;
};

class Engine
{
public:
	Engine(CIICTransfer &iic, Pacing &pacing) : m_iic(iic), m_pacing(pacing) {}

	// Called once after every transfer done.
	void OnProgress(std::function<void()> step) { m_step = std::move(step); }
	// Safe from a signal handler or another thread.
	void RequestStop() { m_stop = true; }

	// Pages firstPage.. in 16-byte blocks; values[p * 256 + k] is byte k of
	// page firstPage + p (its low 8 bits).
	[[nodiscard]] bool WritePages(int firstPage, int pages, const std::uint16_t *values);
	// value from offset to the end of page; a block never crosses one of
	// the EEPROM's 16-byte write pages, which would wrap inside it.
	[[nodiscard]] bool FillPage(int page, int offset, std::uint8_t value);
	// unit bytes per transfer: 1 (single-byte reads) or up to 16 (blocks).
	[[nodiscard]] bool ReadPages(int firstPage, int pages, std::uint16_t *out, int unit, ReadForm form);
	// Reads as ReadPages and stops at the first byte that differs from the
	// low 8 bits of expected.
	[[nodiscard]] bool VerifyPages(int firstPage, int pages, const std::uint16_t *expected, int unit,
				       ReadForm form);

	const Failure &LastFailure() const { return m_failure; }

	// Transfers of each operation, for a progress total.
	static int WriteTransfers(int pages);
	static int FillTransfers(int offset);
	static int ReadTransfers(int pages, int unit);

private:
	template <typename Transfer>
	bool run(int page, int offset, bool write, Transfer transfer);
	bool read(int firstPage, int pages, std::uint16_t *out, const std::uint16_t *expected, int unit,
		  ReadForm form);

	CIICTransfer &m_iic;
	Pacing &m_pacing;
	std::function<void()> m_step;
	std::atomic<bool> m_stop{ false };
	Failure m_failure;
};

} // namespace eeprom
