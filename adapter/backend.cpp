#include "backend.h"

#include <cstring>

namespace qxiic {

// An empty QXIIC_BUS counts as unset: "QXIIC_BUS= program" means the default.
// A real bus (e.g. /dev/i2c-N) gets its own branch here.
std::unique_ptr<Backend> OpenBackend(const char *bus)
{
	if (bus == nullptr || bus[0] == '\0' || std::strcmp(bus, "sim") == 0)
		return MakeSimBackend();
	return MakeAbsentBackend();
}

} // namespace qxiic
