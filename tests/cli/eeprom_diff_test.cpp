// velmora-eeprom diff: differences by name first, then by page and byte.
#include "EepromShow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using ::testing::ElementsAre;

namespace {

// An EEPROM image with the trims of page 4 (20 and 12) and page 3 as given.
std::vector<std::uint8_t> Image(std::vector<std::uint8_t> page3)
{
	std::vector<std::uint8_t> bytes(2048, 0xFF);
	bytes[0x400] = 0x14;
	bytes[0x401] = 0x0C;
	std::copy(page3.begin(), page3.end(), bytes.begin() + 0x300);
	return bytes;
}

} // namespace

TEST(EepromDiff, NamesThenPagesAndBytes)
{
	const std::vector<std::uint8_t> kAuto = {
		0x30, 0x1C, 0x01, 0x00, 0x32, 0x54, 0x00, 0x00, 0x4F, 0x02, 0x00, 0x00,
		0x32, 0x6C, 0x08, 0x00, 0xA8, 0x04, 0x00, 0x0F, 0xA8, 0x12, 0x00, 0x50,
	};
	std::vector<std::uint8_t> flipped = kAuto;
	flipped[3] = 0x02;  // flip on
	flipped[14] = 0x38; // sharpness 7
	std::vector<std::uint8_t> damaged = kAuto;
	damaged[16] = 0xA9;

	struct Case {
		std::vector<std::uint8_t> a, b;
		std::vector<std::string> lines;
	} const cases[] = {
		{ Image(kAuto), Image(kAuto), {} },
		{ Image(kAuto),
		  Image(flipped),
		  { "sharpness: 1 -> 7", "flip: off -> on", "page 3 byte 0x03: 0x00 -> 0x02",
		    "page 3 byte 0x0e: 0x08 -> 0x38" } },
		{ Image(kAuto),
		  Image(damaged),
		  { "saved settings: 24 bytes -> not a script the panel saves: byte 0x10, register 0xA904 "
		    "where 0xA804 belongs",
		    "exposure: automatic -> (not saved)", "aex-ref: 0x50 -> (not saved)",
		    "white balance: automatic -> (not saved)", "sharpness: 1 -> (not saved)",
		    "mirror: off -> (not saved)", "flip: off -> (not saved)", "overlays: off -> (not saved)",
		    "page 3 byte 0x10: 0xa8 -> 0xa9" } },
		{ Image({}),
		  std::vector<std::uint8_t>(512, 0xFF),
		  { "saved settings: none (page 3 is erased) -> not held (no page 3)",
		    "horizontal trim: 14 (0x14) -> (not saved)", "vertical trim: c (0x0c) -> (not saved)",
		    "page 2: only in the first", "page 3: only in the first", "page 4: only in the first",
		    "page 5: only in the first", "page 6: only in the first", "page 7: only in the first" } },
	};
	for (const Case &c : cases)
		EXPECT_EQ(eeprom_cli::DiffLines(c.a, c.b), c.lines);

	// A marker that disagrees with the script would check Freeze Gain.
	std::vector<std::uint8_t> marked = Image(kAuto);
	marked[0x1FF] = 0x5A;
	EXPECT_THAT(
		eeprom_cli::DiffLines(Image(kAuto), marked),
		ElementsAre("freeze-gain marker: 0xff -> 0x5a (gains frozen), but the saved settings hold "
			    "no frozen gains",
			    "page 1 byte 0xff: 0xff -> 0x5a"));
}

// The trims as the panel's trim displays show them, with the bytes.
TEST(EepromShow, TrimsAsThePanelShowsThem)
{
	const struct {
		std::uint8_t horizontal, vertical;
		const char *horizontalText, *verticalText;
	} cases[] = {
		{ 0x14, 0x0C, "14 (0x14)", "c (0x0c)" },
		{ 0x00, 0x2E, "Max Right (0x00)", "Max up (0x2e)" },
		{ 0x2E, 0x00, "Max Left (0x2e)", "Max down (0x00)" },
		{ 0x31, 0x15, "Max Left (0x31, taken as 0x2e)", "14 (0x15, taken as 0x14)" },
	};
	for (const auto &c : cases) {
		std::vector<std::uint8_t> image = Image({});
		image[0x400] = c.horizontal;
		image[0x401] = c.vertical;
		std::vector<eeprom_cli::NamedValue> named = eeprom_cli::NamedSettings(image);
		ASSERT_GE(named.size(), 2u);
		EXPECT_EQ(named[named.size() - 2].name, "horizontal trim");
		EXPECT_EQ(named[named.size() - 2].text, c.horizontalText);
		EXPECT_EQ(named.back().name, "vertical trim");
		EXPECT_EQ(named.back().text, c.verticalText);
	}
}
