#include "EepromCommands.h"

#include "SettingsFileFormat.h"
#include "registers.h"

#include <algorithm>
#include <array>
#include <cstdio>

using namespace kl310;

namespace eeprom_cli {

namespace {

constexpr int kBlock = EEPROM_WRITE_PAGE_SIZE;
constexpr int kBlocksPerPage = EEPROM_PAGE_SIZE / kBlock;

// The EEPROM as the file sees it: 8 pages, in file order.
static_assert(settings::kPages == EEPROM_PAGES && settings::kPageSize == EEPROM_PAGE_SIZE);

Outcome Fail(int status, std::string message)
{
	return { status, std::move(message) };
}

// The panel's wording of a refused file.
Outcome Refuse(const std::string &path, const std::string &why, const char *consequence)
{
	return Fail(kRefusedFile,
		    "The settings file " + path + " cannot be used: " + why + ". " + consequence);
}

std::string Mismatch(int page, int offset, int found, int expected, const char *expectation)
{
	char text[128];
	std::snprintf(text, sizeof(text),
		      "verification failed: EEPROM page %d byte 0x%02x is 0x%02X, %s 0x%02X", page, offset,
		      found, expectation, expected);
	return text;
}

// Reads pages from firstPage on block by block and hands each block to
// check, which returns a non-empty message at the first byte that is wrong.
template <typename Check>
Outcome ReadPages(EepromBus &bus, Progress &progress, int firstPage, int pages, Check check)
{
	progress.Begin("verify", pages * kBlocksPerPage);
	for (int page = firstPage; page < firstPage + pages; page++) {
		for (int offset = 0; offset < EEPROM_PAGE_SIZE; offset += kBlock) {
			unsigned char block[kBlock];
			if (!bus.ReadBlock(page, offset, block, kBlock))
				return Fail(kBusFailure, bus.Failure());
			if (std::string wrong = check(page, offset, block); !wrong.empty())
				return Fail(kMismatch, wrong);
			progress.Step();
		}
	}
	return {};
}

std::string PagesText(int pages)
{
	return std::to_string(pages) + (pages == 1 ? " page" : " pages");
}

} // namespace

Outcome LoadImage(const std::string &path, const char *consequence, SettingsImage &image)
{
	settings::LoadedSettings loaded = settings::LoadSettingsFile(path);
	if (!loaded.ok)
		return Refuse(path, settings::DescribeRefusal(loaded.refusal), consequence);
	settings::PageCount count = settings::SettingsPageCount(loaded.values.size());
	if (!count.ok)
		return Refuse(path, count.refusal, consequence);
	image.path = path;
	image.values = std::move(loaded.values);
	image.pages = count.pages;
	return {};
}

Outcome DumpEeprom(EepromBus &bus, Progress &progress, const std::string &path)
{
	std::array<std::uint16_t, settings::kFileValues> values{};
	progress.Begin("read", EEPROM_PAGES * kBlocksPerPage);
	for (int page = 0; page < EEPROM_PAGES; page++) {
		for (int offset = 0; offset < EEPROM_PAGE_SIZE; offset += kBlock) {
			unsigned char block[kBlock];
			// A file must hold only bytes that were really read.
			if (!bus.ReadBlock(page, offset, block, kBlock))
				return Fail(kBusFailure, bus.Failure() + "; no file was written");
			for (int i = 0; i < kBlock; i++)
				values[static_cast<size_t>(page * EEPROM_PAGE_SIZE + offset + i)] = block[i];
			progress.Step();
		}
	}
	progress.End();

	settings::SaveResult saved = settings::SaveSettingsFile(path, values);
	if (!saved.ok)
		return Fail(kFileNotWritten,
			    "The settings file " + path + " was not written: " + saved.reason + ".");
	// What a later "program" will read must be what the camera holds.
	settings::LoadedSettings back = settings::LoadSettingsFile(path);
	if (!back.ok || !std::equal(values.begin(), values.end(), back.values.begin(), back.values.end()))
		return Fail(kFileNotWritten,
			    "The settings file " + path + " does not read back as it was written.");
	return { kSuccess, PagesText(EEPROM_PAGES) + " of the EEPROM written to " + path };
}

Outcome ProgramEeprom(EepromBus &bus, Progress &progress, const SettingsImage &image)
{
	progress.Begin("write", image.pages * kBlocksPerPage);
	for (int page = 0; page < image.pages; page++) {
		for (int offset = 0; offset < EEPROM_PAGE_SIZE; offset += kBlock) {
			const std::uint16_t *values =
				&image.values[static_cast<size_t>(page * EEPROM_PAGE_SIZE + offset)];
			if (!bus.WriteBlock(page, offset, values, kBlock))
				return Fail(kBusFailure,
					    bus.Failure() +
						    "; the EEPROM is partly written and not verified");
			progress.Step();
		}
	}
	progress.End();

	Outcome verified = CompareEepromWithImage(bus, progress, image);
	if (verified.status != kSuccess)
		return verified;
	return { kSuccess, PagesText(image.pages) + " of " + image.path + " written and verified" };
}

Outcome CompareEepromWithImage(EepromBus &bus, Progress &progress, const SettingsImage &image)
{
	Outcome outcome = ReadPages(
		bus, progress, 0, image.pages, [&](int page, int offset, const unsigned char *block) {
			const std::uint16_t *file =
				&image.values[static_cast<size_t>(page * EEPROM_PAGE_SIZE + offset)];
			for (int i = 0; i < kBlock; i++) {
				int expected = file[i] & 0xFF;
				if (block[i] != expected)
					return Mismatch(page, offset + i, block[i], expected, "the file has");
			}
			return std::string();
		});
	progress.End();
	if (outcome.status == kSuccess)
		outcome.message = "the EEPROM matches " + PagesText(image.pages) + " of " + image.path;
	return outcome;
}

Outcome EraseSettings(EepromBus &bus, Progress &progress)
{
	static const std::uint16_t kErased[kBlock] = {
		0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
		0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
	};
	progress.Begin("erase", kBlocksPerPage);
	for (int offset = 0; offset < EEPROM_PAGE_SIZE; offset += kBlock) {
		if (!bus.WriteBlock(PAGE_SCRIPT, offset, kErased, kBlock))
			return Fail(kBusFailure, bus.Failure() + "; page 3 is partly erased");
		progress.Step();
	}
	progress.End();

	Outcome outcome = ReadPages(
		bus, progress, PAGE_SCRIPT, 1, [](int page, int offset, const unsigned char *block) {
			for (int i = 0; i < kBlock; i++) {
				if (block[i] != 0xFF)
					return Mismatch(page, offset + i, block[i], 0xFF, "not");
			}
			return std::string();
		});
	progress.End();
	if (outcome.status == kSuccess)
		outcome.message = "EEPROM page 3 erased and verified";
	return outcome;
}

} // namespace eeprom_cli
