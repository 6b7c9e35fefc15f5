#include "CommandLine.h"
#include "VelmoraApp.h"

#include <cstdio>
#include <cstdlib>

CVelmoraApp theApp;

int main(int argc, char **argv)
{
	PanelCommandLine cl = ParsePanelCommandLine({ argv + 1, argv + argc });
	std::fputs(cl.out.c_str(), stdout);
	std::fputs(cl.err.c_str(), stderr);
	if (!cl.run)
		return cl.status;
	// The adapter library reads QXIIC_BUS at every transfer: set before the first.
	if (!cl.bus.empty())
		setenv("QXIIC_BUS", cl.bus.c_str(), 1);
	return AfxWinMain(argc, argv);
}
