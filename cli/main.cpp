// velmora-eeprom: the KL310's settings EEPROM from the command line.
#include "ToolMain.h"

#include <iostream>

#include <unistd.h>

int main(int argc, char **argv)
{
	std::vector<std::string> args(argv + 1, argv + argc);
	eeprom_cli::ToolEnvironment env{ std::cin,
					 std::cout,
					 std::cerr,
					 isatty(STDIN_FILENO) == 1,
					 isatty(STDERR_FILENO) == 1,
					 eeprom_cli::ToolClock::Real() };
	return eeprom_cli::RunTool(args, env);
}
