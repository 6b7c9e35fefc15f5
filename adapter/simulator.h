// The simulated KL310 and the failures injected into its bus. It lives
// under the library's lock (library.h) like every other shared state.
#pragma once

#include "sim_camera.h"
#include "sim_faults.h"

namespace qxiic {

struct Simulator {
	SimCamera camera;
	SimFaults faults;
};

Simulator &TheSimulator();

} // namespace qxiic
