// Shared set-up for the tests of the i2c-dev back end: QXIIC_BUS names
// /dev/i2c-5, the fake kernel plays that node, and a fake sysfs tree in a
// temporary directory, laid out as the kernel lays it out, shows its
// adapter (a CP2112 on USB unless a test says otherwise).
#pragma once

#include "adapter_fixture.h"
#include "fake_kernel.h"
#include "fake_sysfs.h"

#include <filesystem>
#include <fstream>
#include <string>

class I2cDevTest : public AdapterTest
{
public:
	using On = fake::Bridge;

protected:
	void SetUp() override
	{
		AdapterTest::SetUp();
		unsetenv("QXIIC_ALLOW_SMBUS");
		unsetenv("QXIIC_TRACE");
		char dir[] = "/tmp/qxiic-sysfs-XXXXXX";
		ASSERT_NE(mkdtemp(dir), nullptr);
		sysfs = dir;
		qxiic::sys::UseSysfsRoot(dir);
		SetAdapterName(5, "CP2112 SMBus Bridge on hidraw0");
		fake::Install();
		setenv("QXIIC_BUS", "/dev/i2c-5", 1);
	}

	void TearDown() override
	{
		// Whatever the test did, no bus descriptor may stay open.
		EXPECT_EQ(kernel().openFds, 0);
		qxiic::sim::Reset();
		fake::Uninstall();
		qxiic::sys::UseSysfsRoot(nullptr);
		unsetenv("QXIIC_BUS");
		unsetenv("QXIIC_ALLOW_SMBUS");
		unsetenv("QXIIC_TRACE");
		std::filesystem::remove_all(sysfs);
	}

	// Bus i2c-N as the kernel shows it for that adapter (fake_sysfs.h),
	// under another name when a test gives one. A new adapter on a bus
	// number is a new node, as when one is unplugged and another plugged.
	void SetAdapterName(int adapter, const std::string &name, On on = On::Cp2112)
	{
		fake::AddBus(sysfs, adapter, on, name);
		kernel().busInode++;
		for (fake::Node &n : kernel().nodes)
			n.inode++;
	}

	static fake::Kernel &kernel() { return fake::TheKernel(); }

	// The calls that reached the bus node, without the open / close frame.
	static int Transactions() { return static_cast<int>(kernel().transactions.size()); }

	std::filesystem::path sysfs;
};
