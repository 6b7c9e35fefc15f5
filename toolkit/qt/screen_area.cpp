// The room a dialog has on the screen it opens on, and where its frame
// goes in it.
#include "../qt_access.h"
#include "controls.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {
QRect g_area;

int placeAlong(int start, int length, int areaStart, int areaLength)
{
	if (length >= areaLength)
		return areaStart;
	return std::clamp(start, areaStart, areaStart + areaLength - length);
}

} // namespace

namespace toolkit {

void SetAvailableScreenArea(const QRect &area)
{
	g_area = area;
}

QPoint PlaceFrame(const QRect &area, const QRect &frame)
{
	if (area.isEmpty())
		return frame.topLeft();
	return { placeAlong(frame.x(), frame.width(), area.x(), area.width()),
		 placeAlong(frame.y(), frame.height(), area.y(), area.height()) };
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

QMargins WindowFrameMargins(const QWidget &window)
{
	if (const QWindow *handle = window.windowHandle(); handle && !handle->frameMargins().isNull())
		return handle->frameMargins();
	// Before the window manager has framed the window: the style's idea of
	// a title bar and border.
	const int border = window.style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
	return { border, border + window.style()->pixelMetric(QStyle::PM_TitleBarHeight), border, border };
}

} // namespace toolkit::detail
