// velmora-eeprom send-records [TARGET]: the stations' journals on this
// computer sent to their databases, with what each sent and what waits.
#pragma once

#include "ToolEnvironment.h"

#include <string>
#include <vector>

namespace eeprom_cli {

// 0 when every journal is empty now; 6 when records still wait (or the
// database refused TARGET's table); 2 for a wrong command line.
int RunSendRecords(const std::vector<std::string> &args, tool::ToolEnvironment &env);

} // namespace eeprom_cli
