// Writing a whole buffer to a descriptor: write() may take part of it, be
// interrupted by a signal, or find a non-blocking descriptor full.
#pragma once

#include <string_view>

namespace fileio {

// Writes all of text to fd, again after EINTR and, on a non-blocking
// descriptor, after waiting until it takes more. False with errno set when
// it cannot (EIO for a write that takes nothing).
bool WriteWhole(int fd, std::string_view text);

} // namespace fileio
