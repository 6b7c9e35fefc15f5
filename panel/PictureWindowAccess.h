// The picture window's Qt side, for tests and tools.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

class CDialog;
class QWidget;

// The panel's open picture window, or nullptr.
QWidget *PictureWindowWidget(const CDialog &panel);

// The picture fitted into box with its aspect kept, smoothly: scaled down,
// every pixel of the picture counts toward the one it falls into, so a
// line one pixel wide stays visible at any size.
QImage FitPicture(const QImage &picture, const QSize &box);

// Where the window's frame of this size goes beside the panel's frame in
// the screen's area: right of it, else left of it, else overlapping it on
// the side with more room, whole and inside the area, never narrowed.
QRect PictureFrameBeside(const QRect &panel, const QRect &area, const QSize &frame);
