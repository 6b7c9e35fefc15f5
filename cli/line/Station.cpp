#include "Station.h"

#include "BusIdentity.h"
#include "IICTransfer.h"
#include "StopRequest.h"
#include "registers.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace eeprom_cli {

using namespace tool;

namespace {

// Absence is the expected answer while waiting: nothing to report.
class SilentSink final : public IICErrorSink
{
public:
	void Report(int, const char *) override {}
};

std::string Seconds(std::int64_t us)
{
	char text[32];
	std::snprintf(text, sizeof(text), "%.1f s", static_cast<double>(us) / 1e6);
	return text;
}

class Waiting
{
public:
	explicit Waiting(const StationSetup &setup) : m_setup(setup) {}

	// Until kAgreeingLooks looks in a row say present (or absent); false
	// when stopped first. A bus that cannot be opened is said once per
	// reason, and waited on.
	bool For(bool present)
	{
		int agreeing = 0;
		while (!StopRequested()) {
			Presence look = m_setup.probe.Look();
			if (m_setup.look)
				m_setup.look();
			if (look.unopenable != m_unopenable) {
				if (!look.unopenable.empty())
					m_setup.out << "the bus cannot be opened: " << look.unopenable
						    << "; waiting\n"
						    << std::flush;
				else if (!m_unopenable.empty())
					m_setup.out << "the bus is open again\n" << std::flush;
				m_unopenable = look.unopenable;
			}
			bool answers = look.unopenable.empty() && look.answers;
			agreeing = answers == present ? agreeing + 1 : 0;
			if (agreeing == kAgreeingLooks)
				return true;
			m_setup.clock.SleepUs(kPresencePollUs);
		}
		return false;
	}

	bool BusUnopenable() const { return !m_unopenable.empty(); }

private:
	const StationSetup &m_setup;
	std::string m_unopenable;
};

} // namespace

Presence EepromProbe::Look()
{
	SilentSink sink;
	CIICTransfer iic(sink);
	unsigned char first;
	Presence presence;
	presence.answers = iic.ReadBlock(kl310::EepromWrite(0), 0, &first, 1);
	iicbus::BusIdentity identity = iicbus::LastBus();
	if (!presence.answers && identity.known && !identity.opened)
		presence.unopenable = iicbus::OperatorBusReason(identity);
	return presence;
}

std::string StationLine(const StationCamera &camera)
{
	bool passed = camera.outcome.status == kSuccess;
	bool unrecorded = passed && !camera.notKept.empty();
	std::string head = (unrecorded ? "UNRECORDED cam "
			    : passed   ? "PASS cam "
				       : "FAIL cam ") +
			   std::to_string(camera.number) + ": ";
	if (camera.unit)
		head += "unit " + *camera.unit + ": ";
	const CommandResult &o = camera.outcome;
	if (unrecorded) {
		head += NotRecorded(Verb::Program);
	} else if (o.result.outcome == operations::ResultKind::Mismatch) {
		char where[96];
		std::snprintf(where, sizeof(where), "page %d byte 0x%02x is 0x%02x, the file has 0x%02x",
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
	int unrecorded = 0;
	Waiting waiting(setup);
	for (int number = 1;; number++) {
		// No camera is touched whose record could not be kept.
		if (std::string why = setup.ready ? setup.ready() : ""; !why.empty()) {
			setup.out << "records cannot be kept (" << why << "); the station stops\n";
			worst = std::max(worst, static_cast<int>(kFileNotWritten));
			break;
		}
		StationCamera camera;
		camera.number = number;
		if (setup.askUnit) {
			camera.unit = setup.askUnit(number);
			if (!camera.unit)
				break;
		}
		setup.out << "waiting for camera " << number << "...\n" << std::flush;
		if (!waiting.For(true))
			break;
		camera.started = std::time(nullptr);
		std::int64_t startUs = setup.clock.NowUs();
		camera.outcome = setup.runner(setup.job, setup.progress);
		camera.durationUs = setup.clock.NowUs() - startUs;
		// The record is on the station's disk before the operator hears the
		// verdict and takes the camera away.
		camera.notKept = setup.finished ? setup.finished(camera) : "";
		bool success = camera.outcome.status == kSuccess;
		(!success ? failed : camera.notKept.empty() ? passed : unrecorded)++;
		worst = std::max(worst, camera.outcome.status);
		setup.out << StationLine(camera) << '\n' << std::flush;
		if (!camera.notKept.empty()) {
			setup.out << "the record of camera " << number << " was not kept (" << camera.notKept
				  << "); the station stops\n";
			worst = std::max(worst, static_cast<int>(success ? kNotRecorded : kFileNotWritten));
			break;
		}
		if (camera.outcome.status == kInterrupted)
			break;
		setup.out << "remove camera " << number << '\n' << std::flush;
		if (!waiting.For(false))
			break;
	}
	if (waiting.BusUnopenable())
		worst = std::max(worst, static_cast<int>(kBusFailure));
	if (setup.terminal && StopRequested())
		setup.out << '\n';
	int cameras = passed + failed + unrecorded;
	setup.out << cameras << (cameras == 1 ? " camera: " : " cameras: ") << passed << " passed, " << failed
		  << " failed";
	if (unrecorded > 0)
		setup.out << ", " << unrecorded << " not recorded";
	setup.out << '\n' << std::flush;
	return worst;
}

} // namespace eeprom_cli
