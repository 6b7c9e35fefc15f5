// The Linux i2c-dev back end: QXIIC_BUS=/dev/i2c-N, any USB-to-I2C
// adapter with a kernel driver.
//
// Every transfer is one I2C_RDWR ioctl, so the kernel runs the whole
// transaction (start, repeated start, stop) and no other user of the bus
// gets in between. It also needs no I2C_SLAVE, which refuses an address
// that a kernel driver has claimed. The 7-bit address is device >> 1; the
// direction comes from the call, never from bit 0 of the device, because
// the program reads the EEPROM with the write form of its address.
//
// The bus is opened by IICInit and closed by IICClose: nothing stays
// open between transfers, so a replugged adapter is simply found again.
// Which buses may be opened at all is bus_guard.h's business.
#include "backend.h"
#include "bus_guard.h"
#include "errno_status.h"
#include "qxiic.h"
#include "sys_calls.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/sysmacros.h>

namespace qxiic {
namespace {

constexpr int kMaxSubLength = 2;
constexpr int kMaxCount = 255;

std::uint16_t Address(int device)
{
	return static_cast<std::uint16_t>(device >> 1);
}

// Returns the number of sub-address bytes, high byte first.
int PutSubAddress(std::uint8_t *out, int subLength, int subAddress)
{
	if (subLength == 2)
		*out++ = static_cast<std::uint8_t>(subAddress >> 8);
	*out = static_cast<std::uint8_t>(subAddress & 0xFF);
	return subLength;
}

i2c_msg Message(int device, std::uint16_t flags, int length, std::uint8_t *buf)
{
	i2c_msg m;
	m.addr = Address(device);
	m.flags = flags;
	m.len = static_cast<std::uint16_t>(length);
	m.buf = buf;
	return m;
}

class I2cDevBackend : public Backend
{
public:
	explicit I2cDevBackend(int fd) : fd_(fd) {}
	I2cDevBackend(const I2cDevBackend &) = delete;
	I2cDevBackend &operator=(const I2cDevBackend &) = delete;
	~I2cDevBackend() override { sys::Calls().close(fd_); }

	// One write message: the sub-address, then the data.
	unsigned short sendSub(int device, int subLength, int subAddress, const std::uint8_t *data,
			       int count) override
	{
		std::uint8_t buf[kMaxSubLength + kMaxCount];
		int n = PutSubAddress(buf, subLength, subAddress);
		if (count > 0)
			std::memcpy(buf + n, data, static_cast<std::size_t>(count));
		i2c_msg msg = Message(device, 0, n + count, buf);
		return transfer(&msg, 1);
	}

	// Write of the sub-address, repeated start, read; one stop.
	unsigned short receiveSub(int device, int subLength, int subAddress, std::uint8_t *data,
				  int count) override
	{
		std::uint8_t sub[kMaxSubLength];
		int n = PutSubAddress(sub, subLength, subAddress);
		i2c_msg msgs[2] = { Message(device, 0, n, sub), Message(device, I2C_M_RD, count, data) };
		return transfer(msgs, 2);
	}

	// One read message: the device goes on from its own address counter.
	unsigned short receive(int device, std::uint8_t *data, int count) override
	{
		i2c_msg msg = Message(device, I2C_M_RD, count, data);
		return transfer(&msg, 1);
	}

private:
	unsigned short transfer(i2c_msg *msgs, int count)
	{
		detail_.clear();
		i2c_rdwr_ioctl_data rdwr;
		rdwr.msgs = msgs;
		rdwr.nmsgs = static_cast<std::uint32_t>(count);
		int ret = sys::Calls().ioctl(fd_, I2C_RDWR, &rdwr);
		if (ret == count)
			return QXIIC_OK;
		if (ret < 0) {
			int err = errno;
			detail_ = "I2C_RDWR: " + ErrnoText(err);
			return StatusForTransferErrno(err);
		}
		// A driver that stops short without an error code: the rest of
		// the transaction never happened, which is no success.
		detail_ = "I2C_RDWR: " + std::to_string(ret) + " of " + std::to_string(count) +
			  " messages done";
		return QXIIC_GENERAL_ERROR;
	}

	int fd_;
};

// Plain I2C (I2C_FUNC_I2C) is what I2C_RDWR needs; an SMBus-only
// adapter cannot do the camera's transfers.
Opened CheckFunctions(int fd)
{
	unsigned long funcs = 0;
	if (sys::Calls().ioctl(fd, I2C_FUNCS, &funcs) < 0) {
		int err = errno;
		return Failed(StatusForTransferErrno(err), "I2C_FUNCS: " + ErrnoText(err));
	}
	if ((funcs & I2C_FUNC_I2C) == 0)
		return Failed(QXIIC_UNKNOWN_COMMAND,
			      "the adapter cannot do plain I2C transfers (no I2C_FUNC_I2C)");
	return {};
}

} // namespace

// The node is checked before it is opened, so that a path to some other
// device never gets an i2c ioctl, and again on the descriptor, so that a
// node swapped in between is not used either. Opening the node itself
// sends nothing on the bus.
Opened OpenI2cDevNode(const std::string &path, const AdapterInfo &adapter, const struct stat &checked)
{
	const sys::SystemCalls &calls = sys::Calls();
	int fd = calls.open(path.c_str(), O_RDWR | O_CLOEXEC);
	if (fd < 0) {
		int err = errno;
		return Failed(StatusForOpenErrno(err), "open " + path + ": " + ErrnoText(err), err);
	}
	struct stat st;
	if (calls.fstat(fd, &st) < 0 || !NotAnI2cDevNode(path, st).empty() || !SameNode(checked, st)) {
		calls.close(fd);
		return Failed(QXIIC_INIT_ERROR,
			      "refusing " + path +
				      ": the opened node is not the i2c-dev bus that was checked");
	}
	if (Opened bad = CheckFunctions(fd); bad.status != QXIIC_OK) {
		calls.close(fd);
		bad.detail = path + ": " + bad.detail;
		return bad;
	}
	Opened o;
	o.backend = std::make_unique<I2cDevBackend>(fd);
	o.title = BusTitle(path, adapter);
	o.node = path;
	return o;
}

// The adapter number comes from the node itself, so a udev symlink such
// as /dev/kl310 is judged by the bus it leads to.
Opened OpenI2cDev(const std::string &path)
{
	struct stat st;
	if (sys::Calls().stat(path.c_str(), &st) < 0) {
		int err = errno;
		return Failed(StatusForOpenErrno(err), "open " + path + ": " + ErrnoText(err), err);
	}
	if (std::string notBus = NotAnI2cDevNode(path, st); !notBus.empty())
		return Failed(QXIIC_INIT_ERROR, notBus);
	AdapterInfo adapter = DescribeNode(st);
	if (std::string refusal = RefuseAdapter(path, adapter); !refusal.empty())
		return Failed(QXIIC_INIT_ERROR, refusal);
	return OpenI2cDevNode(path, adapter, st);
}

// One read of the sensor's first read-back register.
bool CameraAnswers(Backend &backend)
{
	std::uint8_t value[kProbeCount];
	return backend.receiveSub(kCameraSensor, kProbeSubLength, kProbeRegister, value, kProbeCount) ==
	       QXIIC_OK;
}

} // namespace qxiic
