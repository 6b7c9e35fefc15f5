// One connection to the plant's PostgreSQL database through libpq, and the
// table of records in it: created or brought to our schema version by the
// owner, checked by everyone else. Every wait on the server has a deadline
// and can be given up on from outside: a network that drops packets must
// never hold up a station.
#pragma once

#include "Record.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

typedef struct pg_conn PGconn;

namespace plant {

// How the database took one record.
enum class Insertion {
	Inserted,
	Duplicate, // a record with this id was there already: kept once
	Transient, // not now (no connection, a timeout, the server shutting down): try again later
	Refused,   // the table refuses every record (dropped, INSERT revoked, a column changed, read-only)
	Rejected,  // the server answered and refuses this record (its data, a constraint)
};

// Whether a failure with this SQLSTATE passes by itself, so the record is
// sent again later; "" (no answer from the server at all) does.
bool PassingFailure(const std::string &sqlstate);
// Whether it is the table, not the record, that is refused (classes 42 and
// 25): the records wait until its owner puts it right.
bool TableFailure(const std::string &sqlstate);

struct Deadlines {
	int connectMs = 5000;
	int statementMs = 5000;
};

class Database
{
public:
	Database() = default;
	~Database();
	Database(const Database &) = delete;
	Database &operator=(const Database &) = delete;

	// Checked every 100 ms of every wait; true gives the wait up (the
	// connection is then closed).
	void SetStop(std::function<bool()> stop) { stop_ = std::move(stop); }
	void SetDeadlines(Deadlines deadlines) { deadlines_ = deadlines; }

	// Connects to target (CheckDatabaseTarget has accepted it). Returns
	// empty or why not, in one line. libpq's notices are kept from stderr.
	// application: what the server shows of this session (pg_stat_activity).
	std::string Connect(const std::string &target, const std::string &application = "velmora");
	// After Connect failed: whether the answer is final (libpq refused an
	// option before connecting, the server said no such database or role,
	// authentication failed or a password is needed and none is given)
	// rather than a server that could not be reached or did not answer.
	bool Refused() const { return refused_; }
	bool Connected() const;
	void Close();

	// The records table. With create, made when missing and brought from
	// version 1 or 2 to ours (the owner's role); either way its version must be
	// ours then. Without create nothing is changed, and every version this
	// program reads is accepted.
	std::string PrepareSchema(bool create);
	// After PrepareSchema(false) failed: whether it was for want of a table.
	bool TableMissing() const { return tableMissing_; }

	// Whether the table takes recordJson from this role in this session: the
	// insert is made and rolled back. Empty, or why not (naming a missing
	// GRANT).
	std::string ProbeInsert(const std::string &recordJson);

	// Holds the station's name on the server while this session lives.
	// Empty, or why not; holder then says who has it (its application).
	std::string LockStation(const std::string &station, std::string &holder);

	// One record as its JSON text, in a transaction of its own.
	Insertion Insert(const std::string &recordJson, std::string &why);

	// The highest sequence number of station's records; nullopt when it has
	// none, or on failure with why set.
	std::optional<std::int64_t> LastSequence(const std::string &station, std::string &why);

	// The role this session logged in as.
	std::string Role() const;

	PGconn *Handle() const { return conn_; }

private:
	struct Answer;
	Answer Run(const std::string &sql, const char *param = nullptr);
	bool Wait(bool forWrite, std::int64_t deadlineMs, std::string &why);
	void Abandon();
	std::string Transaction(const std::function<std::string()> &body, const char *begin = "BEGIN");
	std::string CheckVersion(bool create);
	std::string Migrate(int from);

	PGconn *conn_ = nullptr;
	std::string target_;
	bool tableMissing_ = false;
	bool refused_ = false;
	std::function<bool()> stop_;
	Deadlines deadlines_;
};

// libpq's message as one line (its own end in newlines, some span several).
std::string OneLine(const char *message);

} // namespace plant
