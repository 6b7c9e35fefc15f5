// What an engineer asks of the records at the end of a shift: units
// programmed, passed and failed, first-pass yield per day and per station,
// every failure, and the golden files used. The same answer from a JSON
// Lines file (worked out here) and from the database (worked out by the
// server in SQL, so that only the tables travel).
//
// The rules, the same on both sides:
// - A unit is the record's "unit"; a record without one is a unit of its own.
// - Yield counts "program" records only, but for those of a refused
//   settings file (nothing was written to the camera). In a group (a day, a station, or
//   all), a unit is programmed when it has a program record there, passed
//   when the last of them there is "verified", failed otherwise. It passed
//   first time when it passed and the first program record of the unit of
//   all (in the records the filters keep) is in the group and "verified": a
//   unit that failed and later passed is passed, not first-pass; one that
//   passed and later failed is failed.
// - Order of a unit's records: time, then sequence (none last), then id.
// - Days are UTC days, as the records' times are.
// - A failure is any record whose exit status is not 0, in time order;
//   --failed keeps those, whatever their result word.
// - A day at a station counts as a group of its own, by the same rules.
// - Golden files: the files programmed (refused ones aside) and those a
//   verify found the camera holding, with a SHA-256, by SHA-256 and file
//   name, most used first; a verify that found a difference used no golden.
#pragma once

#include "Record.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace plant {

class Database;

struct Filter {
	std::optional<std::time_t> since{}; // time >= since
	std::optional<std::time_t> until{}; // time < until
	std::optional<std::string> station{};
	std::optional<std::string> unit{};
	std::optional<std::string> result{};
	bool failed = false; // every failure (exit status not 0), whatever its word
};

struct YieldRow {
	std::string key; // "2026-12-07", a station, or "total"
	int programmed = 0;
	int passed = 0;
	int failed = 0;
	int firstPass = 0;
	std::string station{}; // a day's row at one station: the station
	bool operator==(const YieldRow &) const = default;
};

struct FailureRow {
	std::string time; // "2026-12-07T13:48:45Z"
	std::string station;
	std::optional<std::string> unit{};
	std::optional<std::string> bus; // as found, else as given
	std::optional<int> page;        // of the failure, else of the first difference
	std::string result;
	std::optional<std::string> message;
	std::optional<int> adapterStatus{}; // the adapter's status of a bus failure
	std::string id{};                   // the record's
	std::optional<std::string> check{}; // the frame check's word: "colour", "frozen", ...
	bool operator==(const FailureRow &) const = default;
};

struct GoldenRow {
	std::string sha256;
	std::string file;
	int uses = 0;
	bool operator==(const GoldenRow &) const = default;
};

// A checked frame's thumbnail as the summary's page shows it.
struct Thumbnail {
	std::string id;
	std::string time; // "2026-12-07T13:48:45Z"
	std::string station;
	std::optional<std::string> unit{};
	std::string result;
	std::string check;     // the frame check's word: "passed", "colour", ...
	std::string pngBase64; // the PNG's bytes in base64; "" when unreadable
	// The comparison with the reference picture, where there was one.
	std::optional<double> structure{}, offsetX{}, offsetY{}, sharpness{};
	std::optional<std::string> orientation{};
	bool operator==(const Thumbnail &) const = default;
};

struct Summary {
	std::int64_t records = 0;                           // kept by the filters
	std::optional<std::time_t> firstTime{}, lastTime{}; // of those records
	YieldRow total{ "total" };
	std::vector<YieldRow> days;
	std::vector<YieldRow> stations;
	std::vector<YieldRow> dayStations; // by day, then station
	std::vector<FailureRow> failures;
	std::vector<GoldenRow> goldens;
	std::vector<Thumbnail> thumbnails{}; // filled by the caller (Thumbnails.h)
	bool operator==(const Summary &) const = default;
};

Summary Summarize(const std::vector<Record> &records, const Filter &filter);

// Whether a record is kept by filter.
bool KeptBy(const Record &record, const Filter &filter);
// The filter as SQL conditions on velmora_records ("TRUE AND ..."), its
// values appended to params as $1, $2...
std::string FilterSql(const Filter &filter, std::vector<std::string> &params);

// The same, asked of the database's table. Empty why, or why not.
Summary SummarizeDatabase(Database &db, const Filter &filter, std::string &why);

// The plan PostgreSQL makes for each statement SummarizeDatabase runs,
// as EXPLAIN ANALYZE gives it, statement after statement.
std::vector<std::string> ExplainSummary(Database &db, const Filter &filter, std::string &why);

} // namespace plant
