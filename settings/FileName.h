// The settings file a typed name stands for.
#pragma once

#include <string>
#include <string_view>

namespace settings {

// The extension every settings file carries.
inline constexpr std::string_view kSettingsExtension = ".qmx";

// The path of the settings file named by what the operator typed: the
// extension is added unless the name already ends in it (in any case). A
// name without a file part (empty, only the extension, or ending in a
// folder separator) names no file: the result is empty, never a hidden
// ".qmx".
std::string SettingsFilePath(std::string_view typed);

// The folder of the named file ("." for a bare name), or empty when the
// name names no file.
std::string SettingsFileFolder(std::string_view typed);

} // namespace settings
