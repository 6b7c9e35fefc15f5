#include "FrameLimits.h"

#include "InputFile.h"
#include "SettingLines.h"

#include <sstream>
#include <vector>

namespace video {
namespace {

constexpr int kMostFrames = 25;
constexpr std::size_t kLongestFile = 64 * 1024;

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
		} else {
			return fail("no setting \"" + key + "\"");
		}
		return true;
	});
	if (!read)
		return std::nullopt;
	for (auto [given, name] :
	     { std::pair{ grey, "grey-area" }, std::pair{ luminance, "luminance" },
	       std::pair{ redGreen, "red-green" }, std::pair{ blueGreen, "blue-green" } })
		if (!given) {
			why = std::string("no ") + name;
			return std::nullopt;
		}
	return limits;
}

std::optional<FrameLimits> ReadFrameLimits(const std::string &path, std::string &why)
{
	fileio::InputText input = fileio::ReadInputFile(path, { kLongestFile, "limits file" });
	if (!input.ok) {
		why = "the limits " + path + " cannot be used: " + input.why;
		return std::nullopt;
	}
	std::optional<FrameLimits> limits = ParseFrameLimits(input.text, why);
	if (!limits)
		why = "the limits " + path + ": " + why;
	return limits;
}

} // namespace video
