// velmora-reg: the KL310 sensor's registers from the command line.
#include "BusIdentity.h"
#include "RegTool.h"
#include "StandardStreams.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include <unistd.h>

int main(int argc, char **argv)
{
	// Before anything is opened: nothing may take a closed stream's number.
	if (std::string why = fileio::OpenStandardStreams(); !why.empty()) {
		std::fprintf(stderr, "velmora-reg: %s; nothing was done\n", why.c_str());
		return tool::kUsage;
	}
	std::vector<std::string> args(argv + 1, argv + argc);
	tool::ToolEnvironment env{ std::cin,
				   std::cout,
				   std::cerr,
				   isatty(STDIN_FILENO) == 1,
				   isatty(STDERR_FILENO) == 1,
				   tool::ToolClock::Real() };
	int status = reg_cli::RunRegTool(args, env);
	// Values that never reached standard output (closed, a full disk) are
	// no success.
	if (!(std::cout << std::flush)) {
		int error = errno;
		std::cerr << "velmora-reg: standard output could not be written: "
			  << (fileio::StandardStreamWasClosed(STDOUT_FILENO) ? "it is closed"
									     : std::strerror(error))
			  << '\n';
		if (status == tool::kSuccess)
			status = tool::kFileNotWritten;
	}
	// What the adapter library had to tell besides the transfers (a trace
	// or a simulated camera's state that cannot be kept), as velmora-eeprom says it.
	for (const std::string &notice : iicbus::TakeNotices())
		std::cerr << "velmora-reg: warning: " << notice << '\n';
	return status;
}
