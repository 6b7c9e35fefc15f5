#include "sim_store.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace qxiic {

std::string SimEepromFile(int camera)
{
	std::string dir;
	if (const char *own = std::getenv("QXIIC_SIM_DIR")) {
		if (own[0] == '\0')
			return {};
		dir = own;
	} else if (const char *state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/') {
		dir = std::string(state) + "/velmora";
	} else if (const char *home = std::getenv("HOME"); home && home[0] == '/') {
		dir = std::string(home) + "/.local/state/velmora";
	} else {
		return {};
	}
	return dir + "/sim-" + std::to_string(camera) + ".eeprom";
}

bool SimCameraAbsent(int camera)
{
	std::string file = SimEepromFile(camera);
	if (file.empty())
		return false;
	std::error_code ec;
	return std::filesystem::exists(file.substr(0, file.size() - 7) + ".absent", ec);
}

void LoadSimEeprom(SimEeprom &eeprom, const std::string &file)
{
	std::FILE *f = std::fopen(file.c_str(), "rb");
	if (f == nullptr)
		return;
	SimEeprom::Contents bytes;
	std::size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
	bool whole = n == bytes.size() && std::fgetc(f) == EOF;
	std::fclose(f);
	if (whole)
		eeprom.setContents(bytes);
}

std::string SaveSimEeprom(const SimEeprom &eeprom, const std::string &file)
{
	std::error_code ec;
	std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
	std::string temporary = file + ".new";
	std::FILE *f = std::fopen(temporary.c_str(), "wb");
	if (f == nullptr)
		return "cannot keep the simulated camera's EEPROM in " + file + ": " + std::strerror(errno);
	const SimEeprom::Contents &bytes = eeprom.contents();
	bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
	ok = std::fclose(f) == 0 && ok;
	if (!ok || std::rename(temporary.c_str(), file.c_str()) != 0) {
		std::string why = std::strerror(errno);
		std::remove(temporary.c_str());
		return "cannot keep the simulated camera's EEPROM in " + file + ": " + why;
	}
	return {};
}

} // namespace qxiic
