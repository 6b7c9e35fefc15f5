// `records` over 100 000 records: from the database (aggregated by the
// server) and from a JSON Lines file (read and aggregated here); and what
// one record costs a station with --report to the database. It starts its
// own PostgreSQL server. ./build/bench/records_bench [--explain]
#include "Database.h"
#include "PgSink.h"
#include "RecordFile.h"
#include "ScratchPostgres.h"
#include "Summary.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>

namespace {

constexpr int kRecords = 100000;
constexpr std::time_t kFirstDay = 1796601600; // 2026-12-07

ScratchPostgres *server = nullptr;
std::string database = "records_bench";
std::string file = "/tmp/velmora-records-bench.jsonl";
std::string spool;

// 50 stations over 30 days; one unit in 20 fails first and is programmed
// again, as a plant's records look.
std::vector<plant::Record> MakeRecords()
{
	std::mt19937 random(1);
	std::vector<plant::Record> records;
	int unit = 0;
	std::vector<std::int64_t> sequences(50); // each station's own
	while (static_cast<int>(records.size()) < kRecords) {
		plant::Record r;
		r.id = plant::NewRecordId();
		r.time = kFirstDay + static_cast<std::time_t>(records.size()) * 30 * 86400 / kRecords;
		r.version = "5.4";
		r.station = "line-" + std::to_string(unit % 50);
		r.host = r.station;
		r.sequence = ++sequences[static_cast<size_t>(unit % 50)];
		r.command = "program";
		r.unit = "SN-" + std::to_string(100000 + unit);
		r.bus = r.busFound = "/dev/i2c-" + std::to_string(unit % 8);
		r.file = "/srv/golden/kl310-" + std::to_string(unit % 3) + ".qmx";
		r.sha256 = std::string(64, static_cast<char>('a' + unit % 3));
		r.fileSize = 2048;
		r.pages = { 0, 1, 2, 3, 4, 5, 6, 7 };
		r.durationMs = 812.5;
		bool fails = random() % 20 == 0;
		r.result = fails ? "mismatch" : "verified";
		r.exitStatus = fails ? 5 : 0;
		if (fails) {
			r.firstDifference = plant::Difference{ 2, 80, 0x12, 0x34 };
			r.message = "page 2 byte 80: 0x12, expected 0x34";
		}
		records.push_back(r);
		if (!fails)
			unit++;
	}
	return records;
}

std::string Setup()
{
	if (std::string why = server->Start(); !why.empty())
		return why;
	if (std::string why = server->CreateDatabase(database); !why.empty())
		return why;
	plant::Database db;
	if (std::string why = db.Connect(server->Conninfo(database)); !why.empty())
		return why;
	if (std::string why = db.PrepareSchema(true); !why.empty())
		return why;
	std::ofstream out(file);
	PQclear(PQexec(db.Handle(), "BEGIN"));
	for (const plant::Record &r : MakeRecords()) {
		std::string line = plant::RecordLine(r), why;
		out << line;
		if (db.Insert(line, why) != plant::Insertion::Inserted)
			return why;
	}
	PQclear(PQexec(db.Handle(), "COMMIT; ANALYZE velmora_records"));
	char folder[] = "/tmp/velmora-bench-spool-XXXXXX";
	spool = mkdtemp(folder);
	return "";
}

plant::Filter FilterFor(int which)
{
	plant::Filter f;
	if (which == 1)
		f.since = kFirstDay + 29 * 86400; // the last day
	if (which == 2)
		f.station = "line-7";
	if (which == 3)
		f.unit = "SN-100042";
	return f;
}

const char *const kFilterNames[] = { "all", "last day", "one station", "one unit" };

void BM_RecordsDatabase(benchmark::State &state)
{
	plant::Database db;
	if (std::string why = db.Connect(server->Conninfo(database)); !why.empty()) {
		state.SkipWithError(why.c_str());
		return;
	}
	plant::Filter filter = FilterFor(static_cast<int>(state.range(0)));
	for (auto _ : state) {
		std::string why;
		plant::Summary s = plant::SummarizeDatabase(db, filter, why);
		benchmark::DoNotOptimize(s);
		state.counters["records"] = static_cast<double>(s.records);
	}
	state.SetLabel(kFilterNames[state.range(0)]);
}
BENCHMARK(BM_RecordsDatabase)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RecordsFile(benchmark::State &state)
{
	plant::Filter filter = FilterFor(static_cast<int>(state.range(0)));
	for (auto _ : state) {
		std::vector<std::string> skipped;
		std::string why;
		plant::Summary s = plant::Summarize(plant::ReadRecordFile(file, skipped, why), filter);
		benchmark::DoNotOptimize(s);
		state.counters["records"] = static_cast<double>(s.records);
	}
	state.SetLabel(kFilterNames[state.range(0)]);
}
BENCHMARK(BM_RecordsFile)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// One record of a station with --report to the database: appended to the
// station's journal (fdatasync) and handed to the sender; the time to send
// what is left is measured once, at the end.
void BM_StoreOneRecord(benchmark::State &state)
{
	plant::SinkOptions options;
	options.folder = spool;
	plant::PgSink sink(server->Url(database), "bench-store", options);
	std::vector<std::string> notices;
	plant::Refusal refusal = plant::Refusal::None;
	if (std::string why = sink.Open(notices, refusal); !why.empty()) {
		state.SkipWithError(why.c_str());
		return;
	}
	plant::Record r = MakeRecords().front();
	r.station = "bench-store";
	std::int64_t sequence = sink.LastSequence().value_or(0);
	for (auto _ : state) {
		r.id = plant::NewRecordId();
		r.sequence = ++sequence;
		if (sink.Store(r).how != plant::Stored::Kept)
			state.SkipWithError("not kept");
	}
	if (sink.Finish(60000) != 0)
		state.SkipWithError("not all sent");
}
BENCHMARK(BM_StoreOneRecord)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
	bool explain = false;
	for (int i = 1; i < argc; i++)
		if (std::strcmp(argv[i], "--explain") == 0)
			explain = true;
	benchmark::Initialize(&argc, argv);
	ScratchPostgres scratch;
	server = &scratch;
	if (std::string why = Setup(); !why.empty()) {
		std::cerr << "records_bench: " << why << "\n";
		return 1;
	}
	if (explain) {
		plant::Database db;
		db.Connect(server->Conninfo(database));
		PGresult *size = PQexec(
			db.Handle(), "SELECT pg_total_relation_size('velmora_records') / count(*), "
				     "pg_relation_size('velmora_records') / count(*) FROM velmora_records");
		std::cout << "bytes per record with indexes: " << PQgetvalue(size, 0, 0)
			  << ", table alone: " << PQgetvalue(size, 0, 1) << "\n";
		PQclear(size);
		for (int which = 0; which < 4; which++) {
			std::string why;
			std::cout << "== " << kFilterNames[which] << "\n";
			for (const std::string &plan : plant::ExplainSummary(db, FilterFor(which), why))
				std::cout << plan << "--\n";
			if (!why.empty())
				std::cout << why << "\n";
		}
	}
	benchmark::RunSpecifiedBenchmarks();
	benchmark::Shutdown();
	std::filesystem::remove(file);
	std::filesystem::remove_all(spool);
	return 0;
}
