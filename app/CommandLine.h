// The panel's command line: --bus BUS, --video DEV|sim, --help, --version.
#pragma once

#include <string>
#include <vector>

struct PanelCommandLine {
	bool run = true; // false: the program ends with status, having said out / err
	int status = 0;
	std::string out;
	std::string err;
	std::string bus;   // the bus named by --bus, or empty
	std::string video; // the picture named by --video (a capture device or sim), or empty
};

// args without the program's name.
PanelCommandLine ParsePanelCommandLine(const std::vector<std::string> &args);
