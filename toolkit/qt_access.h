// The Qt side of the toolkit, for the application's start-up, tools and
// widget tests. Handlers never include this.
#pragma once

#include <QRect>
#include <QString>

#include <chrono>
#include <functional>

class CDialog;
class QDialog;
class QMessageBox;
class QWidget;

namespace toolkit {

// The dialog's window; nullptr before Create/DoModal and after it ended.
QDialog *DialogWidget(const CDialog &dialog);
// The control with this identifier (objectName is the decimal identifier).
QWidget *ControlWidget(const CDialog &dialog, int id);

// Called with every message box just before it runs modally; tests use it
// to read the text and close the box.
void SetMessageBoxObserver(std::function<void(QMessageBox &)> observer);

// The clock that limits how often a progress bar paints while the thread
// is blocked; tests set their own. An empty function restores the real one.
void SetPaintClock(std::function<std::chrono::steady_clock::time_point()> clock);

// The screen area a dialog must fit in, else it scrolls; an empty area
// restores the real screen's (unlimited when rendering offscreen).
void SetAvailableScreenArea(const QRect &area);

// Where a window's frame (title bar included) goes so that it lies inside
// the screen area: its position kept where it already fits, moved in where
// it does not, and at the area's top or left edge in a direction the frame
// is too large for, so that its title bar can still be reached.
QPoint PlaceFrame(const QRect &area, const QRect &frame);

// Caption of every message box.
QString ApplicationTitle();

} // namespace toolkit
