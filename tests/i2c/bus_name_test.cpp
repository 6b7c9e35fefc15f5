// What a bus name means, for the panel and both tools alike: one camera
// has one name, and a bus that cannot exist is refused before anything is
// touched.
#include "BusName.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

TEST(BusNameTest, OneCameraOneName)
{
	namespace fs = std::filesystem;
	fs::path dir = ::testing::TempDir() + "velmora-buses";
	fs::remove_all(dir);
	fs::create_directories(dir);
	std::string node = (dir / "i2c-5").string(), link = (dir / "camera").string();
	std::string other = (dir / "i2c-6").string(), plain = (dir / "plain").string();
	std::ofstream(plain) << "x";
	bool nodes = mknod(node.c_str(), S_IFCHR | 0600, makedev(89, 5)) == 0 &&
		     mknod(other.c_str(), S_IFCHR | 0600, makedev(89, 6)) == 0;
	fs::create_symlink(node, link);
	const struct {
		std::vector<std::string> given;
		std::string error;
		std::vector<std::string> resolved;
		bool needsNodes;
	} cases[] = {
		{ { "sim", "sim:7" }, "", { "sim:0", "sim:7" }, false },
		{ { "sim", "sim:0" }, "buses sim and sim:0 are the same camera", {}, false },
		{ { "sim:1", "sim:1" }, "bus sim:1 is given twice", {}, false },
		{ { "sim:8" },
		  "bus 'sim:8' cannot exist: the simulated cameras are sim:0 to sim:7",
		  {},
		  false },
		{ { "sim:12" },
		  "bus 'sim:12' cannot exist: the simulated cameras are sim:0 to sim:7",
		  {},
		  false },
		{ { "sim:" },
		  "bus 'sim:' cannot exist: the simulated cameras are sim:0 to sim:7",
		  {},
		  false },
		{ { "sim9" },
		  "bus 'sim9' names no bus: use /dev/i2c-N, sim or sim:0 to sim:7, or none",
		  {},
		  false },
		{ { "i2c-3" },
		  "bus 'i2c-3' names no bus: use /dev/i2c-N, sim or sim:0 to sim:7, or none",
		  {},
		  false },
		{ { "None" },
		  "bus 'None' names no bus: use /dev/i2c-N, sim or sim:0 to sim:7, or none",
		  {},
		  false },
		{ { "none" }, "", { "none" }, false },
		{ { "" }, "", { "" }, false }, // the one USB-to-I2C adapter present
		{ { "sim:1\n" },
		  "bus 'sim:1\\n' cannot exist: the simulated cameras are sim:0 to sim:7",
		  {},
		  false },
		{ { "sim:01" },
		  "bus 'sim:01' cannot exist: the simulated cameras are sim:0 to sim:7",
		  {},
		  false },
		{ { "/dev/null" }, "bus '/dev/null' is not an i2c-dev bus (/dev/i2c-N)", {}, false },
		{ { plain }, "bus '" + plain + "' is not an i2c-dev bus (/dev/i2c-N)", {}, false },
		{ { "/dev/i2c-77" }, "", { "/dev/i2c-77" }, false }, // not plugged in yet
		{ { link, other }, "", { node, other }, true },
		{ { node, link }, "buses " + node + " and " + link + " are the same camera", {}, true },
	};
	for (const auto &c : cases) {
		if (c.needsNodes && !nodes)
			continue; // mknod needs CAP_MKNOD
		std::vector<iicbus::ResolvedBus> buses;
		EXPECT_EQ(iicbus::ResolveBuses(c.given, buses), c.error) << c.given[0];
		std::vector<std::string> resolved;
		for (const iicbus::ResolvedBus &bus : buses)
			resolved.push_back(bus.resolved);
		EXPECT_EQ(resolved, c.resolved) << c.given[0];
	}
	iicbus::ResolvedBus bus;
	EXPECT_EQ(iicbus::EnvironmentBus("sim:9", bus),
		  "QXIIC_BUS: bus 'sim:9' cannot exist: the simulated cameras are sim:0 to sim:7");
	EXPECT_EQ(iicbus::EnvironmentBus(nullptr, bus), "");
	EXPECT_EQ(bus.kind, iicbus::BusKind::FoundAdapter);
	EXPECT_EQ(iicbus::OneBus({ "sim", "sim:1" }),
		  "--bus is given 2 times; this command takes one camera");
	fs::remove_all(dir);
}

} // namespace
