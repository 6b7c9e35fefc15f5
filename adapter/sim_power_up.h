// What the simulated KL310 does as it powers up, as the real camera does:
// its sensor starts from its power-on values, takes the image trim stored
// in EEPROM page 4 (bytes 0 and 1; 0xFF: none stored, the power-on trim
// stays) and plays the settings script of page 3 from its first byte,
// record (register, value) after record, up to the first record of
// register 0xFFFF (the page's erased rest) or the page's end.
#pragma once

#include "sim_camera.h"

namespace qxiic {

void PowerUp(SimCamera &camera);

} // namespace qxiic
