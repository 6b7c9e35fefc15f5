// Faults of a simulated camera's picture, for rehearsing a production
// line: a file sim-N.picture beside the camera's EEPROM (sim-N.eeprom, in
// $QXIIC_SIM_DIR, else $XDG_STATE_HOME/velmora/, else
// ~/.local/state/velmora/), read before every frame, so that a fault set
// or removed shows in the next one. One fault a line, '#' starts a comment:
//
//   no-signal          no picture at all
//   frozen             the same frame again and again
//   wrong-standard     NTSC where register 0x4000 says PAL, and the reverse
//   cast RED GREEN BLUE  each channel's levels times its factor (0..4),
//                      e.g. "cast 1.4 1 0.8" for a reddish picture
//
// and the assembly faults an end-of-line check is there to find:
//
//   mirrored           a sensor mounted mirrored: the scene left to right
//                      (the overlays, drawn by the camera, stay in place)
//   upside-down        a sensor mounted upside down
//   shifted DX DY      a lens or sensor off centre: the scene DX pixels
//                      right and DY down (-100..100 each; negative left, up)
//   soft N             a lens out of focus: the scene blurred over N
//                      pixels each side (1..20)
//
// No file: no fault. A file that cannot be read or holds anything else is
// said once, and the picture has no fault.
#pragma once

#include <array>
#include <string>

namespace video {

struct SimPictureFaults {
	bool noSignal = false;
	bool frozen = false;
	bool wrongStandard = false;
	std::array<double, 3> cast{ 1, 1, 1 };
	bool mirrored = false;
	bool upsideDown = false;
	int shiftX = 0;
	int shiftY = 0;
	int soft = 0;
	bool operator==(const SimPictureFaults &) const = default;
};

// The file of camera (0..7); "" when the simulated cameras keep nothing.
std::string SimPictureFaultsPath(int camera);

// The faults the text names; why ("line 2: ...") when it names something else.
SimPictureFaults ParseSimPictureFaults(const std::string &text, std::string &why);

// The faults of the file at path; none when there is no file.
SimPictureFaults ReadSimPictureFaults(const std::string &path, std::string &why);

} // namespace video
