// A frame made small for a record: about 160 pixels wide, its aspect
// kept, as a PNG in memory (libpng), and back.
#pragma once

#include "Frame.h"

#include <string>

namespace video {

constexpr int kThumbnailWidth = 160;

// Each pixel the mean of the frame's pixels it covers.
Frame ShrinkFrame(const Frame &frame, int width = kThumbnailWidth);

// The frame as PNG bytes; "" when it could not be made.
std::string EncodePng(const Frame &frame);
// PNG bytes as an RGB frame; false when they are no PNG.
bool DecodePng(const std::string &png, Frame &frame);

} // namespace video
