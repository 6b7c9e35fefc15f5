// Dialog templates 100 (About box) and 102 (camera control panel), the
// string table and the images, as data.
#include "resource.h"
#include "velmora_resources.h"

#include <array>

namespace {

using K = ControlKind;

constexpr const char *AE = "Auto Exposure";
constexpr const char *IP = "Image projection";
constexpr const char *OV = "Overlay";
constexpr const char *IT = "Image trim";
constexpr const char *WB = "White Balance";
constexpr const char *SH = "Sharpness";
constexpr const char *GE = "General";
constexpr const char *DI = "Direct I2C Communication";

constexpr unsigned RO_CENTER = CS_READONLY | CS_CENTER;
constexpr unsigned RO_MULTI_CENTER = CS_READONLY | CS_MULTILINE | CS_CENTER;

// Radio sets of the panel.
constexpr int DIRECT_TARGET = 1;
constexpr int WB_MODE = 2;

// What the abbreviated controls do, shown as their tooltips.
constexpr const char *TIP_SHUTTER =
	"Manual shutter: the exposure time used while \"Manual Exposure\" is checked, written to sensor register 0x3012.";
constexpr const char *TIP_SHUTTER_EDIT =
	"Manual shutter as three hexadecimal digits, 000 to 13b, written to sensor register 0x3012.";
constexpr const char *TIP_AEX_REF =
	"Auto exposure reference: the brightness the automatic exposure aims at, written to sensor register 0xA812.";
constexpr const char *TIP_AEX_REF_EDIT =
	"Auto exposure reference as two hexadecimal digits, 00 to ff, written to sensor register 0xA812.";
constexpr const char *TIP_WB_MODE =
	"White balance mode as read from sensor register 0xAC04: AWB automatic, Manual WB fixed gains, "
	"P2W push to white (set: a measurement is held; running: the camera balances).";
constexpr const char *TIP_PUSH2WHITE =
	"Push to white: the first press measures the white balance and holds it (registers 0xAC04, 0xAC00, 0xAC02), "
	"the next lets the camera balance again (0xAC04 = 0x00FF).";
constexpr const char *TIP_RED_GREEN =
	"Red-green gain of the manual white balance, 00 to a0 hexadecimal, written to sensor register 0xAC48.";
constexpr const char *TIP_BLUE_GREEN =
	"Blue-green gain of the manual white balance, 00 to a0 hexadecimal, written to sensor register 0xAC4A.";
constexpr const char *TIP_SHARPNESS =
	"Sharpness from 0 to 7, written to bits 11 to 13 of sensor register 0x326C.";
constexpr const char *TIP_ERASE =
	"Erases the saved settings: the first press warns, the second fills EEPROM page 3 with 0xFF from the address offset on.";
constexpr const char *TIP_ADDR_PLUS =
	"Next address: steps the low byte of the register address up (by two for a sensor register) "
	"and reads it when \"Read\" is checked.";
constexpr const char *TIP_ADDR_MINUS =
	"Previous address: steps the low byte of the register address down (by two for a sensor register) "
	"and reads it when \"Read\" is checked.";
constexpr const char *TIP_REG_HIGH = "Register address, high byte, in hexadecimal (sensor registers only).";
constexpr const char *TIP_REG_LOW =
	"Register address, low byte, or the byte's address in the chosen EEPROM page, in hexadecimal.";
constexpr const char *TIP_DATA_HIGH = "Data, high byte, in hexadecimal (sensor registers only).";
constexpr const char *TIP_DATA_LOW = "Data, low byte, or the EEPROM byte, in hexadecimal.";
// The sensor cannot be asked for its trim, so the boxes say whose trim they show.
constexpr const char *TIP_TRIM_SHOWN =
	"The trim stored in EEPROM page 4 when the panel last read the camera, then each move made here. "
	"A move not kept with STORE lasts only until the camera is switched off.";
constexpr const char *TIP_TRIM_STORE = "Keeps both trims in EEPROM page 4, so the camera starts with them.";

// id, kind, caption, group box, x, y, cx, cy, style, radio set, image, tooltip, name
constexpr ControlTemplate kPanelControls[] = {
	{ -1, K::GroupBox, "Auto Exposure", nullptr, 7, 7, 138, 70, CS_NONE, 0, 0 },
	{ IDC_MANUAL_EXPOSURE, K::CheckBox, "Manual Exposure", AE, 64, 14, 74, 13, CS_NONE, 0, 0 },
	{ -1, K::Label, "Man. Shutt.", AE, 9, 29, 39, 9, CS_NONE, 0, 0, TIP_SHUTTER },
	{ IDC_SHUTTER_SCROLL, K::HScrollBar, "", AE, 49, 29, 60, 9, CS_NONE, 0, 0, TIP_SHUTTER,
	  "Man. Shutt." },
	{ -1, K::Label, "0x", AE, 110, 29, 9, 11, CS_NONE, 0, 0 },
	{ IDC_SHUTTER, K::Edit, "", AE, 119, 27, 23, 13, CS_NONE, 0, 0, TIP_SHUTTER_EDIT, "Man. Shutt." },
	{ IDC_FREEZE_GAIN, K::CheckBox, "Freeze Gain", AE, 19, 45, 52, 11, CS_NONE, 0, 0 },
	{ -1, K::Label, "AEX ref.", AE, 11, 60, 32, 14, CS_NONE, 0, 0, TIP_AEX_REF },
	{ IDC_AEX_REF_SCROLL, K::HScrollBar, "", AE, 50, 60, 57, 9, CS_NONE, 0, 0, TIP_AEX_REF, "AEX ref." },
	{ -1, K::Label, "0x", AE, 109, 60, 9, 11, CS_NONE, 0, 0 },
	{ IDC_AEX_REF, K::Edit, "", AE, 119, 58, 19, 13, CS_NONE, 0, 0, TIP_AEX_REF_EDIT, "AEX ref." },

	{ -1, K::GroupBox, "Image projection", nullptr, 7, 76, 135, 52, CS_NONE, 0, 0 },
	{ IDC_MIRROR, K::CheckBox, "Mirror (horizontal)", IP, 17, 89, 78, 12, CS_NONE, 0, 0 },
	{ IDC_FLIP, K::CheckBox, "Flip(vertical)", IP, 17, 105, 56, 12, CS_NONE, 0, 0 },

	{ -1, K::GroupBox, "Overlay", nullptr, 7, 129, 136, 61, CS_NONE, 0, 0 },
	{ IDC_ENABLE_OVERLAY, K::CheckBox, "enable overlay", OV, 13, 142, 62, 10, CS_NONE, 0, 0 },
	{ IDC_OVERLAY1, K::CheckBox, "overlay 1", OV, 13, 159, 43, 10, CS_NONE, 0, 0 },
	{ IDC_OVERLAY3, K::CheckBox, "overlay 3", OV, 72, 159, 44, 10, CS_NONE, 0, 0 },
	{ IDC_OVERLAY2, K::CheckBox, "overlay 2", OV, 13, 174, 45, 10, CS_NONE, 0, 0 },
	{ IDC_OVERLAY4, K::CheckBox, "overlay 4", OV, 71, 174, 44, 10, CS_NONE, 0, 0 },

	{ IDC_TRIM_GROUP, K::GroupBox, "Image trim", nullptr, 7, 191, 143, 43, CS_NONE, 0, 0 },
	{ IDC_TRIM_LEFT, K::PushButton, "left", IT, 11, 201, 22, 10, CS_NONE, 0, 0 },
	{ IDC_TRIM_RIGHT, K::PushButton, "right", IT, 38, 201, 22, 10, CS_NONE, 0, 0 },
	{ IDC_TRIM_UP, K::PushButton, "up", IT, 65, 200, 23, 10, CS_NONE, 0, 0 },
	{ IDC_TRIM_DOWN, K::PushButton, "down", IT, 65, 213, 23, 10, CS_NONE, 0, 0 },
	{ IDC_TRIM_HORIZONTAL, K::Edit, "horizontal trim display", IT, 17, 214, 43, 15, RO_MULTI_CENTER, 0, 0,
	  TIP_TRIM_SHOWN },
	{ IDC_TRIM_VERTICAL, K::Edit, "vertical trim display", IT, 95, 200, 40, 15, RO_MULTI_CENTER, 0, 0,
	  TIP_TRIM_SHOWN },
	{ IDC_TRIM_STORE, K::PushButton, "STORE", IT, 99, 218, 30, 12, CS_NONE, 0, 0, TIP_TRIM_STORE },

	{ -1, K::GroupBox, "White Balance", nullptr, 147, 7, 160, 89, CS_NONE, 0, 0 },
	{ IDC_AUTO_WB, K::CheckBox, "Auto WB mode", WB, 154, 16, 56, 11, CS_NONE, 0, 0 },
	{ -1, K::Label, "White Balance mode", WB, 220, 18, 68, 10, CS_NONE, 0, 0 },
	{ IDC_WB_MODE, K::Edit, "white balance mode display", WB, 235, 30, 44, 15, RO_CENTER, 0, 0,
	  TIP_WB_MODE },
	{ IDC_MANUAL_MODE, K::RadioButton, "Manual mode", WB, 162, 31, 64, 11, CS_NONE, WB_MODE, 0 },
	{ IDC_PUSH_TO_SET, K::RadioButton, "Push to Set", WB, 162, 45, 49, 11, CS_NONE, WB_MODE, 0 },
	{ IDC_PUSH2WHITE, K::PushButton, "Push2White", WB, 237, 47, 41, 14, CS_NONE, 0, 0, TIP_PUSH2WHITE },
	{ -1, K::Label, "Red-Green", WB, 151, 68, 39, 10, CS_NONE, 0, 0 },
	{ IDC_RED_GREEN_SCROLL, K::HScrollBar, "", WB, 193, 67, 75, 10, CS_NONE, 0, 0, TIP_RED_GREEN,
	  "Red-Green" },
	{ -1, K::Label, "0x", WB, 274, 70, 8, 11, CS_NONE, 0, 0 },
	{ IDC_RED_GREEN, K::Edit, "", WB, 282, 67, 19, 13, CS_NONE, 0, 0, TIP_RED_GREEN, "Red-Green" },
	{ -1, K::Label, "Blue-Green", WB, 151, 82, 39, 10, CS_NONE, 0, 0 },
	{ IDC_BLUE_GREEN_SCROLL, K::HScrollBar, "", WB, 192, 83, 76, 9, CS_NONE, 0, 0, TIP_BLUE_GREEN,
	  "Blue-Green" },
	{ -1, K::Label, "0x", WB, 274, 83, 8, 11, CS_NONE, 0, 0 },
	{ IDC_BLUE_GREEN, K::Edit, "", WB, 281, 81, 20, 12, CS_NONE, 0, 0, TIP_BLUE_GREEN, "Blue-Green" },

	{ -1, K::GroupBox, "Sharpness", nullptr, 147, 98, 161, 29, CS_NONE, 0, 0 },
	{ -1, K::Label, "Range: (0-7):", SH, 155, 110, 42, 10, CS_NONE, 0, 0 },
	{ IDC_SHARPNESS_SCROLL, K::HScrollBar, "", SH, 202, 110, 78, 9, CS_NONE, 0, 0, TIP_SHARPNESS,
	  "Sharpness" },
	{ IDC_SHARPNESS, K::Edit, "", SH, 281, 108, 20, 12, CS_NONE, 0, 0, TIP_SHARPNESS, "Sharpness" },

	{ -1, K::GroupBox, "General", nullptr, 146, 130, 173, 183, CS_NONE, 0, 0 },
	{ IDC_FILE_NAME, K::Edit, "settings file name", GE, 158, 143, 107, 13, CS_NONE, 0, 0 },
	{ IDC_BROWSE, K::PushButton, "Browse", GE, 271, 142, 32, 21, CS_NONE, 0, 0 },
	{ IDC_FILE_TO_CAM, K::PushButton, "File --> Cam", GE, 157, 159, 49, 13, CS_NONE, 0, 0 },
	{ IDC_CAM_TO_FILE, K::PushButton, "Cam --> File", GE, 218, 159, 47, 13, CS_NONE, 0, 0 },
	{ IDC_PROGRESS, K::ProgressBar, "", GE, 157, 174, 143, 10, CS_NONE, 0, 0, nullptr,
	  "EEPROM transfer progress" },
	{ -1, K::Label, "Settings in EEPROM page 3", GE, 158, 189, 95, 10, CS_NONE, 0, 0 },
	{ IDC_ERASE_EEPROM, K::PushButton, "Erase EEp", GE, 157, 199, 40, 14, CS_NONE, 0, 0, TIP_ERASE },
	{ IDC_SAVE, K::PushButton, "Save ", GE, 207, 200, 40, 13, CS_NONE, 0, 0 },
	{ IDC_CONNECT, K::PushButton, "Connect", GE, 268, 195, 40, 18, CS_NONE, 0, 0 },
	{ -1, K::Label, "TV mode", GE, 152, 222, 30, 10, CS_NONE, 0, 0 },
	{ IDC_TV_MODE, K::Edit, "TV mode display", GE, 184, 219, 41, 15, CS_READONLY | CS_MULTILINE, 0, 0 },
	{ -1, K::Label, "address offset 0x", GE, 233, 221, 53, 11, CS_HIDDEN, 0, 0 },
	{ IDC_ADDR_OFFSET, K::Edit, "EEPROM address offset", GE, 288, 219, 14, 12, CS_HIDDEN, 0, 0 },

	{ -1, K::GroupBox, "Direct I2C Communication", GE, 150, 238, 165, 75, CS_NONE, 0, 0 },
	{ -1, K::Label, "Register addr:", DI, 169, 253, 44, 9, CS_NONE, 0, 0 },
	{ -1, K::Label, "Data:", DI, 228, 253, 22, 10, CS_NONE, 0, 0 },
	{ -1, K::Label, "0x", DI, 154, 265, 10, 14, CS_NONE, 0, 0 },
	{ -1, K::Label, "0x", DI, 214, 265, 10, 14, CS_NONE, 0, 0 },
	{ IDC_REG_HIGH, K::Edit, "", DI, 163, 263, 20, 13, CS_NONE, 0, 0, TIP_REG_HIGH,
	  "Register addr. high byte" },
	{ IDC_REG_LOW, K::Edit, "", DI, 186, 263, 19, 13, CS_NONE, 0, 0, TIP_REG_LOW,
	  "Register addr. low byte" },
	{ IDC_DATA_HIGH, K::Edit, "", DI, 223, 263, 19, 13, CS_NONE, 0, 0, TIP_DATA_HIGH, "Data high byte" },
	{ IDC_DATA_LOW, K::Edit, "", DI, 243, 263, 19, 13, CS_NONE, 0, 0, TIP_DATA_LOW, "Data low byte" },
	{ IDC_SENSOR, K::RadioButton, "Sensor", DI, 267, 253, 38, 10, CS_NONE, DIRECT_TARGET, 0 },
	{ IDC_EEPROM0, K::RadioButton, "EEprom0", DI, 267, 263, 45, 10, CS_NONE, DIRECT_TARGET, 0 },
	{ IDC_EEPROM1, K::RadioButton, "EEprom1", DI, 267, 273, 45, 10, CS_NONE, DIRECT_TARGET, 0 },
	{ IDC_EEPROM2, K::RadioButton, "EEprom2", DI, 267, 283, 45, 10, CS_NONE, DIRECT_TARGET, 0 },
	{ IDC_EEPROM3, K::RadioButton, "EEprom3", DI, 267, 293, 45, 10, CS_NONE, DIRECT_TARGET, 0 },
	{ IDC_ADDR_PLUS, K::PushButton, "Addr+", DI, 160, 277, 24, 13, CS_NONE, 0, 0, TIP_ADDR_PLUS },
	{ IDC_ADDR_MINUS, K::PushButton, "Addr-", DI, 187, 277, 24, 13, CS_NONE, 0, 0, TIP_ADDR_MINUS },
	{ IDC_READ, K::CheckBox, "Read", DI, 171, 291, 32, 13, CS_NONE, 0, 0 },
	{ IDC_SEND, K::PushButton, "SEND", DI, 219, 279, 34, 24, CS_NONE, 0, 0 },

	{ -1, K::Bitmap, "bitmap resource 133", nullptr, 13, 240, 125, 38, CS_NONE, 0, IDB_BANNER },
	{ -1, K::Label, "rev 5.4 USB interface", nullptr, 28, 300, 82, 11, CS_NONE, 0, 0 },
	{ 1, K::DefPushButton, "OK", nullptr, 26, 281, 32, 14, CS_NONE, 0, 0 },
	{ 2, K::PushButton, "Cancel", nullptr, 83, 281, 31, 14, CS_NONE, 0, 0 },
};

constexpr ControlTemplate kAboutControls[] = {
	{ -1, K::Icon, "program icon", nullptr, 11, 17, 21, 20, CS_NONE, 0, IDR_MAINFRAME },
	{ -1, K::Label, "Velmora Version 5.4", nullptr, 40, 10, 119, 8, CS_NONE, 0, 0 },
	{ -1, K::Label, "Control panel for the KL310", nullptr, 40, 25, 119, 8, CS_NONE, 0, 0 },
	{ IDC_ABOUT_BUS, K::Label, "Bus: not yet used", nullptr, 11, 41, 217, 8, CS_NONE, 0, 0 },
	{ 1, K::DefPushButton, "OK", nullptr, 178, 7, 50, 14, CS_NONE, 0, 0 },
};

constexpr DialogTemplate kDialogs[] = {
	{ IDD_ABOUTBOX, "About Velmora", 235, 55, "MS Sans Serif", 8, kAboutControls },
	{ IDD_VELMORA_DIALOG, "Virelune KL310 camera control 5.4", 326, 320, "MS Sans Serif", 8,
	  kPanelControls },
};

constexpr StringResource kStrings[] = {
	{ IDS_ABOUTBOX, "&About Velmora..." },
};

constexpr ImageResource kIcons[] = {
	{ IDR_MAINFRAME, ":/res/velmora.png" },
};

constexpr ImageResource kBitmaps[] = {
	{ IDB_BANNER, ":/res/banner.png" },
};

} // namespace

const ResourceTable &VelmoraResources()
{
	static const ResourceTable table = { kDialogs, kStrings, kIcons, kBitmaps };
	return table;
}
