// The look at a camera's picture at the end of the production line: a few
// frames from its capture device, checked against the camera's own video
// standard, the overlays its settings script turns on, the limits of the
// scene it looks at (FrameLimits.h) and, where the limits name one, the
// reference picture of a good unit (ReferenceCompare.h). Every value is
// measured whether or not an earlier check failed, so a record holds them
// all.
#pragma once

#include "FrameLimits.h"
#include "FrameSource.h"
#include "ReferenceCompare.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace video {

struct FrameExpectation {
	bool pal = true;                // register 0x4000's standard
	std::array<bool, 4> overlays{}; // turned on by the settings script
};

// The frame check's outcome: passed, or the first check that failed, in
// this order. A turned picture makes every later value meaningless, and a
// wrong exposure or balance is told as such before the comparisons with
// the reference that it also spoils.
enum class FrameVerdict {
	Passed,
	NoSignal,
	Standard,
	Frozen,
	Orientation,
	Luminance,
	Colour,
	Position,
	Sharpness,
	Structure,
	Overlay,
};

// The verdict's word in messages, records and the summary's page:
// "passed", "no signal", "standard", "frozen", "orientation", "luminance",
// "colour", "position", "sharpness", "structure", "overlay".
const char *VerdictWord(FrameVerdict verdict);

// How the picture lies against the reference, by which of its turns
// matches best.
enum class Orientation { Straight, Mirrored, UpsideDown, MirroredUpsideDown };
// "straight", "mirrored", "upside down", "mirrored and upside down".
const char *OrientationWord(Orientation orientation);

// The comparison with the reference (FrameLimits::reference) as measured.
struct ReferenceValues {
	Likeness likeness;
	Orientation orientation = Orientation::Straight;
	double offset = 0; // pixels, the length of (offsetX, offsetY)
	bool operator==(const ReferenceValues &) const = default;
};

struct FrameReport {
	FrameVerdict verdict = FrameVerdict::Passed;
	std::string cause;  // the failure in words where its values do not say it; "" else
	std::string values; // the measured values and their limits, one line
	int frames = 0;     // taken
	int width = 0;      // of the last frame
	int height = 0;
	std::string standardExpected; // "PAL" or "NTSC"
	std::string standardSeen;     // by the frame's lines; "" without a frame
	double luminance = 0;         // of the grey area
	double redGreen = 0;
	double blueGreen = 0;
	std::int64_t movingPixels = 0;
	std::vector<int> overlaysExpected; // 1..4
	std::vector<int> overlaysSeen;
	std::optional<ReferenceValues> reference; // with a reference in the limits
	std::string thumbnailPng;                 // of the last frame; "" without one
	bool Passed() const { return verdict == FrameVerdict::Passed; }
	bool operator==(const FrameReport &) const = default;
};

// Checks frames taken from a source; the last one is measured and shown.
FrameReport CheckFrames(const std::vector<Frame> &frames, const FrameExpectation &expect,
			const FrameLimits &limits);

// Takes limits.frames frames from source (none after the first it does
// not give) and checks them.
FrameReport CheckPicture(FrameSource &source, const FrameExpectation &expect, const FrameLimits &limits);

// Which standard a frame's lines say: 576 and more lines PAL, else NTSC.
const char *StandardOfLines(int height);

} // namespace video
