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
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

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

	// True when a transfer touches the library's shared state and must
	// run under its lock; else it runs under its own lock alone.
	virtual bool usesLibraryState() const { return false; }
	std::mutex &mutex() { return mutex_; }

protected:
	std::string detail_;

private:
	std::mutex mutex_;
};

// The result of opening a bus. Without a back end, status says why and
// every transfer on the handle returns it.
struct Opened {
	std::unique_ptr<Backend> backend;
	unsigned short status = 0;
	std::string detail;
	std::string title; // the bus for the user: "simulated camera", "CP2112 ... (/dev/i2c-3)"
	std::string node;  // the bus for the trace: "sim:2", "/dev/i2c-3"
	int osError = 0;   // the errno of a node that could not be opened, else 0
};

Opened Failed(unsigned short status, std::string detail, int osError = 0);

// Opens the bus named by the value of QXIIC_BUS (nullptr = unset: the
// one USB-to-I2C adapter present).
Opened OpenBackend(const char *bus);

// Simulated camera 0..7 (simulator.h).
Opened OpenSim(int camera);

struct AdapterInfo;
// A bus by the path of its node, if bus_guard.h allows it.
Opened OpenI2cDev(const std::string &path);
Opened OpenI2cDevNode(const std::string &path, const AdapterInfo &adapter, const struct stat &checked);

// The camera's sensor and the register read to see whether it answers:
// the first register the panel reads back.
constexpr int kCameraSensor = 0xBA;
constexpr int kProbeRegister = 0x301C;
constexpr int kProbeSubLength = 2;
constexpr int kProbeCount = 2;
bool CameraAnswers(Backend &backend);

// The one USB-to-I2C adapter present, or the one of several on which the
// camera answers; looked for afresh at every call.
Opened OpenFoundAdapter();

} // namespace qxiic
