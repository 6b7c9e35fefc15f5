#include "EepromCommands.h"

#include "Sha256.h"

#include "BusIdentity.h"
#include "IICTransfer.h"
#include "InputFile.h"
#include "PageList.h"
#include "StopRequest.h"
#include "registers.h"

#include <algorithm>
#include <array>
#include <cstdio>

using namespace kl310;

namespace eeprom_cli {

using namespace tool;

namespace {

constexpr int kBlock = EEPROM_WRITE_PAGE_SIZE;
// The tool reads in blocks, with the write form of each page's address.
constexpr operations::ReadPlan kBlockReads{ kBlock, eeprom::ReadForm::Write,
					    operations::Compare::AtEachRead };

CommandResult Failed(int status, std::string message, operations::Result result = {})
{
	return { status, std::move(message), std::move(result), {} };
}

CommandResult Done(std::string message, operations::Result result = {})
{
	return { kSuccess, std::move(message), std::move(result), {} };
}

// The panel's wording of a refused file.
CommandResult Refuse(const std::string &path, const operations::Result &refusal, const char *consequence)
{
	std::string file = path == kStandardInput ? "The settings file on standard input"
						  : "The settings file " + path;
	return Failed(kRefusedFile, file + " cannot be used: " + refusal.reason + ". " + consequence,
		      refusal);
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

// A failed verification in the tool's words: a bus failure or the first
// byte that differs.
CommandResult VerificationFailure(const operations::Result &result, const char *expectation)
{
	if (result.outcome != operations::ResultKind::Mismatch)
		return Failed(kBusFailure, FailureText(result), result);
	char text[128];
	std::snprintf(text, sizeof(text),
		      "verification failed: EEPROM page %d byte 0x%02x is 0x%02x, %s 0x%02x", result.page,
		      result.byte, result.found, expectation, result.expected);
	return Failed(kMismatch, text, result);
}

std::string PagesText(int pages)
{
	return std::to_string(pages) + (pages == 1 ? " page" : " pages");
}

// A bus that could not be opened took nothing: saying "partly written"
// would send the operator after damage that is not there.
bool NothingSent()
{
	iicbus::BusIdentity last = iicbus::LastBus();
	return last.known && !last.opened;
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

// An EEPROM that did not acknowledge the very first block took none of it
// (a camera that is not there acknowledges nothing); a failure of another
// kind may have left bytes behind.
bool FirstBlockRefused(const operations::Result &failed, const std::vector<PageRun> &runs)
{
	return failed.outcome == operations::ResultKind::BusFailure && !runs.empty() &&
	       failed.page == runs.front().first && failed.byte == 0 &&
	       CIICTransfer::NotAcknowledged(failed.status);
}

// "8 pages" or "4 pages (0-3)"
std::string PagesText(const SettingsImage &image, const std::vector<int> &pages)
{
	if (pages.empty())
		return PagesText(image.pages);
	return PagesText(static_cast<int>(pages.size())) + " (" + eeprom_cli::PageListText(pages) + ")";
}

} // namespace

std::string FailureText(const operations::Result &result)
{
	char where[64];
	std::snprintf(where, sizeof(where), "%s EEPROM page %d at byte 0x%02x failed: ",
		      result.direction == eeprom::Direction::Write ? "writing" : "reading", result.page,
		      result.byte);
	if (result.outcome == operations::ResultKind::Stopped)
		return where + std::string("stopped");
	if (result.outcome == operations::ResultKind::Refused)
		return where + result.reason;
	std::string adapter = CIICTransfer::StatusText(result.status);
	if (result.timedOut)
		return where + std::string("the EEPROM did not acknowledge within ") +
		       std::to_string(EepromBus::kWriteCycleLimitUs / 1000) + " ms of the last write (" +
		       adapter + ")";
	return where + adapter;
}

CommandResult LoadImage(const std::string &path, const char *consequence, SettingsImage &image)
{
	operations::Result loaded = operations::LoadSettings(path, image, digest::Sha256Hex);
	if (!loaded.Ok())
		return Refuse(path, loaded, consequence);
	return Done("", loaded);
}

CommandResult LoadStandardInput(const fileio::InputText &input, const char *consequence, SettingsImage &image)
{
	operations::Result loaded;
	if (input.ok) {
		loaded = operations::LoadSettingsText(input.text, kStandardInput, image, digest::Sha256Hex);
	} else {
		loaded.outcome = operations::ResultKind::Refused;
		loaded.reason = input.why;
	}
	if (!loaded.Ok())
		return Refuse(kStandardInput, loaded, consequence);
	return Done("", loaded);
}

CommandResult DumpEeprom(EepromBus &bus, Progress &progress, const std::string &path)
{
	Start(bus, progress, "read", eeprom::Engine::ReadTransfers(EEPROM_PAGES, kBlock));
	operations::Result read = operations::ReadPagesToFile(
		bus.Engine(), path, kBlockReads, operations::Previous::Replace, digest::Sha256Hex);
	// A failed read's bar goes (RunCamera); a finished one stays.
	if (read.Ok() || read.outcome == operations::ResultKind::FileNotWritten)
		progress.End();
	if (read.outcome == operations::ResultKind::FileNotWritten)
		return Failed(kFileNotWritten,
			      "The settings file " + path + " was not written: " + read.reason + ".", read);
	if (!read.Ok())
		return Failed(kBusFailure, FailureText(read) + "; no file was written", read);
	return Done(PagesText(EEPROM_PAGES) + " of the EEPROM written to " + fileio::ShownText(path), read);
}

CommandResult DumpEepromTo(EepromBus &bus, Progress &progress, const TextSink &sink)
{
	Start(bus, progress, "read", eeprom::Engine::ReadTransfers(EEPROM_PAGES, kBlock));
	// No name in the header: the panel writes its file's path there, and
	// a stream has none (it may become any file, or none).
	std::string text;
	operations::Result read = operations::ReadPagesToText(bus.Engine(), "", kBlockReads, text,
							      digest::Sha256Hex);
	if (read.outcome == operations::ResultKind::FileNotWritten)
		return Failed(kFileNotWritten, "nothing was written to standard output: " + read.reason,
			      read);
	if (!read.Ok())
		return Failed(kBusFailure, FailureText(read) + "; nothing was written to standard output",
			      read);
	progress.End();
	if (std::string why = sink(text); !why.empty()) {
		operations::Result lost;
		lost.outcome = operations::ResultKind::FileNotWritten;
		lost.reason = why;
		return Failed(kFileNotWritten,
			      "The settings were not written to standard output: " + why + ".", lost);
	}
	return Done(PagesText(EEPROM_PAGES) + " of the EEPROM written to standard output", read);
}

CommandResult ProgramEeprom(EepromBus &bus, Progress &progress, const SettingsImage &image,
			    const std::vector<int> &pages)
{
	std::vector<PageRun> runs = Runs(image, pages);
	int total = 0;
	for (const PageRun &run : runs)
		total += eeprom::Engine::WriteTransfers(run.count);
	Start(bus, progress, "write", total);
	for (const PageRun &run : runs) {
		operations::Result written = operations::WritePages(bus.Engine(), image, run.first,
								    run.count);
		if (!written.Ok())
			return Failed(kBusFailure,
				      FailureText(written) +
					      (NothingSent() || FirstBlockRefused(written, runs)
						       ? "; nothing was written"
						       : "; the EEPROM is partly written and not verified"),
				      written);
	}
	progress.End();

	CommandResult verified = CompareEepromWithImage(bus, progress, image, pages);
	if (verified.status != kSuccess)
		return verified;
	return Done(PagesText(image, pages) + " of " + fileio::ShownText(image.path) +
		    " written and verified");
}

CommandResult ProgramKeepingTrims(EepromBus &bus, Progress &progress, const SettingsImage &image)
{
	// A page is read in a blink: no bar of its own above the write's.
	std::vector<std::uint8_t> trimPage(EEPROM_PAGE_SIZE);
	QuietProgress quiet;
	Start(bus, quiet, "read", eeprom::Engine::ReadTransfers(1, kBlock));
	operations::Result read = operations::Read(bus.Engine(), PAGE_TRIM, trimPage, kBlockReads);
	// Stopped before the first write: nothing to program again but the whole.
	if (read.outcome == operations::ResultKind::Stopped)
		return Failed(kInterrupted,
			      "interrupted while the unit's trim was read; nothing was written");
	if (!read.Ok())
		return Failed(kBusFailure,
			      FailureText(read) + "; the unit's trim was not read, nothing was written",
			      read);
	std::vector<int> pages;
	bool hasTrim = trimPage[OFFSET_TRIM_HORIZONTAL] != NO_TRIM;
	for (int page = 0; page < image.pages; page++)
		if (!hasTrim || page < PAGE_TRIM || page > PAGE_TRIM_TABLE3)
			pages.push_back(page);
	CommandResult programmed = ProgramEeprom(bus, progress, image, pages);
	if (programmed.status == kSuccess)
		programmed.message += hasTrim ? "; the unit's own trim (pages 4-6) kept"
					      : "; the unit had no trim: pages 4-6 from the file";
	programmed.pages = pages;
	return programmed;
}

CommandResult CompareEepromWithImage(EepromBus &bus, Progress &progress, const SettingsImage &image,
				     const std::vector<int> &pages)
{
	std::vector<PageRun> runs = Runs(image, pages);
	int total = 0;
	for (const PageRun &run : runs)
		total += eeprom::Engine::ReadTransfers(run.count, kBlock);
	Start(bus, progress, "verify", total);
	std::span<const std::uint8_t> bytes(image.bytes);
	for (const PageRun &run : runs) {
		operations::Result verified = operations::Verify(
			bus.Engine(), run.first,
			bytes.subspan(run.first * EEPROM_PAGE_SIZE, run.count * EEPROM_PAGE_SIZE),
			kBlockReads);
		if (!verified.Ok())
			return VerificationFailure(verified, "the file has");
	}
	progress.End();
	return Done("the EEPROM matches " + PagesText(image, pages) + " of " + fileio::ShownText(image.path));
}

CommandResult EraseSettings(EepromBus &bus, Progress &progress)
{
	Start(bus, progress, "erase", eeprom::Engine::FillTransfers(0));
	operations::Result filled = operations::Fill(bus.Engine(), PAGE_SCRIPT, 0, 0xFF);
	if (!filled.Ok())
		return Failed(kBusFailure,
			      FailureText(filled) +
				      (NothingSent() || FirstBlockRefused(filled, { { PAGE_SCRIPT, 1 } })
					       ? "; nothing was written"
					       : "; page 3 is partly erased"),
			      filled);
	progress.End();

	static const std::vector<std::uint8_t> kErased(EEPROM_PAGE_SIZE, 0xFF);
	Start(bus, progress, "verify", eeprom::Engine::ReadTransfers(1, kBlock));
	operations::Result verified = operations::Verify(bus.Engine(), PAGE_SCRIPT, kErased, kBlockReads);
	progress.End();
	if (!verified.Ok())
		return VerificationFailure(verified, "not");
	return Done("EEPROM page 3 erased and verified");
}

} // namespace eeprom_cli
