// The capture back end against a fake Video4Linux2 device: the format and
// standard it asks for, frames converted to RGB, streamed or read(), a
// device that stops delivering, one that vanishes and one whose frames
// are damaged, each said once and tried again without waiting for real.
#include "CaptureDevice.h"
#include "FakeV4l2.h"

#include <gtest/gtest.h>

#include <linux/videodev2.h>

#include <array>
#include <vector>

namespace {

class CaptureTest : public ::testing::Test
{
protected:
	void SetUp() override { fake_v4l2::Reset(); }
	void TearDown() override
	{
		source.reset();
		fake_v4l2::Reset();
	}

	void Open(std::optional<bool> pal = true, std::function<std::optional<bool>()> standard = {})
	{
		video::CaptureOptions options;
		options.pal = pal;
		options.standard = std::move(standard);
		options.calls = &fake_v4l2::Calls();
		options.pause = [this](std::chrono::milliseconds length) {
			pauses.push_back(length.count());
		};
		options.now = fake_v4l2::Now;
		source = video::OpenCaptureDevice(fake_v4l2::TheDevice().path, options);
	}

	std::array<int, 3> FirstPixel() const { return { frame.rgb[0], frame.rgb[1], frame.rgb[2] }; }

	fake_v4l2::Device &device = fake_v4l2::TheDevice();
	std::unique_ptr<video::FrameSource> source;
	video::Frame frame;
	std::vector<long> pauses;
};

TEST_F(CaptureTest, AsksForTheStandardsSizeRateAndGivesRgbFrames)
{
	const struct {
		std::optional<bool> pal;
		std::uint64_t standard;
		std::uint32_t numerator, denominator;
		int height;
	} cases[] = {
		{ true, V4L2_STD_PAL, 1, 25, 576 },
		{ false, V4L2_STD_NTSC, 1001, 30000, 480 },
		{ std::nullopt, 0, 1, 25, 576 }, // the device keeps its standard
	};
	for (const auto &c : cases) {
		fake_v4l2::Reset();
		// The camera's own answer, asked at the opening, goes before pal.
		Open(!c.pal.value_or(false), [&c] { return c.pal; });
		ASSERT_TRUE(source->next(frame));
		EXPECT_EQ(device.standard, c.standard);
		EXPECT_EQ(device.intervalNumerator, c.numerator);
		EXPECT_EQ(device.intervalDenominator, c.denominator);
		EXPECT_EQ(frame.width, 720);
		EXPECT_EQ(frame.height, c.height);
		EXPECT_EQ(frame.rgb.size(), static_cast<std::size_t>(720 * c.height * 3));
		EXPECT_EQ(frame.number, 0);
		EXPECT_EQ(device.streamOns, 1);
	}
}

TEST_F(CaptureTest, GreyYuyvArrivesAsGreyRgbAndFramesCount)
{
	const struct {
		std::uint8_t y;
		std::array<int, 3> rgb;
	} cases[] = { { 180, { 180, 180, 180 } }, { 16, { 16, 16, 16 } }, { 235, { 235, 235, 235 } } };
	Open();
	std::int64_t number = 0;
	for (const auto &c : cases) {
		device.y = c.y;
		ASSERT_TRUE(source->next(frame));
		EXPECT_EQ(FirstPixel(), c.rgb) << int{ c.y };
		EXPECT_EQ(frame.number, number++);
	}
	EXPECT_EQ(device.opens, 1);
	EXPECT_EQ(source->takeNotice(), "");
}

TEST_F(CaptureTest, ADeviceThatStopsIsSaidOnceAfterTwoSecondsAndTriedAgain)
{
	device.framesUntilStop = 1;
	Open();
	ASSERT_TRUE(source->next(frame));
	device.polls = 0;
	EXPECT_FALSE(source->next(frame));
	EXPECT_EQ(device.polls, 20) << "twenty waits of 100 ms";
	EXPECT_EQ(source->takeNotice(), "/dev/video7 has delivered no frame for 2 s; trying it again");
	EXPECT_EQ(device.closes, 1);

	EXPECT_FALSE(source->next(frame));
	EXPECT_EQ(device.opens, 2) << "opened again";
	EXPECT_EQ(source->takeNotice(), "") << "said once";

	device.framesUntilStop = -1;
	EXPECT_TRUE(source->next(frame));
	EXPECT_EQ(device.opens, 3);

	device.framesUntilStop = device.delivered;
	EXPECT_FALSE(source->next(frame));
	EXPECT_EQ(source->takeNotice(), "/dev/video7 has delivered no frame for 2 s; trying it again")
		<< "a new silence after frames is said again";
}

TEST_F(CaptureTest, ADeviceThatVanishesIsSaidOnceAndOpenedAgainWhenBack)
{
	device.framesUntilGone = 1;
	Open();
	ASSERT_TRUE(source->next(frame));
	EXPECT_FALSE(source->next(frame));
	EXPECT_EQ(source->takeNotice(), "/dev/video7 is gone (No such device); waiting for it to come back");
	EXPECT_EQ(device.closes, 1);

	for (int i = 0; i < 3; i++)
		EXPECT_FALSE(source->next(frame));
	EXPECT_EQ(source->takeNotice(), "");
	EXPECT_EQ(pauses, (std::vector<long>{ 1000, 1000, 1000 }));

	device.present = true;
	device.framesUntilGone = -1;
	EXPECT_TRUE(source->next(frame));
	EXPECT_EQ(device.opens, 2);
}

TEST_F(CaptureTest, WhatCannotBeOpenedIsSaidOnceAndWhatIsNoCaptureDeviceIsRefused)
{
	const struct {
		bool present, answers, capture;
		const char *notice;
		bool refused;
	} cases[] = {
		{ false, true, true, "/dev/video7 cannot be opened: No such file or directory", false },
		{ true, false, true, "/dev/video7 is not a capture device: Inappropriate ioctl for device",
		  true },
		{ true, true, false,
		  "/dev/video7 is not a capture device: a Video4Linux2 device without video capture", true },
	};
	for (const auto &c : cases) {
		fake_v4l2::Reset();
		pauses.clear();
		device.present = c.present;
		device.answers = c.answers;
		device.capture = c.capture;
		Open();
		EXPECT_FALSE(source->next(frame));
		EXPECT_EQ(source->refused(), c.refused) << c.notice;
		EXPECT_EQ(pauses, std::vector<long>{}) << "the failing attempt returns at once";
		EXPECT_FALSE(source->next(frame));
		EXPECT_EQ(source->takeNotice(), c.notice);
		EXPECT_EQ(source->takeNotice(), "");
		EXPECT_EQ(pauses, (std::vector<long>{ 1000 })) << "the next one waits first";
		EXPECT_EQ(device.attaches, 0) << "libv4l2 never sees it";
		EXPECT_EQ(device.opens - device.closes, 0) << "nothing left open";
	}
}

TEST_F(CaptureTest, ADeviceThatOffersOnlyReadIsRead)
{
	device.readOnly = true;
	device.y = 235;
	Open();
	ASSERT_TRUE(source->next(frame)) << source->takeNotice();
	EXPECT_EQ(FirstPixel(), (std::array<int, 3>{ 235, 235, 235 }));
	EXPECT_EQ(frame.height, 576);
	EXPECT_EQ(device.streamOns, 0);
	EXPECT_EQ(device.attaches, 1);
}

// However fast incomplete frames come, the device is given two seconds of
// the clock to send a whole one; then it is said what came instead.
TEST_F(CaptureTest, IncompleteFramesAreNamedAfterTwoSecondsOfTheClock)
{
	const struct {
		bool readOnly, shortFrames, errorFlag;
		const char *notice;
	} cases[] = {
		{ false, true, false,
		  "/dev/video7: frames arrive incomplete (414720 of 829440 bytes), none whole for 2 s; trying it again" },
		{ false, false, true,
		  "/dev/video7: frames arrive incomplete (flagged as damaged by the device), none whole for 2 s; "
		  "trying it again" },
		{ true, true, false,
		  "/dev/video7: frames arrive incomplete (414720 of 829440 bytes), none whole for 2 s; trying it again" },
	};
	for (const auto &c : cases) {
		fake_v4l2::Reset();
		device.readOnly = c.readOnly;
		device.shortFrames = c.shortFrames;
		device.errorFlag = c.errorFlag;
		Open();
		const auto start = fake_v4l2::Now();
		EXPECT_FALSE(source->next(frame));
		EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(fake_v4l2::Now() - start)
				  .count(),
			  2000);
		EXPECT_EQ(device.delivered, 50) << "one frame each 40 ms";
		EXPECT_EQ(source->takeNotice(), c.notice);
		EXPECT_EQ(device.closes, 1);
	}
}

TEST_F(CaptureTest, StoppedItReturnsAtOnce)
{
	Open();
	source->stop();
	EXPECT_FALSE(source->next(frame));
	EXPECT_EQ(device.opens, 0);
}

} // namespace
