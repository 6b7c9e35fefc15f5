// What a command-line tool gets from its process: streams, whether they
// are terminals, the clock. main() supplies the real ones, tests their own,
// so every tool runs whole in-process.
#pragma once

#include "ExitStatus.h"
#include "InputFile.h"
#include "ToolClock.h"

#include <iosfwd>
#include <string>
#include <string_view>

namespace tool {

struct ToolEnvironment {
	std::istream &in;
	std::ostream &out;
	std::ostream &err;
	bool inIsTerminal = false;  // confirmation can be asked
	bool errIsTerminal = false; // a progress bar can be drawn
	ToolClock &clock;
	int errColumns = 80; // the terminal's width, for the progress lines
	// Standard input and output as descriptors, for a file read or
	// written whole through them ('-'); -1 (tests): in and out are used.
	int inFd = -1;
	int outFd = -1;
};

// Standard input read to its end, within limits (a stream may take
// limits.waitMs to end); the refusal as fileio::ReadInputDescriptor's.
fileio::InputText ReadWholeInput(ToolEnvironment &env, const fileio::InputLimits &limits);

// text written whole to standard output (after what out holds); "" or why
// not, as a closed pipe: it never ends the process with SIGPIPE.
std::string WriteWholeOutput(ToolEnvironment &env, std::string_view text);

// "tool: message" on standard error; returns status.
int SayFailure(ToolEnvironment &env, const char *tool, int status, const std::string &message);

// "tool: message (see tool --help)"; returns kUsage.
int UsageError(ToolEnvironment &env, const char *tool, const std::string &message);

// The package's version, "5.4".
const char *ToolVersion();

// "tool (Velmora) VERSION"; returns kSuccess.
int ShowVersion(ToolEnvironment &env, const char *tool);

} // namespace tool
