// Where a simulated camera keeps its EEPROM between runs, so that what one
// run wrote the next one reads, as with a real camera:
// $QXIIC_SIM_DIR/sim-N.eeprom when that variable is set (set but empty:
// nowhere, the EEPROM lives as long as the process), else
// $XDG_STATE_HOME/velmora/, else ~/.local/state/velmora/. The file holds
// the 2048 bytes as they are.
#pragma once

#include "sim_eeprom.h"

#include <string>

namespace qxiic {

// "" when the camera keeps nothing.
std::string SimEepromFile(int camera);

// A camera taken away for a rehearsal: the file sim-N.absent beside its
// EEPROM file exists. The adapter stays, the camera answers nothing, as
// when an operator pulls it from the fixture; removing the file puts it
// back with the EEPROM it had.
bool SimCameraAbsent(int camera);

// Factory content stays when the file is missing or not 2048 bytes.
void LoadSimEeprom(SimEeprom &eeprom, const std::string &file);

// Writes a new file and renames it over the old one, so that a run that
// dies half-way leaves the previous content. Returns why it failed, or "".
std::string SaveSimEeprom(const SimEeprom &eeprom, const std::string &file);

} // namespace qxiic
