// --report to a plant's database: each record kept in the station's
// journal on this host, and sent on from there by the sink's sender.
#pragma once

#include "PgSink.h"
#include "RecordSink.h"

#include <cstdint>

namespace eeprom_cli {

class DatabaseReport final : public RecordSink
{
public:
	// Takes the station's name, checks the journal, connects and checks
	// the table (creating it when missing), all before any camera is
	// touched; a database away only refuses with choice.requireDatabase.
	static std::unique_ptr<DatabaseReport> Open(const std::string &target, const std::string &station,
						    const plant::SinkOptions &options, SinkChoice &choice,
						    std::vector<std::string> &notices, std::string &why);

	std::string Append(plant::Record &record, bool synced = true) override;
	// Each record is on the disk once appended.
	std::string Sync() override { return ""; }
	std::string Ready() override { return m_sink.Ready(); }
	std::string Name() const override { return m_sink.Description(); }
	std::vector<std::string> TakeNotices() override { return m_sink.TakeNotices(); }
	std::vector<std::string> Finish(bool interrupted) override;

private:
	DatabaseReport(const std::string &target, const std::string &station,
		       const plant::SinkOptions &options, int sendWaitMs)
		: m_sink(target, station, options), m_sendWaitMs(sendWaitMs)
	{}

	plant::PgSink m_sink;
	int m_sendWaitMs;
	std::int64_t m_lastSequence = 0;
};

} // namespace eeprom_cli
