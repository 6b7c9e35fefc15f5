// A frame into a PNG file.
#pragma once

#include "Frame.h"

#include <string>

namespace video {

// The frame as a PNG file, written whole as fileio::ReplaceRegularFile
// writes: only a regular file is replaced, and a failure leaves what was
// there. Returns why the file could not be written, or "".
std::string WritePng(const Frame &frame, const std::string &file);

} // namespace video
