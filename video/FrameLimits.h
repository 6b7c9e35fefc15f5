// What a camera's picture must show at the end of the line, from a small
// text file: which area of the picture is grey in the scene the camera
// looks at, how bright and how neutral that area must be, how much of the
// picture must move, and where each overlay is drawn.
//
// One setting per line, '#' starts a comment; areas are fractions of the
// picture's width and height (left top right bottom), so one file serves
// PAL and NTSC. Every number must lie in the range given here, and a
// setting (an overlay: its number) appears once:
//
//   frames N                  frames taken, 2..25 (default 5)
//   grey-area L T R B         the grey area (required)
//   luminance MIN MAX         its mean luma, BT.601, 0..255 (required)
//   red-green MIN MAX         its mean red / mean green (required)
//   blue-green MIN MAX        its mean blue / mean green (required)
//   moving-pixels N           at least N pixels whose luma changes by more
//                             than 12 between the first and the last frame
//                             (default 1)
//   overlay K L T R B R G B T overlay K (1..4): its area, its colour and
//                             how far (0..255) each channel's mean may be
//                             from it; an overlay the settings script
//                             turns on without an area here is not looked
//                             for
//
// A picture of a good unit (velmora-eeprom snapshot of a golden unit),
// compared with each frame; its file relative to the limits file:
//
//   reference FILE            a PNG of 720x576 (PAL) or 720x480 (NTSC)
//   structure MIN             the grey pictures' structural similarity
//                             (SSIM, -1..1; 1 the same) at least MIN (0..1)
//   position MAX              the picture lies at most MAX pixels from
//                             where the reference's lies: the unit's own
//                             image trim was applied
//   sharpness MIN             its edge energy at least MIN times the
//                             reference's (a soft lens lowers it)
//   orientation MARGIN        the reference mirrored, upside down or both
//                             matching the picture by more than MARGIN
//                             (0..1, default 0.1) better than the
//                             reference itself names the turn
// structure, position and sharpness are required with a reference and
// go only with one.
#pragma once

#include "Frame.h"

#include <array>
#include <optional>
#include <string>

namespace video {

struct Area {
	double left = 0, top = 0, right = 0, bottom = 0;
};

struct Range {
	double min = 0, max = 0;
	bool Holds(double v) const { return v >= min && v <= max; }
};

struct OverlayLook {
	Area area;
	std::array<int, 3> colour{};
	int tolerance = 0;
};

struct ReferenceLimits {
	std::string file; // as written
	int line = 0;     // where
	Frame picture;    // read by ReadFrameLimits
	double structure = 0;
	double position = 0;
	double sharpness = 0;
	double orientation = 0.1;
};

struct FrameLimits {
	int frames = 5;
	Area grey;
	Range luminance;
	Range redGreen;
	Range blueGreen;
	long movingPixels = 1;
	std::array<std::optional<OverlayLook>, 4> overlays{};
	std::optional<ReferenceLimits> reference;
};

// The limits in text, the reference's picture not yet read; nullopt with
// why ("line 3: ...") when it is not such a file or a required setting is
// missing.
std::optional<FrameLimits> ParseFrameLimits(const std::string &text, std::string &why);

// The reference's picture, its file relative to folder; "" or why not
// ("line 9: ...").
std::string ReadReference(ReferenceLimits &reference, const std::string &folder);

// The file's limits with the reference's picture; why names the file when
// it cannot be read or used.
std::optional<FrameLimits> ReadFrameLimits(const std::string &path, std::string &why);

} // namespace video
