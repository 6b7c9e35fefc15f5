#include "backend.h"

#include "qxiic.h"

#include <cstring>

namespace qxiic {

Opened Failed(unsigned short status, std::string detail)
{
	Opened o;
	o.status = status;
	o.detail = std::move(detail);
	return o;
}

// An empty QXIIC_BUS counts as unset: "QXIIC_BUS= program" means the
// default. Only a name the user gave can reach real hardware.
Opened OpenBackend(const char *bus)
{
	if (bus == nullptr || bus[0] == '\0' || std::strcmp(bus, "sim") == 0) {
		Opened o;
		o.backend = MakeSimBackend();
		return o;
	}
	if (bus[0] == '/')
		return OpenI2cDev(bus);
	return Failed(QXIIC_DEVICE_NOT_FOUND, std::string("QXIIC_BUS=") + bus +
						      " names no bus: use sim or a path such as /dev/i2c-1");
}

} // namespace qxiic
