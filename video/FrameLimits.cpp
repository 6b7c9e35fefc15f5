#include "FrameLimits.h"

#include "InputFile.h"
#include "SettingLines.h"
#include "SimPicture.h"
#include "Thumbnail.h"
#include "registers.h"

#include <filesystem>
#include <sstream>
#include <vector>

namespace video {
namespace {

constexpr int kMostFrames = 25;
constexpr std::size_t kLongestFile = 64 * 1024;
// A PNG of 720x576 takes about 1.2 MB unpacked; a reference file larger
// than that many bytes is no picture of the camera.
constexpr std::size_t kLargestReference = 4 * 1024 * 1024;

bool Fraction(double v)
{
	return v >= 0 && v <= 1;
}

std::string CheckArea(const Area &a)
{
	if (!Fraction(a.left) || !Fraction(a.top) || !Fraction(a.right) || !Fraction(a.bottom))
		return "an area's fractions lie between 0 and 1";
	if (a.left >= a.right || a.top >= a.bottom)
		return "an area's right and bottom lie beyond its left and top";
	return "";
}

// The numbers after the key; false when there are not exactly count.
bool Numbers(std::istringstream &in, std::size_t count, std::vector<double> &out)
{
	double v;
	while (in >> v)
		out.push_back(v);
	// A word that is no number stops the reading before the end.
	return in.eof() && out.size() == count;
}

} // namespace

std::optional<FrameLimits> ParseFrameLimits(const std::string &text, std::string &why)
{
	FrameLimits limits;
	bool grey = false, luminance = false, redGreen = false, blueGreen = false;
	ReferenceLimits reference;
	bool referenced = false;
	int comparisonLine = 0;         // the first of structure, position, sharpness, orientation
	std::array<bool, 3> compared{}; // structure, position, sharpness given
	const bool read = ForEachSettingLine(text, [&](int number, const std::string &key,
						       std::istringstream &in) {
		auto fail = [&](const std::string &what) {
			why = "line " + std::to_string(number) + ": " + what;
			return false;
		};
		std::vector<double> v;
		if (key == "frames") {
			if (!Numbers(in, 1, v) || v[0] != static_cast<int>(v[0]) || v[0] < 2 ||
			    v[0] > kMostFrames)
				return fail("frames takes a whole number from 2 to " +
					    std::to_string(kMostFrames));
			limits.frames = static_cast<int>(v[0]);
		} else if (key == "grey-area") {
			if (!Numbers(in, 4, v))
				return fail("grey-area takes left, top, right and bottom");
			limits.grey = { v[0], v[1], v[2], v[3] };
			if (std::string bad = CheckArea(limits.grey); !bad.empty())
				return fail(bad);
			grey = true;
		} else if (key == "luminance" || key == "red-green" || key == "blue-green") {
			if (!Numbers(in, 2, v) || v[0] < 0 || v[0] > v[1])
				return fail(key + " takes a lowest and a highest value, the lowest first");
			Range r{ v[0], v[1] };
			(key == "luminance"   ? limits.luminance
			 : key == "red-green" ? limits.redGreen
					      : limits.blueGreen) = r;
			(key == "luminance" ? luminance : key == "red-green" ? redGreen : blueGreen) = true;
		} else if (key == "moving-pixels") {
			if (!Numbers(in, 1, v) || v[0] != static_cast<long>(v[0]) || v[0] < 0)
				return fail("moving-pixels takes a whole number");
			limits.movingPixels = static_cast<long>(v[0]);
		} else if (key == "overlay") {
			if (!Numbers(in, 9, v) || v[0] < 1 || v[0] > 4 || v[0] != static_cast<int>(v[0]))
				return fail(
					"overlay takes its number 1 to 4, an area, a colour and a tolerance");
			OverlayLook look;
			look.area = { v[1], v[2], v[3], v[4] };
			if (std::string bad = CheckArea(look.area); !bad.empty())
				return fail(bad);
			for (int c = 0; c < 3; c++) {
				if (v[5 + c] < 0 || v[5 + c] > 255)
					return fail("an overlay's colour is three levels 0 to 255");
				look.colour[c] = static_cast<int>(v[5 + c]);
			}
			if (v[8] < 0 || v[8] > 255)
				return fail("an overlay's tolerance lies between 0 and 255");
			look.tolerance = static_cast<int>(v[8]);
			limits.overlays[static_cast<std::size_t>(v[0]) - 1] = look;
		} else if (key == "reference") {
			std::string file;
			std::getline(in >> std::ws, file);
			while (!file.empty() && (file.back() == ' ' || file.back() == '\t'))
				file.pop_back();
			if (file.empty())
				return fail("reference takes the file of a picture");
			reference.file = file;
			reference.line = number;
			referenced = true;
		} else if (key == "structure" || key == "position" || key == "sharpness" ||
			   key == "orientation") {
			const bool fraction = key == "structure" || key == "orientation";
			if (!Numbers(in, 1, v) || v[0] < 0 || (fraction && v[0] > 1))
				return fail(key + (fraction ? " takes a number from 0 to 1"
							    : " takes a number of 0 or more"));
			comparisonLine = comparisonLine ? comparisonLine : number;
			if (key == "orientation") {
				reference.orientation = v[0];
			} else {
				const std::size_t which = key == "structure" ? 0 : key == "position" ? 1 : 2;
				(which == 0   ? reference.structure
				 : which == 1 ? reference.position
					      : reference.sharpness) = v[0];
				compared[which] = true;
			}
		} else {
			return fail("no setting \"" + key + "\"");
		}
		return true;
	});
	if (!read)
		return std::nullopt;
	if (!referenced && comparisonLine) {
		why = "line " + std::to_string(comparisonLine) +
		      ": structure, position, sharpness and orientation go with a reference picture";
		return std::nullopt;
	}
	for (auto [given, name] :
	     { std::pair{ grey, "grey-area" }, std::pair{ luminance, "luminance" },
	       std::pair{ redGreen, "red-green" }, std::pair{ blueGreen, "blue-green" } })
		if (!given) {
			why = std::string("no ") + name;
			return std::nullopt;
		}
	if (referenced) {
		const char *names[] = { "structure", "position", "sharpness" };
		for (std::size_t i = 0; i < compared.size(); i++)
			if (!compared[i]) {
				why = std::string("no ") + names[i] + " for the reference picture";
				return std::nullopt;
			}
		limits.reference = std::move(reference);
	}
	return limits;
}

std::string ReadReference(ReferenceLimits &reference, const std::string &folder)
{
	namespace fs = std::filesystem;
	const fs::path given(reference.file);
	const std::string path = given.is_absolute() || folder.empty() ? given.string()
								       : (fs::path(folder) / given).string();
	const std::string at = "line " + std::to_string(reference.line) + ": the reference " + path;
	fileio::InputText input = fileio::ReadInputFile(path, { kLargestReference, "PNG picture" });
	if (!input.ok)
		return at + " cannot be used: " + input.why;
	Frame picture;
	if (!DecodePng(input.text, picture))
		return at + " is no PNG picture";
	SensorState pal, ntsc;
	pal.videoStandard = kl310::VIDEO_PAL_BIT;
	ntsc.videoStandard = 0;
	const bool fits = picture.width == PictureWidth(pal) &&
			  (picture.height == PictureHeight(pal) || picture.height == PictureHeight(ntsc));
	if (!fits)
		return at + " is " + std::to_string(picture.width) + "x" + std::to_string(picture.height) +
		       ", not a picture of the camera (" + std::to_string(PictureWidth(pal)) + "x" +
		       std::to_string(PictureHeight(pal)) + " or " + std::to_string(PictureWidth(ntsc)) +
		       "x" + std::to_string(PictureHeight(ntsc)) + ")";
	reference.picture = std::move(picture);
	return "";
}

std::optional<FrameLimits> ReadFrameLimits(const std::string &path, std::string &why)
{
	fileio::InputText input = fileio::ReadInputFile(path, { kLongestFile, "limits file" });
	if (!input.ok) {
		why = "the limits " + path + " cannot be used: " + input.why;
		return std::nullopt;
	}
	std::optional<FrameLimits> limits = ParseFrameLimits(input.text, why);
	if (limits && limits->reference)
		why = ReadReference(*limits->reference, std::filesystem::path(path).parent_path().string());
	if (!why.empty()) {
		why = "the limits " + path + ": " + why;
		return std::nullopt;
	}
	return limits;
}

} // namespace video
