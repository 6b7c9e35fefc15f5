#include "RegularFile.h"

#include "WholeWrite.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace fileio {

namespace {

std::string withErrno(const char *what)
{
	return std::string(what) + " (" + std::strerror(errno) + ")";
}

// The file path names, its links followed; path itself when it does not
// exist or is no link.
std::string Resolved(const std::string &path)
{
	struct stat st;
	char resolved[PATH_MAX];
	if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || !realpath(path.c_str(), resolved))
		return path;
	return resolved;
}

std::string FolderOf(const std::string &path)
{
	size_t slash = path.rfind('/');
	if (slash == std::string::npos)
		return ".";
	return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string NotRegularFile(const struct stat &st)
{
	if (S_ISREG(st.st_mode))
		return "";
	if (S_ISDIR(st.st_mode))
		return "it is a directory";
	if (S_ISFIFO(st.st_mode))
		return "it is a FIFO";
	if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
		return "it is a device";
	if (S_ISSOCK(st.st_mode))
		return "it is a socket";
	return "it is not a regular file";
}

int OpenRegularFile(const std::string &path, std::string &why)
{
	int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
	if (fd < 0) {
		why = std::strerror(errno);
		return -1;
	}
	struct stat st;
	why = fstat(fd, &st) != 0 ? std::strerror(errno) : NotRegularFile(st);
	if (!why.empty()) {
		close(fd);
		return -1;
	}
	int flags = fcntl(fd, F_GETFL);
	if (flags >= 0)
		fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
	return fd;
}

std::string ReplaceRegularFile(const std::string &path, std::string_view text, const MayReplace &mayReplace)
{
	const std::string target = Resolved(path);
	struct stat st;
	bool exists = stat(target.c_str(), &st) == 0;
	if (!exists && errno != ENOENT)
		return std::strerror(errno);
	if (exists) {
		if (std::string why = NotRegularFile(st); !why.empty())
			return why;
		std::string why;
		int old = OpenRegularFile(target, why);
		if (old < 0)
			return why;
		why = mayReplace(old, st);
		close(old);
		if (!why.empty())
			return why;
	}

	// A new name beside it, never one that exists (O_EXCL): a file or a
	// link found there is never opened. The umask applies to a new file; a
	// replacement keeps the permissions of the file it replaces.
	std::string temp;
	int fd = -1;
	for (unsigned attempt = 0; fd < 0 && attempt < 100; attempt++) {
		unsigned value = 0;
		if (getentropy(&value, sizeof(value)) != 0)
			value = static_cast<unsigned>(getpid()) * 131u + attempt;
		char suffix[16];
		std::snprintf(suffix, sizeof(suffix), ".%08x", value);
		temp = target + suffix;
		fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
		if (fd < 0 && errno != EEXIST)
			break;
	}
	if (fd < 0)
		return withErrno("no file can be made in its folder");
	std::string why;
	if (!WriteWhole(fd, text) || (exists && fchmod(fd, st.st_mode & 07777) != 0) || fsync(fd) != 0)
		why = withErrno("the write failed");
	if (close(fd) != 0 && why.empty())
		why = withErrno("the write failed");
	if (why.empty() && rename(temp.c_str(), target.c_str()) != 0)
		why = withErrno("it could not be replaced");
	if (!why.empty()) {
		unlink(temp.c_str());
		return why;
	}
	// The rename lasts once the folder is on the disk too.
	if (int folder = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); folder >= 0) {
		fsync(folder);
		close(folder);
	}
	return "";
}

} // namespace fileio
