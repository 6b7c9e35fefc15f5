// All simulator state in one place, behind one lock. The lock also
// serialises the adapter's C calls: they append to the trace and read the
// clock whatever the back end, and the program is single-threaded anyway.
#pragma once

#include "qxiic_sim.h"
#include "sim_camera.h"
#include "sim_clock.h"
#include "sim_faults.h"

#include <mutex>
#include <vector>

namespace qxiic {

struct Simulator {
	std::mutex mutex;
	SimClock clock;
	SimCamera camera;
	SimFaults faults;
	std::vector<sim::TraceEntry> trace;
};

Simulator &TheSimulator();

} // namespace qxiic
