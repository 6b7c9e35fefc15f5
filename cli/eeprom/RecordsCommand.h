// velmora-eeprom records SOURCE [--since T] [--until T] [--station S]
// [--unit U] [--result R] [--json] [--html FILE]: the summary of a JSON
// Lines report file or of the plant's database. The front end hands over
// the arguments after "records" and its streams.
#pragma once

#include "Record.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace plant {

// Exit statuses, the same values as velmora-eeprom's own.
enum RecordsStatus {
	kRecordsDone = 0,
	kRecordsUsage = 2,      // bad command line
	kRecordsUnreadable = 3, // the file cannot be read, or the database refused
};

int RunRecords(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

// The usage lines of the command, for --help.
extern const char kRecordsUsageText[];

// Reads a JSON Lines report. Lines that are no records are skipped, each
// said in skipped ("line 3: not a JSON object"); a record without an id
// (written before records had one) gets "line:N" so it stays one unit.
std::vector<Record> ReadRecordFile(const std::string &path, std::vector<std::string> &skipped,
				   std::string &why);

} // namespace plant
