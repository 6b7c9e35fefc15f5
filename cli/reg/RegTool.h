// velmora-reg's command line: get, set, dump and run on the camera
// sensor's registers. main() only supplies the process's streams and
// clock, so tests run the whole tool in-process against the simulator.
#pragma once

#include "ToolEnvironment.h"

#include <string>
#include <vector>

namespace reg_cli {

// args without the program's name; returns the exit status (ExitStatus.h).
int RunRegTool(const std::vector<std::string> &args, tool::ToolEnvironment &env);

} // namespace reg_cli
