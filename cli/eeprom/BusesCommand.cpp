#include "BusesCommand.h"

#include "ExitStatus.h"

#include <ostream>

namespace eeprom_cli {

using namespace tool;

namespace {

// The library's refusal names the bus again; the line already does.
std::string Why(const iicbus::BusListing &bus)
{
	std::string prefix = "refusing " + bus.node + ": ";
	if (bus.verdict.rfind(prefix, 0) == 0)
		return "refused: " + bus.verdict.substr(prefix.size());
	return "refused: " + bus.verdict;
}

const char *CameraText(iicbus::CameraSeen seen)
{
	switch (seen) {
	case iicbus::CameraSeen::Answers:
		return "camera answers";
	case iicbus::CameraSeen::Silent:
		return "no camera";
	case iicbus::CameraSeen::NotProbed:
		break;
	}
	return "not probed";
}

} // namespace

std::string DescribeBus(const iicbus::BusListing &bus)
{
	return bus.node + "  \"" + bus.adapter + "\"  " + (bus.usb ? "USB" : "not USB") + "  " +
	       (bus.allowed ? std::string("allowed") : Why(bus)) + "  " + CameraText(bus.camera);
}

int ListBuses(const std::vector<iicbus::BusListing> &buses, std::ostream &out, std::ostream &err)
{
	int cameras = 0;
	for (const iicbus::BusListing &bus : buses) {
		out << DescribeBus(bus) << '\n';
		cameras += bus.camera == iicbus::CameraSeen::Answers ? 1 : 0;
	}
	out << std::flush;
	if (cameras == 1)
		return kSuccess;
	if (buses.empty())
		err << "velmora-eeprom: no i2c-dev bus at all (is the i2c-dev module loaded?)\n";
	else if (cameras == 0)
		err << "velmora-eeprom: the camera answers on no bus the tool may use\n";
	else
		err << "velmora-eeprom: the camera answers on " << cameras << " buses: name one with --bus\n";
	return kBusFailure;
}

} // namespace eeprom_cli
