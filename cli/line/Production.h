// A command on one camera, on several side by side, or station after
// station; each camera's record appended to the report file when asked.
#pragma once

#include "BusIdentity.h"
#include "BusName.h"
#include "CameraRecord.h"
#include "CameraRun.h"
#include "PictureCheck.h"
#include "RecordSink.h"
#include "Station.h"
#include "ToolEnvironment.h"

#include <string>
#include <vector>

namespace eeprom_cli {

using tool::ToolEnvironment;

// What tests put in the line's place: how each camera is run in-process
// (empty: RunCamera on the environment's clock), what tells station mode
// whether a camera is there (null: a read of the EEPROM's first byte),
// and the program started for each camera of a run on several buses.
struct LineSeams {
	CameraRunner runner{};
	PresenceProbe *probe = nullptr;
	std::string self = "/proc/self/exe";
	// The simulated picture's pacing for --frame-check; empty: real time.
	video::WaitUntil frameWait{};
};

// frameCheck: the picture checked after each program run that verified.
CameraRunner RunnerOf(tool::ToolEnvironment &env, const LineSeams &seams,
		      const FrameCheckSetup *frameCheck = nullptr);

struct RunRequest {
	Verb verb = Verb::Verify;
	// One or more; one with nothing given or resolved: the adapter
	// library finds the adapter.
	std::vector<iicbus::ResolvedBus> buses;
	std::string file; // dump with several buses: a pattern with {bus}
	const SettingsImage *image = nullptr;
	RecordSink *report = nullptr; // opened before any camera is touched
	RecordBase record;            // station, operator, host, command, pages
	std::optional<std::string> unit;
	std::vector<int> pages; // --pages; empty: every page of the file
	bool askUnit = false;   // station mode: each camera's unit from standard input
	bool repeat = false;
	// Station mode without --pages: each unit keeps its own trim pages.
	bool keepUnitTrims = false;
	bool verbose = false;                        // station mode: each camera's details too
	const FrameCheckSetup *frameCheck = nullptr; // --frame-check
};

// What a program run writes, in the words of its question and of the
// station's banner: "pages 0-3,7 of golden.qmx"; kept: what stays as each
// camera has it, or a warning that a unit's trim pages are written too.
struct PagePlan {
	std::string written;
	std::string kept;
};
PagePlan PlanPages(const SettingsImage &image, const std::vector<int> &pages, bool keepUnitTrims);

// What --all runs on: every allowed bus on which the camera answered.
std::vector<std::string> CameraBuses(const std::vector<iicbus::BusListing> &listing);

// The dump file of one bus: {bus} in pattern replaced by the bus's name
// without "/dev/", with any other '/' as '_' and the characters that FAT
// and network shares refuse in a name (: * ? " < > | \\) as '-'.
std::string FileForBus(const std::string &pattern, const std::string &bus);

// Runs the request and prints each camera's outcome; returns the exit
// status: 0 only when every camera succeeded, otherwise the highest.
int RunCameras(const RunRequest &request, tool::ToolEnvironment &env, const LineSeams &seams);

// A settings file refused before any camera was touched is a result for
// each camera of the run: one "refused" record each, when a record is kept.
int RecordRefusedFile(const RunRequest &request, tool::ToolEnvironment &env, const CommandResult &refusal);

} // namespace eeprom_cli
