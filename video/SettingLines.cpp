#include "SettingLines.h"

namespace video {

bool ForEachSettingLine(
	const std::string &text,
	const std::function<bool(int number, const std::string &name, std::istringstream &rest)> &each)
{
	std::istringstream lines(text);
	int number = 0;
	for (std::string line; std::getline(lines, line);) {
		number++;
		if (std::size_t hash = line.find('#'); hash != std::string::npos)
			line.erase(hash);
		std::istringstream in(line);
		std::string name;
		if (!(in >> name))
			continue;
		if (!each(number, name, in))
			return false;
	}
	return true;
}

} // namespace video
