#include "Database.h"

#include <cctype>

#include <libpq-fe.h>

#include <memory>

namespace plant {

namespace {

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

Result Exec(PGconn *conn, const char *sql)
{
	return Result(PQexec(conn, sql), PQclear);
}

bool Ok(const Result &result)
{
	ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
	return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

std::string Why(PGconn *conn, const Result &result)
{
	const char *message = result ? PQresultErrorMessage(result.get()) : nullptr;
	return OneLine(message && *message ? message : PQerrorMessage(conn));
}

const char kCreateSchema[] = R"sql(
CREATE TABLE velmora_schema (version integer NOT NULL);
INSERT INTO velmora_schema (version) VALUES (1);
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
	record jsonb NOT NULL
);
CREATE INDEX velmora_records_time ON velmora_records (time);
CREATE INDEX velmora_records_station ON velmora_records (station, time);
CREATE INDEX velmora_records_unit ON velmora_records (unit, time);
CREATE INDEX velmora_records_failures ON velmora_records (time) WHERE exit_status <> 0;
)sql";

// Every column from the record's own JSON, so that the typed columns and
// the jsonb copy never disagree.
const char kInsert[] = R"sql(
INSERT INTO velmora_records (id, time, version, station, operator, unit, sequence, host, command,
	camera, bus, bus_found, adapter, adapter_status, adapter_status_name, file, sha256, file_size,
	pages, result, exit_status, failure_page, failure_block, failure_byte, failure_direction,
	message, duration_ms, record)
SELECT (r->>'id')::uuid, (r->>'time')::timestamptz, r->>'version', r->>'station', r->>'operator',
	r->>'unit', (r->>'sequence')::bigint, r->>'host', r->>'command', (r->>'camera')::integer,
	r->>'bus', r->>'bus_found', r->>'adapter', (r->>'adapter_status')::integer,
	r->>'adapter_status_name', r->>'file', r->>'sha256', (r->>'file_size')::bigint,
	ARRAY(SELECT p::integer FROM jsonb_array_elements_text(COALESCE(r->'pages', '[]'))
		WITH ORDINALITY AS t(p, i) ORDER BY i),
	r->>'result', (r->>'exit_status')::integer, (r->>'failure_page')::integer,
	(r->>'failure_block')::integer, (r->>'failure_byte')::integer, r->>'failure_direction',
	r->>'message', (r->>'duration_ms')::double precision, r
FROM (SELECT $1::jsonb AS r) AS given
ON CONFLICT (id) DO NOTHING
)sql";

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
	// The caller's text follows: no sentence's full stop in between.
	while (!text.empty() && (text.back() == '.' || text.back() == ' '))
		text.pop_back();
	return text.empty() ? "no reason given" : text;
}

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

std::string Database::Connect(const std::string &target)
{
	Close();
	target_ = target;
	// The target comes last so that what it says wins over our defaults:
	// a vanished server is given up on after 10 s rather than libpq's forever.
	const char *keywords[] = { "connect_timeout", "fallback_application_name", "dbname", nullptr };
	const char *values[] = { "10", "velmora", target.c_str(), nullptr };
	conn_ = PQconnectdbParams(keywords, values, 1);
	if (!conn_)
		return "out of memory";
	// A library never prints: notices (e.g. "already exists, skipping") are dropped.
	PQsetNoticeProcessor(
		conn_, [](void *, const char *) {}, nullptr);
	if (PQstatus(conn_) != CONNECTION_OK) {
		std::string why = OneLine(PQerrorMessage(conn_));
		Close();
		return why;
	}
	return "";
}

std::string Database::Reconnect()
{
	if (!conn_)
		return Connect(target_);
	PQreset(conn_);
	return PQstatus(conn_) == CONNECTION_OK ? "" : OneLine(PQerrorMessage(conn_));
}

bool Database::Connected() const
{
	return conn_ && PQstatus(conn_) == CONNECTION_OK;
}

std::string Database::PrepareSchema(bool create)
{
	if (!Connected())
		return "not connected";
	// One station at a time: eight starting together must not race to create the table.
	Result begin = Exec(conn_, "BEGIN; SELECT pg_advisory_xact_lock(3131003)");
	if (!Ok(begin))
		return Why(conn_, begin);
	std::string why;
	Result found = Exec(conn_, "SELECT to_regclass('velmora_schema') IS NOT NULL, "
				   "to_regclass('velmora_records') IS NOT NULL");
	if (!Ok(found)) {
		why = Why(conn_, found);
	} else if (PQgetvalue(found.get(), 0, 0)[0] == 't') {
		Result version = Exec(conn_, "SELECT max(version) FROM velmora_schema");
		if (!Ok(version))
			why = Why(conn_, version);
		else if (PQgetisnull(version.get(), 0, 0) ||
			 std::stoi(PQgetvalue(version.get(), 0, 0)) != kSchemaVersion)
			why = "its records table has schema version " +
			      std::string(PQgetisnull(version.get(), 0, 0)
						  ? "(none)"
						  : PQgetvalue(version.get(), 0, 0)) +
			      "; this program writes and reads version " + std::to_string(kSchemaVersion);
		else if (PQgetvalue(found.get(), 0, 1)[0] != 't')
			why = "it has a schema version but no table velmora_records";
	} else if (!create) {
		why = "it holds no records (no table velmora_records)";
	} else {
		Result made = Exec(conn_, kCreateSchema);
		if (!Ok(made))
			why = "cannot create the records table: " + Why(conn_, made);
	}
	Result end = Exec(conn_, why.empty() ? "COMMIT" : "ROLLBACK");
	if (why.empty() && !Ok(end))
		why = Why(conn_, end);
	return why;
}

Insertion Database::Insert(const std::string &recordJson, std::string &why)
{
	if (!Connected()) {
		why = conn_ ? OneLine(PQerrorMessage(conn_)) : "not connected";
		return Insertion::Transient;
	}
	const char *params[] = { recordJson.c_str() };
	Result result(PQexecParams(conn_, kInsert, 1, nullptr, params, nullptr, nullptr, 0), PQclear);
	if (Ok(result))
		return std::string(PQcmdTuples(result.get())) == "1" ? Insertion::Inserted
								     : Insertion::Duplicate;
	why = Why(conn_, result);
	const char *state = result ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr;
	// Class 22 (data exception) and 23 (integrity): this record, sent again, fails again.
	if (Connected() && state && (std::string(state, 2) == "22" || std::string(state, 2) == "23"))
		return Insertion::Rejected;
	return Insertion::Transient;
}

std::optional<std::int64_t> Database::LastSequence(const std::string &station, std::string &why)
{
	const char *params[] = { station.c_str() };
	Result result(PQexecParams(conn_, "SELECT max(sequence) FROM velmora_records WHERE station = $1", 1,
				   nullptr, params, nullptr, nullptr, 0),
		      PQclear);
	if (!Ok(result)) {
		why = Why(conn_, result);
		return std::nullopt;
	}
	if (PQgetisnull(result.get(), 0, 0))
		return std::nullopt;
	return std::stoll(PQgetvalue(result.get(), 0, 0));
}

} // namespace plant
