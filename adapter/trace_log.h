// QXIIC_TRACE: one line per transfer, written as it happens, so that an
// engineer can see what went over the wire:
//
//   0.001500 sim SendSub dev=0xBA sub=0x301C/2 len=2 [00 05] -> 0 OK
//   0.002250 /dev/i2c-3 Receive dev=0xA1 len=16 [] -> 14 NACK: I2C_RDWR: ENXIO (...)
//
// time in seconds on the adapter's clock, the bus, the call, the 8-bit
// device address, the sub-address and its length, the byte count asked
// for, the bytes sent or received, and the status with its name and, on
// failure, the cause when the library knows it.
#pragma once

#include "qxiic_sim.h"

#include <cstdio>
#include <string>

namespace qxiic {

// The name of an adapter call, as both the trace log and test messages
// spell it.
const char *CallName(sim::Call call);

std::string TraceLine(const sim::TraceEntry &e, const std::string &bus, const std::string &detail);

class TraceLog
{
public:
	TraceLog() = default;
	TraceLog(const TraceLog &) = delete;
	TraceLog &operator=(const TraceLog &) = delete;
	~TraceLog();

	// Follows the current value of QXIIC_TRACE (nullptr = unset): a file
	// name appends to that file, "-" writes to standard error. Returns
	// the text of a failure to open the file, else an empty string.
	std::string follow(const char *target);
	bool active() const { return file_ != nullptr; }
	// Returns the text of a failure to write the line, else "".
	std::string write(const std::string &line);

private:
	void close();

	std::string target_;
	std::FILE *file_ = nullptr;
};

} // namespace qxiic
