// One command on one camera: the narrow door through which the single,
// the parallel and the station runs all reach the EEPROM commands.
#pragma once

#include "EepromCommands.h"
#include "Progress.h"
#include "ToolClock.h"

#include <functional>
#include <string>
#include <vector>

namespace eeprom_cli {

// Buses lists the buses; it runs on no camera.
enum class Verb { Dump, Program, Verify, EraseSettings, Buses };

struct CameraJob {
	Verb verb = Verb::Verify;
	std::string bus;                      // as --bus names it
	std::string file;                     // dump: this camera's file ("-": output)
	const SettingsImage *image = nullptr; // program, verify
	std::vector<int> pages;               // program, verify: only these; empty: all
	TextSink output{};                    // dump "-": where the text goes
	// A run on several buses: more options for the camera's own process.
	std::vector<std::string> processOptions{};
};

// Runs job on the bus the process chose (job.bus names it). A stop
// request ends it between transfers with kInterrupted and a message
// naming the block reached; a bus that could not be opened says why in
// the message. outcome.adapter names the bus as the library knows it.
CommandResult RunCamera(const CameraJob &job, tool::ToolClock &clock, tool::Progress &progress);

// What the parallel and station runs call for each camera; tests put
// their own in front of RunCamera to shape each simulated camera.
using CameraRunner = std::function<CommandResult(const CameraJob &, tool::Progress &)>;

// The record's word for how a command ended: read (a dump), verified,
// mismatch, bus-failure, refused, interrupted, file-not-written,
// no-result (the camera's process gave none), failed (any other status).
const char *ResultWord(const CommandResult &outcome, Verb verb);

const char *VerbName(Verb verb);

// What a camera that succeeded is when its record could not be kept:
// "programmed but not recorded", never a pass.
std::string NotRecorded(Verb verb);

} // namespace eeprom_cli
