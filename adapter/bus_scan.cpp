#include "bus_scan.h"

#include "backend.h"
#include "qxiic.h"
#include "sys_calls.h"

#include <algorithm>
#include <filesystem>

namespace qxiic {
namespace {

namespace fs = std::filesystem;

int NumberOf(const std::string &entry)
{
	if (entry.rfind("i2c-", 0) != 0 || entry.size() == 4 || entry.size() > 10)
		return -1;
	int n = 0;
	for (char c : entry.substr(4)) {
		if (c < '0' || c > '9')
			return -1;
		n = n * 10 + (c - '0');
	}
	return n;
}

std::string Listing(const std::vector<AdapterInfo> &adapters)
{
	std::string out;
	for (const AdapterInfo &a : adapters)
		out += (out.empty() ? "" : ", ") + BusTitle(NodePath(a), a);
	return out;
}

} // namespace

std::vector<AdapterInfo> ListAdapters()
{
	std::vector<int> numbers;
	std::error_code ec;
	for (const fs::directory_entry &e : fs::directory_iterator(sys::SysfsRoot() + "/class/i2c-dev", ec))
		if (int n = NumberOf(e.path().filename().string()); n >= 0)
			numbers.push_back(n);
	std::sort(numbers.begin(), numbers.end());
	std::vector<AdapterInfo> adapters;
	for (int n : numbers)
		adapters.push_back(DescribeAdapter(n));
	return adapters;
}

std::string NodePath(const AdapterInfo &adapter)
{
	return sys::DevRoot() + "/i2c-" + std::to_string(adapter.number);
}

// Nothing is ever sent to a bus that is not USB-attached: only the
// candidates are opened, and with several only they are probed.
Opened OpenFoundAdapter()
{
	std::vector<AdapterInfo> usb;
	for (AdapterInfo &a : ListAdapters())
		if (a.usb && !a.name.empty() && !IsPcSmbusController(a.name))
			usb.push_back(std::move(a));
	if (usb.empty()) {
		Opened none = Failed(QXIIC_DEVICE_NOT_FOUND, "no USB-to-I2C adapter found");
		none.title = "no adapter";
		return none;
	}
	if (usb.size() == 1)
		return OpenI2cDev(NodePath(usb[0]));

	std::vector<Opened> answering;
	for (const AdapterInfo &a : usb) {
		Opened o = OpenI2cDev(NodePath(a));
		if (o.backend && CameraAnswers(*o.backend))
			answering.push_back(std::move(o));
	}
	if (answering.size() == 1)
		return std::move(answering[0]);
	Opened several = Failed(
		QXIIC_DEVICE_NOT_FOUND,
		std::to_string(usb.size()) + " USB-to-I2C adapters found and the camera answers on " +
			(answering.empty() ? std::string("none") : std::to_string(answering.size())) +
			" of them: " + Listing(usb) + "; name one with QXIIC_BUS or --bus");
	several.title = "several adapters";
	return several;
}

std::string ScanBuses()
{
	std::string out;
	for (const AdapterInfo &a : ListAdapters()) {
		std::string path = NodePath(a);
		// The adapter's verdict first: it says more than a missing node.
		std::string refusal = RefuseAdapter(path, a);
		Opened o = refusal.empty() ? OpenI2cDev(path) : Failed(QXIIC_INIT_ERROR, refusal);
		std::string verdict = o.backend ? "allowed" : o.detail;
		std::string camera = o.backend ? (CameraAnswers(*o.backend) ? "camera" : "no camera")
					       : "not probed";
		out += path + "\t" + (a.name.empty() ? "?" : a.name) + "\t" + (a.usb ? "usb" : "not usb") +
		       "\t" + verdict + "\t" + camera + "\t" + std::to_string(o.osError) + "\n";
	}
	return out;
}

} // namespace qxiic
