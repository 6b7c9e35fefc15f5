#include "errno_status.h"

#include "qxiic.h"

#include <cerrno>
#include <cstring>

namespace qxiic {

// The kernel's I2C fault codes: ENXIO is an address that nobody
// acknowledged, EREMOTEIO what several drivers report for a missing
// acknowledge of address or data; both are what the simulated camera
// reports when unplugged or busy writing. EAGAIN is lost arbitration.
unsigned short StatusForTransferErrno(int err)
{
	switch (err) {
	case ENXIO:
	case EREMOTEIO:
		return QXIIC_NACK;
	case ETIMEDOUT:
		return QXIIC_TIMEOUT;
	case EBUSY:
		return QXIIC_BUS_BUSY;
	case EAGAIN:
		return QXIIC_ARBITRATION;
	case ENODEV:
	case ENOENT:
		return QXIIC_DEVICE_NOT_FOUND;
	case EOPNOTSUPP:
		return QXIIC_UNKNOWN_COMMAND;
	default:
		return QXIIC_GENERAL_ERROR;
	}
}

// A node that is not there, or whose adapter was unplugged, is no
// adapter at all; anything else (EACCES above all) is a bus the user may
// not open.
unsigned short StatusForOpenErrno(int err)
{
	switch (err) {
	case ENOENT:
	case ENODEV:
	case ENXIO:
		return QXIIC_DEVICE_NOT_FOUND;
	default:
		return QXIIC_INIT_ERROR;
	}
}

std::string ErrnoText(int err)
{
	const char *name = strerrorname_np(err);
	std::string text = name ? name : "errno " + std::to_string(err);
	return text + " (" + std::strerror(err) + ")";
}

} // namespace qxiic
