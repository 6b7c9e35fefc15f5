// One picture as every front end shows it: 8-bit RGB, rows top to bottom,
// with the levels the picture window and the snapshot report.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace video {

// The analog picture as a grabber digitises it, and as the simulated
// camera makes it: 720 pixels a line, 576 lines PAL, 480 NTSC.
constexpr int kPictureWidth = 720;
constexpr int kPalLines = 576;
constexpr int kNtscLines = 480;

struct Frame {
	int width = 0;
	int height = 0;
	std::vector<std::uint8_t> rgb; // width * height * 3 bytes, R G B
	std::int64_t number = 0;       // counts from the source's first frame
};

struct Levels {
	double red = 0;
	double green = 0;
	double blue = 0;
	double luma = 0;                            // BT.601 weights, 0..255
	std::array<std::uint32_t, 256> histogram{}; // pixels per luma level
};

Levels Measure(const Frame &frame);

} // namespace video
