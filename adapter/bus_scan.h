// The i2c-dev buses sysfs lists, for finding the adapter and for the
// listing of buses (qxiic.h's IICScanBuses).
#pragma once

#include "bus_guard.h"

#include <string>
#include <vector>

namespace qxiic {

// Every class/i2c-dev/i2c-N under the sysfs root, by N.
std::vector<AdapterInfo> ListAdapters();

// Its node under the /dev root.
std::string NodePath(const AdapterInfo &adapter);

// One line per bus, fields separated by tabs: node, adapter name, "usb"
// or "not usb", "allowed" or the refusal, and "camera", "no camera" or
// "not probed". Only allowed buses are opened and probed.
std::string ScanBuses();

} // namespace qxiic
