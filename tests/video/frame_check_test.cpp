// The look at a camera's picture: the limits file, each check on frames of
// the simulated scene, a simulated camera's picture faults, thumbnails.
// The base state shows the scene unmoved (trims 23), at unity exposure
// with the camera's own white balance: the grey ground is 128 in every
// channel, and the moving marker (16 x 16, 4 pixels a frame) covers
// 2 x 256 pixels between frames 0 and 4.
#include "CaptureDevice.h"
#include "FakeV4l2.h"
#include "FrameCheck.h"
#include "FrameLimits.h"
#include "SimPicture.h"
#include "SimPictureFaults.h"
#include "Thumbnail.h"
#include "qxiic.h"
#include "qxiic_sim.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

namespace {

namespace fs = std::filesystem;

const char kLimits[] = "frames 5\n"
		       "grey-area 0.545 0.69 0.62 0.73  # the ground left of the face\n"
		       "luminance 100 160\n"
		       "red-green 0.85 1.15\n"
		       "blue-green 0.85 1.15\n"
		       "moving-pixels 100\n"
		       "overlay 1 0.4986 0.474 0.5014 0.526 255 255 255 48\n"
		       "overlay 3 0.3 0.75 0.45 0.7535 0 255 0 48\n";

video::FrameLimits Limits()
{
	std::string why;
	std::optional<video::FrameLimits> limits = video::ParseFrameLimits(kLimits, why);
	EXPECT_TRUE(limits) << why;
	return limits.value_or(video::FrameLimits{});
}

video::SensorState Base()
{
	video::SensorState s;
	s.trimHorizontal = 23;
	s.trimVertical = 23;
	return s;
}

std::vector<video::Frame> Frames(const video::SensorState &s, bool frozen = false, video::Optics optics = {})
{
	std::vector<video::Frame> frames(5);
	for (int i = 0; i < 5; i++)
		video::RenderSimPicture(s, frozen ? 0 : i, frames[static_cast<std::size_t>(i)], optics);
	return frames;
}

TEST(FrameLimits, ReadAsWritten)
{
	video::FrameLimits l = Limits();
	EXPECT_EQ(l.frames, 5);
	EXPECT_DOUBLE_EQ(l.grey.left, 0.545);
	EXPECT_DOUBLE_EQ(l.grey.bottom, 0.73);
	EXPECT_DOUBLE_EQ(l.luminance.min, 100);
	EXPECT_DOUBLE_EQ(l.blueGreen.max, 1.15);
	EXPECT_EQ(l.movingPixels, 100);
	ASSERT_TRUE(l.overlays[2]);
	EXPECT_EQ(l.overlays[2]->colour, (std::array<int, 3>{ 0, 255, 0 }));
	EXPECT_EQ(l.overlays[2]->tolerance, 48);
	EXPECT_FALSE(l.overlays[1]);
}

TEST(FrameLimits, WhatIsNoLimitsFile)
{
	const std::string needed = "grey-area 0 0 1 1\nluminance 1 2\nred-green 1 2\nblue-green 1 2\n";
	const struct {
		std::string text, why;
	} cases[] = {
		{ "luminance 1 2\nred-green 1 2\nblue-green 1 2\n", "no grey-area" },
		{ needed + "frames 1\n", "line 5: frames takes a whole number from 2 to 25" },
		{ needed + "frames 2.5\n", "line 5: frames takes a whole number from 2 to 25" },
		{ "grey-area 0.5 0 0.4 1\n",
		  "line 1: an area's right and bottom lie beyond its left and top" },
		{ "grey-area 0 0 1.5 1\n", "line 1: an area's fractions lie between 0 and 1" },
		{ "luminance 160 100\n",
		  "line 1: luminance takes a lowest and a highest value, the lowest first" },
		{ "red-green 1 x\n",
		  "line 1: red-green takes a lowest and a highest value, the lowest first" },
		{ needed + "overlay 5 0 0 1 1 0 0 0 0\n",
		  "line 5: overlay takes its number 1 to 4, an area, a colour and a tolerance" },
		{ needed + "overlay 2 0 0 1 1 0 300 0 0\n",
		  "line 5: an overlay's colour is three levels 0 to 255" },
		{ needed + "brightness 3\n", "line 5: no setting \"brightness\"" },
		{ needed + "sharpness 0.7\n",
		  "line 5: structure, position, sharpness and orientation go with a reference picture" },
		{ needed + "reference good.png\nstructure 0.8\nsharpness 0.7\n",
		  "no position for the reference picture" },
		{ needed + "reference\n", "line 5: reference takes the file of a picture" },
		{ needed + "reference a.png\nreference b.png\n",
		  "line 6: reference is given twice (first on line 5)" },
		{ needed + "structure 1.5\n", "line 5: structure takes a number from 0 to 1" },
		{ needed + "position -1\n", "line 5: position takes a number of 0 or more" },
		// Each number within its documented range.
		{ "luminance 100 300\n", "line 1: luminance takes values from 0 to 255" },
		{ "luminance -1 100\n", "line 1: luminance takes values from 0 to 255" },
		{ "blue-green -0.5 1\n",
		  "line 1: blue-green takes a lowest and a highest value, the lowest first" },
		{ needed + "frames 26\n", "line 5: frames takes a whole number from 2 to 25" },
		{ needed + "moving-pixels 2.5\n", "line 5: moving-pixels takes a whole number" },
		{ needed + "overlay 2 0 0 1 1 0 127.5 0 0\n",
		  "line 5: an overlay's colour is three levels 0 to 255" },
		{ needed + "overlay 2 0 0 1 1 0 0 0 256\n",
		  "line 5: an overlay's tolerance lies between 0 and 255" },
		// A setting, or an overlay's number, once.
		{ needed + "luminance 3 4\n", "line 5: luminance is given twice (first on line 2)" },
		{ needed + "overlay 2 0 0 1 1 0 0 0 0\n# again\noverlay 2 0 0 1 1 9 9 9 9\n",
		  "line 7: overlay 2 is given twice (first on line 5)" },
	};
	for (const auto &c : cases) {
		std::string why;
		EXPECT_FALSE(video::ParseFrameLimits(c.text, why)) << c.text;
		EXPECT_EQ(why, c.why) << c.text;
	}
}

// The reference's file, relative to the limits file: a PNG of the
// camera's size, else refused with the line that names it.
TEST(FrameLimits, TheReferencePicture)
{
	char pattern[] = "/tmp/velmora-reference-XXXXXX";
	const fs::path dir = mkdtemp(pattern);
	video::Frame pal, small;
	video::RenderSimPicture(Base(), 0, pal);
	small = video::ShrinkFrame(pal);
	std::ofstream(dir / "pal.png", std::ios::binary) << video::EncodePng(pal);
	std::ofstream(dir / "small.png", std::ios::binary) << video::EncodePng(small);
	std::ofstream(dir / "text.png") << "not a picture\n";
	fs::create_directory(dir / "sub");
	const std::string head = std::string(kLimits) + "structure 0.8\nposition 1\nsharpness 0.7\n";
	const struct {
		std::string limitsFile, reference, why;
		int height;
	} cases[] = {
		{ "sub/a.limits", "../pal.png", "", 576 },
		{ "a.limits", (dir / "pal.png").string(), "", 576 },
		{ "a.limits", "missing.png",
		  "line 12: the reference " + (dir / "missing.png").string() +
			  " cannot be used: the file cannot be opened for reading (No such file or directory)",
		  0 },
		{ "a.limits", "text.png",
		  "line 12: the reference " + (dir / "text.png").string() + " is no PNG picture", 0 },
		{ "a.limits", "small.png",
		  "line 12: the reference " + (dir / "small.png").string() +
			  " is 160x128, not a picture of the camera (720x576 or 720x480)",
		  0 },
	};
	for (const auto &c : cases) {
		const fs::path limitsFile = dir / c.limitsFile;
		std::ofstream(limitsFile) << head << "reference " << c.reference << "  # a good unit\n";
		std::string why;
		std::optional<video::FrameLimits> limits = video::ReadFrameLimits(limitsFile.string(), why);
		if (c.why.empty()) {
			ASSERT_TRUE(limits) << c.reference << ": " << why;
			EXPECT_EQ(limits->reference->picture.height, c.height);
			EXPECT_EQ(limits->reference->picture.rgb, pal.rgb);
			EXPECT_DOUBLE_EQ(limits->reference->orientation, 0.1);
		} else {
			EXPECT_FALSE(limits) << c.reference;
			EXPECT_EQ(why, "the limits " + limitsFile.string() + ": " + c.why);
		}
	}
	fs::remove_all(dir);
}

// Each picture fault fails its own check, with the values measured.
TEST(FrameCheck, EachFaultItsOwnReason)
{
	const video::FrameLimits limits = Limits();
	// Unless a case says otherwise: a PAL camera, no overlay expected, the
	// grey ground's 128 and equal ratios, the marker's 2 x 256 pixels.
	const struct {
		const char *name;
		std::function<void(video::SensorState &)> state = [](video::SensorState &) {};
		bool frozen = false;
		std::array<bool, 4> overlays = {};
		const char *failure, *standard = "PAL";
		double luminance = 128.0, redGreen = 1.0;
		long moving = 512;
		std::vector<int> seen = {};
	} cases[] = {
		{ .name = "good", .failure = "passed" },
		{ .name = "overlays on",
		  .state =
			  [](video::SensorState &s) {
				  s.overlayEnable = 0x8000;
				  s.overlay[0] = 0x8000;
				  s.overlay[2] = 0x8002;
			  },
		  .overlays = { true, false, true, false },
		  .failure = "passed",
		  .seen = { 1, 3 } },
		{ .name = "overlay missing",
		  .overlays = { true, false, false, false },
		  .failure = "overlay" },
		{ .name = "NTSC where PAL is said",
		  .state = [](video::SensorState &s) { s.videoStandard = 0x0004; },
		  .failure = "standard",
		  .standard = "NTSC" },
		{ .name = "frozen", .frozen = true, .failure = "frozen", .moving = 0 },
		// Exposure reference 0x20 of the unity 0x50: 128 * 0x20 / 0x50.
		{ .name = "dark",
		  .state = [](video::SensorState &s) { s.exposureReference = 0x20; },
		  .failure = "luminance",
		  .luminance = 51.0,
		  .moving = 200 },
		// Manual balance, red gain 0x70 of the unity 0x50: 128 * 1.4 = 179.
		{ .name = "reddish",
		  .state =
			  [](video::SensorState &s) {
				  s.wbMode = 0xFF00;
				  s.redGreen = 0x70;
			  },
		  .failure = "colour",
		  .luminance = 0.299 * 179 + 0.587 * 128 + 0.114 * 128,
		  .redGreen = 179.0 / 128 },
	};
	for (const auto &c : cases) {
		video::SensorState s = Base();
		c.state(s);
		video::FrameExpectation expect{ true, c.overlays };
		video::FrameReport r = video::CheckFrames(Frames(s, c.frozen), expect, limits);
		EXPECT_STREQ(video::VerdictWord(r.verdict), c.failure) << c.name << ": " << r.values;
		EXPECT_EQ(r.standardSeen, c.standard) << c.name;
		EXPECT_EQ(r.standardExpected, "PAL") << c.name;
		EXPECT_NEAR(r.luminance, c.luminance, 0.01) << c.name;
		EXPECT_NEAR(r.redGreen, c.redGreen, 0.001) << c.name;
		EXPECT_NEAR(r.blueGreen, 1.0, 0.001) << c.name;
		if (c.moving != 200) // the marker is dim on a dark picture: only "moving" counts there
			EXPECT_EQ(r.movingPixels, c.moving) << c.name;
		else
			EXPECT_GE(r.movingPixels, limits.movingPixels) << c.name;
		EXPECT_EQ(r.overlaysSeen, c.seen) << c.name;
		EXPECT_EQ(r.frames, 5) << c.name;
	}
}

// The simulated scene against its reference, a frame of the same state:
// turned, moved by one trim step (two pixels), out of focus or dark, each
// is told by its own check and in its own words.
TEST(FrameCheck, AgainstTheReference)
{
	video::FrameLimits limits = Limits();
	std::string why;
	limits.reference = video::ParseFrameLimits(std::string(kLimits) +
							   "reference good.png\nstructure 0.95\n"
							   "position 1\nsharpness 0.7\n",
						   why)
				   ->reference;
	ASSERT_TRUE(limits.reference) << why;
	video::RenderSimPicture(Base(), 0, limits.reference->picture);
	using V = video::FrameVerdict;
	using O = video::Orientation;
	const char *moved = " of the reference's place: is the unit's image trim applied?";
	const struct {
		const char *name;
		std::function<void(video::SensorState &)> state = [](video::SensorState &) {};
		video::Optics optics = {};
		V verdict;
		O orientation = O::Straight;
		double offsetX = 0, offsetY = 0;
		std::string cause = "";
	} cases[] = {
		{ .name = "straight", .verdict = V::Passed },
		{ .name = "mirrored",
		  .state = [](video::SensorState &s) { s.mirrorFlip ^= 0x0001; },
		  .verdict = V::Orientation,
		  .orientation = O::Mirrored,
		  .cause = "the picture is mirrored left to right" },
		{ .name = "flipped",
		  .state = [](video::SensorState &s) { s.mirrorFlip ^= 0x0002; },
		  .verdict = V::Orientation,
		  .orientation = O::UpsideDown,
		  .cause = "the picture is upside down" },
		{ .name = "both",
		  .state = [](video::SensorState &s) { s.mirrorFlip ^= 0x0003; },
		  .verdict = V::Orientation,
		  .orientation = O::MirroredUpsideDown,
		  .cause = "the picture is mirrored left to right and upside down" },
		// Trim 21 of 23 moves the scene 2 pixels right; 25, 2 up.
		{ .name = "trim a step left",
		  .state = [](video::SensorState &s) { s.trimHorizontal = 21; },
		  .verdict = V::Position,
		  .offsetX = 2,
		  .cause = std::string("the picture lies 2.0 pixels right and 0.0 down") + moved },
		{ .name = "trim a step down",
		  .state = [](video::SensorState &s) { s.trimVertical = 25; },
		  .verdict = V::Position,
		  .offsetY = -2,
		  .cause = std::string("the picture lies 0.0 pixels right and 2.0 up") + moved },
		{ .name = "lens off centre",
		  .optics = { -5, 3, 0 },
		  .verdict = V::Position,
		  .offsetX = -5,
		  .offsetY = 3,
		  .cause = std::string("the picture lies 5.0 pixels left and 3.0 down") + moved },
		{ .name = "out of focus",
		  .optics = { 0, 0, 1 },
		  .verdict = V::Sharpness,
		  .cause = "the picture is soft: is the lens in focus?" },
		// Every overlay on, where the reference has none: the thirds grid
		// and the frames cross the whole picture.
		{ .name = "overlays the reference lacks",
		  .state =
			  [](video::SensorState &s) {
				  s.overlayEnable = 0x8000;
				  for (std::uint16_t &o : s.overlay)
					  o |= 0x8000;
			  },
		  .verdict = V::Structure,
		  .cause = "the picture does not look like the reference" },
		// Exposure reference 0x20 of the unity 0x50: luminance 51.
		{ .name = "dark",
		  .state = [](video::SensorState &s) { s.exposureReference = 0x20; },
		  .verdict = V::Luminance },
	};
	for (const auto &c : cases) {
		video::SensorState s = Base();
		c.state(s);
		video::FrameReport r = video::CheckFrames(Frames(s, false, c.optics), { true, {} }, limits);
		EXPECT_EQ(r.verdict, c.verdict) << c.name << ": " << r.cause << "; " << r.values;
		EXPECT_EQ(r.cause.substr(0, c.cause.size()), c.cause) << c.name;
		ASSERT_TRUE(r.reference) << c.name;
		EXPECT_EQ(r.reference->orientation, c.orientation) << c.name;
		if (c.orientation == O::Straight) {
			EXPECT_NEAR(r.reference->likeness.offsetX, c.offsetX, 0.1) << c.name;
			EXPECT_NEAR(r.reference->likeness.offsetY, c.offsetY, 0.1) << c.name;
		}
	}
}

// An NTSC camera against a PAL reference: no comparison, so no pass.
TEST(FrameCheck, APictureThatCannotBeComparedFails)
{
	video::FrameLimits limits = Limits();
	limits.reference = video::ReferenceLimits{};
	video::RenderSimPicture(Base(), 0, limits.reference->picture);
	video::SensorState ntsc = Base();
	ntsc.videoStandard = 0x0004;
	video::FrameReport r = video::CheckFrames(Frames(ntsc), { false, {} }, limits);
	EXPECT_EQ(r.verdict, video::FrameVerdict::Structure);
	EXPECT_EQ(r.cause, "the picture is 720x480, the reference 720x576");
	EXPECT_FALSE(r.reference);
}

// A value exactly at a limit passes; an overlay is seen only when every
// channel is near its colour. The grey ground is 128 in every channel, so
// both ratios are exactly 1.
TEST(FrameCheck, AtTheLimitsEdges)
{
	const char *edges = "grey-area 0.545 0.69 0.62 0.73\n"
			    "luminance 100 160\n"
			    "red-green 0.5 1\n"
			    "blue-green 1 1.5\n"
			    "overlay 2 0.545 0.69 0.62 0.73 0 0 128 10  # blue alone matches the grey\n";
	std::string why;
	std::optional<video::FrameLimits> limits = video::ParseFrameLimits(edges, why);
	ASSERT_TRUE(limits) << why;
	video::FrameReport r = video::CheckFrames(Frames(Base()), { true, {} }, *limits);
	EXPECT_EQ(r.verdict, video::FrameVerdict::Passed) << r.values;
	EXPECT_EQ(r.overlaysSeen, std::vector<int>{});
	r = video::CheckFrames(Frames(Base()), { true, { false, true, false, false } }, *limits);
	EXPECT_EQ(r.verdict, video::FrameVerdict::Overlay) << r.values;
}

TEST(FrameCheck, NoFrameIsNoSignalWithABlackThumbnail)
{
	video::FrameReport r = video::CheckFrames({}, { false, {} }, Limits());
	EXPECT_EQ(r.verdict, video::FrameVerdict::NoSignal);
	EXPECT_EQ(r.values, "no picture from the capture device, NTSC expected");
	video::Frame thumb;
	ASSERT_TRUE(video::DecodePng(r.thumbnailPng, thumb));
	EXPECT_EQ(thumb.width, 160);
	EXPECT_EQ(thumb.height, 106);
	EXPECT_EQ(video::Measure(thumb).luma, 0.0);
}

// Through a grabber: one that delivers the same grey frame again and
// again is frozen; one that falls silent after two frames is no signal.
TEST(FrameCheck, ThroughACaptureDevice)
{
	fake_v4l2::Reset();
	video::CaptureOptions options;
	options.calls = &fake_v4l2::Calls();
	options.pause = [](std::chrono::milliseconds) {};
	options.now = fake_v4l2::Now;
	fake_v4l2::TheDevice().y = 128;
	{
		std::unique_ptr<video::FrameSource> grabber = video::OpenCaptureDevice("/dev/video7",
										       options);
		video::FrameReport r = video::CheckPicture(*grabber, { true, {} }, Limits());
		EXPECT_EQ(r.verdict, video::FrameVerdict::Frozen) << r.values;
		EXPECT_EQ(r.standardSeen, "PAL");
		EXPECT_EQ(r.movingPixels, 0);
		EXPECT_EQ(r.frames, 5);
	}
	fake_v4l2::Reset();
	fake_v4l2::TheDevice().framesUntilStop = 2;
	{
		std::unique_ptr<video::FrameSource> grabber = video::OpenCaptureDevice("/dev/video7",
										       options);
		video::FrameReport r = video::CheckPicture(*grabber, { true, {} }, Limits());
		EXPECT_EQ(r.verdict, video::FrameVerdict::NoSignal);
		EXPECT_EQ(r.frames, 2);
		EXPECT_EQ(r.values,
			  "2 of 5 frames from /dev/video7 (/dev/video7 has delivered no frame for 2 s; "
			  "trying it again), PAL expected");
	}
	fake_v4l2::Reset();
}

// The thumbnail decoded back: 160 pixels wide, its aspect kept, the same
// mean levels as the frame.
TEST(Thumbnail, DecodedBackKeepsSizeAndLevels)
{
	const struct {
		std::uint16_t standard;
		int width, height;
	} cases[] = { { 0x0006, 160, 128 }, { 0x0004, 160, 107 } };
	for (const auto &c : cases) {
		video::SensorState s = Base();
		s.videoStandard = c.standard;
		video::Frame frame;
		video::RenderSimPicture(s, 0, frame);
		video::Frame back;
		ASSERT_TRUE(video::DecodePng(video::EncodePng(video::ShrinkFrame(frame)), back));
		EXPECT_EQ(back.width, c.width);
		EXPECT_EQ(back.height, c.height);
		video::Levels full = video::Measure(frame), small = video::Measure(back);
		EXPECT_NEAR(small.red, full.red, 1.0) << c.standard;
		EXPECT_NEAR(small.green, full.green, 1.0) << c.standard;
		EXPECT_NEAR(small.blue, full.blue, 1.0) << c.standard;
	}
	video::Frame junk;
	EXPECT_FALSE(video::DecodePng("not a png", junk));
}

// The assembly faults as a faults file names them.
TEST(SimPictureFaults, AssemblyFaultsAsWritten)
{
	std::string why;
	video::SimPictureFaults f = video::ParseSimPictureFaults(
		"mirrored\nupside-down  # the sensor turned\nshifted 3 -4\nsoft 2\n", why);
	EXPECT_EQ(why, "");
	EXPECT_TRUE(f.mirrored);
	EXPECT_TRUE(f.upsideDown);
	EXPECT_EQ(f.shiftX, 3);
	EXPECT_EQ(f.shiftY, -4);
	EXPECT_EQ(f.soft, 2);
	const struct {
		const char *text, *why;
	} cases[] = {
		{ "shifted 3\n", "line 1: shifted takes two whole numbers of pixels from -100 to 100" },
		{ "shifted 0 101\n", "line 1: shifted takes two whole numbers of pixels from -100 to 100" },
		{ "soft 0\n", "line 1: soft takes a whole number from 1 to 20" },
		{ "mirrored\nsoft 2 3\n", "line 2: \"3\" after soft" },
	};
	for (const auto &c : cases) {
		why.clear();
		EXPECT_EQ(video::ParseSimPictureFaults(c.text, why), video::SimPictureFaults{}) << c.text;
		EXPECT_EQ(why, c.why) << c.text;
	}
}

// What a page may inline: only a PNG libpng decodes whole, within the
// thumbnail's size and bytes.
TEST(Thumbnail, OnlyACheckedPngIsOne)
{
	const std::string onePixel(
		"\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00"
		"\x00\x01\x08\x02\x00\x00\x00\x90\x77\x53\xde\x00\x00\x00\x0c\x49\x44\x41\x54\x78\xda"
		"\x63\x68\x68\x68\x00\x00\x03\x04\x01\x81\x75\x2e\x01\xbc\x00\x00\x00\x00\x49\x45\x4e\x44"
		"\xae\x42\x60\x82",
		69);
	std::string badChecksum = onePixel;
	badChecksum[55] ^= 1; // the image data's CRC
	const struct {
		const char *name;
		std::string png;
		bool shown;
	} cases[] = {
		{ "one grey pixel", onePixel, true },
		{ "cut inside its data", onePixel.substr(0, 50), false },
		{ "a bad checksum", badChecksum, false },
		{ "a signature before a script", "\x89PNG\r\n\x1a\n<script>alert(1)</script>", false },
		{ "161 pixels wide",
		  std::string(
			  "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\xa1"
			  "\x00\x00\x00\x01\x08\x02\x00\x00\x00\x39\x2f\x59\x0f\x00\x00\x00\x0e\x49\x44\x41"
			  "\x54\x78\xda\x63\x68\x18\x05\xc3\x1d\x00\x00\x5a\x40\xf1\x81\xbf\x86\x2b\xb2\x00\x00"
			  "\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
			  71),
		  false },
		{ "161 pixels high",
		  std::string(
			  "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01"
			  "\x00\x00\x00\xa1\x08\x02\x00\x00\x00\x89\x6b\x42\x30\x00\x00\x00\x12\x49\x44\x41"
			  "\x54\x78\xda\x63\x68\x68\x68\x60\x18\xc5\xa3\x78\x00\x31\x00\xd7\x45\xf1\x81\x32\xec"
			  "\xe3\x5a\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
			  75),
		  false },
		{ "over 128 KiB", onePixel + std::string(128 * 1024, '\0'), false },
	};
	for (const auto &c : cases)
		EXPECT_EQ(video::IsThumbnailPng(c.png), c.shown) << c.name;
}

// A simulated camera's picture faults from its file, read before each frame.
TEST(SimPictureFaults, FromTheFileBesideTheEeprom)
{
	char pattern[] = "/tmp/velmora-faults-XXXXXX";
	fs::path dir = mkdtemp(pattern);
	setenv("QXIIC_SIM_DIR", dir.c_str(), 1);
	IICSelectBus("sim:2");
	qxiic::sim::Reset();
	EXPECT_EQ(video::SimPictureFaultsPath(2), (dir / "sim-2.picture").string());
	auto faults = [&](const char *text) { std::ofstream(dir / "sim-2.picture") << text; };
	std::unique_ptr<video::FrameSource> source = video::OpenSimulatedCamera(
		[](std::chrono::steady_clock::time_point) {}, 2);
	video::Frame a, b;

	faults("cast 1 1 0.5  # bluish no more\nwrong-standard\n");
	ASSERT_TRUE(source->next(a));
	EXPECT_EQ(a.height, 480); // the camera powers up in PAL
	video::Levels cast = video::Measure(a);
	faults("");
	ASSERT_TRUE(source->next(b));
	EXPECT_EQ(b.height, 576);

	faults("frozen\n");
	ASSERT_TRUE(source->next(a));
	ASSERT_TRUE(source->next(b));
	EXPECT_EQ(a.rgb, b.rgb);
	EXPECT_EQ(a.number, b.number);

	faults("no-signal\n");
	EXPECT_FALSE(source->next(a));
	EXPECT_EQ(source->takeNotice(), "no signal: " + (dir / "sim-2.picture").string());

	faults("sparkle\n");
	ASSERT_TRUE(source->next(a));
	EXPECT_EQ(source->takeNotice(),
		  (dir / "sim-2.picture").string() + ": line 1: no picture fault \"sparkle\"");
	fs::remove(dir / "sim-2.picture");
	ASSERT_TRUE(source->next(b));
	EXPECT_NEAR(cast.blue * 2, video::Measure(b).blue, 1.0);
	EXPECT_NEAR(cast.red, video::Measure(b).red, 1.0);

	IICSelectBus(nullptr);
	unsetenv("QXIIC_SIM_DIR");
	fs::remove_all(dir);
}

} // namespace
