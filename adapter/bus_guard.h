// Which i2c-dev buses the library may open. Only a USB-to-I2C adapter's
// bus is opened without being told to: a PC's own SMBus controller carries
// the memory modules' SPD EEPROMs at 0x50..0x57 and a graphics card's
// display bus the monitor's EEPROM at 0x50, the very addresses of the
// camera's EEPROM pages, so a settings write meant for the camera would
// overwrite them. The evidence must be positive: a node that is not an
// i2c-dev character device is never opened at all, and an adapter that
// cannot be shown to sit on USB is refused unless the user sets
// QXIIC_ALLOW_BUS=1 (QXIIC_ALLOW_SMBUS=1, its older name, does the same).
#pragma once

#include <string>
#include <sys/stat.h>

namespace qxiic {

// The character device major of i2c-dev; the minor is the adapter number.
constexpr unsigned kI2cDevMajor = 89;

// What sysfs says about the adapter of bus i2c-N.
struct AdapterInfo {
	int number = -1;
	std::string name; // empty when it cannot be read
	bool usb = false; // its device path leads through a USB device
};

AdapterInfo DescribeAdapter(int number);

// DescribeAdapter for the adapter of the i2c-dev node stat() described,
// kept per bus: while the same node (device number, inode, change time)
// stands for it and sysfs still shows the same adapter entry, the adapter
// is not looked up again. An unplugged adapter's node goes away, so a bus
// number taken over by another adapter is a new node and is looked up.
AdapterInfo DescribeNode(const struct stat &node);

// True when the descriptor's fstat shows the very node that was checked.
bool SameNode(const struct stat &checked, const struct stat &opened);

// Forgets what DescribeNode kept (the sysfs or /dev root changed).
void ForgetNodes();

// True for the names the PC host controllers' drivers give their
// adapters ("SMBus I801 adapter at efa0", "SiS96x SMBus adapter at
// 0x0c00"...); USB bridges such as "CP2112 SMBus Bridge" pass.
bool IsPcSmbusController(const std::string &name);

// Only QXIIC_ALLOW_BUS=1 (or QXIIC_ALLOW_SMBUS=1) overrides: "0", "no",
// "false" or an empty value read as consent would defeat the point.
bool BusOverridden();

// Why the node stat() describes is no i2c-dev bus, or "" when it is one.
std::string NotAnI2cDevNode(const std::string &path, const struct stat &st);

// Why the adapter's bus must not be used, or "" when it may.
std::string RefuseAdapter(const std::string &path, const AdapterInfo &adapter);

// The bus as the user knows it: "CP2112 SMBus Bridge on hidraw0 (/dev/i2c-3)".
std::string BusTitle(const std::string &path, const AdapterInfo &adapter);

} // namespace qxiic
