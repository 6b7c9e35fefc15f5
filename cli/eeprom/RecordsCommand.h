// velmora-eeprom records SOURCE [--since T] [--until T] [--station S]
// [--unit U] [--result R] [--json] [--html FILE]: the summary of a JSON
// Lines report file or of the plant's database, on the tool's own option
// parser. The plant library reads and sums; this says it.
#pragma once

#include "Options.h"
#include "ToolEnvironment.h"

#include <string>

namespace eeprom_cli {

// The usage lines of the command, for records --help.
extern const char kRecordsUsageText[];

// What the parser cannot know: one SOURCE, a known result word, times
// that are UTC days or times, no option of the camera commands.
std::string CheckRecordsCommand(const tool::CommandLine &cl);

// Runs a command line CheckRecordsCommand accepted; returns the status.
int RunRecords(const tool::CommandLine &cl, tool::ToolEnvironment &env);

} // namespace eeprom_cli
