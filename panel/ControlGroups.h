// Groups of panel controls that several handlers enable or disable together.
#pragma once

#include "resource.h"

namespace panel {

// The four overlays, usable exactly while "enable overlay" is checked.
constexpr int kOverlayBoxes[] = { IDC_OVERLAY1, IDC_OVERLAY2, IDC_OVERLAY3, IDC_OVERLAY4 };

// The push-to-white controls and the mode display of the white balance.
constexpr int kWbModeControls[] = { IDC_PUSH2WHITE, IDC_WB_MODE, IDC_MANUAL_MODE, IDC_PUSH_TO_SET };

// The manual gain sliders and edits.
constexpr int kGainControls[] = {
	IDC_RED_GREEN_SCROLL, IDC_BLUE_GREEN_SCROLL, IDC_RED_GREEN, IDC_BLUE_GREEN,
};

} // namespace panel
