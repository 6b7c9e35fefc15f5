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
#include <span>

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
	// The pause expected after a write, for a progress bar that moves with
	// time (ProgressPlan); 0 where the pause cannot be told beforehand.
	virtual std::int64_t ExpectedPauseUs() const { return 0; }
	// The last failure came after the time allowed for a write cycle.
	virtual bool TimedOut() const { return false; }
};

// A fixed pause after every write, never a retry.
class FixedPause final : public Pacing
{
public:
	FixedPause(std::function<void(int ms)> sleep, int ms) : m_sleep(std::move(sleep)), m_ms(ms) {}
	void AfterWrite() override { m_sleep(m_ms); }
	std::int64_t ExpectedPauseUs() const override { return std::int64_t{ m_ms } * 1000; }

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
	bool TimedOut() const override { return m_timedOut; }
	std::int64_t LimitUs() const { return m_limitUs; }

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

// What the transfer that ended an operation was doing.
enum class Direction { None, Read, Write, Verify };

struct Failure {
	int status = 0; // the adapter's; 0 when stopped, refused or for a mismatch
	int device = 0; // the bus address the transfer went to
	int page = 0;
	int offset = 0; // byte in the page where the transfer began
	Direction direction = Direction::None;
	bool stopped = false;
	bool mismatch = false;
	bool refused = false;  // a transfer unit or buffer the page does not fit; nothing sent
	bool timedOut = false; // not acknowledged within the pacing's write-cycle limit
	int found = 0;         // for a mismatch: the EEPROM's byte and the expected one
	int expected = 0;
};

// Whether a step of an operation moves the progress.
enum class Step { Counted, Quiet };

class Engine
{
public:
	Engine(CIICTransfer &iic, Pacing &pacing) : m_iic(iic), m_pacing(pacing) {}

	// Called once after every transfer done.
	void OnProgress(std::function<void()> step) { m_step = std::move(step); }
	// Safe from a signal handler or another thread.
	void RequestStop() { m_stop = true; }

	// Pages firstPage.. in 16-byte blocks; bytes[p * 256 + k] is byte k of
	// page firstPage + p. Refused when bytes holds fewer than the pages.
	[[nodiscard]] bool WritePages(int firstPage, int pages, std::span<const std::uint8_t> bytes);
	// value from offset to the end of page; a block never crosses one of
	// the EEPROM's 16-byte write pages, which would wrap inside it.
	[[nodiscard]] bool FillPage(int page, int offset, std::uint8_t value);
	// One byte, paced as every write; a quiet step leaves the progress.
	[[nodiscard]] bool WriteByte(int page, int offset, std::uint8_t value, Step step = Step::Counted);
	// unit bytes per transfer: one that divides a page (1, 2, 4, 8, 16);
	// any other unit, or out too small for the pages, is refused before
	// a transfer.
	[[nodiscard]] bool ReadPages(int firstPage, int pages, std::span<std::uint8_t> out, int unit,
				     ReadForm form);
	// Reads as ReadPages and stops at the first byte that differs from
	// expected.
	[[nodiscard]] bool VerifyPages(int firstPage, int pages, std::span<const std::uint8_t> expected,
				       int unit, ReadForm form);

	const Failure &LastFailure() const { return m_failure; }

	// Whether unit bytes per transfer tile a page.
	static bool ValidUnit(int unit);

	// Transfers of each operation, for a progress total.
	static int WriteTransfers(int pages);
	static int FillTransfers(int offset);
	static int ReadTransfers(int pages, int unit);

private:
	template <typename Transfer>
	bool run(int device, int page, int offset, Direction direction, Step step, Transfer transfer);
	bool read(int firstPage, int pages, std::span<std::uint8_t> out,
		  std::span<const std::uint8_t> expected, int unit, ReadForm form);
	bool refuse(int page, Direction direction);

	CIICTransfer &m_iic;
	Pacing &m_pacing;
	std::function<void()> m_step;
	std::atomic<bool> m_stop{ false };
	Failure m_failure;
};

} // namespace eeprom
