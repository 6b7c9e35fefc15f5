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
		tool::ToolEnvironment env{ in, out, err, false, false, clock };
		return eeprom_cli::RunTool(args, env);
	}

	SimToolClock clock;
	std::ostringstream out;
	std::ostringstream err;
};

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
					 "  horizontal trim     14 (0x14)\n"
					 "  vertical trim       c (0x0c)\n"
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
