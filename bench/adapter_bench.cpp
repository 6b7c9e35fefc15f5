// The cost of one open / transfer / close cycle through the adapter's C
// interface, the way the program makes every transfer: on the simulated
// camera, and on the i2c-dev path with the fake kernel standing in for
// the driver. The counter "syscalls" is the number of system calls the
// i2c-dev back end makes per cycle through its seam.
#include "fake_kernel.h"
#include "fake_sysfs.h"
#include "qxiic.h"
#include "qxiic_sim.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

unsigned short ReadRegister(unsigned char *value)
{
	int h = IICInit(0xBB, 20000, 1000);
	unsigned short st = ReceiveSub(h, 2, 0x3012, value, 2, 0);
	IICClose(h);
	return st;
}

unsigned short WriteRegister(unsigned char *value)
{
	int h = IICInit(0xBA, 20000, 1000);
	SetAddress(h, 0xBA);
	unsigned short st = SendSub(h, 2, 0x3012, value, 2, 0);
	IICClose(h);
	return st;
}

using Cycle = unsigned short (*)(unsigned char *);

void Run(benchmark::State &state, Cycle cycle)
{
	unsigned char value[2] = { 0x00, 0xA6 };
	for (auto _ : state) {
		unsigned short st = cycle(value);
		if (st != QXIIC_OK) {
			state.SkipWithError("transfer failed");
			break;
		}
		benchmark::DoNotOptimize(value);
	}
}

// The simulator, with its clock frozen as in the tests.
class Simulated
{
public:
	Simulated()
	{
		setenv("QXIIC_BUS", "sim", 1);
		setenv("QXIIC_SIM_DIR", "", 1);
		qxiic::sim::Reset();
		qxiic::sim::UseManualClock(true);
	}
	~Simulated() { qxiic::sim::Reset(); }
};

// /dev/i2c-5 on the fake kernel, a CP2112 in a fake sysfs laid out as the
// kernel lays it out.
class FakeBus
{
public:
	FakeBus()
	{
		char dir[] = "/tmp/qxiic-bench-XXXXXX";
		root_ = mkdtemp(dir);
		fake::AddBus(root_, 5, fake::Bridge::Cp2112);
		qxiic::sys::UseSysfsRoot(root_.c_str());
		fake::Install();
		fake::TheKernel().device = { 0x00, 0xA6 };
		setenv("QXIIC_BUS", "/dev/i2c-5", 1);
		qxiic::sim::Reset();
	}
	~FakeBus()
	{
		setenv("QXIIC_BUS", "sim", 1);
		setenv("QXIIC_SIM_DIR", "", 1);
		fake::Uninstall();
		qxiic::sys::UseSysfsRoot(nullptr);
		fs::remove_all(root_);
	}

	static void Count(benchmark::State &state)
	{
		state.counters["syscalls"] = benchmark::Counter(
			static_cast<double>(fake::TheKernel().systemCalls),
			benchmark::Counter::kAvgIterations);
	}

private:
	fs::path root_;
};

void BM_SimReadRegister(benchmark::State &state)
{
	Simulated sim;
	Run(state, ReadRegister);
}
BENCHMARK(BM_SimReadRegister);

void BM_SimWriteRegister(benchmark::State &state)
{
	Simulated sim;
	Run(state, WriteRegister);
}
BENCHMARK(BM_SimWriteRegister);

void BM_I2cDevReadRegister(benchmark::State &state)
{
	FakeBus bus;
	Run(state, ReadRegister);
	FakeBus::Count(state);
}
BENCHMARK(BM_I2cDevReadRegister);

void BM_I2cDevWriteRegister(benchmark::State &state)
{
	FakeBus bus;
	Run(state, WriteRegister);
	FakeBus::Count(state);
}
BENCHMARK(BM_I2cDevWriteRegister);

// The same read with QXIIC_TRACE on: one formatted, flushed line more.
void BM_I2cDevReadRegisterTraced(benchmark::State &state)
{
	FakeBus bus;
	setenv("QXIIC_TRACE", "/dev/null", 1);
	Run(state, ReadRegister);
	unsetenv("QXIIC_TRACE");
	FakeBus::Count(state);
}
BENCHMARK(BM_I2cDevReadRegisterTraced);

} // namespace

BENCHMARK_MAIN();
