// What a command-line tool gets from its process: streams, whether they
// are terminals, the clock. main() supplies the real ones, tests their own,
// so every tool runs whole in-process.
#pragma once

#include "ExitStatus.h"
#include "ToolClock.h"

#include <iosfwd>
#include <string>

namespace tool {

struct ToolEnvironment {
	std::istream &in;
	std::ostream &out;
	std::ostream &err;
	bool inIsTerminal = false;  // confirmation can be asked
	bool errIsTerminal = false; // a progress bar can be drawn
	ToolClock &clock;
	int errColumns = 80; // the terminal's width, for the progress lines
};

// "tool: message" on standard error; returns status.
int Fail(ToolEnvironment &env, const char *tool, int status, const std::string &message);

// "tool: message (see tool --help)"; returns kUsage.
int UsageError(ToolEnvironment &env, const char *tool, const std::string &message);

// "tool (Velmora) VERSION"; returns kSuccess.
int ShowVersion(ToolEnvironment &env, const char *tool);

} // namespace tool
