#include "panel_fixture.h"

#include "resource.h"

using ::testing::ElementsAre;

TEST_F(PanelTest, OpensOnTheSimulatedCameraWithoutMessages)
{
	Open();
	EXPECT_TRUE(messages.empty());
	EXPECT_EQ(Text(IDC_TV_MODE), "PAL");
	EXPECT_EQ(Text(IDC_SHUTTER), "0a6");
}
