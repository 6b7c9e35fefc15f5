// What --frame-check adds to programming a camera: one 8-page file into 1
// and 8 simulated cameras at once, each in a process of its own, on the
// real-time clock, with and without the check (power-up script, 5 frames
// of the simulated picture paced at 25 a second, the checks, a thumbnail);
// and what checking one thumbnail costs records --html before it inlines it.
#include "Fleet.h"
#include "ReferenceCompare.h"
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
		// Page 3 erased after one record (the power-up sharpness) and the
		// trims of page 4 the factory's, so that the picture is the
		// reference's of the example limits; the rest differing from run
		// to run.
		int value = (a * 7 + run * 0x55) & 0xFF;
		if (a >= 0x300 && a < 0x400) {
			const int script[] = { 0x32, 0x6C, 0x2C, 0x80 };
			value = a - 0x300 < 4 ? script[a - 0x300] : 0xFF;
		}
		if (a == 0x400 || a == 0x401)
			value = a == 0x400 ? 0x14 : 0x0C;
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

// The comparison with the reference alone, in one process: a PAL frame of
// the simulated scene against the scene a trim step away.
void BM_CompareWithReference(benchmark::State &state)
{
	video::SensorState s;
	s.trimHorizontal = s.trimVertical = 23;
	video::Frame reference, frame;
	video::RenderSimPicture(s, 0, reference);
	s.trimHorizontal = 21;
	video::RenderSimPicture(s, 4, frame);
	video::Likeness likeness;
	std::string why;
	for (auto _ : state)
		if (!video::CompareWithReference(frame, reference, likeness, why)) {
			state.SkipWithError(why.c_str());
			return;
		}
	state.counters["offset_x"] = likeness.offsetX;
}

BENCHMARK(BM_CompareWithReference)->Unit(benchmark::kMillisecond);

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
