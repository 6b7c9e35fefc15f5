#include "CameraRecord.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace eeprom_cli {

namespace {

const char *DirectionWord(eeprom::Direction direction)
{
	switch (direction) {
	case eeprom::Direction::Read:
		return "read";
	case eeprom::Direction::Write:
		return "write";
	case eeprom::Direction::Verify:
		return "verify";
	case eeprom::Direction::None:
		break;
	}
	return "";
}

} // namespace

std::string RecordLine(const CameraRecord &record)
{
	nlohmann::ordered_json j;
	j["time"] = IsoUtc(record.time);
	j["host"] = record.host;
	j["bus"] = record.bus;
	j["adapter"] = record.adapter;
	j["command"] = record.command;
	if (record.camera)
		j["camera"] = *record.camera;
	j["file"] = record.file.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(record.file);
	j["sha256"] = record.sha256.empty() ? nlohmann::ordered_json()
					    : nlohmann::ordered_json(record.sha256);
	j["pages"] = record.pages;
	j["result"] = ResultWord(record.outcome.status);
	j["exit_status"] = record.outcome.status;
	const operations::Result &r = record.outcome.result;
	if (r.outcome == operations::Outcome::Mismatch) {
		j["first_difference"] = { { "page", r.page },
					  { "byte", r.byte },
					  { "found", r.found },
					  { "expected", r.expected } };
	} else {
		j["first_difference"] = nullptr;
	}
	// Where a transfer failed or the run was stopped, and the adapter's status.
	if (r.outcome == operations::Outcome::BusFailure || r.outcome == operations::Outcome::Stopped) {
		j["failure"] = { { "direction", DirectionWord(r.direction) },
				 { "status", r.status },
				 { "status_name", r.statusName },
				 { "device", r.device },
				 { "page", r.page },
				 { "block", r.block },
				 { "byte", r.byte },
				 { "timed_out", r.timedOut } };
	} else {
		j["failure"] = nullptr;
	}
	j["message"] = record.outcome.message;
	j["duration_ms"] = static_cast<double>(record.durationUs / 100) / 10.0;
	// A message may hold any byte the adapter gave; never let it break the line.
	return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}

std::string AppendRecordLine(const std::string &path, const std::string &line)
{
	int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
	if (fd < 0)
		return std::strerror(errno);
	ssize_t written;
	do
		written = write(fd, line.data(), line.size());
	while (written < 0 && errno == EINTR);
	std::string why;
	if (written < 0)
		why = std::strerror(errno);
	else if (static_cast<size_t>(written) != line.size())
		why = "only part of the record was written";
	if (close(fd) != 0 && why.empty())
		why = std::strerror(errno);
	return why;
}

std::string IsoUtc(std::time_t time)
{
	std::tm utc{};
	gmtime_r(&time, &utc);
	char text[32];
	std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &utc);
	return text;
}

std::string HostName()
{
	char name[256] = {};
	if (gethostname(name, sizeof(name) - 1) != 0)
		return "";
	return name;
}

} // namespace eeprom_cli
