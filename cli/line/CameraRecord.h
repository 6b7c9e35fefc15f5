// The record of one camera for a quality system: one JSON object per line
// (JSON Lines), appended to a file that several stations may share.
#pragma once

#include "CameraRun.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace eeprom_cli {

struct CameraRecord {
	std::time_t time = 0; // when the camera's run began
	std::string host;
	std::string bus;
	std::string adapter;
	std::string command;
	std::string file;   // empty for erase-settings
	std::string sha256; // of the file's bytes as loaded or written; empty when there are none
	int pages = 0;
	std::optional<int> camera; // station mode: the camera's number in the session
	Outcome outcome;
	std::int64_t durationUs = 0;
};

// One line, ending in '\n'.
std::string RecordLine(const CameraRecord &record);

// Appends line with one write() on a file opened O_APPEND, so lines from
// several processes never interleave. Returns an empty string, or why not.
std::string AppendRecordLine(const std::string &path, const std::string &line);

// "2026-12-07T13:48:45Z"
std::string IsoUtc(std::time_t time);

std::string HostName();

} // namespace eeprom_cli
