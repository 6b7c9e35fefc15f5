// The system calls and sysfs root in use (qxiic_sys.h). Callers hold the
// library lock.
#pragma once

#include "qxiic_sys.h"

#include <string>

namespace qxiic::sys {

const SystemCalls &Calls();
const std::string &SysfsRoot();

} // namespace qxiic::sys
