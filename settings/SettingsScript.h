// The settings script that "Save " writes into EEPROM page 3: 4-byte
// records (register high, register low, value high, value low) that the
// camera applies at power-up, and the freeze-gain marker of page 1 that
// the panel reads back at connection.
#pragma once

#include "registers.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
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

	bool operator==(const ScriptValues &) const = default;
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

// A page-3 script read back record by record: the inverse of
// BuildSettingsScript for every script it writes.
struct DecodedScript {
	enum class State {
		Empty,    // no script: the page is erased (all 0xFF)
		Complete, // a script as Save writes it, then only 0xFF
		Damaged,  // records Save never writes; see problem
	};
	State state = State::Empty;
	// Complete: every recorded value. Values the script does not record
	// stay 0 or false (autoWb, freezeGain and overlayEnable follow from
	// which records are present).
	ScriptValues values;
	std::size_t length = 0; // bytes of script
	// Damaged: the byte offset of the first record that does not fit,
	// and what was found there.
	std::size_t failedAt = 0;
	std::string problem;
};

// bytes: page 3 from the script's first byte to the end of the page.
DecodedScript DecodeSettingsScript(std::span<const std::uint8_t> bytes);

// True when a script of this length, written from offset on, stays inside
// its EEPROM page: sub-addresses past 0xFF would wrap to the page's start
// and overwrite the script itself.
bool ScriptFitsPage(int offset, std::size_t length);

} // namespace settings
