#include "Summary.h"

#include "Database.h"

#include <libpq-fe.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <tuple>

namespace plant {

namespace {

// time, then sequence with none last, then id: a unit's records in order.
bool Before(const Record *a, const Record *b)
{
	if (a->time != b->time)
		return a->time < b->time;
	if (a->sequence.has_value() != b->sequence.has_value())
		return a->sequence.has_value();
	if (a->sequence && *a->sequence != *b->sequence)
		return *a->sequence < *b->sequence;
	return a->id < b->id;
}

bool Kept(const Record &r, const Filter &f)
{
	return (!f.since || r.time >= *f.since) && (!f.until || r.time < *f.until) &&
	       (!f.station || r.station == *f.station) && (!f.unit || r.unit == *f.unit) &&
	       (!f.result || r.result == *f.result) && (!f.failed || r.exitStatus != 0);
}

// Whether a record counts for yield, and for the golden files.
bool Programmed(const Record &r)
{
	return r.command == "program" && r.result != "refused";
}

bool UsedGolden(const Record &r)
{
	return r.sha256 && (Programmed(r) || (r.command == "verify" && r.result == "verified"));
}

std::string Day(const Record &r)
{
	return IsoUtc(r.time).substr(0, 10);
}

template <typename Key>
std::vector<YieldRow> Yield(const std::vector<const Record *> &programs,
			    const std::map<std::string, const Record *> &first, Key key)
{
	// group -> unit -> last program record there
	std::map<std::string, std::map<std::string, const Record *>> last;
	for (const Record *r : programs)
		last[key(*r)][r->unit.value_or(r->id)] = r; // in order: the last one stays
	std::vector<YieldRow> rows;
	for (const auto &[group, units] : last) {
		YieldRow row{ group };
		for (const auto &[unit, r] : units) {
			row.programmed++;
			bool passed = r->result == "verified";
			row.passed += passed;
			const Record *f = first.at(unit);
			row.firstPass += passed && key(*f) == group && f->result == "verified";
		}
		row.failed = row.programmed - row.passed;
		rows.push_back(row);
	}
	return rows;
}

// The filters as SQL conditions on velmora_records, and their values.
std::string Where(const Filter &f, std::vector<std::string> &params)
{
	std::string where = "TRUE";
	auto add = [&](const char *condition, const std::string &value) {
		params.push_back(value);
		where += std::string(" AND ") + condition + " $" + std::to_string(params.size());
	};
	if (f.since)
		add("time >=", IsoUtc(*f.since));
	if (f.until)
		add("time <", IsoUtc(*f.until));
	if (f.station)
		add("station =", *f.station);
	if (f.unit)
		add("unit =", *f.unit);
	if (f.result)
		add("result =", *f.result);
	if (f.failed)
		where += " AND exit_status <> 0";
	return where;
}

struct Statements {
	std::string yield, failures, goldens;
	std::vector<std::string> params;
};

Statements Build(const Filter &filter)
{
	Statements s;
	std::string where = Where(filter, s.params);
	// Window functions over each unit's program records in order (w), and
	// over a unit's records at one station (s), flag the first and last of
	// a unit in a day, at a station and of all; then one pass counts the
	// flags per day, per station and for all (kind 1, 2, 3: GROUPING's
	// bits of day and station; 0: a day at a station). A unit's records of
	// one day are adjacent in its order, a station's need not be: hence the
	// windows of a unit at a station (s) and at a station on a day (ds).
	s.yield = R"sql(
SELECT kind, key,
	CASE kind WHEN 0 THEN ds_units WHEN 1 THEN day_units WHEN 2 THEN station_units ELSE units END,
	CASE kind WHEN 0 THEN ds_passed WHEN 1 THEN day_passed WHEN 2 THEN station_passed ELSE passed END,
	CASE kind WHEN 0 THEN ds_first WHEN 1 THEN day_first WHEN 2 THEN station_first ELSE first END,
	at_station
FROM (
	SELECT GROUPING(day, station) AS kind,
		COALESCE(to_char(day, 'YYYY-MM-DD'), station, 'total') AS key,
		CASE GROUPING(day, station) WHEN 0 THEN station END AS at_station,
		count(*) FILTER (WHERE first_in_ds) AS ds_units,
		count(*) FILTER (WHERE ok AND last_in_ds) AS ds_passed,
		count(*) FILTER (WHERE ok AND last_in_ds AND unit_first_ok AND unit_first_day = day
			AND unit_first_station = station) AS ds_first,
		count(*) FILTER (WHERE first_in_day) AS day_units,
		count(*) FILTER (WHERE ok AND last_in_day) AS day_passed,
		count(*) FILTER (WHERE ok AND last_in_day AND unit_first_ok AND unit_first_day = day)
			AS day_first,
		count(*) FILTER (WHERE first_in_station) AS station_units,
		count(*) FILTER (WHERE ok AND last_in_station) AS station_passed,
		count(*) FILTER (WHERE ok AND last_in_station AND unit_first_ok
			AND unit_first_station = station) AS station_first,
		count(*) FILTER (WHERE n = 1) AS units,
		count(*) FILTER (WHERE ok AND last) AS passed,
		count(*) FILTER (WHERE ok AND last AND unit_first_ok) AS first
	FROM (
		SELECT *, lag(time) OVER s IS NULL AS first_in_station,
			lead(time) OVER s IS NULL AS last_in_station,
			lag(time) OVER ds IS NULL AS first_in_ds,
			lead(time) OVER ds IS NULL AS last_in_ds
		FROM (
			SELECT u, day, station, ok, time, sequence, id, row_number() OVER w AS n,
				lag(day) OVER w IS DISTINCT FROM day AS first_in_day,
				lead(day) OVER w IS DISTINCT FROM day AS last_in_day,
				lead(day) OVER w IS NULL AS last,
				first_value(day) OVER w AS unit_first_day,
				first_value(station) OVER w AS unit_first_station,
				first_value(ok) OVER w AS unit_first_ok
			FROM (
				SELECT COALESCE(unit, id::text) AS u, (time AT TIME ZONE 'UTC')::date AS day,
					station, result = 'verified' AS ok, time, sequence, id
				FROM velmora_records WHERE command = 'program' AND result <> 'refused' AND )sql" +
		  where + R"sql(
			) AS programs
			WINDOW w AS (PARTITION BY u ORDER BY time, sequence NULLS LAST, id)
		) AS by_unit
		WINDOW s AS (PARTITION BY u, station ORDER BY time, sequence NULLS LAST, id),
			ds AS (PARTITION BY u, station, day ORDER BY time, sequence NULLS LAST, id)
	) AS flagged
	GROUP BY GROUPING SETS ((day, station), (day), (station), ())
) AS counted
ORDER BY kind, key COLLATE "C", at_station COLLATE "C"
)sql";
	s.failures = R"sql(
SELECT to_char(time AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'), station, unit,
	COALESCE(bus_found, bus), COALESCE(failure_page, (record->'first_difference'->>'page')::integer),
	result, message, adapter_status, id::text, record->'frame'->>'check'
FROM velmora_records WHERE exit_status <> 0 AND )sql" +
		     where + R"sql(
ORDER BY time, sequence NULLS LAST, id
)sql";
	// The number of records and their first and last time come with the
	// golden files: one scan for all.
	s.goldens = R"sql(
SELECT sha256, COALESCE(file, '') AS name,
	count(*) FILTER (WHERE sha256 IS NOT NULL AND ((command = 'program' AND result <> 'refused')
		OR (command = 'verify' AND result = 'verified'))) AS uses,
	count(*) AS records,
	floor(extract(epoch FROM min(time)))::bigint, floor(extract(epoch FROM max(time)))::bigint
FROM velmora_records WHERE )sql" +
		    where + R"sql(
GROUP BY sha256, name ORDER BY uses DESC, sha256 COLLATE "C", COALESCE(file, '') COLLATE "C"
)sql";
	return s;
}

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

Result Run(PGconn *conn, const std::string &sql, const std::vector<std::string> &params, std::string &why)
{
	std::vector<const char *> values;
	for (const std::string &p : params)
		values.push_back(p.c_str());
	Result result(PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
				   nullptr, nullptr, 0),
		      PQclear);
	if (!result || PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
		why = OneLine(result ? PQresultErrorMessage(result.get()) : PQerrorMessage(conn));
		return Result(nullptr, PQclear);
	}
	return result;
}

std::optional<std::string> Text(PGresult *r, int row, int column)
{
	if (PQgetisnull(r, row, column))
		return std::nullopt;
	return std::string(PQgetvalue(r, row, column));
}

int Number(PGresult *r, int row, int column)
{
	return PQgetisnull(r, row, column) ? 0 : std::stoi(PQgetvalue(r, row, column));
}

} // namespace

bool KeptBy(const Record &record, const Filter &filter)
{
	return Kept(record, filter);
}

std::string FilterSql(const Filter &filter, std::vector<std::string> &params)
{
	return Where(filter, params);
}

Summary Summarize(const std::vector<Record> &records, const Filter &filter)
{
	Summary s;
	std::vector<const Record *> kept;
	for (const Record &r : records)
		if (Kept(r, filter))
			kept.push_back(&r);
	std::stable_sort(kept.begin(), kept.end(), Before);
	s.records = static_cast<std::int64_t>(kept.size());

	std::vector<const Record *> programs;
	std::map<std::string, const Record *> first; // unit -> its first program record
	std::map<std::pair<std::string, std::string>, int> goldens;
	for (const Record *r : kept) {
		if (!s.firstTime)
			s.firstTime = r->time;
		s.lastTime = r->time;
		if (Programmed(*r)) {
			programs.push_back(r);
			first.emplace(r->unit.value_or(r->id), r);
		}
		if (r->exitStatus != 0)
			s.failures.push_back(
				{ IsoUtc(r->time), r->station, r->unit, r->busFound ? r->busFound : r->bus,
				  r->failurePage
					  ? r->failurePage
					  : (r->firstDifference ? std::optional<int>(r->firstDifference->page)
								: std::nullopt),
				  r->result, r->message, r->adapterStatus, r->id,
				  r->frame ? std::optional<std::string>(r->frame->check) : std::nullopt });
		if (UsedGolden(*r))
			goldens[{ *r->sha256, r->file.value_or("") }]++;
	}
	s.days = Yield(programs, first, Day);
	s.stations = Yield(programs, first, [](const Record &r) { return r.station; });
	// A NUL parts day and station (a day holds none), and sorts the
	// rows by day, then station, as the server's "C" order does.
	s.dayStations = Yield(programs, first,
			      [](const Record &r) { return Day(r) + std::string(1, '\0') + r.station; });
	for (YieldRow &row : s.dayStations) {
		size_t cut = row.key.find('\0');
		row.station = row.key.substr(cut + 1);
		row.key.resize(cut);
	}
	std::vector<YieldRow> total = Yield(programs, first,
					    [](const Record &) { return std::string("total"); });
	if (!total.empty())
		s.total = total.front();
	for (const auto &[key, uses] : goldens)
		s.goldens.push_back({ key.first, key.second, uses });
	std::stable_sort(s.goldens.begin(), s.goldens.end(),
			 [](const GoldenRow &a, const GoldenRow &b) { return a.uses > b.uses; });
	return s;
}

// The server's three tables into s.
static void ReadRows(PGresult *yield, PGresult *failures, PGresult *goldens, Summary &s)
{
	for (int i = 0; i < PQntuples(yield); i++) {
		YieldRow row{ PQgetvalue(yield, i, 1), Number(yield, i, 2), Number(yield, i, 3), 0,
			      Number(yield, i, 4) };
		row.failed = row.programmed - row.passed;
		switch (Number(yield, i, 0)) {
		case 0:
			row.station = PQgetvalue(yield, i, 5);
			s.dayStations.push_back(row);
			break;
		case 1:
			s.days.push_back(row);
			break;
		case 2:
			s.stations.push_back(row);
			break;
		default:
			s.total = row;
		}
	}
	for (int i = 0; i < PQntuples(failures); i++) {
		PGresult *r = failures;
		std::optional<std::string> page = Text(r, i, 4);
		s.failures.push_back(
			{ PQgetvalue(r, i, 0), PQgetvalue(r, i, 1), Text(r, i, 2), Text(r, i, 3),
			  page ? std::optional<int>(std::stoi(*page)) : std::nullopt, PQgetvalue(r, i, 5),
			  Text(r, i, 6),
			  PQgetisnull(r, i, 7) ? std::nullopt : std::optional<int>(Number(r, i, 7)),
			  PQgetvalue(r, i, 8), Text(r, i, 9) });
	}
	for (int i = 0; i < PQntuples(goldens); i++) {
		s.records += std::stoll(PQgetvalue(goldens, i, 3));
		std::time_t first = std::stoll(PQgetvalue(goldens, i, 4)),
			    last = std::stoll(PQgetvalue(goldens, i, 5));
		s.firstTime = s.firstTime ? std::min(*s.firstTime, first) : first;
		s.lastTime = s.lastTime ? std::max(*s.lastTime, last) : last;
		if (Number(goldens, i, 2) > 0)
			s.goldens.push_back({ PQgetvalue(goldens, i, 0), PQgetvalue(goldens, i, 1),
					      Number(goldens, i, 2) });
	}
}

Summary SummarizeDatabase(Database &db, const Filter &filter, std::string &why)
{
	Summary s;
	PGconn *conn = db.Handle();
	if (!db.Connected()) {
		why = "not connected";
		return s;
	}
	Statements st = Build(filter);
	// One snapshot: the tables agree with each other while stations insert.
	// Sorts of a whole table's records stay in memory rather than going to disk.
	Result begin(
		PQexec(conn, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY; SET LOCAL work_mem = '64MB'"),
		PQclear);
	if (!begin || PQresultStatus(begin.get()) != PGRES_COMMAND_OK) {
		why = OneLine(begin ? PQresultErrorMessage(begin.get()) : PQerrorMessage(conn));
		PQclear(PQexec(conn, "ROLLBACK"));
		return s;
	}
	Result yield = Run(conn, st.yield, st.params, why);
	Result failures = yield ? Run(conn, st.failures, st.params, why) : Result(nullptr, PQclear);
	Result goldens = failures ? Run(conn, st.goldens, st.params, why) : Result(nullptr, PQclear);
	Result end(PQexec(conn, goldens ? "COMMIT" : "ROLLBACK"), PQclear);
	if (goldens && (!end || PQresultStatus(end.get()) != PGRES_COMMAND_OK ||
			std::string(PQcmdStatus(end.get())) != "COMMIT")) {
		why = OneLine(end ? PQresultErrorMessage(end.get()) : PQerrorMessage(conn));
		return s;
	}
	if (goldens)
		ReadRows(yield.get(), failures.get(), goldens.get(), s);
	return s;
}

std::vector<std::string> ExplainSummary(Database &db, const Filter &filter, std::string &why)
{
	std::vector<std::string> plans;
	Statements st = Build(filter);
	PQclear(PQexec(db.Handle(), "SET work_mem = '64MB'"));
	for (const std::string *sql : { &st.yield, &st.failures, &st.goldens }) {
		Result plan = Run(db.Handle(), "EXPLAIN (ANALYZE, COSTS OFF) " + *sql, st.params, why);
		if (!plan)
			return plans;
		std::string text;
		for (int i = 0; i < PQntuples(plan.get()); i++)
			text += std::string(PQgetvalue(plan.get(), i, 0)) + "\n";
		plans.push_back(text);
	}
	return plans;
}

} // namespace plant
