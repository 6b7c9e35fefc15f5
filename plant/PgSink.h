// Where a station's records go in a plant: the PostgreSQL database, and
// while it cannot be reached, the spool on this host. Front ends call
// Open() before the first camera is touched and Store() for every record;
// the sink never prints, it returns what there is to say.
#pragma once

#include "Database.h"
#include "Record.h"
#include "Spool.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plant {

enum class Stored {
	Inserted, // in the database
	Spooled,  // in the spool, sent by a later Open() or Store()
	Lost,     // neither: the run fails with the record status
};

struct StoreResult {
	Stored how = Stored::Inserted;
	// Something to tell the operator once: records start going to the
	// spool, or the database is back and the spool was sent. Empty otherwise.
	std::string notice;
	std::string error; // with Lost: why neither worked
};

class PgSink
{
public:
	// spoolFolder empty: SpoolDirectory().
	explicit PgSink(std::string target, std::string spoolFolder = "");

	// Checks the target (no password in it), makes the spool folder,
	// connects, checks or creates the records table, then sends what the
	// spool holds, in order. Returns empty or why not; notices get what
	// there is to say besides (e.g. "3 spooled records sent").
	std::string Open(std::vector<std::string> &notices);

	// One record: inserted, or spooled when the database cannot take it now.
	StoreResult Store(const Record &record);

	// The highest sequence number of station's records in the database and
	// the spool, so that a station counts on; nullopt when there are none.
	std::optional<std::int64_t> LastSequence(const std::string &station, std::string &why);

	std::string SpoolPath() const { return spool_.Path(); }
	std::string Description() const;

private:
	std::string SendSpool(std::string &notice);

	std::string target_;
	std::string folder_;
	Database db_;
	Spool spool_{ "" };
	bool spooling_ = false; // said that records go to the spool
};

} // namespace plant
