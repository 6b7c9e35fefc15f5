#include "PgSink.h"

#include "Target.h"

namespace plant {

PgSink::PgSink(std::string target, std::string spoolFolder)
	: target_(std::move(target)), folder_(std::move(spoolFolder))
{}

std::string PgSink::Description() const
{
	return DescribeDatabaseTarget(target_);
}

std::string PgSink::Open(std::vector<std::string> &notices)
{
	if (std::string why = CheckDatabaseTarget(target_); !why.empty())
		return why;
	if (folder_.empty()) {
		std::string why;
		folder_ = SpoolDirectory(why);
		if (folder_.empty())
			return "no folder for the spool, so a record could be lost while the database is away: " +
			       why;
	}
	spool_ = Spool(SpoolPathFor(folder_, target_));
	if (std::string why = db_.Connect(target_); !why.empty())
		return Description() + ": " + why;
	if (std::string why = db_.PrepareSchema(true); !why.empty())
		return Description() + ": " + why;
	std::string notice;
	if (std::string why = SendSpool(notice); !why.empty())
		return Description() + ": the spool " + spool_.Path() + " could not be sent: " + why;
	if (!notice.empty())
		notices.push_back(notice);
	return "";
}

std::string PgSink::SendSpool(std::string &notice)
{
	Spool::Sent sent = spool_.Send(
		[this](const std::string &json, std::string &why) { return db_.Insert(json, why); });
	if (sent.inserted + sent.duplicates > 0)
		notice = std::to_string(sent.inserted + sent.duplicates) + " spooled record" +
			 (sent.inserted + sent.duplicates == 1 ? "" : "s") + " sent to " + Description();
	if (sent.rejected > 0)
		notice += (notice.empty() ? "" : "; ") + std::to_string(sent.rejected) +
			  " refused by it, kept in " + spool_.RejectedPath();
	return sent.left > 0 ? sent.error : "";
}

StoreResult PgSink::Store(const Record &record)
{
	StoreResult result;
	std::string line = RecordLine(record);
	std::string why;
	// After an outage: the spool first, so that records arrive in order.
	if (spooling_ || !db_.Connected()) {
		why = db_.Connected() ? "" : db_.Reconnect();
		if (why.empty()) {
			std::string notice;
			why = SendSpool(notice);
			if (why.empty())
				spooling_ = false;
			result.notice = notice;
		}
	}
	if (!spooling_ && why.empty()) {
		// Rejected or not, a record the database did not take is kept on this host.
		Insertion how = db_.Insert(line, why);
		if (how == Insertion::Inserted || how == Insertion::Duplicate)
			return result;
	}
	if (std::string failed = spool_.Append(line); !failed.empty()) {
		result.how = Stored::Lost;
		result.error = "record neither stored in " + Description() + " (" + why + ") nor spooled (" +
			       failed + ")";
		return result;
	}
	result.how = Stored::Spooled;
	if (!spooling_) {
		spooling_ = true;
		result.notice = Description() + ": " + why + "; records go to " + spool_.Path() +
				" until it can be reached again";
	}
	return result;
}

std::optional<std::int64_t> PgSink::LastSequence(const std::string &station, std::string &why)
{
	std::optional<std::int64_t> last = db_.LastSequence(station, why);
	if (!why.empty())
		return std::nullopt;
	for (const std::string &line : spool_.Lines(why)) {
		std::string bad;
		std::optional<Record> record = ParseRecordLine(line, bad);
		if (record && record->station == station && record->sequence &&
		    (!last || *record->sequence > *last))
			last = record->sequence;
	}
	return why.empty() ? last : std::nullopt;
}

} // namespace plant
