// The panel's command line: --bus BUS, --help, --version.
#pragma once

#include <string>
#include <vector>

struct PanelCommandLine {
	bool run = true; // false: the program ends with status, having said out / err
	int status = 0;
	std::string out;
	std::string err;
	std::string bus; // the bus named by --bus, or empty
};

// args without the program's name.
PanelCommandLine ParsePanelCommandLine(const std::vector<std::string> &args);
