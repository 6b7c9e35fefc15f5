#include "Spool.h"

#include "WholeWrite.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plant {

namespace {

std::string Errno(const std::string &what)
{
	return what + ": " + std::strerror(errno);
}

// An flock on the spool's lock file for as long as it lives. The lock file
// stays: the spool itself is replaced while sending.
class Lock
{
public:
	Lock(const std::string &path, int operation)
	{
		fd_ = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
		if (fd_ < 0) {
			why_ = Errno(path + ".lock");
			return;
		}
		int result;
		do
			result = flock(fd_, operation);
		while (result != 0 && errno == EINTR);
		if (result != 0)
			why_ = Errno("lock of " + path);
	}
	~Lock()
	{
		if (fd_ >= 0)
			close(fd_); // releases the lock
	}
	const std::string &Why() const { return why_; }

private:
	int fd_ = -1;
	std::string why_;
};

std::string WriteAll(int fd, const std::string &text)
{
	return fileio::WriteWhole(fd, text) ? "" : std::strerror(errno);
}

std::string AppendTo(const std::string &path, const std::string &text)
{
	int fd = open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
	if (fd < 0)
		return Errno(path);
	// A piece of a line left by a full disk must not swallow this record:
	// it starts a line of its own.
	std::string line = text;
	struct stat st {
	};
	char last = '\n';
	if (fstat(fd, &st) == 0 && st.st_size > 0 && pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n')
		line.insert(line.begin(), '\n');
	// One write(): O_APPEND makes it land whole after every other station's.
	std::string why;
	ssize_t n;
	do
		n = write(fd, line.data(), line.size());
	while (n < 0 && errno == EINTR);
	if (n < 0)
		why = Errno(path);
	else if (static_cast<size_t>(n) != line.size())
		why = path + ": only part of the record was written (disk full?)";
	if (fsync(fd) != 0 && why.empty())
		why = Errno(path);
	if (close(fd) != 0 && why.empty())
		why = Errno(path);
	return why;
}

std::vector<std::string> ReadLines(const std::string &path, std::string &why)
{
	std::vector<std::string> lines;
	int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
	if (fd < 0) {
		if (errno != ENOENT)
			why = Errno(path);
		return lines;
	}
	std::string text;
	char buffer[65536];
	for (;;) {
		ssize_t n = read(fd, buffer, sizeof(buffer));
		if (n < 0 && errno == EINTR)
			continue;
		if (n < 0) {
			why = Errno(path);
			break;
		}
		if (n == 0)
			break;
		text.append(buffer, static_cast<size_t>(n));
	}
	close(fd);
	size_t start = 0;
	while (start < text.size()) {
		size_t end = text.find('\n', start);
		if (end == std::string::npos)
			end = text.size();
		if (end > start)
			lines.push_back(text.substr(start, end - start));
		start = end + 1;
	}
	return lines;
}

// mkdir -p with mode 0700 for every folder it makes.
bool MakeFolders(const std::string &path, std::string &why)
{
	for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
		std::string part = path.substr(0, slash);
		if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
			why = Errno(part);
			return false;
		}
		if (slash == std::string::npos)
			break;
	}
	struct stat st {
	};
	if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
		why = path + ": not a folder";
		return false;
	}
	return true;
}

} // namespace

std::string SpoolDirectory(std::string &why)
{
	// The XDG rule: a relative XDG_STATE_HOME is ignored.
	const char *state = std::getenv("XDG_STATE_HOME");
	std::string base;
	if (state && state[0] == '/') {
		base = state;
	} else {
		const char *home = std::getenv("HOME");
		if (!home || home[0] != '/') {
			why = "neither XDG_STATE_HOME nor HOME names a folder for the spool";
			return "";
		}
		base = std::string(home) + "/.local/state";
	}
	std::string folder = base + "/velmora";
	if (!MakeFolders(folder, why))
		return "";
	return folder;
}

std::string SpoolPathFor(const std::string &folder, const std::string &target)
{
	// FNV-1a: stable across builds and hosts, unlike std::hash.
	std::uint64_t hash = 14695981039346656037ull;
	for (unsigned char c : target) {
		hash ^= c;
		hash *= 1099511628211ull;
	}
	char name[40];
	std::snprintf(name, sizeof(name), "spool-%016llx.jsonl", static_cast<unsigned long long>(hash));
	return folder + "/" + name;
}

Spool::Spool(std::string path) : path_(std::move(path)) {}

std::string Spool::RejectedPath() const
{
	std::string stem = path_;
	if (stem.size() > 6 && stem.compare(stem.size() - 6, 6, ".jsonl") == 0)
		stem.resize(stem.size() - 6);
	return stem + ".rejected.jsonl";
}

std::string Spool::Append(const std::string &line) const
{
	Lock lock(path_, LOCK_SH);
	if (!lock.Why().empty())
		return lock.Why();
	return AppendTo(path_, line);
}

std::vector<std::string> Spool::Lines(std::string &why) const
{
	Lock lock(path_, LOCK_SH);
	if (!lock.Why().empty()) {
		why = lock.Why();
		return {};
	}
	return ReadLines(path_, why);
}

Spool::Sent Spool::Send(const std::function<Insertion(const std::string &, std::string &)> &insert) const
{
	Sent sent;
	Lock lock(path_, LOCK_EX);
	if (!lock.Why().empty()) {
		sent.error = lock.Why();
		return sent;
	}
	std::vector<std::string> lines = ReadLines(path_, sent.error);
	if (!sent.error.empty())
		return sent;
	size_t next = 0;
	for (; next < lines.size(); next++) {
		std::string why;
		Insertion how = insert(lines[next], why);
		if (how == Insertion::Transient) {
			sent.error = why;
			break;
		}
		if (how == Insertion::Rejected) {
			// Kept for a person to look at, out of the way of the others.
			if (std::string failed = AppendTo(RejectedPath(), lines[next] + '\n');
			    !failed.empty()) {
				sent.error = "refused by the database (" + why +
					     ") and not set aside: " + failed;
				break;
			}
			sent.rejected++;
		} else {
			(how == Insertion::Inserted ? sent.inserted : sent.duplicates)++;
		}
	}
	sent.left = static_cast<int>(lines.size() - next);
	if (next == 0)
		return sent; // nothing sent: the spool stays as it is
	// What is left replaces the spool whole (a new file renamed over it), so
	// a crash leaves either the old spool or the new, never half of one;
	// sending the old again is harmless, the ids make it so.
	std::string rest;
	for (size_t i = next; i < lines.size(); i++)
		rest += lines[i] + '\n';
	if (rest.empty()) {
		if (unlink(path_.c_str()) != 0 && errno != ENOENT && sent.error.empty())
			sent.error = Errno(path_);
		return sent;
	}
	std::string temporary = path_ + ".new";
	int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
	std::string failed = fd < 0 ? Errno(temporary) : WriteAll(fd, rest);
	if (fd >= 0) {
		if (failed.empty() && fsync(fd) != 0)
			failed = Errno(temporary);
		close(fd);
	}
	if (failed.empty() && rename(temporary.c_str(), path_.c_str()) != 0)
		failed = Errno(path_);
	if (!failed.empty()) {
		// The old spool stays as it was: everything in it is sent again next time.
		unlink(temporary.c_str());
		sent.left = static_cast<int>(lines.size());
		if (sent.error.empty())
			sent.error = failed;
	}
	return sent;
}

} // namespace plant
