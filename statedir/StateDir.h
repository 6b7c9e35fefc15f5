// Where velmora keeps what outlasts a run, by the XDG base directory rules:
// $XDG_STATE_HOME/velmora (only an absolute XDG_STATE_HOME counts), else
// $HOME/.local/state/velmora. The station's journals live there, and so do
// the simulated cameras unless $QXIIC_SIM_DIR moves them.
#pragma once

#include <string>

namespace statedir {

// "" when neither variable names a folder.
std::string VelmoraStateDir();

// The simulated cameras' folder: $QXIIC_SIM_DIR when it is set, else
// VelmoraStateDir(). "" when they keep nothing; inMemory then says whether
// that was asked for (QXIIC_SIM_DIR set but empty).
std::string SimCamerasDir(bool &inMemory);

// Camera n's file of one kind ("eeprom", "picture"...): DIR/sim-n.kind,
// or "" when the simulated cameras keep nothing.
std::string SimCameraFile(int camera, const std::string &kind);

} // namespace statedir
