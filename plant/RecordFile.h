// A JSON Lines report read back as records, and the words a record's
// result may be.
#pragma once

#include "Record.h"

#include <string>
#include <vector>

namespace plant {

// Reads a JSON Lines report. Lines that are no records are skipped, each
// said in skipped ("line 3: not a JSON object"); a record without an id
// (written before records had one) gets "line:N" so it stays one unit.
// why says why the file could not be read.
std::vector<Record> ReadRecordFile(const std::string &path, std::vector<std::string> &skipped,
				   std::string &why);

// read, verified, mismatch, bus-failure, refused, interrupted,
// file-not-written, no-result, failed, frame-failed.
bool IsResultWord(const std::string &word);

} // namespace plant
