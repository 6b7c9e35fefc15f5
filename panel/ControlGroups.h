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
	IDC_RED_GREEN_SCROLL,
	IDC_BLUE_GREEN_SCROLL,
	IDC_RED_GREEN,
	IDC_BLUE_GREEN,
};

// Manual exposure: the shutter pair and the gain freeze.
constexpr int kShutterControls[] = { IDC_SHUTTER_SCROLL, IDC_SHUTTER, IDC_FREEZE_GAIN };

// Automatic exposure: the reference pair.
constexpr int kAexRefControls[] = { IDC_AEX_REF_SCROLL, IDC_AEX_REF };

// The image trim group, usable exactly when the camera has a trim.
constexpr int kTrimControls[] = {
	IDC_TRIM_HORIZONTAL, IDC_TRIM_VERTICAL, IDC_TRIM_GROUP, IDC_TRIM_UP,
	IDC_TRIM_DOWN,       IDC_TRIM_LEFT,     IDC_TRIM_RIGHT, IDC_TRIM_STORE,
};

// The trim buttons, locked while a move runs.
constexpr int kTrimButtons[] = { IDC_TRIM_DOWN, IDC_TRIM_UP, IDC_TRIM_LEFT, IDC_TRIM_RIGHT, IDC_TRIM_STORE };

// The direct panel's register-high and data-high edits: sensor mode only.
constexpr int kDirectHighEdits[] = { IDC_REG_HIGH, IDC_DATA_HIGH };

// Address stepping, usable while "Read" is checked.
constexpr int kAddrStepButtons[] = { IDC_ADDR_PLUS, IDC_ADDR_MINUS };

} // namespace panel
