#include "sim_eeprom.h"

#include "qxiic.h"
#include "qxiic_sim.h"

#include <cstring>

namespace qxiic {
namespace {

constexpr int kAddressMask = SimEeprom::kSize - 1;

// Page 4 starts with the image trims, then the trim table runs on to
// page 6 byte 81. The table only has to look like calibration data:
// never 0xFF (erased) and never one repeated value.
constexpr int kTrimHorizontal = 4 * SimEeprom::kPageSize;
constexpr int kTrimTableStart = kTrimHorizontal + 2;
constexpr int kTrimTableEnd = 6 * SimEeprom::kPageSize + 82;

std::uint8_t TrimTableByte(int index)
{
	return static_cast<std::uint8_t>(0x70 + (index * 11) % 0x21);
}

} // namespace

SimEeprom::SimEeprom()
{
	reset();
}

void SimEeprom::reset()
{
	fillFactoryContent();
	counter_ = 0;
	writeDoneUs_ = 0;
}

// Everything not listed is erased (0xFF): the settings script page 3 and
// the freeze-gain marker at page 1 byte 0xFF in particular.
void SimEeprom::fillFactoryContent()
{
	mem_.fill(0xFF);

	static const char kIdentification[] = "KL310";
	std::memcpy(mem_.data(), kIdentification, sizeof kIdentification);

	mem_[kTrimHorizontal] = 0x14;
	mem_[kTrimHorizontal + 1] = 0x0C;
	for (int a = kTrimTableStart; a < kTrimTableEnd; a++)
		mem_[a] = TrimTableByte(a - kTrimTableStart);
}

bool SimEeprom::inWriteCycle(std::int64_t nowUs) const
{
	return nowUs < writeDoneUs_;
}

// The counter wraps inside the 16-byte write page: bytes past its end
// overwrite its start, exactly the trap a real 24C16 sets.
unsigned short SimEeprom::write(int page, int subLength, int offset, const std::uint8_t *data, int count,
				std::int64_t nowUs)
{
	if (inWriteCycle(nowUs))
		return QXIIC_NACK;
	if (subLength != 1)
		return QXIIC_BAD_ACK;

	counter_ = (page * kPageSize + offset) & kAddressMask;
	for (int i = 0; i < count; i++) {
		mem_[counter_] = data[i];
		int pageBase = counter_ & ~(kWritePageSize - 1);
		counter_ = pageBase | ((counter_ + 1) & (kWritePageSize - 1));
	}
	if (count > 0)
		writeDoneUs_ = nowUs + sim::kEepromWriteCycleUs;
	return QXIIC_OK;
}

unsigned short SimEeprom::read(int page, int subLength, int offset, std::uint8_t *data, int count,
			       std::int64_t nowUs)
{
	if (inWriteCycle(nowUs))
		return QXIIC_NACK;
	if (subLength != 1)
		return QXIIC_BAD_ACK;

	counter_ = (page * kPageSize + offset) & kAddressMask;
	readOut(data, count);
	return QXIIC_OK;
}

unsigned short SimEeprom::readCurrent(std::uint8_t *data, int count, std::int64_t nowUs)
{
	if (inWriteCycle(nowUs))
		return QXIIC_NACK;
	readOut(data, count);
	return QXIIC_OK;
}

// Reads roll over the whole array, not just the page.
void SimEeprom::readOut(std::uint8_t *data, int count)
{
	for (int i = 0; i < count; i++) {
		data[i] = mem_[counter_];
		counter_ = (counter_ + 1) & kAddressMask;
	}
}

std::uint8_t SimEeprom::byte(int address) const
{
	return mem_[address & kAddressMask];
}

void SimEeprom::setByte(int address, std::uint8_t value)
{
	mem_[address & kAddressMask] = value;
}

int SimEeprom::counter() const
{
	return counter_;
}

} // namespace qxiic
