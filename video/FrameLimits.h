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
#pragma once

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

struct FrameLimits {
	int frames = 5;
	Area grey;
	Range luminance;
	Range redGreen;
	Range blueGreen;
	long movingPixels = 1;
	std::array<std::optional<OverlayLook>, 4> overlays{};
};

// The limits in text; nullopt with why ("line 3: ...") when it is not
// such a file or a required setting is missing.
std::optional<FrameLimits> ParseFrameLimits(const std::string &text, std::string &why);

// The file's limits; why names the file when it cannot be read or used.
std::optional<FrameLimits> ReadFrameLimits(const std::string &path, std::string &why);

} // namespace video
