// The library is built with hidden visibility; only the adapter's C calls
// and the simulator's test interface are exported.
#pragma once

#define QXIIC_EXPORT __attribute__((visibility("default")))
