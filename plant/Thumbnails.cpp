#include "Thumbnails.h"

#include "Database.h"
#include "HtmlText.h"
#include "InputFile.h"
#include "RegularFile.h"
#include "Thumbnail.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include <sys/stat.h>

namespace plant {

namespace {

bool Framed(const Record &r)
{
	return r.frame.has_value();
}

// The base64 of a picture the page may show, "" for one it may not: the
// page inlines it, so a file that only looks like a PNG, or a huge one,
// would put anything into the page.
std::string Shown(const std::string &png)
{
	return video::IsThumbnailPng(png) ? Base64(png) : "";
}

} // namespace

std::string ThumbnailBeside(const std::string &reportPath, const std::string &id)
{
	std::filesystem::path folder = std::filesystem::path(reportPath).parent_path();
	return (folder / (id + ".png")).string();
}

std::string WriteThumbnailFile(const std::string &path, const std::string &png)
{
	// Readable by whoever reads the report file, whatever the umask.
	if (std::string why = fileio::ReplaceRegularFile(path, png, { {}, 0644 }); !why.empty())
		return path + ": " + why;
	return "";
}

std::vector<const Record *> PickThumbnails(const std::vector<Record> &records, const Filter &filter)
{
	std::vector<const Record *> framed;
	for (const Record &r : records)
		if (Framed(r) && KeptBy(r, filter))
			framed.push_back(&r);
	std::stable_sort(framed.begin(), framed.end(), [](const Record *a, const Record *b) {
		if (a->time != b->time)
			return a->time < b->time;
		if (a->sequence.has_value() != b->sequence.has_value())
			return a->sequence.has_value();
		return a->sequence && *a->sequence != *b->sequence ? *a->sequence < *b->sequence
								   : a->id < b->id;
	});
	std::set<std::pair<std::string, std::string>> passShown; // station, day
	std::vector<const Record *> picked;
	for (const Record *r : framed) {
		if (r->exitStatus != 0)
			picked.push_back(r);
		else if (r->result == "verified" &&
			 passShown.insert({ r->station, IsoUtc(r->time).substr(0, 10) }).second)
			picked.push_back(r);
	}
	return picked;
}

std::vector<Thumbnail> ThumbnailsBeside(const std::string &reportPath, const std::vector<Record> &records,
					const Filter &filter)
{
	std::vector<Thumbnail> shown;
	for (const Record *r : PickThumbnails(records, filter)) {
		const std::string file = ThumbnailBeside(reportPath, r->id);
		struct stat st;
		if (lstat(file.c_str(), &st) != 0 && errno == ENOENT)
			continue; // none was kept
		fileio::InputText png = fileio::ReadInputFile(file,
							      { video::kThumbnailMostBytes, "thumbnail" });
		Thumbnail t;
		t.id = r->id;
		t.time = IsoUtc(r->time);
		t.station = r->station;
		t.unit = r->unit;
		t.result = r->result;
		t.check = r->frame->check;
		t.pngBase64 = png.ok ? Shown(png.text) : "";
		t.structure = r->frame->structure;
		t.offsetX = r->frame->offsetX;
		t.offsetY = r->frame->offsetY;
		t.sharpness = r->frame->sharpness;
		t.orientation = r->frame->orientation;
		shown.push_back(std::move(t));
	}
	return shown;
}

std::vector<Thumbnail> ThumbnailsFromDatabase(Database &db, const Filter &filter, std::string &why)
{
	std::vector<Thumbnail> shown;
	PGconn *conn = db.Handle();
	using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;
	Result table(PQexec(conn, "SELECT to_regclass('velmora_thumbnails') IS NOT NULL"), PQclear);
	if (!table || PQresultStatus(table.get()) != PGRES_TUPLES_OK) {
		why = OneLine(table ? PQresultErrorMessage(table.get()) : PQerrorMessage(conn));
		return shown;
	}
	if (PQgetvalue(table.get(), 0, 0)[0] != 't')
		return shown; // written before thumbnails were kept
	std::vector<std::string> params;
	std::string where = FilterSql(filter, params);
	// The same pick as PickThumbnails: failures, and per station and day
	// the first record that passed.
	std::string sql = R"sql(
SELECT r.id::text, to_char(r.time AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'), r.station, r.unit,
	r.result, r.record->'frame'->>'check',
	CASE WHEN octet_length(t.png) <= )sql" +
			  std::to_string(video::kThumbnailMostBytes) + R"sql( THEN t.png END,
	r.record->'frame'->>'structure', r.record->'frame'->>'offset_x', r.record->'frame'->>'offset_y',
	r.record->'frame'->>'sharpness', r.record->'frame'->>'orientation'
FROM (
	SELECT id, time, sequence, station, unit, result, exit_status, record,
		row_number() OVER (PARTITION BY station, (time AT TIME ZONE 'UTC')::date, exit_status = 0
			AND result = 'verified' ORDER BY time, sequence NULLS LAST, id) AS n
	FROM velmora_records WHERE jsonb_typeof(record->'frame') = 'object' AND )sql" +
			  where + R"sql(
) AS r JOIN velmora_thumbnails AS t ON t.id = r.id
WHERE r.exit_status <> 0 OR (r.result = 'verified' AND r.n = 1)
ORDER BY r.time, r.sequence NULLS LAST, r.id
)sql";
	std::vector<const char *> values;
	for (const std::string &p : params)
		values.push_back(p.c_str());
	Result rows(PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
				 nullptr, nullptr, 0),
		    PQclear);
	if (!rows || PQresultStatus(rows.get()) != PGRES_TUPLES_OK) {
		why = OneLine(rows ? PQresultErrorMessage(rows.get()) : PQerrorMessage(conn));
		return shown;
	}
	for (int i = 0; i < PQntuples(rows.get()); i++) {
		PGresult *r = rows.get();
		Thumbnail t;
		t.id = PQgetvalue(r, i, 0);
		t.time = PQgetvalue(r, i, 1);
		t.station = PQgetvalue(r, i, 2);
		if (!PQgetisnull(r, i, 3))
			t.unit = PQgetvalue(r, i, 3);
		t.result = PQgetvalue(r, i, 4);
		t.check = PQgetvalue(r, i, 5);
		// A blob too large to be a thumbnail is not even fetched.
		if (!PQgetisnull(r, i, 6)) {
			std::size_t size = 0;
			std::unique_ptr<unsigned char, decltype(&PQfreemem)> bytes(
				PQunescapeBytea(reinterpret_cast<const unsigned char *>(PQgetvalue(r, i, 6)),
						&size),
				PQfreemem);
			if (bytes)
				t.pngBase64 = Shown(
					std::string(reinterpret_cast<const char *>(bytes.get()), size));
		}
		// From the record's own JSON, which every schema version keeps.
		auto number = [&](int column) -> std::optional<double> {
			if (PQgetisnull(r, i, column))
				return std::nullopt;
			return std::strtod(PQgetvalue(r, i, column), nullptr);
		};
		t.structure = number(7);
		t.offsetX = number(8);
		t.offsetY = number(9);
		t.sharpness = number(10);
		if (!PQgetisnull(r, i, 11))
			t.orientation = PQgetvalue(r, i, 11);
		shown.push_back(std::move(t));
	}
	return shown;
}

static std::string ComparisonText(const Thumbnail &t)
{
	if (!t.structure || !t.offsetX || !t.offsetY || !t.sharpness)
		return "";
	// Less than the tenth shown is no offset: never "-0.0".
	auto tenths = [](double v) { return std::abs(v) < 0.05 ? 0.0 : v; };
	char text[160];
	std::snprintf(text, sizeof(text), " (%s, structure %.2f, offset %.1f %.1f px, sharpness %.2f)",
		      t.orientation.value_or("?").c_str(), *t.structure, tenths(*t.offsetX),
		      tenths(*t.offsetY), *t.sharpness);
	return text;
}

std::string ThumbnailsHtml(const std::vector<Thumbnail> &thumbnails)
{
	std::string html = "<h2>Pictures</h2>\n<div id=\"thumbnails\">\n";
	if (thumbnails.empty())
		html += "<p>No checked frame among these records.</p>\n";
	for (const Thumbnail &t : thumbnails) {
		std::string caption = t.time + " " + t.station + (t.unit ? " unit " + *t.unit : "") + ": " +
				      (t.check == "passed" ? "passed" : "frame: " + t.check) +
				      ComparisonText(t);
		// Only a picture checked as a thumbnail is inlined.
		std::string picture = t.pngBase64.empty() ? "<p class=\"unreadable\">picture unreadable</p>"
							  : "<img alt=\"" + HtmlEscape(caption) +
								    "\" src=\"data:image/png;base64," +
								    t.pngBase64 + "\">";
		html += "<figure class=\"" + std::string(t.check == "passed" ? "pass" : "fail") +
			"\" data-record=\"" + HtmlEscape(t.id) + "\" data-check=\"" + HtmlEscape(t.check) +
			"\">" + picture + "<figcaption>" + HtmlEscape(caption) + "</figcaption></figure>\n";
	}
	return html + "</div>\n";
}

} // namespace plant
