#include "FrameCheck.h"

#include "Thumbnail.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace video {
namespace {

// A pixel moves when its luma changes by more than noise would.
constexpr int kMotionStep = 12;

struct Box {
	int x0, y0, x1, y1;
};

Box BoxOf(const Area &a, int width, int height)
{
	auto at = [](double f, int size) {
		return std::clamp(static_cast<int>(std::lround(f * size)), 0, size);
	};
	Box b{ at(a.left, width), at(a.top, height), at(a.right, width), at(a.bottom, height) };
	// At least one pixel, however small the picture.
	b.x1 = std::max(b.x1, std::min(b.x0 + 1, width));
	b.y1 = std::max(b.y1, std::min(b.y0 + 1, height));
	b.x0 = std::min(b.x0, b.x1 - 1);
	b.y0 = std::min(b.y0, b.y1 - 1);
	return b;
}

std::array<double, 3> MeanOf(const Frame &f, const Area &area)
{
	const Box b = BoxOf(area, f.width, f.height);
	std::array<double, 3> sum{};
	for (int y = b.y0; y < b.y1; y++) {
		const std::uint8_t *p = &f.rgb[static_cast<std::size_t>((y * f.width + b.x0) * 3)];
		for (int x = b.x0; x < b.x1; x++, p += 3)
			for (int c = 0; c < 3; c++)
				sum[static_cast<std::size_t>(c)] += p[c];
	}
	const double n = static_cast<double>((b.x1 - b.x0) * (b.y1 - b.y0));
	for (double &s : sum)
		s /= n;
	return sum;
}

int Luma(const std::uint8_t *p)
{
	return static_cast<int>((77u * p[0] + 150u * p[1] + 29u * p[2] + 128u) >> 8);
}

std::int64_t MovingPixels(const Frame &first, const Frame &last)
{
	if (first.width != last.width || first.height != last.height)
		return static_cast<std::int64_t>(last.width) * last.height;
	std::int64_t moved = 0;
	const std::size_t pixels = static_cast<std::size_t>(last.width) *
				   static_cast<std::size_t>(last.height);
	for (std::size_t i = 0; i < pixels; i++)
		moved += std::abs(Luma(&first.rgb[i * 3]) - Luma(&last.rgb[i * 3])) > kMotionStep;
	return moved;
}

std::string Number(double v, const char *format)
{
	char text[32];
	std::snprintf(text, sizeof(text), format, v);
	return text;
}

std::string InRange(const char *name, double v, const Range &r, const char *format)
{
	return std::string(name) + " " + Number(v, format) + " (" + Number(r.min, format) + ".." +
	       Number(r.max, format) + ")";
}

std::string List(const std::vector<int> &numbers)
{
	if (numbers.empty())
		return "none";
	std::string text;
	for (int n : numbers)
		text += (text.empty() ? "" : " ") + std::to_string(n);
	return text;
}

bool Valid(const Frame &f)
{
	return f.width > 0 && f.height > 0 &&
	       f.rgb.size() >= static_cast<std::size_t>(f.width) * static_cast<std::size_t>(f.height) * 3;
}

// Which turn of the reference the picture matches, when one matches it
// by more than margin better than the reference as it is.
Orientation TurnOf(const Likeness &l, double margin)
{
	const std::pair<double, Orientation> turns[] = { { l.mirrored, Orientation::Mirrored },
							 { l.upsideDown, Orientation::UpsideDown },
							 { l.turned, Orientation::MirroredUpsideDown } };
	Orientation best = Orientation::Straight;
	double bestStructure = l.structure + margin;
	for (const auto &[structure, turn] : turns)
		if (structure > bestStructure) {
			bestStructure = structure;
			best = turn;
		}
	return best;
}

std::string ReferenceText(const ReferenceValues &v, const ReferenceLimits &limits)
{
	return "structure " + Number(v.likeness.structure, "%.2f") + " (at least " +
	       Number(limits.structure, "%.2f") + "), offset " + Number(v.offset, "%.1f") + " px (at most " +
	       Number(limits.position, "%.1f") + "), sharpness " + Number(v.likeness.sharpness, "%.2f") +
	       " (at least " + Number(limits.sharpness, "%.2f") + ")";
}

} // namespace

const char *VerdictWord(FrameVerdict verdict)
{
	switch (verdict) {
	case FrameVerdict::Passed:
		return "passed";
	case FrameVerdict::NoSignal:
		return "no signal";
	case FrameVerdict::Standard:
		return "standard";
	case FrameVerdict::Frozen:
		return "frozen";
	case FrameVerdict::Orientation:
		return "orientation";
	case FrameVerdict::Luminance:
		return "luminance";
	case FrameVerdict::Colour:
		return "colour";
	case FrameVerdict::Position:
		return "position";
	case FrameVerdict::Sharpness:
		return "sharpness";
	case FrameVerdict::Structure:
		return "structure";
	case FrameVerdict::Overlay:
		return "overlay";
	}
	return "?";
}

const char *OrientationWord(Orientation orientation)
{
	switch (orientation) {
	case Orientation::Straight:
		return "straight";
	case Orientation::Mirrored:
		return "mirrored";
	case Orientation::UpsideDown:
		return "upside down";
	case Orientation::MirroredUpsideDown:
		return "mirrored and upside down";
	}
	return "?";
}

const char *StandardOfLines(int height)
{
	return height >= kPalLines ? "PAL" : "NTSC";
}

FrameReport CheckFrames(const std::vector<Frame> &frames, const FrameExpectation &expect,
			const FrameLimits &limits)
{
	FrameReport r;
	r.frames = static_cast<int>(frames.size());
	r.standardExpected = expect.pal ? "PAL" : "NTSC";
	for (int i = 0; i < 4; i++)
		if (expect.overlays[static_cast<std::size_t>(i)])
			r.overlaysExpected.push_back(i + 1);
	if (frames.empty() || !std::all_of(frames.begin(), frames.end(), Valid)) {
		r.verdict = FrameVerdict::NoSignal;
		r.values = "no picture from the capture device, " + r.standardExpected + " expected";
		// What a monitor shows: black, at the size the camera should send.
		Frame black;
		black.width = kThumbnailWidth;
		black.height = kThumbnailWidth * (expect.pal ? kPalLines : kNtscLines) / kPictureWidth;
		black.rgb.assign(static_cast<std::size_t>(black.width * black.height * 3), 0);
		r.thumbnailPng = EncodePng(black);
		return r;
	}
	const Frame &last = frames.back();
	r.width = last.width;
	r.height = last.height;
	r.standardSeen = StandardOfLines(last.height);
	r.movingPixels = MovingPixels(frames.front(), last);
	const std::array<double, 3> grey = MeanOf(last, limits.grey);
	r.luminance = 0.299 * grey[0] + 0.587 * grey[1] + 0.114 * grey[2];
	r.redGreen = grey[1] > 0 ? grey[0] / grey[1] : 0;
	r.blueGreen = grey[1] > 0 ? grey[2] / grey[1] : 0;
	for (int i = 0; i < 4; i++) {
		const std::optional<OverlayLook> &look = limits.overlays[static_cast<std::size_t>(i)];
		if (!look)
			continue;
		const std::array<double, 3> seen = MeanOf(last, look->area);
		bool near = true;
		for (std::size_t c = 0; c < 3; c++)
			near = near && std::abs(seen[c] - look->colour[c]) <= look->tolerance;
		if (near)
			r.overlaysSeen.push_back(i + 1);
	}
	std::string compared; // why the reference could not be compared
	if (limits.reference) {
		ReferenceValues v;
		if (CompareWithReference(last, limits.reference->picture, v.likeness, compared)) {
			v.orientation = TurnOf(v.likeness, limits.reference->orientation);
			v.offset = std::hypot(v.likeness.offsetX, v.likeness.offsetY);
			r.reference = v;
		}
	}
	std::vector<int> missing;
	for (int k : r.overlaysExpected) {
		bool looked = limits.overlays[static_cast<std::size_t>(k - 1)].has_value();
		if (looked &&
		    std::find(r.overlaysSeen.begin(), r.overlaysSeen.end(), k) == r.overlaysSeen.end())
			missing.push_back(k);
	}

	r.values = r.standardSeen + " " + std::to_string(r.width) + "x" + std::to_string(r.height) + " (" +
		   r.standardExpected + " expected), " + std::to_string(r.movingPixels) +
		   " moving pixels (at least " + std::to_string(limits.movingPixels) + "), " +
		   InRange("luminance", r.luminance, limits.luminance, "%.1f") + ", " +
		   InRange("red/green", r.redGreen, limits.redGreen, "%.2f") + ", " +
		   InRange("blue/green", r.blueGreen, limits.blueGreen, "%.2f") + ", overlays " +
		   List(r.overlaysSeen) + " (" + List(r.overlaysExpected) + " expected)";
	if (r.reference)
		r.values += ", " + ReferenceText(*r.reference, *limits.reference);
	const ReferenceLimits *ref = limits.reference ? &*limits.reference : nullptr;
	const ReferenceValues *seen = r.reference ? &*r.reference : nullptr;
	if (r.standardSeen != r.standardExpected) {
		r.verdict = FrameVerdict::Standard;
	} else if (r.movingPixels < limits.movingPixels) {
		r.verdict = FrameVerdict::Frozen;
	} else if (ref && !seen) {
		// A picture that cannot be compared is none to pass.
		r.verdict = FrameVerdict::Structure;
		r.cause = compared;
	} else if (seen && seen->orientation != Orientation::Straight) {
		r.verdict = FrameVerdict::Orientation;
		const Likeness &l = seen->likeness;
		const double turned = seen->orientation == Orientation::Mirrored     ? l.mirrored
				      : seen->orientation == Orientation::UpsideDown ? l.upsideDown
										     : l.turned;
		r.cause = std::string(seen->orientation == Orientation::Mirrored
					      ? "the picture is mirrored left to right"
				      : seen->orientation == Orientation::UpsideDown
					      ? "the picture is upside down"
					      : "the picture is mirrored left to right and upside down") +
			  " (structure " + Number(turned, "%.2f") + " against the reference turned so)";
	} else if (!limits.luminance.Holds(r.luminance)) {
		r.verdict = FrameVerdict::Luminance;
	} else if (!limits.redGreen.Holds(r.redGreen) || !limits.blueGreen.Holds(r.blueGreen)) {
		r.verdict = FrameVerdict::Colour;
	} else if (seen && seen->offset > ref->position) {
		r.verdict = FrameVerdict::Position;
		// Less than the tenth shown is no direction.
		const double x = seen->likeness.offsetX, y = seen->likeness.offsetY;
		r.cause = "the picture lies " + Number(std::abs(x), "%.1f") +
			  (x <= -0.05 ? " pixels left and " : " pixels right and ") +
			  Number(std::abs(y), "%.1f") + (y <= -0.05 ? " up" : " down") +
			  " of the reference's place: is the unit's image trim applied?";
	} else if (seen && seen->likeness.sharpness < ref->sharpness) {
		r.verdict = FrameVerdict::Sharpness;
		r.cause = "the picture is soft: is the lens in focus?";
	} else if (seen && seen->likeness.structure < ref->structure) {
		r.verdict = FrameVerdict::Structure;
		r.cause = "the picture does not look like the reference";
	} else if (!missing.empty()) {
		r.verdict = FrameVerdict::Overlay;
	}
	r.thumbnailPng = EncodePng(ShrinkFrame(last));
	return r;
}

FrameReport CheckPicture(FrameSource &source, const FrameExpectation &expect, const FrameLimits &limits)
{
	std::vector<Frame> frames;
	for (int i = 0; i < limits.frames; i++) {
		Frame frame;
		if (!source.next(frame))
			break;
		frames.push_back(std::move(frame));
	}
	// A signal that comes and goes is no picture to pass.
	if (static_cast<int>(frames.size()) < limits.frames) {
		FrameReport r = CheckFrames({}, expect, limits);
		std::string notice = source.takeNotice();
		r.values = std::to_string(frames.size()) + " of " + std::to_string(limits.frames) +
			   " frames from " + source.name() + (notice.empty() ? "" : " (" + notice + ")") +
			   ", " + r.standardExpected + " expected";
		r.frames = static_cast<int>(frames.size());
		return r;
	}
	return CheckFrames(frames, expect, limits);
}

} // namespace video
