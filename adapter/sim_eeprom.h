// The KL310's settings EEPROM: 2048 bytes seen as eight 256-byte pages at
// bus addresses 0xA0..0xAE, like a 24C16. One address counter serves all
// pages, which is why a plain read runs on from wherever the last access
// stopped, across page borders.
#pragma once

#include <array>
#include <cstdint>

namespace qxiic {

class SimEeprom
{
public:
	static constexpr int kSize = 2048;
	static constexpr int kPageSize = 256;
	static constexpr int kWritePageSize = 16;

	using Contents = std::array<std::uint8_t, kSize>;

	SimEeprom();

	// Factory content, counter at 0, no write cycle running.
	void reset();

	// Bus transfers. page is 0..7; every one fails with QXIIC_NACK while a
	// write cycle runs, and with QXIIC_BAD_ACK for a 2-byte sub-address.
	unsigned short write(int page, int subLength, int offset, const std::uint8_t *data, int count,
			     std::int64_t nowUs);
	unsigned short read(int page, int subLength, int offset, std::uint8_t *data, int count,
			    std::int64_t nowUs);
	unsigned short readCurrent(std::uint8_t *data, int count, std::int64_t nowUs);

	// Direct access for tests; the address is taken modulo the size, as
	// the chip's 11-bit counter would.
	std::uint8_t byte(int address) const;
	void setByte(int address, std::uint8_t value);
	int counter() const;

	// All 2048 bytes, for keeping them in a file between runs.
	const Contents &contents() const { return mem_; }
	void setContents(const Contents &bytes) { mem_ = bytes; }

private:
	bool inWriteCycle(std::int64_t nowUs) const;
	void readOut(std::uint8_t *data, int count);
	void fillFactoryContent();

	Contents mem_{};
	int counter_ = 0;
	std::int64_t writeDoneUs_ = 0;
};

} // namespace qxiic
