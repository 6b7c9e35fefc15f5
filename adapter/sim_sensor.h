// The KL310 image sensor: 16-bit registers at even numbers, addressed by
// a 2-byte sub-address and transferred high byte first. A burst moves
// through consecutive registers, so a plain read continues after the
// last register touched.
#pragma once

#include <cstdint>
#include <map>

namespace qxiic {

class SimSensor
{
public:
	SimSensor();

	// Power-on register values, pointer at 0, no command running.
	void reset();

	// Bus transfers. A 1-byte sub-address or an odd byte count (half a
	// register) fails with QXIIC_BAD_ACK and changes nothing.
	unsigned short write(int subLength, int reg, const std::uint8_t *data, int count);
	unsigned short read(int subLength, int reg, std::uint8_t *data, int count);
	unsigned short readCurrent(std::uint8_t *data, int count);

	// Direct access for tests: no side effects, not counted as bus writes.
	std::uint16_t value(std::uint16_t reg) const;
	// Every register that holds a value, for keeping them between runs.
	const std::map<std::uint16_t, std::uint16_t> &registers() const { return regs_; }
	void setValue(std::uint16_t reg, std::uint16_t value);
	int busWrites(std::uint16_t reg) const;
	// Busy polls after each command; -1 never finishes.
	void setCommandBusyReads(int reads);

private:
	void store(std::uint16_t reg, std::uint16_t word);
	std::uint16_t fetch(std::uint16_t reg);
	void measureWhiteBalance(int measurement);

	std::map<std::uint16_t, std::uint16_t> regs_;
	std::map<std::uint16_t, int> writes_;
	std::uint16_t next_ = 0;   // register a plain read starts at
	int commandBusyReads_ = 0; // reads of 0x0040 still showing busy
	int commandDuration_ = 0;  // busy reads a new command starts with
	int measurements_ = 0;
};

} // namespace qxiic
