// The tool's four operations on the settings EEPROM. Each returns what
// happened instead of printing it, so the front end decides where the
// words go and tests read them directly.
#pragma once

#include "EepromBus.h"
#include "ExitStatus.h"
#include "Progress.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace eeprom_cli {

// The first byte that verification found wrong.
struct Difference {
	int page = 0;
	int byte = 0;
	int found = 0;
	int expected = 0;
};

struct Outcome {
	int status = kSuccess;
	// On failure: the one line for standard error. On success: a summary.
	std::string message;
	std::optional<Difference> difference{}; // with kMismatch
	std::string adapter{};                  // the bus as the adapter library named it
};

// A settings file accepted by the panel's rules: values in file order, a
// whole number of pages (1 to 8).
struct SettingsImage {
	std::string path;
	std::vector<std::uint16_t> values;
	int pages = 0;
};

// Reads and checks a settings file. A refusal (kRefusedFile) ends with
// consequence, which tells the operator what did not happen.
Outcome LoadImage(const std::string &path, const char *consequence, SettingsImage &image);

// All 8 pages into a settings file; a failed read leaves no file behind.
Outcome DumpEeprom(EepromBus &bus, Progress &progress, const std::string &path);
// The image's pages (pages: only those, ascending; empty: every one), then
// a verification of every page written. The other pages are not touched.
Outcome ProgramEeprom(EepromBus &bus, Progress &progress, const SettingsImage &image,
		      const std::vector<int> &pages = {});
// Compares the EEPROM with the image's pages (or only pages); the first
// difference is named.
Outcome CompareEepromWithImage(EepromBus &bus, Progress &progress, const SettingsImage &image,
			       const std::vector<int> &pages = {});
// Page 3 (the settings script) to 0xFF, then read back.
Outcome EraseSettings(EepromBus &bus, Progress &progress);

} // namespace eeprom_cli
