#include "BusOption.h"

namespace eeprom_cli {

bool TakeBusOption(const std::vector<std::string> &args, std::size_t &i, std::string &bus)
{
	const std::string &arg = args[i];
	if (arg.starts_with("--bus=")) {
		bus = arg.substr(6);
		return true;
	}
	if (arg != "--bus")
		return false;
	bus = i + 1 < args.size() ? args[++i] : std::string();
	return true;
}

std::string BusMissing()
{
	return std::string("--bus needs a bus (") + kBusChoices + ")";
}

} // namespace eeprom_cli
