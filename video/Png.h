// A frame into a PNG file.
#pragma once

#include "Frame.h"

#include <string>

namespace video {

// Returns why the file could not be written, or "".
std::string WritePng(const Frame &frame, const std::string &file);

} // namespace video
