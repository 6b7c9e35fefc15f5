// The --bus option as every command-line tool takes it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace eeprom_cli {

// What a bus may be, for help texts and refusals.
inline constexpr char kBusChoices[] = "/dev/i2c-N, sim or sim:0 to sim:7";

// Takes "--bus BUS" or "--bus=BUS" at args[i], moving i past its value,
// and returns false for any other argument. A --bus with nothing after it
// gives an empty bus, which the caller refuses with BusMissing().
bool TakeBusOption(const std::vector<std::string> &args, std::size_t &i, std::string &bus);

// "--bus needs a bus (...)"
std::string BusMissing();

} // namespace eeprom_cli
