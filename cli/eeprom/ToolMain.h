// velmora-eeprom's command line: options, confirmation, progress and exit
// status. main() only supplies the process's streams and clock, so tests
// run the whole tool in-process against the simulated camera.
#pragma once

#include "Production.h"
#include "ToolEnvironment.h"

#include <string>
#include <vector>

namespace eeprom_cli {

// args without the program's name; returns the exit status (ExitStatus.h).
int RunTool(const std::vector<std::string> &args, tool::ToolEnvironment &env, const LineSeams &seams = {});

} // namespace eeprom_cli
