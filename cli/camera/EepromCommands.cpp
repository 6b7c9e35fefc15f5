#include "EepromCommands.h"

#include "BusIdentity.h"
#include "PageList.h"
#include "SettingsFileFormat.h"
#include "StopRequest.h"
#include "registers.h"

#include <algorithm>
#include <array>
#include <cstdio>

using namespace kl310;

namespace eeprom_cli {

namespace {

constexpr int kBlock = EEPROM_WRITE_PAGE_SIZE;

// The EEPROM as the file sees it: 8 pages, in file order.
static_assert(settings::kPages == EEPROM_PAGES && settings::kPageSize == EEPROM_PAGE_SIZE);

Outcome Fail(int status, std::string message)
{
	return { status, std::move(message), std::nullopt, {} };
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
		      "verification failed: EEPROM page %d byte 0x%02x is 0x%02x, %s 0x%02x", page, offset,
		      found, expectation, expected);
	return text;
}

// Progress steps follow the engine's transfers. Ctrl+C reaches the engine
// between two transfers, so the block on the wire is always finished.
eeprom::Engine &Start(EepromBus &bus, Progress &progress, const char *phase, int total)
{
	progress.Begin(phase, total);
	eeprom::Engine &engine = bus.Engine();
	if (StopRequested())
		engine.RequestStop();
	engine.OnProgress([&progress, &engine] {
		progress.Step();
		if (StopRequested())
			engine.RequestStop();
	});
	return engine;
}

// The verification's outcome: a bus failure or the first byte that differs.
Outcome Verified(EepromBus &bus, const char *expectation)
{
	const eeprom::Failure &f = bus.Engine().LastFailure();
	if (!f.mismatch)
		return Fail(kBusFailure, bus.Failure());
	return { kMismatch,
		 Mismatch(f.page, f.offset, f.found, f.expected, expectation),
		 Difference{ f.page, f.offset, f.found, f.expected },
		 {} };
}

std::string PagesText(int pages)
{
	return std::to_string(pages) + (pages == 1 ? " page" : " pages");
}

// The pages of a command in runs of neighbours, each one engine call.
struct PageRun {
	int first;
	int count;
};
std::vector<PageRun> Runs(const SettingsImage &image, const std::vector<int> &pages)
{
	if (pages.empty())
		return { { 0, image.pages } };
	std::vector<PageRun> runs;
	for (int page : pages) {
		if (!runs.empty() && runs.back().first + runs.back().count == page)
			runs.back().count++;
		else
			runs.push_back({ page, 1 });
	}
	return runs;
}

// "8 pages" or "4 pages (0-3)"
std::string PagesText(const SettingsImage &image, const std::vector<int> &pages)
{
	if (pages.empty())
		return PagesText(image.pages);
	return PagesText(static_cast<int>(pages.size())) + " (" + tool::PageListText(pages) + ")";
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
	eeprom::Engine &engine = Start(bus, progress, "read",
				       eeprom::Engine::ReadTransfers(EEPROM_PAGES, kBlock));
	// A file must hold only bytes that were really read.
	if (!engine.ReadPages(0, EEPROM_PAGES, values.data(), kBlock, eeprom::ReadForm::Write))
		return Fail(kBusFailure, bus.Failure() + "; no file was written");
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
	return { kSuccess, PagesText(EEPROM_PAGES) + " of the EEPROM written to " + path, std::nullopt, {} };
}

// A bus that could not be opened took nothing: saying "partly written"
// would send the operator after damage that is not there.
static bool NothingSent()
{
	iicbus::BusIdentity last = iicbus::LastBus();
	return last.known && !last.opened;
}

Outcome ProgramEeprom(EepromBus &bus, Progress &progress, const SettingsImage &image,
		      const std::vector<int> &pages)
{
	std::vector<PageRun> runs = Runs(image, pages);
	int total = 0;
	for (const PageRun &run : runs)
		total += eeprom::Engine::WriteTransfers(run.count);
	eeprom::Engine &engine = Start(bus, progress, "write", total);
	for (const PageRun &run : runs) {
		if (!engine.WritePages(run.first, run.count,
				       image.values.data() + run.first * EEPROM_PAGE_SIZE))
			return Fail(kBusFailure,
				    bus.Failure() +
					    (NothingSent()
						     ? "; nothing was written"
						     : "; the EEPROM is partly written and not verified"));
	}
	progress.End();

	Outcome verified = CompareEepromWithImage(bus, progress, image, pages);
	if (verified.status != kSuccess)
		return verified;
	return { kSuccess,
		 PagesText(image, pages) + " of " + image.path + " written and verified",
		 std::nullopt,
		 {} };
}

Outcome CompareEepromWithImage(EepromBus &bus, Progress &progress, const SettingsImage &image,
			       const std::vector<int> &pages)
{
	std::vector<PageRun> runs = Runs(image, pages);
	int total = 0;
	for (const PageRun &run : runs)
		total += eeprom::Engine::ReadTransfers(run.count, kBlock);
	eeprom::Engine &engine = Start(bus, progress, "verify", total);
	for (const PageRun &run : runs) {
		if (!engine.VerifyPages(run.first, run.count,
					image.values.data() + run.first * EEPROM_PAGE_SIZE, kBlock,
					eeprom::ReadForm::Write)) {
			progress.End();
			return Verified(bus, "the file has");
		}
	}
	progress.End();
	return { kSuccess,
		 "the EEPROM matches " + PagesText(image, pages) + " of " + image.path,
		 std::nullopt,
		 {} };
}

Outcome EraseSettings(EepromBus &bus, Progress &progress)
{
	eeprom::Engine &engine = Start(bus, progress, "erase", eeprom::Engine::FillTransfers(0));
	if (!engine.FillPage(PAGE_SCRIPT, 0, 0xFF))
		return Fail(kBusFailure, bus.Failure() + (NothingSent() ? "; nothing was written"
									: "; page 3 is partly erased"));
	progress.End();

	static const std::vector<std::uint16_t> kErased(EEPROM_PAGE_SIZE, 0xFF);
	Start(bus, progress, "verify", eeprom::Engine::ReadTransfers(1, kBlock));
	bool same = engine.VerifyPages(PAGE_SCRIPT, 1, kErased.data(), kBlock, eeprom::ReadForm::Write);
	progress.End();
	if (!same)
		return Verified(bus, "not");
	return { kSuccess, "EEPROM page 3 erased and verified", std::nullopt, {} };
}

} // namespace eeprom_cli
