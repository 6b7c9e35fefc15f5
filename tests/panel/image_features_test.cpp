// Sharpness, mirror/flip and overlays.
#include "panel_fixture.h"

#include "resource.h"

#include <QTest>

using qxiic::sim::Call;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class ImageFeaturesTest : public PanelTest
{
protected:
	void TypeSharpness(const char *text)
	{
		ClearLog();
		Edit(IDC_SHARPNESS)->selectAll();
		QTest::keyClicks(Edit(IDC_SHARPNESS), text);
	}
};

TEST_F(ImageFeaturesTest, SharpnessReplacesOnlyBits11To13OfThePanelsCopy)
{
	Open();
	dlg->m_nReg326C = 0x1234;
	TypeSharpness("0");
	EXPECT_THAT(RegisterWrites(), ElementsAre("326c=0234"));
	EXPECT_EQ(Bar(IDC_SHARPNESS_SCROLL)->value(), 0);

	dlg->m_nReg326C = 0xFFFF;
	TypeSharpness("5");
	EXPECT_THAT(RegisterWrites(), ElementsAre("326c=efff"));
	EXPECT_EQ(dlg->m_nReg326C, 0xEFFF);

	// The register is never read first: a change made behind the panel's
	// back is undone.
	dlg->m_nReg326C = 0x2C80;
	qxiic::sim::SetRegister(0x326C, 0x0001);
	TypeSharpness("3");
	EXPECT_THAT(Log(), ElementsAre("W 326c=1c80"));
	EXPECT_EQ(qxiic::sim::Register(0x326C), 0x1C80);
}

TEST_F(ImageFeaturesTest, SharpnessAboveSevenIsLimited)
{
	Open();
	TypeSharpness("9");
	EXPECT_EQ(Text(IDC_SHARPNESS), "7");
	EXPECT_THAT(RegisterWrites(), ElementsAre("326c=3c80", "326c=3c80"));
	EXPECT_EQ(Bar(IDC_SHARPNESS_SCROLL)->value(), 7);

	ClearLog();
	Bar(IDC_SHARPNESS_SCROLL)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
	EXPECT_THAT(Log(), ElementsAre("W 326c=3c80"));
	EXPECT_EQ(Text(IDC_SHARPNESS), "7");
}

TEST_F(ImageFeaturesTest, MirrorAndFlipReadBothRegistersThenWriteBoth)
{
	qxiic::sim::SetRegister(0x301C, 0x0000);
	qxiic::sim::SetRegister(0x3254, 0x0040);
	Open();
	ClearLog();

	Button(IDC_MIRROR)->click();
	EXPECT_TRUE(dlg->m_bMirror);
	EXPECT_THAT(Log(), ElementsAre("R 301c", "R 3254", "W 301c=0001", "W 3254=0041"));

	qxiic::sim::SetRegister(0x301C, 0x0000);
	ClearLog();
	Button(IDC_FLIP)->click();
	EXPECT_TRUE(dlg->m_bFlip);
	EXPECT_THAT(Log(), ElementsAre("R 301c", "R 3254", "W 301c=0102", "W 3254=0043"));

	// Switching either off sets bit 8 of 0x301C.
	qxiic::sim::SetRegister(0x301C, 0x0003);
	ClearLog();
	Button(IDC_MIRROR)->click();
	EXPECT_FALSE(dlg->m_bMirror);
	EXPECT_THAT(RegisterWrites(), ElementsAre("301c=0102", "3254=0042"));

	qxiic::sim::SetRegister(0x301C, 0x0002);
	ClearLog();
	Button(IDC_FLIP)->click();
	EXPECT_FALSE(dlg->m_bFlip);
	EXPECT_THAT(RegisterWrites(), ElementsAre("301c=0100", "3254=0040"));
	EXPECT_TRUE(messages.empty());
}

TEST_F(ImageFeaturesTest, OverlaysKeepTheirStatesWhenTheMasterSwitchChanges)
{
	Open();
	ASSERT_TRUE(Checked(IDC_OVERLAY3));
	ClearLog();

	Button(IDC_ENABLE_OVERLAY)->click();
	EXPECT_FALSE(dlg->m_bOverlayEnable);
	EXPECT_THAT(Log(), ElementsAre("W 4f02=0000"));
	for (int id : { IDC_OVERLAY1, IDC_OVERLAY2, IDC_OVERLAY3, IDC_OVERLAY4 })
		EXPECT_FALSE(Enabled(id)) << id;
	EXPECT_TRUE(Checked(IDC_OVERLAY3));
	EXPECT_EQ(qxiic::sim::Register(0x4F0C), 0x8002);

	ClearLog();
	Button(IDC_ENABLE_OVERLAY)->click();
	EXPECT_THAT(Log(), ElementsAre("W 4f02=8000"));
	for (int id : { IDC_OVERLAY1, IDC_OVERLAY2, IDC_OVERLAY3, IDC_OVERLAY4 })
		EXPECT_TRUE(Enabled(id)) << id;
}

TEST_F(ImageFeaturesTest, EachOverlayBoxWritesItsOwnRegister)
{
	Open();
	struct {
		int id;
		BOOL CVelmoraDlg::*member;
		const char *on;
		const char *off;
	} const overlays[] = {
		{ IDC_OVERLAY1, &CVelmoraDlg::m_bOverlay1, "4f08=8000", "4f08=0000" },
		{ IDC_OVERLAY2, &CVelmoraDlg::m_bOverlay2, "4f0a=8001", "4f0a=0001" },
		{ IDC_OVERLAY3, &CVelmoraDlg::m_bOverlay3, "4f0c=8002", "4f0c=0002" },
		{ IDC_OVERLAY4, &CVelmoraDlg::m_bOverlay4, "4f0e=8003", "4f0e=0003" },
	};
	for (const auto &overlay : overlays) {
		for (int click = 0; click < 2; click++) {
			ClearLog();
			Button(overlay.id)->click();
			bool checked = Checked(overlay.id);
			EXPECT_EQ((*dlg).*overlay.member, checked) << overlay.id;
			EXPECT_THAT(RegisterWrites(), ElementsAre(checked ? overlay.on : overlay.off))
				<< overlay.id;
		}
	}
}

} // namespace
