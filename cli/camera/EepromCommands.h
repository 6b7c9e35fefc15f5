// The tool's four operations on the settings EEPROM. Each returns what
// happened instead of printing it, so the front end decides where the
// words go and tests read them directly.
#pragma once

#include "EepromBus.h"
#include "ExitStatus.h"
#include "FrameCheck.h"
#include "InputFile.h"
#include "Operations.h"
#include "Progress.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace eeprom_cli {

struct CommandResult {
	int status = tool::kSuccess;
	// On failure: the one line for standard error, made from result. On
	// success: a summary.
	std::string message;
	// What the operation reported: where it stopped and why, as fields.
	operations::Result result{};
	std::string adapter{}; // the bus as the adapter library named it
	// The camera's own process gave no result: it could not be started,
	// or it ended without one. What happened to the camera is not known.
	bool noResult = false;
	// --frame-check: what the camera's picture showed after it verified.
	std::optional<video::FrameReport> frame{};
	// The pages written when the run chose them by what the unit holds
	// (its trim kept); empty: those the command line planned.
	std::vector<int> pages{};
};

// A settings file accepted by the panel's rules.
using SettingsImage = operations::SettingsImage;

// Reads and checks a settings file. A refusal (kRefusedFile) ends with
// consequence, which tells the operator what did not happen; its result
// still holds the SHA-256 of the bytes read.
CommandResult LoadImage(const std::string &path, const char *consequence, SettingsImage &image);

// What a settings file read from standard input is called in messages.
inline constexpr char kStandardInput[] = "standard input";
// The same for a file's text read from standard input; input.why refuses it
// when it could not be read.
CommandResult LoadStandardInput(const fileio::InputText &input, const char *consequence,
				SettingsImage &image);

// Writes a settings file's text whole; "" or why it was not written.
using TextSink = std::function<std::string(std::string_view)>;

// All 8 pages into a settings file; a failed read leaves no file behind.
CommandResult DumpEeprom(EepromBus &bus, tool::Progress &progress, const std::string &path);
// All 8 pages read, then their text written by sink (standard output);
// a failed read writes nothing.
CommandResult DumpEepromTo(EepromBus &bus, tool::Progress &progress, const TextSink &sink);
// The image's pages (pages: only those, ascending; empty: every one), then
// a verification of every page written. The other pages are not touched.
CommandResult ProgramEeprom(EepromBus &bus, tool::Progress &progress, const SettingsImage &image,
			    const std::vector<int> &pages = {});
// Station mode: the image's pages, but for a unit whose page 4 holds a
// trim (byte 0 not 0xFF) pages 4 to 6 stay as the unit has them, as its
// calibration is its own; an erased unit gets the file's. outcome.pages
// names the pages written.
CommandResult ProgramKeepingTrims(EepromBus &bus, tool::Progress &progress, const SettingsImage &image);
// Compares the EEPROM with the image's pages (or only pages); the first
// difference is named.
CommandResult CompareEepromWithImage(EepromBus &bus, tool::Progress &progress, const SettingsImage &image,
				     const std::vector<int> &pages = {});
// Page 3 (the settings script) to 0xFF, then read back.
CommandResult EraseSettings(EepromBus &bus, tool::Progress &progress);

// An operation's failure in the tool's words: direction, page and byte,
// and the adapter's message for the status.
std::string FailureText(const operations::Result &result);

} // namespace eeprom_cli
