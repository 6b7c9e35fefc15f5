// CIICTransfer: one complete I2C transfer per operation through the
// adapter library, from opening the adapter to closing it again.
//
// A failed transfer hands the adapter's status and message to an error
// sink (the panel's shows a modal box), leaves a flag behind that the
// caller may test with TestAndClearError, and keeps the status for
// Status(). Write operations return whether they succeeded; reads return
// the value, which is real only when Status() is 0.
#pragma once

#include "ErrorSink.h"
#include "registers.h"

#include <cstdint>
#include <span>

class CIICTransfer
{
public:
	explicit CIICTransfer(IICErrorSink &sink) : m_sink(sink) {}

	// Only the low 8 bits of each value argument travel.
	[[nodiscard]] bool WriteReg16(int device, int regHigh, int regLow, int valueHigh, int valueLow);
	int ReadReg16(int device, int regHigh, int regLow);
	[[nodiscard]] bool WriteByte(int device, int subAddress, int value);
	[[nodiscard]] bool WriteBytePair(int device, int subAddress, int first, int second);
	// Sends the low byte of each of the first count values; count is 1..16.
	[[nodiscard]] bool WriteBlock(int device, int subAddress, const std::uint16_t *values, int count);
	int ReadByte(int device, int subAddress);
	// Reads count bytes (1..16) from subAddress on, in one transfer with a
	// 1-byte sub-address. A failed read leaves the buffer zeroed.
	[[nodiscard]] bool ReadBlock(int device, int subAddress, unsigned char *buffer, int count);
	// A plain read: the device delivers from its own address counter.
	[[nodiscard]] bool ReadRaw(int device, unsigned char *buffer, int count);

	// Register forms of the two register operations.
	[[nodiscard]] bool WriteReg16(int device, kl310::Reg reg, int value)
	{
		return WriteReg16(device, reg.high, reg.low, (value >> 8) & 0xFF, value & 0xFF);
	}
	int ReadReg16(int device, kl310::Reg reg) { return ReadReg16(device, reg.high, reg.low); }
	// value is changed only by a successful read.
	[[nodiscard]] bool ReadReg16(int device, kl310::Reg reg, std::int32_t &value)
	{
		int read = ReadReg16(device, reg);
		if (m_status != 0)
			return false;
		value = read;
		return true;
	}

	// Reads the 16-bit registers regs into values (as many) with one open
	// of the adapter: each run of consecutive registers is one burst, so a
	// picture's worth of scattered registers costs one open, not one each.
	// Stops at the first failed burst; values from there keep what they held.
	[[nodiscard]] bool ReadRegs16(int device, std::span<const kl310::Reg> regs,
				      std::span<std::uint16_t> values);

	// The adapter status of the last operation; 0 is success.
	int Status() const { return m_status; }

	// For a sequence that must stop at its first failure: from then on
	// every operation on this object fails at once, without a transfer
	// and without a further message, and Status() keeps the first
	// failure's status.
	void StopAfterFailure() { m_stopAfterFailure = true; }
	// Whether any operation since StopAfterFailure() failed.
	bool Failed() const { return m_failed; }

	// Whether a status means the device did not acknowledge (an EEPROM
	// busy with its write cycle does so).
	static bool NotAcknowledged(int status);

	bool TestAndClearError();
	void ReportError(int status);

	// Message for an adapter status; every status not listed is " General error".
	static const char *StatusText(int status);
	// The adapter's name of a status ("QXIIC_NACK"); "" for 0, "unknown" for
	// one the adapter does not define.
	static const char *StatusName(int status);

	// The adapter's constants for one transfer: bus clock in Hz, timeout in ms.
	static constexpr int kBusClock = 20000;
	static constexpr int kTimeout = 1000;
	static constexpr int kMaxBlock = 16;
	static constexpr int kMaxRaw = 255;

private:
	// A handle, or false with the cause in status when none could be had.
	bool open(int device, unsigned short &status);
	unsigned short send(int device, int subLength, int subAddress, unsigned char *data, int count);
	unsigned short receive(int device, int subLength, int subAddress, unsigned char *data, int count);
	bool finish(unsigned short status);
	bool skipped() const { return m_stopAfterFailure && m_failed; }

	IICErrorSink &m_sink;
	int m_hIIC = 0;
	bool m_bErrorShown = false;
	int m_status = 0;
	bool m_stopAfterFailure = false;
	bool m_failed = false;
};
