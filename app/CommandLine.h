// The panel's command line: --bus BUS, --video DEV|sim, --help, --version.
#pragma once

#include "BusName.h"
#include "PictureWindow.h"

#include <string>
#include <vector>

struct PanelCommandLine {
	bool run = true; // false: the program ends with status, having said out / err
	int status = 0;
	std::string out;
	std::string err;
	std::string refusal;                    // why the command line is refused, in the tools' words
	std::string bus;                        // the bus named by --bus, or empty
	std::vector<iicbus::ResolvedBus> buses; // --bus resolved: none or one
	std::string video; // the picture named by --video (a capture device or sim), or empty
	// The simulated camera the panel shows (0..7), whose picture faults
	// "--video sim" shows as the line sees them; -1: no simulated camera.
	int simCamera = -1;
	// The adapter's node when the bus (--bus or QXIIC_BUS) names one.
	std::string adapterNode;
};

// args without the program's name; environmentBus is QXIIC_BUS's value
// (null: unset), refused as the tools refuse it when no --bus is given.
PanelCommandLine ParsePanelCommandLine(const std::vector<std::string> &args,
				       const char *environmentBus = nullptr);

// What the picture window shows first: --video, else a simulated
// camera's own picture, else the capture device beside the adapter; it
// opens with the panel when --video is given.
PictureSource PictureSourceOf(const PanelCommandLine &cl);

// Shows a refused command line in a message box, which a user who started
// the panel from a menu sees where standard error is nowhere; returns the
// status to end with. Needs the application object.
int ShowCommandLineRefusal(const PanelCommandLine &cl);

// Without a display and without a platform chosen (QT_QPA_PLATFORM), Qt
// would abort the panel with its own words: the line to say instead, or
// "" when a window can be shown. Each argument is the variable's value or
// null.
std::string NoGraphicalSession(const char *platform, const char *display, const char *wayland);
