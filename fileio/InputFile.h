// Reading a file the user named, one careful way for every input: only
// what can be read to its end is read, never more than a limit, and never
// by waiting forever. A directory or a device is refused before a byte is
// read; a FIFO or a pipe is read only where a caller allows streams, and
// then only until its writer closes it within the time given.
//
// Plain POSIX, no messages shown: the refusal is one short phrase that the
// caller puts after the file's name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fileio {

struct InputLimits {
	std::size_t maxBytes = 0; // a longer input is refused
	const char *kind = "";    // what the input should be: "settings file", "script"
	bool streams = false;     // a FIFO or a pipe may be read
	int waitMs = 0;           // how long a stream may take to reach its end
};

struct InputText {
	bool ok = false;
	std::string text;
	std::string why; // on refusal: "it is a directory", ...
};

// Opens path without blocking and reads it whole.
InputText ReadInputFile(const std::string &path, const InputLimits &limits);

// Reads an open descriptor whole (standard input); fd stays open.
InputText ReadInputDescriptor(int fd, const InputLimits &limits);

// Text from a file or a command line as a message may show it, always on
// one line: control characters as \n, \r, \t or \xNN (a line end or an
// escape sequence would forge or hide the message's own text), and cut to
// about longest bytes with "..." when a limit is given. Every front end
// shows input this way.
std::string ShownText(std::string_view text, std::size_t longest = std::string_view::npos);

} // namespace fileio
