// The system calls, sysfs and /dev roots in use (qxiic_sys.h). Callers hold the
// library lock.
#pragma once

#include "qxiic_sys.h"

#include <string>

namespace qxiic::sys {

const SystemCalls &Calls();
const std::string &SysfsRoot();
const std::string &DevRoot();

} // namespace qxiic::sys
