#include "StationLock.h"

#include "Spool.h"

#include "WholeWrite.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plant {

std::string SessionName()
{
	char host[256] = {};
	gethostname(host, sizeof(host) - 1);
	return "process " + std::to_string(getpid()) + " on " + host;
}

StationLock::~StationLock()
{
	if (fd_ >= 0)
		close(fd_); // releases the lock; the file stays for the next session
}

std::string StationLock::Take(const std::string &folder, const std::string &station, bool &inUse)
{
	inUse = false;
	std::string path = folder + "/station-" + NameHash(station) + ".lock";
	int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
	struct stat st {
	};
	if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
		std::string why = fd < 0 ? std::strerror(errno) : "not a regular file";
		if (fd >= 0)
			close(fd);
		return "the station's lock " + path + " cannot be used: " + why;
	}
	if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
		char holder[256] = {};
		ssize_t n = pread(fd, holder, sizeof(holder) - 1, 0);
		close(fd);
		inUse = true;
		std::string who = n > 0 ? std::string(holder, static_cast<size_t>(n)) : "a session";
		while (!who.empty() && who.back() == '\n')
			who.pop_back();
		return "station " + station + " is in use by " + who +
		       "; give each session its own --station";
	}
	std::string me = SessionName() + "\n";
	if (ftruncate(fd, 0) != 0 || !fileio::WriteWhole(fd, me)) {
		close(fd);
		return "the station's lock " + path + " cannot be written: " + std::strerror(errno);
	}
	fd_ = fd;
	return "";
}

} // namespace plant
