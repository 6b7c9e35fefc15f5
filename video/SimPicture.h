// The simulated camera's picture: a fixed test scene (colour bars, a grey
// ramp, a fine-line wedge, a face-sized shape and a marker that moves
// from frame to frame) as the sensor outputs it from its own registers.
//
// How each register shapes the picture:
//   0x4000 bit 1        PAL 720x576, else NTSC 720x480
//   0xC892 / 0xC894     image trim 0..46: the picture moves right by
//                       23 - horizontal trim pixels (0 = furthest right)
//                       and down by 23 - vertical trim lines; the scene's
//                       edge pixels fill what the move uncovers
//   0x301C bit 0 / 1    mirror (columns swapped) / flip (rows swapped)
//   0xA804 low 4 bits   not zero: automatic exposure, the levels scale by
//                       reference 0xA812 / 0x50; zero: manual, the levels
//                       scale by shutter 0x3012 / 0xA6 times gain
//                       (0x3056 low 7 bits) / 0x30
//   0xAC04              0x00FF: the camera balances itself (no cast);
//                       otherwise red scales by 0xAC48 / 0x50 and blue by
//                       0xAC4A / 0x50 (manual gains, or the ones the last
//                       push-to-white measured)
//   0x326C bits 13..11  sharpness 0..7, 3 leaves edges as they are: each
//                       level gains (s - 3) * (2 v - left - right) / 8
//   0x4F02 bit 15       overlays on; then each of 0x4F08..0x4F0E with
//                       bit 15 draws its overlay over the picture, in
//                       place whatever mirror, flip and trim do
// Levels are clipped to 0..255. The same registers and frame number give
// the same pixels.
#pragma once

#include "Frame.h"

#include <cstdint>

namespace video {

struct SensorState {
	std::uint16_t videoStandard = 0x0006;
	std::uint16_t trimHorizontal = 0;
	std::uint16_t trimVertical = 0;
	std::uint16_t mirrorFlip = 0x0100;
	std::uint16_t exposureMode = 0x000F;
	std::uint16_t exposureReference = 0x0050;
	std::uint16_t shutter = 0x00A6;
	std::uint16_t gain = 0x1030;
	std::uint16_t wbMode = 0x00FF;
	std::uint16_t redGreen = 0x0050;
	std::uint16_t blueGreen = 0x0050;
	std::uint16_t sharpness = 0x1880; // sharpness 3
	std::uint16_t overlayEnable = 0x0000;
	std::uint16_t overlay[4] = { 0x0000, 0x0001, 0x0002, 0x0003 };
};

// What the lens and the sensor's mounting do to the scene before the
// sensor's processing (the picture faults of SimPictureFaults.h): a lens
// off centre moves the scene by shiftX, shiftY pixels (right, down), one
// out of focus blurs it over blur pixels each side.
struct Optics {
	int shiftX = 0;
	int shiftY = 0;
	int blur = 0;
};

// Reads the registers above from the camera on the bus the process
// selected, with one open of the adapter. False when a read failed; state
// is then left as it was.
bool ReadSensorState(SensorState &state);

// Frame size the standard register selects.
int PictureWidth(const SensorState &state);
int PictureHeight(const SensorState &state);

void RenderSimPicture(const SensorState &state, std::int64_t frameNumber, Frame &frame,
		      const Optics &optics = {});

} // namespace video
