// The package's udev rule, matched as udev matches it against each
// adapter's i2c-dev device in the kernel's own sysfs layout: only the
// USB-to-I2C adapters' buses go to the logged-in user and the i2c group.
// (udevadm test needs the device in the real /sys, so the rule is parsed
// here; a key this matcher does not know fails the test.)
#include "fake_sysfs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fnmatch.h>
#include <fstream>
#include <map>
#include <regex>
#include <stdlib.h>

namespace {

namespace fs = std::filesystem;

struct Key {
	std::string name, op, value;
};

std::vector<Key> RuleKeys()
{
	std::ifstream in(VELMORA_SOURCE_DIR "/dist/70-velmora.rules");
	std::vector<Key> keys;
	const std::regex key(R"re(\s*([A-Z]+(?:\{[^}]*\})?)\s*(==|!=|\+=|=)\s*"([^"]*)"\s*,?)re");
	int rules = 0;
	for (std::string line; std::getline(in, line);) {
		if (line.empty() || line[0] == '#')
			continue;
		rules++;
		for (std::sregex_iterator i(line.begin(), line.end(), key), end; i != end; ++i)
			keys.push_back({ (*i)[1], (*i)[2], (*i)[3] });
	}
	EXPECT_EQ(rules, 1);
	return keys;
}

std::string SubsystemOf(const fs::path &device)
{
	std::error_code ec;
	fs::path link = fs::read_symlink(device / "subsystem", ec);
	return ec ? "" : link.filename().string();
}

// What the rule assigns to the device of an event, or {} when it does not
// match.
std::map<std::string, std::string> Apply(const std::vector<Key> &keys, const fs::path &device,
					 const fs::path &sysfs, const char *action = "add")
{
	std::map<std::string, std::string> assigned;
	for (const Key &k : keys) {
		bool match = true;
		if (k.name == "ACTION") {
			match = fnmatch(k.value.c_str(), action, 0) == 0;
		} else if (k.name == "SUBSYSTEM") {
			match = SubsystemOf(device) == k.value;
		} else if (k.name == "KERNEL") {
			match = fnmatch(k.value.c_str(), device.filename().c_str(), 0) == 0;
		} else if (k.name == "SUBSYSTEMS") {
			match = false;
			for (fs::path p = device; p != sysfs / "devices" && p.has_relative_path();
			     p = p.parent_path())
				match = match || SubsystemOf(p) == k.value;
		} else if (k.op == "=" || k.op == "+=") {
			assigned[k.name] = k.value;
			continue;
		} else {
			ADD_FAILURE() << "key " << k.name << " is not known to this test";
		}
		if ((k.op == "==") != match)
			return {};
	}
	return assigned;
}

TEST(UdevRuleTest, OnlyUsbAdaptersBusesAreGiven)
{
	const std::vector<Key> keys = RuleKeys();
	ASSERT_FALSE(keys.empty());
	char dir[] = "/tmp/qxiic-udev-XXXXXX";
	ASSERT_NE(mkdtemp(dir), nullptr);
	const fs::path sysfs = dir;
	using B = fake::Bridge;
	using Assigned = std::map<std::string, std::string>;
	const Assigned given{ { "GROUP", "i2c" }, { "MODE", "0660" }, { "TAG", "uaccess" } };
	const struct {
		B bridge;
		bool given;
	} cases[] = {
		{ B::Cp2112, true },  { B::Mcp2221, true },  { B::Ft260, true },  { B::TinyUsb, true },
		{ B::Dln2, true },    { B::I801, false },    { B::Piix4, false }, { B::I915, false },
		{ B::Amdgpu, false }, { B::Nouveau, false }, { B::Soc, false },
	};
	int number = 0;
	for (const auto &c : cases) {
		SCOPED_TRACE(fake::DriverName(c.bridge));
		fake::AddBus(sysfs, number, c.bridge);
		fs::path device = fs::canonical(sysfs / "class/i2c-dev" / ("i2c-" + std::to_string(number)));
		// "change" (udevadm trigger) applies the rule again: a rule for
		// "add" alone would take the access back.
		for (const char *action : { "add", "change" })
			EXPECT_EQ(Apply(keys, device, sysfs, action), c.given ? given : Assigned{}) << action;
		EXPECT_TRUE(Apply(keys, device, sysfs, "remove").empty());
		// The adapter itself (bus/i2c) is no i2c-dev node.
		EXPECT_TRUE(Apply(keys, fake::AdapterDevice(sysfs, number), sysfs).empty());
		number++;
	}
	fs::remove_all(sysfs);
}

} // namespace
