#include "BusCaption.h"

#include <cctype>

namespace {

constexpr char kProgram[] = "Velmora";
constexpr char kGuide[] = "/usr/share/doc/velmora/guide.md";

} // namespace

std::string BusWindowTitle(const iicbus::BusIdentity &bus)
{
	if (!bus.known)
		return kProgram;
	return std::string(kProgram) + " - " + bus.bus;
}

std::string BusAboutText(const iicbus::BusIdentity &bus)
{
	if (!bus.known)
		return "Bus: not yet used";
	if (!bus.opened)
		return "Bus: " + bus.bus + " (not opened)";
	return "Bus: " + bus.bus;
}

std::string BusFailureMessage(const char *adapterMessage, const iicbus::BusIdentity &bus)
{
	std::string text = adapterMessage;
	std::string reason = iicbus::OperatorBusReason(bus);
	if (reason.empty())
		return text;
	reason[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(reason[0])));
	text += "\n\n" + reason + ".\n\n";
	if (bus.bus == "no adapter")
		text += "Plug in the USB-to-I2C adapter with the camera, then push Connect. ";
	text += std::string("See \"") + (bus.accessDenied ? "Access as a normal user" : "Which camera") +
		"\" in the guide, " + kGuide + ".";
	return text;
}
