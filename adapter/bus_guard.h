// Which i2c-dev buses the library may open. A PC's own SMBus controller
// also carries the memory modules' SPD EEPROMs at 0x50..0x57, the very
// addresses of the camera's EEPROM pages: a settings write meant for the
// camera would overwrite them. Such a bus is refused unless the user sets
// QXIIC_ALLOW_SMBUS=1.
#pragma once

#include <string>

namespace qxiic {

// N of the i2c-dev node the path leads to (after symlinks), or -1 when
// its name is not i2c-N.
int AdapterNumber(const char *path);

// The adapter's name from sysfs (class/i2c-dev/i2c-N/name), read through
// the system call seam; false when it cannot be read.
bool ReadAdapterName(int adapter, std::string &name);

// True for the names the PC host controllers' drivers give their
// adapters ("SMBus I801 adapter at efa0", "SiS96x SMBus adapter at
// 0x0c00"...); USB bridges such as "CP2112 SMBus Bridge" pass.
bool IsPcSmbusController(const std::string &name);

// Why the bus must not be used, or an empty string when it may.
std::string RefuseBus(const char *path, int adapter);

} // namespace qxiic
