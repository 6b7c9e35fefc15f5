// Several cameras side by side, each on its own bus.
//
// One process per bus, not one thread: the adapter library holds one lock
// across its blocking system calls, so threads would take turns on the
// wire, and a camera that hangs inside a transfer would hold up every other
// one. A child process has its own copy of the library and its lock, and a
// camera that hangs or crashes its process takes no other camera with it.
#pragma once

#include "CameraRun.h"
#include "Progress.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace eeprom_cli {

struct CameraFinish {
	Outcome outcome;
	std::time_t started = 0;
	std::int64_t durationUs = 0;      // on the child's clock
	std::vector<std::string> notices; // what the child's adapter library had to tell
};

// Runs every job in a process of its own at the same time and returns the
// finishes in the order of jobs. A stop request (StopRequest.h) is passed
// on to every child. lines, when given, shows each camera's progress.
std::vector<CameraFinish> RunFleet(const std::vector<CameraJob> &jobs, const CameraRunner &runner,
				   ToolClock &clock, CameraLines *lines);

} // namespace eeprom_cli
