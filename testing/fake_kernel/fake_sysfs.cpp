#include "fake_sysfs.h"

#include <fstream>
#include <vector>

namespace fake {
namespace {

namespace fs = std::filesystem;

// One level below /sys/devices: its directory name and the subsystem it
// links to ("" for none, as for a PCI root or /sys/devices/platform).
struct Level {
	std::string name;
	std::string subsystem;
};

const Level kPciRoot{ "pci0000:00", "" };
const Level kXhci{ "0000:00:14.0", "bus/pci" };
const Level kRootHub{ "usb1", "bus/usb" };

std::vector<Level> Parents(Bridge bridge)
{
	switch (bridge) {
	case Bridge::Cp2112:
		return { kPciRoot,
			 kXhci,
			 kRootHub,
			 { "1-2", "bus/usb" },
			 { "1-2:1.0", "bus/usb" },
			 { "0003:10C4:EA90.0001", "bus/hid" } };
	case Bridge::Mcp2221:
		return { kPciRoot,
			 kXhci,
			 kRootHub,
			 { "1-3", "bus/usb" },
			 { "1-3.4", "bus/usb" },
			 { "1-3.4:1.2", "bus/usb" },
			 { "0003:04D8:00DD.0002", "bus/hid" } };
	case Bridge::Ft260:
		return { kPciRoot,
			 kXhci,
			 kRootHub,
			 { "1-4", "bus/usb" },
			 { "1-4:1.0", "bus/usb" },
			 { "0003:0403:6030.0003", "bus/hid" } };
	case Bridge::TinyUsb:
		return { kPciRoot, kXhci, kRootHub, { "1-5", "bus/usb" }, { "1-5:1.0", "bus/usb" } };
	case Bridge::Dln2:
		return { kPciRoot,
			 kXhci,
			 kRootHub,
			 { "1-6", "bus/usb" },
			 { "1-6:1.0", "bus/usb" },
			 { "dln2-i2c.0.auto", "bus/platform" } };
	case Bridge::I801:
		return { kPciRoot, { "0000:00:1f.4", "bus/pci" } };
	case Bridge::Piix4:
		return { kPciRoot, { "0000:00:14.0", "bus/pci" } };
	case Bridge::I915:
		return { kPciRoot, { "0000:00:02.0", "bus/pci" } };
	case Bridge::Amdgpu:
		return { kPciRoot,
			 { "0000:00:01.1", "bus/pci" },
			 { "0000:01:00.0", "bus/pci" },
			 { "0000:02:00.0", "bus/pci" },
			 { "0000:03:00.0", "bus/pci" } };
	case Bridge::Nouveau:
		return { kPciRoot, { "0000:00:01.0", "bus/pci" }, { "0000:01:00.0", "bus/pci" } };
	case Bridge::Soc:
		return { { "platform", "" }, { "soc", "bus/platform" }, { "3f804000.i2c", "bus/platform" } };
	}
	return {};
}

void Link(const fs::path &target, const fs::path &link)
{
	fs::create_directories(target);
	fs::remove(link);
	fs::create_directory_symlink(target, link);
}

} // namespace

std::string DriverName(Bridge bridge)
{
	switch (bridge) {
	case Bridge::Cp2112:
		return "CP2112 SMBus Bridge on hidraw0";
	case Bridge::Mcp2221:
		return "MCP2221 usb-i2c bridge";
	case Bridge::Ft260:
		return "FT260 usb-i2c bridge";
	case Bridge::TinyUsb:
		return "i2c-tiny-usb at bus 001 device 005";
	case Bridge::Dln2:
		return "dln2-i2c-1-6:1.0-0";
	case Bridge::I801:
		return "SMBus I801 adapter at efa0";
	case Bridge::Piix4:
		return "SMBus PIIX4 adapter port 0 at 0b00";
	case Bridge::I915:
		return "i915 gmbus dpb";
	case Bridge::Amdgpu:
		return "AMDGPU DM i2c hw bus 0";
	case Bridge::Nouveau:
		return "nvkm-0000:01:00.0-bus-0005";
	case Bridge::Soc:
		return "bcm2835 (i2c@7e804000)";
	}
	return {};
}

fs::path AdapterDevice(const fs::path &root, int number)
{
	return fs::canonical(root / "class/i2c-dev" / ("i2c-" + std::to_string(number)) / "device");
}

void AddBus(const fs::path &root, int number, Bridge bridge, const std::string &name)
{
	const std::string bus = "i2c-" + std::to_string(number);
	const fs::path classLink = root / "class/i2c-dev" / bus;
	std::error_code ec;
	if (fs::path old = fs::canonical(classLink / "device", ec); !ec)
		fs::remove_all(old);
	fs::path dir = root / "devices";
	for (const Level &level : Parents(bridge)) {
		dir /= level.name;
		fs::create_directories(dir);
		if (!level.subsystem.empty())
			Link(root / level.subsystem, dir / "subsystem");
	}
	const fs::path adapter = dir / bus;
	const fs::path classDevice = adapter / "i2c-dev" / bus;
	fs::remove_all(adapter);
	fs::create_directories(classDevice);
	Link(root / "bus/i2c", adapter / "subsystem");
	Link(root / "class/i2c-dev", classDevice / "subsystem");
	fs::create_directory_symlink(adapter, classDevice / "device");
	std::ofstream(classDevice / "dev") << "89:" << number << "\n";
	if (!name.empty()) {
		std::ofstream(adapter / "name") << name << "\n";
		std::ofstream(classDevice / "name") << name << "\n";
	}
	fs::create_directories(root / "class/i2c-dev");
	fs::remove(classLink);
	fs::create_directory_symlink(classDevice, classLink);
}

} // namespace fake
