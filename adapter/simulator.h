// The simulated KL310 cameras and the failures injected into their bus.
// They live under the library's lock (library.h) like every other shared
// state. Each camera is its own: registers, EEPROM, plugged or not, and
// the files it is kept in between runs (sim_store.h).
#pragma once

#include "sim_camera.h"
#include "sim_faults.h"
#include "sim_store.h"

#include <array>

namespace qxiic {

constexpr int kSimCameras = 8;

struct Simulator {
	std::array<SimCamera, kSimCameras> cameras;
	// What this process last saw of each camera's files (sim_store.h).
	std::array<SimSeen, kSimCameras> seen{};
	SimFaults faults;
	// The camera the test interface (qxiic_sim.h) sets up and reads.
	int selected = 0;

	SimCamera &camera() { return cameras[static_cast<std::size_t>(selected)]; }
};

Simulator &TheSimulator();

} // namespace qxiic
