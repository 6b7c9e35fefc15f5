#include "SimPictureFaults.h"

#include "InputFile.h"
#include "SettingLines.h"
#include "StateDir.h"

#include <cstdlib>
#include <sstream>

#include <sys/stat.h>

namespace video {

std::string SimPictureFaultsPath(int camera)
{
	return statedir::SimCameraFile(camera, "picture");
}

SimPictureFaults ParseSimPictureFaults(const std::string &text, std::string &why)
{
	SimPictureFaults faults;
	const bool read = ForEachSettingLine(text, [&](int number, const std::string &word,
						       std::istringstream &in) {
		std::string rest;
		if (word == "no-signal")
			faults.noSignal = true;
		else if (word == "frozen")
			faults.frozen = true;
		else if (word == "wrong-standard")
			faults.wrongStandard = true;
		else if (word == "mirrored")
			faults.mirrored = true;
		else if (word == "upside-down")
			faults.upsideDown = true;
		else if (word == "shifted") {
			constexpr int kFurthest = 100;
			int dx = 0, dy = 0;
			if (!(in >> dx >> dy) || std::abs(dx) > kFurthest || std::abs(dy) > kFurthest) {
				why = "line " + std::to_string(number) +
				      ": shifted takes two whole numbers of pixels from -100 to 100";
				return false;
			}
			faults.shiftX = dx;
			faults.shiftY = dy;
		} else if (word == "soft") {
			constexpr int kSoftest = 20;
			int n = 0;
			if (!(in >> n) || n < 1 || n > kSoftest) {
				why = "line " + std::to_string(number) +
				      ": soft takes a whole number from 1 to 20";
				return false;
			}
			faults.soft = n;
		} else if (word == "cast") {
			std::array<double, 3> f{};
			if (!(in >> f[0] >> f[1] >> f[2]) || f[0] < 0 || f[1] < 0 || f[2] < 0 || f[0] > 4 ||
			    f[1] > 4 || f[2] > 4) {
				why = "line " + std::to_string(number) +
				      ": cast takes three factors from 0 to 4";
				return false;
			}
			faults.cast = f;
		} else {
			why = "line " + std::to_string(number) + ": no picture fault \"" + word + "\"";
			return false;
		}
		if (in >> rest) {
			why = "line " + std::to_string(number) + ": \"" + rest + "\" after " + word;
			return false;
		}
		return true;
	});
	return read ? faults : SimPictureFaults{};
}

SimPictureFaults ReadSimPictureFaults(const std::string &path, std::string &why)
{
	struct stat st {
	};
	if (path.empty() || ::stat(path.c_str(), &st) != 0)
		return {};
	fileio::InputText input = fileio::ReadInputFile(path, { 4096, "picture faults file" });
	if (!input.ok) {
		why = path + " cannot be used: " + input.why;
		return {};
	}
	SimPictureFaults faults = ParseSimPictureFaults(input.text, why);
	if (!why.empty())
		why = path + ": " + why;
	return faults;
}

} // namespace video
