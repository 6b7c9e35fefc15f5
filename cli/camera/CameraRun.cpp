#include "CameraRun.h"

#include "BusIdentity.h"

#include <cstdio>
#include <cstdlib>

namespace eeprom_cli {

using namespace tool;

namespace {

// Where the stop fell, in the words an operator acts on.
std::string Interruption(const CameraJob &job, const operations::Result &at)
{
	char where[96];
	std::snprintf(where, sizeof(where), "interrupted before page %d block %d (byte 0x%02x)", at.page,
		      at.block, at.byte);
	switch (job.verb) {
	case Verb::Program:
		return std::string(where) +
		       ": every block before it is written, the rest is not; the camera must be "
		       "programmed again";
	case Verb::EraseSettings:
		return std::string(where) + ": page 3 is partly erased; erase it again";
	case Verb::Dump:
		return std::string(where) + (job.file == "-" ? "; nothing was written to standard output"
							     : "; no file was written");
	case Verb::Verify:
	case Verb::Buses:
		break;
	}
	return std::string(where) + "; the EEPROM was not compared to the end";
}

} // namespace

CommandResult RunCamera(const CameraJob &job, ToolClock &clock, Progress &progress)
{
	EepromBus bus(clock);
	CommandResult outcome;
	switch (job.verb) {
	case Verb::Dump:
		outcome = job.file == "-" ? DumpEepromTo(bus, progress, job.output)
					  : DumpEeprom(bus, progress, job.file);
		break;
	case Verb::Program:
		outcome = ProgramEeprom(bus, progress, *job.image, job.pages);
		break;
	case Verb::Verify:
		outcome = CompareEepromWithImage(bus, progress, *job.image, job.pages);
		break;
	case Verb::EraseSettings:
		outcome = EraseSettings(bus, progress);
		break;
	case Verb::Buses:
		break;
	}
	if (outcome.status == kSuccess)
		progress.End();
	else
		progress.Abandon();
	if (outcome.result.outcome == operations::ResultKind::Stopped)
		outcome = { kInterrupted, Interruption(job, outcome.result), outcome.result, {} };
	iicbus::BusIdentity identity = iicbus::LastBus();
	if (identity.known) {
		outcome.adapter = identity.bus;
		if (outcome.status != kSuccess)
			outcome.message += iicbus::WhyNotOpened(identity);
	}
	return outcome;
}

const char *ResultWord(const CommandResult &outcome, Verb verb)
{
	if (outcome.noResult)
		return "no-result";
	switch (outcome.status) {
	case kSuccess:
		// A dump compares nothing: saying "verified" would claim more.
		return verb == Verb::Dump ? "read" : "verified";
	case kMismatch:
		return "mismatch";
	case kRefusedFile:
		return "refused";
	case kInterrupted:
		return "interrupted";
	case kFileNotWritten:
		return "file-not-written";
	case kBusFailure:
		return "bus-failure";
	case kFrameFailed:
		return "frame-failed";
	default:
		return "failed";
	}
}

std::string NotRecorded(Verb verb)
{
	const char *done = verb == Verb::Program         ? "programmed"
			   : verb == Verb::Dump          ? "read"
			   : verb == Verb::EraseSettings ? "erased"
							 : "verified";
	return std::string(done) + " but not recorded";
}

const char *VerbName(Verb verb)
{
	switch (verb) {
	case Verb::Dump:
		return "dump";
	case Verb::Program:
		return "program";
	case Verb::Verify:
		return "verify";
	case Verb::EraseSettings:
		return "erase-settings";
	case Verb::Buses:
		return "buses";
	}
	return "";
}

} // namespace eeprom_cli
