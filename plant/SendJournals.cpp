#include "SendJournals.h"

#include "Database.h"
#include "Spool.h"
#include "Target.h"

#include <map>

#include <unistd.h>

namespace plant {

namespace {

JournalSent SendOne(Database &db, const Journal &journal, const std::string &connected)
{
	JournalSent result;
	result.path = journal.path;
	result.description = DescribeDatabaseTarget(journal.target);
	Spool spool(journal.path);
	std::string why;
	std::vector<std::string> lines = spool.Lines(why);
	// A journal is one station's; an older version's spool holds any station's.
	if (!lines.empty() && journal.path.find("/journal-") != std::string::npos) {
		std::string bad;
		if (std::optional<Record> first = ParseRecordLine(lines.front(), bad))
			result.station = first->station;
	}
	if (!connected.empty() || !why.empty()) {
		result.left = static_cast<int>(lines.size());
		result.error = connected.empty() ? why : connected;
		return result;
	}
	Spool::Sent sent = spool.Send(
		[&db](const std::string &json, std::string &reason) { return db.Insert(json, reason); });
	result.sent = sent.inserted + sent.duplicates;
	result.rejected = sent.rejected;
	result.left = sent.left;
	result.error = sent.error;
	return result;
}

std::string TableWords(int found)
{
	std::string now = std::to_string(kSchemaVersion);
	if (found == 0)
		return "the records table was created (schema version " + now + ")";
	if (found < kSchemaVersion)
		return "the records table was brought from schema version " + std::to_string(found) + " to " +
		       now;
	return "the records table is at schema version " + now;
}

} // namespace

std::vector<JournalSent> SendJournals(const std::string &folder, const std::optional<std::string> &target,
				      std::string &why, std::string *table)
{
	std::vector<JournalSent> results;
	if (target && !(why = CheckDatabaseTarget(*target)).empty())
		return results;
	std::map<std::string, std::vector<Journal>> byTarget;
	for (const Journal &journal : FindJournals(folder, why))
		if (!target || journal.target == *target)
			byTarget[journal.target].push_back(journal);
	if (!why.empty())
		return results;
	if (target) {
		std::vector<Journal> &journals =
			byTarget[*target]; // its table is made even with nothing to send
		// What an older version left waiting goes too: only this command knows its target.
		if (std::string spool = LegacySpoolPathFor(folder, *target); access(spool.c_str(), F_OK) == 0)
			journals.push_back({ spool, *target });
	}
	for (const auto &[where, journals] : byTarget) {
		Database db;
		std::string connected = db.Connect(where);
		if (connected.empty())
			connected = db.PrepareSchema(true);
		if (target && !connected.empty()) {
			why = DescribeDatabaseTarget(where) + ": " + connected;
			return results;
		}
		if (target && table)
			*table = TableWords(db.SchemaVersionFound());
		for (const Journal &journal : journals)
			results.push_back(SendOne(db, journal, connected));
	}
	return results;
}

} // namespace plant
