// velmora-eeprom show and diff: the settings EEPROM, from a file or the
// camera, as the named values the panel saved and then as hex.
#pragma once

#include "ToolEnvironment.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace eeprom_cli {

using tool::ToolEnvironment;

// Runs show or diff on the words of a command line already checked ("show
// FILE|--camera", "diff A B"), on the bus already chosen; the exit status
// as the tool's other commands (5: diff found differences).
int RunShowCommand(const std::vector<std::string> &words, tool::ToolEnvironment &env);

struct NamedValue {
	std::string name;
	std::string text;
};

// What page 3 (the saved settings script), the freeze-gain marker of page
// 1 and the trims of page 4 say, for the pages the image holds (a whole
// number of 256-byte pages from page 0).
std::vector<NamedValue> NamedSettings(std::span<const std::uint8_t> eeprom);

// The lines of a comparison: named values that differ, then every byte
// that differs, by page and byte. Empty when the two are the same.
std::vector<std::string> DiffLines(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b);

} // namespace eeprom_cli
