#include "BusIdentity.h"

#include "qxiic.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace iicbus {

namespace {

constexpr int kTextSize = 1024;

bool DeniedAccess(int osError)
{
	return osError == EACCES || osError == EPERM;
}

constexpr char kAccessAdvice[] =
	"; this user may not open it: unplug and plug in the adapter again after installing Velmora (its "
	"udev rule gives the logged-in user and the i2c group USB-to-I2C adapters' buses), or be added to "
	"the i2c group and log in again";

constexpr char kOverride[] = "; set QXIIC_ALLOW_BUS=1";

} // namespace

std::string BusReason(const BusIdentity &bus)
{
	if (!bus.known || bus.opened || bus.reason.empty())
		return {};
	return bus.accessDenied ? bus.reason + kAccessAdvice : bus.reason;
}

std::string WhyNotOpened(const BusIdentity &bus)
{
	std::string reason = BusReason(bus);
	return reason.empty() ? reason : " (" + reason + ")";
}

std::string OperatorBusReason(const BusIdentity &bus)
{
	std::string reason = BusReason(bus);
	return reason.substr(0, reason.find(kOverride));
}

void SelectBus(const std::optional<std::string> &bus)
{
	IICSelectBus(bus ? bus->c_str() : nullptr);
}

std::string SelectProcessBus(const std::vector<ResolvedBus> &named, const char *environment)
{
	if (!named.empty()) {
		SelectBus(named.front().resolved);
		return "";
	}
	ResolvedBus bus;
	if (std::string why = EnvironmentBus(environment, bus); !why.empty())
		return why;
	// The library reads QXIIC_BUS itself, afresh at every transfer.
	SelectBus(std::nullopt);
	return "";
}

BusIdentity LastBus()
{
	char bus[kTextSize];
	char reason[kTextSize];
	int status = IICBusState(bus, sizeof bus, reason, sizeof reason);
	BusIdentity identity;
	if (status < 0)
		return identity;
	identity.known = true;
	identity.status = status;
	identity.opened = status == QXIIC_OK;
	identity.bus = bus;
	identity.reason = reason;
	identity.osError = identity.opened ? 0 : IICBusError();
	identity.accessDenied = DeniedAccess(identity.osError);
	return identity;
}

std::vector<std::string> TakeNotices()
{
	std::vector<std::string> notices;
	char text[kTextSize];
	while (IICTakeNotice(text, sizeof text) == 1)
		notices.emplace_back(text);
	return notices;
}

// The listing's length is known only after a first call; buses can come
// and go in between, so it is asked again until it fits.
std::vector<BusListing> ScanBuses()
{
	std::string text(kTextSize, '\0');
	for (;;) {
		int length = IICScanBuses(text.data(), static_cast<int>(text.size()));
		if (length < static_cast<int>(text.size())) {
			text.resize(static_cast<std::size_t>(length));
			break;
		}
		text.assign(static_cast<std::size_t>(length) + 1, '\0');
	}
	std::vector<BusListing> buses;
	std::istringstream lines(text);
	for (std::string line; std::getline(lines, line);) {
		std::istringstream fields(line);
		BusListing b;
		std::string usb;
		std::string camera;
		std::getline(fields, b.node, '\t');
		std::getline(fields, b.adapter, '\t');
		std::getline(fields, usb, '\t');
		std::getline(fields, b.verdict, '\t');
		std::getline(fields, camera, '\t');
		std::string osError;
		std::getline(fields, osError, '\t');
		b.osError = std::atoi(osError.c_str());
		if (DeniedAccess(b.osError))
			b.verdict += kAccessAdvice;
		b.usb = usb == "usb";
		b.allowed = b.verdict == "allowed";
		b.camera = camera == "camera"      ? CameraSeen::Answers
			   : camera == "no camera" ? CameraSeen::Silent
						   : CameraSeen::NotProbed;
		buses.push_back(std::move(b));
	}
	return buses;
}

} // namespace iicbus
