// Where a station's records go in a plant: its journal on this host first,
// then the PostgreSQL database, fed by a sender of its own. Front ends call
// Open() before the first camera is touched and Store() for every record;
// the sink never prints, it returns what there is to say.
#pragma once

#include "Database.h"
#include "Record.h"
#include "Sender.h"
#include "Spool.h"
#include "StationLock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plant {

enum class Stored {
	Kept, // in the journal, on its way to the database
	Lost, // not even there: the run fails with the record status
};

struct StoreResult {
	Stored how = Stored::Kept;
	std::string error; // with Lost: why
};

struct SinkOptions {
	std::string folder;           // empty: SpoolDirectory()
	bool requireDatabase = false; // a database away at the start refuses the run
	bool thumbnails = false;      // records come with thumbnails: their table must take them
	Deadlines deadlines{};
	int firstRetryMs = 1000;
	int maxRetryMs = 30000;
	std::shared_ptr<SenderWaits> waits{}; // null: the clock's
};

// Why Open refused: another session has the station's name, or anything else.
enum class Refusal { None, InUse, Other };

class PgSink
{
public:
	PgSink(std::string target, std::string station, SinkOptions options = {});

	// Checks the target (no password in it), takes the station's name on
	// this host, checks the journal, then connects: checks or creates the
	// table, takes the name on the server and proves with a rolled-back
	// insert that the table takes this station's records. A database that
	// cannot be reached is said in notices and records wait in the journal
	// (unless requireDatabase); one that answers no (no such database or
	// role, a failed login, an option libpq rejects) refuses. Empty, or why not.
	std::string Open(std::vector<std::string> &notices, Refusal &refusal);

	// Whether the journal can still take a record (before each camera).
	// Empty, or why not.
	std::string Ready() const;

	// One record, in the journal on the disk when it returns; the sender
	// takes it on from there. Never waits on the network.
	StoreResult Store(const Record &record);

	// The station's last sequence number (database and journal) as Open found it.
	std::optional<std::int64_t> LastSequence() const { return last_; }

	// What the sender has to say since the last call.
	std::vector<std::string> TakeNotices();
	// Up to ms for the sender to send what is left, ended early once stop
	// holds; how many records wait.
	int Finish(int ms, const std::function<bool()> &stop = {});

	std::string JournalPath() const { return journal_.Path(); }
	std::string Description() const;

private:
	std::string Connect(std::unique_ptr<Database> &db, std::vector<std::string> &notices,
			    Refusal &refusal);
	std::string Check(Database &db, Refusal &refusal);

	std::string target_;
	std::string station_;
	SinkOptions options_;
	StationLock lock_;
	Spool journal_{ "" };
	std::optional<std::int64_t> last_;
	std::unique_ptr<Sender> sender_;
};

} // namespace plant
