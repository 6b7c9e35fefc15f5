#include "bus_guard.h"

#include "sys_calls.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>

namespace qxiic {
namespace {

constexpr const char *kOverride = "QXIIC_ALLOW_SMBUS";

std::string Lower(std::string s)
{
	std::transform(s.begin(), s.end(), s.begin(),
		       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
	return s;
}

bool Overridden()
{
	const char *v = std::getenv(kOverride);
	return v != nullptr && std::strcmp(v, "1") == 0;
}

// A path that does not exist (yet) is taken as written; the open that
// follows will say whether it is there.
std::string Resolved(const char *path)
{
	char buf[PATH_MAX];
	if (realpath(path, buf) == nullptr)
		return path;
	return buf;
}

} // namespace

int AdapterNumber(const char *path)
{
	std::string resolved = Resolved(path);
	std::size_t slash = resolved.rfind('/');
	std::string base = resolved.substr(slash == std::string::npos ? 0 : slash + 1);
	if (base.rfind("i2c-", 0) != 0 || base.size() == 4 || base.size() > 10)
		return -1;
	int n = 0;
	for (char c : base.substr(4)) {
		if (c < '0' || c > '9')
			return -1;
		n = n * 10 + (c - '0');
	}
	return n;
}

bool ReadAdapterName(int adapter, std::string &name)
{
	const sys::SystemCalls &calls = sys::Calls();
	std::string file = sys::SysfsRoot() + "/class/i2c-dev/i2c-" + std::to_string(adapter) + "/name";
	int fd = calls.open(file.c_str(), O_RDONLY | O_CLOEXEC);
	if (fd < 0)
		return false;
	char buf[128];
	ssize_t n = calls.read(fd, buf, sizeof buf - 1);
	calls.close(fd);
	if (n <= 0)
		return false;
	name.assign(buf, static_cast<std::size_t>(n));
	while (!name.empty() && (name.back() == '\n' || name.back() == ' '))
		name.pop_back();
	return true;
}

bool IsPcSmbusController(const std::string &name)
{
	std::string lower = Lower(name);
	std::size_t smbus = lower.find("smbus");
	return smbus != std::string::npos && lower.find("adapter", smbus) != std::string::npos;
}

std::string RefuseBus(const char *path, int adapter)
{
	if (Overridden())
		return {};
	std::string name;
	std::string override = std::string("; set ") + kOverride + "=1 to use it anyway";
	if (!ReadAdapterName(adapter, name))
		return std::string("refusing ") + path + ": cannot read its adapter's name from " +
		       sys::SysfsRoot() + "/class/i2c-dev/i2c-" + std::to_string(adapter) +
		       "/name to rule out the PC's SMBus" + override;
	if (!IsPcSmbusController(name))
		return {};
	return std::string("refusing ") + path + ": its adapter \"" + name +
	       "\" is the PC's own SMBus controller, where 0x50..0x57 are the memory "
	       "modules' SPD EEPROMs that a camera EEPROM write would overwrite" +
	       override;
}

} // namespace qxiic
