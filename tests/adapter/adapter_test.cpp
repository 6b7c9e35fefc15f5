#include "adapter_fixture.h"

#include <optional>
#include <string>

namespace sim = qxiic::sim;

namespace {

class CallsTest : public AdapterTest
{
};

TEST_F(CallsTest, HandlesOpenSelectAndClose)
{
	int a = IICInit(0xA0, 20000, 1000);
	int b = IICInit(0xA0, 20000, 1000);
	ASSERT_GT(a, 0);
	ASSERT_GT(b, 0);
	EXPECT_NE(a, b);

	// SetAddress redirects the write to the sensor.
	unsigned char value[2] = { 0x01, 0x03 };
	EXPECT_EQ(SetAddress(b, 0xBA), QXIIC_OK);
	EXPECT_EQ(SendSub(b, 2, 0x301C, value, 2, 0), QXIIC_OK);
	EXPECT_EQ(sim::Register(0x301C), 0x0103);

	EXPECT_EQ(IICClose(b), 0);
	EXPECT_EQ(IICClose(b), -1);
	EXPECT_EQ(SendSub(b, 2, 0x301C, value, 2, 0), QXIIC_INIT_ERROR);
	EXPECT_EQ(ReceiveSub(b, 2, 0x301C, value, 2, 0), QXIIC_INIT_ERROR);
	EXPECT_EQ(Receive(b, value, 0, 2), QXIIC_INIT_ERROR);
	EXPECT_EQ(SetAddress(b, 0xBA), QXIIC_INIT_ERROR);
	EXPECT_EQ(Receive(0, value, 0, 2), QXIIC_INIT_ERROR);
	EXPECT_EQ(IICClose(a), 0);
}

TEST_F(CallsTest, FullHandleTableRefusesAnotherOpen)
{
	std::vector<int> open;
	for (int h = IICInit(0xBA, 20000, 1000); h > 0; h = IICInit(0xBA, 20000, 1000)) {
		open.push_back(h);
		ASSERT_LT(open.size(), 1000u) << "handles never run out";
	}
	unsigned char b[2];
	EXPECT_EQ(ReceiveSub(-1, 2, 0x3012, b, 2, 0), QXIIC_INIT_ERROR);
	EXPECT_EQ(IICClose(open.back()), 0);
	EXPECT_EQ(IICInit(0xBA, 20000, 1000), open.back());
}

// A refused call leaves the device alone: no write, no counter move.
TEST_F(CallsTest, BadArgumentsNeverReachTheDevice)
{
	int h = IICInit(0xA0, 20000, 1000);
	unsigned char b[2] = { 0x5A, 0x5A };
	EXPECT_EQ(SendSub(h, 1, 0x10, b, 1, 1), QXIIC_UNKNOWN_COMMAND);
	EXPECT_EQ(Receive(h, b, 4, 1), QXIIC_UNKNOWN_COMMAND);
	EXPECT_EQ(SendSub(h, 0, 0x10, b, 1, 0), QXIIC_ILLEGAL_BIT);
	EXPECT_EQ(SendSub(h, 3, 0x10, b, 1, 0), QXIIC_ILLEGAL_BIT);
	EXPECT_EQ(SendSub(h, 1, 0x110, b, 1, 0), QXIIC_ILLEGAL_BIT); // would wrap to 0x10
	EXPECT_EQ(SendSub(h, 1, -1, b, 1, 0), QXIIC_ILLEGAL_BIT);
	EXPECT_EQ(ReceiveSub(h, 2, 0x10000, b, 2, 0), QXIIC_ILLEGAL_BIT);
	EXPECT_EQ(SendSub(h, 1, 0x10, b, -1, 0), QXIIC_DATA_OVERFLOW);
	EXPECT_EQ(SendSub(h, 1, 0x10, b, 256, 0), QXIIC_DATA_OVERFLOW);
	EXPECT_EQ(SendSub(h, 1, 0x10, nullptr, 1, 0), QXIIC_DATA_OVERFLOW);
	EXPECT_EQ(ReceiveSub(h, 1, 0x10, nullptr, 1, 0), QXIIC_DATA_OVERFLOW);
	EXPECT_EQ(Receive(h, b, 0, 256), QXIIC_DATA_OVERFLOW);
	EXPECT_EQ(sim::EepromByte(0x10), 0xFF);
	EXPECT_EQ(sim::EepromAddressCounter(), 0);

	// A zero-length transfer needs no buffer, and no write cycle followed.
	EXPECT_EQ(SendSub(h, 1, 0x20, nullptr, 0, 0), QXIIC_OK);
	EXPECT_EQ(Receive(h, b, 0, 1), QXIIC_OK);
	EXPECT_EQ(sim::EepromAddressCounter(), 0x21);
	IICClose(h);
}

TEST_F(CallsTest, UnknownOrUnpluggedDevicesDoNotAcknowledge)
{
	unsigned short st = 0;
	EXPECT_EQ(Send(0x42, 1, 0, { 1 }), QXIIC_NACK);
	Fetch(0xB0, 1, 0, 1, &st);
	EXPECT_EQ(st, QXIIC_NACK);
	FetchOn(0x1BA, 2, &st);
	EXPECT_EQ(st, QXIIC_NACK);

	sim::SetPlugged(false);
	EXPECT_EQ(WriteRegister(0x3012, 0x0001), QXIIC_NACK);
	EXPECT_EQ(Send(0xA0, 1, 0, { 1 }), QXIIC_NACK);
	Fetch(0xA8, 1, 0, 1, &st);
	EXPECT_EQ(st, QXIIC_NACK);
	FetchOn(0xBA, 2, &st);
	EXPECT_EQ(st, QXIIC_NACK);
	EXPECT_EQ(sim::Register(0x3012), 0x00A6);
	EXPECT_EQ(sim::EepromByte(0), 'K');

	sim::SetPlugged(true);
	EXPECT_EQ(ReadRegister(0x3012), 0x00A6);
}

TEST_F(CallsTest, FaultSkipsThenFailsGivenTimesWithoutTouchingDevice)
{
	sim::Fault f;
	f.call = sim::Call::SendSub;
	f.device = 0xBA;
	f.subAddress = 0x3012;
	f.status = QXIIC_TIMEOUT;
	f.skip = 1;
	f.times = 2;
	sim::AddFault(f);

	EXPECT_EQ(WriteRegister(0x3012, 0x0001), QXIIC_OK);
	EXPECT_EQ(WriteRegister(0x3012, 0x0002), QXIIC_TIMEOUT);
	EXPECT_EQ(WriteRegister(0x3014, 0x0002), QXIIC_OK); // other register
	EXPECT_EQ(ReadRegister(0x3012), 0x0001);            // other call
	EXPECT_EQ(WriteRegister(0x3012, 0x0003), QXIIC_TIMEOUT);
	EXPECT_EQ(sim::Register(0x3012), 0x0001);
	EXPECT_EQ(sim::RegisterWrites(0x3012), 1);
	EXPECT_EQ(WriteRegister(0x3012, 0x0004), QXIIC_OK);
	EXPECT_EQ(sim::Register(0x3012), 0x0004);
}

TEST_F(CallsTest, EndlessFaultKeepsEepromCounterAndBufferUntilCleared)
{
	sim::Fault f;
	f.device = 0xA8;
	f.status = QXIIC_ARBITRATION;
	f.times = -1;
	sim::AddFault(f);

	int h = IICInit(0xA8, 20000, 1000);
	unsigned char b[2] = { 0x5A, 0x5A };
	for (int i = 0; i < 3; i++)
		EXPECT_EQ(ReceiveSub(h, 1, 0x40, b, 2, 0), QXIIC_ARBITRATION);
	EXPECT_EQ(Receive(h, b, 0, 2), QXIIC_ARBITRATION);
	EXPECT_EQ(ReadRegister(0x3012), 0x00A6); // other device
	EXPECT_EQ(b[0], 0x5A);
	EXPECT_EQ(b[1], 0x5A);
	EXPECT_EQ(sim::EepromAddressCounter(), 0);

	sim::ClearFaults();
	EXPECT_EQ(ReceiveSub(h, 1, 0x00, b, 2, 0), QXIIC_OK);
	EXPECT_EQ(b[0], 0x14);
	IICClose(h);
}

// Restores QXIIC_BUS however the test ends.
class BusVariable
{
public:
	explicit BusVariable(const char *value)
	{
		if (const char *old = std::getenv("QXIIC_BUS"))
			saved_ = old;
		setenv("QXIIC_BUS", value, 1);
	}
	~BusVariable()
	{
		if (saved_)
			setenv("QXIIC_BUS", saved_->c_str(), 1);
		else
			unsetenv("QXIIC_BUS");
	}

private:
	std::optional<std::string> saved_;
};

TEST_F(CallsTest, UnknownBusFindsNoAdapter)
{
	{
		BusVariable bus("bogus");
		unsigned short st = 0;
		EXPECT_EQ(WriteRegister(0x3012, 0x0001), QXIIC_DEVICE_NOT_FOUND);
		Fetch(0xA8, 1, 0, 1, &st);
		EXPECT_EQ(st, QXIIC_DEVICE_NOT_FOUND);
		FetchOn(0xA8, 1, &st);
		EXPECT_EQ(st, QXIIC_DEVICE_NOT_FOUND);
		EXPECT_EQ(sim::Register(0x3012), 0x00A6);
	}
	BusVariable bus("sim");
	EXPECT_EQ(WriteRegister(0x3012, 0x0001), QXIIC_OK);
}

TEST_F(CallsTest, TraceRecordsEveryCallAsReceived)
{
	sim::AdvanceClock(1500);
	int h = IICInit(0xA0, 20000, 1000);
	SetAddress(h, 0xBA);
	unsigned char out[2] = { 0x00, 0x07 };
	SendSub(h, 2, 0x3012, out, 2, 0);
	sim::AdvanceClock(250);
	unsigned char in[2];
	ReceiveSub(h, 2, 0x3012, in, 2, 0);
	sim::SetPlugged(false);
	Receive(h, in, 0, 2);
	IICClose(h);

	std::vector<sim::TraceEntry> t = sim::Trace();
	std::string listing;
	for (const sim::TraceEntry &e : t)
		listing += sim::Describe(e) + "\n";
	SCOPED_TRACE(listing);
	ASSERT_EQ(t.size(), 6u);

	EXPECT_EQ(t[0].call, sim::Call::Init);
	EXPECT_EQ(t[0].handle, h);
	EXPECT_EQ(t[0].device, 0xA0);
	EXPECT_EQ(t[0].param1, 20000);
	EXPECT_EQ(t[0].param2, 1000);
	EXPECT_EQ(t[0].timeUs, t[2].timeUs);

	EXPECT_EQ(t[1].call, sim::Call::SetAddress);
	EXPECT_EQ(t[1].device, 0xBA);

	EXPECT_EQ(t[2].call, sim::Call::SendSub);
	EXPECT_EQ(t[2].device, 0xBA);
	EXPECT_EQ(t[2].subLength, 2);
	EXPECT_EQ(t[2].subAddress, 0x3012);
	EXPECT_EQ(t[2].count, 2);
	EXPECT_EQ(t[2].data, (Bytes{ 0x00, 0x07 }));
	EXPECT_EQ(t[2].status, QXIIC_OK);

	EXPECT_EQ(t[3].call, sim::Call::ReceiveSub);
	EXPECT_EQ(t[3].data, (Bytes{ 0x00, 0x07 }));
	EXPECT_EQ(t[3].timeUs, t[2].timeUs + 250);

	EXPECT_EQ(t[4].call, sim::Call::Receive);
	EXPECT_EQ(t[4].count, 2);
	EXPECT_EQ(t[4].status, QXIIC_NACK);
	EXPECT_TRUE(t[4].data.empty());

	EXPECT_EQ(t[5].call, sim::Call::Close);
	EXPECT_EQ(t[5].handle, h);

	sim::ClearTrace();
	EXPECT_TRUE(sim::Trace().empty());
}

} // namespace
