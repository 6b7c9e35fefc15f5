// Writer of the settings file.
#include "RegularFile.h"
#include "SettingsFileFormat.h"

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace settings {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kUpperDigits[] = "0123456789ABCDEF";

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

std::string PreviousSettingsFileName(const std::string &path)
{
	return path + "~";
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

} // namespace

SaveResult KeepPreviousSettingsFile(const std::string &path,
				    std::span<const std::uint16_t, kFileValues> values)
{
	// Where SaveSettingsFile refuses, or there is nothing to keep.
	struct stat st;
	if (!fileio::CheckReplaceable(path).empty() || stat(path.c_str(), &st) != 0)
		return { true, {} };
	std::string why;
	int in = fileio::OpenRegularFile(path, why);
	if (in < 0)
		return { false, "cannot read it: " + why };
	const bool same = HoldsText(in, static_cast<size_t>(st.st_size), FormatSettingsFile(path, values));
	close(in);
	if (same)
		return { true, {} };
	why = fileio::CopyRegularFile(path, PreviousSettingsFileName(path));
	return { why.empty(), why };
}

SaveResult SaveSettingsFile(const std::string &path, std::span<const std::uint16_t, kFileValues> values)
{
	std::string why = fileio::ReplaceRegularFile(path, FormatSettingsFile(path, values));
	return { why.empty(), why };
}

} // namespace settings
