// CIICTransfer: one complete I2C transfer per operation through the
// adapter library, from opening the adapter to closing it again.
//
// A failed transfer hands the adapter's message to an error sink (the
// panel's shows a modal box) and leaves a flag behind that the caller may
// test with TestAndClearError.
#pragma once

#include "ErrorSink.h"
#include "registers.h"

#include <cstdint>

class CIICTransfer
{
public:
	CIICTransfer() : m_sink(IICErrorSink::Default()) {}
	explicit CIICTransfer(IICErrorSink &sink) : m_sink(sink) {}

	// Only the low 8 bits of each value argument travel.
	void WriteReg16(int device, int regHigh, int regLow, int valueHigh, int valueLow);
	int ReadReg16(int device, int regHigh, int regLow);
	void WriteByte(int device, int subAddress, int value);
	void WriteBytePair(int device, int subAddress, int first, int second);
	// Sends the low byte of each of the first count values; count is 1..16.
	void WriteBlock(int device, int subAddress, const std::uint16_t *values, int count);
	int ReadByte(int device, int subAddress);
	// Reads count bytes (1..16) from subAddress on, in one transfer with a
	// 1-byte sub-address. A failed read leaves the buffer zeroed.
	void ReadBlock(int device, int subAddress, unsigned char *buffer, int count);
	// A plain read: the device delivers from its own address counter.
	void ReadRaw(int device, unsigned char *buffer, int count);

	// Register forms of the two register operations.
	void WriteReg16(int device, kl310::Reg reg, int value)
	{
		WriteReg16(device, reg.high, reg.low, (value >> 8) & 0xFF, value & 0xFF);
	}
	int ReadReg16(int device, kl310::Reg reg) { return ReadReg16(device, reg.high, reg.low); }

	bool TestAndClearError();
	void ReportError(int status);

	// Message for an adapter status; every status not listed is " General error".
	static const char *StatusText(int status);

	// The adapter's constants for one transfer: bus clock in Hz, timeout in ms.
	static constexpr int kBusClock = 20000;
	static constexpr int kTimeout = 1000;
	static constexpr int kMaxBlock = 16;
	static constexpr int kMaxRaw = 255;

private:
	unsigned short send(int device, int subLength, int subAddress, unsigned char *data, int count);
	unsigned short receive(int device, int subLength, int subAddress, unsigned char *data, int count);
	void finish(unsigned short status);

	IICErrorSink &m_sink;
	int m_hIIC = 0;
	bool m_bErrorShown = false;
};
