#include "RegularFile.h"

#include "WholeWrite.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace fileio {

namespace {

std::string errnoText(const char *what)
{
	return std::string(what) + ": " + std::strerror(errno);
}

// The folder that holds path, whose entry the rename changes: "." for a
// bare name, "/" for a file at the root.
std::string folderOf(const std::string &path)
{
	size_t slash = path.rfind('/');
	if (slash == std::string::npos)
		return ".";
	return slash == 0 ? "/" : path.substr(0, slash);
}

// Why no file can be made beside path, naming the folder: the name alone
// does not tell which folder is missing or closed. Call with errno set.
std::string cannotCreateIn(const std::string &path)
{
	int error = errno;
	std::string folder = folderOf(path);
	return "cannot create a file in " + (folder == "." ? "the current folder" : "the folder " + folder) +
	       ": " + std::strerror(error);
}

// While any thread replaces a file, SIGINT, SIGTERM and SIGHUP wait, so
// every temporary file is complete and renamed, or gone, before one of
// them can end the program. On a writing thread they are blocked; one that
// reaches another thread (a program may have several: the panel has Qt's)
// is kept here, and the last write to end raises it again.
//
// One word, so that the handler and the end of a write never miss each
// other: the number of writes in progress above the bits of the signals
// kept.
std::atomic<unsigned> g_writes{ 0 };
static_assert(std::atomic<unsigned>::is_always_lock_free);

constexpr int kHeldSignals[] = { SIGINT, SIGTERM, SIGHUP };
constexpr unsigned kKeptMask = (1u << std::size(kHeldSignals)) - 1;
constexpr unsigned kOneWrite = kKeptMask + 1;

unsigned keptBit(int signal)
{
	for (size_t i = 0; i < std::size(kHeldSignals); i++)
		if (kHeldSignals[i] == signal)
			return 1u << i;
	return 0;
}

extern "C" void KeepForTheWrite(int signal)
{
	unsigned state = g_writes.load();
	while (state >= kOneWrite) {
		if (g_writes.compare_exchange_weak(state, state | keptBit(signal)))
			return;
	}
	// No write is in progress any more: the signal does what it would
	// have done.
	std::signal(signal, SIG_DFL);
	std::raise(signal);
}

// Installs the handler above for the first write and puts the program's
// own actions back after the last; a signal the program handles itself
// keeps its handler.
class SignalsHeld
{
public:
	SignalsHeld()
	{
		sigset_t held;
		sigemptyset(&held);
		for (int signal : kHeldSignals)
			sigaddset(&held, signal);
		pthread_sigmask(SIG_BLOCK, &held, &m_previous);
		std::lock_guard lock(s_mutex);
		// A kept signal ends the program once the writes in progress
		// are done; one begun now would only hold it longer.
		if (g_writes.load() & kKeptMask)
			return;
		m_writing = true;
		if (g_writes.load() < kOneWrite) {
			struct sigaction keeping = {};
			keeping.sa_handler = KeepForTheWrite;
			sigemptyset(&keeping.sa_mask);
			for (size_t i = 0; i < std::size(kHeldSignals); i++) {
				sigaction(kHeldSignals[i], nullptr, &s_actions[i]);
				s_replaced[i] = s_actions[i].sa_handler == SIG_DFL;
				if (s_replaced[i])
					sigaction(kHeldSignals[i], &keeping, nullptr);
			}
		}
		g_writes += kOneWrite;
	}
	~SignalsHeld()
	{
		unsigned kept = 0;
		if (m_writing) {
			std::lock_guard lock(s_mutex);
			unsigned state = g_writes.load();
			unsigned next;
			do {
				next = state - kOneWrite;
				if (next < kOneWrite)
					next = 0; // the last write takes the kept signals
			} while (!g_writes.compare_exchange_weak(state, next));
			if (next == 0) {
				kept = state & kKeptMask;
				for (size_t i = 0; i < std::size(kHeldSignals); i++)
					if (s_replaced[i])
						sigaction(kHeldSignals[i], &s_actions[i], nullptr);
			}
		}
		// Blocked here until the mask is restored, then they take effect.
		for (size_t i = 0; i < std::size(kHeldSignals); i++)
			if (kept & (1u << i))
				std::raise(kHeldSignals[i]);
		pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
	}
	// false: a terminating signal is waiting, the program is ending.
	bool writing() const { return m_writing; }
	SignalsHeld(const SignalsHeld &) = delete;
	SignalsHeld &operator=(const SignalsHeld &) = delete;

private:
	sigset_t m_previous;
	bool m_writing = false;
	static inline std::mutex s_mutex; // the first and the last write, one at a time
	static inline struct sigaction s_actions[std::size(kHeldSignals)];
	static inline bool s_replaced[std::size(kHeldSignals)] = {};
};

std::function<std::string()> g_temporaryNames;

std::string randomSuffix(unsigned attempt)
{
	unsigned value = 0;
	if (getentropy(&value, sizeof(value)) != 0)
		value = static_cast<unsigned>(getpid()) * 131u + attempt;
	char suffix[16];
	std::snprintf(suffix, sizeof(suffix), "%08x", value);
	return suffix;
}

// A new file beside target, never one that exists already: O_EXCL, so a
// file at the name chosen (another write's, an attacker's link) is never
// opened, let alone truncated. Such a file is regular: no write to it can
// block.
int createTemporary(const std::string &target, mode_t mode, std::string &temp)
{
	for (unsigned attempt = 0; attempt < 100; attempt++) {
		temp = target + "." + (g_temporaryNames ? g_temporaryNames() : randomSuffix(attempt));
		int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
		if (fd >= 0 || errno != EEXIST)
			return fd;
	}
	errno = EEXIST;
	return -1;
}

// What stands at path: absent (exists false), or a regular file that may
// be written, with its status; else why not. The name itself is looked
// at, not what a link names.
std::string examineTarget(const std::string &path, struct stat &st, bool &exists)
{
	exists = false;
	if (path.empty())
		return "no file name";
	exists = lstat(path.c_str(), &st) == 0;
	if (!exists)
		return errno == ENOENT ? "" : std::strerror(errno);
	if (std::string why = NotRegularFile(st); !why.empty())
		return why;
	// Renaming over it needs no right to the file itself: a file its
	// owner made read-only is kept.
	if ((st.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0)
		return "the file is read-only";
	return "";
}

using Fill = std::function<bool(int fd)>;

std::string replace(const std::string &path, const Fill &fill, const Replacement &how)
{
	struct stat st;
	bool exists = false;
	if (std::string why = examineTarget(path, st, exists); !why.empty())
		return why;
	if (exists && how.mayReplace) {
		std::string why;
		int old = OpenRegularFile(path, why);
		if (old < 0)
			return why;
		why = how.mayReplace(old, st);
		close(old);
		if (!why.empty())
			return why;
	}

	SignalsHeld held;
	if (!held.writing())
		return "the program is ending";
	std::string temp;
	int fd = createTemporary(path, how.mode.value_or(0666), temp);
	if (fd < 0)
		return cannotCreateIn(path);
	std::string why;
	// A replacement keeps the owner (where the system lets it: a tool
	// run as root must not take a user's file) and the permissions.
	if (exists && fchown(fd, st.st_uid, st.st_gid) != 0) {
		// the writer's own, as any new file
	}
	const mode_t mode = how.mode ? *how.mode : exists ? st.st_mode & 07777 : 0;
	if (!fill(fd) || ((how.mode || exists) && fchmod(fd, mode) != 0) || fsync(fd) != 0)
		why = errnoText("cannot write");
	if (close(fd) != 0 && why.empty())
		why = errnoText("cannot write");
	// What stood there may have changed while the file was written: only
	// a regular file (or nothing) is ever renamed over.
	struct stat now;
	bool stillThere = false;
	if (std::string changed = examineTarget(path, now, stillThere); why.empty() && !changed.empty())
		why = changed;
	if (why.empty() && rename(temp.c_str(), path.c_str()) != 0)
		why = errnoText("cannot replace the file");
	if (!why.empty()) {
		unlink(temp.c_str());
		return why;
	}
	// The rename lasts once the folder is on the disk too.
	if (int folder = open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
	    folder >= 0) {
		fsync(folder);
		close(folder);
	}
	return "";
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
	if (S_ISLNK(st.st_mode))
		return "it is a symbolic link";
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

std::string CheckReplaceable(const std::string &path)
{
	struct stat st;
	bool exists = false;
	if (std::string why = examineTarget(path, st, exists); !why.empty())
		return why;
	// The temporary file goes into the folder: one that is missing or
	// closed to this user fails every write.
	if (access(folderOf(path).c_str(), W_OK | X_OK) != 0)
		return cannotCreateIn(path);
	return "";
}

std::string ReplaceRegularFile(const std::string &path, std::string_view text, const Replacement &how)
{
	return replace(
		path, [text](int fd) { return WriteWhole(fd, text); }, how);
}

std::string CopyRegularFile(const std::string &from, const std::string &path)
{
	std::string why;
	int in = OpenRegularFile(from, why);
	if (in < 0)
		return "cannot read " + from + ": " + why;
	struct stat st;
	if (fstat(in, &st) != 0) {
		why = errnoText("cannot read it");
		close(in);
		return why;
	}
	why = replace(path,
		      [in](int out) {
			      char buffer[65536];
			      for (;;) {
				      ssize_t n = read(in, buffer, sizeof(buffer));
				      if (n < 0 && errno == EINTR)
					      continue;
				      if (n <= 0)
					      return n == 0;
				      if (!WriteWhole(out, std::string_view(buffer, static_cast<size_t>(n))))
					      return false;
			      }
		      },
		      { {}, st.st_mode & 07777 });
	close(in);
	return why;
}

void UseTemporaryNames(std::function<std::string()> names)
{
	g_temporaryNames = std::move(names);
}

} // namespace fileio
