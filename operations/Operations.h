// The EEPROM operations the panel and the tools share: load and check a
// settings file, write its pages, verify them, read pages into a file,
// fill, and write Save's settings script. Each returns one Result that
// says what happened and, when it failed, where and why, as fields; the
// front ends turn it into their own words. No Qt, nothing printed.
#pragma once

#include "EepromEngine.h"
#include "SettingsScript.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace operations {

enum class ResultKind {
	Done,
	Refused,        // the settings file cannot be used; nothing was sent
	BusFailure,     // a transfer failed: status, device, page, block, byte say which
	Mismatch,       // the EEPROM differs: page and byte, found and expected
	Stopped,        // a stop request ended it between two transfers
	FileNotWritten, // the bytes were read, the file was not written
};

struct Result {
	ResultKind outcome = ResultKind::Done;
	eeprom::Direction direction = eeprom::Direction::None;
	int status = 0;         // the adapter's; 0 when there was none
	std::string statusName; // the adapter's name of it ("QXIIC_NACK")
	int device = 0;         // bus address of the transfer that ended it
	int page = 0;
	int block = 0; // the EEPROM's 16-byte write page within the page
	int byte = 0;  // within the page
	int found = 0; // Mismatch: the EEPROM's byte and the expected one
	int expected = 0;
	bool timedOut = false; // not acknowledged within the write-cycle limit
	std::string reason;    // Refused, FileNotWritten: why, from the settings file's rules
	std::string sha256;    // a loaded or written file: its bytes' SHA-256, lower-case hex
	std::size_t size = 0;  // with sha256: how many bytes it is of

	bool Ok() const { return outcome == ResultKind::Done; }
	bool operator==(const Result &) const = default;
};

// A settings file accepted by the panel's rules: a whole number of pages
// (1 to 8), one byte per value, in file order.
struct SettingsImage {
	std::string path;
	std::vector<std::uint8_t> bytes;
	int pages = 0;
	std::string sha256; // of the file's bytes as they were loaded
	std::size_t size = 0;

	bool operator==(const SettingsImage &) const = default;
};

// How a verification or a copy into a file reads.
enum class Compare {
	AtEachRead,   // stop at the first block with a difference
	AfterReading, // read every page, then compare
};
struct ReadPlan {
	int unit = kl310::EEPROM_WRITE_PAGE_SIZE;
	eeprom::ReadForm form = eeprom::ReadForm::Write;
	Compare compare = Compare::AtEachRead;
};

// What hashes a file's bytes for a record: lower-case hex SHA-256, or ""
// with why in failure. Without one (the panel keeps no records) a result
// carries no sha256, only the size.
using Hasher = std::string (*)(std::string_view bytes, std::string &failure);

// The result's sha256 is of the bytes read from the file, also when the
// file is refused for what it holds. A hash that cannot be made refuses
// the file: a record must name the bytes it was about.
Result LoadSettings(const std::string &path, SettingsImage &image, Hasher hasher = nullptr);
// The same checks for a file's text read by the caller (standard input);
// name stands for the file in the image's path.
Result LoadSettingsText(std::string_view text, const std::string &name, SettingsImage &image,
			Hasher hasher = nullptr);

// The image's pages from page 0 on.
Result WritePages(eeprom::Engine &engine, const SettingsImage &image);
// Only the image's pages firstPage to firstPage + pages - 1; the others
// are not touched (a unit's own trims stay). Pages the image does not
// hold are refused before anything is sent.
Result WritePages(eeprom::Engine &engine, const SettingsImage &image, int firstPage, int pages);

// The pages from firstPage on against expected (a whole number of pages).
Result Verify(eeprom::Engine &engine, int firstPage, std::span<const std::uint8_t> expected,
	      const ReadPlan &plan);
Result VerifyImage(eeprom::Engine &engine, const SettingsImage &image, const ReadPlan &plan);

// Pages from firstPage on into out (a whole number of pages).
Result Read(eeprom::Engine &engine, int firstPage, std::span<std::uint8_t> out, const ReadPlan &plan);

// Every page into a settings file at path; a failed read writes no file.
// The file is read back and must hold exactly the bytes written; the
// result's sha256 is of those bytes (with a hasher; one that fails is
// FileNotWritten: the record could not name them). With Previous::Keep, a
// file there that held something else is first kept as NAME~, and is
// never replaced when that copy cannot be made.
enum class Previous { Replace, Keep };
Result ReadPagesToFile(eeprom::Engine &engine, const std::string &path, const ReadPlan &plan,
		       Previous previous = Previous::Replace, Hasher hasher = nullptr);

// Every page as a settings file's text, with name in its header; a
// failed read leaves text as it was. The result's sha256 is of the text.
Result ReadPagesToText(eeprom::Engine &engine, std::string_view name, const ReadPlan &plan, std::string &text,
		       Hasher hasher = nullptr);

// value from offset to the end of page.
Result Fill(eeprom::Engine &engine, int page, int offset, std::uint8_t value);

// Save's script byte by byte into the script page from offset on, with
// the freeze-gain marker at its place; bytes in the script's quiet range
// and the marker move no progress.
Result WriteScript(eeprom::Engine &engine, const settings::SettingsScript &script, int offset);

} // namespace operations
