#include "FileName.h"

#include <algorithm>
#include <cctype>

namespace settings {

namespace {

bool endsWithExtension(std::string_view name)
{
	if (name.size() < kSettingsExtension.size())
		return false;
	std::string_view tail = name.substr(name.size() - kSettingsExtension.size());
	return std::equal(tail.begin(), tail.end(), kSettingsExtension.begin(),
			  [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

std::string_view fileNamePart(std::string_view typed)
{
	size_t slash = typed.find_last_of('/');
	return slash == std::string_view::npos ? typed : typed.substr(slash + 1);
}

} // namespace

std::string SettingsFilePath(std::string_view typed)
{
	std::string_view file = fileNamePart(typed);
	if (file.empty() || (file.size() == kSettingsExtension.size() && endsWithExtension(file)))
		return {};
	std::string path(typed);
	if (!endsWithExtension(file))
		path += kSettingsExtension;
	return path;
}

std::string SettingsFileFolder(std::string_view typed)
{
	if (SettingsFilePath(typed).empty())
		return {};
	size_t slash = typed.find_last_of('/');
	if (slash == std::string_view::npos)
		return ".";
	return slash == 0 ? std::string("/") : std::string(typed.substr(0, slash));
}

} // namespace settings
