#include "Database.h"

#include "Target.h"

#include <cctype>

#include <libpq-fe.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <thread>

#include <poll.h>

namespace plant {

namespace {

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

std::int64_t NowMs()
{
	return std::chrono::duration_cast<std::chrono::milliseconds>(
		       std::chrono::steady_clock::now().time_since_epoch())
		.count();
}

// The advisory lock keys: schema changes, and one per station name.
constexpr int kSchemaLock = 3131003;
constexpr int kStationLock = 3131004;

const char kCreateSchema[] = R"sql(
CREATE TABLE velmora_schema (version integer NOT NULL);
INSERT INTO velmora_schema (version) VALUES (4);
CREATE TABLE velmora_records (
	id uuid PRIMARY KEY,
	time timestamptz NOT NULL,
	version text,
	station text NOT NULL,
	operator text,
	unit text,
	sequence bigint,
	host text,
	command text NOT NULL,
	camera integer,
	bus text,
	bus_found text,
	adapter text,
	adapter_status integer,
	adapter_status_name text,
	file text,
	sha256 text,
	file_size bigint,
	pages integer[] NOT NULL,
	result text NOT NULL,
	exit_status integer NOT NULL,
	failure_page integer,
	failure_block integer,
	failure_byte integer,
	failure_direction text,
	message text,
	duration_ms double precision,
	record jsonb NOT NULL,
	CONSTRAINT velmora_records_station_sequence UNIQUE (station, sequence)
);

CREATE INDEX velmora_records_time ON velmora_records (time);
CREATE INDEX velmora_records_station ON velmora_records (station, time);
CREATE INDEX velmora_records_unit ON velmora_records (unit, time);
CREATE INDEX velmora_records_failures ON velmora_records (time) WHERE exit_status <> 0;
)sql";

// What version 3 adds to version 2: what the frame check measured, in
// columns, and the checked frames' thumbnails in a table of their own.
const char kVersion3[] = R"sql(
ALTER TABLE velmora_records ADD COLUMN IF NOT EXISTS frame_check text,
	ADD COLUMN IF NOT EXISTS frame_standard text,
	ADD COLUMN IF NOT EXISTS frame_luminance double precision,
	ADD COLUMN IF NOT EXISTS frame_red_green double precision,
	ADD COLUMN IF NOT EXISTS frame_blue_green double precision,
	ADD COLUMN IF NOT EXISTS frame_moving_pixels bigint;
CREATE TABLE IF NOT EXISTS velmora_thumbnails (id uuid PRIMARY KEY, png bytea NOT NULL);
)sql";

// What version 4 adds to version 3: the comparison with the reference
// picture, in columns.
const char kVersion4[] = R"sql(
ALTER TABLE velmora_records ADD COLUMN IF NOT EXISTS frame_structure double precision,
	ADD COLUMN IF NOT EXISTS frame_offset_x double precision,
	ADD COLUMN IF NOT EXISTS frame_offset_y double precision,
	ADD COLUMN IF NOT EXISTS frame_sharpness double precision,
	ADD COLUMN IF NOT EXISTS frame_orientation text;
)sql";

// Every column from the record's own JSON, so that the typed columns and
// the jsonb copy never disagree. A journal's line may carry the record's
// thumbnail, which goes to its own table and not into the record; a line
// without one never names that table (a role may lack its privileges).
const char kThumbnail[] = R"sql(, thumbnail AS (
	INSERT INTO velmora_thumbnails (id, png)
	SELECT (j->>'id')::uuid, decode(j->>'thumbnail_png', 'base64') FROM line
	ON CONFLICT (id) DO NOTHING))sql";
const char kInsert[] = R"sql(
INSERT INTO velmora_records (id, time, version, station, operator, unit, sequence, host, command,
	camera, bus, bus_found, adapter, adapter_status, adapter_status_name, file, sha256, file_size,
	pages, result, exit_status, failure_page, failure_block, failure_byte, failure_direction,
	message, duration_ms, frame_check, frame_standard, frame_luminance, frame_red_green,
	frame_blue_green, frame_moving_pixels, frame_structure, frame_offset_x, frame_offset_y,
	frame_sharpness, frame_orientation, record)
SELECT (r->>'id')::uuid, (r->>'time')::timestamptz, r->>'version', r->>'station', r->>'operator',
	r->>'unit', (r->>'sequence')::bigint, r->>'host', r->>'command', (r->>'camera')::integer,
	r->>'bus', r->>'bus_found', r->>'adapter', (r->>'adapter_status')::integer,
	r->>'adapter_status_name', r->>'file', r->>'sha256', (r->>'file_size')::bigint,
	ARRAY(SELECT p::integer FROM jsonb_array_elements_text(COALESCE(r->'pages', '[]'))
		WITH ORDINALITY AS t(p, i) ORDER BY i),
	r->>'result', (r->>'exit_status')::integer, (r->>'failure_page')::integer,
	(r->>'failure_block')::integer, (r->>'failure_byte')::integer, r->>'failure_direction',
	r->>'message', (r->>'duration_ms')::double precision, r->'frame'->>'check',
	r->'frame'->>'standard_seen', (r->'frame'->>'luminance')::double precision,
	(r->'frame'->>'red_green')::double precision, (r->'frame'->>'blue_green')::double precision,
	(r->'frame'->>'moving_pixels')::bigint, (r->'frame'->>'structure')::double precision,
	(r->'frame'->>'offset_x')::double precision, (r->'frame'->>'offset_y')::double precision,
	(r->'frame'->>'sharpness')::double precision, r->'frame'->>'orientation', r
FROM (SELECT j - 'thumbnail_png' AS r FROM line) AS given
ON CONFLICT (id) DO NOTHING
)sql";

std::string InsertOf(const std::string &recordJson)
{
	// The key cannot stand unescaped inside a string of the line.
	bool thumbnail = recordJson.find("\"thumbnail_png\"") != std::string::npos;
	return std::string("WITH line AS (SELECT $1::jsonb AS j)") + (thumbnail ? kThumbnail : "") + kInsert;
}

} // namespace

std::string OneLine(const char *message)
{
	std::string text;
	for (const char *c = message ? message : ""; *c; c++) {
		if (*c == '\n') {
			// An indented line in lower case goes on the sentence before it.
			bool continued = c[1] == '\t' || c[1] == ' ';
			while (c[1] == '\t' || c[1] == ' ')
				c++;
			if (c[1] != '\0')
				text += continued && std::islower(static_cast<unsigned char>(c[1])) ? " "
												    : "; ";
		} else {
			text += *c;
		}
	}
	// The server's labels ("ERROR:  ", "FATAL:  ") where a sentence starts
	// are libpq's way of writing, not the cause; nor are its double spaces.
	std::string clean;
	for (size_t at = 0; at < text.size();) {
		bool starts = at == 0 || text.compare(at - 1, 1, " ") == 0;
		size_t label = at;
		while (label < text.size() && std::isupper(static_cast<unsigned char>(text[label])))
			label++;
		if (starts && label > at && text.compare(label, 2, ": ") == 0 &&
		    std::set<std::string>{ "ERROR", "FATAL", "PANIC", "WARNING", "DETAIL", "HINT" }.contains(
			    text.substr(at, label - at))) {
			at = label + 1;
			while (at < text.size() && text[at] == ' ')
				at++;
			continue;
		}
		if (text[at] != ' ' || clean.empty() || clean.back() != ' ')
			clean += text[at];
		at++;
	}
	// The caller's text follows: no sentence's full stop in between.
	while (!clean.empty() && (clean.back() == '.' || clean.back() == ' '))
		clean.pop_back();
	return clean.empty() ? "no reason given" : clean;
}

bool TableFailure(const std::string &sqlstate)
{
	return sqlstate.starts_with("42") || sqlstate.starts_with("25");
}

namespace {

// The SQLSTATE a server sent when it refused a connection, from libpq's
// verbose message ("FATAL:  3D000: database ... does not exist"), which is
// then put as the default verbosity says it: the code and the server's
// source location taken out. "" when no server answered.
std::string StartupState(std::string &message)
{
	std::string state;
	std::string shown;
	size_t start = 0;
	while (start < message.size()) {
		size_t end = message.find('\n', start);
		end = end == std::string::npos ? message.size() : end + 1;
		std::string line = message.substr(start, end - start);
		start = end;
		if (line.starts_with("LOCATION:  "))
			continue;
		for (const char *severity : { "FATAL:  ", "ERROR:  " }) {
			size_t at = line.find(severity);
			if (at == std::string::npos)
				continue;
			size_t code = at + std::strlen(severity);
			if (line.size() > code + 7 && line.compare(code + 5, 2, ": ") == 0 &&
			    std::all_of(line.begin() + static_cast<std::ptrdiff_t>(code),
					line.begin() + static_cast<std::ptrdiff_t>(code + 5), [](char c) {
						return std::isdigit(static_cast<unsigned char>(c)) ||
						       std::isupper(static_cast<unsigned char>(c));
					})) {
				state = line.substr(code, 5);
				line.erase(code, 7);
			}
			break;
		}
		shown += line;
	}
	message = shown;
	return state;
}

} // namespace

bool PassingFailure(const std::string &sqlstate)
{
	if (sqlstate.size() != 5)
		return true; // the server never answered
	std::string group = sqlstate.substr(0, 2);
	// Connection, resources, operator intervention (shutdown, a cancelled
	// statement), system errors; a serialization failure or deadlock, a lock
	// not granted: the same record succeeds later. Anything else is the
	// server's answer about this record, and sending it again changes nothing.
	return group == "08" || group == "53" || group == "57" || group == "58" || sqlstate == "40001" ||
	       sqlstate == "40P01" || sqlstate == "55P03";
}

namespace {

// What the server said of a failed statement, without the statement's
// text and caret that libpq adds for a position in it.
std::string ServerSaid(const PGresult *result)
{
	const char *primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
	if (!primary)
		return OneLine(PQresultErrorMessage(result));
	std::string said = OneLine(primary);
	for (int field : { PG_DIAG_MESSAGE_DETAIL, PG_DIAG_MESSAGE_HINT })
		if (const char *more = PQresultErrorField(result, field))
			said += "; " + OneLine(more);
	return said;
}

} // namespace

struct Database::Answer {
	Result result{ nullptr, PQclear };
	bool ok = false;
	std::string why;
	std::string state; // SQLSTATE of the failure, "" when the server did not say
	const char *Value(int row = 0, int column = 0) const
	{
		return result && PQntuples(result.get()) > row ? PQgetvalue(result.get(), row, column) : "";
	}
	bool Null(int row = 0, int column = 0) const
	{
		return !result || PQntuples(result.get()) <= row || PQgetisnull(result.get(), row, column);
	}
};

Database::~Database()
{
	Close();
}

void Database::Close()
{
	if (conn_)
		PQfinish(conn_);
	conn_ = nullptr;
}

bool Database::Connected() const
{
	return conn_ && PQstatus(conn_) == CONNECTION_OK;
}

std::string Database::Role() const
{
	return conn_ ? PQuser(conn_) : "";
}

bool Database::Wait(bool forWrite, std::int64_t deadlineMs, std::string &why)
{
	for (;;) {
		if (stop_ && stop_()) {
			why = "given up: the session ends";
			return false;
		}
		std::int64_t left = deadlineMs - NowMs();
		if (deadlineMs > 0 && left <= 0) {
			why = "the server did not answer in time";
			return false;
		}
		pollfd p{ PQsocket(conn_), static_cast<short>(forWrite ? POLLOUT : POLLIN), 0 };
		int ready = poll(&p, 1,
				 static_cast<int>(deadlineMs > 0 ? std::min<std::int64_t>(left, 100) : 100));
		if (ready > 0)
			return true;
		if (ready < 0 && errno != EINTR) {
			why = std::strerror(errno);
			return false;
		}
	}
}

void Database::Abandon()
{
	// The server is asked to drop what it may still be doing; that request
	// has no deadline of its own in libpq, so it goes on beside us, and the
	// connection is closed now. A record it still commits is kept once: ids.
	if (PGcancel *cancel = PQgetCancel(conn_))
		std::thread([cancel] {
			char error[256];
			PQcancel(cancel, error, sizeof(error));
			PQfreeCancel(cancel);
		}).detach();
	Close();
}

std::string Database::Connect(const std::string &target, const std::string &application)
{
	Close();
	target_ = target;
	std::string connectS = std::to_string(std::max(1, deadlines_.connectMs / 1000));
	std::string options = deadlines_.statementMs > 0
				      ? "-c statement_timeout=" + std::to_string(deadlines_.statementMs)
				      : "";
	// What the target says wins over our defaults (it comes after them),
	// but the session's name is ours. Keepalives find a peer that vanished
	// while a connection was idle; tcp_user_timeout one that vanished with
	// data in flight (both for TCP only).
	const char *keywords[] = { "connect_timeout",
				   "fallback_application_name",
				   "keepalives",
				   "keepalives_idle",
				   "keepalives_interval",
				   "keepalives_count",
				   "tcp_user_timeout",
				   "options",
				   "dbname",
				   "application_name",
				   nullptr };
	const char *values[] = {
		connectS.c_str(), "velmora",           "1",    "5", "2", "3", "10000", options.c_str(),
		target.c_str(),   application.c_str(), nullptr
	};
	std::string why;
	refused_ = false;
	conn_ = PQconnectStartParams(keywords, values, 1);
	if (!conn_)
		return "out of memory";
	// An option libpq rejects (sslmode=bogus) fails before any connection is
	// tried; a ping with the same options then makes no attempt either.
	if (PQstatus(conn_) == CONNECTION_BAD && PQpingParams(keywords, values, 1) == PQPING_NO_ATTEMPT) {
		refused_ = true;
		why = OneLine(PQerrorMessage(conn_));
		Close();
		return why;
	}
	// The server's refusal with its SQLSTATE, which tells a final answer
	// from a passing one.
	PQsetErrorVerbosity(conn_, PQERRORS_VERBOSE);
	// A library never prints: notices (e.g. "already exists, skipping") are dropped.
	PQsetNoticeProcessor(
		conn_, [](void *, const char *) {}, nullptr);
	std::int64_t deadline = NowMs() + deadlines_.connectMs;
	PostgresPollingStatusType state = PGRES_POLLING_WRITING;
	while (PQstatus(conn_) != CONNECTION_BAD && state != PGRES_POLLING_OK &&
	       state != PGRES_POLLING_FAILED) {
		if (!Wait(state == PGRES_POLLING_WRITING, deadline, why)) {
			Close();
			return why == "the server did not answer in time"
				       ? "no connection within " + connectS + " s"
				       : why;
		}
		state = PQconnectPoll(conn_);
	}
	if (PQstatus(conn_) != CONNECTION_OK) {
		std::string message = PQerrorMessage(conn_);
		std::string sqlstate = StartupState(message);
		refused_ = (!sqlstate.empty() && !PassingFailure(sqlstate)) ||
			   PQconnectionNeedsPassword(conn_);
		why = OneLine(message.c_str());
		Close();
		return why;
	}
	PQsetErrorVerbosity(conn_, PQERRORS_DEFAULT);
	PQsetnonblocking(conn_, 1);
	return "";
}

Database::Answer Database::Run(const std::string &sql, const char *param)
{
	Answer a;
	if (!Connected()) {
		a.why = conn_ ? OneLine(PQerrorMessage(conn_)) : "not connected";
		return a;
	}
	// The server's statement_timeout answers first; this is for a server
	// that cannot answer at all.
	std::int64_t deadline = deadlines_.statementMs > 0 ? NowMs() + deadlines_.statementMs + 1000 : 0;
	int sent = param ? PQsendQueryParams(conn_, sql.c_str(), 1, nullptr, &param, nullptr, nullptr, 0)
			 : PQsendQuery(conn_, sql.c_str());
	int flushed = sent ? PQflush(conn_) : -1;
	while (flushed == 1 && Wait(true, deadline, a.why))
		flushed = PQflush(conn_);
	for (bool waiting = flushed == 0; waiting;) {
		while (PQisBusy(conn_) && (waiting = Wait(false, deadline, a.why)) && PQconsumeInput(conn_)) {
		}
		if (!waiting)
			break;
		PGresult *result = PQgetResult(conn_);
		if (!result)
			break;
		ExecStatusType status = PQresultStatus(result);
		if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && a.why.empty()) {
			a.why = ServerSaid(result);
			const char *state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
			a.state = state ? state : "";
		}
		a.result.reset(result);
	}
	if (!a.why.empty() && a.state.empty() && conn_ && PQisBusy(conn_)) {
		Abandon(); // no answer in time: this connection is done with
		return a;
	}
	if (a.why.empty() && flushed != 0)
		a.why = OneLine(PQerrorMessage(conn_));
	a.ok = a.why.empty();
	return a;
}

std::string Database::Transaction(const std::function<std::string()> &body, const char *begin)
{
	Answer started = Run(begin);
	if (!started.ok)
		return started.why;
	std::string why = body();
	if (!why.empty()) {
		if (Connected())
			Run("ROLLBACK");
		return why;
	}
	Answer end = Run("COMMIT");
	if (!end.ok)
		return end.why;
	// A transaction that failed inside answers COMMIT with ROLLBACK.
	if (std::string(PQcmdStatus(end.result.get())) != "COMMIT")
		return "the transaction was rolled back";
	return "";
}

std::string Database::PrepareSchema(bool create)
{
	if (!Connected())
		return "not connected";
	if (!create)
		return CheckVersion(false);
	// One station at a time: eight starting together must not race to create the table.
	std::string why = Transaction([this] {
		Answer lock = Run("SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLock) + ")");
		return lock.ok ? CheckVersion(true) : lock.why;
	});
	if (!why.empty())
		versionFound_ = -1; // whatever was done was rolled back
	return why;
}

std::string Database::CheckVersion(bool create)
{
	Answer found = Run("SELECT to_regclass('velmora_schema') IS NOT NULL, "
			   "to_regclass('velmora_records') IS NOT NULL");
	if (!found.ok)
		return found.why;
	if (found.Value(0, 0)[0] != 't') {
		if (!create) {
			tableMissing_ = true;
			return "no records table in " + DescribeDatabaseTarget(target_);
		}
		Answer made = Run(std::string(kCreateSchema) + kVersion3 + kVersion4);
		versionFound_ = 0;
		return made.ok ? "" : "cannot create the records table: " + made.why;
	}
	Answer version = Run("SELECT max(version) FROM velmora_schema");
	if (!version.ok && version.state == "42501")
		return "the role " + Role() +
		       " may not read the schema version: GRANT SELECT ON velmora_schema TO " + Role();
	if (!version.ok)
		return version.why;
	if (found.Value(0, 1)[0] != 't')
		return "it has a schema version but no table velmora_records";
	int found_version = version.Null() ? 0 : std::atoi(version.Value());
	if (create)
		versionFound_ = found_version;
	if (create && found_version >= 1 && found_version < kSchemaVersion)
		return Migrate(found_version);
	if (found_version == kSchemaVersion ||
	    (!create && found_version >= 1 && found_version <= kSchemaVersion))
		return "";
	return "its records table has schema version " +
	       (version.Null() ? std::string("(none)") : std::string(version.Value())) +
	       "; this program writes and reads version " + std::to_string(kSchemaVersion);
}

std::string Database::Migrate(int from)
{
	if (from >= kSchemaVersion)
		return "";
	if (from == 2 || from == 3) {
		// Version 3 adds the frame check's columns and the thumbnails'
		// table, version 4 the comparison with the reference picture.
		const char *added = from == 2 ? kVersion3 : kVersion4;
		Answer altered = Run(std::string(added) +
				     "UPDATE velmora_schema SET version = " + std::to_string(from + 1));
		if (!altered.ok)
			return "its records table has schema version " + std::to_string(from) +
			       ", which the role " + Role() + " cannot bring to " + std::to_string(from + 1) +
			       " (" + altered.why +
			       "): the table's owner does it once with velmora-eeprom send-records TARGET";
		return Migrate(from + 1);
	}
	// Version 2 adds one rule: a station's sequence numbers are unique.
	Answer twice = Run(
		"SELECT string_agg(station || ' ' || sequence, ', ') FROM (SELECT station, sequence "
		"FROM velmora_records WHERE sequence IS NOT NULL GROUP BY station, sequence "
		"HAVING count(*) > 1 ORDER BY station, sequence LIMIT 10) AS twice");
	if (!twice.ok)
		return twice.why;
	if (!twice.Null())
		return "its records table (schema version 1) holds these station and sequence numbers more than once: " +
		       std::string(twice.Value()) + "; it is brought to version 2 once they are told apart";
	Answer altered = Run("ALTER TABLE velmora_records ADD CONSTRAINT velmora_records_station_sequence "
			     "UNIQUE (station, sequence); UPDATE velmora_schema SET version = 2");
	if (!altered.ok)
		return "its records table has schema version 1, which the role " + Role() +
		       " cannot bring to 2 (" + altered.why +
		       "): the table's owner does it once with velmora-eeprom send-records TARGET";
	return Migrate(2);
}

std::string Database::ProbeInsert(const std::string &recordJson)
{
	Answer begin = Run("BEGIN");
	if (!begin.ok)
		return begin.why;
	Answer probe = Run(InsertOf(recordJson), recordJson.c_str());
	Answer end = Run("ROLLBACK");
	if (!probe.ok) {
		std::string role = Role();
		if (probe.state == "42501")
			return "the role " + role + " may not add records: GRANT INSERT ON " +
			       (recordJson.find("\"thumbnail_png\"") != std::string::npos
					? "velmora_records, velmora_thumbnails"
					: "velmora_records") +
			       " TO " + role;
		if (probe.state == "25006")
			return "the session is read-only (a standby, or default_transaction_read_only): "
			       "records cannot be added";
		return "the table does not take a record as this program writes it: " + probe.why;
	}
	return end.ok ? "" : end.why;
}

std::string Database::LockStation(const std::string &station, std::string &holder)
{
	std::string key = std::to_string(kStationLock);
	Answer taken = Run("SELECT pg_try_advisory_lock(" + key + ", hashtext($1))", station.c_str());
	if (!taken.ok)
		return taken.why;
	if (taken.Value()[0] == 't')
		return "";
	Answer who = Run("SELECT a.application_name FROM pg_locks l JOIN pg_stat_activity a ON a.pid = l.pid "
			 "WHERE l.locktype = 'advisory' AND l.granted AND l.classid = " +
				 key + " AND l.objid::bigint = (hashtext($1)::bigint & 4294967295) LIMIT 1",
			 station.c_str());
	holder = who.ok ? who.Value() : "";
	return "station " + station + " is in use by another session";
}

Insertion Database::Insert(const std::string &recordJson, std::string &why)
{
	Answer a = Run(InsertOf(recordJson), recordJson.c_str());
	if (a.ok)
		return std::string(PQcmdTuples(a.result.get())) == "1" ? Insertion::Inserted
								       : Insertion::Duplicate;
	why = a.why;
	return PassingFailure(a.state) ? Insertion::Transient
	       : TableFailure(a.state) ? Insertion::Refused
				       : Insertion::Rejected;
}

std::optional<std::int64_t> Database::LastSequence(const std::string &station, std::string &why)
{
	Answer a = Run("SELECT max(sequence) FROM velmora_records WHERE station = $1", station.c_str());
	if (!a.ok) {
		why = a.why;
		return std::nullopt;
	}
	if (a.Null())
		return std::nullopt;
	return std::stoll(a.Value());
}

} // namespace plant
