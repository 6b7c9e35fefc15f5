// A command on one camera, on several side by side, or station after
// station; each camera's record appended to the report file when asked.
#pragma once

#include "BusIdentity.h"
#include "CameraRun.h"
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
};

CameraRunner RunnerOf(ToolEnvironment &env, const LineSeams &seams);

struct RunRequest {
	Verb verb = Verb::Verify;
	std::vector<std::string> buses; // one or more
	std::string file;               // dump with several buses: a pattern with {bus}
	const SettingsImage *image = nullptr;
	std::string report; // JSON Lines file, or empty
	bool repeat = false;
};

// What --all runs on: every allowed bus on which the camera answered.
std::vector<std::string> CameraBuses(const std::vector<iicbus::BusListing> &listing);

// The dump file of one bus: {bus} in pattern replaced by the bus's name
// without "/dev/" and with any other '/' as '_'.
std::string FileForBus(const std::string &pattern, const std::string &bus);

// Runs the request and prints each camera's outcome; returns the exit
// status: 0 only when every camera succeeded, otherwise the highest.
int RunCameras(const RunRequest &request, ToolEnvironment &env, const LineSeams &seams);

// A settings file refused before any camera was touched is a result for
// each camera of the run: one "refused" record each, when a record is kept.
int RecordRefusedFile(const RunRequest &request, ToolEnvironment &env, const Outcome &refusal);

} // namespace eeprom_cli
