// --pages: which pages of a settings file a command writes or compares,
// so that what belongs to each unit (its trims) stays as the camera has it.
#pragma once

#include <string>
#include <vector>

namespace eeprom_cli {

// "0-3", "0-3,7", "5": pages 0 to 7, ascending, each once. Returns why
// the text is no list of pages, or "".
std::string ParsePageList(const std::string &text, std::vector<int> &pages);

// "0-3,7": the shortest way to write pages (ascending).
std::string PageListText(const std::vector<int> &pages);

} // namespace eeprom_cli
