#include "EepromCommands.h"

#include "SettingsFile.h"
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
	return { status, std::move(message), std::nullopt };
}

// The panel's wording of a refused file.
Outcome Refuse(const std::string &path, const std::string &why, const char *consequence)
{
	return Fail(kRefusedFile,
		    "The settings file " + path + " cannot be used: " + why + ". " + consequence);
}

Outcome Mismatch(const Difference &d, const char *expectation)
{
	char text[128];
	std::snprintf(text, sizeof(text),
		      "verification failed: EEPROM page %d byte 0x%02x is 0x%02X, %s 0x%02X", d.page, d.byte,
		      d.found, expectation, d.expected);
	return { kMismatch, text, d };
}

// Reads pages from firstPage on block by block and hands each block to
// check, which returns the first byte that is wrong.
template <typename Check>
Outcome ReadPages(EepromBus &bus, Progress &progress, int firstPage, int pages, const char *expectation,
		  Check check)
{
	progress.Begin("verify", pages * kBlocksPerPage);
	for (int page = firstPage; page < firstPage + pages; page++) {
		for (int offset = 0; offset < EEPROM_PAGE_SIZE; offset += kBlock) {
			unsigned char block[kBlock];
			if (!bus.ReadBlock(page, offset, block, kBlock))
				return Fail(kBusFailure, bus.Failure());
			if (std::optional<Difference> wrong = check(page, offset, block))
				return Mismatch(*wrong, expectation);
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
	return { kSuccess, PagesText(EEPROM_PAGES) + " of the EEPROM written to " + path, std::nullopt };
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

	Outcome verified = VerifyEeprom(bus, progress, image);
	if (verified.status != kSuccess)
		return verified;
	return { kSuccess, PagesText(image.pages) + " of " + image.path + " written and verified",
		 std::nullopt };
}

Outcome VerifyEeprom(EepromBus &bus, Progress &progress, const SettingsImage &image)
{
	Outcome outcome = ReadPages(
		bus, progress, 0, image.pages, "the file has",
		[&](int page, int offset, const unsigned char *block) -> std::optional<Difference> {
			const std::uint16_t *file =
				&image.values[static_cast<size_t>(page * EEPROM_PAGE_SIZE + offset)];
			for (int i = 0; i < kBlock; i++) {
				int expected = file[i] & 0xFF;
				if (block[i] != expected)
					return Difference{ page, offset + i, block[i], expected };
			}
			return std::nullopt;
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
		bus, progress, PAGE_SCRIPT, 1, "not",
		[](int page, int offset, const unsigned char *block) -> std::optional<Difference> {
			for (int i = 0; i < kBlock; i++) {
				if (block[i] != 0xFF)
					return Difference{ page, offset + i, block[i], 0xFF };
			}
			return std::nullopt;
		});
	progress.End();
	if (outcome.status == kSuccess)
		outcome.message = "EEPROM page 3 erased and verified";
	return outcome;
}

} // namespace eeprom_cli
