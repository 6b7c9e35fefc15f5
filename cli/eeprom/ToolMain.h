// velmora-eeprom's command line: options, confirmation, progress and exit
// status. main() only supplies the process's streams and clock, so tests
// run the whole tool in-process against the simulated camera.
#pragma once

#include "CameraRun.h"
#include "ToolClock.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace eeprom_cli {

struct ToolEnvironment {
	std::istream &in;
	std::ostream &out;
	std::ostream &err;
	bool inIsTerminal = false;  // confirmation can be asked
	bool errIsTerminal = false; // a progress bar can be drawn
	ToolClock &clock;
	int errColumns = 80; // the terminal's width, for the progress lines
	// Tests only: what runs each camera (empty: RunCamera on the clock
	// above) and what tells station mode whether a camera is there (null:
	// a read of the EEPROM's first byte).
	CameraRunner runner{};
	class PresenceProbe *probe = nullptr;
};

// args without the program's name; returns the exit status (ExitStatus.h).
int RunTool(const std::vector<std::string> &args, ToolEnvironment &env);

} // namespace eeprom_cli
