// A JSON Lines report read back as records, and the words a record's
// result may be.
#pragma once

#include "Record.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plant {

// The largest report file read (a plant's records of years belong in its
// database), and the longest line: a record is under 2 KiB.
inline constexpr std::uint64_t kMaxRecordFileBytes = std::uint64_t{ 1 } << 30;
inline constexpr std::size_t kMaxRecordLineBytes = 64 * 1024;
// A file none of whose first lines, up to this many, is a record is no
// report at all (a settings file, a log), and is refused as a whole.
inline constexpr int kRecordFileProbeLines = 5;

// Reads a JSON Lines report, a regular file only (a FIFO, a device or a
// directory is refused with why, before a byte is read). Lines that are
// no records are skipped, each said in skipped ("line 3: not a JSON
// object"); a record without an id (written before records had one) gets
// "line:N" so it stays one unit. why says why the file could not be read
// or is refused ("PATH: not a record file (line 1: ...)").
std::vector<Record> ReadRecordFile(const std::string &path, std::vector<std::string> &skipped,
				   std::string &why);

// read, verified, mismatch, bus-failure, refused, interrupted,
// file-not-written, no-result, failed, frame-failed.
bool IsResultWord(const std::string &word);

} // namespace plant
