// The simulated camera's picture from its registers, pixel by pixel. The
// base state moves the picture by one pixel right and down (trims 22 and
// 22), with automatic exposure at its unity reference, the camera's own
// white balance, neutral sharpness and the overlays off; so a pixel at
// (x, y) shows the scene at (x - 1, y - 1). The scene at PAL size: eight
// 75 % colour bars 90 pixels wide in rows 0..287, the grey ramp
// (x * 255 / 719) in rows 288..359, the wedge left and the face right
// below, the moving marker in rows 316..331.
#include "SimPicture.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using Rgb = std::array<int, 3>;

video::SensorState Base()
{
	video::SensorState s;
	s.videoStandard = 0x0006;
	s.trimHorizontal = 22;
	s.trimVertical = 22;
	s.mirrorFlip = 0x0100;
	s.exposureMode = 0x000F;
	s.exposureReference = 0x0050;
	s.shutter = 0x00A6;
	s.gain = 0x1030;
	s.wbMode = 0x00FF;
	s.redGreen = 0x0050;
	s.blueGreen = 0x0050;
	s.sharpness = 0x1880;
	s.overlayEnable = 0x0000;
	s.overlay[0] = 0x0000;
	s.overlay[1] = 0x0001;
	s.overlay[2] = 0x0002;
	s.overlay[3] = 0x0003;
	return s;
}

Rgb PixelAt(const video::Frame &f, int x, int y)
{
	const std::size_t i = static_cast<std::size_t>((y * f.width + x) * 3);
	return { f.rgb[i], f.rgb[i + 1], f.rgb[i + 2] };
}

Rgb Render(const video::SensorState &s, int x, int y, std::int64_t frame = 0)
{
	video::Frame f;
	video::RenderSimPicture(s, frame, f);
	return PixelAt(f, x, y);
}

TEST(SimPicture, TheStandardRegisterChoosesTheFrameSize)
{
	const struct {
		std::uint16_t standard;
		int width, height;
	} cases[] = {
		{ 0x0006, 720, 576 }, { 0x0002, 720, 576 }, { 0x0004, 720, 480 }, { 0x0000, 720, 480 }
	};
	for (const auto &c : cases) {
		video::SensorState s = Base();
		s.videoStandard = c.standard;
		video::Frame f;
		video::RenderSimPicture(s, 0, f);
		EXPECT_EQ(f.width, c.width) << c.standard;
		EXPECT_EQ(f.height, c.height) << c.standard;
		EXPECT_EQ(f.rgb.size(), static_cast<std::size_t>(c.width * c.height * 3));
	}
}

TEST(SimPicture, MirrorSwapsColumnsAndFlipSwapsRows)
{
	const struct {
		std::uint16_t mirrorFlip;
		int x, y;
		Rgb expected;
	} cases[] = {
		{ 0x0100, 100, 100, { 191, 191, 0 } },   // yellow bar
		{ 0x0101, 100, 100, { 0, 0, 191 } },     // mirrored: column 620 of the scene, the blue bar
		{ 0x0100, 600, 100, { 0, 0, 191 } },     // blue bar
		{ 0x0102, 600, 100, { 224, 172, 140 } }, // flipped: row 476 of the scene, the face
		{ 0x0103, 121, 100, { 224, 172, 140 } }, // both: column 599, row 476
		{ 0x0002, 600, 100, { 224, 172, 140 } }, // bit 8 plays no part
	};
	for (const auto &c : cases) {
		video::SensorState s = Base();
		s.mirrorFlip = c.mirrorFlip;
		EXPECT_EQ(Render(s, c.x, c.y), c.expected)
			<< std::hex << c.mirrorFlip << std::dec << " at " << c.x;
	}
}

TEST(SimPicture, TrimMovesThePictureByTheTrimmedAmount)
{
	// The edge between the white and the yellow bar sits at column 90 of
	// the scene; it shows at 90 + 23 - trim. Vertically the bars end at
	// row 288; the ramp under them (at column 449: 159) starts at 288 +
	// 23 - trim.
	const Rgb white = { 191, 191, 191 }, yellow = { 191, 191, 0 };
	const Rgb magenta = { 191, 0, 191 }, ramp = { 159, 159, 159 };
	const struct {
		std::uint16_t horizontal, vertical;
		int x, y;
		Rgb expected;
	} cases[] = {
		{ 22, 22, 90, 10, white },
		{ 22, 22, 91, 10, yellow },
		{ 24, 22, 88, 10, white },
		{ 24, 22, 89, 10, yellow },
		{ 0, 22, 112, 10, white },
		{ 0, 22, 113, 10, yellow },
		{ 46, 22, 66, 10, white },
		{ 46, 22, 67, 10, yellow },
		{ 22, 22, 450, 288, magenta },
		{ 22, 22, 450, 289, ramp },
		{ 22, 24, 450, 286, magenta },
		{ 22, 24, 450, 287, ramp },
		{ 22, 0, 450, 310, magenta },
		{ 22, 0, 450, 311, ramp },
		{ 22, 46, 450, 264, magenta },
		{ 22, 46, 450, 265, ramp },
		// Beyond 46 the trim counts as 46.
		{ 60, 22, 66, 10, white },
		{ 60, 22, 67, 10, yellow },
	};
	for (const auto &c : cases) {
		video::SensorState s = Base();
		s.trimHorizontal = c.horizontal;
		s.trimVertical = c.vertical;
		EXPECT_EQ(Render(s, c.x, c.y), c.expected)
			<< "trims " << c.horizontal << "/" << c.vertical << " at " << c.x << "," << c.y;
	}
}

TEST(SimPicture, ExposureAndGainsScaleTheLevels)
{
	// (200, 300) shows the ramp's 70, (10, 10) the white bar's 191.
	const struct {
		const char *what;
		std::uint16_t mode, reference, shutter, gain, wbMode, red, blue;
		int x, y;
		Rgb expected;
	} cases[] = {
		// clang-format off
		{ "auto, unity reference", 0x000F, 0x50, 0xA6, 0x1030, 0x00FF, 0x50, 0x50, 200, 300, { 70, 70, 70 } },
		{ "auto, twice the reference", 0x000F, 0xA0, 0xA6, 0x1030, 0x00FF, 0x50, 0x50, 200, 300, { 140, 140, 140 } },
		{ "auto, half the reference", 0x000F, 0x28, 0xA6, 0x1030, 0x00FF, 0x50, 0x50, 10, 10, { 96, 96, 96 } },
		{ "auto, clipped", 0x000F, 0xA0, 0xA6, 0x1030, 0x00FF, 0x50, 0x50, 10, 10, { 255, 255, 255 } },
		{ "auto ignores the shutter", 0x000F, 0x50, 0x13B, 0x1030, 0x00FF, 0x50, 0x50, 200, 300, { 70, 70, 70 } },
		{ "any low bit is auto", 0x0001, 0x50, 0x13B, 0x1030, 0x00FF, 0x50, 0x50, 200, 300, { 70, 70, 70 } },
		{ "manual, unity shutter", 0x0000, 0xA0, 0xA6, 0x1030, 0x00FF, 0x50, 0x50, 200, 300, { 70, 70, 70 } },
		{ "manual, largest shutter", 0x0000, 0x50, 0x13B, 0x1030, 0x00FF, 0x50, 0x50, 200, 300, { 133, 133, 133 } },
		{ "manual, half shutter", 0x0000, 0x50, 0x53, 0x1030, 0x00FF, 0x50, 0x50, 10, 10, { 96, 96, 96 } },
		{ "manual, shutter 0", 0x0000, 0x50, 0x00, 0x1030, 0x00FF, 0x50, 0x50, 10, 10, { 0, 0, 0 } },
		{ "manual, twice the gain", 0x0000, 0x50, 0xA6, 0x1060, 0x00FF, 0x50, 0x50, 200, 300, { 140, 140, 140 } },
		{ "manual, gain above bit 6 ignored", 0x0000, 0x50, 0xA6, 0x10B0, 0x00FF, 0x50, 0x50, 200, 300, { 70, 70, 70 } },
		{ "auto balance ignores the gains", 0x000F, 0x50, 0xA6, 0x1030, 0x00FF, 0xA0, 0x28, 200, 300, { 70, 70, 70 } },
		{ "manual balance", 0x000F, 0x50, 0xA6, 0x1030, 0xFF00, 0xA0, 0x28, 200, 300, { 140, 70, 35 } },
		{ "held measurement", 0x000F, 0x50, 0xA6, 0x1030, 0x0000, 0x28, 0xA0, 200, 300, { 35, 70, 140 } },
		{ "balance and exposure", 0x000F, 0xA0, 0xA6, 0x1030, 0xFF00, 0x28, 0x00, 200, 300, { 70, 140, 0 } },
		// clang-format on
	};
	for (const auto &c : cases) {
		video::SensorState s = Base();
		s.exposureMode = c.mode;
		s.exposureReference = c.reference;
		s.shutter = c.shutter;
		s.gain = c.gain;
		s.wbMode = c.wbMode;
		s.redGreen = c.red;
		s.blueGreen = c.blue;
		EXPECT_EQ(Render(s, c.x, c.y), c.expected) << c.what;
	}
}

TEST(SimPicture, SharpnessRaisesOrSoftensEdges)
{
	// Row 10 at columns 90 and 91: white (191 191 191) then yellow
	// (191 191 0); only blue has an edge there. Bits outside 13..11 of the
	// register play no part.
	const struct {
		std::uint16_t reg;
		int x;
		Rgb expected;
	} cases[] = {
		{ 0x1880, 90, { 191, 191, 191 } }, { 0x1880, 91, { 191, 191, 0 } },
		{ 0x3880, 90, { 191, 191, 255 } }, { 0x3880, 91, { 191, 191, 0 } },
		{ 0x0000, 90, { 191, 191, 120 } }, { 0x0000, 91, { 191, 191, 71 } },
		{ 0xC7FF, 91, { 191, 191, 71 } },  { 0x2C80, 90, { 191, 191, 238 } },
		{ 0x1880, 40, { 191, 191, 191 } }, { 0x3880, 40, { 191, 191, 191 } },
	};
	for (const auto &c : cases) {
		video::SensorState s = Base();
		s.sharpness = c.reg;
		EXPECT_EQ(Render(s, c.x, 10), c.expected) << std::hex << c.reg << std::dec << " at " << c.x;
	}
}

TEST(SimPicture, EachOverlayDrawsWhereItShould)
{
	// Under each overlay's pixel the picture shows: (360, 288) the green
	// bar, (36, 100) the white bar, (360, 432) the wedge's light, (240,
	// 100) the cyan bar.
	const Rgb green = { 0, 191, 0 }, white = { 191, 191, 191 }, light = { 235, 235, 235 },
		  cyan = { 0, 191, 191 };
	const struct {
		const char *what;
		std::uint16_t enable;
		std::array<std::uint16_t, 4> overlays;
		std::uint16_t mirrorFlip;
		std::array<Rgb, 4> expected; // at the four pixels above
	} cases[] = {
		// clang-format off
		{ "all off", 0x8000, { 0x0000, 0x0001, 0x0002, 0x0003 }, 0x0100, { green, white, light, cyan } },
		{ "cross", 0x8000, { 0x8000, 0x0001, 0x0002, 0x0003 }, 0x0100, { Rgb{ 255, 255, 255 }, white, light, cyan } },
		{ "safe-area frame", 0x8000, { 0x0000, 0x8001, 0x0002, 0x0003 }, 0x0100, { green, Rgb{ 255, 255, 0 }, light, cyan } },
		{ "guide line", 0x8000, { 0x0000, 0x0001, 0x8002, 0x0003 }, 0x0100, { green, white, Rgb{ 0, 255, 0 }, cyan } },
		{ "thirds grid", 0x8000, { 0x0000, 0x0001, 0x0002, 0x8003 }, 0x0100, { green, white, light, Rgb{ 128, 128, 128 } } },
		{ "all on", 0x8000, { 0x8000, 0x8001, 0x8002, 0x8003 }, 0x0100, { Rgb{ 255, 255, 255 }, Rgb{ 255, 255, 0 }, Rgb{ 0, 255, 0 }, Rgb{ 128, 128, 128 } } },
		{ "all on, enable off", 0x0000, { 0x8000, 0x8001, 0x8002, 0x8003 }, 0x0100, { green, white, light, cyan } },
		{ "mirror leaves them in place", 0x8000, { 0x8000, 0x8001, 0x8002, 0x8003 }, 0x0103, { Rgb{ 255, 255, 255 }, Rgb{ 255, 255, 0 }, Rgb{ 0, 255, 0 }, Rgb{ 128, 128, 128 } } },
		// clang-format on
	};
	const int xs[] = { 360, 36, 360, 240 };
	const int ys[] = { 288, 100, 432, 100 };
	for (const auto &c : cases) {
		video::SensorState s = Base();
		s.overlayEnable = c.enable;
		for (int i = 0; i < 4; i++)
			s.overlay[i] = c.overlays[static_cast<std::size_t>(i)];
		s.mirrorFlip = c.mirrorFlip;
		video::Frame f;
		video::RenderSimPicture(s, 0, f);
		for (int i = 0; i < 4; i++)
			EXPECT_EQ(PixelAt(f, xs[i], ys[i]), c.expected[static_cast<std::size_t>(i)])
				<< c.what << " pixel " << i;
	}
}

TEST(SimPicture, TheMarkerMovesFromFrameToFrameAndAFrameNumberGivesOnePicture)
{
	// The marker starts at column 0 of the scene and moves 4 columns a
	// frame; (25, 320) shows scene column 24 of the ramp (8) until it
	// passes.
	const struct {
		std::int64_t frame;
		Rgb expected;
	} cases[] = { { 0, { 8, 8, 8 } },
		      { 2, { 8, 8, 8 } },
		      { 3, { 255, 255, 255 } },
		      { 6, { 255, 255, 255 } },
		      { 7, { 8, 8, 8 } } };
	for (const auto &c : cases)
		EXPECT_EQ(Render(Base(), 25, 320, c.frame), c.expected) << c.frame;

	video::Frame a, b;
	video::RenderSimPicture(Base(), 5, a);
	video::RenderSimPicture(Base(), 5, b);
	EXPECT_EQ(a.rgb, b.rgb);
	EXPECT_EQ(a.number, 5);
}

TEST(FrameLevels, MeansAndLumaHistogram)
{
	video::Frame f;
	f.width = 2;
	f.height = 2;
	f.rgb = { 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 0, 255 };
	const video::Levels levels = video::Measure(f);
	EXPECT_DOUBLE_EQ(levels.red, 127.5);
	EXPECT_DOUBLE_EQ(levels.green, 63.75);
	EXPECT_DOUBLE_EQ(levels.blue, 127.5);
	// White 255, black 0, red 77, blue 29 (BT.601).
	EXPECT_EQ(levels.histogram[255], 1u);
	EXPECT_EQ(levels.histogram[0], 1u);
	EXPECT_EQ(levels.histogram[77], 1u);
	EXPECT_EQ(levels.histogram[29], 1u);
}

} // namespace
