// One 8-page file programmed and verified into 1, 2, 4 and 8 simulated
// cameras at once, each in a process of its own, on the real-time clock:
// the EEPROM's write cycle, not the program, should be what takes the time,
// so 8 cameras should take about as long as one.
#include "Fleet.h"
#include "Production.h"
#include "ScratchPostgres.h"
#include "Station.h"
#include "ToolMain.h"
#include "registers.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using namespace eeprom_cli;
using namespace kl310;

// A settings file of 8 pages that differs from the previous run's, so
// that every byte is written again.
std::string WriteImage(int run)
{
	std::string path = "/tmp/velmora-fleet-bench.qmx";
	std::ofstream file(path, std::ios::binary);
	file << "//Settings file : bench\r\n";
	for (int a = 0; a < EEPROM_PAGES * EEPROM_PAGE_SIZE; a++) {
		char hex[8];
		std::snprintf(hex, sizeof hex, "%02X%s", (a * 7 + run * 0x55) & 0xFF,
			      a % 16 == 15 ? "\r\n" : " ");
		file << hex;
	}
	return path;
}

void BM_FleetProgramVerify(benchmark::State &state)
{
	// The simulated cameras sim:0..sim:7, their EEPROMs in memory.
	setenv("QXIIC_SIM_DIR", "", 1);
	int cameras = static_cast<int>(state.range(0));
	int run = 0;
	for (auto _ : state) {
		std::string path = WriteImage(run++);
		std::vector<CameraJob> jobs;
		for (int i = 0; i < cameras; i++)
			jobs.push_back({ Verb::Program, "sim:" + std::to_string(i), path, nullptr, {} });
		// Each camera's process is velmora-eeprom itself, as in a real run.
		for (const CameraFinish &finish : RunFleet(jobs, VELMORA_EEPROM_TOOL, nullptr)) {
			if (finish.outcome.status != tool::kSuccess) {
				state.SkipWithError(finish.outcome.message.c_str());
				return;
			}
		}
	}
	state.counters["cameras"] = cameras;
}

BENCHMARK(BM_FleetProgramVerify)
	->Arg(1)
	->Arg(2)
	->Arg(4)
	->Arg(8)
	->Unit(benchmark::kMillisecond)
	->UseRealTime()
	->Iterations(3);

// Where BM_ToolProgram's records go: none, a file, a database.
enum Report { kNoReport, kFileReport, kDatabaseReport };

ScratchPostgres &Server()
{
	static ScratchPostgres server;
	return server;
}

// A database on a scratch server of its own, started at first use.
const std::string &DatabaseUrl(std::string &why)
{
	static std::string started = [] {
		std::string failed = Server().Start();
		return failed.empty() ? Server().CreateDatabase("fleet") : failed;
	}();
	static const std::string url = Server().Url("fleet");
	why = started;
	return url;
}

// The whole tool as the line runs it: velmora-eeprom program on N cameras,
// with or without --report: to a file (the file locked, the station's
// sequence read, one write and fdatasync each) or to the plant's database
// (connect, the table checked, one insert in its own transaction each).
void BM_ToolProgram(benchmark::State &state)
{
	setenv("QXIIC_SIM_DIR", "", 1);
	int cameras = static_cast<int>(state.range(0));
	auto report = static_cast<Report>(state.range(1));
	std::string records = "/tmp/velmora-fleet-bench.jsonl";
	std::remove(records.c_str());
	if (report == kDatabaseReport) {
		std::string why;
		records = DatabaseUrl(why);
		if (!why.empty()) {
			state.SkipWithError(why.c_str());
			return;
		}
		setenv("XDG_STATE_HOME", "/tmp/velmora-fleet-bench-state", 1);
	}
	int run = 0;
	for (auto _ : state) {
		std::vector<std::string> args = { "program", "-y", WriteImage(run++) };
		for (int i = 0; i < cameras; i++)
			args.insert(args.end(), { "--bus", "sim:" + std::to_string(i) });
		if (report != kNoReport)
			args.insert(args.end(), { "--report", records });
		std::istringstream in;
		std::ostringstream out, err;
		tool::ToolEnvironment env{ in, out, err, false, false, tool::ToolClock::Real() };
		eeprom_cli::LineSeams seams;
		seams.self = VELMORA_EEPROM_TOOL;
		if (eeprom_cli::RunTool(args, env, seams) != tool::kSuccess) {
			state.SkipWithError(err.str().c_str());
			return;
		}
	}
	state.counters["cameras"] = cameras;
	state.counters["report"] = static_cast<double>(report);
}

BENCHMARK(BM_ToolProgram)
	->Args({ 1, kNoReport })
	->Args({ 1, kFileReport })
	->Args({ 8, kNoReport })
	->Args({ 8, kFileReport })
	->Args({ 8, kDatabaseReport })
	->Unit(benchmark::kMillisecond)
	->UseRealTime()
	->Iterations(3);

// A fixture that takes no time: each of 8 cameras answers for three looks,
// then is gone for three. The round is from the first look to the last.
class RoundProbe final : public PresenceProbe
{
public:
	Presence Look() override
	{
		auto now = std::chrono::steady_clock::now();
		if (m_looks == 0)
			m_first = now;
		m_last = now;
		return { (m_looks++ / kAgreeingLooks) % 2 == 0, "" };
	}
	double Seconds() const { return std::chrono::duration<double>(m_last - m_first).count(); }

private:
	int m_looks = 0;
	std::chrono::steady_clock::time_point m_first, m_last;
};

// The real clock without the pauses between looks: the round is the
// cameras' work and their records', not the operator's hands.
class NoPollPauses final : public tool::ToolClock
{
public:
	std::int64_t NowUs() override { return tool::ToolClock::Real().NowUs(); }
	void SleepUs(std::int64_t us) override
	{
		if (us != kPresencePollUs)
			tool::ToolClock::Real().SleepUs(us);
	}
};

// A station session of 8 cameras reporting to the database, with the server
// up, and with its processes stopped (SIGSTOP) for the whole session: the
// station must not wait on it. Manual time: the round from the first look
// to the last, without the start (which waits out the connection's
// deadline when the server is stopped) and the end of the session.
void BM_StationRound(benchmark::State &state)
{
	setenv("QXIIC_SIM_DIR", "", 1);
	setenv("XDG_STATE_HOME", "/tmp/velmora-fleet-bench-state", 1);
	bool stopped = state.range(0) != 0;
	std::string why;
	std::string url = DatabaseUrl(why);
	if (!why.empty() || (stopped && !(why = Server().Pause()).empty())) {
		state.SkipWithError(why.c_str());
		return;
	}
	std::string file = WriteImage(0);
	NoPollPauses clock;
	for (auto _ : state) {
		std::istringstream in("u1\nu2\nu3\nu4\nu5\nu6\nu7\nu8\n");
		std::ostringstream out, err;
		tool::ToolEnvironment env{ in, out, err, false, false, clock };
		RoundProbe probe;
		eeprom_cli::LineSeams seams;
		seams.probe = &probe;
		int status = eeprom_cli::RunTool({ "program", "--repeat", "--ask-unit", "-y", "--bus",
						   "sim:0", "--report", url, "--station", "bench-round",
						   "--send-wait", "0", file },
						 env, seams);
		if (status != tool::kSuccess || out.str().find("8 cameras: 8 passed") == std::string::npos) {
			state.SkipWithError((err.str() + out.str()).c_str());
			break;
		}
		state.SetIterationTime(probe.Seconds());
	}
	if (stopped)
		Server().Resume();
	state.counters["stopped"] = stopped;
}

BENCHMARK(BM_StationRound)
	->Arg(0)
	->Arg(1)
	->Arg(0)
	->Arg(1)
	->Unit(benchmark::kMillisecond)
	->UseManualTime()
	->Iterations(3);

} // namespace

BENCHMARK_MAIN();
