// Programming and verifying all 8 pages of the settings EEPROM on the
// simulated camera, whose write cycle runs on the real-time clock:
// velmora-eeprom's way (acknowledge polling, 16-byte reads) against the
// panel's (a 20 ms pause after every 16-byte block, then one read per byte).
#include "EepromCommands.h"
#include "IICTransfer.h"
#include "qxiic_sim.h"
#include "registers.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace sim = qxiic::sim;
using namespace kl310;

namespace {

constexpr int kBytes = EEPROM_PAGES * EEPROM_PAGE_SIZE;

// Each run writes the opposite of the last, so every byte really changes.
eeprom_cli::SettingsImage Image(int run)
{
	eeprom_cli::SettingsImage image;
	image.path = "bench.qmx";
	image.pages = EEPROM_PAGES;
	for (int a = 0; a < kBytes; a++)
		image.bytes.push_back(static_cast<std::uint8_t>((a * 7 + run * 0x55) & 0xFF));
	return image;
}

void FreshCamera()
{
	setenv("QXIIC_BUS", "sim", 1);
	setenv("QXIIC_SIM_DIR", "", 1);
	sim::Reset(); // the real-time clock
}

void BM_ToolProgramVerify(benchmark::State &state)
{
	FreshCamera();
	tool::QuietProgress quiet;
	int run = 0;
	for (auto _ : state) {
		eeprom_cli::SettingsImage image = Image(run++);
		eeprom_cli::EepromBus bus(tool::ToolClock::Real());
		eeprom_cli::CommandResult outcome = eeprom_cli::ProgramEeprom(bus, quiet, image);
		if (outcome.status != tool::kSuccess) {
			state.SkipWithError(outcome.message.c_str());
			return;
		}
	}
}

class RecordingSink final : public IICErrorSink
{
public:
	void Report(int, const char *text) override { m_text = text; }
	std::string m_text;
};

// What "File --> Cam" does on the bus for 8 pages.
void BM_PanelWayProgramVerify(benchmark::State &state)
{
	FreshCamera();
	RecordingSink sink;
	CIICTransfer iic(sink);
	int run = 0;
	for (auto _ : state) {
		eeprom_cli::SettingsImage image = Image(run++);
		for (int page = 0; page < EEPROM_PAGES; page++) {
			for (int sub = 0; sub < EEPROM_PAGE_SIZE; sub += EEPROM_WRITE_PAGE_SIZE) {
				std::uint16_t block[EEPROM_WRITE_PAGE_SIZE];
				std::copy_n(&image.bytes[static_cast<size_t>(page * EEPROM_PAGE_SIZE + sub)],
					    EEPROM_WRITE_PAGE_SIZE, block);
				if (!iic.WriteBlock(EepromWrite(page), sub, block, EEPROM_WRITE_PAGE_SIZE)) {
					state.SkipWithError(sink.m_text.c_str());
					return;
				}
				std::this_thread::sleep_for(std::chrono::milliseconds(EEPROM_WRITE_PAUSE_MS));
			}
		}
		for (int a = 0; a < kBytes; a++) {
			int value = iic.ReadByte(EepromRead(a / EEPROM_PAGE_SIZE), a % EEPROM_PAGE_SIZE);
			if (iic.TestAndClearError() || value != image.bytes[static_cast<size_t>(a)]) {
				state.SkipWithError("verification failed");
				return;
			}
		}
	}
}

BENCHMARK(BM_ToolProgramVerify)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_PanelWayProgramVerify)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
