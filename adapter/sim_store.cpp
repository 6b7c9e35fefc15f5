#include "sim_store.h"

#include "sim_power_up.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

void Add(std::string &notice, const std::string &trouble)
{
	if (!trouble.empty() && notice.empty())
		notice = trouble;
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
	if (const char *own = std::getenv("QXIIC_SIM_DIR")) {
		if (own[0] == '\0')
			return files;
		files.dir = own;
	} else if (const char *state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/') {
		files.dir = std::string(state) + "/velmora";
	} else if (const char *home = std::getenv("HOME"); home && home[0] == '/') {
		files.dir = std::string(home) + "/.local/state/velmora";
	} else {
		files.keepsNothing =
			"the simulated cameras keep nothing between runs: neither XDG_STATE_HOME "
			"nor HOME names a folder (QXIIC_SIM_DIR can)";
		return files;
	}
	const std::string base = files.dir + "/sim-" + std::to_string(camera);
	files.eeprom = base + ".eeprom";
	files.sensor = base + ".sensor";
	files.lock = base + ".lock";
	files.absent = base + ".absent";
	return files;
}

std::string MakeStateDir(const std::string &dir)
{
	struct stat st;
	if (::stat(dir.c_str(), &st) == 0)
		return S_ISDIR(st.st_mode) ? "" : NotAFile(dir, st.st_mode);
	for (std::size_t slash = 1; slash != std::string::npos;) {
		slash = dir.find('/', slash + 1);
		std::string part = dir.substr(0, slash);
		if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
			return "cannot make the simulated camera's folder " + part + ": " + Why();
	}
	return {};
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

bool SetSensorFromText(SimSensor &sensor, const std::string &text)
{
	SimSensor read;
	std::istringstream lines(text);
	unsigned reg = 0;
	unsigned value = 0;
	for (std::string line; std::getline(lines, line);) {
		char end = 0;
		if (line.size() != 9 || std::sscanf(line.c_str(), "%4x %4x%c", &reg, &value, &end) != 2)
			return false;
		read.setValue(static_cast<std::uint16_t>(reg), static_cast<std::uint16_t>(value));
	}
	sensor = read;
	return true;
}

SimFileSession::SimFileSession(const SimFiles &files, SimCamera &camera, SimSeen &seen, std::string &notice)
	: files_(files), camera_(camera), seen_(seen), notice_(notice)
{
	if (std::string trouble = MakeStateDir(files.dir); !trouble.empty()) {
		Add(notice_, trouble);
	} else {
		lockFd_ = ::open(files.lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW,
				 0600);
		struct stat st {
		};
		if (lockFd_ >= 0 && (::fstat(lockFd_, &st) != 0 || !S_ISREG(st.st_mode))) {
			Add(notice_, NotAFile(files.lock, st.st_mode));
			::close(lockFd_);
			lockFd_ = -1;
		}
		while (lockFd_ >= 0 && ::flock(lockFd_, LOCK_EX) != 0 && errno == EINTR) {
		}
	}
	// Another program changed the camera since this one last looked: take
	// the files' version. A missing file is a camera fresh from the factory
	// (EEPROM) or just powered up (sensor).
	SimStamp eeprom = StampOf(files.eeprom);
	if (!seen_.known || !(eeprom == seen_.eeprom)) {
		std::string bytes;
		bool absent = false;
		std::string trouble = ReadFile(files.eeprom, bytes, absent);
		Add(notice_, trouble);
		SimEeprom::Contents c{};
		if (trouble.empty() && bytes.size() == c.size()) {
			std::copy(bytes.begin(), bytes.end(), c.begin());
			camera_.eeprom().setContents(c);
		} else if (trouble.empty()) {
			camera_.eeprom().reset();
		}
		seen_.eeprom = eeprom;
	}
	SimStamp sensor = StampOf(files.sensor);
	if (!seen_.known || !(sensor == seen_.sensor)) {
		std::string text;
		bool absent = false;
		std::string trouble = ReadFile(files.sensor, text, absent);
		Add(notice_, trouble);
		if (trouble.empty() && (absent || !SetSensorFromText(camera_.sensor(), text)))
			PowerUp(camera_);
		seen_.sensor = sensor;
	}
	seen_.known = true;
	eepromBefore_ = camera_.eeprom().contents();
	sensorBefore_ = SensorText(camera_.sensor());
}

SimFileSession::~SimFileSession()
{
	if (camera_.eeprom().contents() != eepromBefore_) {
		Add(notice_, WriteFile(files_.eeprom, EepromBytes(camera_.eeprom())));
		seen_.eeprom = StampOf(files_.eeprom);
	}
	if (std::string now = SensorText(camera_.sensor()); now != sensorBefore_) {
		Add(notice_, WriteFile(files_.sensor, now));
		seen_.sensor = StampOf(files_.sensor);
	}
	if (lockFd_ >= 0)
		::close(lockFd_);
}

} // namespace qxiic
