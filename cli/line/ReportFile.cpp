#include "ReportFile.h"

#include "Spool.h"
#include "Thumbnails.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace eeprom_cli {

std::unique_ptr<ReportFile> ReportFile::Open(const std::string &path, std::string &why)
{
	if (path.empty()) {
		why = "--report names no file";
		return nullptr;
	}
	if (path == "-") {
		why = "--report cannot be standard output: a record must be kept in a file";
		return nullptr;
	}
	int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
	if (fd < 0) {
		why = errno == ENXIO ? std::string("it is a FIFO with no reader") : std::strerror(errno);
		why = "the report " + path + " cannot take records: " + why;
		return nullptr;
	}
	struct stat st {
	};
	if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
		close(fd);
		why = "the report " + path + " cannot take records: it is not a regular file";
		return nullptr;
	}
	return std::unique_ptr<ReportFile>(new ReportFile(fd, path));
}

ReportFile::~ReportFile()
{
	close(m_fd);
}

void ReportFile::CatchUp()
{
	// The append-only descriptor cannot read: a second one, read-only.
	int in = open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
	if (in < 0)
		return;
	char buffer[65536];
	for (;;) {
		ssize_t n = pread(in, buffer, sizeof(buffer), m_readUpTo);
		if (n < 0 && errno == EINTR)
			continue;
		if (n <= 0)
			break;
		m_readUpTo += n;
		m_partial.append(buffer, static_cast<size_t>(n));
		size_t start = 0;
		for (size_t end; (end = m_partial.find('\n', start)) != std::string::npos; start = end + 1) {
			// Only lines naming a station and a sequence can count.
			std::string_view line(m_partial.data() + start, end - start);
			if (line.find("\"sequence\"") == std::string_view::npos)
				continue;
			nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
			if (j.is_object() && j["station"].is_string() && j["sequence"].is_number_integer()) {
				std::int64_t &last = m_lastSequence[j["station"].get<std::string>()];
				last = std::max(last, j["sequence"].get<std::int64_t>());
			}
		}
		m_partial.erase(0, start);
	}
	close(in);
}

std::string ReportFile::Sync()
{
	return fdatasync(m_fd) == 0 ? "" : std::strerror(errno);
}

std::string ReportFile::Follow()
{
	struct stat open {
	}, named{};
	if (fstat(m_fd, &open) != 0)
		return std::string("cannot look at it: ") + std::strerror(errno);
	bool gone = stat(m_path.c_str(), &named) != 0;
	if (!gone && named.st_dev == open.st_dev && named.st_ino == open.st_ino)
		return "";
	// Appending to a file nobody can reach any more would lose every record.
	std::string why;
	std::unique_ptr<ReportFile> again = Open(m_path, why);
	if (!again)
		return (gone ? "it was removed, and " : "it was replaced, and ") + why;
	std::swap(m_fd, again->m_fd);
	m_readUpTo = 0;
	m_partial.clear();
	m_notice.push_back("the report " + m_path + (gone ? " was removed" : " was replaced") +
			   " while the station ran; records go on in " + m_path + " as it is now");
	return "";
}

std::string ReportFile::Ready()
{
	if (std::string why = Follow(); !why.empty())
		return why;
	if (std::string full = plant::RoomForRecords(m_fd); !full.empty())
		return "the report " + m_path + ": " + full;
	return "";
}

std::vector<std::string> ReportFile::TakeNotices()
{
	return std::exchange(m_notice, {});
}

std::string ReportFile::Append(plant::Record &record, bool synced)
{
	if (std::string why = Follow(); !why.empty())
		return why;
	while (flock(m_fd, LOCK_EX) != 0) {
		if (errno != EINTR)
			return std::string("cannot lock it: ") + std::strerror(errno);
	}
	CatchUp();
	record.sequence = m_lastSequence[record.station] + 1;
	std::string line = plant::RecordLine(record);
	struct stat before {
	};
	std::string why;
	if (fstat(m_fd, &before) != 0)
		why = std::string("cannot look at it: ") + std::strerror(errno);
	ssize_t written = 0;
	while (why.empty() && (written = write(m_fd, line.data(), line.size())) < 0 && errno == EINTR) {
	}
	if (!why.empty()) {
	} else if (written < 0) {
		why = std::strerror(errno);
	} else if (static_cast<size_t>(written) != line.size()) {
		// A piece of a line would glue itself to the next record: the
		// file goes back to its last whole line.
		why = "the disk took only part of the record";
		if (ftruncate(m_fd, before.st_size) != 0)
			why += ", and that part could not be taken back: " +
			       std::string(std::strerror(errno));
	} else if (synced) {
		why = Sync();
	}
	if (!why.empty())
		record.sequence.reset();
	else
		m_lastSequence[record.station] = *record.sequence; // should the path be replaced
	flock(m_fd, LOCK_UN);
	// The picture is no part of the record: one lost is said, the record stands.
	if (why.empty() && !record.thumbnailPng.empty())
		if (std::string lost = plant::WriteThumbnailFile(plant::ThumbnailBeside(m_path, record.id),
								 record.thumbnailPng);
		    !lost.empty())
			m_notice.push_back("the thumbnail of record " + record.id + " was not kept: " + lost);
	return why;
}

} // namespace eeprom_cli
