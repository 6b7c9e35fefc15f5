#include "WholeWrite.h"

#include <cerrno>

#include <poll.h>
#include <unistd.h>

namespace fileio {

bool WriteWhole(int fd, std::string_view text)
{
	while (!text.empty()) {
		ssize_t n = write(fd, text.data(), text.size());
		if (n < 0 && errno == EINTR)
			continue;
		if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
			struct pollfd ready = { fd, POLLOUT, 0 };
			poll(&ready, 1, -1);
			continue;
		}
		if (n <= 0) {
			if (n == 0)
				errno = EIO;
			return false;
		}
		text.remove_prefix(static_cast<size_t>(n));
	}
	return true;
}

} // namespace fileio
