// A fresh simulated camera for each test: asked for by name (no bus named
// now means the USB adapter), its EEPROM in memory only, time on the
// manual clock so that no test sleeps.
#pragma once

#include "qxiic_sim.h"

#include <cstdlib>

inline void UseFreshSimulatedCamera()
{
	setenv("QXIIC_BUS", "sim", 1);
	setenv("QXIIC_SIM_DIR", "", 1);
	qxiic::sim::Reset();
	qxiic::sim::UseManualClock(true);
}
