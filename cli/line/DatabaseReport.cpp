#include "DatabaseReport.h"

#include "ReportFile.h"
#include "StopRequest.h"
#include "Target.h"

#include <algorithm>

namespace eeprom_cli {

namespace {

// Ctrl+C ends the session within a second, whatever the network does.
constexpr int kInterruptedSendWaitMs = 500;

} // namespace

std::unique_ptr<DatabaseReport> DatabaseReport::Open(const std::string &target, const std::string &station,
						     const plant::SinkOptions &options, SinkChoice &choice,
						     std::vector<std::string> &notices, std::string &why)
{
	plant::SinkOptions wanted = options;
	wanted.requireDatabase = choice.requireDatabase;
	wanted.thumbnails = choice.thumbnails;
	std::unique_ptr<DatabaseReport> report(
		new DatabaseReport(target, station, wanted, choice.sendWaitMs));
	plant::Refusal refusal = plant::Refusal::None;
	why = report->m_sink.Open(notices, refusal);
	choice.inUse = refusal == plant::Refusal::InUse;
	if (!why.empty())
		return nullptr;
	// The station counts on from its last record, sent or still in its journal.
	report->m_lastSequence = report->m_sink.LastSequence().value_or(0);
	return report;
}

std::string DatabaseReport::Append(plant::Record &record, bool)
{
	record.sequence = m_lastSequence + 1;
	plant::StoreResult stored = m_sink.Store(record);
	if (stored.how == plant::Stored::Lost) {
		record.sequence.reset();
		return stored.error;
	}
	m_lastSequence++;
	return "";
}

std::vector<std::string> DatabaseReport::Finish(bool interrupted)
{
	int left = m_sink.Finish(interrupted ? std::min(m_sendWaitMs, kInterruptedSendWaitMs) : m_sendWaitMs,
				 [] { return tool::StopRequested(); });
	std::vector<std::string> lines = m_sink.TakeNotices();
	if (left > 0)
		lines.push_back(plant::Records(left) + (left == 1 ? " waits in " : " wait in ") +
				m_sink.JournalPath() +
				"; the next run or `velmora-eeprom send-records` sends them");
	return lines;
}

std::unique_ptr<RecordSink> OpenRecordSink(const std::string &target, const std::string &station,
					   SinkChoice &choice, std::vector<std::string> &notices,
					   std::string &why)
{
	if (plant::IsDatabaseTarget(target))
		return DatabaseReport::Open(target, station, {}, choice, notices, why);
	return ReportFile::Open(target, why);
}

} // namespace eeprom_cli
