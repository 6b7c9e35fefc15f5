// The record line: the contract between a station, its report file, the
// spool and the database.
#include "Record.h"

#include <gtest/gtest.h>

namespace {

plant::Record EveryField()
{
	plant::Record r;
	r.id = "3f1c2a9e-7b4d-4e21-9a0c-5d6e7f809a1b";
	r.time = 1796651325; // 2026-12-07T13:48:45Z
	r.version = "5.4";
	r.station = "line-2";
	r.operatorName = "Ines";
	r.unit = "SN-0042";
	r.sequence = 17;
	r.host = "stn2";
	r.command = "program";
	r.camera = 3;
	r.bus = "/dev/i2c-camera";
	r.busFound = "/dev/i2c-5";
	r.adapter = "CP2112 on /dev/i2c-5";
	r.adapterStatus = -3;
	r.adapterStatusName = "QXIIC_ERR_NACK";
	r.file = "/srv/golden/kl310-a.qmx";
	r.sha256 = "9f86d081884c7d65";
	r.fileSize = 2048;
	r.pages = { 0, 1, 2, 3 };
	r.result = "bus-failure";
	r.exitStatus = 4;
	r.failurePage = 2;
	r.failureBlock = 5;
	r.failureByte = 80;
	r.failureDirection = "write";
	r.firstDifference = plant::Difference{ 2, 80, 0x12, 0x34 };
	r.message = std::string("no acknowledge\0!", 16);
	r.durationMs = 812.5;
	r.frame = plant::FrameValues{ "colour", 5,       720,  576,    "PAL",        "PAL",
				      143.25,   1.40625, 1.0,  512,    { 1, 3 },     { 3 },
				      0.9375,   2.0,     -1.5, 0.8125, "upside down" };
	r.thumbnailPng = std::string("\x89PNG\r\n\x1a\n\0\xff", 10);
	return r;
}

TEST(Record, LineHoldsEveryFieldInOrder)
{
	EXPECT_EQ(
		plant::RecordLine(EveryField()),
		R"({"id":"3f1c2a9e-7b4d-4e21-9a0c-5d6e7f809a1b","time":"2026-12-07T13:48:45Z","version":"5.4",)"
		R"("station":"line-2","operator":"Ines","unit":"SN-0042","sequence":17,"host":"stn2",)"
		R"("command":"program","camera":3,"bus":"/dev/i2c-camera","bus_found":"/dev/i2c-5",)"
		R"("adapter":"CP2112 on /dev/i2c-5","adapter_status":-3,"adapter_status_name":"QXIIC_ERR_NACK",)"
		R"("file":"/srv/golden/kl310-a.qmx","sha256":"9f86d081884c7d65","file_size":2048,)"
		R"("pages":[0,1,2,3],"result":"bus-failure","exit_status":4,"failure_page":2,)"
		R"("failure_block":5,"failure_byte":80,"failure_direction":"write",)"
		R"("first_difference":{"page":2,"byte":80,"found":18,"expected":52},)"
		"\"message\":\"no acknowledge\xEF\xBF\xBD!\",\"duration_ms\":812.5,"
		R"("frame":{"check":"colour","frames":5,"width":720,"height":576,"standard_expected":"PAL",)"
		R"("standard_seen":"PAL","luminance":143.25,"red_green":1.40625,"blue_green":1.0,)"
		R"("moving_pixels":512,"overlays_expected":[1,3],"overlays_seen":[3],"structure":0.9375,)"
		R"("offset_x":2.0,"offset_y":-1.5,"sharpness":0.8125,"orientation":"upside down"}})"
		"\n");
}

// The journal's line is the record's with the thumbnail's bytes in base64.
TEST(Record, JournalLineCarriesTheThumbnail)
{
	std::string line = plant::JournalLine(EveryField());
	std::string record = plant::RecordLine(EveryField());
	EXPECT_EQ(line,
		  record.substr(0, record.size() - 2) + R"(,"thumbnail_png":"iVBORw0KGgoA/w=="})" + "\n");
	const struct {
		const char *bytes, *base64;
	} cases[] = {
		{ "", "" }, { "f", "Zg==" }, { "fo", "Zm8=" }, { "foo", "Zm9v" }, { "\xfb\xff", "+/8=" }
	};
	for (const auto &c : cases)
		EXPECT_EQ(plant::Base64(c.bytes), c.base64) << c.bytes;
}

TEST(Record, UnknownFieldsAreNullNeverEmpty)
{
	plant::Record r;
	r.id = plant::NewRecordId();
	r.result = "read";
	std::string line = plant::RecordLine(r);
	for (const char *key :
	     { "operator", "unit", "sequence", "camera", "bus", "bus_found", "adapter", "adapter_status",
	       "adapter_status_name", "file", "sha256", "file_size", "failure_page", "failure_block",
	       "failure_byte", "failure_direction", "first_difference", "message", "frame" })
		EXPECT_NE(line.find("\"" + std::string(key) + "\":null"), std::string::npos) << key;
}

TEST(Record, ParsesBackWhatItWrote)
{
	std::string why;
	std::optional<plant::Record> back = plant::ParseRecordLine(plant::RecordLine(EveryField()), why);
	ASSERT_TRUE(back) << why;
	EXPECT_EQ(plant::RecordLine(*back), plant::RecordLine(EveryField()));
}

TEST(Record, ReadsLinesOfEarlierVersions)
{
	// As velmora-eeprom 5.4 wrote it: no id, no station, pages a count, "" for unknown.
	std::string why;
	std::optional<plant::Record> r = plant::ParseRecordLine(
		R"({"time":"2026-12-07T13:48:45Z","host":"stn1","bus":"sim:0","adapter":"","command":"program",)"
		R"("file":"a.qmx","sha256":"ab","pages":3,"result":"verified","exit_status":0,)"
		R"("first_difference":null,"message":"","duration_ms":12.3})",
		why);
	ASSERT_TRUE(r) << why;
	EXPECT_EQ(r->station, "stn1");
	EXPECT_EQ(r->pages, (std::vector<int>{ 0, 1, 2 }));
	EXPECT_FALSE(r->adapter);
	EXPECT_FALSE(r->message);
	EXPECT_EQ(r->bus, "sim:0");

	struct Bad {
		const char *line, *why;
	} bad[] = {
		{ "not json", "not a JSON object" },
		{ R"({"time":"yesterday","result":"verified"})", "no valid \"time\"" },
		{ R"({"time":"2026-12-07T13:48:45Z"})", "no \"result\"" },
		{ R"({"time":"2026-12-07T13:48:45Z","result":"read","unit":7})",
		  "a field of the wrong type" },
		{ R"({"time":"2026-12-07T13:48:45Z","result":"read","pages":"all"})",
		  "\"pages\" is neither a list nor a count" },
	};
	for (const Bad &b : bad) {
		std::string reason;
		EXPECT_FALSE(plant::ParseRecordLine(b.line, reason)) << b.line;
		EXPECT_EQ(reason, b.why) << b.line;
	}
}

TEST(Record, IdsAreRandomVersion4)
{
	std::string a = plant::NewRecordId(), b = plant::NewRecordId();
	ASSERT_EQ(a.size(), 36u) << a;
	for (size_t i = 0; i < a.size(); i++) {
		if (i == 8 || i == 13 || i == 18 || i == 23)
			EXPECT_EQ(a[i], '-') << a;
		else
			EXPECT_NE(std::string("0123456789abcdef").find(a[i]), std::string::npos) << a;
	}
	EXPECT_EQ(a[14], '4') << a;                                         // version 4
	EXPECT_NE(std::string("89ab").find(a[19]), std::string::npos) << a; // RFC 4122 variant
	EXPECT_NE(a, b);
}

TEST(Record, TimesAsWrittenHereAndByPostgresql)
{
	struct {
		const char *text;
		std::optional<std::time_t> time;
	} cases[] = {
		{ "2026-12-07T13:48:45Z", 1796651325 },
		{ "2026-12-07 13:48:45+00", 1796651325 },
		{ "2026-12-07T13:48:45.250+00:00", 1796651325 },
		{ "2026-12-07", 1796601600 },
		{ "2026-12-07T13:48:45+01:00", std::nullopt },
		{ "2026-13-07", std::nullopt },
		{ "2026-12-07T25:00:00Z", std::nullopt },
		// Calendar dates only, digits only, four of them for the year.
		{ "2024-02-29", 1709164800 },
		{ "2025-02-29", std::nullopt },
		{ "2026-02-30", std::nullopt },
		{ "2026-04-31", std::nullopt },
		{ "2026-+1-01", std::nullopt },
		{ "2026- 1-01", std::nullopt },
		{ "2026-1-01", std::nullopt },
		{ " 2026-12-07", std::nullopt },
		{ "2026-12-07T13:48:4Z", std::nullopt },
		{ "2026-12-07T+1:48:45Z", std::nullopt },
		{ "0000-01-01", std::nullopt },
		{ "0001-01-01T00:00:00Z", -62135596800 },
		{ "0999-12-31T23:59:59Z", -30610224001 },
	};
	for (const auto &c : cases)
		EXPECT_EQ(plant::ParseIsoUtc(c.text), c.time) << c.text;

	// Written with four-digit years always, as PostgreSQL writes them and
	// so that their text sorts as the times do.
	const struct {
		std::time_t time;
		const char *text;
	} written[] = {
		{ 1796651325, "2026-12-07T13:48:45Z" },   { -1, "1969-12-31T23:59:59Z" },
		{ -62135596800, "0001-01-01T00:00:00Z" }, { -30610224001, "0999-12-31T23:59:59Z" },
		{ -30610224000, "1000-01-01T00:00:00Z" },
	};
	for (const auto &w : written)
		EXPECT_EQ(plant::IsoUtc(w.time), w.text) << w.time;
}

} // namespace

// A station, operator or unit the table can index, as UTF-8 text.
TEST(RecordName, LengthAndUtf8)
{
	const struct {
		std::string value;
		const char *why;
	} cases[] = {
		{ "", "" },
		{ "SN-0042", "" },
		{ "M\xc3\xbcller", "" },            // ü
		{ "\xe6\x97\xa5\xe6\x9c\xac", "" }, // two CJK characters
		{ "\xf0\x9f\x93\xb7", "" },         // U+1F4F7
		{ std::string(200, 'u'), "" },
		{ std::string(201, 'u'), "is longer than 200 bytes" },
		{ "line-\xff", "is not UTF-8 text (byte 6)" },
		{ "\xc0\xaf", "is not UTF-8 text (byte 1)" },         // overlong '/'
		{ "a\xe0\x80\xaf", "is not UTF-8 text (byte 2)" },    // overlong, three bytes
		{ "\xed\xa0\x80", "is not UTF-8 text (byte 1)" },     // a surrogate
		{ "\xf4\x90\x80\x80", "is not UTF-8 text (byte 1)" }, // past U+10FFFF
		{ "ab\xe2\x82", "is not UTF-8 text (byte 3)" },       // cut short
		{ "\x80", "is not UTF-8 text (byte 1)" },             // a lone continuation
	};
	for (const auto &c : cases)
		EXPECT_EQ(plant::CheckRecordName(c.value), c.why) << c.value;
}
