#include "Spool.h"

#include "WholeWrite.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <set>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace plant {

namespace {

std::string Errno(const std::string &what)
{
	return what + ": " + std::strerror(errno);
}

int OpenRegular(const std::string &path, int flags, std::string &why);

// An flock on the journal's lock file for as long as it lives. The lock file
// stays: the spool itself is replaced while sending.
class Lock
{
public:
	Lock(const std::string &path, int operation)
	{
		fd_ = OpenRegular(path + ".lock", O_RDWR | O_CREAT, why_);
		if (fd_ < 0)
			return;
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

// Opened without blocking (a FIFO there must not hang a station) and only
// when it is a regular file. why: "ENOENT" when it does not exist.
int OpenRegular(const std::string &path, int flags, std::string &why)
{
	int fd = open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
	if (fd < 0) {
		why = errno == ENOENT && !(flags & O_CREAT) ? "ENOENT" : Errno(path);
		return -1;
	}
	struct stat st {
	};
	if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
		close(fd);
		why = path + ": not a regular file";
		return -1;
	}
	return fd;
}

std::string WriteAll(int fd, const std::string &text)
{
	return fileio::WriteWhole(fd, text) ? "" : std::strerror(errno);
}

std::string AppendTo(const std::string &path, const std::string &text)
{
	std::string why;
	int fd = OpenRegular(path, O_RDWR | O_APPEND | O_CREAT, why);
	if (fd < 0)
		return why;
	// A piece of a line left by a full disk must not swallow this record:
	// it starts a line of its own.
	std::string line = text;
	struct stat st {
	};
	char last = '\n';
	if (fstat(fd, &st) == 0 && st.st_size > 0 && pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n')
		line.insert(line.begin(), '\n');
	// One write(): O_APPEND makes it land whole after every other station's.
	ssize_t n;
	do
		n = write(fd, line.data(), line.size());
	while (n < 0 && errno == EINTR);
	if (n < 0)
		why = Errno(path);
	else if (static_cast<size_t>(n) != line.size())
		why = path + ": only part of the record was written (disk full?)";
	if (fdatasync(fd) != 0 && why.empty())
		why = Errno(path);
	if (close(fd) != 0 && why.empty())
		why = Errno(path);
	return why;
}

std::vector<std::string> ReadLines(const std::string &path, std::string &why)
{
	std::vector<std::string> lines;
	int fd = OpenRegular(path, O_RDONLY, why);
	if (fd < 0) {
		if (why == "ENOENT")
			why.clear();
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

// path's content replaced whole (a new file renamed over it), so a crash
// leaves the old or the new, never half; empty content removes it.
std::string Replace(const std::string &path, const std::string &content)
{
	if (content.empty())
		return unlink(path.c_str()) == 0 || errno == ENOENT ? "" : Errno(path);
	// A name of its own: stations of one host may replace a file at once.
	std::string temporary = path + ".new-XXXXXX";
	int fd = mkostemp(temporary.data(), O_CLOEXEC);
	std::string failed = fd < 0 ? Errno(temporary) : WriteAll(fd, content);
	if (fd >= 0) {
		if (failed.empty() && fdatasync(fd) != 0)
			failed = Errno(temporary);
		close(fd);
	}
	if (failed.empty() && rename(temporary.c_str(), path.c_str()) != 0)
		failed = Errno(path);
	if (!failed.empty())
		unlink(temporary.c_str());
	return failed;
}

std::optional<std::int64_t> SequenceOf(const std::string &line)
{
	nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
	if (j.is_object() && j.contains("sequence") && j["sequence"].is_number_integer())
		return j["sequence"].get<std::int64_t>();
	return std::nullopt;
}

} // namespace

std::string RoomForRecords(int fd)
{
	struct statvfs fs {
	};
	if (fstatvfs(fd, &fs) != 0)
		return Errno("the free space of its disk cannot be read");
	std::uint64_t blocks = geteuid() == 0 ? fs.f_bfree : fs.f_bavail;
	std::uint64_t free = blocks * fs.f_frsize;
	if (free >= kRecordRoomBytes)
		return "";
	return "its disk is full (" + std::to_string(free / 1024) + " KiB free, a record needs " +
	       std::to_string(kRecordRoomBytes / 1024) + " KiB)";
}

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

std::string NameHash(const std::string &text)
{
	// FNV-1a: stable across builds and hosts, unlike std::hash.
	std::uint64_t hash = 14695981039346656037ull;
	for (unsigned char c : text) {
		hash ^= c;
		hash *= 1099511628211ull;
	}
	char hex[20];
	std::snprintf(hex, sizeof(hex), "%016llx", static_cast<unsigned long long>(hash));
	return hex;
}

std::string JournalPathFor(const std::string &folder, const std::string &target, const std::string &station)
{
	return folder + "/journal-" + NameHash(target) + "-" + NameHash(station) + ".jsonl";
}

std::string LegacySpoolPathFor(const std::string &folder, const std::string &target)
{
	return folder + "/spool-" + NameHash(target) + ".jsonl";
}

std::string RememberTarget(const std::string &folder, const std::string &target)
{
	std::string path = folder + "/journal-" + NameHash(target) + ".target";
	std::string why;
	std::vector<std::string> known = ReadLines(path, why);
	if (why.empty() && known.size() == 1 && known.front() == target)
		return "";
	return Replace(path, target + "\n");
}

std::vector<Journal> FindJournals(const std::string &folder, std::string &why)
{
	std::vector<Journal> found;
	DIR *dir = opendir(folder.c_str());
	if (!dir) {
		why = Errno(folder);
		return found;
	}
	while (dirent *entry = readdir(dir)) {
		std::string name = entry->d_name;
		// journal-<target hash>-<station hash>.jsonl
		if (name.size() != 8 + 16 + 1 + 16 + 6 || !name.starts_with("journal-") ||
		    !name.ends_with(".jsonl"))
			continue;
		std::string ignored;
		std::vector<std::string> target = ReadLines(folder + "/" + name.substr(0, 8 + 16) + ".target",
							    ignored);
		if (target.size() == 1)
			found.push_back({ folder + "/" + name, target.front() });
	}
	closedir(dir);
	std::sort(found.begin(), found.end(),
		  [](const Journal &a, const Journal &b) { return a.path < b.path; });
	return found;
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

std::string Spool::Check() const
{
	// The journal is replaced whole when records leave it: a file made beside it.
	std::string folder = path_.substr(0, path_.find_last_of('/') + 1);
	if (faccessat(AT_FDCWD, folder.empty() ? "." : folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
		return Errno(folder);
	Lock lock(path_, LOCK_SH);
	if (!lock.Why().empty())
		return lock.Why();
	std::string why;
	int fd = OpenRegular(path_, O_RDWR | O_APPEND | O_CREAT, why);
	if (fd < 0)
		return why;
	if (std::string full = RoomForRecords(fd); !full.empty())
		why = path_ + ": " + full;
	close(fd);
	return why;
}

std::string Spool::SetAside(const std::string &line) const
{
	return AppendTo(RejectedPath(), line + '\n');
}

std::optional<std::int64_t> Spool::LastSequence(std::string &why) const
{
	std::optional<std::int64_t> last;
	std::vector<std::string> lines = Lines(why);
	std::vector<std::string> kept = ReadLines(path_ + ".last", why);
	lines.insert(lines.end(), kept.begin(), kept.end());
	for (const std::string &line : lines) {
		if (std::optional<std::int64_t> sequence = SequenceOf(line);
		    sequence && (!last || *sequence > *last))
			last = sequence;
	}
	return last;
}

std::string Spool::Drop(const std::vector<std::string> &sent) const
{
	Lock lock(path_, LOCK_EX);
	if (!lock.Why().empty())
		return lock.Why();
	std::string why;
	std::vector<std::string> lines = ReadLines(path_, why);
	if (!why.empty())
		return why;
	std::set<std::string> gone(sent.begin(), sent.end());
	std::string rest;
	std::optional<std::int64_t> last;
	for (const std::string &line : lines) {
		if (!gone.contains(line))
			rest += line + '\n';
		else if (std::optional<std::int64_t> sequence = SequenceOf(line);
			 sequence && (!last || *sequence > *last))
			last = sequence;
	}
	// The station numbers on from its last record even once the journal is
	// empty and the database cannot be asked.
	if (last) {
		std::string ignored;
		std::vector<std::string> kept = ReadLines(path_ + ".last", ignored);
		std::optional<std::int64_t> before = kept.empty() ? std::nullopt : SequenceOf(kept.front());
		if (!before || *last > *before)
			why = Replace(path_ + ".last", "{\"sequence\":" + std::to_string(*last) + "}\n");
	}
	return why.empty() ? Replace(path_, rest) : why;
}

Spool::Sent Spool::Send(const std::function<Insertion(const std::string &, std::string &)> &insert) const
{
	Sent sent;
	std::vector<std::string> lines = Lines(sent.error);
	if (!sent.error.empty())
		return sent;
	std::vector<std::string> done;
	for (const std::string &line : lines) {
		std::string why;
		Insertion how = insert(line, why);
		if (how == Insertion::Transient || how == Insertion::Refused) {
			sent.error = why;
			sent.tableRefused = how == Insertion::Refused;
			break;
		}
		if (how == Insertion::Rejected) {
			// Kept for a person to look at, out of the way of the others.
			if (std::string failed = SetAside(line); !failed.empty()) {
				sent.error = "refused by the database (" + why +
					     ") and not set aside: " + failed;
				break;
			}
			sent.rejected++;
			sent.refusals.push_back(why);
		} else {
			(how == Insertion::Inserted ? sent.inserted : sent.duplicates)++;
		}
		done.push_back(line);
	}
	sent.left = static_cast<int>(lines.size() - done.size());
	if (done.empty())
		return sent;
	if (std::string failed = Drop(done); !failed.empty()) {
		// The journal stays as it was: what was sent goes again, kept once.
		sent.left = static_cast<int>(lines.size());
		if (sent.error.empty())
			sent.error = failed;
	}
	return sent;
}

} // namespace plant
