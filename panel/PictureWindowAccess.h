// The picture window's Qt side, for tests: the source it opens can be
// replaced (a simulated camera that waits for the test instead of the
// clock), and the window found.
#pragma once

#include "FrameSource.h"

#include <functional>
#include <memory>
#include <string>

class QWidget;

using PictureSourceFactory =
	std::function<std::unique_ptr<video::FrameSource>(const std::string &source, std::string &why)>;

// An empty factory puts the real one back.
void SetPictureSourceFactory(PictureSourceFactory factory);

// The open picture window, or nullptr.
QWidget *PictureWindowWidget();
