// What send-records does: every station journal on this host sent to its
// database, whichever station made it, each journal's count said apart.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace plant {

struct JournalSent {
	std::string path;
	std::string station;     // of its first record; "" for an empty journal
	std::string description; // the database, never its password
	int sent = 0;            // inserted now, or found there already
	int rejected = 0;        // refused by the database, set aside
	int left = 0;            // still waiting
	std::string error;       // why some are left
};

// The journals in folder (only target's when given: then, as the table's
// owner, the table is also created or brought to this version, and the
// spool an older version kept for target is sent too). why: the
// folder cannot be read, or target refused. table, with target: what was
// done to its table ("the records table was created (schema version 4)").
std::vector<JournalSent> SendJournals(const std::string &folder, const std::optional<std::string> &target,
				      std::string &why, std::string *table = nullptr);

} // namespace plant
