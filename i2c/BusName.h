// What a bus name means, for every front end alike: the panel and both
// tools resolve --bus and QXIIC_BUS here, before anything is touched, so
// that one camera is never reached under two names and a bus that cannot
// exist is refused in the same words everywhere.
#pragma once

#include <string>
#include <vector>

namespace iicbus {

// What a bus may be, for help texts and refusals.
inline constexpr char kBusChoices[] = "/dev/i2c-N, sim or sim:0 to sim:7, or none";

enum class BusKind {
	FoundAdapter, // "": the one USB-to-I2C adapter present
	Simulated,    // sim, sim:0 .. sim:7
	Node,         // /dev/i2c-N or a udev link to it
	NoBus,        // none: no camera at all, as when none is plugged in
};

struct ResolvedBus {
	std::string given; // as typed, for messages and records
	// What the adapter library is asked to open: "sim" is "sim:0"; a path
	// is the node it leads to (a udev symlink followed).
	std::string resolved;
	// The camera itself: "sim:N", or "i2c-dev N" from the node's minor
	// number, so that two nodes of one adapter are one camera. A missing
	// path is its own name (it may be an adapter not plugged in yet).
	std::string identity;
	BusKind kind = BusKind::FoundAdapter;
	int simCamera = -1; // 0..7 for a simulated camera, else -1
};

// Resolves one bus name; on refusal returns why (and leaves out alone).
// Refused: "sim:" followed by anything but 0 to 7, a word that is no bus,
// a path that exists and is not an i2c-dev character device.
std::string ResolveBus(const std::string &given, ResolvedBus &out);

// Every value of --bus; refuses the first that cannot be a bus, and the
// same camera named twice (both spellings named).
std::string ResolveBuses(const std::vector<std::string> &given, std::vector<ResolvedBus> &out);

// For front ends on one camera: several --bus are refused, not the last kept.
std::string OneBus(const std::vector<std::string> &given);

// QXIIC_BUS's value (null or empty: unset), checked as --bus is; on
// refusal returns why, prefixed "QXIIC_BUS: ". out is the found adapter's
// bus when nothing is named.
std::string EnvironmentBus(const char *value, ResolvedBus &out);

} // namespace iicbus
