#include "EepromCommands.h"

#include "BusIdentity.h"
#include "IICTransfer.h"
#include "StopRequest.h"
#include "registers.h"

#include <algorithm>
#include <array>
#include <cstdio>

using namespace kl310;

namespace eeprom_cli {

namespace {

constexpr int kBlock = EEPROM_WRITE_PAGE_SIZE;
// The tool reads in blocks, with the write form of each page's address.
constexpr operations::ReadPlan kBlockReads{ kBlock, eeprom::ReadForm::Write,
					    operations::Compare::AtEachRead };

Outcome Fail(int status, std::string message, operations::Result result = {})
{
	return { status, std::move(message), std::move(result), {} };
}

Outcome Done(std::string message, operations::Result result = {})
{
	return { kSuccess, std::move(message), std::move(result), {} };
}

// The panel's wording of a refused file.
Outcome Refuse(const std::string &path, const operations::Result &refusal, const char *consequence)
{
	return Fail(kRefusedFile,
		    "The settings file " + path + " cannot be used: " + refusal.reason + ". " + consequence,
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
Outcome VerificationFailure(const operations::Result &result, const char *expectation)
{
	if (result.outcome != operations::Outcome::Mismatch)
		return Fail(kBusFailure, FailureText(result), result);
	char text[128];
	std::snprintf(text, sizeof(text),
		      "verification failed: EEPROM page %d byte 0x%02x is 0x%02X, %s 0x%02X", result.page,
		      result.byte, result.found, expectation, result.expected);
	return Fail(kMismatch, text, result);
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

} // namespace

std::string FailureText(const operations::Result &result)
{
	char where[64];
	std::snprintf(where, sizeof(where), "%s EEPROM page %d at byte 0x%02x failed: ",
		      result.direction == eeprom::Direction::Write ? "writing" : "reading", result.page,
		      result.byte);
	if (result.outcome == operations::Outcome::Stopped)
		return where + std::string("stopped");
	if (result.outcome == operations::Outcome::Refused)
		return where + result.reason;
	std::string adapter = CIICTransfer::StatusText(result.status);
	if (result.timedOut)
		return where + std::string("the EEPROM did not acknowledge within ") +
		       std::to_string(EepromBus::kWriteCycleLimitUs / 1000) + " ms of the last write (" +
		       adapter + ")";
	return where + adapter;
}

Outcome LoadImage(const std::string &path, const char *consequence, SettingsImage &image)
{
	operations::Result loaded = operations::LoadSettings(path, image);
	if (!loaded.Ok())
		return Refuse(path, loaded, consequence);
	return Done("", loaded);
}

Outcome DumpEeprom(EepromBus &bus, Progress &progress, const std::string &path)
{
	Start(bus, progress, "read", eeprom::Engine::ReadTransfers(EEPROM_PAGES, kBlock));
	operations::Result read = operations::ReadPagesToFile(bus.Engine(), path, kBlockReads);
	progress.End();
	if (read.outcome == operations::Outcome::FileNotWritten)
		return Fail(kFileNotWritten,
			    "The settings file " + path + " was not written: " + read.reason + ".", read);
	if (!read.Ok())
		return Fail(kBusFailure, FailureText(read) + "; no file was written", read);
	return Done(PagesText(EEPROM_PAGES) + " of the EEPROM written to " + path, read);
}

Outcome ProgramEeprom(EepromBus &bus, Progress &progress, const SettingsImage &image)
{
	Start(bus, progress, "write", eeprom::Engine::WriteTransfers(image.pages));
	operations::Result written = operations::WritePages(bus.Engine(), image);
	if (!written.Ok())
		return Fail(kBusFailure,
			    FailureText(written) +
				    (NothingSent() ? "; nothing was written"
						   : "; the EEPROM is partly written and not verified"),
			    written);
	progress.End();

	Outcome verified = CompareEepromWithImage(bus, progress, image);
	if (verified.status != kSuccess)
		return verified;
	return Done(PagesText(image.pages) + " of " + image.path + " written and verified");
}

Outcome CompareEepromWithImage(EepromBus &bus, Progress &progress, const SettingsImage &image)
{
	Start(bus, progress, "verify", eeprom::Engine::ReadTransfers(image.pages, kBlock));
	operations::Result verified = operations::VerifyImage(bus.Engine(), image, kBlockReads);
	progress.End();
	if (!verified.Ok())
		return VerificationFailure(verified, "the file has");
	return Done("the EEPROM matches " + PagesText(image.pages) + " of " + image.path);
}

Outcome EraseSettings(EepromBus &bus, Progress &progress)
{
	Start(bus, progress, "erase", eeprom::Engine::FillTransfers(0));
	operations::Result filled = operations::Fill(bus.Engine(), PAGE_SCRIPT, 0, 0xFF);
	if (!filled.Ok())
		return Fail(kBusFailure,
			    FailureText(filled) +
				    (NothingSent() ? "; nothing was written" : "; page 3 is partly erased"),
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
