// The JSON Lines file of --report, opened and checked before the first
// camera is touched: a record that could not be kept would make the
// unit's run worthless, so a target that cannot take one refuses the run.
#pragma once

#include "RecordSink.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace eeprom_cli {

class ReportFile final : public RecordSink
{
public:
	// Opens path for appending (created 0644 when missing). Refused, with
	// why: an empty name, "-", a directory, a FIFO, a device, anything but
	// a regular file; never blocks (a FIFO without a reader is refused).
	static std::unique_ptr<ReportFile> Open(const std::string &path, std::string &why);
	~ReportFile();
	ReportFile(const ReportFile &) = delete;
	ReportFile &operator=(const ReportFile &) = delete;

	// Gives record the next sequence number of its station (one more than
	// the highest in the file, whoever wrote it) and appends its line with
	// one write(), under an exclusive lock so that stations sharing the
	// file neither interleave lines nor take the same number. Empty, or
	// why the record was not kept. synced: on the disk before it returns;
	// otherwise Sync() must follow.
	std::string Append(plant::Record &record, bool synced = true) override;
	// Every record appended so far on the disk; empty, or why not.
	std::string Sync() override;
	// The path still names a regular file that can take a record (opened
	// again when it was replaced), with room for one on its disk.
	std::string Ready() override;

	std::string Name() const override { return m_path; }
	std::vector<std::string> TakeNotices() override;

private:
	ReportFile(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
	// Reads the lines added since the last look, keeping each station's
	// highest sequence number.
	void CatchUp();
	// When the path no longer names the open file (removed, or replaced
	// by another), opens the path again. Empty, or why it cannot.
	std::string Follow();

	int m_fd;
	std::string m_path;
	std::int64_t m_readUpTo = 0;
	std::map<std::string, std::int64_t> m_lastSequence;
	std::string m_partial;
	std::vector<std::string> m_notice;
};

} // namespace eeprom_cli
