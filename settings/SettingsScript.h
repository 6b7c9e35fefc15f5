// The settings script that "Save " writes into EEPROM page 3: 4-byte
// records (register high, register low, value high, value low) that the
// camera applies at power-up, and the freeze-gain marker of page 1 that
// the panel reads back at connection.
#pragma once

#include "registers.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace settings {

// What the script records: the panel's cached values and check states,
// and the two registers read from the camera just before writing.
struct ScriptValues {
	int reg301C = 0;
	int reg3254 = 0;
	bool autoWb = false;
	std::array<std::int32_t, kl310::WB_SNAPSHOT_SIZE> wbSnapshot{};
	std::int32_t regAC4E = 0;
	bool overlayEnable = false;
	std::array<bool, 4> overlays{};
	std::int32_t reg326C = 0;
	bool manualExposure = false;
	std::int32_t shutter = 0;
	std::int32_t aexRef = 0;
	bool freezeGain = false;
	std::int32_t gain3056 = 0;
	std::int32_t gain3058 = 0;
	std::int32_t gain305A = 0;
	std::int32_t gain305C = 0;
	std::int32_t regA838 = 0;
	std::int32_t regA83A = 0;
};

struct SettingsScript {
	std::vector<std::uint8_t> bytes;
	// The marker is written between script bytes: just before
	// bytes[markerBefore] (markerBefore == bytes.size(): after the last).
	std::size_t markerBefore = 0;
	std::uint8_t marker = kl310::MARKER_OFF;
	// Bytes [quietBegin, quietEnd) advance no progress step.
	std::size_t quietBegin = 0;
	std::size_t quietEnd = 0;
};

constexpr std::size_t kRecordSize = 4;
constexpr std::size_t kShortestScript = 24;
constexpr std::size_t kLongestScript = 180;

SettingsScript BuildSettingsScript(const ScriptValues &values);

// True when a script of this length, written from offset on, stays inside
// its EEPROM page: sub-addresses past 0xFF would wrap to the page's start
// and overwrite the script itself.
bool ScriptFitsPage(int offset, std::size_t length);

} // namespace settings
