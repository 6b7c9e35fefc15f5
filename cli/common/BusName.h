// The buses of a command line, resolved before anything is touched, so
// that one camera is never reached under two names and a bus that cannot
// exist is a usage error rather than a failure found half-way.
#pragma once

#include <string>
#include <vector>

namespace tool {

struct ResolvedBus {
	std::string given; // as typed, for messages and records
	// What the adapter library is asked to open: "sim" is "sim:0"; a path
	// is the node it leads to (a udev symlink followed).
	std::string resolved;
	// The camera itself: "sim:N", or "i2c-dev N" from the node's minor
	// number, so that two nodes of one adapter are one camera. A missing
	// path is its own name (it may be an adapter not plugged in yet).
	std::string identity;
};

// Resolves one --bus value; on refusal returns why (and leaves out alone).
// Refused: "sim:" followed by anything but 0 to 7, a word that is no bus,
// a path that exists and is not an i2c-dev character device.
std::string ResolveBus(const std::string &given, ResolvedBus &out);

// Every value of --bus; refuses the first that cannot be a bus, and the
// same camera named twice (both spellings named).
std::string ResolveBuses(const std::vector<std::string> &given, std::vector<ResolvedBus> &out);

// For commands on one camera: several --bus are refused, not the last kept.
std::string OneBus(const std::vector<std::string> &given);

} // namespace tool
