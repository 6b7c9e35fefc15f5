// A frame made small for a record: about 160 pixels wide, its aspect
// kept, as a PNG in memory (libpng), and back.
#pragma once

#include "Frame.h"

#include <cstddef>
#include <string>

namespace video {

constexpr int kThumbnailWidth = 160;
// The most a thumbnail may be to be shown: no frame makes one higher than
// wide, and 160 x 160 RGB pixels take 75 KiB before any compression.
constexpr int kThumbnailMostHeight = 160;
constexpr std::size_t kThumbnailMostBytes = 128 * 1024;

// Each pixel the mean of the frame's pixels it covers.
Frame ShrinkFrame(const Frame &frame, int width = kThumbnailWidth);

// The frame as PNG bytes; "" when it could not be made.
std::string EncodePng(const Frame &frame);
// PNG bytes as an RGB frame; false when they are no PNG.
bool DecodePng(const std::string &png, Frame &frame);
// Whether png may be shown as a thumbnail: at most kThumbnailMostBytes,
// and decoded whole by libpng (every chunk's checksum, all of its image
// data) to at most kThumbnailWidth x kThumbnailMostHeight pixels, its size
// checked before anything is decoded.
bool IsThumbnailPng(const std::string &png);

} // namespace video
