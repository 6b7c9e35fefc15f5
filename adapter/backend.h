// The seam between the adapter's C calls and whatever carries the bytes.
//
// Each open handle owns one back end, so a back end that needs a file
// descriptor or a USB session can open it in the factory and release it
// in its destructor. Arguments arrive already checked by qxiic.cpp:
// subLength is 1 or 2, subAddress fits it, count is 0..255 and data is
// valid for count bytes.
#pragma once

#include <cstdint>
#include <memory>

namespace qxiic {

class Backend {
public:
	virtual ~Backend() = default;

	virtual unsigned short sendSub(int device, int subLength, int subAddress,
				       const std::uint8_t *data, int count) = 0;
	virtual unsigned short receiveSub(int device, int subLength, int subAddress,
					  std::uint8_t *data, int count) = 0;
	virtual unsigned short receive(int device, std::uint8_t *data, int count) = 0;
};

// Picks the back end named by the value of QXIIC_BUS (nullptr = unset).
std::unique_ptr<Backend> OpenBackend(const char *bus);

std::unique_ptr<Backend> MakeSimBackend();
std::unique_ptr<Backend> MakeAbsentBackend();

} // namespace qxiic
