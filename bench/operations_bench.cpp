// The panel's long operations against the time they are prescribed to
// take: the real CVelmoraDlg handlers, pressed through their buttons on
// the simulated camera, with the real Sleep on the real clock.
//
// Before timing, one run of the operation records what it sends to the
// adapter and where it pauses (and checks that these are the operation's
// transfers). Each iteration then times
//   - the panel: the button press, start to end;
//   - the floor: the recorded adapter calls made straight through the C
//     interface, with the same pauses in the same places: what the
//     operation prescribes, with no program around it.
// Counters: panel_ms, floor_ms, pauses_ms (the sum of the prescribed
// pauses), beyond_pauses_pct = (panel - pauses) / pauses and
// beyond_floor_pct = (panel - floor) / floor for the operations that
// pause, and beyond_floor_us_per_transfer = (panel - floor) / transfers.
#include "PictureWindow.h"
#include "PictureWindowAccess.h"
#include "VelmoraApp.h"
#include "VelmoraDlg.h"
#include "qt_access.h"
#include "qxiic.h"
#include "qxiic_sim.h"
#include "resource.h"
#include "sleep.h"

#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace sim = qxiic::sim;
using Clock = std::chrono::steady_clock;

// One step of a recorded operation: an adapter call or a pause.
struct Step {
	sim::TraceEntry call;
	DWORD pauseMs = 0; // non-zero: a pause instead of a call
};

struct Recording {
	std::vector<Step> steps;
	int transfers = 0;
	int pauses = 0;
	double pausesMs = 0;
};

// The panel, shown on the offscreen platform, for the whole run.
struct Panel {
	CVelmoraApp app;
	CVelmoraDlg dlg;
	std::vector<std::string> messages;

	Panel()
	{
		toolkit::SetMessageBoxObserver([this](QMessageBox &box) {
			messages.push_back(box.text().toStdString());
			QTimer::singleShot(0, &box, &QMessageBox::accept);
		});
		dlg.Create();
		toolkit::DialogWidget(dlg)->show();
		QApplication::processEvents();
	}

	void press(int id) { qobject_cast<QAbstractButton *>(toolkit::ControlWidget(dlg, id))->click(); }
};

Panel *g_panel = nullptr;
bool g_picture = false;
PictureSource g_pictureSource; // the simulated camera's picture

bool isTransfer(sim::Call call)
{
	return call == sim::Call::SendSub || call == sim::Call::ReceiveSub || call == sim::Call::Receive;
}

// Runs the operation once with its pauses recorded (and slept for real,
// so that the EEPROM's write cycles pass as they would).
Recording record(const std::function<void()> &operation)
{
	struct Pause {
		size_t at;
		DWORD ms;
	};
	std::vector<Pause> pauses;
	sim::ClearTrace();
	AfxSetSleepHandler([&pauses](DWORD ms) {
		pauses.push_back({ sim::Trace().size(), ms });
		std::this_thread::sleep_for(std::chrono::milliseconds(ms));
	});
	operation();
	AfxSetSleepHandler({});
	const std::vector<sim::TraceEntry> trace = sim::Trace();

	Recording rec;
	size_t pause = 0;
	for (size_t i = 0; i <= trace.size(); i++) {
		for (; pause < pauses.size() && pauses[pause].at <= i; pause++) {
			rec.steps.push_back({ {}, pauses[pause].ms });
			rec.pauses++;
			rec.pausesMs += static_cast<double>(pauses[pause].ms);
		}
		if (i == trace.size())
			break;
		rec.steps.push_back({ trace[i], 0 });
		if (isTransfer(trace[i].call))
			rec.transfers++;
	}
	return rec;
}

int count(const Recording &rec, sim::Call call, const std::function<bool(const sim::TraceEntry &)> &match)
{
	int n = 0;
	for (const Step &step : rec.steps)
		if (!step.pauseMs && step.call.call == call && match(step.call))
			n++;
	return n;
}

// The recorded calls straight through the adapter's C interface.
bool replay(const Recording &rec)
{
	std::map<int, int> handles; // recorded handle -> this run's
	unsigned char buffer[256];
	for (const Step &step : rec.steps) {
		if (step.pauseMs) {
			Sleep(step.pauseMs);
			continue;
		}
		const sim::TraceEntry &e = step.call;
		int h = handles[e.handle];
		unsigned short status = QXIIC_OK;
		switch (e.call) {
		case sim::Call::Init:
			handles[e.handle] = IICInit(e.device, e.param1, e.param2);
			break;
		case sim::Call::SetAddress:
			SetAddress(h, e.device);
			break;
		case sim::Call::SendSub: {
			std::vector<unsigned char> data(e.data.begin(), e.data.end());
			status = SendSub(h, e.subLength, e.subAddress, data.data(), e.count, e.flags);
			break;
		}
		case sim::Call::ReceiveSub:
			status = ReceiveSub(h, e.subLength, e.subAddress, buffer, e.count, e.flags);
			break;
		case sim::Call::Receive:
			status = Receive(h, buffer, e.flags, e.count);
			break;
		case sim::Call::Close:
			IICClose(h);
			break;
		}
		if (status != e.status)
			return false;
	}
	return true;
}

double secondsOf(const std::function<void()> &work)
{
	const Clock::time_point start = Clock::now();
	work();
	return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Operation {
	// Untimed: brings the panel to where the operation starts.
	std::function<void(Panel &)> prepare;
	// Timed: the button press.
	std::function<void(Panel &)> run;
	// What the recording must hold; empty text when it does.
	std::function<std::string(const Recording &)> check;
};

void Measure(benchmark::State &state, const Operation &op)
{
	Panel &panel = *g_panel;
	op.prepare(panel);
	panel.messages.clear();
	const Recording rec = record([&] { op.run(panel); });
	if (std::string wrong = op.check(rec); !wrong.empty() || !panel.messages.empty()) {
		state.SkipWithError((wrong.empty() ? "message: " + panel.messages.front() : wrong).c_str());
		return;
	}

	// With VELMORA_BENCH_PICTURE set, the simulated camera's picture is
	// open beside the panel while both are timed (not while recording:
	// its reads would count as the operation's).
	if (g_picture)
		ShowPictureWindow(panel.dlg, g_pictureSource);
	QApplication::processEvents();
	struct PictureCloser {
		~PictureCloser() { delete PictureWindowWidget(*dlg); }
		const CDialog *dlg;
	} closer{ &panel.dlg };

	double panelSum = 0, floorSum = 0;
	bool panelFirst = true;
	for (auto _ : state) {
		double panelSeconds = 0, floorSeconds = 0;
		bool replayed = true;
		auto timePanel = [&] {
			op.prepare(panel);
			panelSeconds = secondsOf([&] { op.run(panel); });
		};
		auto timeFloor = [&] { floorSeconds = secondsOf([&] { replayed = replay(rec); }); };
		if (panelFirst) {
			timePanel();
			timeFloor();
		} else {
			timeFloor();
			timePanel();
		}
		panelFirst = !panelFirst;
		if (!replayed || !panel.messages.empty()) {
			state.SkipWithError(replayed ? "the panel showed a message"
						     : "the floor's transfers failed");
			return;
		}
		state.SetIterationTime(panelSeconds);
		QApplication::processEvents(); // the picture's frames are shown between presses
		panelSum += panelSeconds;
		floorSum += floorSeconds;
	}
	using benchmark::Counter;
	const double n = static_cast<double>(state.iterations());
	const double panelMs = panelSum * 1e3 / n;
	const double floorMs = floorSum * 1e3 / n;
	state.counters["panel_ms"] = panelMs;
	state.counters["floor_ms"] = floorMs;
	state.counters["pauses_ms"] = rec.pausesMs;
	state.counters["pauses"] = rec.pauses;
	state.counters["transfers"] = rec.transfers;
	// Without pauses the floor is only the simulator's own work, which a
	// real bus dwarfs: the time per transfer says more there.
	if (rec.pausesMs > 0) {
		state.counters["beyond_pauses_pct"] = (panelMs - rec.pausesMs) / rec.pausesMs * 100.0;
		state.counters["beyond_floor_pct"] = (panelMs - floorMs) / floorMs * 100.0;
	}
	state.counters["beyond_floor_us_per_transfer"] = (panelMs - floorMs) * 1e3 / rec.transfers;
}

bool isEepromBlockWrite(const sim::TraceEntry &e)
{
	return e.device >= 0xA0 && e.device <= 0xAF && e.count == 16;
}

bool isEepromByteRead(const sim::TraceEntry &e)
{
	return e.device >= 0xA0 && e.device <= 0xAF && e.count == 1;
}

std::string expect(int actual, int wanted, const char *what)
{
	if (actual == wanted)
		return {};
	return std::string(what) + ": " + std::to_string(actual) + " instead of " + std::to_string(wanted);
}

// A settings file of the camera's own EEPROM, made once by "Cam --> File".
std::string g_filePath;

void useSettingsFile(Panel &panel)
{
	// The panel adds the extension to a typed name.
	qobject_cast<QLineEdit *>(toolkit::ControlWidget(panel.dlg, IDC_FILE_NAME))
		->setText(QString::fromStdString(g_filePath));
}

const Operation kFileToCam = {
	useSettingsFile,
	[](Panel &panel) { panel.press(IDC_FILE_TO_CAM); },
	[](const Recording &rec) {
		std::string wrong = expect(rec.pauses, 128, "pauses");
		if (wrong.empty())
			wrong = expect(count(rec, sim::Call::SendSub, isEepromBlockWrite), 128,
				       "block writes");
		if (wrong.empty())
			wrong = expect(count(rec, sim::Call::ReceiveSub, isEepromByteRead), 2048, "reads");
		return wrong;
	},
};

const Operation kCamToFile = {
	useSettingsFile,
	[](Panel &panel) { panel.press(IDC_CAM_TO_FILE); },
	[](const Recording &rec) {
		std::string wrong = expect(rec.pauses, 0, "pauses");
		if (wrong.empty())
			wrong = expect(count(rec, sim::Call::ReceiveSub, isEepromByteRead), 2048, "reads");
		return wrong;
	},
};

// Save's longest script: manual white balance, every overlay on, manual
// exposure with the gains frozen.
void prepareLongestScript(Panel &panel)
{
	CVelmoraDlg &dlg = panel.dlg;
	auto checked = [&](int id) {
		return qobject_cast<QAbstractButton *>(toolkit::ControlWidget(dlg, id))->isChecked();
	};
	if (checked(IDC_AUTO_WB)) {
		panel.press(IDC_AUTO_WB);
		panel.press(IDC_MANUAL_MODE);
	}
	if (!checked(IDC_ENABLE_OVERLAY))
		panel.press(IDC_ENABLE_OVERLAY);
	for (int id : { IDC_OVERLAY1, IDC_OVERLAY2, IDC_OVERLAY3, IDC_OVERLAY4 })
		if (!checked(id))
			panel.press(id);
	if (!checked(IDC_MANUAL_EXPOSURE))
		panel.press(IDC_MANUAL_EXPOSURE);
	if (!checked(IDC_FREEZE_GAIN))
		panel.press(IDC_FREEZE_GAIN);
}

constexpr int kLongestScript = 180;

const Operation kSaveLongest = {
	prepareLongestScript,
	[](Panel &panel) { panel.press(IDC_SAVE); },
	[](const Recording &rec) {
		// Page 3 holds the script; one byte per write.
		auto scriptByte = [](const sim::TraceEntry &e) { return e.device == 0xA6 && e.count == 1; };
		std::string wrong = expect(count(rec, sim::Call::SendSub, scriptByte), kLongestScript,
					   "script bytes");
		if (wrong.empty()) // the fill, the pause before the script, a byte each, the marker
			wrong = expect(static_cast<int>(rec.pausesMs),
				       16 * 20 + 100 + kLongestScript * 20 + 20, "pauses in ms");
		return wrong;
	},
};

// One "left" from the same trim each time, so that every move sends.
const Operation kTrimMove = {
	[](Panel &panel) { panel.dlg.m_nTrimHorizontal = 20; },
	[](Panel &panel) { panel.press(IDC_TRIM_LEFT); },
	[](const Recording &rec) {
		auto command = [](const sim::TraceEntry &e) {
			return e.subAddress == 0x0040 && e.data.size() == 2 && e.data[0] == 0x83;
		};
		std::string wrong = expect(rec.pauses, 0, "pauses");
		if (wrong.empty())
			wrong = expect(count(rec, sim::Call::SendSub, command), 37, "commands");
		return wrong;
	},
};

void BM_FileToCam8Pages(benchmark::State &state)
{
	Measure(state, kFileToCam);
}

void BM_SaveLongestScript(benchmark::State &state)
{
	Measure(state, kSaveLongest);
}

void BM_CamToFile(benchmark::State &state)
{
	Measure(state, kCamToFile);
}

void BM_TrimMove(benchmark::State &state)
{
	Measure(state, kTrimMove);
}

} // namespace

BENCHMARK(BM_FileToCam8Pages)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SaveLongestScript)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CamToFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_TrimMove)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

int main(int argc, char **argv)
{
	setenv("QT_QPA_PLATFORM", "offscreen", 1);
	setenv("QXIIC_BUS", "sim", 1);
	setenv("QXIIC_SIM_DIR", "", 1);
	unsetenv("QXIIC_TRACE");
	g_picture = std::getenv("VELMORA_BENCH_PICTURE") != nullptr;
	g_pictureSource.device = "sim";
	benchmark::Initialize(&argc, argv);
	if (benchmark::ReportUnrecognizedArguments(argc, argv))
		return 1;

	QApplication application(argc, argv);
	sim::Reset();
	auto panel = std::make_unique<Panel>();
	g_panel = panel.get();

	const fs::path dir = fs::temp_directory_path() / ("velmora-bench-" + std::to_string(getpid()));
	fs::create_directories(dir);
	g_filePath = (dir / "eeprom").string();
	useSettingsFile(*panel);
	panel->press(IDC_CAM_TO_FILE);

	benchmark::RunSpecifiedBenchmarks();
	benchmark::Shutdown();
	g_panel = nullptr;
	panel.reset();
	fs::remove_all(dir);
	return 0;
}
