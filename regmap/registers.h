// The one index of every bus device, camera register and EEPROM location
// the program touches. Handlers take their numbers from here, never as
// bare literals.
#pragma once

#include <cstdint>

namespace kl310 {

// A 16-bit sensor register number, sent high byte first.
struct Reg {
	std::uint8_t high;
	std::uint8_t low;
	constexpr std::uint16_t number() const { return static_cast<std::uint16_t>(high << 8 | low); }
};

constexpr Reg MakeReg(std::uint16_t number)
{
	return Reg{ static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number & 0xFF) };
}

// Bus devices: 8-bit addresses as they travel; read form = write form + 1.
constexpr int DEV_SENSOR_WRITE = 0xBA;
constexpr int DEV_SENSOR_READ = 0xBB;
constexpr int DEV_EEPROM_PAGE0 = 0xA0; // page p: 0xA0 + 2 * p
constexpr int EEPROM_PAGES = 8;
constexpr int EEPROM_PAGE_SIZE = 256;
// A write never crosses one of these: the EEPROM wraps inside it.
constexpr int EEPROM_WRITE_PAGE_SIZE = 16;
// The panel's fixed pause after every write: the longest time the EEPROM
// takes to store what was written.
constexpr int EEPROM_WRITE_PAUSE_MS = 20;

constexpr int EepromWrite(int page)
{
	return DEV_EEPROM_PAGE0 + 2 * page;
}
constexpr int EepromRead(int page)
{
	return EepromWrite(page) + 1;
}

// EEPROM pages with a fixed role.
constexpr int PAGE_FREEZE_MARKER = 1; // byte 0xFF: freeze-gain marker
constexpr int PAGE_SCRIPT = 3;        // the settings script
constexpr int PAGE_TRIM = 4;          // trims, then the trim table
constexpr int PAGE_TRIM_TABLE2 = 5;
constexpr int PAGE_TRIM_TABLE3 = 6;

constexpr int OFFSET_FREEZE_MARKER = 0xFF;
constexpr int OFFSET_TRIM_HORIZONTAL = 0x00;
constexpr int OFFSET_TRIM_VERTICAL = 0x01;
constexpr int OFFSET_TRIM_TABLE = 0x02;

// Sensor registers.
constexpr Reg REG_COMMAND = MakeReg(0x0040);
constexpr Reg REG_TRIM_SELECT = MakeReg(0x098E);
constexpr Reg REG_SHUTTER = MakeReg(0x3012);
constexpr Reg REG_MIRROR_FLIP1 = MakeReg(0x301C);
constexpr Reg REG_GAIN_3056 = MakeReg(0x3056);
constexpr Reg REG_GAIN_3058 = MakeReg(0x3058);
constexpr Reg REG_GAIN_305A = MakeReg(0x305A);
constexpr Reg REG_GAIN_305C = MakeReg(0x305C);
constexpr Reg REG_MIRROR_FLIP2 = MakeReg(0x3254);
constexpr Reg REG_SHARPNESS = MakeReg(0x326C);
constexpr Reg REG_VIDEO_STANDARD = MakeReg(0x4000);
constexpr Reg REG_OVERLAY_ENABLE = MakeReg(0x4F02);
constexpr Reg REG_OVERLAY1 = MakeReg(0x4F08);
constexpr Reg REG_OVERLAY2 = MakeReg(0x4F0A);
constexpr Reg REG_OVERLAY3 = MakeReg(0x4F0C);
constexpr Reg REG_OVERLAY4 = MakeReg(0x4F0E);
constexpr Reg REG_EXPOSURE_MODE = MakeReg(0xA804);
constexpr Reg REG_EXPOSURE_REF = MakeReg(0xA812);
constexpr Reg REG_EXPOSURE_STATE1 = MakeReg(0xA838);
constexpr Reg REG_EXPOSURE_STATE2 = MakeReg(0xA83A);
constexpr Reg REG_WB_CONTROL0 = MakeReg(0xAC00);
constexpr Reg REG_WB_CONTROL1 = MakeReg(0xAC02);
constexpr Reg REG_WB_MODE = MakeReg(0xAC04);
constexpr Reg REG_RED_GREEN = MakeReg(0xAC48);
constexpr Reg REG_BLUE_GREEN = MakeReg(0xAC4A);
constexpr Reg REG_WB_LAST = MakeReg(0xAC4C);
constexpr Reg REG_WB_SCRIPT_END = MakeReg(0xAC4E);
constexpr Reg REG_EXPOSURE_LATCH = MakeReg(0xC86C);
constexpr Reg REG_TRIM_HORIZONTAL = MakeReg(0xC892);
constexpr Reg REG_TRIM_VERTICAL = MakeReg(0xC894);

// What a switched-on sensor holds in every register a tool or the panel
// writes to change a setting, so that a camera can be put back to its
// power-up state over the bus (no register here is a soft reset). Manual
// values come before the modes that hand them back to the camera's own
// control. Left out are the registers that only carry a command (0x0040,
// 0x098E, the trim parameter block, the parameter window): they change
// nothing until the command runs.
struct RegValue {
	Reg reg;
	std::uint16_t value;
};
constexpr RegValue SENSOR_POWER_UP[] = {
	{ REG_MIRROR_FLIP1, 0x0100 }, { REG_MIRROR_FLIP2, 0x0000 },    { REG_SHARPNESS, 0x2C80 },
	{ REG_OVERLAY1, 0x8000 },     { REG_OVERLAY2, 0x0001 },        { REG_OVERLAY3, 0x8002 },
	{ REG_OVERLAY4, 0x0003 },     { REG_OVERLAY_ENABLE, 0x8000 },  { REG_SHUTTER, 0x00A6 },
	{ REG_EXPOSURE_REF, 0x0050 }, { REG_EXPOSURE_MODE, 0x000F },   { REG_RED_GREEN, 0x0062 },
	{ REG_BLUE_GREEN, 0x0058 },   { REG_WB_CONTROL1, 0x000A },     { REG_WB_CONTROL0, 0x0000 },
	{ REG_WB_MODE, 0x00FF },      { REG_TRIM_HORIZONTAL, 0x0014 }, { REG_TRIM_VERTICAL, 0x000C },
};

// Trim parameter block, in the order the image trim writes it.
constexpr int TRIM_BLOCK_SIZE = 8;
constexpr Reg TRIM_BLOCK_REGS[TRIM_BLOCK_SIZE] = {
	MakeReg(0xC822), MakeReg(0xC826), MakeReg(0xC824), MakeReg(0xC828),
	MakeReg(0xC82E), MakeReg(0xC830), MakeReg(0xC82A), MakeReg(0xC82C),
};
constexpr int TRIM_SELECT_VALUE = 0x4824; // 0x098E before the block

// Parameter window: eight registers carrying 16 bytes of a command's data.
constexpr int PARAM_WINDOW_SIZE = 8;
constexpr Reg PARAM_WINDOW_REGS[PARAM_WINDOW_SIZE] = {
	MakeReg(0xFC00), MakeReg(0xFC02), MakeReg(0xFC04), MakeReg(0xFC06),
	MakeReg(0xFC08), MakeReg(0xFC0A), MakeReg(0xFC0C), MakeReg(0xFC0E),
};
constexpr int PARAM_WINDOW_BYTES = 2 * PARAM_WINDOW_SIZE;
constexpr int COMMAND_TRIM_CHUNK = 0x8304;
constexpr int COMMAND_TRIM_APPLY = 0x8305;
constexpr int COMMAND_POLLS = 16;

// The trim table: the panel's copy of EEPROM page 4 onward. Bytes 0 and 1
// stand for the two trims and are not part of the copy.
constexpr int TRIM_TABLE_SIZE = 594;
constexpr int TRIM_TABLE_BLOCK = 2;        // parameter block, bytes 2..17
constexpr int TRIM_TABLE_STREAM = 32;      // streamed through the window...
constexpr int TRIM_TABLE_STREAM_END = 582; // ...up to here

// White-balance snapshot, in entry (and reading) order.
constexpr int WB_SNAPSHOT_SIZE = 27;
constexpr Reg WB_SNAPSHOT_REGS[WB_SNAPSHOT_SIZE] = {
	MakeReg(0xAC00), MakeReg(0xAC02), MakeReg(0xAC04), MakeReg(0xAC0A), MakeReg(0xAC0C), MakeReg(0xAC0E),
	MakeReg(0xAC10), MakeReg(0xAC12), MakeReg(0xAC14), MakeReg(0xAC16), MakeReg(0xAC18), MakeReg(0xAC1A),
	MakeReg(0xAC1C), MakeReg(0xAC1E), MakeReg(0xAC32), MakeReg(0xAC36), MakeReg(0xAC38), MakeReg(0xAC3A),
	MakeReg(0xAC3C), MakeReg(0xAC3E), MakeReg(0xAC40), MakeReg(0xAC42), MakeReg(0xAC44), MakeReg(0xAC46),
	MakeReg(0xAC48), MakeReg(0xAC4A), MakeReg(0xAC4C),
};
constexpr int WB_ENTRY_CONTROL0 = 0; // 0xAC00
constexpr int WB_ENTRY_MODE = 2;     // 0xAC04
constexpr int WB_ENTRY_RED_GREEN = 24;
constexpr int WB_ENTRY_BLUE_GREEN = 25;

// Bits and values.
constexpr int MIRROR_BIT = 0x0001;
constexpr int FLIP_BIT = 0x0002;
constexpr int MIRROR_FLIP1_BIT8 = 0x0100;
constexpr int VIDEO_PAL_BIT = 0x0002;
constexpr int OVERLAY_ON = 0x8000;
constexpr int COMMAND_BUSY = 0x8000;
constexpr int SHARPNESS_FIELD = 0x3800;
constexpr int SHARPNESS_KEEP = 0xC7FF;
constexpr int SHARPNESS_SHIFT = 11;
constexpr int SHARPNESS_MAX = 7;
constexpr int EXPOSURE_MODE_BITS = 0x000F;
constexpr int EXPOSURE_MANUAL = 0x0000;
constexpr int EXPOSURE_AUTO = 0x000F;
constexpr int WB_MODE_AUTO = 0x00FF;
constexpr int WB_MODE_MANUAL = 0xFF00;
constexpr int WB_MODE_HELD = 0x0000;
constexpr int WB_MEASURE_START = 0x0001; // 0xAC00
constexpr int WB_MEASURE_SETUP = 0x000A; // 0xAC02
constexpr int FREEZE_MARKER_SET = 0x5A;
constexpr int MARKER_OFF = 0xFF;
constexpr int NO_TRIM = 0xFF;
constexpr int TRIM_MAX = 46;
constexpr int TRIM_EVEN = 0x00FE;
constexpr int TRIM_STEP = 2;
constexpr int REG_STEP = 2;         // sensor registers sit at even numbers
constexpr int READ_FORM_BIT = 0x01; // device address: read form

// Slider ranges and the largest values their edits accept.
constexpr int SHUTTER_MAX = 0x13B;
constexpr int AEX_REF_MAX = 0xFF;
constexpr int WB_GAIN_MAX = 0xA0;

} // namespace kl310
