// The .qmx settings file: a readable copy of the camera's whole settings
// EEPROM, 8 pages of 256 bytes.
//
// Layout, as the writer produces it (every line ends in CR LF):
//   "//Settings file : " + the file's path
//   per page p: "//Page p of the EEprom:" + TAB, then 16 lines of 16 values,
//   each value two upper-case hexadecimal digits and a blank.
//
// Plain functions over plain data: no bus, no dialog, no messages shown.
// Callers decide how to report a refusal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

constexpr int kPageSize = 256;
constexpr int kPages = 8;
constexpr int kFileValues = kPageSize * kPages; // 2048
constexpr int kValuesPerLine = 16;
// Far more than 8 pages with long comments; a bigger file is no settings
// file, wherever it is read from.
constexpr std::size_t kMaxFileBytes = 1 << 20;

// The value of a hexadecimal digit ('0'-'9', 'A'-'F', 'a'-'f'), or -1 for
// any other character.
int HexDigitValue(int c);

// One data line: the low bytes of 16 entries, "XX " each, then CR LF.
std::string FormatSettingsLine(std::span<const std::uint16_t, kValuesPerLine> values);

// The whole file text for 2048 entries (entry p * 256 + k is byte k of
// page p; only the low 8 bits are written).
std::string FormatSettingsFile(std::string_view path, std::span<const std::uint16_t, kFileValues> values);

struct SaveResult {
	bool ok = false;
	std::string reason; // why the file was not written
};

// Writes the file at path as fileio::ReplaceRegularFile does: whole or not
// at all, only over a regular file that may be written.
SaveResult SaveSettingsFile(const std::string &path, std::span<const std::uint16_t, kFileValues> values);

// Before SaveSettingsFile replaces a file that holds something else than
// these values would write, its content is kept beside it as PATH~ (one
// such copy, replaced each time).
// ok with nothing done when there is no such file or it would not change;
// not ok, with the reason, when the copy could not be made, and then the
// file must not be replaced.
SaveResult KeepPreviousSettingsFile(const std::string &path,
				    std::span<const std::uint16_t, kFileValues> values);
// The name of the copy KeepPreviousSettingsFile keeps of path.
std::string PreviousSettingsFileName(const std::string &path);

// Why a file was refused. line is 1-based; 0 means the file as a whole.
struct Refusal {
	int line = 0;
	std::string message;
};

// The reader's result: the values in file order, or a refusal (then the
// values are empty: nothing of a damaged file may be used).
struct LoadedSettings {
	std::vector<std::uint16_t> values;
	bool ok = false;
	Refusal refusal;
	// LoadSettingsFile: the file's bytes, once they were read to the end.
	std::optional<std::string> text;
};

// Reads values: two hexadecimal digits each (either case), separated by
// blanks, TABs and line ends (LF or CR LF); a '/' where a value could begin
// starts a comment up to the end of its line. Any other character, a lone
// digit, a value of more than two digits or more than 8 pages of values
// refuse the file, naming the line.
LoadedSettings ReadSettings(std::istream &in);
LoadedSettings ParseSettings(std::string_view text);
LoadedSettings LoadSettingsFile(const std::string &path);

struct PageCount {
	int pages = 0;
	bool ok = false;
	std::string refusal;
};

// The number of EEPROM pages a file's values fill: only whole pages, at
// least one and at most 8, are accepted.
PageCount SettingsPageCount(std::size_t values);

// "line 12: ..." or the message alone for a refusal of the whole file.
std::string DescribeRefusal(const Refusal &refusal);

} // namespace settings
