#include "BusName.h"

#include "InputFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace iicbus {

namespace {

// The character device major of i2c-dev; its minor is the adapter number.
constexpr unsigned kI2cDevMajor = 89;
constexpr int kSimCameras = 8;
constexpr char kNoBus[] = "none";

std::string Quoted(const std::string &text)
{
	return "'" + fileio::ShownText(text) + "'";
}

std::string ResolveNode(const std::string &given, ResolvedBus &bus)
{
	struct stat st {
	};
	if (stat(given.c_str(), &st) == 0) {
		if (!S_ISCHR(st.st_mode) || major(st.st_rdev) != kI2cDevMajor)
			return "bus " + Quoted(given) + " is not an i2c-dev bus (/dev/i2c-N)";
		char real[PATH_MAX];
		if (realpath(given.c_str(), real))
			bus.resolved = real;
		bus.identity = "i2c-dev " + std::to_string(minor(st.st_rdev));
	} else if (errno != ENOENT && errno != EACCES) {
		return "bus " + Quoted(given) + ": " + std::strerror(errno);
	}
	// Missing or hidden: the adapter library says why when it opens it.
	return "";
}

} // namespace

std::string ResolveBus(const std::string &given, ResolvedBus &out)
{
	ResolvedBus bus{ given, given, given, BusKind::FoundAdapter };
	if (given.empty()) {
		bus.identity = "the USB-to-I2C adapter";
	} else if (given == kNoBus) {
		bus.kind = BusKind::NoBus;
	} else if (given == "sim" || given.starts_with("sim:")) {
		bus.kind = BusKind::Simulated;
		if (given == "sim")
			bus.resolved = "sim:0";
		else if (given.size() != 5 || given[4] < '0' || given[4] >= '0' + kSimCameras)
			return "bus " + Quoted(given) +
			       " cannot exist: the simulated cameras are sim:0 to sim:7";
		bus.identity = bus.resolved;
		bus.simCamera = bus.resolved[4] - '0';
	} else if (given.starts_with('/')) {
		bus.kind = BusKind::Node;
		if (std::string why = ResolveNode(given, bus); !why.empty())
			return why;
	} else {
		return "bus " + Quoted(given) + " names no bus: use " + kBusChoices;
	}
	out = bus;
	return "";
}

std::string ResolveBuses(const std::vector<std::string> &given, std::vector<ResolvedBus> &out)
{
	std::vector<ResolvedBus> buses;
	for (const std::string &name : given) {
		ResolvedBus bus;
		if (std::string why = ResolveBus(name, bus); !why.empty())
			return why;
		for (const ResolvedBus &earlier : buses) {
			if (earlier.identity != bus.identity)
				continue;
			// Two runs on one camera would interleave their blocks.
			if (earlier.given == bus.given)
				return "bus " + bus.given + " is given twice";
			return "buses " + earlier.given + " and " + bus.given + " are the same camera";
		}
		buses.push_back(bus);
	}
	out = std::move(buses);
	return "";
}

std::string OneBus(const std::vector<std::string> &given)
{
	if (given.size() > 1)
		return "--bus is given " + std::to_string(given.size()) +
		       " times; this command takes one camera";
	return "";
}

std::string EnvironmentBus(const char *value, ResolvedBus &out)
{
	std::string why = ResolveBus(value ? value : "", out);
	return why.empty() ? why : "QXIIC_BUS: " + why;
}

} // namespace iicbus
