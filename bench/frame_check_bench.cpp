// What --frame-check adds to programming a camera: one 8-page file into 1
// and 8 simulated cameras at once, each in a process of its own, on the
// real-time clock, with and without the check (power-up script, 5 frames
// of the simulated picture paced at 25 a second, the checks, a thumbnail);
// and what checking one thumbnail costs records --html before it inlines it.
#include "Fleet.h"
#include "SimPicture.h"
#include "Thumbnail.h"
#include "registers.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

using namespace eeprom_cli;

std::string WriteImage(int run)
{
	std::string path = "/tmp/velmora-frame-bench.qmx";
	std::ofstream file(path, std::ios::binary);
	file << "//Settings file : bench\r\n";
	for (int a = 0; a < kl310::EEPROM_PAGES * kl310::EEPROM_PAGE_SIZE; a++) {
		// Page 3 erased after two records (overlays off, sharpness), the
		// rest differing from run to run.
		int value = (a * 7 + run * 0x55) & 0xFF;
		if (a >= 0x300 && a < 0x400) {
			const int script[] = { 0x4F, 0x02, 0x00, 0x00, 0x32, 0x6C, 0x18, 0x80 };
			value = a - 0x300 < 8 ? script[a - 0x300] : 0xFF;
		}
		char hex[8];
		std::snprintf(hex, sizeof hex, "%02X%s", value, a % 16 == 15 ? "\r\n" : " ");
		file << hex;
	}
	return path;
}

void BM_ProgramWithFrameCheck(benchmark::State &state)
{
	setenv("QXIIC_SIM_DIR", "", 1);
	int cameras = static_cast<int>(state.range(0));
	bool check = state.range(1) != 0;
	int run = 0;
	for (auto _ : state) {
		std::string path = WriteImage(run++);
		SettingsImage image;
		if (CommandResult loaded = LoadImage(path, "", image); loaded.status != tool::kSuccess) {
			state.SkipWithError(loaded.message.c_str());
			return;
		}
		std::vector<CameraJob> jobs;
		for (int i = 0; i < cameras; i++) {
			jobs.push_back({ Verb::Program, "sim:" + std::to_string(i), path, &image, {} });
			if (check)
				jobs.back().processOptions = { "--frame-check", "--limits", VELMORA_LIMITS };
		}
		for (const CameraFinish &finish : RunFleet(jobs, VELMORA_EEPROM_TOOL, nullptr)) {
			if (finish.outcome.status != tool::kSuccess) {
				state.SkipWithError(finish.outcome.message.c_str());
				return;
			}
		}
	}
	state.counters["cameras"] = cameras;
	state.counters["frame_check"] = check;
}

BENCHMARK(BM_ProgramWithFrameCheck)
	->ArgsProduct({ { 1, 8 }, { 0, 1 } })
	->Unit(benchmark::kMillisecond)
	->UseRealTime()
	->Iterations(3);

// A PAL thumbnail of the simulated scene, decoded whole by libpng.
void BM_CheckThumbnail(benchmark::State &state)
{
	video::SensorState sensor;
	sensor.trimHorizontal = sensor.trimVertical = 23;
	video::Frame frame;
	video::RenderSimPicture(sensor, 0, frame);
	const std::string png = video::EncodePng(video::ShrinkFrame(frame));
	for (auto _ : state) {
		if (!video::IsThumbnailPng(png)) {
			state.SkipWithError("the thumbnail was refused");
			return;
		}
	}
	state.counters["bytes"] = static_cast<double>(png.size());
}

BENCHMARK(BM_CheckThumbnail)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
