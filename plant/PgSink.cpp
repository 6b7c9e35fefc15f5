#include "PgSink.h"

#include "Target.h"

#include <ctime>

#include <sys/stat.h>
#include <unistd.h>

namespace plant {

PgSink::PgSink(std::string target, std::string station, SinkOptions options)
	: target_(std::move(target)), station_(std::move(station)), options_(std::move(options))
{}

std::string PgSink::Description() const
{
	return DescribeDatabaseTarget(target_);
}

std::string PgSink::Open(std::vector<std::string> &notices, Refusal &refusal)
{
	refusal = Refusal::Other;
	if (std::string why = CheckDatabaseTarget(target_); !why.empty())
		return why;
	std::string &folder = options_.folder;
	if (folder.empty()) {
		std::string why;
		folder = SpoolDirectory(why);
		if (folder.empty())
			return "no folder for the station's journal, so a record could be lost: " + why;
	}
	bool inUse = false;
	if (std::string why = lock_.Take(folder, station_, inUse); !why.empty()) {
		refusal = inUse ? Refusal::InUse : Refusal::Other;
		return why;
	}
	journal_ = Spool(JournalPathFor(folder, target_, station_));
	struct stat before {
	};
	bool made = stat(journal_.Path().c_str(), &before) != 0;
	if (std::string why = journal_.Check(); !why.empty())
		return "the station's journal cannot be used: " + why;
	if (std::string why = RememberTarget(folder, target_); !why.empty())
		return "the station's journal cannot be used: " + why;
	std::string why;
	last_ = journal_.LastSequence(why);
	if (!why.empty())
		return "the station's journal cannot be read: " + why;
	std::unique_ptr<Database> db;
	if (std::string refused = Connect(db, notices, refusal); !refused.empty()) {
		// A journal made for a database that refused has nothing to send.
		struct stat now {
		};
		if (made && stat(journal_.Path().c_str(), &now) == 0 && now.st_size == 0)
			unlink(journal_.Path().c_str());
		return refused;
	}
	SenderSetup setup{ target_,       Description(),      journal_.Path(),       station_,
			   SessionName(), options_.deadlines, options_.firstRetryMs, options_.maxRetryMs,
			   options_.waits };
	sender_ = std::make_unique<Sender>(setup, std::move(db));
	refusal = Refusal::None;
	return "";
}

// db: connected and checked, or null when the database is away.
std::string PgSink::Connect(std::unique_ptr<Database> &db, std::vector<std::string> &notices,
			    Refusal &refusal)
{
	db = std::make_unique<Database>();
	db->SetDeadlines(options_.deadlines);
	if (std::string why = db->Connect(target_, SessionName()); !why.empty()) {
		// A server that said no says the same to every record: not an outage.
		bool refused = db->Refused();
		db.reset();
		if (options_.requireDatabase || refused)
			return Description() + ": " + why;
		notices.push_back(Description() + " cannot be reached: " + why + "; records are kept in " +
				  journal_.Path());
		return "";
	}
	if (std::string why = Check(*db, refusal); !why.empty())
		return Description() + ": " + why;
	return "";
}

std::string PgSink::Check(Database &db, Refusal &refusal)
{
	if (std::string why = db.PrepareSchema(true); !why.empty())
		return why;
	std::string holder;
	if (std::string why = db.LockStation(station_, holder); !why.empty()) {
		refusal = Refusal::InUse;
		return why + (holder.empty() ? "" : " (" + holder + ")") +
		       "; give each session its own --station";
	}
	// The record as this station writes one, never committed.
	Record probe;
	probe.id = NewRecordId();
	probe.time = std::time(nullptr);
	probe.station = station_;
	probe.host = station_;
	probe.command = "program";
	probe.result = "verified";
	if (options_.thumbnails)
		probe.thumbnailPng = "probe"; // their table must take them too
	if (std::string why = db.ProbeInsert(JournalLine(probe)); !why.empty())
		return why;
	std::string why;
	std::optional<std::int64_t> stored = db.LastSequence(station_, why);
	if (!why.empty())
		return "the station's last sequence number cannot be read: " + why;
	if (stored && (!last_ || *stored > *last_))
		last_ = stored;
	return "";
}

std::string PgSink::Ready() const
{
	if (std::string why = journal_.Check(); !why.empty())
		return "the station's journal cannot be used: " + why;
	return "";
}

StoreResult PgSink::Store(const Record &record)
{
	StoreResult result;
	if (std::string failed = journal_.Append(JournalLine(record)); !failed.empty()) {
		result.how = Stored::Lost;
		result.error = "not kept in the station's journal: " + failed;
		return result;
	}
	if (sender_)
		sender_->Wake();
	return result;
}

std::vector<std::string> PgSink::TakeNotices()
{
	return sender_ ? sender_->TakeNotices() : std::vector<std::string>{};
}

int PgSink::Finish(int ms, const std::function<bool()> &stop)
{
	if (!sender_)
		return 0;
	return sender_->Finish(ms, stop);
}

} // namespace plant
