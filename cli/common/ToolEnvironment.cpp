#include "ToolEnvironment.h"

#include "StandardStreams.h"
#include "WholeWrite.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <istream>
#include <iterator>
#include <ostream>

#include <unistd.h>

namespace tool {

int SayFailure(ToolEnvironment &env, const char *tool, int status, const std::string &message)
{
	env.err << tool << ": " << message << '\n' << std::flush;
	return status;
}

int UsageError(ToolEnvironment &env, const char *tool, const std::string &message)
{
	return SayFailure(env, tool, kUsage, message + " (see " + tool + " --help)");
}

fileio::InputText ReadWholeInput(ToolEnvironment &env, const fileio::InputLimits &limits)
{
	if (env.inFd >= 0)
		return fileio::ReadInputDescriptor(env.inFd, limits);
	fileio::InputText input;
	char buffer[4096];
	while (env.in.read(buffer, sizeof(buffer)) || env.in.gcount() > 0) {
		input.text.append(buffer, static_cast<size_t>(env.in.gcount()));
		if (input.text.size() > limits.maxBytes) {
			input.text.clear();
			input.why = std::string("it is larger than any ") + limits.kind;
			return input;
		}
	}
	input.ok = true;
	return input;
}

std::string WriteWholeOutput(ToolEnvironment &env, std::string_view text)
{
	env.out << std::flush;
	if (env.outFd < 0) {
		env.out.write(text.data(), static_cast<std::streamsize>(text.size()));
		env.out.flush();
		return env.out ? "" : "the write failed";
	}
	if (!env.out)
		return "the write failed";
	if (fileio::StandardStreamWasClosed(env.outFd))
		return "standard output is closed";
	// A reader that went away is an error to report, not a signal that
	// ends the tool without a word.
	struct sigaction ignore = {}, previous = {};
	ignore.sa_handler = SIG_IGN;
	sigemptyset(&ignore.sa_mask);
	sigaction(SIGPIPE, &ignore, &previous);
	std::string why;
	if (!fileio::WriteWhole(env.outFd, text))
		why = std::string("the write failed (") + std::strerror(errno) + ")";
	sigaction(SIGPIPE, &previous, nullptr);
	return why;
}

const char *ToolVersion()
{
	return VELMORA_VERSION;
}

int ShowVersion(ToolEnvironment &env, const char *tool)
{
	env.out << tool << " (Velmora) " << VELMORA_VERSION << '\n';
	return kSuccess;
}

} // namespace tool
