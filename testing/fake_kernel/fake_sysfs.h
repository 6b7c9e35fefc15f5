// A sysfs tree laid out as the kernel lays it out for the i2c adapters the
// library meets: every device on the way from the adapter up has its
// subsystem link (the i2c adapter to bus/i2c, a HID device to bus/hid, a
// USB interface, device and hub to bus/usb, a PCI function to bus/pci, an
// MFD cell or SoC controller to bus/platform), the i2c-dev class device
// sits under the adapter, and class/i2c-dev/i2c-N is a link to it.
#pragma once

#include <filesystem>
#include <string>

namespace fake {

// The adapters, each as its driver registers it.
enum class Bridge {
	Cp2112,  // hid-cp2112: HID device on a USB interface
	Mcp2221, // hid-mcp2221, behind an external hub
	Ft260,   // hid-ft260
	TinyUsb, // i2c-tiny-usb: straight on the USB interface
	Dln2,    // dln2 + i2c-dln2: a platform device (MFD cell) on the USB interface
	I801,    // i2c-i801: the PC's SMBus, a PCI function
	Piix4,   // i2c-piix4: the PC's SMBus on AMD
	I915,    // i915: a display bus of the integrated graphics
	Amdgpu,  // amdgpu: a display bus of a graphics card behind PCIe bridges
	Nouveau, // nouveau: the same for NVIDIA
	Soc,     // i2c-bcm2835: a SoC's own controller on the platform bus
};

// The name the driver gives the adapter (/sys/class/i2c-dev/i2c-N/name).
std::string DriverName(Bridge bridge);

// Adds bus i2c-N under root as the kernel shows it; name "" leaves the
// name file out, so that it cannot be read. An earlier bus of that number
// is removed first, as when an adapter is unplugged.
void AddBus(const std::filesystem::path &root, int number, Bridge bridge, const std::string &name);
inline void AddBus(const std::filesystem::path &root, int number, Bridge bridge)
{
	AddBus(root, number, bridge, DriverName(bridge));
}

// The adapter's device directory (/sys/devices/.../i2c-N) of a bus added.
std::filesystem::path AdapterDevice(const std::filesystem::path &root, int number);

} // namespace fake
