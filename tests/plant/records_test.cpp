// `records`: the same tables from a report file and from the database.
#include "Database.h"
#include "PgSink.h"
#include "RecordFile.h"
#include "Summary.h"
#include "SummaryFormat.h"
#include "ToolMain.h"
#include "plant_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using plant::FailureRow;
using plant::GoldenRow;
using plant::YieldRow;

// Two days, two stations: U2 fails then passes, U3 fails on one day and
// passes the next, U5 is interrupted then passes, one unit has no name,
// a verify and a dump count for no yield, U1 passes again the next day
// (first-pass on its first day only), U7 passes then fails (failed), U10's
// file is refused (no unit programmed, no golden file), U11's verify finds
// a difference (no golden file either).
// The id of FixedSet's record n.
std::string RowId(size_t n)
{
	char id[40];
	std::snprintf(id, sizeof(id), "00000000-0000-4000-8000-%012zu", n);
	return id;
}

std::vector<plant::Record> FixedSet()
{
	struct Row {
		const char *station, *unit, *time, *command, *result, *file;
		std::optional<int> page;
		const char *message;
	} rows[] = {
		{ "line-1", "U1", "2026-12-07T08:00:00Z", "program", "verified", "a", {}, nullptr },
		{ "line-1", "U2", "2026-12-07T08:01:00Z", "program", "mismatch", "a", 1,
		  "page 1 byte 9 differs" },
		{ "line-1", "U2", "2026-12-07T08:05:00Z", "program", "verified", "a", {}, nullptr },
		{ "line-1", "U3", "2026-12-07T08:10:00Z", "program", "bus-failure", "a", 4,
		  "no acknowledge" },
		{ "line-2", "U4", "2026-12-07T09:00:00Z", "program", "verified", "a", {}, nullptr },
		{ "line-2", "U5", "2026-12-07T09:02:00Z", "program", "interrupted", "a", {}, "stopped" },
		{ "line-2", "U6", "2026-12-07T09:03:00Z", "verify", "verified", "a", {}, nullptr },
		{ "line-1", "U3", "2026-12-08T07:00:00Z", "program", "verified", "a", {}, nullptr },
		{ "line-1", "U7", "2026-12-08T07:30:00Z", "program", "verified", "b", {}, nullptr },
		{ "line-2", "U5", "2026-12-08T08:00:00Z", "program", "verified", "b", {}, nullptr },
		{ "line-2", nullptr, "2026-12-08T08:10:00Z", "program", "verified", "a", {}, nullptr },
		{ "line-2", "U8", "2026-12-08T08:20:00Z", "dump", "read", "d", {}, nullptr },
		{ "line-2", "U9", "2026-12-08T09:00:00Z", "program", "frame-failed", "a", std::nullopt,
		  "frame: colour: red/green 1.41" },
		{ "line-2", "U1", "2026-12-08T10:00:00Z", "program", "verified", "a", {}, nullptr },
		{ "line-1", "U7", "2026-12-08T11:00:00Z", "program", "mismatch", "b", 3,
		  "page 3 byte 0 differs" },
		{ "line-2", "U10", "2026-12-08T12:00:00Z", "program", "refused", "c", std::nullopt,
		  "not a settings file" },
		{ "line-1", "U11", "2026-12-08T12:30:00Z", "verify", "mismatch", "c", 2,
		  "page 2 byte 0 differs" },
	};
	std::vector<plant::Record> records;
	for (const Row &row : rows) {
		plant::Record r = MakeRecord(row.station, row.unit, row.time, row.result);
		r.id = RowId(records.size());
		r.command = row.command;
		r.file = std::string("/srv/golden/") + row.file + ".qmx";
		r.sha256 = std::string(row.file) + row.file + "11";
		if (r.result == "interrupted")
			r.exitStatus = 130;
		if (r.result == "read")
			r.exitStatus = 0;
		if (r.result == "refused")
			r.exitStatus = 3;
		if (r.result == "frame-failed") {
			r.exitStatus = 7;
			r.frame.emplace();
			r.frame->check = "colour";
		}
		if (r.result == "bus-failure") {
			r.busFound = "sim:2";
			r.failurePage = row.page;
			r.adapterStatus = 14;
		} else if (row.page) {
			r.firstDifference = plant::Difference{ *row.page, 0, 1, 2 };
		}
		if (row.message)
			r.message = row.message;
		records.push_back(r);
	}
	return records;
}

plant::Summary Expected()
{
	plant::Summary s;
	s.records = 17;
	s.firstTime = 1796630400; // 2026-12-07T08:00:00Z
	s.lastTime = 1796733000;  // 2026-12-08T12:30:00Z
	s.total = { "total", 8, 6, 2, 3 };
	s.days = { { "2026-12-07", 5, 3, 2, 2 }, { "2026-12-08", 6, 4, 2, 1 } };
	s.stations = { { "line-1", 4, 3, 1, 1 }, { "line-2", 5, 4, 1, 2 } };
	s.dayStations = { { "2026-12-07", 3, 2, 1, 1, "line-1" },
			  { "2026-12-07", 2, 1, 1, 1, "line-2" },
			  { "2026-12-08", 2, 1, 1, 0, "line-1" },
			  { "2026-12-08", 4, 3, 1, 1, "line-2" } };
	s.failures = {
		{ "2026-12-07T08:01:00Z", "line-1", "U2", "sim:0", 1, "mismatch", "page 1 byte 9 differs",
		  std::nullopt, RowId(1) },
		{ "2026-12-07T08:10:00Z", "line-1", "U3", "sim:2", 4, "bus-failure", "no acknowledge", 14,
		  RowId(3) },
		{ "2026-12-07T09:02:00Z", "line-2", "U5", "sim:0", std::nullopt, "interrupted", "stopped",
		  std::nullopt, RowId(5) },
		{ "2026-12-08T09:00:00Z", "line-2", "U9", "sim:0", std::nullopt, "frame-failed",
		  "frame: colour: red/green 1.41", std::nullopt, RowId(12), "colour" },
		{ "2026-12-08T11:00:00Z", "line-1", "U7", "sim:0", 3, "mismatch", "page 3 byte 0 differs",
		  std::nullopt, RowId(14) },
		{ "2026-12-08T12:00:00Z", "line-2", "U10", "sim:0", std::nullopt, "refused",
		  "not a settings file", std::nullopt, RowId(15) },
		{ "2026-12-08T12:30:00Z", "line-1", "U11", "sim:0", 2, "mismatch", "page 2 byte 0 differs",
		  std::nullopt, RowId(16) },
	};
	s.goldens = { { "aa11", "/srv/golden/a.qmx", 11 }, { "bb11", "/srv/golden/b.qmx", 3 } };
	return s;
}

class Records : public testing::Test
{
protected:
	void SetUp() override
	{
		database_ = NewDatabase();
		plant::Database db;
		ASSERT_EQ(db.Connect(Server().Conninfo(database_)), "");
		ASSERT_EQ(db.PrepareSchema(true), "");
		std::ofstream file(file_);
		for (const plant::Record &r : FixedSet()) {
			std::string why;
			ASSERT_EQ(db.Insert(plant::RecordLine(r), why), plant::Insertion::Inserted) << why;
			file << plant::RecordLine(r);
		}
	}
	void TearDown() override { std::filesystem::remove(file_); }

	plant::Summary FromDatabase(const plant::Filter &filter)
	{
		plant::Database db;
		EXPECT_EQ(db.Connect(Server().Conninfo(database_)), "");
		std::string why;
		plant::Summary s = plant::SummarizeDatabase(db, filter, why);
		EXPECT_EQ(why, "");
		return s;
	}

	std::string database_;
	std::string file_ = testing::TempDir() + "records.jsonl";
};

TEST_F(Records, FileAndDatabaseGiveTheSameTables)
{
	EXPECT_EQ(plant::Summarize(FixedSet(), {}), Expected());
	EXPECT_EQ(FromDatabase({}), Expected());

	struct {
		const char *what;
		plant::Filter filter;
		YieldRow total;
		size_t days, failures;
	} filtered[] = {
		{ "line-2", { .station = "line-2" }, { "total", 5, 4, 1, 3 }, 2, 3 },
		// U1, U3 and U5 are first seen passing when the day before is left out.
		{ "since the 8th", { .since = 1796688000 }, { "total", 6, 4, 2, 4 }, 1, 4 },
		{ "until the 8th", { .until = 1796688000 }, { "total", 5, 3, 2, 2 }, 1, 3 },
		{ "U2", { .unit = "U2" }, { "total", 1, 1, 0, 0 }, 1, 1 },
		{ "mismatches", { .result = "mismatch" }, { "total", 2, 0, 2, 0 }, 2, 3 },
		// Every failure, a frame failure too; "failed" is only what no
		// other word names.
		{ "every failure", { .failed = true }, { "total", 5, 0, 5, 0 }, 2, 7 },
		{ "failed", { .result = "failed" }, { "total", 0, 0, 0, 0 }, 0, 0 },
	};
	for (const auto &f : filtered) {
		plant::Summary file = plant::Summarize(FixedSet(), f.filter);
		EXPECT_EQ(file.total, f.total) << f.what;
		EXPECT_EQ(file.days.size(), f.days) << f.what;
		EXPECT_EQ(file.failures.size(), f.failures) << f.what;
		EXPECT_EQ(FromDatabase(f.filter), file) << f.what;
	}
}

// A unit retested at a second station the same day passed first time only
// at the first: a day at a station is a group of its own.
TEST_F(Records, ADayAtEachStation)
{
	plant::Database db;
	ASSERT_EQ(db.Connect(Server().Conninfo(database_)), "");
	std::ofstream file(file_, std::ios::app);
	for (const char *station : { "line-1", "line-2" }) {
		plant::Record r = MakeRecord(
			station, "U12", station[5] == '1' ? "2026-12-08T13:00:00Z" : "2026-12-08T13:30:00Z",
			"verified");
		std::string why;
		ASSERT_EQ(db.Insert(plant::RecordLine(r), why), plant::Insertion::Inserted) << why;
		file << plant::RecordLine(r);
	}
	file.close();
	const std::vector<YieldRow> expected{ { "2026-12-08", 1, 1, 0, 1, "line-1" },
					      { "2026-12-08", 1, 1, 0, 0, "line-2" } };
	std::vector<std::string> skipped;
	std::string why;
	EXPECT_EQ(plant::Summarize(plant::ReadRecordFile(file_, skipped, why), { .unit = "U12" }).dayStations,
		  expected);
	EXPECT_EQ(FromDatabase({ .unit = "U12" }).dayStations, expected);
}

// The records command of velmora-eeprom, on the plant's data.
int RunRecords(std::vector<std::string> args, std::ostream &out, std::ostream &err)
{
	std::istringstream in;
	args.insert(args.begin(), "records");
	tool::ToolEnvironment env{ in, out, err, false, false, tool::ToolClock::Real() };
	return eeprom_cli::RunTool(args, env);
}

TEST_F(Records, CommandAnswersAlikeFromFileAndUrl)
{
	std::ostringstream fromFile, fromDb, err;
	EXPECT_EQ(RunRecords({ file_, "--json", "--station", "line-1" }, fromFile, err), 0);
	EXPECT_EQ(RunRecords({ Server().Url(database_), "--station=line-1", "--json" }, fromDb, err), 0);
	EXPECT_EQ(fromFile.str(), fromDb.str());
	EXPECT_NE(fromFile.str().find(
			  "\"total\": {\n    \"programmed\": 4,\n    \"passed\": 3,\n    \"failed\": 1,\n"
			  "    \"first_pass\": 1,\n    \"first_pass_yield\": 0.25\n  }"),
		  std::string::npos)
		<< fromFile.str();
	EXPECT_EQ(err.str(), "");
	std::ostringstream failures;
	EXPECT_EQ(RunRecords({ file_, "--failed", "--json" }, failures, err), 0);
	EXPECT_NE(failures.str().find("\"records\": 7,"), std::string::npos) << failures.str();

	struct {
		std::vector<std::string> args;
		int status;
		const char *says;
	} refused[] = {
		{ { file_, "--result", "passed" }, 2, "no result \"passed\"" },
		{ { file_, "--since", "07.12.2026" }, 2, "is not a UTC day or time" },
		{ { file_, "--html" }, 2, "--html needs a file" },
		{ { file_, "--bus", "sim" }, 2, "--bus does not go with records" },
		{ { file_, file_ }, 2, "records takes one SOURCE only" },
		{ { "/nonexistent/r.jsonl" }, 3, "/nonexistent/r.jsonl: No such file or directory" },
		{ { "postgresql://velmora:pw@/x" }, 2, "~/.pgpass" },
		{ { Server().Url("no_such_db") }, 3, " as velmora cannot be reached: connection to server" },
		{ { Server().Url("no_such_db") }, 3, "failed: database \"no_such_db\" does not exist\n" },
		{ { file_, "--station", "line-\xff" }, 2, "--station is not UTF-8 text (byte 6)" },
		{ { file_, "--unit", "\xc0\xaf" }, 2, "--unit is not UTF-8 text (byte 1)" },
	};
	for (const auto &r : refused) {
		std::ostringstream out, why;
		EXPECT_EQ(RunRecords(r.args, out, why), r.status) << r.says;
		EXPECT_NE(why.str().find(r.says), std::string::npos) << why.str();
	}
}

// A day is a UTC day: --until takes the whole day and not the next
// midnight, a server in another zone groups the same days, and a day of a
// year before 1000 has four digits in a file's summary as in the server's
// (and sorts first).
TEST_F(Records, DaysAreUtcDays)
{
	std::string url = Server().Url(database_), why;
	for (const char *time : { "2026-12-08T00:00:00Z", "0999-12-31T23:00:00Z" }) {
		plant::Record r = MakeRecord("line-1", time[0] == '2' ? "U12" : "U13", time, "verified");
		std::ofstream(file_, std::ios::app) << plant::RecordLine(r);
		plant::Database db;
		ASSERT_EQ(db.Connect(Server().Conninfo(database_)), "");
		ASSERT_EQ(db.Insert(plant::RecordLine(r), why), plant::Insertion::Inserted) << why;
	}
	Query(Server().Conninfo(database_),
	      "ALTER DATABASE " + database_ + " SET TimeZone = 'America/Los_Angeles'; SELECT 1");
	const struct {
		std::vector<std::string> args;
		const char *records;
	} cases[] = {
		{ { "--until", "2026-12-07" }, "\"records\": 8," },
		{ { "--until", "2026-12-07T23:59:59Z" }, "\"records\": 8," },
		{ { "--until", "2026-12-08T00:00:01Z" }, "\"records\": 9," },
		{ { "--since", "2026-12-08" }, "\"records\": 11," },
	};
	for (const auto &c : cases) {
		for (const std::string &source : { file_, url }) {
			std::vector<std::string> args{ source, "--json" };
			args.insert(args.end(), c.args.begin(), c.args.end());
			std::ostringstream out, err;
			EXPECT_EQ(RunRecords(args, out, err), 0) << err.str();
			EXPECT_NE(out.str().find(c.records), std::string::npos) << source << " " << c.args[1];
		}
	}
	// 2026-12-08T07:00Z is the 7th in Los Angeles, still the 8th here.
	const std::vector<YieldRow> days{ { "0999-12-31", 1, 1, 0, 1 },
					  { "2026-12-07", 5, 3, 2, 2 },
					  { "2026-12-08", 7, 5, 2, 2 } };
	plant::Summary fromDb = FromDatabase({});
	EXPECT_EQ(fromDb.days, days);
	EXPECT_EQ(fromDb.failures, Expected().failures);
	std::vector<std::string> skipped;
	plant::Summary fromFile = plant::Summarize(plant::ReadRecordFile(file_, skipped, why), {});
	EXPECT_EQ(fromFile.days, days);
}

TEST_F(Records, TextTables)
{
	std::ostringstream out, err;
	ASSERT_EQ(RunRecords({ file_, "--until", "2026-12-07" }, out, err), 0);
	EXPECT_EQ(out.str(), file_ + R"(: 7 records
Period: 2026-12-07T08:00:00Z until 2026-12-08T00:00:00Z (not included)

Yield per day, in units
  day         programmed  passed  failed  first pass  first-pass yield
  2026-12-07           5       3       2           2            40.0 %
  total                5       3       2           2            40.0 %

Yield per station, in units
  station  programmed  passed  failed  first pass  first-pass yield
  line-1            3       2       1           1            33.3 %
  line-2            2       1       1           1            50.0 %
  total             5       3       2           2            40.0 %

Counted in units: a unit counts once in each row, passed when its last
programming there passed, first pass when its very first programming passed.

Yield per day and station, in units
  day         station  programmed  passed  failed  first pass  first-pass yield
  2026-12-07  line-1            3       2       1           1            33.3 %
  2026-12-07  line-2            2       1       1           1            50.0 %

Failed runs: 3
Counted in runs, not units: each retry of a unit that fails counts again.

Failed runs by cause
  runs  cause
     1  stopped by Ctrl+C or SIGTERM
     1  the camera did not acknowledge
     1  the camera holds other bytes than the file

  time                  station  unit  bus    page  result       cause                                       detail
  2026-12-07T08:01:00Z  line-1   U2    sim:0     1  mismatch     the camera holds other bytes than the file  page 1 byte 9 differs
  2026-12-07T08:10:00Z  line-1   U3    sim:2     4  bus-failure  the camera did not acknowledge              no acknowledge
  2026-12-07T09:02:00Z  line-2   U5    sim:0     -  interrupted  stopped by Ctrl+C or SIGTERM                stopped

Golden files: 1
  uses  sha256  file
     7  aa11    /srv/golden/a.qmx
)");
}

TEST_F(Records, HtmlPageParsedBack)
{
	std::string page = testing::TempDir() + "records.html";
	// A station's name is text in the page, never markup: a failed dump
	// (no yield, no golden file) at a station named like a script.
	plant::Record hostile = MakeRecord("<script>'&\"", "U12", "2026-12-09T06:00:00Z", "bus-failure");
	hostile.command = "dump";
	{
		plant::Database db;
		std::string why;
		ASSERT_EQ(db.Connect(Server().Conninfo(database_)), "");
		ASSERT_EQ(db.Insert(plant::RecordLine(hostile), why), plant::Insertion::Inserted) << why;
	}
	std::ostringstream out, err;
	std::time_t before = std::time(nullptr);
	ASSERT_EQ(RunRecords({ Server().Url(database_), "--html", page }, out, err), 0) << err.str();
	std::time_t after = std::time(nullptr);
	std::ifstream in(page);
	std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
	std::filesystem::remove(page);

	// Nothing fetched: no URL, no outside script, style or image.
	for (const char *outside : { "http:", "https:", "src=", "href=", "<link", "<script", "@import" })
		EXPECT_EQ(html.find(outside), std::string::npos) << outside;
	// The text between each open and close of a tag, in order, within [from, to).
	auto between = [&](size_t from, size_t to, const std::string &open, const std::string &close) {
		std::vector<std::pair<size_t, size_t>> spans;
		for (size_t at = html.find(open, from); at < to; at = html.find(open, at)) {
			size_t start = html.find('>', at) + 1, end = html.find(close, start);
			spans.emplace_back(start, std::min(end, to));
			at = end;
		}
		return spans;
	};
	auto table = [&](const std::string &id) {
		size_t from = html.find("<table id=\"" + id + "\">"), to = html.find("</table>", from);
		std::vector<std::vector<std::string>> rows;
		for (auto [start, end] : between(from, to, "<tr", "</tr>")) {
			rows.emplace_back();
			for (auto [cellStart, cellEnd] : between(start, end, "<t", "</t"))
				rows.back().push_back(html.substr(cellStart, cellEnd - cellStart));
		}
		return rows;
	};
	using Rows = std::vector<std::vector<std::string>>;
	EXPECT_EQ(table("days"),
		  (Rows{ { "day", "programmed", "passed", "failed", "first pass", "first&#8209;pass yield" },
			 { "2026-12-07", "5", "3", "2", "2", "40.0 %" },
			 { "2026-12-08", "6", "4", "2", "1", "16.7 %" },
			 { "total", "8", "6", "2", "3", "37.5 %" } }));
	EXPECT_EQ(table("stations")[2], (std::vector<std::string>{ "line-2", "5", "4", "1", "2", "40.0 %" }));
	EXPECT_EQ(table("failures").size(), 9u);
	EXPECT_EQ(table("failures")[2],
		  (std::vector<std::string>{ "2026-12-07T08:10:00Z", "line-1", "U3", "sim:2", "4",
					     "bus-failure", "the camera did not acknowledge",
					     "no acknowledge", "-" }));
	EXPECT_EQ(table("causes"), (Rows{ { "runs", "cause" },
					  { "3", "the camera holds other bytes than the file" },
					  { "1", "a bus transfer failed" },
					  { "1", "stopped by Ctrl+C or SIGTERM" },
					  { "1", "the camera did not acknowledge" },
					  { "1", "the picture failed its check: colour" },
					  { "1", "the settings file was refused; nothing was written" } }));
	// First-pass yield of each day at each station, beside the chart.
	EXPECT_EQ(table("day-stations"), (Rows{ { "day", "line-1", "line-2" },
						{ "2026-12-07", "33.3 %<br><span class=\"units\">1/3</span>",
						  "50.0 %<br><span class=\"units\">1/2</span>" },
						{ "2026-12-08", "0.0 %<br><span class=\"units\">0/2</span>",
						  "25.0 %<br><span class=\"units\">1/4</span>" } }));
	EXPECT_EQ(table("failures")[8][1], "&lt;script&gt;&#39;&amp;&quot;");
	EXPECT_EQ(html.find("<script"), std::string::npos);
	// What the page covers, and when it was made.
	auto span = [&](const std::string &id) {
		size_t start = html.find("<span id=\"" + id + "\">") + id.size() + 12;
		return html.substr(start, html.find("</span>", start) - start);
	};
	EXPECT_EQ(span("period"),
		  "Period: <time>2026-12-07T08:00:00Z</time> to <time>2026-12-09T06:00:00Z</time>");
	EXPECT_EQ(span("records"), "18 records");
	std::string made = span("made");
	ASSERT_EQ(made.substr(0, 11), "Made <time>");
	std::optional<std::time_t> madeAt = plant::ParseIsoUtc(made.substr(11, 20));
	ASSERT_TRUE(madeAt) << made;
	EXPECT_GE(*madeAt, before);
	EXPECT_LE(*madeAt, after);
	// A page says what made it, so that a later run may replace it.
	EXPECT_NE(html.find(plant::kPageMark), std::string::npos);
	EXPECT_EQ(table("golden-files")[2], (std::vector<std::string>{ "3", "bb11", "/srv/golden/b.qmx" }));
	// One bar per day, its height the day's first-pass yield.
	auto attribute = [&](size_t at, const std::string &name) {
		size_t start = html.find(" " + name + "=\"", at) + name.size() + 3;
		return html.substr(start, html.find('"', start) - start);
	};
	std::vector<std::string> bars;
	for (size_t at = html.find("<rect "); at != std::string::npos; at = html.find("<rect ", at + 1))
		bars.push_back(attribute(at, "data-day") + " " + attribute(at, "data-yield") + " " +
			       attribute(at, "height"));
	EXPECT_EQ(bars, (std::vector<std::string>{ "2026-12-07 0.400 64", "2026-12-08 0.167 27" }));
	// Each bar carries its value.
	std::vector<std::string> values;
	for (auto [start, end] : between(0, html.size(), "<text class=\"value\"", "</text>"))
		values.push_back(html.substr(start, end - start));
	EXPECT_EQ(values, (std::vector<std::string>{ "40.0 %", "16.7 %" }));
}

// Each failure's picture on its own row, found by the record's id, and a
// failure without one says so; the picture of a pass is not on the rows.
TEST(RecordsPage, EachFailureHasItsPictureOnItsRow)
{
	plant::Summary s;
	s.failures = { { "2026-12-07T08:00:00Z", "line-1", "U1", "sim:0", std::nullopt, "frame-failed",
			 "frame: frozen", std::nullopt, "id-1", "frozen" },
		       { "2026-12-07T08:05:00Z", "line-1", "U2", "sim:0", 1, "mismatch", "page 1",
			 std::nullopt, "id-2" } };
	s.thumbnails = { { "id-0", "2026-12-07T07:00:00Z", "line-1", "U0", "verified", "passed", "UEFTUw==" },
			 { "id-1", "2026-12-07T08:00:00Z", "line-1", "U1", "frame-failed", "frozen",
			   "RlJPWg==" } };
	std::string html = plant::SummaryHtml(s, { "r.jsonl", {}, {}, 0, "" });
	auto row = [&](const std::string &id) {
		size_t at = html.find("<tr data-record=\"" + id + "\">");
		return at == std::string::npos ? std::string() : html.substr(at, html.find("</tr>", at) - at);
	};
	EXPECT_NE(row("id-1").find(
			  "<td class=\"picture\" data-label=\"picture\"><img alt=\"picture of "
			  "2026-12-07T08:00:00Z line-1 unit U1\" src=\"data:image/png;base64,RlJPWg==\">"),
		  std::string::npos)
		<< row("id-1");
	EXPECT_NE(row("id-1").find(">the picture failed its check: frozen</td>"), std::string::npos);
	EXPECT_NE(row("id-2").find("<td class=\"picture none\" data-label=\"picture\">-</td>"),
		  std::string::npos)
		<< row("id-2");
	EXPECT_EQ(row("id-0"), "");
}

} // namespace

// Reading changes nothing: no table is made, a version 1 table stays as it
// is, and a role that may only select reads.
TEST(RecordsOnly, ReadingNeverChangesTheSchema)
{
	std::string base = NewDatabase();
	std::string empty = base + "_empty", old = base + "_old";
	ASSERT_EQ(Server().CreateDatabase(empty), "");
	ASSERT_EQ(Server().CreateDatabase(old), "");
	{
		plant::Database db;
		ASSERT_EQ(db.Connect(Server().Conninfo(old)), "");
		ASSERT_EQ(db.PrepareSchema(true), "");
	}
	Query(Server().Conninfo(old),
	      "ALTER TABLE velmora_records DROP CONSTRAINT velmora_records_station_sequence; UPDATE velmora_schema "
	      "SET version = 1; DO $$ BEGIN CREATE ROLE reader LOGIN; EXCEPTION WHEN duplicate_object THEN NULL; "
	      "END $$; GRANT SELECT ON velmora_records, velmora_schema TO reader; SELECT 1");
	const struct {
		std::string target;
		int status;
		std::string says;
	} cases[] = {
		{ Server().Url(empty), 6,
		  "velmora-eeprom: no records table in database " + empty + " on " + Server().Folder() +
			  " as velmora\n" },
		{ Server().Conninfo(old), 0, "" },
		{ Server().Conninfo(old) + " user=reader", 0, "" },
	};
	for (const auto &c : cases) {
		std::ostringstream out, err;
		EXPECT_EQ(RunRecords({ c.target }, out, err), c.status) << c.target;
		EXPECT_EQ(err.str(), c.says);
	}
	EXPECT_EQ(Query(Server().Conninfo(empty), "SELECT to_regclass('velmora_records') IS NULL"), "t");
	EXPECT_EQ(Query(Server().Conninfo(old), "SELECT version FROM velmora_schema"), "1");
}
