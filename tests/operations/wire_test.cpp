// What crosses between velmora-eeprom and each camera's process: every
// field of a result and of a settings image arrives as it was sent, and
// bytes cut short are no result.
#include "Wire.h"

#include <gtest/gtest.h>

namespace {

using operations::ResultKind;

TEST(WireTest, EveryFieldArrivesAsSent)
{
	// No field at its default, so that one left out of the list shows.
	operations::Result sent;
	sent.outcome = ResultKind::Mismatch;
	sent.direction = eeprom::Direction::Verify;
	sent.status = 4;
	sent.statusName = "QXIIC_TIMEOUT";
	sent.device = 0xA6;
	sent.page = 5;
	sent.block = 3;
	sent.byte = 0x33;
	sent.found = 0x00;
	sent.expected = 0x5A;
	sent.timedOut = true;
	sent.reason = "line 2: 'z' where a value should stand";
	sent.sha256 = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
	sent.size = 6641;

	operations::SettingsImage image;
	image.path = "/tmp/golden.qmx";
	image.bytes = { 0x5A, 0x00, 0xFF, 0x10 };
	image.pages = 8;
	image.sha256 = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
	image.size = 6641;

	operations::WireWriter out;
	operations::PutResult(out, sent);
	operations::PutImage(out, image);
	operations::WireReader in(out.Bytes());
	operations::Result received;
	operations::SettingsImage arrived;
	ASSERT_TRUE(operations::GetResult(in, received));
	ASSERT_TRUE(operations::GetImage(in, arrived));
	EXPECT_TRUE(in.Ok());
	EXPECT_EQ(received, sent);
	EXPECT_EQ(received.size, 6641u);
	EXPECT_EQ(arrived, image);

	// Cut anywhere, it is no result, and what was there stays.
	for (std::size_t cut : { std::size_t{ 0 }, std::size_t{ 7 }, out.Bytes().size() / 2 }) {
		operations::WireReader shortened(std::string_view(out.Bytes()).substr(0, cut));
		operations::Result kept;
		kept.page = 7;
		operations::SettingsImage keptImage;
		EXPECT_FALSE(operations::GetResult(shortened, kept) &&
			     operations::GetImage(shortened, keptImage))
			<< cut;
		if (cut < 100) {
			EXPECT_EQ(kept.page, 7) << cut;
		}
	}
}

// A frame report, every field away from its default, and none at all.
TEST(WireTest, AFrameReportArrivesAsSent)
{
	video::FrameReport sent;
	sent.verdict = video::FrameVerdict::Position;
	sent.cause = "the picture lies 2.0 pixels right";
	sent.values = "PAL 720x576 (PAL expected)";
	sent.frames = 5;
	sent.width = 720;
	sent.height = 576;
	sent.standardExpected = "PAL";
	sent.standardSeen = "NTSC";
	sent.luminance = 0.1 + 0.2; // not a short decimal: arrives whole
	sent.redGreen = 1.40625;
	sent.blueGreen = 0.75;
	sent.movingPixels = 560;
	sent.overlaysExpected = { 1, 3 };
	sent.overlaysSeen = { 4 };
	sent.reference = video::ReferenceValues{ { 0.91, 0.2, 0.3, 0.4, 2.0, -1.5, 0.8125 },
						 video::Orientation::UpsideDown,
						 2.5 };
	sent.thumbnailPng = std::string("\x89PNG\0", 5);

	for (const std::optional<video::FrameReport> &report :
	     { std::optional<video::FrameReport>(sent), std::optional<video::FrameReport>() }) {
		operations::WireWriter out;
		operations::PutFrameReport(out, report);
		operations::WireReader in(out.Bytes());
		std::optional<video::FrameReport> arrived = video::FrameReport{};
		ASSERT_TRUE(operations::GetFrameReport(in, arrived));
		EXPECT_TRUE(in.Ok());
		EXPECT_EQ(arrived, report);
		// Cut short, it is none.
		operations::WireReader shortened(
			std::string_view(out.Bytes()).substr(0, out.Bytes().size() - 1));
		EXPECT_FALSE(operations::GetFrameReport(shortened, arrived) && shortened.Ok());
	}
}

} // namespace
