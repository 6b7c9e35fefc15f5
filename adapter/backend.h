// The seam between the adapter's C calls and whatever carries the bytes.
//
// Each open handle owns one back end, so a back end that needs a file
// descriptor can open it in its factory and release it in its destructor.
// Arguments arrive already checked by qxiic.cpp: the device is an 8-bit
// address whose 7-bit form is not reserved, subLength is 1 or 2,
// subAddress fits it, count is 0..255 and data is valid for count bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qxiic {

class Backend
{
public:
	virtual ~Backend() = default;

	virtual unsigned short sendSub(int device, int subLength, int subAddress, const std::uint8_t *data,
				       int count) = 0;
	virtual unsigned short receiveSub(int device, int subLength, int subAddress, std::uint8_t *data,
					  int count) = 0;
	virtual unsigned short receive(int device, std::uint8_t *data, int count) = 0;

	// What went wrong in the last failed transfer, for the trace; empty
	// when the status says it all.
	const std::string &detail() const { return detail_; }

protected:
	std::string detail_;
};

// The result of opening a bus. Without a back end, status says why and
// every transfer on the handle returns it.
struct Opened {
	std::unique_ptr<Backend> backend;
	unsigned short status = 0;
	std::string detail;
};

Opened Failed(unsigned short status, std::string detail);

// Opens the bus named by the value of QXIIC_BUS (nullptr = unset).
Opened OpenBackend(const char *bus);

std::unique_ptr<Backend> MakeSimBackend();
Opened OpenI2cDev(const char *path);

} // namespace qxiic
