// What the panel says about the bus it talks to: in its title bar, in the
// About box, and after the adapter's message when no bus could be opened.
#pragma once

#include "BusIdentity.h"

#include <string>

// "Velmora - simulated camera"; "Velmora" before the first transfer.
std::string BusWindowTitle(const iicbus::BusIdentity &bus);

// The About box's line on the bus.
std::string BusAboutText(const iicbus::BusIdentity &bus);

// The adapter's message, followed by why the bus could not be opened and
// what to do about it; the message alone when the bus was open.
std::string BusFailureMessage(const char *adapterMessage, const iicbus::BusIdentity &bus);
