#include "BusIdentity.h"
#include "CommandLine.h"
#include "PictureWindow.h"
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
	// Chosen before the first transfer; without --bus, QXIIC_BUS decides.
	if (!cl.bus.empty())
		iicbus::SelectBus(cl.bus);
	if (!cl.video.empty())
		SetPictureSource(cl.video, true);
	return AfxWinMain(argc, argv);
}
