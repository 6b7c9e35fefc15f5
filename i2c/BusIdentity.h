// Which bus the adapter library talks to, why it could not open one, and
// the buses of the system: what the front ends show, without including
// the adapter's header.
#pragma once

#include "BusName.h"

#include <optional>
#include <string>
#include <vector>

namespace iicbus {

// The bus of every following transfer of the process, as --bus names it
// ("" the one USB-to-I2C adapter present); nullopt: QXIIC_BUS decides, as
// when nothing was chosen. The one way a front end chooses the bus.
void SelectBus(const std::optional<std::string> &bus);

// The bus of a front end on one camera: the one named (--bus, resolved),
// else QXIIC_BUS's value checked as --bus is (null or empty: the library
// finds the adapter). Returns why it is refused, or "" having chosen it.
std::string SelectProcessBus(const std::vector<ResolvedBus> &named, const char *environment);

struct BusIdentity {
	bool known = false;        // false before the thread's first transfer
	bool opened = false;       // the bus of that transfer could be opened
	std::string bus;           // "simulated camera", "CP2112 SMBus Bridge (/dev/i2c-3)", "no adapter"
	std::string reason;        // why it could not be opened
	bool accessDenied = false; // the user may not open its node (EACCES, EPERM)
	int osError = 0;           // the errno with which its node could not be opened, else 0
	int status = -1;           // the adapter's status of that open (QXIIC_OK: opened)
};

// What the calling thread's most recent transfer found.
BusIdentity LastBus();

// Why the bus could not be opened, as every front end says it: the
// adapter library's reason and, when the user may not open the node, what
// to do about it. "" when it was opened or nothing is known yet.
std::string BusReason(const BusIdentity &bus);

// BusReason in parentheses after a transfer's failure, or "".
std::string WhyNotOpened(const BusIdentity &bus);

// BusReason for an operator, without the QXIIC_ALLOW_BUS override: that
// one is for someone certain of what sits on the bus (README, manual page).
std::string OperatorBusReason(const BusIdentity &bus);

// What the adapter library has to tell that is not a transfer's status
// (a trace that cannot be written...), each text once.
std::vector<std::string> TakeNotices();

enum class CameraSeen { NotProbed, Answers, Silent };

struct BusListing {
	std::string node;    // /dev/i2c-N
	std::string adapter; // "?" when its name cannot be read
	bool usb = false;
	bool allowed = false;
	std::string verdict; // "allowed", or why the bus is refused or cannot be opened (BusReason's words)
	CameraSeen camera = CameraSeen::NotProbed;
	int osError = 0; // the errno with which its node could not be opened, else 0
};

// Every i2c-dev bus; only the allowed ones are probed for the camera.
std::vector<BusListing> ScanBuses();

} // namespace iicbus
