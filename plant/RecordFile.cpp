#include "RecordFile.h"

#include "RegularFile.h"

#include <cerrno>
#include <cstring>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

namespace plant {

namespace {

constexpr char kTooLarge[] = "it is larger than 1 GiB, more than any report file";

// Splits what a descriptor holds into lines of at most kMaxRecordLineBytes;
// a longer line is given cut, with its length flagged, and the rest of it
// dropped unread into memory.
class LineReader
{
public:
	explicit LineReader(int fd) : m_fd(fd) {}

	// The next line (without its '\n'); false at the end or on failure (why).
	bool Next(std::string &line, bool &tooLong, std::string &why)
	{
		line.clear();
		tooLong = false;
		if (m_failed)
			return false;
		for (;;) {
			if (m_at == m_end && !Fill(why))
				return !line.empty() || tooLong;
			const char *start = m_buffer + m_at;
			const void *found = std::memchr(start, '\n', m_end - m_at);
			size_t length = found ? static_cast<const char *>(found) - start : m_end - m_at;
			if (line.size() + length > kMaxRecordLineBytes)
				tooLong = true;
			else
				line.append(start, length);
			m_at += length + (found ? 1 : 0);
			if (found)
				return true;
		}
	}

private:
	bool Fill(std::string &why)
	{
		ssize_t n;
		do
			n = read(m_fd, m_buffer, sizeof(m_buffer));
		while (n < 0 && errno == EINTR);
		if (n < 0)
			why = std::strerror(errno);
		m_at = 0;
		m_end = n > 0 ? static_cast<size_t>(n) : 0;
		m_total += m_end;
		if (m_total > kMaxRecordFileBytes)
			why = kTooLarge;
		m_failed = !why.empty();
		return n > 0 && !m_failed;
	}

	int m_fd;
	char m_buffer[65536];
	size_t m_at = 0, m_end = 0;
	std::uint64_t m_total = 0;
	bool m_failed = false;
};

} // namespace

std::vector<Record> ReadRecordFile(const std::string &path, std::vector<std::string> &skipped,
				   std::string &why)
{
	std::vector<Record> records;
	int fd = fileio::OpenRegularFile(path, why);
	struct stat st;
	if (fd >= 0 && fstat(fd, &st) == 0 && static_cast<std::uint64_t>(st.st_size) > kMaxRecordFileBytes)
		why = kTooLarge;
	if (!why.empty()) {
		if (fd >= 0)
			close(fd);
		why = path + ": " + why;
		return records;
	}
	LineReader reader(fd);
	std::string line;
	bool tooLong = false;
	int lines = 0; // not blank
	for (int number = 1; reader.Next(line, tooLong, why); number++) {
		if (!tooLong && line.find_first_not_of(" \t\r") == std::string::npos)
			continue;
		lines++;
		std::string bad = "longer than " + std::to_string(kMaxRecordLineBytes / 1024) + " KiB";
		std::optional<Record> record = tooLong ? std::nullopt : ParseRecordLine(line, bad);
		if (!record) {
			skipped.push_back("line " + std::to_string(number) + ": " + bad);
			if (records.empty() && lines == kRecordFileProbeLines)
				break;
			continue;
		}
		if (record->id.empty())
			record->id = "line:" + std::to_string(number);
		records.push_back(std::move(*record));
	}
	close(fd);
	if (!why.empty()) {
		why = path + ": " + why;
		records.clear();
	} else if (records.empty() && !skipped.empty()) {
		why = path + ": not a record file (" + skipped.front() + ")";
	}
	return records;
}

bool IsResultWord(const std::string &word)
{
	static const std::set<std::string> kResults{
		"read",        "verified",         "mismatch",  "bus-failure", "refused",
		"interrupted", "file-not-written", "no-result", "failed",      "frame-failed"
	};
	return kResults.contains(word);
}

} // namespace plant
