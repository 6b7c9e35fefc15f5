#include "sim_store.h"

#include "StateDir.h"
#include "sim_power_up.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

namespace qxiic {
namespace {

std::string Why()
{
	return std::strerror(errno);
}

const char *KindOf(mode_t mode)
{
	if (S_ISDIR(mode))
		return "a directory";
	if (S_ISFIFO(mode))
		return "a FIFO";
	if (S_ISSOCK(mode))
		return "a socket";
	if (S_ISCHR(mode) || S_ISBLK(mode))
		return "a device";
	return "not a plain file";
}

std::string NotAFile(const std::string &file, mode_t mode)
{
	return "the simulated camera does not use " + file + ": it is " + KindOf(mode) + ", not a file";
}

SimStamp StampOf(const struct stat &st)
{
	SimStamp s;
	s.exists = true;
	s.dev = st.st_dev;
	s.ino = st.st_ino;
	s.mode = st.st_mode;
	s.size = st.st_size;
	s.mtime = st.st_mtim;
	return s;
}

SimStamp StampOf(const std::string &file)
{
	struct stat st;
	if (::stat(file.c_str(), &st) != 0)
		return {};
	return StampOf(st);
}

// The file's bytes, never blocking on a FIFO. Returns why it was not
// read ("" when read or when there is no such file: then absent is set).
std::string ReadFile(const std::string &file, std::string &bytes, bool &absent)
{
	absent = false;
	int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
	if (fd < 0) {
		if (errno == ENOENT) {
			absent = true;
			return {};
		}
		return "the simulated camera cannot read " + file + ": " + Why();
	}
	struct stat st {
	};
	if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
		::close(fd);
		return NotAFile(file, st.st_mode);
	}
	char buf[4096];
	for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) != 0;) {
		if (n < 0) {
			std::string why = Why();
			::close(fd);
			return "the simulated camera cannot read " + file + ": " + why;
		}
		bytes.append(buf, static_cast<std::size_t>(n));
	}
	::close(fd);
	return {};
}

// Written whole under a name no other process uses, then renamed over the
// old file: a reader sees the old content or the new, never a part.
std::string WriteFile(const std::string &file, const std::string &bytes)
{
	const std::string cannot = "cannot keep the simulated camera's state in " + file + ": ";
	if (SimStamp old = StampOf(file); old.exists && !S_ISREG(old.mode))
		return NotAFile(file, old.mode);
	std::string temporary = file + ".XXXXXX";
	int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
	if (fd < 0)
		return cannot + Why();
	bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
	int err = errno;
	ok = ::close(fd) == 0 && ok;
	if (ok && ::rename(temporary.c_str(), file.c_str()) == 0)
		return {};
	err = ok ? errno : err;
	::unlink(temporary.c_str());
	return cannot + std::strerror(err);
}

std::string EepromBytes(const SimEeprom &eeprom)
{
	const SimEeprom::Contents &c = eeprom.contents();
	return std::string(c.begin(), c.end());
}

void Add(std::vector<std::string> &notices, const std::string &trouble)
{
	if (!trouble.empty())
		notices.push_back(trouble);
}

// NAME.damaged-20261208T053500Z (UTC), with -2, -3... should that be
// taken: a file kept aside is never replaced. Returns the new name, or ""
// with why.
std::string MoveAside(const std::string &file, std::string &why)
{
	char stamp[32];
	std::time_t now = std::time(nullptr);
	struct tm utc {
	};
	gmtime_r(&now, &utc);
	std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
	const std::string base = file + ".damaged-" + stamp;
	for (int n = 1; n < 100; n++) {
		std::string aside = n == 1 ? base : base + "-" + std::to_string(n);
		if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
			return aside;
		// A file system without RENAME_NOREPLACE: a hard link cannot
		// replace anything either.
		if (errno == EINVAL && ::link(file.c_str(), aside.c_str()) == 0) {
			::unlink(file.c_str());
			return aside;
		}
		if (errno != EEXIST) {
			why = Why();
			return {};
		}
	}
	why = "every name for it is taken";
	return {};
}

// Said once: what was wrong, where the file went, what the camera does now.
std::string Damaged(const std::string &what, const std::string &file, const std::string &problem,
		    const char *instead)
{
	std::string why;
	std::string aside = MoveAside(file, why);
	std::string kept = aside.empty() ? "it could not be moved aside (" + why + ")" : "kept as " + aside;
	return "the simulated camera's " + what + " file " + file + " is damaged (" + problem + "): " + kept +
	       "; " + instead;
}

} // namespace

bool SimStamp::operator==(const SimStamp &o) const
{
	if (exists != o.exists)
		return false;
	return !exists || (dev == o.dev && ino == o.ino && mode == o.mode && size == o.size &&
			   mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec);
}

SimFiles SimFilesOf(int camera)
{
	SimFiles files;
	bool inMemory = false;
	files.dir = statedir::SimCamerasDir(inMemory);
	if (files.dir.empty()) {
		if (!inMemory)
			files.keepsNothing = "the simulated cameras keep nothing between runs: neither "
					     "XDG_STATE_HOME nor HOME names a folder (QXIIC_SIM_DIR can)";
		return files;
	}
	files.eeprom = statedir::SimCameraFile(camera, "eeprom");
	files.sensor = statedir::SimCameraFile(camera, "sensor");
	files.lock = statedir::SimCameraFile(camera, "lock");
	files.absent = statedir::SimCameraFile(camera, "absent");
	return files;
}

namespace {

// Creates dir and any missing parent with mode 0700 (the XDG base
// directory rules); folders that exist are used as they are. Returns why
// it failed, or "".
std::string MakeStateDir(const std::string &dir)
{
	const std::string nothing = "the simulated cameras keep nothing between runs: ";
	struct stat st;
	if (::stat(dir.c_str(), &st) == 0)
		return S_ISDIR(st.st_mode) ? "" : nothing + dir + " is not a folder";
	for (std::size_t slash = 1; slash != std::string::npos;) {
		slash = dir.find('/', slash + 1);
		std::string part = dir.substr(0, slash);
		if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
			return nothing + "cannot make the folder " + part + ": " + Why();
	}
	return {};
}

// Opens the camera's lock file into fd; returns why it cannot be had, or "".
std::string OpenSimLock(const SimFiles &files, int &fd)
{
	const std::string cannot = "the simulated camera cannot be locked against other programs: ";
	fd = ::open(files.lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0600);
	if (fd < 0) {
		int error = errno;
		struct stat st;
		if (error == EISDIR && ::lstat(files.lock.c_str(), &st) == 0)
			return cannot + files.lock + " is " + KindOf(st.st_mode) + ", not a file";
		return cannot + files.lock + ": " + std::strerror(error);
	}
	struct stat st {
	};
	if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
		::close(fd);
		fd = -1;
		return cannot + files.lock + " is " + KindOf(st.st_mode) + ", not a file";
	}
	return {};
}

} // namespace

void OpenSimStore(SimFiles &files, std::string &keepsNothing, std::string &refusal)
{
	if (files.dir.empty())
		return;
	keepsNothing = MakeStateDir(files.dir);
	if (!keepsNothing.empty()) {
		files.dir.clear();
		return;
	}
	// Without the lock two programs would write the camera at once and
	// lose each other's writes: no transfer then.
	int fd = -1;
	refusal = OpenSimLock(files, fd);
	if (fd >= 0)
		::close(fd);
}

std::string SensorText(const SimSensor &sensor)
{
	std::string text;
	char line[16];
	for (const auto &[reg, value] : sensor.registers()) {
		std::snprintf(line, sizeof line, "%04x %04x\n", reg, value);
		text += line;
	}
	return text;
}

std::string SetSensorFromText(SimSensor &sensor, const std::string &text)
{
	if (!text.empty() && text.back() != '\n')
		return "it ends inside a line";
	SimSensor read;
	std::set<std::uint16_t> given;
	std::istringstream lines(text);
	unsigned reg = 0;
	unsigned value = 0;
	int number = 0;
	for (std::string line; std::getline(lines, line);) {
		number++;
		char end = 0;
		if (line.size() != 9 || std::sscanf(line.c_str(), "%4x %4x%c", &reg, &value, &end) != 2)
			return "line " + std::to_string(number) + " is not a register and a value in hex";
		read.setValue(static_cast<std::uint16_t>(reg), static_cast<std::uint16_t>(value));
		given.insert(static_cast<std::uint16_t>(reg));
	}
	// The camera always writes every register it powers up with: a file
	// without one of them was cut off.
	const SimSensor poweredUp;
	for (const auto &[powerUp, _] : poweredUp.registers()) {
		if (!given.contains(powerUp)) {
			char name[8];
			std::snprintf(name, sizeof name, "%04x", powerUp);
			return std::string("register ") + name + " is missing";
		}
	}
	sensor = read;
	return {};
}

// Each transfer opens the lock afresh: a lock is held by an open file, and
// one a forked child shares would let both in at once.
SimFileSession::SimFileSession(const SimFiles &files, SimCamera &camera, SimSeen &seen,
			       std::vector<std::string> &notices)
	: files_(files), camera_(camera), seen_(seen), notices_(notices)
{
	if (std::string refusal = OpenSimLock(files, lockFd_); !refusal.empty()) {
		Add(notices_, refusal);
		return;
	}
	int locked;
	while ((locked = ::flock(lockFd_, LOCK_EX)) != 0 && errno == EINTR) {
	}
	locked_ = locked == 0;
	if (!locked_) {
		int error = errno;
		Add(notices_, "the simulated camera cannot be locked against other programs: " + files.lock +
				      ": " + std::strerror(error));
		return;
	}
	// Another program changed the camera since this one last looked: take
	// the files' version. A missing file is a camera fresh from the factory
	// (EEPROM) or just powered up (sensor).
	readEeprom();
	readSensor();
	seen_.known = true;
	eepromBefore_ = camera_.eeprom().contents();
	sensorBefore_ = SensorText(camera_.sensor());
}

void SimFileSession::readEeprom()
{
	SimStamp eeprom = StampOf(files_.eeprom);
	if (seen_.known && eeprom == seen_.eeprom)
		return;
	std::string bytes;
	bool absent = false;
	std::string trouble = ReadFile(files_.eeprom, bytes, absent);
	Add(notices_, trouble);
	SimEeprom::Contents c{};
	if (trouble.empty() && bytes.size() == c.size()) {
		std::copy(bytes.begin(), bytes.end(), c.begin());
		camera_.eeprom().setContents(c);
	} else if (trouble.empty()) {
		if (!absent)
			Add(notices_,
			    Damaged("EEPROM", files_.eeprom,
				    std::to_string(bytes.size()) + " bytes, not " + std::to_string(c.size()),
				    "the camera starts from factory content"));
		camera_.eeprom().reset();
		eeprom = StampOf(files_.eeprom);
	}
	seen_.eeprom = eeprom;
}

void SimFileSession::readSensor()
{
	SimStamp sensor = StampOf(files_.sensor);
	if (seen_.known && sensor == seen_.sensor)
		return;
	std::string text;
	bool absent = false;
	std::string trouble = ReadFile(files_.sensor, text, absent);
	Add(notices_, trouble);
	if (trouble.empty() && absent) {
		PowerUp(camera_);
	} else if (trouble.empty()) {
		if (std::string problem = SetSensorFromText(camera_.sensor(), text); !problem.empty()) {
			Add(notices_, Damaged("sensor", files_.sensor, problem,
					      "the sensor starts from its power-up values"));
			PowerUp(camera_);
			sensor = StampOf(files_.sensor);
		}
	}
	seen_.sensor = sensor;
}

void SimFileSession::switchOff()
{
	if (::unlink(files_.sensor.c_str()) != 0 && errno != ENOENT)
		Add(notices_,
		    "the simulated camera's power cycle cannot remove " + files_.sensor + ": " + Why());
	PowerUp(camera_);
	seen_.sensor = StampOf(files_.sensor);
	sensorBefore_ = SensorText(camera_.sensor());
}

void SimFileSession::switchOn()
{
	// A sensor file is there again only when another program powered the
	// camera up since it came back, and maybe set registers since.
	if (!StampOf(files_.sensor).exists)
		PowerUp(camera_);
}

SimFileSession::~SimFileSession()
{
	if (locked_ && camera_.eeprom().contents() != eepromBefore_) {
		Add(notices_, WriteFile(files_.eeprom, EepromBytes(camera_.eeprom())));
		seen_.eeprom = StampOf(files_.eeprom);
	}
	if (std::string now = SensorText(camera_.sensor()); locked_ && now != sensorBefore_) {
		Add(notices_, WriteFile(files_.sensor, now));
		seen_.sensor = StampOf(files_.sensor);
	}
	if (lockFd_ >= 0)
		::close(lockFd_);
}

} // namespace qxiic
