// The room a dialog has on the screen it opens on.
#include "../qt_access.h"
#include "controls.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {
QRect g_area;
}

namespace toolkit {

void SetAvailableScreenArea(const QRect &area)
{
	g_area = area;
}

} // namespace toolkit

namespace toolkit::detail {

QRect AvailableScreenArea(const QWidget &window)
{
	if (g_area.isValid())
		return g_area;
	// Rendering into memory there is no screen to fit.
	if (QGuiApplication::platformName() == QLatin1String("offscreen"))
		return {};
	const QScreen *screen = window.screen();
	return screen ? screen->availableGeometry() : QRect();
}

} // namespace toolkit::detail
