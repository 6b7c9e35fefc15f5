// What the frame check leaves in the plant's database: its values in the
// record's columns, the thumbnail in its own table, version 2 brought to
// 3, and the pictures the summary's page picks.
#include "PgSink.h"
#include "Thumbnails.h"
#include "plant_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

struct Folder {
	std::string path;
	Folder()
	{
		char name[] = "/tmp/velmora-frames-XXXXXX";
		path = mkdtemp(name);
	}
	~Folder() { fs::remove_all(path); }
};

plant::SinkOptions WithThumbnails(const std::string &folder)
{
	plant::SinkOptions options;
	options.folder = folder;
	options.deadlines = { 500, 500 };
	options.firstRetryMs = 20;
	options.thumbnails = true;
	return options;
}

std::string Open(plant::PgSink &sink)
{
	std::vector<std::string> notices;
	plant::Refusal refusal;
	return sink.Open(notices, refusal);
}

plant::Record Framed(const char *station, const char *time, const char *check, const std::string &png)
{
	plant::Record r = MakeRecord(station, nullptr, time,
				     std::string(check) == "passed" ? "verified" : "frame-failed");
	if (r.result == "frame-failed")
		r.exitStatus = 7;
	r.frame = plant::FrameValues{ check, 5,     720,   576,    "PAL", "PAL", 143.25, 1.40625,   1.0,
				      512,   { 1 }, { 1 }, 0.9375, 2.0,   -1.5,  0.8125, "straight" };
	r.thumbnailPng = png;
	return r;
}

const std::string kPng("\x89PNG\r\n\x1a\n\x00\x01\xfe", 11);
// One grey pixel, and its base64 as the page inlines it.
const std::string kPixel("\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01"
			 "\x00\x00\x00\x01\x08\x02\x00\x00\x00\x90\x77\x53\xde\x00\x00\x00\x0c\x49\x44\x41"
			 "\x54\x78\xda\x63\x68\x68\x68\x00\x00\x03\x04\x01\x81\x75\x2e\x01\xbc\x00\x00\x00"
			 "\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
			 69);
const char kPixelBase64[] =
	"iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR42mNoaGgAAAMEAYF1LgG8AAAAAElFTkSuQmCC";

TEST(FrameRows, ValuesInColumnsAndTheThumbnailInItsTable)
{
	std::string db = NewDatabase(), conninfo = Server().Conninfo(db);
	Folder spool;
	plant::PgSink sink(Server().Url(db), "line-5", WithThumbnails(spool.path));
	ASSERT_EQ(Open(sink), "");
	plant::Record r = Framed("line-5", "2026-12-07T08:00:00Z", "colour", kPng);
	EXPECT_EQ(sink.Store(r).how, plant::Stored::Kept);
	EXPECT_EQ(sink.Store(r).how, plant::Stored::Kept); // again: kept once
	EXPECT_EQ(sink.Finish(10000), 0);
	EXPECT_EQ(Query(conninfo, "SELECT concat_ws('|', result, exit_status, frame_check, frame_standard, "
				  "frame_luminance, frame_red_green, frame_blue_green, frame_moving_pixels, "
				  "frame_structure, frame_offset_x, frame_offset_y, frame_sharpness, "
				  "frame_orientation, record ? 'thumbnail_png') FROM velmora_records"),
		  "frame-failed|7|colour|PAL|143.25|1.40625|1|512|0.9375|2|-1.5|0.8125|straight|f");
	EXPECT_EQ(Query(conninfo, "SELECT id::text || ' ' || encode(png, 'hex') FROM velmora_thumbnails"),
		  r.id + " 89504e470d0a1a0a0001fe");
}

// An older table: a station's role cannot change it and is refused; the
// owner brings it to 4, keeping its records; reading needs no change.
TEST(FrameRows, OlderVersionsBroughtToFour)
{
	const char kDropFour[] = "ALTER TABLE velmora_records DROP COLUMN frame_structure, DROP COLUMN "
				 "frame_offset_x, DROP COLUMN frame_offset_y, DROP COLUMN frame_sharpness, "
				 "DROP COLUMN frame_orientation; ";
	const char kDropThree[] = "ALTER TABLE velmora_records DROP COLUMN frame_check, DROP COLUMN "
				  "frame_standard, DROP COLUMN frame_luminance, DROP COLUMN frame_red_green, "
				  "DROP COLUMN frame_blue_green, DROP COLUMN frame_moving_pixels; DROP TABLE "
				  "velmora_thumbnails; ";
	const struct {
		int version;
		std::string drop;
		const char *refusal;
	} cases[] = {
		{ 2, std::string(kDropFour) + kDropThree,
		  "its records table has schema version 2, which the role station_old cannot bring to 3 (" },
		{ 3, kDropFour,
		  "its records table has schema version 3, which the role station_old cannot bring to 4 (" },
	};
	const std::string base = NewDatabase();
	for (const auto &c : cases) {
		std::string db = base + std::to_string(c.version), conninfo = Server().Conninfo(db);
		ASSERT_EQ(Server().CreateDatabase(db), "");
		Folder spool;
		{
			plant::PgSink made(Server().Url(db), "line-1", WithThumbnails(spool.path));
			ASSERT_EQ(Open(made), "");
		}
		Query(conninfo,
		      c.drop + "UPDATE velmora_schema SET version = " + std::to_string(c.version) +
			      "; INSERT INTO velmora_records (id, time, station, command, pages, result, "
			      "exit_status, record) VALUES (gen_random_uuid(), now(), 'line-1', 'program', '{}', "
			      "'verified', 0, '{}'); DO $$ BEGIN CREATE ROLE station_old LOGIN; EXCEPTION WHEN "
			      "duplicate_object THEN NULL; END $$; GRANT SELECT, INSERT ON velmora_records, "
			      "velmora_schema TO station_old; SELECT 1");

		plant::Database reader;
		ASSERT_EQ(reader.Connect(conninfo), "");
		EXPECT_EQ(reader.PrepareSchema(false), "") << c.version;
		std::string why;
		EXPECT_TRUE(plant::ThumbnailsFromDatabase(reader, {}, why).empty()) << c.version;
		EXPECT_EQ(why, "") << c.version;

		plant::PgSink station(conninfo + " user=station_old", "line-2", WithThumbnails(spool.path));
		EXPECT_NE(Open(station).find(c.refusal), std::string::npos) << c.version;
		plant::PgSink owner(Server().Url(db), "line-3", WithThumbnails(spool.path));
		ASSERT_EQ(Open(owner), "");
		EXPECT_EQ(Query(conninfo, "SELECT version FROM velmora_schema"), "4") << c.version;
		EXPECT_EQ(Query(conninfo, "SELECT count(*) FROM velmora_records"), "1") << c.version;
		EXPECT_EQ(Query(conninfo, "SELECT count(*) FROM velmora_thumbnails"), "0") << c.version;
	}
}

// Every failure with a picture and the first pass of each station and
// day, the same from a report file's records and from the database; only
// a picture that is a thumbnail is shown (a 25-byte blob, or one far too
// large, is not even decoded).
TEST(FrameRows, ThePagePicksFailuresAndEachDaysFirstPass)
{
	const std::string huge = kPixel + std::string(300 * 1024, 'x');
	std::vector<plant::Record> records = {
		Framed("line-1", "2026-12-07T08:00:00Z", "passed", kPixel),
		Framed("line-1", "2026-12-07T08:01:00Z", "passed", kPixel),
		Framed("line-1", "2026-12-07T08:02:00Z", "colour", kPng + std::string(14, '\0')),
		Framed("line-2", "2026-12-07T08:03:00Z", "passed", kPixel),
		Framed("line-1", "2026-12-08T08:00:00Z", "no signal", huge),
		Framed("line-1", "2026-12-08T08:01:00Z", "passed", kPixel),
		MakeRecord("line-2", nullptr, "2026-12-08T08:02:00Z", "mismatch"), // no frame checked
	};
	const struct {
		std::size_t record;
		const char *base64;
	} picked[] = { { 0, kPixelBase64 }, { 2, "" }, { 3, kPixelBase64 }, { 4, "" }, { 5, kPixelBase64 } };
	std::vector<const plant::Record *> fromFile = plant::PickThumbnails(records, {});
	ASSERT_EQ(fromFile.size(), std::size(picked));
	for (std::size_t i = 0; i < std::size(picked); i++)
		EXPECT_EQ(fromFile[i], &records[picked[i].record]) << i;

	Folder folder;
	const std::string report = folder.path + "/report.jsonl";
	for (const plant::Record &r : records)
		if (!r.thumbnailPng.empty())
			std::ofstream(plant::ThumbnailBeside(report, r.id), std::ios::binary)
				<< r.thumbnailPng;
	std::vector<plant::Thumbnail> beside = plant::ThumbnailsBeside(report, records, {});
	ASSERT_EQ(beside.size(), std::size(picked));
	for (std::size_t i = 0; i < std::size(picked); i++)
		EXPECT_EQ(beside[i].pngBase64, picked[i].base64) << i;

	std::string db = NewDatabase();
	Folder spool;
	plant::PgSink sink(Server().Url(db), "line-1", WithThumbnails(spool.path));
	ASSERT_EQ(Open(sink), "");
	for (plant::Record &r : records)
		sink.Store(r);
	EXPECT_EQ(sink.Finish(10000), 0);
	plant::Database reader;
	ASSERT_EQ(reader.Connect(Server().Conninfo(db)), "");
	std::string why;
	std::vector<plant::Thumbnail> fromDatabase = plant::ThumbnailsFromDatabase(reader, {}, why);
	EXPECT_EQ(why, "");
	ASSERT_EQ(fromDatabase.size(), std::size(picked));
	for (std::size_t i = 0; i < std::size(picked); i++) {
		EXPECT_EQ(fromDatabase[i].id, records[picked[i].record].id) << i;
		EXPECT_EQ(fromDatabase[i].check, records[picked[i].record].frame->check) << i;
		EXPECT_EQ(fromDatabase[i].pngBase64, picked[i].base64) << i;
	}
	// The comparison with the reference in each picture's caption.
	EXPECT_NE(plant::ThumbnailsHtml({ fromDatabase[1] })
			  .find("line-1: frame: colour (straight, structure 0.94, offset 2.0 -1.5 px, "
				"sharpness 0.81)</figcaption>"),
		  std::string::npos);
}

// Beside a report file: a picture never kept is left out; a FIFO in its
// place is unreadable, at once.
TEST(FrameRows, APictureBesideAReportIsOnlyAFileThere)
{
	std::vector<plant::Record> records = {
		Framed("line-1", "2026-12-07T08:00:00Z", "colour", kPixel),
		Framed("line-1", "2026-12-07T08:01:00Z", "frozen", kPixel),
	};
	Folder folder;
	const std::string report = folder.path + "/report.jsonl";
	ASSERT_EQ(mkfifo(plant::ThumbnailBeside(report, records[1].id).c_str(), 0600), 0);
	std::vector<plant::Thumbnail> beside = plant::ThumbnailsBeside(report, records, {});
	ASSERT_EQ(beside.size(), 1u);
	EXPECT_EQ(beside[0].id, records[1].id);
	EXPECT_EQ(beside[0].pngBase64, "");
}

// A picture is inlined with its caption as alt text, escaped like the
// caption; one that could not be checked is said, not inlined.
TEST(FrameRows, ThePicturesSection)
{
	plant::Thumbnail shown{ "id-1", "2026-12-07T08:00:00Z", "line\"5", "u<1>", "frame-failed", "colour",
				"AAAA" };
	plant::Thumbnail unreadable = shown;
	unreadable.pngBase64 = "";
	const std::string html = plant::ThumbnailsHtml({ shown, unreadable });
	const std::string caption = "2026-12-07T08:00:00Z line&quot;5 unit u&lt;1&gt;: frame: colour";
	EXPECT_NE(html.find("<img alt=\"" + caption + "\" src=\"data:image/png;base64,AAAA\">"),
		  std::string::npos)
		<< html;
	EXPECT_EQ(html.find("line\"5"), std::string::npos) << html;
	EXPECT_EQ(html.find("data:image/png"), html.rfind("data:image/png")) << html;
	EXPECT_NE(html.find("picture unreadable</p><figcaption>" + caption), std::string::npos) << html;
}

} // namespace
