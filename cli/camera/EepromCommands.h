// The tool's four operations on the settings EEPROM. Each returns what
// happened instead of printing it, so the front end decides where the
// words go and tests read them directly.
#pragma once

#include "EepromBus.h"
#include "ExitStatus.h"
#include "Operations.h"
#include "Progress.h"

#include <string>

namespace eeprom_cli {

struct Outcome {
	int status = kSuccess;
	// On failure: the one line for standard error, made from result. On
	// success: a summary.
	std::string message;
	// What the operation reported: where it stopped and why, as fields.
	operations::Result result{};
	std::string adapter{}; // the bus as the adapter library named it
};

// A settings file accepted by the panel's rules.
using SettingsImage = operations::SettingsImage;

// Reads and checks a settings file. A refusal (kRefusedFile) ends with
// consequence, which tells the operator what did not happen; its result
// still holds the SHA-256 of the bytes read.
Outcome LoadImage(const std::string &path, const char *consequence, SettingsImage &image);

// All 8 pages into a settings file; a failed read leaves no file behind.
Outcome DumpEeprom(EepromBus &bus, Progress &progress, const std::string &path);
// Every page of the image, then a verification of every page written.
Outcome ProgramEeprom(EepromBus &bus, Progress &progress, const SettingsImage &image);
// Compares the EEPROM with the image's pages; the first difference is named.
Outcome CompareEepromWithImage(EepromBus &bus, Progress &progress, const SettingsImage &image);
// Page 3 (the settings script) to 0xFF, then read back.
Outcome EraseSettings(EepromBus &bus, Progress &progress);

// An operation's failure in the tool's words: direction, page and byte,
// and the adapter's message for the status.
std::string FailureText(const operations::Result &result);

} // namespace eeprom_cli
