// velmora-eeprom show and diff: the script the panel's Save left in the
// simulated camera, read back by name, and differences by name and byte.
#include "EepromShow.h"
#include "ToolMain.h"
#include "panel_fixture.h"
#include "resource.h"
#include "sim_tool_clock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace sim = qxiic::sim;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class ShowTest : public PanelTest
{
protected:
	int Tool(const std::vector<std::string> &args)
	{
		out.str("");
		err.str("");
		std::istringstream in;
		eeprom_cli::ToolEnvironment env{ in, out, err, false, false, clock };
		return eeprom_cli::RunTool(args, env);
	}

	SimToolClock clock;
	std::ostringstream out;
	std::ostringstream err;
};

// The factory EEPROM with page 3 holding bytes from its start.
std::vector<std::uint8_t> Image(std::vector<std::uint8_t> page3)
{
	std::vector<std::uint8_t> bytes(2048, 0xFF);
	bytes[0x400] = 0x14;
	bytes[0x401] = 0x0C;
	std::copy(page3.begin(), page3.end(), bytes.begin() + 0x300);
	return bytes;
}

} // namespace

TEST_F(ShowTest, ShowsWhatSaveWroteByName)
{
	// Factory camera: overlays 1 and 3 shown, sharpness 5, automatic
	// white balance; the operator sets manual exposure with frozen gain
	// and the mirror, then saves.
	Open();
	Click(IDC_MANUAL_EXPOSURE);
	Click(IDC_FREEZE_GAIN);
	Click(IDC_MIRROR);
	Click(IDC_SAVE);
	ASSERT_THAT(messages, ::testing::IsEmpty());

	ASSERT_EQ(Tool({ "show", "--camera" }), 0) << err.str();
	EXPECT_THAT(out.str(), HasSubstr("the camera: 8 pages\n"
					 "  saved settings      68 bytes\n"
					 "  exposure            manual\n"
					 "  shutter             0x0a6\n"
					 "  aex-ref             0x50\n"
					 "  freeze gain         on\n"
					 "  gain-1              0x1030\n"
					 "  gain-2              0x1036\n"
					 "  gain-3              0x102c\n"
					 "  gain-4              0x1030\n"
					 "  exposure-state-1    0x0412\n"
					 "  exposure-state-2    0x00c8\n"
					 "  white balance       automatic\n"
					 "  sharpness           5\n"
					 "  mirror              on\n"
					 "  flip                off\n"
					 "  overlays            on\n"
					 "  overlay 1           on\n"
					 "  overlay 2           off\n"
					 "  overlay 3           on\n"
					 "  overlay 4           off\n"
					 "  freeze-gain marker  0x5a (gains frozen)\n"
					 "  horizontal trim     20\n"
					 "  vertical trim       12\n"
					 "page 0:\n"
					 "  00: 4b 4c 33 31 30 00 ff ff ff ff ff ff ff ff ff ff\n"
					 "  10..ff: erased (ff)\n"
					 "page 1:\n"
					 "  00..ef: erased (ff)\n"
					 "  f0: ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff 5a\n"));
	// The script is shown by name, not again as hex.
	EXPECT_THAT(out.str(), Not(HasSubstr("page 3:")));
	EXPECT_THAT(out.str(), HasSubstr("page 4:\n  00: 14 0c"));
}

TEST_F(ShowTest, ShowsTheMeasuredWhiteBalanceSaveWrote)
{
	sim::SetRegister(0xAC04, 0x0000); // a measurement held at power-up
	Open();
	// The first press resumes the balance, the second measures and holds.
	Click(IDC_PUSH2WHITE);
	Click(IDC_PUSH2WHITE);
	Click(IDC_SAVE);
	ASSERT_THAT(messages, ::testing::IsEmpty());

	ASSERT_EQ(Tool({ "--bus", "sim", "show", "--camera" }), 0) << err.str();
	EXPECT_THAT(out.str(), HasSubstr("  saved settings      152 bytes\n"
					 "  exposure            automatic\n"
					 "  aex-ref             0x50\n"
					 "  white balance       held measurement (Push2White)\n"
					 "  red-gain            0x2d\n"
					 "  blue-gain           0x56\n"
					 "  sharpness           5\n"
					 "  mirror              off\n"));
}

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
		    "horizontal trim: 20 -> (not saved)", "vertical trim: 12 -> (not saved)",
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
