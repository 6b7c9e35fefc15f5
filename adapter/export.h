// The library is built with hidden visibility; only the adapter's C calls
// and the test seams are given default visibility. The shipped
// libqxiic.so narrows that to the C calls (qxiic.map); the seams are
// exported only by libqxiic_testing.so, which the tests link.
#pragma once

#define QXIIC_EXPORT __attribute__((visibility("default")))
