// One 8-page file programmed and verified into 1, 2, 4 and 8 simulated
// cameras at once, each in a process of its own, on the real-time clock:
// the EEPROM's write cycle, not the program, should be what takes the time,
// so 8 cameras should take about as long as one.
#include "Fleet.h"
#include "registers.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

using namespace eeprom_cli;
using namespace kl310;

SettingsImage Image(int run)
{
	SettingsImage image;
	image.path = "bench.qmx";
	image.pages = EEPROM_PAGES;
	for (int a = 0; a < EEPROM_PAGES * EEPROM_PAGE_SIZE; a++)
		image.bytes.push_back(static_cast<std::uint8_t>((a * 7 + run * 0x55) & 0xFF));
	return image;
}

void BM_FleetProgramVerify(benchmark::State &state)
{
	// The simulated cameras sim:0..sim:7, their EEPROMs in memory.
	setenv("QXIIC_SIM_DIR", "", 1);
	int cameras = static_cast<int>(state.range(0));
	CameraRunner runner = [](const CameraJob &job, Progress &progress) {
		return RunCamera(job, ToolClock::Real(), progress);
	};
	int run = 0;
	for (auto _ : state) {
		SettingsImage image = Image(run++);
		std::vector<CameraJob> jobs;
		for (int i = 0; i < cameras; i++)
			jobs.push_back({ Verb::Program, "sim:" + std::to_string(i), "", &image });
		for (const CameraFinish &finish : RunFleet(jobs, runner, ToolClock::Real(), nullptr)) {
			if (finish.outcome.status != kSuccess) {
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

} // namespace

BENCHMARK_MAIN();
