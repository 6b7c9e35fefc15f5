// What the adapter's C calls share whatever the back end: the open
// handles, the clock that stamps each call, the record of the calls, the
// QXIIC_TRACE log and the notices already shown. One lock guards it all,
// and the simulator too, so a test never sees half a transfer.
#pragma once

#include "adapter_clock.h"
#include "handle_table.h"
#include "qxiic_sim.h"
#include "trace_log.h"

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
	std::set<std::string> noticed;
};

Library &TheLibrary();

// Tells the user on standard error why a bus cannot be used, once per
// text: the program opens the bus for every transfer and would repeat it
// dozens of times. Caller holds the lock.
void Notice(Library &lib, const std::string &text);

} // namespace qxiic
