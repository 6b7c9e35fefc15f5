// velmora-eeprom snapshot: one frame of the camera's picture into a PNG
// file, and the frame's mean levels on standard output.
#pragma once

#include "ToolEnvironment.h"

#include <string>
#include <vector>

namespace eeprom_cli {

// args after "snapshot"; returns the exit status (ExitStatus.h).
int RunSnapshot(const std::vector<std::string> &args, tool::ToolEnvironment &env);

} // namespace eeprom_cli
