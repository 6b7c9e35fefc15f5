// Station mode: one adapter, cameras swapped by an operator. Wait for a
// camera, program and verify it, say PASS or FAIL in one line, wait until
// it is gone, and again, until Ctrl+C.
#pragma once

#include "CameraRun.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <iosfwd>

namespace eeprom_cli {

class PresenceProbe
{
public:
	virtual ~PresenceProbe() = default;
	virtual bool CameraAnswers() = 0;
	// Why the bus of the last CameraAnswers could not be opened, or "".
	virtual std::string BusTrouble() { return {}; }
};

// The EEPROM's first byte read on the bus chosen for the process.
class EepromProbe final : public PresenceProbe
{
public:
	bool CameraAnswers() override;
	std::string BusTrouble() override;
};

struct StationCamera {
	int number = 0; // 1 for the session's first camera
	Outcome outcome;
	std::time_t started = 0;
	std::int64_t durationUs = 0;
};

struct StationSetup {
	CameraJob job; // program, with its image
	CameraRunner runner;
	PresenceProbe &probe;
	ToolClock &clock;
	std::ostream &out;
	Progress &progress;
	// After each camera, e.g. for its record.
	std::function<void(const StationCamera &)> finished;
};

// How often the probe asks while waiting for a camera to come or go.
constexpr std::int64_t kPresencePollUs = 250000;

// Returns 0 when every camera passed, otherwise the worst status seen.
int RunStation(const StationSetup &setup);

// "PASS cam 12 ..." / "FAIL cam 12 page 3 byte 0x10 ..."
std::string StationLine(const StationCamera &camera);

} // namespace eeprom_cli
