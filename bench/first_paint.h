// Start-up probes: a probe program reports the moment its dialog was first
// painted, as CLOCK_MONOTONIC nanoseconds on standard output, and closes
// the dialog so that the program ends the way it always does.
#pragma once

namespace bench {

// Call once the QApplication exists and before the dialog is shown.
void EndAtFirstPaint();

} // namespace bench
