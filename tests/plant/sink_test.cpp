// The station's side of the database: Open() before any camera, one row
// per record, the spool while the server is away, many stations at once.
#include "PgSink.h"
#include "SendJournals.h"
#include "plant_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct SpoolFolder {
	std::string path;
	SpoolFolder()
	{
		char name[] = "/tmp/velmora-spool-XXXXXX";
		path = mkdtemp(name);
	}
	~SpoolFolder() { fs::remove_all(path); }
};

// Deadlines and pauses of a tenth of what a station uses: the same paths, quicker.
plant::SinkOptions Quick(const std::string &folder)
{
	plant::SinkOptions options;
	options.folder = folder;
	options.deadlines = { 500, 500 };
	options.firstRetryMs = 20;
	options.maxRetryMs = 200;
	return options;
}

struct Opened {
	std::unique_ptr<plant::PgSink> sink;
	std::string why;
	std::vector<std::string> notices;
	plant::Refusal refusal = plant::Refusal::None;
};

Opened Open(const std::string &target, const std::string &station, const plant::SinkOptions &options)
{
	Opened o;
	o.sink = std::make_unique<plant::PgSink>(target, station, options);
	o.why = o.sink->Open(o.notices, o.refusal);
	return o;
}

// A database of a table's case of its own, its tables made by a first session.
std::string CaseDatabase(const std::string &base, std::ptrdiff_t index, const std::string &spool)
{
	std::string db = base + std::to_string(index);
	EXPECT_EQ(Server().CreateDatabase(db), "");
	EXPECT_EQ(Open(Server().Conninfo(db), "line-1", Quick(spool)).why, "");
	return db;
}

// Records of station, sequences first to last.
std::vector<plant::Record> Numbered(const std::string &station, int first, int last)
{
	std::vector<plant::Record> records;
	for (int i = first; i <= last; i++) {
		records.push_back(MakeRecord(station, nullptr, "2026-12-07T08:00:00Z", "verified"));
		records.back().sequence = i;
	}
	return records;
}

std::string Sequences(const std::string &conninfo, const std::string &station)
{
	// In the order the rows were made.
	return Query(conninfo, "SELECT string_agg(sequence::text, ',' ORDER BY ctid) FROM velmora_records "
			       "WHERE station = '" +
				       station + "'");
}

std::string Count(const std::string &conninfo)
{
	return Query(conninfo,
		     "SELECT count(*) || ' rows, ' || count(DISTINCT id) || ' ids' FROM velmora_records");
}

TEST(Sink, RowHoldsEveryFieldTyped)
{
	std::string db = NewDatabase();
	SpoolFolder spool;
	Opened o = Open(Server().Url(db), "line-2", Quick(spool.path));
	ASSERT_EQ(o.why, "");
	plant::Record r = MakeRecord("line-2", "SN-0042", "2026-12-07T13:48:45Z", "mismatch");
	r.operatorName = "Ines";
	r.sequence = 17;
	r.camera = 3;
	r.adapter = "CP2112";
	r.adapterStatus = -3;
	r.adapterStatusName = "QXIIC_ERR_NACK";
	r.fileSize = 2048;
	r.pages = { 0, 1, 2, 3 };
	r.failurePage = 2;
	r.failureBlock = 5;
	r.failureByte = 80;
	r.failureDirection = "read";
	r.firstDifference = plant::Difference{ 2, 80, 0x12, 0x34 };
	r.message = "page 2 byte 80: 0x12, expected 0x34";
	r.durationMs = 812.5;
	EXPECT_EQ(o.sink->Store(r).how, plant::Stored::Kept);
	EXPECT_EQ(o.sink->Store(r).how, plant::Stored::Kept); // sent again: kept once
	EXPECT_EQ(o.sink->Finish(10000), 0);

	std::string conninfo = Server().Conninfo(db);
	EXPECT_EQ(
		Query(conninfo,
		      "SELECT concat_ws('|', id, time AT TIME ZONE 'UTC', version, station, operator, unit, "
		      "sequence, host, command, camera, bus, bus_found, adapter, adapter_status, "
		      "adapter_status_name, file, sha256, file_size, pages, result, exit_status, failure_page, "
		      "failure_block, failure_byte, failure_direction, message, duration_ms, "
		      "pg_typeof(pages), pg_typeof(time), record->'first_difference'->>'found') "
		      "FROM velmora_records"),
		r.id + "|2026-12-07 13:48:45|5.4|line-2|Ines|SN-0042|17|line-2|program|3|sim:0|sim:0|CP2112|-3|"
		       "QXIIC_ERR_NACK|/srv/golden/kl310-a.qmx|aa11|2048|{0,1,2,3}|mismatch|5|2|5|80|read|"
		       "page 2 byte 80: 0x12, expected 0x34|812.5|integer[]|timestamp with time zone|18");
	EXPECT_EQ(
		Query(conninfo, "SELECT record = '" + plant::RecordLine(r) + "'::jsonb FROM velmora_records"),
		"t");
	EXPECT_EQ(Count(conninfo), "1 rows, 1 ids");
	EXPECT_FALSE(fs::exists(o.sink->JournalPath()));

	// The station numbers on from its own records only.
	EXPECT_EQ(Open(Server().Url(db), "line-9", Quick(spool.path)).sink->LastSequence(), std::nullopt);
}

// What is no outage is refused before any camera, and with the reason.
TEST(Sink, TableThatCannotTakeTheRecordsRefusesTheRun)
{
	const struct {
		const char *sql; // as the owner, after the table is made
		bool asStation;  // then the station's own role, granted SELECT and INSERT
		const char *why;
	} cases[] = {
		{ "UPDATE velmora_schema SET version = 5", false,
		  "its records table has schema version 5; this program writes and reads version 4" },
		{ "REVOKE INSERT ON velmora_records FROM station_r", true,
		  "the role station_r may not add records: GRANT INSERT ON velmora_records TO station_r" },
		{ "REVOKE SELECT ON velmora_schema FROM station_r", true,
		  "the role station_r may not read the schema version: GRANT SELECT ON velmora_schema TO "
		  "station_r" },
		{ "ALTER DATABASE @ SET default_transaction_read_only = on", false,
		  "the session is read-only (a standby, or default_transaction_read_only): records cannot be "
		  "added" },
		{ "ALTER TABLE velmora_records ADD COLUMN line text NOT NULL", false,
		  "the table does not take a record as this program writes it: null value in column "
		  "\"line\" of relation \"velmora_records\" violates not-null constraint" },
		{ "ALTER TABLE velmora_records DROP COLUMN bus_found", false,
		  "the table does not take a record as this program writes it: column \"bus_found\" of "
		  "relation \"velmora_records\" does not exist" },
	};
	std::string base = NewDatabase();
	for (const auto &c : cases) {
		SpoolFolder spool;
		std::string db = CaseDatabase(base, &c - cases, spool.path), owner = Server().Conninfo(db);
		Query(owner,
		      "DO $$ BEGIN CREATE ROLE station_r LOGIN; EXCEPTION WHEN duplicate_object THEN "
		      "NULL; END $$; GRANT SELECT, INSERT ON velmora_records, velmora_schema TO station_r; "
		      "SELECT 1");
		std::string sql = c.sql;
		if (size_t at = sql.find('@'); at != std::string::npos)
			sql.replace(at, 1, db);
		Query(owner, sql + "; SELECT 1");
		Opened o = Open(c.asStation ? owner + " user=station_r" : owner, "line-1", Quick(spool.path));
		std::string role = c.asStation ? "station_r" : "velmora";
		EXPECT_TRUE(o.why.starts_with("database " + db + " on " + Server().Folder() + " as " + role +
					      ": " + c.why))
			<< o.why;
		EXPECT_EQ(Query(owner, "SELECT count(*) FROM velmora_records"), "0") << c.sql;
	}
}

// As the README sets a plant up: the owner makes the table, stations add and read.
TEST(Sink, StationRoleThatMayOnlyInsertAndSelect)
{
	std::string db = NewDatabase(), owner = Server().Conninfo(db);
	SpoolFolder spool;
	std::string station = owner + " user=station_" + db;
	Query(owner, "CREATE ROLE station_" + db + " LOGIN; SELECT 1");
	Opened first = Open(station, "line-1", Quick(spool.path));
	EXPECT_NE(first.why.find("cannot create the records table"), std::string::npos) << first.why;
	first.sink.reset();
	ASSERT_EQ(Open(owner, "line-0", Quick(spool.path)).why, "");
	Query(owner, "GRANT SELECT, INSERT ON velmora_records TO station_" + db +
			     "; GRANT SELECT ON velmora_schema TO station_" + db + "; SELECT 1");
	Opened o = Open(station, "line-1", Quick(spool.path));
	ASSERT_EQ(o.why, "");
	plant::Record r = MakeRecord("line-1", "SN-1", "2026-12-07T08:00:00Z", "verified");
	o.sink->Store(r);
	o.sink->Store(r); // a repeat needs no UPDATE privilege
	EXPECT_EQ(o.sink->Finish(10000), 0);
	EXPECT_EQ(Count(owner), "1 rows, 1 ids");
}

// The server's processes stopped (a network that drops everything): the
// station goes on, every record stays in its journal, and after the
// server resumes each reaches the table once, in order.
TEST(Sink, StationGoesOnWhileTheServerHangs)
{
	std::string db = NewDatabase(), conninfo = Server().Conninfo(db);
	SpoolFolder spool;
	std::vector<plant::Record> records = Numbered("line-1", 1, 6);
	Opened o = Open(Server().Url(db), "line-1", Quick(spool.path));
	ASSERT_EQ(o.why, "");
	o.sink->Store(records[0]);
	ASSERT_EQ(o.sink->Finish(10000), 0);
	o.sink.reset(); // the session ends; the next takes the station's name
	Opened s = Open(Server().Url(db), "line-1", Quick(spool.path));
	ASSERT_EQ(s.why, "");
	EXPECT_EQ(s.sink->LastSequence(), 1);
	ASSERT_EQ(Server().Pause(), "");
	for (int i = 1; i < 6; i++)
		EXPECT_EQ(s.sink->Store(records[i]).how, plant::Stored::Kept);
	// Ctrl+C now: the session ends, naming what waits.
	EXPECT_EQ(s.sink->Finish(100), 5);
	std::vector<std::string> notices = s.sink->TakeNotices();
	ASSERT_EQ(notices.size(), 1u);
	EXPECT_TRUE(notices[0].starts_with("database " + db + " on " + Server().Folder() +
					   " as velmora cannot be reached: "))
		<< notices[0];
	EXPECT_TRUE(notices[0].ends_with("; records are kept in " + s.sink->JournalPath())) << notices[0];
	ASSERT_EQ(Server().Resume(), "");
	s.sink.reset();
	Opened next = Open(Server().Url(db), "line-1", Quick(spool.path));
	ASSERT_EQ(next.why, "");
	EXPECT_EQ(next.sink->LastSequence(), 6); // the journal's
	next.sink->Store(Numbered("line-1", 7, 7)[0]);
	EXPECT_EQ(next.sink->Finish(10000), 0);
	EXPECT_EQ(Sequences(conninfo, "line-1"), "1,2,3,4,5,6,7");
	EXPECT_EQ(Count(conninfo), "7 rows, 7 ids");
}

// Two stations through one outage: each is told of its own records.
TEST(Sink, EachStationToldOfItsOwnRecords)
{
	std::string db = NewDatabase(), conninfo = Server().Conninfo(db);
	SpoolFolder spool;
	Opened a = Open(Server().Url(db), "line-a", Quick(spool.path));
	Opened b = Open(Server().Url(db), "line-b", Quick(spool.path));
	ASSERT_EQ(a.why + b.why, "");
	ASSERT_EQ(Server().Stop(), "");
	for (const plant::Record &r : Numbered("line-a", 1, 3))
		a.sink->Store(r);
	for (const plant::Record &r : Numbered("line-b", 1, 2))
		b.sink->Store(r);
	ASSERT_EQ(Server().Start(), "");
	EXPECT_EQ(a.sink->Finish(10000), 0);
	EXPECT_EQ(b.sink->Finish(10000), 0);
	std::string where = "database " + db + " on " + Server().Folder() + " as velmora";
	const struct {
		Opened &station;
		const char *sent;
	} cases[] = { { a, "3 records sent to " }, { b, "2 records sent to " } };
	for (const auto &c : cases) {
		std::vector<std::string> notices = c.station.sink->TakeNotices();
		ASSERT_EQ(notices.size(), 2u);
		EXPECT_TRUE(notices[0].starts_with(where + " cannot be reached: ")) << notices[0];
		EXPECT_EQ(notices[1], c.sent + where);
	}
	EXPECT_EQ(Sequences(conninfo, "line-a"), "1,2,3");
	EXPECT_EQ(Sequences(conninfo, "line-b"), "1,2");
}

// send-records TARGET also sends what an older version left in its spool.
TEST(Sink, SendRecordsTakesAnOlderVersionsSpool)
{
	std::string db = NewDatabase(), conninfo = Server().Conninfo(db);
	SpoolFolder spool;
	std::string target = Server().Url(db);
	{
		std::ofstream old(plant::LegacySpoolPathFor(spool.path, target));
		old << plant::RecordLine(Numbered("line-a", 4, 4)[0])
		    << plant::RecordLine(Numbered("line-b", 9, 9)[0]);
	}
	std::string why, table;
	std::vector<plant::JournalSent> sent = plant::SendJournals(spool.path, target, why, &table);
	EXPECT_EQ(why, "");
	EXPECT_EQ(table, "the records table was created (schema version 4)");
	ASSERT_EQ(sent.size(), 1u);
	EXPECT_EQ(sent[0].station, "");
	EXPECT_EQ(sent[0].sent, 2);
	EXPECT_EQ(sent[0].left, 0);
	EXPECT_EQ(Query(conninfo, "SELECT string_agg(station || ' ' || sequence, ', ' ORDER BY ctid) FROM "
				  "velmora_records"),
		  "line-a 4, line-b 9");
	EXPECT_FALSE(fs::exists(plant::LegacySpoolPathFor(spool.path, target)));
	// Again, or on a table of version 2: said either way.
	EXPECT_EQ(plant::SendJournals(spool.path, target, why, &table).size(), 0u);
	EXPECT_EQ(table, "the records table is at schema version 4");
	Query(conninfo, "UPDATE velmora_schema SET version = 2");
	plant::SendJournals(spool.path, target, why, &table);
	EXPECT_EQ(why, "");
	EXPECT_EQ(table, "the records table was brought from schema version 2 to 4");
}

// A shift that starts with the database away: the journal takes the
// records, unless the database is required.
TEST(Sink, StartWithTheDatabaseAway)
{
	SpoolFolder spool;
	std::string away = "postgresql://velmora@/plant?host=" + spool.path;
	plant::SinkOptions required = Quick(spool.path);
	required.requireDatabase = true;
	Opened refused = Open(away, "line-1", required);
	EXPECT_TRUE(refused.why.starts_with("database plant on " + spool.path + " as velmora: "))
		<< refused.why;
	refused.sink.reset();

	Opened o = Open(away, "line-1", Quick(spool.path));
	ASSERT_EQ(o.why, "");
	ASSERT_EQ(o.notices.size(), 1u);
	EXPECT_TRUE(o.notices[0].ends_with("; records are kept in " + o.sink->JournalPath())) << o.notices[0];
	EXPECT_EQ(o.sink->Store(Numbered("line-1", 1, 1)[0]).how, plant::Stored::Kept);
	EXPECT_EQ(o.sink->Finish(0), 1);
	EXPECT_TRUE(o.sink->TakeNotices().empty()); // said once, at the start
}

// Away at the start, back before any record: its return is said all the same.
TEST(Sink, ADatabaseBackWithNothingToSendIsSaid)
{
	std::string db = NewDatabase();
	SpoolFolder spool;
	ASSERT_EQ(Server().Stop(), "");
	Opened o = Open(Server().Url(db), "line-1", Quick(spool.path));
	ASSERT_EQ(Server().Start(), "");
	ASSERT_EQ(o.why, "");
	EXPECT_EQ(o.sink->Finish(10000), 0);
	EXPECT_EQ(o.sink->TakeNotices(),
		  std::vector<std::string>{ "database " + db + " on " + Server().Folder() +
					    " as velmora can be reached again" });
}

// One name, one session: on this host the lock file, on the server the
// advisory lock (a station of the same name on another host).
TEST(Sink, TheSameStationNameTwiceIsRefused)
{
	std::string db = NewDatabase();
	SpoolFolder here, elsewhere;
	Opened first = Open(Server().Url(db), "line-1", Quick(here.path));
	ASSERT_EQ(first.why, "");
	std::string me = plant::SessionName();
	const struct {
		std::string folder;
		std::string why;
	} cases[] = {
		{ here.path, "station line-1 is in use by " + me + "; give each session its own --station" },
		{ elsewhere.path, "database " + db + " on " + Server().Folder() +
					  " as velmora: station line-1 is in use by another session (" + me +
					  "); give each session its own --station" },
	};
	for (const auto &c : cases) {
		Opened second = Open(Server().Url(db), "line-1", Quick(c.folder));
		EXPECT_EQ(second.why, c.why);
		EXPECT_EQ(second.refusal, plant::Refusal::InUse);
	}
	EXPECT_EQ(Open(Server().Url(db), "line-2", Quick(here.path)).why, "");
}

// A table of version 1 is brought to 2 (and on to 4) by its owner, unless a station's
// sequence number is there twice.
TEST(Sink, VersionOneBroughtToTwo)
{
	const struct {
		const char *rows;
		const char *why;
	} cases[] = {
		{ "('line-1', 1), ('line-1', 2), ('line-2', 1)", "" },
		{ "('line-1', 1), ('line-1', 1), ('line-2', 3), ('line-2', 3)",
		  ": its records table (schema version 1) holds these station and sequence numbers more than "
		  "once: line-1 1, line-2 3; it is brought to version 2 once they are told apart" },
	};
	std::string base = NewDatabase();
	for (const auto &c : cases) {
		SpoolFolder spool;
		std::string db = CaseDatabase(base, &c - cases, spool.path), conninfo = Server().Conninfo(db);
		Query(conninfo,
		      std::string(
			      "ALTER TABLE velmora_records DROP CONSTRAINT "
			      "velmora_records_station_sequence; UPDATE velmora_schema SET version = 1; "
			      "INSERT INTO velmora_records (id, time, station, command, pages, result, "
			      "exit_status, record, sequence) SELECT gen_random_uuid(), now(), s, 'program', "
			      "'{}', 'verified', 0, '{}', n FROM (VALUES ") +
			      c.rows + ") AS v(s, n); SELECT 1");
		Opened o = Open(conninfo, "line-3", Quick(spool.path));
		EXPECT_EQ(o.why,
			  *c.why ? "database " + db + " on " + Server().Folder() + " as velmora" + c.why
				 : "");
		EXPECT_EQ(Query(conninfo, "SELECT version FROM velmora_schema"), *c.why ? "1" : "4");
		EXPECT_EQ(Query(conninfo, "SELECT count(*) FROM pg_constraint WHERE conname = "
					  "'velmora_records_station_sequence'"),
			  *c.why ? "0" : "1");
	}
}

// A schema change that fails is rolled back: the session that tried holds
// no lock, so the next station's check answers instead of waiting.
TEST(Sink, AFailedSchemaChangeIsRolledBack)
{
	std::string db = NewDatabase(), conninfo = Server().Conninfo(db);
	plant::Database first, second;
	ASSERT_EQ(first.Connect(conninfo), "");
	ASSERT_EQ(first.PrepareSchema(true), "");
	Query(conninfo,
	      "ALTER TABLE velmora_records DROP CONSTRAINT velmora_records_station_sequence; "
	      "UPDATE velmora_schema SET version = 1; INSERT INTO velmora_records (id, time, station, "
	      "command, pages, result, exit_status, record, sequence) SELECT gen_random_uuid(), now(), "
	      "'line-1', 'program', '{}', 'verified', 0, '{}', 5 FROM generate_series(1, 2); SELECT 1");
	std::string twice = "its records table (schema version 1) holds these station and sequence numbers "
			    "more than once: line-1 5; it is brought to version 2 once they are told apart";
	EXPECT_EQ(first.PrepareSchema(true), twice);
	second.SetDeadlines({ 500, 500 });
	ASSERT_EQ(second.Connect(conninfo), "");
	EXPECT_EQ(second.PrepareSchema(true), twice);
}

// A record sent again (the station stopped between the commit and the
// journal's update) is found there, not refused.
TEST(Sink, ARecordSentAgainIsKeptOnce)
{
	std::string db = NewDatabase(), conninfo = Server().Conninfo(db);
	plant::Database station;
	ASSERT_EQ(station.Connect(conninfo), "");
	ASSERT_EQ(station.PrepareSchema(true), "");
	std::string json = plant::RecordLine(Numbered("line-1", 1, 1)[0]);
	std::string why;
	EXPECT_EQ(station.Insert(json, why), plant::Insertion::Inserted) << why;
	EXPECT_EQ(station.Insert(json, why), plant::Insertion::Duplicate) << why;
	EXPECT_EQ(Count(conninfo), "1 rows, 1 ids");
}

// A record the server refuses is set aside at once, and the next go on.
TEST(Sink, ARefusedRecordIsSetAside)
{
	std::string db = NewDatabase(), conninfo = Server().Conninfo(db);
	SpoolFolder spool;
	Opened o = Open(Server().Url(db), "line-1", Quick(spool.path));
	ASSERT_EQ(o.why, "");
	std::vector<plant::Record> records = Numbered("line-1", 1, 4);
	records[1].unit = "";
	for (unsigned i = 0, x = 1; i < 10000; i++) { // too long for the index, even compressed
		x = x * 1103515245u + 12345u;
		records[1].unit->push_back(static_cast<char>('!' + (x >> 16) % 90));
	}
	records[2].id = plant::NewRecordId(); // its sequence taken again: class 23
	records[2].sequence = 1;
	for (const plant::Record &r : records)
		o.sink->Store(r);
	EXPECT_EQ(o.sink->Finish(10000), 0);
	EXPECT_EQ(Sequences(conninfo, "line-1"), "1,4");
	std::string why;
	plant::Spool journal(o.sink->JournalPath());
	std::vector<std::string> aside = plant::Spool(journal.RejectedPath()).Lines(why);
	ASSERT_EQ(aside.size(), 2u);
	EXPECT_EQ(aside[0],
		  plant::RecordLine(records[1]).substr(0, plant::RecordLine(records[1]).size() - 1));
	std::vector<std::string> notices = o.sink->TakeNotices();
	ASSERT_EQ(notices.size(), 2u);
	EXPECT_NE(notices[0].find("index row requires"), std::string::npos) << notices[0];
	EXPECT_NE(notices[1].find("velmora_records_station_sequence"), std::string::npos) << notices[1];
	EXPECT_TRUE(notices[1].ends_with(" is set aside in " + journal.RejectedPath())) << notices[1];
}

// What the server answers about a record: passing, the table's, or the record's own.
TEST(Sink, PassingFailures)
{
	const struct {
		const char *sqlstate;
		bool passing;
		bool table;
	} cases[] = {
		{ "", true, false },       // no answer at all
		{ "08006", true, false },  // connection failure
		{ "57P01", true, false },  // the server shuts down
		{ "57014", true, false },  // statement_timeout
		{ "53300", true, false },  // too many connections
		{ "40001", true, false },  // serialization failure
		{ "40P01", true, false },  // deadlock
		{ "23505", false, false }, // unique violation
		{ "23502", false, false }, // not-null violation
		{ "22001", false, false }, // value too long
		{ "54000", false, false }, // index row too large
		{ "42501", false, true },  // no privilege
		{ "42703", false, true },  // no such column
		{ "42P01", false, true },  // no such table
		{ "25006", false, true },  // read-only transaction
	};
	for (const auto &c : cases) {
		EXPECT_EQ(plant::PassingFailure(c.sqlstate), c.passing) << c.sqlstate;
		EXPECT_EQ(plant::TableFailure(c.sqlstate), c.table) << c.sqlstate;
	}
}

// A server that answers no is no outage: the run ends before any camera.
TEST(Sink, AServerThatAnswersNoRefusesTheRun)
{
	SpoolFolder spool;
	const std::string host = Server().Folder();
	const struct {
		std::string target;
		std::string why;
	} cases[] = {
		{ "postgresql://velmora@/nosuchdb?host=" + host,
		  "database nosuchdb on " + host + " as velmora: connection to server on socket \"" + host +
			  "/.s.PGSQL.5432\" failed: database \"nosuchdb\" does not exist" },
		{ "postgresql://nobody_here@/postgres?host=" + host,
		  "database postgres on " + host + " as nobody_here: connection to server on socket \"" +
			  host + "/.s.PGSQL.5432\" failed: role \"nobody_here\" does not exist" },
		{ "postgresql://velmora@/postgres?host=" + host + "&sslmode=bogus",
		  "database postgres on " + host + " as velmora: invalid sslmode value: \"bogus\"" },
	};
	for (const auto &c : cases) {
		Opened o = Open(c.target, "line-1", Quick(spool.path));
		EXPECT_EQ(o.why, c.why);
		EXPECT_EQ(o.refusal, plant::Refusal::Other);
	}
}

// A table that refuses every record (renamed, a column renamed) keeps the
// records in the journal and says so once; they go, in order, once it is
// put right. Nothing is set aside.
TEST(Sink, ARefusedTableKeepsTheRecords)
{
	const struct {
		const char *breaks;
		const char *mends;
	} cases[] = {
		{ "ALTER TABLE velmora_records RENAME TO velmora_old",
		  "ALTER TABLE velmora_old RENAME TO velmora_records" },
		{ "ALTER TABLE velmora_records RENAME COLUMN unit TO serial",
		  "ALTER TABLE velmora_records RENAME COLUMN serial TO unit" },
	};
	std::string base = NewDatabase();
	for (const auto &c : cases) {
		SpoolFolder spool;
		std::string db = CaseDatabase(base, &c - cases, spool.path), conninfo = Server().Conninfo(db);
		Opened o = Open(conninfo, "line-1", Quick(spool.path));
		ASSERT_EQ(o.why, "");
		std::vector<plant::Record> records = Numbered("line-1", 1, 3);
		o.sink->Store(records[0]);
		ASSERT_EQ(o.sink->Finish(10000), 0);
		o.sink.reset();
		o = Open(conninfo, "line-1", Quick(spool.path));
		ASSERT_EQ(o.why, "");
		Query(conninfo, std::string(c.breaks) + "; SELECT 1");
		o.sink->Store(records[1]);
		o.sink->Store(records[2]);
		EXPECT_EQ(o.sink->Finish(300), 2) << c.breaks;
		std::vector<std::string> notices = o.sink->TakeNotices();
		ASSERT_EQ(notices.size(), 1u) << c.breaks;
		EXPECT_TRUE(notices[0].starts_with("ATTENTION: database " + db + " on " + Server().Folder() +
						   " as velmora refuses this station's records ("))
			<< notices[0];
		Query(conninfo, std::string(c.mends) + "; SELECT 1");
		o.sink.reset();
		o = Open(conninfo, "line-1", Quick(spool.path));
		ASSERT_EQ(o.why, "");
		EXPECT_EQ(o.sink->Finish(10000), 0);
		EXPECT_EQ(Sequences(conninfo, "line-1"), "1,2,3");
		EXPECT_FALSE(fs::exists(plant::Spool(o.sink->JournalPath()).RejectedPath()));
	}
}

// The station numbers on from the higher of its journal's last number and
// the database's.
TEST(Sink, NumberingGoesOnFromTheHigherLast)
{
	const struct {
		int journal;
		int database;
		int last;
	} cases[] = { { 3, 7, 7 }, { 9, 4, 9 } };
	std::string base = NewDatabase();
	for (const auto &c : cases) {
		SpoolFolder spool;
		std::string db = CaseDatabase(base, &c - cases, spool.path), conninfo = Server().Conninfo(db);
		Query(conninfo, "INSERT INTO velmora_records (id, time, station, command, pages, result, "
				"exit_status, record, sequence) VALUES (gen_random_uuid(), now(), 'line-1', "
				"'program', '{}', 'verified', 0, '{}', " +
					std::to_string(c.database) + "); SELECT 1");
		std::ofstream(plant::JournalPathFor(spool.path, conninfo, "line-1") + ".last")
			<< "{\"sequence\":" << c.journal << "}\n";
		EXPECT_EQ(Open(conninfo, "line-1", Quick(spool.path)).sink->LastSequence(), c.last);
	}
}

// The journal never blocks: what is not a regular file, the journal or its
// lock, is refused, before the database away is said.
TEST(Sink, JournalThatIsNoFileIsRefused)
{
	SpoolFolder spool;
	std::string journal = plant::JournalPathFor(spool.path, "postgresql://velmora@/plant?host=/nowhere",
						    "line-1");
	const struct {
		std::string path;
		int (*make)(const char *);
		const char *what;
	} cases[] = {
		{ journal, [](const char *p) { return mkfifo(p, 0600); }, "FIFO" },
		{ journal, [](const char *p) { return mkdir(p, 0700); }, "folder" },
		{ journal + ".lock", [](const char *p) { return mkfifo(p, 0600); }, "FIFO lock" },
		{ journal + ".lock", [](const char *p) { return mkdir(p, 0700); }, "folder lock" },
	};
	for (const auto &c : cases) {
		fs::remove(c.path); // a lock file the last session left
		ASSERT_EQ(c.make(c.path.c_str()), 0) << c.what;
		Opened o = Open("postgresql://velmora@/plant?host=/nowhere", "line-1", Quick(spool.path));
		EXPECT_EQ(o.why.substr(0, o.why.find(c.path)), "the station's journal cannot be used: ")
			<< c.what;
		EXPECT_TRUE(o.notices.empty()) << c.what;
		fs::remove(c.path);
	}
}

// A journal on a disk without room for a record is refused before any
// camera, and found so before the next one.
TEST(Sink, JournalOnAFullDiskIsRefused)
{
	SpoolFolder spool;
	if (mount("tmpfs", spool.path.c_str(), "tmpfs", 0, "size=2m") != 0)
		GTEST_SKIP() << "no tmpfs can be mounted here: " << std::strerror(errno);
	std::string target = "postgresql://velmora@/plant?host=/nowhere";
	Opened o = Open(target, "line-1", Quick(spool.path));
	EXPECT_EQ(o.why, "");
	EXPECT_EQ(o.sink->Ready(), "");
	{
		std::ofstream filler(spool.path + "/filler");
		filler << std::string(1536 * 1024, 'x');
	}
	// 2 MiB less the filler, the station's lock and the target's page each.
	std::string full = "the station's journal cannot be used: " +
			   plant::JournalPathFor(spool.path, target, "line-1") +
			   ": its disk is full (504 KiB free, a record needs 1024 KiB)";
	EXPECT_EQ(o.sink->Ready(), full);
	o.sink.reset();
	EXPECT_EQ(Open(target, "line-1", Quick(spool.path)).why, full);
	umount2(spool.path.c_str(), MNT_DETACH);
}

// A passing failure of one record stops the round: the records after it
// must not overtake it. Appends go on meanwhile.
TEST(Spool, SendingLeavesAppendsFree)
{
	SpoolFolder folder;
	plant::Spool spool(folder.path + "/journal-test.jsonl");
	ASSERT_EQ(spool.Append("{\"sequence\":1}\n"), "");
	ASSERT_EQ(spool.Append("{\"sequence\":2}\n"), "");
	ASSERT_EQ(spool.Append("{\"sequence\":3}\n"), "");
	std::vector<std::string> sent;
	plant::Spool::Sent result = spool.Send([&](const std::string &json, std::string &why) {
		// A station appends while its journal is being sent.
		if (sent.empty()) {
			EXPECT_EQ(spool.Append("{\"sequence\":4}\n"), "");
		}
		sent.push_back(json);
		why = "server gone";
		return json == "{\"sequence\":2}" ? plant::Insertion::Transient : plant::Insertion::Inserted;
	});
	EXPECT_EQ(sent, (std::vector<std::string>{ "{\"sequence\":1}", "{\"sequence\":2}" }));
	EXPECT_EQ(result.inserted, 1);
	EXPECT_EQ(result.left, 2);
	EXPECT_EQ(result.error, "server gone");
	std::string why;
	EXPECT_EQ(spool.Lines(why),
		  (std::vector<std::string>{ "{\"sequence\":2}", "{\"sequence\":3}", "{\"sequence\":4}" }));

	// A piece of a line a full disk left: the next record still has a line of its own.
	std::ofstream(spool.Path(), std::ios::app) << "{\"n\":3,\"time";
	ASSERT_EQ(spool.Append("{\"n\":4}\n"), "");
	EXPECT_EQ(spool.Lines(why),
		  (std::vector<std::string>{ "{\"sequence\":2}", "{\"sequence\":3}", "{\"sequence\":4}",
					     "{\"n\":3,\"time", "{\"n\":4}" }));
	// Emptied, it still knows the last number it held.
	ASSERT_EQ(spool.Drop(spool.Lines(why)), "");
	EXPECT_FALSE(fs::exists(spool.Path()));
	EXPECT_EQ(spool.LastSequence(why), 4);
}

TEST(Sink, SpoolFolderMadePrivate)
{
	SpoolFolder home;
	setenv("XDG_STATE_HOME", (home.path + "/state").c_str(), 1);
	std::string why;
	EXPECT_EQ(plant::SpoolDirectory(why), home.path + "/state/velmora");
	for (const char *folder : { "/state", "/state/velmora" }) {
		struct stat st {
		};
		ASSERT_EQ(stat((home.path + folder).c_str(), &st), 0);
		EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
	}
	std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "/";
	setenv("XDG_STATE_HOME", "relative/state", 1); // ignored, as XDG says
	setenv("HOME", home.path.c_str(), 1);
	EXPECT_EQ(plant::SpoolDirectory(why), home.path + "/.local/state/velmora");
	unsetenv("XDG_STATE_HOME");
	setenv("HOME", oldHome.c_str(), 1);
}

TEST(Sink, EightStationsAtOnceLoseNoneAndDuplicateNone)
{
	std::string db = NewDatabase(), conninfo = Server().Conninfo(db);
	SpoolFolder spool;
	const int kStations = 8, kRecords = 40;
	std::vector<pid_t> children;
	for (int s = 1; s <= kStations; s++) {
		pid_t pid = fork();
		ASSERT_GE(pid, 0);
		if (pid == 0) {
			// A station of its own: Open(), then one record per camera.
			std::string station = "line-" + std::to_string(s);
			plant::SinkOptions options = Quick(spool.path);
			options.deadlines = { 5000, 5000 }; // eight at once wait on the table's creation
			Opened o = Open(Server().Url(db), station, options);
			if (!o.why.empty()) {
				fprintf(stderr, "%s\n", o.why.c_str());
				_exit(1);
			}
			for (const plant::Record &r : Numbered(station, 1, kRecords))
				if (o.sink->Store(r).how != plant::Stored::Kept)
					_exit(2);
			_exit(o.sink->Finish(30000) == 0 ? 0 : 3);
		}
		children.push_back(pid);
	}
	for (pid_t pid : children) {
		int status = 0;
		waitpid(pid, &status, 0);
		EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << WEXITSTATUS(status);
	}
	EXPECT_EQ(Count(conninfo), "320 rows, 320 ids");
	EXPECT_EQ(Query(conninfo,
			"SELECT count(*) FROM (SELECT station FROM velmora_records GROUP BY station "
			"HAVING min(sequence) = 1 AND max(sequence) = 40 AND "
			"count(DISTINCT sequence) = 40) AS whole"),
		  "8");
}

} // namespace

// libpq's messages, as it writes them, in the one line a notice shows.
TEST(Sink, LibpqMessagesInOneLine)
{
	const struct {
		const char *message;
		const char *line;
	} cases[] = {
		{ "server closed the connection unexpectedly\n\tThis probably means the server terminated "
		  "abnormally\n\tbefore or while processing the request.\n",
		  "server closed the connection unexpectedly; This probably means the server terminated "
		  "abnormally before or while processing the request" },
		{ "connection to server on socket \"/run/pg/.s.PGSQL.5432\" failed: No such file or "
		  "directory\n\tIs the server running locally and accepting connections on that socket?\n",
		  "connection to server on socket \"/run/pg/.s.PGSQL.5432\" failed: No such file or directory; "
		  "Is the server running locally and accepting connections on that socket?" },
		// The server's labels and libpq's double spaces go; the words stay.
		{ "ERROR:  permission denied for table velmora_records\nFATAL:  terminating connection\n",
		  "permission denied for table velmora_records; terminating connection" },
		{ "connection to server on socket \"/run/pg/.s.PGSQL.5432\" failed: FATAL:  database \"x\" does "
		  "not exist\n",
		  "connection to server on socket \"/run/pg/.s.PGSQL.5432\" failed: database \"x\" does not exist" },
		{ "ERROR:  duplicate key value violates unique constraint \"k\"\nDETAIL:  Key (id)=(1) already "
		  "exists.\n",
		  "duplicate key value violates unique constraint \"k\"; Key (id)=(1) already exists" },
		{ "", "no reason given" },
	};
	for (const auto &c : cases)
		EXPECT_EQ(plant::OneLine(c.message), c.line);
}
