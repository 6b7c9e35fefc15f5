// The i2c-dev back end against the fake kernel: the i2c_msg array of each
// call, the status for each errno, the refusals, and the bus guard.
#include "i2cdev_fixture.h"

#include <linux/i2c.h>

#include <cerrno>
#include <functional>

namespace {

using fake::Msg;

constexpr int W = 0;
constexpr int R = I2C_M_RD;

// One transfer through the C interface, the way the program makes it.
using Transfer = std::function<unsigned short(unsigned char *buf)>;

Transfer SendOf(int device, int subLength, int subAddress, Bytes data)
{
	return [=](unsigned char *) mutable {
		int h = IICInit(device, 20000, 1000);
		SetAddress(h, device);
		unsigned short st = SendSub(h, subLength, subAddress, data.data(),
					    static_cast<int>(data.size()), 0);
		IICClose(h);
		return st;
	};
}

Transfer ReceiveSubOf(int device, int subLength, int subAddress, int count)
{
	return [=](unsigned char *buf) {
		int h = IICInit(device, 20000, 1000);
		unsigned short st = ReceiveSub(h, subLength, subAddress, buf, count, 0);
		IICClose(h);
		return st;
	};
}

Transfer ReceiveOf(int device, int count)
{
	return [=](unsigned char *buf) {
		int h = IICInit(device, 20000, 1000);
		unsigned short st = Receive(h, buf, 0, count);
		IICClose(h);
		return st;
	};
}

Bytes Count(int n, std::uint8_t first)
{
	Bytes b;
	for (int i = 0; i < n; i++)
		b.push_back(static_cast<std::uint8_t>(first + i));
	return b;
}

Bytes Prefixed(std::uint8_t first, const Bytes &rest)
{
	Bytes b(rest.size() + 1);
	b[0] = first;
	std::copy(rest.begin(), rest.end(), b.begin() + 1);
	return b;
}

struct MessageCase {
	const char *name;
	Transfer transfer;
	std::vector<Msg> expected;
};

TEST_F(I2cDevTest, EachCallIsOneTransactionWithTheSevenBitAddress)
{
	const Bytes sixteen = Count(16, 0x40);
	const MessageCase cases[] = {
		{ "register write",
		  SendOf(0xBA, 2, 0x301C, { 0x00, 0x05 }),
		  { { 0x5D, W, 4, { 0x30, 0x1C, 0x00, 0x05 } } } },
		{ "EEPROM page write",
		  SendOf(0xA6, 1, 0x10, sixteen),
		  { { 0x53, W, 17, Prefixed(0x10, sixteen) } } },
		{ "counter set, no data", SendOf(0xA0, 1, 0x20, {}), { { 0x50, W, 1, { 0x20 } } } },
		{ "register read",
		  ReceiveSubOf(0xBB, 2, 0x3012, 2),
		  { { 0x5D, W, 2, { 0x30, 0x12 } }, { 0x5D, R, 2, { 0x40, 0x41 } } } },
		{ "EEPROM read with the write form",
		  ReceiveSubOf(0xA0, 1, 0x00, 16),
		  { { 0x50, W, 1, { 0x00 } }, { 0x50, R, 16, sixteen } } },
		{ "last EEPROM page",
		  ReceiveSubOf(0xAF, 1, 0xFF, 1),
		  { { 0x57, W, 1, { 0xFF } }, { 0x57, R, 1, { 0x40 } } } },
		{ "plain read", ReceiveOf(0xA1, 16), { { 0x50, R, 16, sixteen } } },
		{ "plain read, write form", ReceiveOf(0xBA, 2), { { 0x5D, R, 2, { 0x40, 0x41 } } } },
		{ "empty plain read", ReceiveOf(0xA0, 0), { { 0x50, R, 0, {} } } },
	};
	for (const MessageCase &c : cases) {
		SCOPED_TRACE(c.name);
		kernel().transactions.clear();
		kernel().calls.clear();
		kernel().device = sixteen;
		unsigned char buf[16] = {};
		EXPECT_EQ(c.transfer(buf), QXIIC_OK);
		ASSERT_EQ(kernel().transactions.size(), 1u);
		EXPECT_EQ(kernel().transactions[0], c.expected);
		EXPECT_EQ(kernel().calls, (std::vector<std::string>{ "open /dev/i2c-5", "ioctl I2C_FUNCS",
								     "ioctl I2C_RDWR", "close" }));
		const Msg &last = c.expected.back();
		if (last.flags == R) {
			EXPECT_EQ(Bytes(buf, buf + last.len), last.bytes) << "delivered to the caller";
		}
	}
}

// SetAddress picks the device of the write; bit 0 never sets the direction.
TEST_F(I2cDevTest, SetAddressRedirectsTheWrite)
{
	int h = IICInit(0xA0, 20000, 1000);
	unsigned char value[2] = { 0x00, 0x07 };
	SetAddress(h, 0xBB);
	EXPECT_EQ(SendSub(h, 2, 0x3012, value, 2, 0), QXIIC_OK);
	IICClose(h);
	ASSERT_EQ(Transactions(), 1);
	EXPECT_EQ(kernel().transactions[0], (std::vector<Msg>{ { 0x5D, W, 4, { 0x30, 0x12, 0x00, 0x07 } } }));
}

TEST_F(I2cDevTest, TransferErrnoGivesTheAdaptersStatus)
{
	const struct {
		int err;
		unsigned short status;
	} cases[] = {
		{ ENXIO, 14 }, { EREMOTEIO, 14 }, { ETIMEDOUT, 4 }, { EBUSY, 6 },
		{ EAGAIN, 3 }, { ENODEV, 22 },    { ENOENT, 22 },   { EOPNOTSUPP, 10 },
		{ EIO, 1 },    { EPROTO, 1 },     { EINVAL, 1 },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.err);
		kernel().rdwrErrno = c.err;
		unsigned char buf[2] = { 0x5A, 0x5A };
		EXPECT_EQ(SendOf(0xBA, 2, 0x3012, { 0, 1 })(buf), c.status);
		EXPECT_EQ(ReceiveSubOf(0xBA, 2, 0x3012, 2)(buf), c.status);
		EXPECT_EQ(ReceiveOf(0xA0, 2)(buf), c.status);
		EXPECT_EQ(buf[0], 0x5A) << "a failed read leaves the buffer alone";
	}
}

TEST_F(I2cDevTest, DriverStoppingShortIsNoSuccess)
{
	kernel().rdwrReturn = 1;
	unsigned char buf[2] = { 0x5A, 0x5A };
	EXPECT_EQ(ReceiveSubOf(0xBA, 2, 0x3012, 2)(buf), 1);
	EXPECT_EQ(buf[0], 0x5A);
}

// A bus that cannot be opened still gives a handle; its transfers fail
// with the cause and nothing reaches the node.
TEST_F(I2cDevTest, OpenFailureComesBackFromEveryTransfer)
{
	const struct {
		const char *name;
		int openErrno;
		int funcsErrno;
		unsigned long funcs;
		unsigned short status;
		std::vector<std::string> calls;
	} cases[] = {
		{ "no such node", ENOENT, 0, 1, 22, { "open /dev/i2c-5" } },
		{ "adapter gone", ENODEV, 0, 1, 22, { "open /dev/i2c-5" } },
		{ "not allowed", EACCES, 0, 1, 7, { "open /dev/i2c-5" } },
		{ "not allowed (EPERM)", EPERM, 0, 1, 7, { "open /dev/i2c-5" } },
		{ "no I2C_FUNCS", 0, ENOTTY, 1, 1, { "open /dev/i2c-5", "ioctl I2C_FUNCS", "close" } },
		{ "SMBus-only adapter",
		  0,
		  0,
		  0x0eff0008,
		  10,
		  { "open /dev/i2c-5", "ioctl I2C_FUNCS", "close" } },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.name);
		kernel().calls.clear();
		kernel().openErrno = c.openErrno;
		kernel().funcsErrno = c.funcsErrno;
		kernel().funcs = c.funcs;
		int h = IICInit(0xBA, 20000, 1000);
		EXPECT_GT(h, 0);
		EXPECT_EQ(SetAddress(h, 0xBA), QXIIC_OK);
		unsigned char buf[2] = { 0x5A, 0x5A };
		EXPECT_EQ(SendSub(h, 2, 0x3012, buf, 2, 0), c.status);
		EXPECT_EQ(ReceiveSub(h, 2, 0x3012, buf, 2, 0), c.status);
		EXPECT_EQ(Receive(h, buf, 0, 2), c.status);
		EXPECT_EQ(IICClose(h), 0);
		EXPECT_EQ(buf[0], 0x5A);
		EXPECT_EQ(kernel().calls, c.calls);
		EXPECT_EQ(Transactions(), 0);
	}
}

// What a real bus would turn into damage is refused before the bus is
// touched; the first legal value on each side goes through.
TEST_F(I2cDevTest, DangerousRequestsAreRefusedUnsent)
{
	const struct {
		const char *name;
		Transfer transfer;
		unsigned short status;
	} cases[] = {
		{ "general call", SendOf(0x00, 1, 0, { 1 }), 2 },
		{ "reserved 0x07", SendOf(0x0F, 1, 0, { 1 }), 2 },
		{ "first free 0x08", SendOf(0x10, 1, 0, { 1 }), 0 },
		{ "last free 0x77", ReceiveSubOf(0xEF, 1, 0, 1), 0 },
		{ "10-bit prefix 0x78", ReceiveSubOf(0xF0, 1, 0, 1), 2 },
		{ "reserved 0x7F", ReceiveOf(0xFF, 1), 2 },
		{ "beyond 8 bits", SendOf(0x1BA, 2, 0x3012, { 0, 1 }), 14 },
		{ "negative device", ReceiveOf(-2, 1), 14 },
		{ "one-byte sub-address 0x100", SendOf(0xA0, 1, 0x100, { 1 }), 2 },
		{ "one-byte sub-address 0xFF", SendOf(0xA0, 1, 0xFF, { 1 }), 0 },
		{ "two-byte sub-address 0x10000", ReceiveSubOf(0xBA, 2, 0x10000, 2), 2 },
		{ "sub-address length 0", SendOf(0xA0, 0, 0, { 1 }), 2 },
		{ "sub-address length 3", ReceiveSubOf(0xBA, 3, 0x3012, 2), 2 },
		{ "256 bytes", SendOf(0xA0, 1, 0, Bytes(256, 0)), 33 },
		{ "255 bytes", SendOf(0xA0, 1, 0, Bytes(255, 0)), 0 },
		{ "negative count", ReceiveOf(0xA0, -1), 33 },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.name);
		kernel().transactions.clear();
		unsigned char buf[256] = {};
		EXPECT_EQ(c.transfer(buf), c.status);
		EXPECT_EQ(Transactions(), c.status == QXIIC_OK ? 1 : 0);
	}
}

// A CP2112 takes every shape the camera needs; an adapter without a
// repeated start cannot read a register and says so.
TEST_F(I2cDevTest, AdapterQuirks)
{
	unsigned char buf[16];
	kernel().adapter = fake::Adapter::Cp2112;
	EXPECT_EQ(SendOf(0xBA, 2, 0x301C, { 0x00, 0x05 })(buf), QXIIC_OK);
	EXPECT_EQ(ReceiveSubOf(0xBB, 2, 0x3012, 2)(buf), QXIIC_OK);
	EXPECT_EQ(ReceiveOf(0xA0, 16)(buf), QXIIC_OK);
	EXPECT_EQ(Transactions(), 3);

	kernel().adapter = fake::Adapter::NoRepeatedStart;
	EXPECT_EQ(ReceiveSubOf(0xBB, 2, 0x3012, 2)(buf), QXIIC_UNKNOWN_COMMAND);
	EXPECT_EQ(SendOf(0xBA, 2, 0x301C, { 0x00, 0x05 })(buf), QXIIC_OK);
	EXPECT_EQ(Transactions(), 4);
}

// Nothing stays open between transfers, and a closed handle is dead.
TEST_F(I2cDevTest, CloseReleasesTheBus)
{
	int h = IICInit(0xBA, 20000, 1000);
	EXPECT_EQ(kernel().openFds, 1);
	EXPECT_EQ(IICClose(h), 0);
	EXPECT_EQ(kernel().openFds, 0);
	unsigned char buf[2] = { 0, 1 };
	EXPECT_EQ(SendSub(h, 2, 0x3012, buf, 2, 0), QXIIC_INIT_ERROR);
	EXPECT_EQ(Transactions(), 0);

	h = IICInit(0xBA, 20000, 1000);
	qxiic::sim::Reset();
	EXPECT_EQ(kernel().openFds, 0) << "a reset closes what was left open";
}

} // namespace
