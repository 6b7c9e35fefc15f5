// The record of one camera (plant::Record, one JSON object per line),
// made from what the run knows: the command line, the file as loaded, and
// the camera's outcome.
#pragma once

#include "CameraRun.h"
#include "Record.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace eeprom_cli {

// What every record of one run shares.
struct RecordBase {
	std::string station; // --station, else the host name
	std::optional<std::string> operatorName;
	std::string host;
	Verb verb = Verb::Verify;
	std::vector<int> pages; // planned: written, read or verified
};

// The file a record names: absolute path, SHA-256 and size of its bytes.
struct RecordedFile {
	std::optional<std::string> path;
	std::optional<std::string> sha256;
	std::optional<std::int64_t> size;
};
// sha256: of the size bytes as loaded or written ("" none: then no size
// either). path "-" (standard input or output) or "": no path.
RecordedFile DescribeFile(const std::string &path, const std::string &sha256, std::size_t size);

struct CameraFacts {
	std::string busGiven; // "" when the adapter library found it
	std::string busFound; // what was opened, "" when unknown
	std::optional<int> camera;
	std::optional<std::string> unit;
	RecordedFile file;
	CommandResult outcome;
	std::time_t started = 0;
	std::int64_t durationUs = 0;
};

// Every field the facts give; what they do not is null, never "".
plant::Record MakeRecord(const RecordBase &base, const CameraFacts &facts);

std::string HostName();

} // namespace eeprom_cli
