#include "InputFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileio {

namespace {

InputText refuse(std::string why)
{
	InputText result;
	result.why = std::move(why);
	return result;
}

std::string withErrno(const char *what)
{
	return std::string(what) + " (" + std::strerror(errno) + ")";
}

std::string tooLarge(const InputLimits &limits)
{
	return std::string("it is larger than any ") + limits.kind;
}

std::string duration(int ms)
{
	if (ms >= 1000 && ms % 1000 == 0)
		return std::to_string(ms / 1000) + " s";
	return std::to_string(ms) + " ms";
}

// Why the file open at fd is not read, or "" when it may be.
std::string refusal(int fd, const struct stat &st, const InputLimits &limits)
{
	if (S_ISDIR(st.st_mode))
		return "it is a directory";
	if (S_ISREG(st.st_mode))
		return static_cast<std::size_t>(st.st_size) > limits.maxBytes ? tooLarge(limits) : "";
	if (!limits.streams)
		return "it is not a regular file";
	if (S_ISFIFO(st.st_mode))
		return "";
	if (isatty(fd) == 1)
		return "it is a terminal";
	if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
		return "it is a device";
	return "it is neither a file nor a pipe";
}

// A regular file: its size is known, so a read is done when it has it all.
// A stream: read until its writer closes it, waiting for data with poll, so
// a FIFO nobody writes or a writer that never ends cannot hold the caller.
InputText readAll(int fd, bool stream, const InputLimits &limits)
{
	using Clock = std::chrono::steady_clock;
	const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limits.waitMs);
	InputText result;
	char buffer[65536];
	for (;;) {
		if (stream) {
			auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
											  Clock::now());
			struct pollfd p = { fd, POLLIN, 0 };
			int ready = poll(&p, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
			if (ready < 0 && errno == EINTR)
				continue;
			if (ready < 0)
				return refuse(withErrno("the file could not be read"));
			if (ready == 0)
				return refuse("its writer did not finish it within " +
					      duration(limits.waitMs));
		}
		ssize_t n = read(fd, buffer, sizeof(buffer));
		if (n < 0 && (errno == EINTR || errno == EAGAIN))
			continue;
		if (n < 0)
			return refuse(withErrno("the file could not be read to its end"));
		if (n == 0)
			break;
		if (result.text.size() + static_cast<std::size_t>(n) > limits.maxBytes)
			return refuse(tooLarge(limits));
		result.text.append(buffer, static_cast<std::size_t>(n));
	}
	result.ok = true;
	return result;
}

} // namespace

InputText ReadInputDescriptor(int fd, const InputLimits &limits)
{
	struct stat st;
	if (fstat(fd, &st) != 0)
		return refuse(withErrno("the file cannot be examined"));
	if (std::string why = refusal(fd, st, limits); !why.empty())
		return refuse(why);
	// Without O_NONBLOCK a read would wait past the deadline; the
	// descriptor's flags are the caller's and are put back.
	int flags = fcntl(fd, F_GETFL);
	if (flags >= 0 && !(flags & O_NONBLOCK))
		fcntl(fd, F_SETFL, flags | O_NONBLOCK);
	InputText result = readAll(fd, !S_ISREG(st.st_mode), limits);
	if (flags >= 0 && !(flags & O_NONBLOCK))
		fcntl(fd, F_SETFL, flags);
	return result;
}

std::string ShownText(std::string_view text, std::size_t longest)
{
	bool cut = text.size() > longest;
	if (cut) {
		// Not inside a character of several bytes.
		while (longest > 0 && (static_cast<unsigned char>(text[longest]) & 0xC0) == 0x80)
			longest--;
		text = text.substr(0, longest);
	}
	std::string shown;
	for (char c : text) {
		auto byte = static_cast<unsigned char>(c);
		if (c == '\n') {
			shown += "\\n";
		} else if (c == '\r') {
			shown += "\\r";
		} else if (c == '\t') {
			shown += "\\t";
		} else if (byte < 0x20 || byte == 0x7F) {
			static constexpr char kDigits[] = "0123456789abcdef";
			shown += "\\x";
			shown += kDigits[byte >> 4];
			shown += kDigits[byte & 0xF];
		} else {
			shown += c;
		}
	}
	if (cut)
		shown += "...";
	return shown;
}

InputText ReadInputFile(const std::string &path, const InputLimits &limits)
{
	// O_NONBLOCK: opening a FIFO for reading would wait for a writer.
	int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
	if (fd < 0)
		return refuse(withErrno("the file cannot be opened for reading"));
	InputText result = ReadInputDescriptor(fd, limits);
	close(fd);
	return result;
}

} // namespace fileio
