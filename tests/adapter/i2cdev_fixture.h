// Shared set-up for the tests of the i2c-dev back end: QXIIC_BUS names
// /dev/i2c-5, the fake kernel plays that node, and a fake sysfs tree in a
// temporary directory gives its adapter a name (a CP2112 on USB unless a
// test says otherwise).
#pragma once

#include "adapter_fixture.h"
#include "fake_kernel.h"

#include <filesystem>
#include <fstream>
#include <string>

class I2cDevTest : public AdapterTest
{
public:
	// The adapter's device sits under a USB device, a PCI function or a
	// platform (SoC) bus, as sysfs shows it.
	enum class On { Usb, Pci, Platform };

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

	void SetAdapterName(int adapter, const std::string &name, On on = On::Usb)
	{
		namespace fs = std::filesystem;
		const std::string bus = "i2c-" + std::to_string(adapter);
		fs::path parent = sysfs / "devices" /
				  (on == On::Usb   ? "pci0000:00/0000:00:14.0/usb1/1-2"
				   : on == On::Pci ? "pci0000:00/0000:00:02.0"
						   : "platform/soc/3f804000.i2c");
		const char *subsystem = on == On::Usb ? "usb" : on == On::Pci ? "pci" : "platform";
		fs::path device = parent / (on == On::Usb ? "1-2:1.0/0003:10C4:EA90.0001" : "") / bus;
		fs::create_directories(device);
		fs::create_directories(sysfs / "bus" / subsystem);
		fs::remove(parent / "subsystem");
		fs::create_directory_symlink(sysfs / "bus" / subsystem, parent / "subsystem");
		fs::path dir = sysfs / "class/i2c-dev" / bus;
		fs::create_directories(dir);
		std::ofstream(dir / "name") << name << "\n";
		fs::remove(dir / "device");
		fs::create_directory_symlink(device, dir / "device");
	}

	static fake::Kernel &kernel() { return fake::TheKernel(); }

	// The calls that reached the bus node, without the open / close frame.
	static int Transactions() { return static_cast<int>(kernel().transactions.size()); }

	std::filesystem::path sysfs;
};
