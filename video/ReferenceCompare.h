// A frame against the reference picture of a good unit. The image maths
// is OpenCV's, in a module of its own (CompareModule.h) that is opened at
// the first comparison: the tools start without loading OpenCV and the
// panel never loads it.
#pragma once

#include "Frame.h"

#include <string>

namespace video {

struct Likeness {
	double structure = 0;  // SSIM of the grey pictures, about 180 lines high
	double mirrored = 0;   // the same against the reference mirrored left to right,
	double upsideDown = 0; //   upside down,
	double turned = 0;     //   and both
	double offsetX = 0;    // pixels the picture lies right of the reference,
	double offsetY = 0;    //   and down
	double sharpness = 0;  // the picture's edge energy over the reference's
	bool operator==(const Likeness &) const = default;
};

// Opens the comparison module once; false, with why, when it cannot.
bool LoadComparison(std::string &why);

// Compares frame with reference (the same size); false, with why, when
// the module cannot be loaded or the comparison failed.
bool CompareWithReference(const Frame &frame, const Frame &reference, Likeness &out, std::string &why);

} // namespace video
