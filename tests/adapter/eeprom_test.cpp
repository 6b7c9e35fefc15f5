#include "adapter_fixture.h"

#include <set>

namespace sim = qxiic::sim;

namespace {

class EepromTest : public AdapterTest
{
};

Bytes Stored(int address, int count)
{
	Bytes out;
	for (int i = 0; i < count; i++)
		out.push_back(sim::EepromByte((address + i) % 2048));
	return out;
}

// The control panel depends on this layout at start-up.
TEST_F(EepromTest, FactoryContentHasTrimsTableAndEmptyScript)
{
	EXPECT_EQ(Fetch(0xA8, 1, 0x00, 2), (Bytes{ 0x14, 0x0C }));
	EXPECT_EQ(Fetch(0xA3, 1, 0xFF, 1), (Bytes{ 0xFF }));
	EXPECT_EQ(Stored(0x300, 256), Bytes(256, 0xFF));

	Bytes table = Stored(0x402, 0x652 - 0x402);
	std::set<std::uint8_t> distinct(table.begin(), table.end());
	EXPECT_EQ(distinct.count(0xFF), 0u);
	EXPECT_GT(distinct.size(), 1u);
}

TEST_F(EepromTest, RandomReadThenPlainReadRunsIntoTheNextPage)
{
	int h = IICInit(0xA8, 20000, 1000);
	Bytes tail(8), more(16);
	ASSERT_EQ(ReceiveSub(h, 1, 0xF8, tail.data(), 8, 0), QXIIC_OK);
	ASSERT_EQ(Receive(h, more.data(), 0, 16), QXIIC_OK);
	IICClose(h);
	EXPECT_EQ(tail, Stored(0x4F8, 8));
	EXPECT_EQ(more, Stored(0x500, 16));
	EXPECT_EQ(sim::EepromAddressCounter(), 0x510);

	// The page bits of a plain read's address do not move the counter.
	EXPECT_EQ(FetchOn(0xA0, 4), Stored(0x510, 4));
}

TEST_F(EepromTest, ReadRollsOverFromLastByteToFirst)
{
	sim::SetEepromByte(0x7FE, 0x11);
	sim::SetEepromByte(0x7FF, 0x22);
	EXPECT_EQ(Fetch(0xAE, 1, 0xFE, 4), (Bytes{ 0x11, 0x22, 'K', 'L' }));
	EXPECT_EQ(sim::EepromAddressCounter(), 2);
}

// Bytes past the end of a 16-byte write page land at its start.
TEST_F(EepromTest, WriteWrapsWithinSixteenBytePage)
{
	ASSERT_EQ(Send(0xA6, 1, 0x0E, { 1, 2, 3, 4 }), QXIIC_OK);
	EXPECT_EQ(Stored(0x300, 2), (Bytes{ 3, 4 }));
	EXPECT_EQ(Stored(0x30E, 2), (Bytes{ 1, 2 }));
	EXPECT_EQ(sim::EepromByte(0x310), 0xFF);
	EXPECT_EQ(sim::EepromAddressCounter(), 0x302);
}

TEST_F(EepromTest, WriteCycleRefusesEveryPageUntilItEnds)
{
	ASSERT_EQ(Send(0xA6, 1, 0x00, { 0x42 }), QXIIC_OK);

	unsigned short st = 0;
	Fetch(0xA8, 1, 0x00, 1, &st);
	EXPECT_EQ(st, QXIIC_NACK);
	FetchOn(0xA6, 1, &st);
	EXPECT_EQ(st, QXIIC_NACK);
	EXPECT_EQ(Send(0xA2, 1, 0x10, { 0x99 }), QXIIC_NACK);
	EXPECT_EQ(sim::EepromByte(0x110), 0xFF);
	EXPECT_EQ(sim::EepromAddressCounter(), 0x301);

	sim::AdvanceClock(sim::kEepromWriteCycleUs - 1);
	EXPECT_EQ(Send(0xA2, 1, 0x10, { 0x99 }), QXIIC_NACK);
	sim::AdvanceClock(1);
	EXPECT_EQ(Fetch(0xA6, 1, 0x00, 1), (Bytes{ 0x42 }));
}

// Setting the counter alone is a read preparation, not a write.
TEST_F(EepromTest, AddressOnlyWriteMovesCounterWithoutWriteCycle)
{
	ASSERT_EQ(Send(0xA8, 1, 0x10, {}), QXIIC_OK);
	EXPECT_EQ(FetchOn(0xA9, 2), Stored(0x410, 2));
}

TEST_F(EepromTest, TwoByteSubAddressIsRefused)
{
	unsigned short st = 0;
	Fetch(0xA8, 2, 0x0000, 1, &st);
	EXPECT_EQ(st, QXIIC_BAD_ACK);
	EXPECT_EQ(Send(0xA8, 2, 0x0000, { 0x55 }), QXIIC_BAD_ACK);
	EXPECT_EQ(sim::EepromByte(0x400), 0x14);
}

} // namespace
