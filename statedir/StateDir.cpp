#include "StateDir.h"

#include <cstdlib>

namespace statedir {

std::string VelmoraStateDir()
{
	if (const char *state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/')
		return std::string(state) + "/velmora";
	if (const char *home = std::getenv("HOME"); home && home[0] == '/')
		return std::string(home) + "/.local/state/velmora";
	return "";
}

std::string SimCamerasDir(bool &inMemory)
{
	const char *own = std::getenv("QXIIC_SIM_DIR");
	inMemory = own && own[0] == '\0';
	return own ? std::string(own) : VelmoraStateDir();
}

std::string SimCameraFile(int camera, const std::string &kind)
{
	bool inMemory = false;
	const std::string dir = SimCamerasDir(inMemory);
	return dir.empty() ? "" : dir + "/sim-" + std::to_string(camera) + "." + kind;
}

} // namespace statedir
