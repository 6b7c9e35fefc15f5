#include "FrameLimits.h"

#include "InputFile.h"
#include "SettingLines.h"
#include "SimPicture.h"
#include "Thumbnail.h"
#include "registers.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <sstream>
#include <vector>

namespace video {
namespace {

constexpr std::size_t kLongestFile = 64 * 1024;
// A PNG of 720x576 takes about 1.2 MB unpacked; a reference file larger
// than that many bytes is no picture of the camera.
constexpr std::size_t kLargestReference = 4 * 1024 * 1024;
constexpr double kNoEnd = std::numeric_limits<double>::infinity();

// What one number after a key may be, and what the line is told when it
// is not.
struct Value {
	double lowest, highest;
	bool whole;
	std::string outside;
};

// One setting of the file: its key, the numbers that follow it, and how
// they are stored. A key appears once, or once for each instance its
// leading numbers name ("overlay 2").
struct Setting {
	std::string key;
	std::string form; // said when the numbers are too few, too many or no numbers
	std::vector<Value> values;
	bool required;
	std::size_t naming; // leading numbers that tell instances apart
	// Checks between the numbers and the storing; "" or why not.
	std::function<std::string(const std::vector<double> &, FrameLimits &)> store;
};

const Value kFraction{ 0, 1, false, "an area's fractions lie between 0 and 1" };

std::string StoreArea(const std::vector<double> &v, std::size_t at, Area &area)
{
	area = { v[at], v[at + 1], v[at + 2], v[at + 3] };
	if (area.left >= area.right || area.top >= area.bottom)
		return "an area's right and bottom lie beyond its left and top";
	return "";
}

std::string RangeForm(const std::string &key)
{
	return key + " takes a lowest and a highest value, the lowest first";
}

std::function<std::string(const std::vector<double> &, FrameLimits &)> StoreRange(const std::string &key,
										  Range FrameLimits::*range)
{
	return [key, range](const std::vector<double> &v, FrameLimits &limits) -> std::string {
		if (v[0] > v[1])
			return RangeForm(key);
		limits.*range = { v[0], v[1] };
		return "";
	};
}

// A limit of the comparison with the reference picture, which the
// reference line may follow.
Setting Comparison(const std::string &key, double highest, const std::string &form,
		   double ReferenceLimits::*field)
{
	return { key,
		 form,
		 { { 0, highest, false, form } },
		 false,
		 0,
		 [field](const std::vector<double> &v, FrameLimits &l) {
			 if (!l.reference)
				 l.reference.emplace();
			 (*l.reference).*field = v[0];
			 return std::string();
		 } };
}

// A ratio of means: no highest value.
Setting RatioRange(const std::string &key, Range FrameLimits::*range)
{
	const Value ratio{ 0, kNoEnd, false, RangeForm(key) };
	return { key, RangeForm(key), { ratio, ratio }, true, 0, StoreRange(key, range) };
}

const std::vector<Setting> &Settings()
{
	static const std::string kFrames = "frames takes a whole number from 2 to 25";
	static const Value kLuma{ 0, 255, false, "luminance takes values from 0 to 255" };
	static const std::string kOverlay =
		"overlay takes its number 1 to 4, an area, a colour and a tolerance";
	static const Value kLevel{ 0, 255, true, "an overlay's colour is three levels 0 to 255" };
	static const std::vector<Setting> settings = {
		{ "frames",
		  kFrames,
		  { { 2, 25, true, kFrames } },
		  false,
		  0,
		  [](const std::vector<double> &v, FrameLimits &l) {
			  l.frames = static_cast<int>(v[0]);
			  return std::string();
		  } },
		{ "grey-area",
		  "grey-area takes left, top, right and bottom",
		  { kFraction, kFraction, kFraction, kFraction },
		  true,
		  0,
		  [](const std::vector<double> &v, FrameLimits &l) { return StoreArea(v, 0, l.grey); } },
		{ "luminance",
		  RangeForm("luminance"),
		  { kLuma, kLuma },
		  true,
		  0,
		  StoreRange("luminance", &FrameLimits::luminance) },
		RatioRange("red-green", &FrameLimits::redGreen),
		RatioRange("blue-green", &FrameLimits::blueGreen),
		{ "moving-pixels",
		  "moving-pixels takes a whole number",
		  { { 0, 1e15, true, "moving-pixels takes a whole number" } },
		  false,
		  0,
		  [](const std::vector<double> &v, FrameLimits &l) {
			  l.movingPixels = static_cast<long>(v[0]);
			  return std::string();
		  } },
		{ "overlay",
		  kOverlay,
		  { { 1, 4, true, kOverlay },
		    kFraction,
		    kFraction,
		    kFraction,
		    kFraction,
		    kLevel,
		    kLevel,
		    kLevel,
		    { 0, 255, true, "an overlay's tolerance lies between 0 and 255" } },
		  false,
		  1,
		  [](const std::vector<double> &v, FrameLimits &l) {
			  OverlayLook look;
			  if (std::string bad = StoreArea(v, 1, look.area); !bad.empty())
				  return bad;
			  for (std::size_t c = 0; c < 3; c++)
				  look.colour[c] = static_cast<int>(v[5 + c]);
			  look.tolerance = static_cast<int>(v[8]);
			  l.overlays[static_cast<std::size_t>(v[0]) - 1] = look;
			  return std::string();
		  } },
		Comparison("structure", 1, "structure takes a number from 0 to 1",
			   &ReferenceLimits::structure),
		Comparison("position", kNoEnd, "position takes a number of 0 or more",
			   &ReferenceLimits::position),
		Comparison("sharpness", kNoEnd, "sharpness takes a number of 0 or more",
			   &ReferenceLimits::sharpness),
		Comparison("orientation", 1, "orientation takes a number from 0 to 1",
			   &ReferenceLimits::orientation),
	};
	return settings;
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

// "" when v is what value allows, else what the line is told.
std::string Outside(const Value &value, double v)
{
	if (!(v >= value.lowest && v <= value.highest) || (value.whole && v != std::floor(v)))
		return value.outside;
	return "";
}

} // namespace

std::optional<FrameLimits> ParseFrameLimits(const std::string &text, std::string &why)
{
	FrameLimits limits;
	std::map<std::string, int> given; // a setting, or an instance of one, and its line
	const bool read = ForEachSettingLine(
		text, [&](int number, const std::string &key, std::istringstream &in) {
			auto fail = [&](const std::string &what) {
				why = "line " + std::to_string(number) + ": " + what;
				return false;
			};
			if (key == "reference") {
				// A file, not numbers: the rest of the line.
				std::string file;
				std::getline(in >> std::ws, file);
				while (!file.empty() && (file.back() == ' ' || file.back() == '\t'))
					file.pop_back();
				if (file.empty())
					return fail("reference takes the file of a picture");
				if (auto [first, added] = given.emplace(key, number); !added)
					return fail("reference is given twice (first on line " +
						    std::to_string(first->second) + ")");
				if (!limits.reference)
					limits.reference.emplace();
				limits.reference->file = file;
				limits.reference->line = number;
				return true;
			}
			const auto &settings = Settings();
			auto setting = std::find_if(settings.begin(), settings.end(),
						    [&](const Setting &s) { return key == s.key; });
			if (setting == settings.end())
				return fail("no setting \"" + key + "\"");
			std::vector<double> v;
			if (!Numbers(in, setting->values.size(), v))
				return fail(setting->form);
			for (std::size_t i = 0; i < v.size(); i++)
				if (std::string outside = Outside(setting->values[i], v[i]); !outside.empty())
					return fail(outside);
			std::string instance = key;
			for (std::size_t i = 0; i < setting->naming; i++)
				instance += " " + std::to_string(static_cast<long>(v[i]));
			if (auto [first, added] = given.emplace(instance, number); !added)
				return fail(instance + " is given twice (first on line " +
					    std::to_string(first->second) + ")");
			if (std::string bad = setting->store(v, limits); !bad.empty())
				return fail(bad);
			return true;
		});
	if (!read)
		return std::nullopt;
	for (const Setting &s : Settings())
		if (s.required && !given.contains(s.key)) {
			why = std::string("no ") + s.key;
			return std::nullopt;
		}
	if (limits.reference && !given.contains("reference")) {
		int first = 0;
		for (const char *key : { "structure", "position", "sharpness", "orientation" })
			if (auto at = given.find(key); at != given.end() && (!first || at->second < first))
				first = at->second;
		why = "line " + std::to_string(first) +
		      ": structure, position, sharpness and orientation go with a reference picture";
		return std::nullopt;
	}
	if (limits.reference)
		for (const char *key : { "structure", "position", "sharpness" })
			if (!given.contains(key)) {
				why = std::string("no ") + key + " for the reference picture";
				return std::nullopt;
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
