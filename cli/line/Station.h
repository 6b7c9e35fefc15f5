// Station mode: one adapter, cameras swapped by an operator. Wait for a
// camera, program and verify it, say PASS or FAIL in one line, wait until
// it is gone, and again, until Ctrl+C.
#pragma once

#include "CameraRun.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

namespace eeprom_cli {

// One look at the fixture: a camera answers, or not; or the bus itself
// could not be opened, and why (missing, refused, permission denied).
struct Presence {
	bool answers = false;
	std::string unopenable; // empty when the bus opened
};

class PresenceProbe
{
public:
	virtual ~PresenceProbe() = default;
	virtual Presence Look() = 0;
};

// The EEPROM's first byte read on the bus chosen for the process.
class EepromProbe final : public PresenceProbe
{
public:
	Presence Look() override;
};

struct StationCamera {
	int number = 0; // 1 for the session's first camera
	std::optional<std::string> unit;
	CommandResult outcome;
	// Why its record could not be kept; empty when it was (or none is kept).
	std::string notKept;
	std::time_t started = 0;
	std::int64_t durationUs = 0;
};

struct StationSetup {
	CameraJob job; // program, with its image
	CameraRunner runner;
	PresenceProbe &probe;
	tool::ToolClock &clock;
	std::ostream &out;
	tool::Progress &progress;
	// After each camera, its record: empty when kept, else why not. A
	// record lost ends the session: a unit without one cannot ship.
	std::function<std::string(const StationCamera &)> finished;
	// --ask-unit: the unit of camera number, read before it is awaited;
	// nullopt ends the session (end of input, Ctrl+C). Empty: no units.
	std::function<std::optional<std::string>(int number)> askUnit{};
	// The terminal echoes ^C where the cursor is.
	bool terminal = false;
	// At every look while waiting: what else there is to say (the records'
	// way to the database). Empty: nothing.
	std::function<void()> look{};
	// Before each camera: empty when its record can be kept, else why not
	// (the journal's disk is full, its file gone); the session then stops.
	std::function<std::string()> ready{};
};

// How often the probe looks while waiting for a camera to come or go, and
// how many looks in a row must agree: a camera being pushed into its
// socket may answer once and then not, and one read lost to noise is no
// removal. 3 x 250 ms decides within 0.75 s, quicker than a hand.
constexpr std::int64_t kPresencePollUs = 250000;
constexpr int kAgreeingLooks = 3;

// Returns 0 when every camera passed, otherwise the worst status seen: at
// least kBusFailure when the bus could not be opened at the end,
// kNotRecorded when a programmed camera's record was lost, and
// kFileNotWritten when a failed one's was or no record could be kept.
int RunStation(const StationSetup &setup);

// "PASS cam 12: ..." / "FAIL cam 12: page 3 byte 0x10 ..." /
// "UNRECORDED cam 12: programmed but not recorded ...": said only once the
// record is kept, or known lost.
std::string StationLine(const StationCamera &camera);

} // namespace eeprom_cli
