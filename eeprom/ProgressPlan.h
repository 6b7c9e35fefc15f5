// How far an EEPROM operation has come, by the time its transfers are
// expected to take rather than by their number. A block write carries the
// EEPROM's write cycle (20 ms) and a read does not: counted alike, the 128
// block writes of a whole EEPROM would be 6 % of the bar and 57 % of the
// time. The pacing policy tells the pause after each write.
#pragma once

#include <cstdint>
#include <vector>

namespace eeprom {

class Pacing;

class ProgressPlan
{
public:
	// One transfer on the bus: a USB full-speed adapter answers once per
	// 1 ms frame.
	static constexpr std::int64_t kTransferUs = 1000;

	// The parts of the operation in the order they run: transfers each
	// followed by pauseUs, the first of them after leadUs (a pause or
	// transfers between two parts that do not step the bar).
	ProgressPlan &Add(int transfers, std::int64_t pauseUs, std::int64_t leadUs = 0);
	ProgressPlan &Writes(int transfers, const Pacing &pacing, std::int64_t leadUs = 0);
	ProgressPlan &Reads(int transfers) { return Add(transfers, 0); }

	int Transfers() const;
	// Time expected until the first `done` transfers are over.
	std::int64_t ExpectedUs(int done) const;
	// Where a bar of 0..range stands after `done` transfers.
	int Position(int done, int range) const;

private:
	struct Part {
		int transfers;
		std::int64_t eachUs;
		std::int64_t leadUs;
	};
	std::vector<Part> m_parts;
};

} // namespace eeprom
