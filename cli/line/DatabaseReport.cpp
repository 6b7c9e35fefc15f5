#include "DatabaseReport.h"

#include "ReportFile.h"
#include "Target.h"

#include <utility>

namespace eeprom_cli {

std::unique_ptr<DatabaseReport> DatabaseReport::Open(const std::string &target, const std::string &station,
						     const std::string &spoolFolder,
						     std::vector<std::string> &notices, std::string &why)
{
	std::unique_ptr<DatabaseReport> report(new DatabaseReport(target, spoolFolder));
	why = report->m_sink.Open(notices);
	if (!why.empty())
		return nullptr;
	// The station counts on from its last record, sent or still spooled.
	// Stations are told apart by name: two runs under one name at once
	// would number alike, so each station has its own.
	std::optional<std::int64_t> last = report->m_sink.LastSequence(station, why);
	if (!why.empty()) {
		why = report->Name() + ": the station's last sequence number cannot be read: " + why;
		return nullptr;
	}
	report->m_lastSequence = last.value_or(0);
	return report;
}

std::string DatabaseReport::Append(plant::Record &record, bool)
{
	record.sequence = m_lastSequence + 1;
	plant::StoreResult stored = m_sink.Store(record);
	if (!stored.notice.empty())
		m_notice += (m_notice.empty() ? "" : "; ") + stored.notice;
	if (stored.how == plant::Stored::Lost) {
		record.sequence.reset();
		return stored.error;
	}
	m_lastSequence++;
	return "";
}

std::string DatabaseReport::TakeNotice()
{
	return std::exchange(m_notice, "");
}

std::unique_ptr<RecordSink> OpenRecordSink(const std::string &target, const std::string &station,
					   std::vector<std::string> &notices, std::string &why)
{
	if (plant::IsDatabaseTarget(target))
		return DatabaseReport::Open(target, station, "", notices, why);
	return ReportFile::Open(target, why);
}

} // namespace eeprom_cli
