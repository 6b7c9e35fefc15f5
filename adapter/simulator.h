// The simulated KL310 cameras and the failures injected into their bus.
// They live under the library's lock (library.h) like every other shared
// state. Each camera is its own: registers, EEPROM, plugged or not, and
// the file its EEPROM is kept in between runs (sim_store.h).
#pragma once

#include "sim_camera.h"
#include "sim_faults.h"

#include <array>

namespace qxiic {

constexpr int kSimCameras = 8;

struct Simulator {
	std::array<SimCamera, kSimCameras> cameras;
	// Whether the camera's EEPROM file was read in this process yet.
	std::array<bool, kSimCameras> loaded{};
	// Taken away by its sim-N.absent file (sim_store.h), not by a test.
	std::array<bool, kSimCameras> absentByFile{};
	SimFaults faults;
	// The camera the test interface (qxiic_sim.h) sets up and reads.
	int selected = 0;

	SimCamera &camera() { return cameras[static_cast<std::size_t>(selected)]; }
};

Simulator &TheSimulator();

} // namespace qxiic
