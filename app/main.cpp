#include "BusIdentity.h"
#include "CommandLine.h"
#include "StandardStreams.h"
#include "VelmoraApp.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

CVelmoraApp theApp;

int main(int argc, char **argv)
{
	// Before anything is opened: nothing may take a closed stream's number.
	if (std::string why = fileio::OpenStandardStreams(); !why.empty()) {
		std::fprintf(stderr, "velmora: %s\n", why.c_str());
		return 1;
	}
	PanelCommandLine cl = ParsePanelCommandLine({ argv + 1, argv + argc }, std::getenv("QXIIC_BUS"));
	std::fputs(cl.out.c_str(), stdout);
	std::fputs(cl.err.c_str(), stderr);
	// Checked before Qt is started: it would abort instead.
	const std::string noSession = NoGraphicalSession(
		std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"));
	if (!cl.refusal.empty() && !noSession.empty())
		return cl.status;
	if (!cl.refusal.empty()) {
		QApplication application(argc, argv);
		QApplication::setApplicationName(QStringLiteral("Velmora"));
		return ShowCommandLineRefusal(cl);
	}
	if (!cl.run)
		return cl.status;
	if (!noSession.empty()) {
		std::fputs(noSession.c_str(), stderr);
		return 1;
	}
	// Chosen before the first transfer; without --bus, QXIIC_BUS decides.
	// As typed: the title says "simulated camera" for sim, as the user named it.
	if (!cl.buses.empty())
		iicbus::SelectBus(cl.buses.front().given);
	theApp.SetPictureSource(PictureSourceOf(cl));
	return AfxWinMain(argc, argv);
}
