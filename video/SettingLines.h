// The small text files of the picture checks (the limits, the simulated
// picture's faults): a setting a line, its name the first word, "#" to the
// line's end a comment.
#pragma once

#include <functional>
#include <sstream>
#include <string>

namespace video {

// Calls each(number, name, rest) for every line that holds a word, rest
// holding what follows the name; stops at the first call that returns
// false and returns false then.
bool ForEachSettingLine(
	const std::string &text,
	const std::function<bool(int number, const std::string &name, std::istringstream &rest)> &each);

} // namespace video
