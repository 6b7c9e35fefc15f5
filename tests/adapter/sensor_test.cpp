#include "adapter_fixture.h"

#include <array>

namespace sim = qxiic::sim;

namespace {

class SensorTest : public AdapterTest
{
};

constexpr std::array<std::uint16_t, 24> kWbSnapshot = {
	0xAC0A, 0xAC0C, 0xAC0E, 0xAC10, 0xAC12, 0xAC14, 0xAC16, 0xAC18, 0xAC1A, 0xAC1C, 0xAC1E, 0xAC32,
	0xAC36, 0xAC38, 0xAC3A, 0xAC3C, 0xAC3E, 0xAC40, 0xAC42, 0xAC44, 0xAC46, 0xAC48, 0xAC4A, 0xAC4C,
};

std::vector<std::uint16_t> Snapshot()
{
	std::vector<std::uint16_t> values;
	for (std::uint16_t reg : kWbSnapshot)
		values.push_back(sim::Register(reg));
	return values;
}

TEST_F(SensorTest, ValuesTravelHighByteFirstBothWays)
{
	ASSERT_EQ(Send(0xBA, 2, 0x3012, { 0x12, 0x34 }), QXIIC_OK);
	EXPECT_EQ(sim::Register(0x3012), 0x1234);
	EXPECT_EQ(sim::RegisterWrites(0x3012), 1);

	sim::SetRegister(0x326C, 0xABCD);
	EXPECT_EQ(Fetch(0xBA, 2, 0x326C, 2), (Bytes{ 0xAB, 0xCD }));
	// The read form of the address reaches the same sensor.
	EXPECT_EQ(Fetch(0xBB, 2, 0x326C, 2), (Bytes{ 0xAB, 0xCD }));
}

TEST_F(SensorTest, BurstsStepByOneRegisterAndPlainReadContinues)
{
	ASSERT_EQ(Send(0xBA, 2, 0x4F08, { 0x00, 0x11, 0x00, 0x22 }), QXIIC_OK);
	EXPECT_EQ(sim::Register(0x4F08), 0x0011);
	EXPECT_EQ(sim::Register(0x4F0A), 0x0022);
	EXPECT_EQ(sim::Register(0x4F09), 0);

	int h = IICInit(0xBA, 20000, 1000);
	Bytes first(4), next(2);
	ASSERT_EQ(ReceiveSub(h, 2, 0x4F0A, first.data(), 4, 0), QXIIC_OK);
	ASSERT_EQ(Receive(h, next.data(), 0, 2), QXIIC_OK);
	IICClose(h);
	EXPECT_EQ(first, (Bytes{ 0x00, 0x22, 0x80, 0x02 }));
	EXPECT_EQ(next, (Bytes{ 0x00, 0x03 })); // 0x4F0E, untouched start value
}

// Half a register is a protocol error, never a half-written value.
TEST_F(SensorTest, OddCountsAndShortSubAddressesAreRefused)
{
	EXPECT_EQ(Send(0xBA, 2, 0x3012, { 0x12, 0x34, 0x56 }), QXIIC_BAD_ACK);
	EXPECT_EQ(sim::Register(0x3012), 0x00A6);
	EXPECT_EQ(sim::RegisterWrites(0x3012), 0);
	EXPECT_EQ(sim::RegisterWrites(0x3014), 0);

	unsigned short st = 0;
	EXPECT_TRUE(Fetch(0xBA, 2, 0x3012, 3, &st).empty());
	EXPECT_EQ(st, QXIIC_BAD_ACK);
	EXPECT_EQ(Send(0xBA, 1, 0x12, { 0x00, 0x01 }), QXIIC_BAD_ACK);
	Fetch(0xBA, 1, 0x12, 2, &st);
	EXPECT_EQ(st, QXIIC_BAD_ACK);
	FetchOn(0xBA, 1, &st);
	EXPECT_EQ(st, QXIIC_BAD_ACK);
}

TEST_F(SensorTest, CommandReadsBusyThreeTimesThenDone)
{
	ASSERT_EQ(WriteRegister(0x0040, 0x8305), QXIIC_OK);
	EXPECT_EQ(ReadRegister(0x0040), 0x8305);
	EXPECT_EQ(ReadRegister(0x0040), 0x8305);
	EXPECT_EQ(ReadRegister(0x0040), 0x8305);
	EXPECT_EQ(ReadRegister(0x0040), 0x0305);
	EXPECT_EQ(ReadRegister(0x0040), 0x0305);

	// A value that is not a command keeps bit 15 however often it is read.
	ASSERT_EQ(WriteRegister(0x0040, 0x9234), QXIIC_OK);
	for (int i = 0; i < 5; i++)
		EXPECT_EQ(ReadRegister(0x0040), 0x9234);

	// A new command restarts the busy period.
	ASSERT_EQ(WriteRegister(0x0040, 0x8304), QXIIC_OK);
	EXPECT_EQ(ReadRegister(0x0040), 0x8304);
}

TEST_F(SensorTest, CommandBusyPeriodCanBeSetOrEndless)
{
	sim::SetCommandBusyReads(-1);
	ASSERT_EQ(WriteRegister(0x0040, 0x8304), QXIIC_OK);
	for (int i = 0; i < 20; i++)
		EXPECT_EQ(ReadRegister(0x0040), 0x8304);

	sim::SetCommandBusyReads(0);
	ASSERT_EQ(WriteRegister(0x0040, 0x8305), QXIIC_OK);
	EXPECT_EQ(ReadRegister(0x0040), 0x0305);

	sim::SetCommandBusyReads(1);
	ASSERT_EQ(WriteRegister(0x0040, 0x8304), QXIIC_OK);
	EXPECT_EQ(ReadRegister(0x0040), 0x8304);
	EXPECT_EQ(ReadRegister(0x0040), 0x0304);

	// Reset brings back the three busy reads.
	sim::Reset();
	ASSERT_EQ(WriteRegister(0x0040, 0x8304), QXIIC_OK);
	for (int i = 0; i < 3; i++)
		EXPECT_EQ(ReadRegister(0x0040), 0x8304);
	EXPECT_EQ(ReadRegister(0x0040), 0x0304);
}

TEST_F(SensorTest, WhiteBalanceMeasuresOnlyInManualMode)
{
	std::vector<std::uint16_t> factory = Snapshot();
	ASSERT_EQ(sim::Register(0xAC04), 0x00FF);
	ASSERT_EQ(WriteRegister(0xAC00, 0x0001), QXIIC_OK);
	EXPECT_EQ(Snapshot(), factory);

	ASSERT_EQ(WriteRegister(0xAC04, 0x0000), QXIIC_OK);
	ASSERT_EQ(WriteRegister(0xAC00, 0x0001), QXIIC_OK);
	std::vector<std::uint16_t> first = Snapshot();
	ASSERT_EQ(WriteRegister(0xAC00, 0x0001), QXIIC_OK);
	std::vector<std::uint16_t> second = Snapshot();

	for (std::size_t i = 0; i < kWbSnapshot.size(); i++) {
		SCOPED_TRACE(kWbSnapshot[i]);
		EXPECT_NE(first[i], factory[i]);
		EXPECT_NE(second[i], first[i]);
		EXPECT_NE(first[i], 0);
	}
	// Gains must stay plausible however often the panel measures.
	for (int i = 0; i < 300; i++) {
		ASSERT_EQ(WriteRegister(0xAC00, 0x0001), QXIIC_OK);
		for (std::uint16_t gain : { sim::Register(0xAC48), sim::Register(0xAC4A) }) {
			ASSERT_GE(gain, 0x20) << "measurement " << i;
			ASSERT_LE(gain, 0xA0) << "measurement " << i;
		}
	}
	second = Snapshot();
	// Writing anything but the trigger value measures nothing.
	ASSERT_EQ(WriteRegister(0xAC00, 0x0002), QXIIC_OK);
	EXPECT_EQ(Snapshot(), second);
}

} // namespace

namespace {

// Only the two command words start a command; any other word written to
// the command register reads back as written, however often it is read,
// and ends a command still running.
TEST_F(SensorTest, CommandRegisterKeepsAnyOtherWordAsWritten)
{
	for (int word : { 0x0000, 0x0304, 0x0305, 0x1234, 0x8000, 0x8303, 0x8306, 0xC304, 0xFFFF }) {
		ASSERT_EQ(WriteRegister(0x0040, 0x8304), QXIIC_OK);
		ASSERT_EQ(WriteRegister(0x0040, static_cast<std::uint16_t>(word)), QXIIC_OK);
		for (int i = 0; i < 5; i++)
			EXPECT_EQ(ReadRegister(0x0040), word) << std::hex << word << " read " << i;
	}
}

} // namespace
