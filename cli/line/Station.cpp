#include "Station.h"

#include "BusIdentity.h"
#include "IICTransfer.h"
#include "StopRequest.h"
#include "registers.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace eeprom_cli {

namespace {

// Waits until the probe answers present; false when stopped first. A bus
// that cannot be opened is said once, or the operator waits for nothing.
bool WaitFor(const StationSetup &setup, bool present)
{
	std::string said;
	while (!StopRequested()) {
		if (setup.probe.CameraAnswers() == present)
			return true;
		if (std::string trouble = setup.probe.BusTrouble(); !trouble.empty() && trouble != said) {
			setup.out << "the bus cannot be opened: " << trouble << '\n' << std::flush;
			said = trouble;
		}
		setup.clock.SleepUs(kPresencePollUs);
	}
	return false;
}

std::string Seconds(std::int64_t us)
{
	char text[32];
	std::snprintf(text, sizeof(text), "%.1f s", static_cast<double>(us) / 1e6);
	return text;
}

} // namespace

namespace {

// Absence is the expected answer while waiting: nothing to report.
class SilentSink final : public IICErrorSink
{
public:
	void Report(int, const char *) override {}
};

} // namespace

bool EepromProbe::CameraAnswers()
{
	SilentSink sink;
	CIICTransfer iic(sink);
	unsigned char first;
	return iic.ReadBlock(kl310::EepromWrite(0), 0, &first, 1);
}

std::string EepromProbe::BusTrouble()
{
	return iicbus::BusReason(iicbus::LastBus());
}

std::string StationLine(const StationCamera &camera)
{
	std::string head = (camera.outcome.status == kSuccess ? "PASS cam " : "FAIL cam ") +
			   std::to_string(camera.number) + ' ';
	const Outcome &o = camera.outcome;
	if (o.result.outcome == operations::Outcome::Mismatch) {
		char where[96];
		std::snprintf(where, sizeof(where), "page %d byte 0x%02x is 0x%02X, the file has 0x%02X",
			      o.result.page, o.result.byte, o.result.found, o.result.expected);
		head += where;
	} else {
		head += o.message;
	}
	return head + " (" + Seconds(camera.durationUs) + ")";
}

int RunStation(const StationSetup &setup)
{
	int worst = kSuccess;
	int passed = 0;
	int failed = 0;
	for (int number = 1;; number++) {
		setup.out << "waiting for camera " << number << "...\n" << std::flush;
		if (!WaitFor(setup, true))
			break;
		StationCamera camera;
		camera.number = number;
		camera.started = std::time(nullptr);
		std::int64_t startUs = setup.clock.NowUs();
		camera.outcome = setup.runner(setup.job, setup.progress);
		camera.durationUs = setup.clock.NowUs() - startUs;
		(camera.outcome.status == kSuccess ? passed : failed)++;
		worst = std::max(worst, camera.outcome.status);
		setup.out << StationLine(camera) << '\n' << std::flush;
		if (setup.finished)
			setup.finished(camera);
		if (camera.outcome.status == kInterrupted)
			break;
		setup.out << "remove camera " << number << '\n' << std::flush;
		if (!WaitFor(setup, false))
			break;
	}
	setup.out << passed + failed << (passed + failed == 1 ? " camera: " : " cameras: ") << passed
		  << " passed, " << failed << " failed\n"
		  << std::flush;
	return worst;
}

} // namespace eeprom_cli
