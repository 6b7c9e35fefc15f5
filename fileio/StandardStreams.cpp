#include "StandardStreams.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace fileio {

namespace {

bool g_closed[3] = {};

} // namespace

std::string OpenStandardStreams()
{
	for (int fd = 0; fd < 3; fd++) {
		if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
			continue;
		// open() takes the lowest free number: this one, as the lower ones are open.
		int opened = open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
		if (opened < 0)
			return std::string("/dev/null cannot be opened (") + std::strerror(errno) + ")";
		if (opened != fd) {
			close(opened);
			return "/dev/null did not take descriptor " + std::to_string(fd);
		}
		g_closed[fd] = true;
	}
	return "";
}

bool StandardStreamWasClosed(int fd)
{
	return fd >= 0 && fd < 3 && g_closed[fd];
}

} // namespace fileio
