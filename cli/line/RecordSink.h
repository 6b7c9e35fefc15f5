// Where --report's records go: a JSON Lines file, or a plant's PostgreSQL
// database. Either is opened and checked before the first camera is
// touched; a record it cannot keep fails the run.
#pragma once

#include "Record.h"

#include <memory>
#include <string>
#include <vector>

namespace eeprom_cli {

class RecordSink
{
public:
	virtual ~RecordSink() = default;

	// Gives record the next sequence number of its station and keeps it.
	// Empty, or why it was not kept. synced: durable before it returns;
	// otherwise Sync() must follow.
	virtual std::string Append(plant::Record &record, bool synced = true) = 0;
	// Every record appended so far durable; empty, or why not.
	virtual std::string Sync() = 0;
	// Whether a record could be kept now (the target still there, room on
	// its disk for one): asked before each camera. Empty, or why not.
	virtual std::string Ready() = 0;
	// What a message names: the file's path, or the database (never its
	// password).
	virtual std::string Name() const = 0;
	// What to tell the operator since the last call (the database went
	// away, records reached it again, the file was replaced), a line each.
	virtual std::vector<std::string> TakeNotices() { return {}; }
	// The session ends: what to tell the operator last (records not yet
	// where they belong). interrupted: Ctrl+C, so no long waits; one that
	// comes meanwhile ends the wait within a second.
	virtual std::vector<std::string> Finish(bool /*interrupted*/) { return {}; }
};

// How a station reports to a database (the rest is the target's own).
struct SinkChoice {
	bool requireDatabase = false; // a database away at the start refuses the run
	bool thumbnails = false;      // --frame-check: records come with thumbnails
	int sendWaitMs = 5000;        // at the end, for what the journal still holds
	bool inUse = false;           // out: refused because another session has the station
};

// Opens target as a database when libpq would read it as one
// (postgresql://, postgres://, key=value), else as a file. station: the
// run's, whose numbering a database continues. notices: what opening had
// to say (the database cannot be reached). Null with why when it cannot take records.
std::unique_ptr<RecordSink> OpenRecordSink(const std::string &target, const std::string &station,
					   SinkChoice &choice, std::vector<std::string> &notices,
					   std::string &why);

} // namespace eeprom_cli
