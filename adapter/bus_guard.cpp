#include "bus_guard.h"

#include "sys_calls.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/sysmacros.h>

namespace qxiic {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string s)
{
	std::transform(s.begin(), s.end(), s.begin(),
		       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
	return s;
}

bool IsSet(const char *variable)
{
	const char *v = std::getenv(variable);
	return v != nullptr && std::strcmp(v, "1") == 0;
}

std::string AdapterDir(int number)
{
	return sys::SysfsRoot() + "/class/i2c-dev/i2c-" + std::to_string(number);
}

std::string ReadName(int number)
{
	const sys::SystemCalls &calls = sys::Calls();
	std::string file = AdapterDir(number) + "/name";
	int fd = calls.open(file.c_str(), O_RDONLY | O_CLOEXEC);
	if (fd < 0)
		return {};
	char buf[128];
	ssize_t n = calls.read(fd, buf, sizeof buf - 1);
	calls.close(fd);
	if (n <= 0)
		return {};
	std::string name(buf, static_cast<std::size_t>(n));
	while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
		name.pop_back();
	return name;
}

// Some device on the way from the adapter up to the root belongs to the
// usb subsystem: the USB device itself or one of its interfaces.
bool OnUsb(int number)
{
	std::error_code ec;
	fs::path device = fs::canonical(AdapterDir(number) + "/device", ec);
	if (ec)
		return false;
	for (fs::path p = device; p.has_relative_path(); p = p.parent_path()) {
		fs::path subsystem = fs::read_symlink(p / "subsystem", ec);
		if (!ec && subsystem.filename() == "usb")
			return true;
		if (p == p.parent_path())
			break;
	}
	return false;
}

const char *KindOf(mode_t mode)
{
	if (S_ISREG(mode))
		return "a regular file";
	if (S_ISDIR(mode))
		return "a directory";
	if (S_ISFIFO(mode))
		return "a FIFO";
	if (S_ISBLK(mode))
		return "a block device";
	if (S_ISSOCK(mode))
		return "a socket";
	return "a character device of another driver";
}

bool SameTime(const struct timespec &a, const struct timespec &b)
{
	return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// What a verdict on a bus was given for: the node, and the adapter's
// entry in sysfs (a static node in /dev outlives the adapter it served).
struct KnownNode {
	struct stat node;
	struct stat entry;
	AdapterInfo adapter;
};

std::map<dev_t, KnownNode> g_known;

bool EntryStat(int number, struct stat &st)
{
	return ::lstat(AdapterDir(number).c_str(), &st) == 0;
}

} // namespace

bool SameNode(const struct stat &checked, const struct stat &opened)
{
	return checked.st_rdev == opened.st_rdev && checked.st_dev == opened.st_dev &&
	       checked.st_ino == opened.st_ino;
}

AdapterInfo DescribeNode(const struct stat &node)
{
	int number = static_cast<int>(minor(node.st_rdev));
	struct stat entry {
	};
	bool hasEntry = EntryStat(number, entry);
	auto known = g_known.find(node.st_rdev);
	if (hasEntry && known != g_known.end() && SameNode(known->second.node, node) &&
	    SameTime(known->second.node.st_ctim, node.st_ctim) &&
	    known->second.entry.st_ino == entry.st_ino && known->second.entry.st_dev == entry.st_dev &&
	    SameTime(known->second.entry.st_ctim, entry.st_ctim))
		return known->second.adapter;
	AdapterInfo adapter = DescribeAdapter(number);
	if (hasEntry)
		g_known[node.st_rdev] = { node, entry, adapter };
	else
		g_known.erase(node.st_rdev);
	return adapter;
}

void ForgetNodes()
{
	g_known.clear();
}

AdapterInfo DescribeAdapter(int number)
{
	AdapterInfo info;
	info.number = number;
	info.name = ReadName(number);
	info.usb = OnUsb(number);
	return info;
}

bool IsPcSmbusController(const std::string &name)
{
	std::string lower = Lower(name);
	std::size_t smbus = lower.find("smbus");
	return smbus != std::string::npos && lower.find("adapter", smbus) != std::string::npos;
}

bool BusOverridden()
{
	return IsSet("QXIIC_ALLOW_BUS") || IsSet("QXIIC_ALLOW_SMBUS");
}

// No override opens something that is not a bus: no i2c ioctl may reach
// another device.
std::string NotAnI2cDevNode(const std::string &path, const struct stat &st)
{
	if (S_ISCHR(st.st_mode) && major(st.st_rdev) == kI2cDevMajor)
		return {};
	return "refusing " + path + ": it is " + KindOf(st.st_mode) +
	       ", not an i2c-dev bus (a character device of major 89)";
}

std::string RefuseAdapter(const std::string &path, const AdapterInfo &adapter)
{
	if (BusOverridden())
		return {};
	const std::string override = "; set QXIIC_ALLOW_BUS=1 to use it anyway";
	if (adapter.name.empty())
		return "refusing " + path + ": its adapter's name cannot be read from " +
		       AdapterDir(adapter.number) + "/name, so nothing shows it is a USB-to-I2C adapter" +
		       override;
	if (IsPcSmbusController(adapter.name))
		return "refusing " + path + ": its adapter \"" + adapter.name +
		       "\" is the PC's own SMBus controller, where 0x50..0x57 are the memory "
		       "modules' SPD EEPROMs that a camera EEPROM write would overwrite" +
		       override;
	if (!adapter.usb)
		return "refusing " + path + ": its adapter \"" + adapter.name +
		       "\" is not attached through USB (a display, SMBus or system bus, where a camera "
		       "EEPROM write could overwrite another device's EEPROM)" +
		       override;
	return {};
}

std::string BusTitle(const std::string &path, const AdapterInfo &adapter)
{
	if (adapter.name.empty())
		return path;
	return adapter.name + " (" + path + ")";
}

} // namespace qxiic
