// velmora-eeprom: the KL310's settings EEPROM from the command line.
#include "StandardStreams.h"
#include "ToolMain.h"

#include <iostream>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// The terminal's width when standard error is one; else COLUMNS, else 80.
int ErrColumns()
{
	winsize size{};
	if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
		return size.ws_col;
	const char *columns = std::getenv("COLUMNS");
	int n = columns ? std::atoi(columns) : 0;
	return n > 0 ? n : 80;
}

} // namespace

int main(int argc, char **argv)
{
	// Before anything is opened: nothing may take a closed stream's number.
	if (std::string why = fileio::OpenStandardStreams(); !why.empty()) {
		std::fprintf(stderr, "velmora-eeprom: %s; nothing was done\n", why.c_str());
		return tool::kUsage;
	}
	std::vector<std::string> args(argv + 1, argv + argc);
	tool::ToolEnvironment env{ .in = std::cin,
				   .out = std::cout,
				   .err = std::cerr,
				   .inIsTerminal = isatty(STDIN_FILENO) == 1,
				   .errIsTerminal = isatty(STDERR_FILENO) == 1,
				   .clock = tool::ToolClock::Real(),
				   .errColumns = ErrColumns(),
				   .inFd = STDIN_FILENO,
				   .outFd = STDOUT_FILENO };
	int status = eeprom_cli::RunTool(args, env);
	// What never reached standard output (closed, a full disk) is no success.
	if (!(std::cout << std::flush)) {
		int error = errno;
		std::cerr << "velmora-eeprom: standard output could not be written: "
			  << (fileio::StandardStreamWasClosed(STDOUT_FILENO) ? "it is closed"
									     : std::strerror(error))
			  << '\n';
		if (status == tool::kSuccess)
			status = tool::kFileNotWritten;
	}
	return status;
}
