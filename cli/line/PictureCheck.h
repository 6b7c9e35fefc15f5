// --frame-check: after a camera's EEPROM was programmed and verified, the
// camera is brought to the state of its next power-up and its picture is
// checked (video/FrameCheck.h). No adapter of this program can switch the
// camera's power, so the tool does what the camera does as it powers up:
// it puts every register a tool or the panel changes back to its power-up
// value (SENSOR_POWER_UP in the register map), sets the image trim stored
// in EEPROM page 4 (bytes 0 and 1, unless 0xFF) and plays the settings
// script of page 3 from its first byte, one record (register, value) after
// another, up to the first record of register 0xFFFF (the erased rest of
// the page) or the page's end.
#pragma once

#include "BusName.h"
#include "CameraRun.h"
#include "FrameCheck.h"
#include "FrameLimits.h"
#include "FrameSource.h"
#include "Options.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace eeprom_cli {

struct FrameCheckSetup {
	video::FrameLimits limits;
	std::string limitsPath;                   // as given: the camera processes read it again
	std::map<std::string, std::string> video; // bus as resolved -> capture device (--video)
	video::WaitUntil wait{};                  // the simulated picture's pacing; empty: real time
};

// What the command line asks of the frame check: --frame-check with
// program and --limits; --limits and --video only with --frame-check.
// "" or why not.
std::string CheckFrameCheckOptions(const tool::CommandLine &cl);

// The setup the command line gives for the cameras on buses: the limits
// read and every camera with a picture to look at. "" or why not.
std::string FrameCheckOf(const tool::CommandLine &cl, const std::vector<iicbus::ResolvedBus> &buses,
			 FrameCheckSetup &setup);

// "--video BUS=DEV" into setup.video, the bus resolved as --bus resolves
// it; "" or why not.
std::string AddVideoPairing(const std::string &pairing, FrameCheckSetup &setup);

// Where bus's picture comes from: its --video device, else "sim" for a
// simulated camera (its own picture), else "" (none).
std::string VideoOf(const FrameCheckSetup &setup, const std::string &bus);

// A script record as the camera plays it.
struct ScriptRecord {
	std::uint16_t reg = 0;
	std::uint16_t value = 0;
};
// The records of page 3 as the camera plays them at power-up.
std::vector<ScriptRecord> PowerUpRecords(const std::array<std::uint8_t, 256> &page);
// The overlays (1..4 as 0..3) on once the records have played over the
// sensor's power-up values.
std::array<bool, 4> OverlaysTurnedOn(const std::vector<ScriptRecord> &records);

// After a verified program run (programmed): the power-up state, then the
// picture of the camera on bus. The outcome stays programmed's with the
// frame's values, or becomes kFrameFailed ("frame: colour: ...").
CommandResult CheckCameraPicture(const CommandResult &programmed, const std::string &bus,
				 const FrameCheckSetup &setup);

// runner with the frame check after each program run that verified.
CameraRunner WithFrameCheck(CameraRunner runner, const FrameCheckSetup *setup);

} // namespace eeprom_cli
