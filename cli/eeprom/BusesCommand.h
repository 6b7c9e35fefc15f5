// velmora-eeprom buses: every i2c-dev bus, whether the tool may use it and
// whether the camera answers on it.
#pragma once

#include "BusIdentity.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace eeprom_cli {

// One line for the bus: "/dev/i2c-3  "CP2112 SMBus Bridge"  USB  allowed  camera".
std::string DescribeBus(const iicbus::BusListing &bus);

// Prints every bus on out; the exit status is kSuccess when the camera
// answers on exactly one bus, else kBusFailure with the reason on err.
int ListBuses(const std::vector<iicbus::BusListing> &buses, std::ostream &out, std::ostream &err);

} // namespace eeprom_cli
