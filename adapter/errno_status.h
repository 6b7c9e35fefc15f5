// Adapter status codes for the errno values of the i2c-dev back end, so
// that a real bus fails with the same messages as the simulated one.
#pragma once

#include <string>

namespace qxiic {

// For a failed transfer (ioctl I2C_FUNCS or I2C_RDWR).
unsigned short StatusForTransferErrno(int err);
// For a failed open of the bus.
unsigned short StatusForOpenErrno(int err);
// "ENXIO (No such device or address)", for the trace.
std::string ErrnoText(int err);

} // namespace qxiic
