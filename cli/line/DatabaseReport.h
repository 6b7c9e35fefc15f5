// --report to a plant's database: each record inserted in a transaction of
// its own, or kept in this host's spool while the database cannot take it.
#pragma once

#include "PgSink.h"
#include "RecordSink.h"

#include <cstdint>

namespace eeprom_cli {

class DatabaseReport final : public RecordSink
{
public:
	// Connects, checks the table (creating it when missing) and sends what
	// the spool holds, all before any camera is touched. spoolFolder
	// empty: $XDG_STATE_HOME/velmora.
	static std::unique_ptr<DatabaseReport> Open(const std::string &target, const std::string &station,
						    const std::string &spoolFolder,
						    std::vector<std::string> &notices, std::string &why);

	std::string Append(plant::Record &record, bool synced = true) override;
	// Each record is durable once inserted or spooled.
	std::string Sync() override { return ""; }
	std::string Name() const override { return m_sink.Description(); }
	std::string TakeNotice() override;

private:
	DatabaseReport(const std::string &target, const std::string &spoolFolder)
		: m_sink(target, spoolFolder)
	{}

	plant::PgSink m_sink;
	std::int64_t m_lastSequence = 0;
	std::string m_notice;
};

} // namespace eeprom_cli
