// Writer of the settings file.
#include "SettingsFileFormat.h"
#include "WholeWrite.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <mutex>
#include <random>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace settings {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kUpperDigits[] = "0123456789ABCDEF";

std::string errnoText(const char *what)
{
	return std::string(what) + ": " + std::strerror(errno);
}

// A path that held a line end would split the header line, and the rest
// of the path would be read back as values.
std::string headerPath(std::string_view path)
{
	std::string text(path);
	for (char &c : text) {
		if (c == '\r' || c == '\n')
			c = ' ';
	}
	return text;
}

// The file a path names: a symbolic link is followed, so the link
// survives and its file is replaced.
bool resolveTarget(const std::string &path, std::string &target, std::string &why)
{
	struct stat st;
	if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
		target = path;
		return true;
	}
	char resolved[PATH_MAX];
	if (!realpath(path.c_str(), resolved)) {
		why = errnoText("the link names no file");
		return false;
	}
	target = resolved;
	return true;
}

// Only a regular file that may be written is replaced: renaming over a
// device node or a FIFO would put a regular file in its place.
bool checkTarget(const std::string &target, struct stat &st, bool &exists, std::string &why)
{
	exists = stat(target.c_str(), &st) == 0;
	if (!exists)
		return true;
	if (S_ISDIR(st.st_mode))
		why = "it is a directory";
	else if (!S_ISREG(st.st_mode))
		why = "it is not a regular file";
	else if ((st.st_mode & 0222) == 0 || access(target.c_str(), W_OK) != 0)
		why = "the file is read-only";
	return why.empty();
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

// While any thread saves a file, SIGINT, SIGTERM and SIGHUP wait, so every
// temporary file is complete and renamed, or gone, before one of them can
// end the program. On a saving thread they are blocked; one that reaches
// another thread (a program may have several: the panel has Qt's) is kept
// here, and the last save to end raises it again.
//
// One word, so that the handler and the end of a save never miss each
// other: the number of saves in progress above the bits of the signals
// kept.
std::atomic<unsigned> g_saves{ 0 };
static_assert(std::atomic<unsigned>::is_always_lock_free);

constexpr int kHeldSignals[] = { SIGINT, SIGTERM, SIGHUP };
constexpr unsigned kKeptMask = (1u << std::size(kHeldSignals)) - 1;
constexpr unsigned kOneSave = kKeptMask + 1;

unsigned keptBit(int signal)
{
	for (size_t i = 0; i < std::size(kHeldSignals); i++)
		if (kHeldSignals[i] == signal)
			return 1u << i;
	return 0;
}

extern "C" void KeepForTheSave(int signal)
{
	unsigned state = g_saves.load();
	while (state >= kOneSave) {
		if (g_saves.compare_exchange_weak(state, state | keptBit(signal)))
			return;
	}
	// No save is in progress any more: the signal does what it would have
	// done.
	std::signal(signal, SIG_DFL);
	std::raise(signal);
}

// Installs the handler above for the first save and puts the program's
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
		// A kept signal ends the program once the saves in progress are
		// done; one begun now would only hold it longer.
		if (g_saves.load() & kKeptMask)
			return;
		m_saving = true;
		if (g_saves.load() < kOneSave) {
			struct sigaction keeping = {};
			keeping.sa_handler = KeepForTheSave;
			sigemptyset(&keeping.sa_mask);
			for (size_t i = 0; i < std::size(kHeldSignals); i++) {
				sigaction(kHeldSignals[i], nullptr, &s_actions[i]);
				s_replaced[i] = s_actions[i].sa_handler == SIG_DFL;
				if (s_replaced[i])
					sigaction(kHeldSignals[i], &keeping, nullptr);
			}
		}
		g_saves += kOneSave;
	}
	~SignalsHeld()
	{
		unsigned kept = 0;
		if (m_saving) {
			std::lock_guard lock(s_mutex);
			unsigned state = g_saves.load();
			unsigned next;
			do {
				next = state - kOneSave;
				if (next < kOneSave)
					next = 0; // the last save takes the kept signals
			} while (!g_saves.compare_exchange_weak(state, next));
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
	bool saving() const { return m_saving; }
	SignalsHeld(const SignalsHeld &) = delete;
	SignalsHeld &operator=(const SignalsHeld &) = delete;

private:
	sigset_t m_previous;
	bool m_saving = false;
	static inline std::mutex s_mutex; // the first and the last save, one at a time
	static inline struct sigaction s_actions[std::size(kHeldSignals)];
	static inline bool s_replaced[std::size(kHeldSignals)] = {};
};

std::string randomSuffix()
{
	static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
	std::random_device random;
	std::string suffix;
	for (int i = 0; i < 6; i++)
		suffix += kDigits[random() % (sizeof(kDigits) - 1)];
	return suffix;
}

std::function<std::string()> g_temporaryNames;

// A new file beside target, never one that exists already: O_EXCL, so a
// file at the name chosen (another save's, an attacker's link) is never
// opened, let alone truncated.
int createTemporary(const std::string &target, mode_t mode, std::string &temp)
{
	for (int attempt = 0; attempt < 100; attempt++) {
		temp = target + "." + (g_temporaryNames ? g_temporaryNames() : randomSuffix());
		int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
		if (fd >= 0 || errno != EEXIST)
			return fd;
	}
	return -1;
}

} // namespace

void UseTemporaryNames(std::function<std::string()> names)
{
	g_temporaryNames = std::move(names);
}

std::string FormatSettingsLine(std::span<const std::uint16_t, kValuesPerLine> values)
{
	std::string line;
	for (std::uint16_t value : values) {
		line += kUpperDigits[(value >> 4) & 0xF];
		line += kUpperDigits[value & 0xF];
		line += ' ';
	}
	line += kLineEnd;
	return line;
}

std::string FormatSettingsFile(std::string_view path, std::span<const std::uint16_t, kFileValues> values)
{
	std::string text = "//Settings file : " + headerPath(path) + kLineEnd;
	for (int page = 0; page < kPages; page++) {
		text += "//Page " + std::to_string(page) + " of the EEprom:\t" + kLineEnd;
		for (int offset = 0; offset < kPageSize; offset += kValuesPerLine) {
			text += FormatSettingsLine(
				values.subspan(static_cast<size_t>(page * kPageSize + offset))
					.first<kValuesPerLine>());
		}
	}
	return text;
}

std::string PreviousSettingsFileName(const std::string &path)
{
	std::string target, why;
	if (!resolveTarget(path, target, why))
		target = path;
	return target + "~";
}

namespace {

// Whether the open file in holds exactly text; it is read from its start
// and left there.
bool HoldsText(int in, std::size_t size, const std::string &text)
{
	// Only a file of the new text's size can hold the same; it is small.
	if (size != text.size())
		return false;
	std::string old(text.size() + 1, '\0');
	ssize_t got = 0, n = 0;
	while ((n = read(in, old.data() + got, old.size() - static_cast<size_t>(got))) > 0 ||
	       (n < 0 && errno == EINTR))
		got += n > 0 ? n : 0;
	bool same = n == 0 && static_cast<size_t>(got) == text.size() &&
		    old.compare(0, text.size(), text) == 0;
	lseek(in, 0, SEEK_SET);
	return same;
}

// Copies what in holds into the new file out, and makes it last.
SaveResult CopyInto(int in, int out, mode_t mode)
{
	SaveResult result{ true, {} };
	char buffer[65536];
	for (;;) {
		ssize_t n = read(in, buffer, sizeof(buffer));
		if (n < 0 && errno == EINTR)
			continue;
		if (n < 0)
			result = { false, errnoText("cannot read it") };
		else if (n > 0 && !fileio::WriteWhole(out, std::string(buffer, static_cast<size_t>(n))))
			result = { false, errnoText("cannot write") };
		if (n <= 0 || !result.ok)
			break;
	}
	if (result.ok && (fchmod(out, mode) != 0 || fsync(out) != 0))
		result = { false, errnoText("cannot write") };
	return result;
}

} // namespace

SaveResult KeepPreviousSettingsFile(const std::string &path,
				    std::span<const std::uint16_t, kFileValues> values)
{
	std::string target, why;
	struct stat st;
	bool exists = false;
	// Where SaveSettingsFile refuses, or there is nothing to keep.
	if (path.empty() || !resolveTarget(path, target, why) || !checkTarget(target, st, exists, why) ||
	    !exists)
		return { true, {} };
	int in = open(target.c_str(), O_RDONLY | O_CLOEXEC);
	if (in < 0)
		return { false, errnoText("cannot read it") };
	if (HoldsText(in, static_cast<size_t>(st.st_size), FormatSettingsFile(path, values))) {
		close(in);
		return { true, {} };
	}

	const std::string kept = target + "~";
	SignalsHeld held;
	// Not held: a signal already waits, and ends the program mid-copy.
	if (!held.saving()) {
		close(in);
		return { false, "the program is ending" };
	}
	std::string temp;
	int out = createTemporary(kept, st.st_mode & 07777, temp);
	if (out < 0) {
		std::string cannot = cannotCreateIn(kept);
		close(in);
		return { false, cannot };
	}
	SaveResult result = CopyInto(in, out, st.st_mode & 07777);
	close(in);
	if (close(out) != 0 && result.ok)
		result = { false, errnoText("cannot write") };
	if (result.ok && rename(temp.c_str(), kept.c_str()) != 0)
		result = { false, errnoText("cannot replace the previous copy") };
	if (!result.ok)
		unlink(temp.c_str());
	return result;
}

SaveResult SaveSettingsFile(const std::string &path, std::span<const std::uint16_t, kFileValues> values)
{
	if (path.empty())
		return { false, "no file name" };
	std::string target, why;
	struct stat st;
	bool exists = false;
	if (!resolveTarget(path, target, why) || !checkTarget(target, st, exists, why))
		return { false, why };
	std::string text = FormatSettingsFile(path, values);

	SignalsHeld held;
	if (!held.saving())
		return { false, "the program is ending" };
	std::string temp;
	// A new file gets the usual permissions (the umask applies); a
	// replacement keeps those of the file it replaces.
	int fd = createTemporary(target, 0666, temp);
	if (fd < 0)
		return { false, cannotCreateIn(target) };

	SaveResult result{ true, {} };
	if (!fileio::WriteWhole(fd, text))
		result = { false, errnoText("cannot write") };
	else if ((exists && fchmod(fd, st.st_mode & 07777) != 0) || fsync(fd) != 0)
		result = { false, errnoText("cannot write") };
	if (close(fd) != 0 && result.ok)
		result = { false, errnoText("cannot write") };
	if (result.ok && rename(temp.c_str(), target.c_str()) != 0)
		result = { false, errnoText("cannot replace the file") };
	if (!result.ok) {
		unlink(temp.c_str());
		return result;
	}
	// The rename itself lasts only once the folder is on disk.
	int dir = open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (dir >= 0) {
		fsync(dir);
		close(dir);
	}
	return result;
}

} // namespace settings
