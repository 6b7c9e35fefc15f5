// One connection to the plant's PostgreSQL database through libpq, and the
// table of records in it: created when missing, its schema version checked.
#pragma once

#include "Record.h"

#include <cstdint>
#include <optional>
#include <string>

typedef struct pg_conn PGconn;

namespace plant {

// How the database took one record.
enum class Insertion {
	Inserted,
	Duplicate, // a record with this id was there already: kept once
	Transient, // not now (connection lost, no privilege, server shutting down): try again later
	Rejected,  // the database refuses this record itself (bad data): never will take it
};

class Database
{
public:
	Database() = default;
	~Database();
	Database(const Database &) = delete;
	Database &operator=(const Database &) = delete;

	// Connects to target (CheckDatabaseTarget has accepted it). Returns
	// empty or why not, in one line. libpq's notices are kept from stderr.
	std::string Connect(const std::string &target);
	// Tries the same server again after a lost connection.
	std::string Reconnect();
	bool Connected() const;
	void Close();

	// The records table: with create, made when missing (the role needs
	// CREATE on the schema once; a role that may only insert and select
	// finds it there). Either way its schema version must be ours.
	std::string PrepareSchema(bool create);

	// One record as its JSON text, in a transaction of its own.
	Insertion Insert(const std::string &recordJson, std::string &why);

	// The highest sequence number of station's records; nullopt when it has
	// none, or on failure with why set.
	std::optional<std::int64_t> LastSequence(const std::string &station, std::string &why);

	PGconn *Handle() const { return conn_; }

private:
	PGconn *conn_ = nullptr;
	std::string target_;
};

// libpq's message as one line (its own end in newlines, some span several).
std::string OneLine(const char *message);

} // namespace plant
