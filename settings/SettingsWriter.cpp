// Writer of the settings file.
#include "SettingsFileFormat.h"

#include <cerrno>
#include <cstring>

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

bool writeAll(int fd, const std::string &text)
{
	const char *p = text.data();
	size_t left = text.size();
	while (left > 0) {
		ssize_t n = write(fd, p, left);
		if (n < 0 && errno == EINTR)
			continue;
		if (n <= 0)
			return false;
		p += n;
		left -= static_cast<size_t>(n);
	}
	return true;
}

// The replacement keeps the permissions of the file it replaces; a new
// file gets the usual ones.
mode_t fileMode(const std::string &path)
{
	struct stat st;
	if (stat(path.c_str(), &st) == 0)
		return st.st_mode & 07777;
	mode_t mask = umask(0);
	umask(mask);
	return 0666 & ~mask;
}

} // namespace

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

SaveResult SaveSettingsFile(const std::string &path, std::span<const std::uint16_t, kFileValues> values)
{
	if (path.empty())
		return { false, "no file name" };
	std::string text = FormatSettingsFile(path, values);
	mode_t mode = fileMode(path);

	std::string temp = path + ".XXXXXX";
	int fd = mkstemp(temp.data());
	if (fd < 0)
		return { false, errnoText("cannot create a file in its folder") };

	SaveResult result{ true, {} };
	if (!writeAll(fd, text))
		result = { false, errnoText("cannot write") };
	else if (fchmod(fd, mode) != 0 || fsync(fd) != 0)
		result = { false, errnoText("cannot write") };
	if (close(fd) != 0 && result.ok)
		result = { false, errnoText("cannot write") };
	if (result.ok && rename(temp.c_str(), path.c_str()) != 0)
		result = { false, errnoText("cannot replace the file") };
	if (!result.ok)
		unlink(temp.c_str());
	return result;
}

} // namespace settings
