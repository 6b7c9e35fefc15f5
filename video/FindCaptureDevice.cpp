#include "FindCaptureDevice.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

namespace video {
namespace {

namespace fs = std::filesystem;

// The USB device (the folder with idVendor) above a device's folder, or "".
fs::path UsbDeviceOf(const fs::path &deviceLink)
{
	std::error_code ec;
	fs::path p = fs::canonical(deviceLink, ec);
	if (ec)
		return {};
	for (; !p.empty() && p != p.root_path(); p = p.parent_path())
		if (fs::exists(p / "idVendor", ec) && fs::exists(p / "busnum", ec))
			return p;
	return {};
}

std::string FirstLine(const fs::path &file)
{
	std::ifstream in(file);
	std::string line;
	std::getline(in, line);
	return line;
}

// video10 after video9.
int NodeNumber(const std::string &name)
{
	int n = 0;
	for (char c : name.substr(5))
		n = c >= '0' && c <= '9' ? n * 10 + (c - '0') : n;
	return n;
}

} // namespace

std::vector<CaptureNode> ListCaptureDevices(const std::string &sysfsRoot, const std::string &devRoot)
{
	std::vector<std::pair<int, CaptureNode>> found;
	std::error_code ec;
	for (const fs::directory_entry &e :
	     fs::directory_iterator(fs::path(sysfsRoot) / "class/video4linux", ec)) {
		const std::string name = e.path().filename().string();
		if (name.rfind("video", 0) != 0 || FirstLine(e.path() / "index") != "0")
			continue;
		found.push_back({ NodeNumber(name),
				  { (fs::path(devRoot) / name).string(), FirstLine(e.path() / "name") } });
	}
	std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
	std::vector<CaptureNode> nodes;
	for (auto &f : found)
		nodes.push_back(std::move(f.second));
	return nodes;
}

std::string FindCaptureDevice(const std::string &i2cNode, std::string &why, const std::string &sysfsRoot,
			      const std::string &devRoot)
{
	std::error_code ec;
	const fs::path node = fs::weakly_canonical(i2cNode, ec);
	const std::string bus = node.filename().string();
	if (bus.rfind("i2c-", 0) != 0) {
		why = "no capture device named, and the adapter's bus is not known; name one with --video";
		return {};
	}
	const fs::path usb = UsbDeviceOf(fs::path(sysfsRoot) / "class/i2c-dev" / bus / "device");
	if (usb.empty()) {
		why = "no capture device named, and the adapter of " + bus +
		      " is not on USB; name one with --video";
		return {};
	}
	std::vector<std::string> found;
	for (const fs::directory_entry &e :
	     fs::directory_iterator(fs::path(sysfsRoot) / "class/video4linux", ec)) {
		const std::string name = e.path().filename().string();
		if (name.rfind("video", 0) != 0 || FirstLine(e.path() / "index") != "0")
			continue;
		if (UsbDeviceOf(e.path() / "device") == usb)
			found.push_back(name);
	}
	if (found.size() == 1)
		return (fs::path(devRoot) / found.front()).string();
	why = found.empty() ? "no capture device on the adapter's USB device; name one with --video"
			    : "several capture devices on the adapter's USB device; name one with --video";
	return {};
}

} // namespace video
