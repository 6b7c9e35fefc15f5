// Shared set-up for the adapter tests: a factory-fresh simulator on a
// frozen clock, and transfers made the way the control panel makes them
// (open, one transfer, close) through the C interface.
#pragma once

#include "qxiic.h"
#include "qxiic_sim.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

class AdapterTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		// Whatever the shell exported, these tests talk to the simulator, which
		// keeps nothing between runs.
		setenv("QXIIC_BUS", "sim", 1);
		setenv("QXIIC_SIM_DIR", "", 1);
		qxiic::sim::Reset();
		qxiic::sim::UseManualClock(true);
	}
};

inline unsigned short Send(int device, int subLength, int subAddress, Bytes data)
{
	int h = IICInit(device, 20000, 1000);
	unsigned short st = SendSub(h, subLength, subAddress, data.data(), static_cast<int>(data.size()), 0);
	IICClose(h);
	return st;
}

// The bytes read, or the failure status in *status with an empty result.
inline Bytes Fetch(int device, int subLength, int subAddress, int count, unsigned short *status = nullptr)
{
	Bytes out(static_cast<std::size_t>(count));
	int h = IICInit(device, 20000, 1000);
	unsigned short st = ReceiveSub(h, subLength, subAddress, out.data(), count, 0);
	IICClose(h);
	if (status != nullptr)
		*status = st;
	return st == QXIIC_OK ? out : Bytes{};
}

inline Bytes FetchOn(int device, int count, unsigned short *status = nullptr)
{
	Bytes out(static_cast<std::size_t>(count));
	int h = IICInit(device, 20000, 1000);
	unsigned short st = Receive(h, out.data(), 0, count);
	IICClose(h);
	if (status != nullptr)
		*status = st;
	return st == QXIIC_OK ? out : Bytes{};
}

inline std::uint16_t ReadRegister(std::uint16_t reg)
{
	Bytes b = Fetch(0xBA, 2, reg, 2);
	EXPECT_EQ(b.size(), 2u) << "reading register " << reg;
	return b.size() == 2 ? static_cast<std::uint16_t>(b[0] << 8 | b[1]) : 0;
}

inline unsigned short WriteRegister(std::uint16_t reg, std::uint16_t value)
{
	return Send(0xBA, 2, reg,
		    { static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value) });
}
