// The system calls, sysfs and /dev roots in use (qxiic_sys.h). They are
// replaced (by tests) under the library lock, before any transfer.
#pragma once

#include "qxiic_sys.h"

#include <string>

namespace qxiic::sys {

const SystemCalls &Calls();
const std::string &SysfsRoot();
const std::string &DevRoot();

} // namespace qxiic::sys
