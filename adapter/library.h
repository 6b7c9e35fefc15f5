// What the adapter's C calls share whatever the back end: the open
// handles, the clock that stamps each call, the record of the calls, the
// QXIIC_TRACE log and the notices for the caller. One lock guards it all,
// and the simulator too, so a test never sees half a transfer; only an
// i2c-dev transfer in the kernel runs outside it (qxiic.cpp, Carry).
#pragma once

#include "adapter_clock.h"
#include "handle_table.h"
#include "qxiic_sim.h"
#include "trace_log.h"

#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace qxiic {

struct Library {
	std::mutex mutex;
	Clock clock;
	HandleTable handles;
	std::vector<sim::TraceEntry> calls;
	TraceLog log;
	std::set<std::string> noticed;   // every notice ever kept, so none is kept twice
	std::deque<std::string> notices; // not yet taken by IICTakeNotice
};

Library &TheLibrary();

// Keeps a text for the caller (IICTakeNotice), once per text: the program
// opens the bus for every transfer and would repeat it dozens of times.
// The library never prints: only the front end knows where the user looks.
// Caller holds the lock.
void Notice(Library &lib, const std::string &text);

// What the calling thread's last IICInit found (IICBusState). Per thread,
// so that a tool's second thread cannot change the answer in between.
struct BusState {
	int status = -1;
	std::string title;
	std::string reason;
	int osError = 0;
};
BusState &ThreadBusState();

} // namespace qxiic
