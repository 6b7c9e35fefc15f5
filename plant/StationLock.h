// One live session per station name on this host: a lock file per name
// under the state folder, held (flock) while the session lives and naming
// its holder, so that a second session is refused with who has it.
#pragma once

#include <string>

namespace plant {

// "process 4711 on line-pc-2": how a session names itself to the others.
std::string SessionName();

class StationLock
{
public:
	StationLock() = default;
	~StationLock();
	StationLock(const StationLock &) = delete;
	StationLock &operator=(const StationLock &) = delete;

	// Empty when taken; else why not. inUse: another session holds it (its
	// name then in the text), rather than a file that cannot be used.
	std::string Take(const std::string &folder, const std::string &station, bool &inUse);

private:
	int fd_ = -1;
};

} // namespace plant
