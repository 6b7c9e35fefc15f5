#include "SummaryFormat.h"

#include "Thumbnails.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

namespace plant {

using Json = nlohmann::ordered_json;

namespace {

using Table = std::vector<std::vector<std::string>>;

std::string Percent(const YieldRow &row)
{
	if (row.programmed == 0)
		return "-";
	char text[16];
	std::snprintf(text, sizeof(text), "%.1f %%", 100.0 * row.firstPass / row.programmed);
	return text;
}

std::string OrDash(const std::optional<std::string> &text)
{
	return text ? *text : "-";
}

std::string OrDash(const std::optional<int> &number)
{
	return number ? std::to_string(*number) : "-";
}

Table YieldTable(const char *what, const std::vector<YieldRow> &rows, const YieldRow &total)
{
	Table t{ { what, "programmed", "passed", "failed", "first pass", "first-pass yield" } };
	for (const YieldRow *row : [&] {
		     std::vector<const YieldRow *> all;
		     for (const YieldRow &r : rows)
			     all.push_back(&r);
		     all.push_back(&total);
		     return all;
	     }())
		t.push_back({ row->key, std::to_string(row->programmed), std::to_string(row->passed),
			      std::to_string(row->failed), std::to_string(row->firstPass), Percent(*row) });
	return t;
}

Table FailureTable(const Summary &s)
{
	Table t{ { "time", "station", "unit", "bus", "page", "result", "cause" } };
	for (const FailureRow &f : s.failures)
		t.push_back({ f.time, f.station, OrDash(f.unit), OrDash(f.bus), OrDash(f.page), f.result,
			      OrDash(f.message) });
	return t;
}

Table GoldenTable(const Summary &s)
{
	Table t{ { "uses", "sha256", "file" } };
	for (const GoldenRow &g : s.goldens)
		t.push_back({ std::to_string(g.uses), g.sha256, g.file.empty() ? "-" : g.file });
	return t;
}

// Columns padded to their widest cell, those marked right-aligned (the
// numbers) to the right; a last left-aligned column (a message) unpadded.
std::string Text(const Table &t, const std::vector<bool> &right)
{
	std::vector<size_t> width(t.front().size(), 0);
	for (const auto &row : t)
		for (size_t c = 0; c < row.size(); c++)
			width[c] = std::max(width[c], row[c].size());
	std::string text;
	for (const auto &row : t) {
		std::string line;
		for (size_t c = 0; c < row.size(); c++) {
			std::string pad(width[c] - row[c].size(), ' ');
			if (right[c])
				line += "  " + pad + row[c];
			else
				line += "  " + row[c] + (c + 1 == row.size() ? "" : pad);
		}
		text += line + '\n';
	}
	return text;
}

std::string Escape(const std::string &text)
{
	std::string out;
	for (char c : text) {
		switch (c) {
		case '&':
			out += "&amp;";
			break;
		case '<':
			out += "&lt;";
			break;
		case '>':
			out += "&gt;";
			break;
		case '"':
			out += "&quot;";
			break;
		default:
			out += c;
		}
	}
	return out;
}

std::string Html(const char *id, const Table &t)
{
	std::string html = "<table id=\"" + std::string(id) + "\">\n<tr>";
	for (const std::string &cell : t.front())
		html += "<th>" + Escape(cell) + "</th>";
	html += "</tr>\n";
	for (size_t r = 1; r < t.size(); r++) {
		html += "<tr>";
		for (const std::string &cell : t[r])
			html += "<td>" + Escape(cell) + "</td>";
		html += "</tr>\n";
	}
	return html + "</table>\n";
}

// Bars of first-pass yield per day, 0 to 100 %, labelled with the day.
std::string Chart(const std::vector<YieldRow> &days)
{
	const int bar = 36, gap = 12, height = 160, top = 20, bottom = 40;
	int width = std::max(1, static_cast<int>(days.size())) * (bar + gap) + gap + 40;
	std::string svg = "<svg id=\"yield-chart\" width=\"" + std::to_string(width) + "\" height=\"" +
			  std::to_string(top + height + bottom) +
			  "\" role=\"img\" aria-label=\"first-pass yield per day\">\n";
	svg += "<line x1=\"40\" y1=\"" + std::to_string(top + height) + "\" x2=\"" + std::to_string(width) +
	       "\" y2=\"" + std::to_string(top + height) + "\" stroke=\"#444\"/>\n";
	for (int p : { 0, 50, 100 })
		svg += "<text x=\"34\" y=\"" + std::to_string(top + height - p * height / 100 + 4) +
		       "\" text-anchor=\"end\" font-size=\"11\">" + std::to_string(p) + " %</text>\n";
	for (size_t i = 0; i < days.size(); i++) {
		const YieldRow &d = days[i];
		double yield = d.programmed ? static_cast<double>(d.firstPass) / d.programmed : 0.0;
		int h = static_cast<int>(yield * height + 0.5);
		int x = 40 + gap + static_cast<int>(i) * (bar + gap);
		char rect[256];
		std::snprintf(rect, sizeof(rect),
			      "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"#3a7d44\" "
			      "data-day=\"%s\" data-yield=\"%.3f\"><title>%s: %s</title></rect>\n",
			      x, top + height - h, bar, h, d.key.c_str(), yield, d.key.c_str(),
			      Percent(d).c_str());
		svg += rect;
		svg += "<text x=\"" + std::to_string(x + bar / 2) + "\" y=\"" +
		       std::to_string(top + height + 14) + "\" text-anchor=\"middle\" font-size=\"10\">" +
		       Escape(d.key.substr(5)) + "</text>\n";
	}
	return svg + "</svg>\n";
}

Json YieldJson(const char *key, const YieldRow &row)
{
	Json j;
	j[key] = row.key;
	j["programmed"] = row.programmed;
	j["passed"] = row.passed;
	j["failed"] = row.failed;
	j["first_pass"] = row.firstPass;
	j["first_pass_yield"] = row.programmed ? Json(static_cast<double>(row.firstPass) / row.programmed)
					       : Json();
	return j;
}

template <typename T>
Json OrNull(const std::optional<T> &value)
{
	return value ? Json(*value) : Json();
}

std::size_t FrameFailures(const Summary &s)
{
	return static_cast<std::size_t>(
		std::count_if(s.failures.begin(), s.failures.end(),
			      [](const FailureRow &f) { return f.result == "frame-failed"; }));
}

// The frame check's failures apart from the EEPROM's.
std::string FailureKinds(const Summary &s)
{
	std::size_t frame = FrameFailures(s);
	if (frame == 0)
		return "";
	return " (" + std::to_string(s.failures.size() - frame) + " EEPROM, " + std::to_string(frame) +
	       " frame check)";
}

const std::vector<bool> kYieldRight{ false, true, true, true, true, true };

} // namespace

std::string SummaryText(const Summary &s, const std::string &what)
{
	std::string text = what + ": " + std::to_string(s.records) + " record" + (s.records == 1 ? "" : "s") +
			   "\n";
	text += "\nYield per day\n" + Text(YieldTable("day", s.days, s.total), kYieldRight);
	text += "\nYield per station\n" + Text(YieldTable("station", s.stations, s.total), kYieldRight);
	text += "\nFailures: " + std::to_string(s.failures.size()) + FailureKinds(s) + "\n";
	if (!s.failures.empty())
		text += Text(FailureTable(s), { false, false, false, false, true, false, false });
	text += "\nGolden files: " + std::to_string(s.goldens.size()) + "\n";
	if (!s.goldens.empty())
		text += Text(GoldenTable(s), { true, false, false });
	return text;
}

Json SummaryJson(const Summary &s)
{
	Json j;
	j["records"] = s.records;
	j["total"] = YieldJson("total", s.total);
	j["total"].erase("total");
	j["days"] = Json::array();
	for (const YieldRow &d : s.days)
		j["days"].push_back(YieldJson("day", d));
	j["stations"] = Json::array();
	for (const YieldRow &d : s.stations)
		j["stations"].push_back(YieldJson("station", d));
	j["eeprom_failures"] = s.failures.size() - FrameFailures(s);
	j["frame_failures"] = FrameFailures(s);
	j["failures"] = Json::array();
	for (const FailureRow &f : s.failures)
		j["failures"].push_back({ { "time", f.time },
					  { "station", f.station },
					  { "unit", OrNull(f.unit) },
					  { "bus", OrNull(f.bus) },
					  { "page", OrNull(f.page) },
					  { "result", f.result },
					  { "message", OrNull(f.message) } });
	j["golden_files"] = Json::array();
	for (const GoldenRow &g : s.goldens)
		j["golden_files"].push_back(
			{ { "sha256", g.sha256 }, { "file", g.file }, { "uses", g.uses } });
	return j;
}

std::string SummaryHtml(const Summary &s, const std::string &what)
{
	std::string html = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; style-src 'unsafe-inline'; img-src data:">
<title>Velmora records: )" +
			   Escape(what) +
			   R"(</title>
<style>
body { font-family: sans-serif; margin: 2em; color: #222; }
table { border-collapse: collapse; margin-bottom: 1.5em; }
th, td { border: 1px solid #bbb; padding: 0.2em 0.6em; text-align: left; }
td { font-variant-numeric: tabular-nums; }
tr:last-child td { font-weight: bold; }
table#failures tr:last-child td, table#golden-files tr:last-child td { font-weight: normal; }
figure { display: inline-block; vertical-align: top; width: 166px; margin: 0 1em 1em 0; font-size: 0.85em; }
figure img { display: block; width: 160px; border: 3px solid #3a7d44; }
figure.fail img { border-color: #b3261e; }
</style>
</head>
<body>
)";
	html += "<h1>Records: " + Escape(what) + "</h1>\n<p id=\"records\">" + std::to_string(s.records) +
		" record" + (s.records == 1 ? "" : "s") + "</p>\n";
	html += "<h2>First-pass yield per day</h2>\n" + Chart(s.days);
	html += "<h2>Yield per day</h2>\n" + Html("days", YieldTable("day", s.days, s.total));
	html += "<h2>Yield per station</h2>\n" + Html("stations", YieldTable("station", s.stations, s.total));
	html += "<h2>Failures</h2>\n" + Html("failures", FailureTable(s));
	html += "<h2>Golden files</h2>\n" + Html("golden-files", GoldenTable(s));
	html += ThumbnailsHtml(s.thumbnails);
	return html + "</body>\n</html>\n";
}

} // namespace plant
