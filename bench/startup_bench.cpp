// Start-up of the control panel against the floor: each iteration starts
// the panel's probe and the floor's probe once each, in alternating order,
// on Qt's offscreen platform and the simulated camera, and measures
//   - the time from starting the process to its dialog's first paint
//     (the panel has read the camera by then);
//   - the peak resident memory of the process (ru_maxrss).
// The reported time is the panel's; the counters give both programs and
// their ratios, so both are measured side by side in the same run.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

extern char **environ;

namespace {

namespace fs = std::filesystem;

struct Start {
	double seconds = 0; // process start to first paint
	double peakMiB = 0;
	bool ok = false;
};

long long monotonicNs()
{
	timespec now;
	clock_gettime(CLOCK_MONOTONIC, &now);
	return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Runs one probe; its standard output carries the moment of first paint.
Start runProbe(const std::string &path)
{
	Start result;
	int out[2];
	if (pipe(out) != 0)
		return result;
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
	posix_spawn_file_actions_addclose(&actions, out[0]);
	posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
	char *argv[] = { const_cast<char *>(path.c_str()), nullptr };

	const long long started = monotonicNs();
	pid_t pid = -1;
	int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
	posix_spawn_file_actions_destroy(&actions);
	close(out[1]);
	if (spawned != 0) {
		close(out[0]);
		return result;
	}
	char text[64] = {};
	FILE *stream = fdopen(out[0], "r");
	long long painted = 0;
	bool reported = stream && std::fgets(text, sizeof(text), stream) &&
			std::sscanf(text, "%lld", &painted) == 1;
	if (stream)
		std::fclose(stream);
	int status = 0;
	rusage usage{};
	if (wait4(pid, &status, 0, &usage) != pid)
		return result;
	result.ok = reported && WIFEXITED(status) && WEXITSTATUS(status) == 0;
	result.seconds = static_cast<double>(painted - started) * 1e-9;
	result.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB
	return result;
}

fs::path probeDir()
{
	return fs::read_symlink("/proc/self/exe").parent_path();
}

void BM_StartUpPanelVsFloor(benchmark::State &state)
{
	const std::string panel = (probeDir() / "startup_panel").string();
	const std::string floor = (probeDir() / "startup_floor").string();
	Start panelSum, floorSum;
	bool panelFirst = true;
	for (auto _ : state) {
		Start p, f;
		if (panelFirst) {
			p = runProbe(panel);
			f = runProbe(floor);
		} else {
			f = runProbe(floor);
			p = runProbe(panel);
		}
		panelFirst = !panelFirst;
		if (!p.ok || !f.ok) {
			state.SkipWithError(p.ok ? "the floor's probe failed" : "the panel's probe failed");
			break;
		}
		state.SetIterationTime(p.seconds);
		panelSum.seconds += p.seconds;
		floorSum.seconds += f.seconds;
		panelSum.peakMiB += p.peakMiB;
		floorSum.peakMiB += f.peakMiB;
	}
	if (floorSum.seconds <= 0 || floorSum.peakMiB <= 0)
		return;
	using benchmark::Counter;
	state.counters["panel_ms"] = Counter(panelSum.seconds * 1e3, Counter::kAvgIterations);
	state.counters["floor_ms"] = Counter(floorSum.seconds * 1e3, Counter::kAvgIterations);
	state.counters["time_ratio"] = panelSum.seconds / floorSum.seconds;
	state.counters["panel_MiB"] = Counter(panelSum.peakMiB, Counter::kAvgIterations);
	state.counters["floor_MiB"] = Counter(floorSum.peakMiB, Counter::kAvgIterations);
	state.counters["memory_ratio"] = panelSum.peakMiB / floorSum.peakMiB;
}

} // namespace

BENCHMARK(BM_StartUpPanelVsFloor)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

int main(int argc, char **argv)
{
	// The probes run without a display, on the simulated camera.
	setenv("QT_QPA_PLATFORM", "offscreen", 1);
	setenv("QXIIC_BUS", "sim", 1);
	setenv("QXIIC_SIM_DIR", "", 1);
	unsetenv("QXIIC_TRACE");
	benchmark::Initialize(&argc, argv);
	if (benchmark::ReportUnrecognizedArguments(argc, argv))
		return 1;
	benchmark::RunSpecifiedBenchmarks();
	benchmark::Shutdown();
	return 0;
}
