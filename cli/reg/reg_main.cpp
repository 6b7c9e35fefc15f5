// velmora-reg: the KL310 sensor's registers from the command line.
#include "RegTool.h"

#include <iostream>

#include <unistd.h>

int main(int argc, char **argv)
{
	std::vector<std::string> args(argv + 1, argv + argc);
	tool::ToolEnvironment env{ std::cin,
				   std::cout,
				   std::cerr,
				   isatty(STDIN_FILENO) == 1,
				   isatty(STDERR_FILENO) == 1,
				   tool::ToolClock::Real() };
	return reg_cli::RunRegTool(args, env);
}
