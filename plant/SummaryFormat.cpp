#include "SummaryFormat.h"

#include "HtmlText.h"
#include "Thumbnails.h"
#include "qxiic.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

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
	Table t{ { "time", "station", "unit", "bus", "page", "result", "cause", "detail" } };
	for (const FailureRow &f : s.failures)
		t.push_back({ f.time, f.station, OrDash(f.unit), OrDash(f.bus), OrDash(f.page), f.result,
			      FailureCause(f), OrDash(f.message) });
	return t;
}

// Failed runs per cause, the most frequent first.
std::vector<std::pair<std::string, int>> Causes(const Summary &s)
{
	std::map<std::string, int> counted;
	for (const FailureRow &f : s.failures)
		counted[FailureCause(f)]++;
	std::vector<std::pair<std::string, int>> causes(counted.begin(), counted.end());
	std::stable_sort(causes.begin(), causes.end(),
			 [](const auto &a, const auto &b) { return a.second > b.second; });
	return causes;
}

Table CauseTable(const Summary &s)
{
	Table t{ { "runs", "cause" } };
	for (const auto &[cause, runs] : Causes(s))
		t.push_back({ std::to_string(runs), cause });
	return t;
}

Table DayStationTable(const Summary &s)
{
	Table t{ { "day", "station", "programmed", "passed", "failed", "first pass", "first-pass yield" } };
	for (const YieldRow &r : s.dayStations)
		t.push_back({ r.key, r.station, std::to_string(r.programmed), std::to_string(r.passed),
			      std::to_string(r.failed), std::to_string(r.firstPass), Percent(r) });
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

// A heading that may break at its blanks on a narrow screen, never at a
// hyphen ("first-pass"): U+2011, the hyphen that does not break.
std::string NoBreakAtHyphens(std::string text)
{
	for (size_t at = text.find('-'); at != std::string::npos; at = text.find('-', at))
		text.replace(at, 1, "&#8209;");
	return text;
}

// A table in a box of its own that scrolls sideways on a narrow screen:
// cells do not break (a time or a station at its hyphen), but those of
// the columns named in wrap (a cause, a detail).
std::string Html(const char *id, const Table &t, const std::vector<bool> &right,
		 const std::vector<bool> &wrap = {})
{
	auto cls = [&](size_t c) {
		std::string names = std::string(right[c] ? "num" : "") +
				    (c < wrap.size() && wrap[c] ? (right[c] ? " wrap" : "wrap") : "");
		return names.empty() ? std::string() : " class=\"" + names + "\"";
	};
	std::string html = "<div class=\"scroll\"><table id=\"" + std::string(id) + "\">\n<tr>";
	for (size_t c = 0; c < t.front().size(); c++)
		html += "<th" + cls(c) + ">" + NoBreakAtHyphens(HtmlEscape(t.front()[c])) + "</th>";
	html += "</tr>\n";
	for (size_t r = 1; r < t.size(); r++) {
		html += "<tr>";
		for (size_t c = 0; c < t[r].size(); c++)
			html += "<td" + cls(c) + ">" + HtmlEscape(t[r][c]) + "</td>";
		html += "</tr>\n";
	}
	return html + "</table></div>\n";
}

// Bars of first-pass yield per day, 0 to 100 %, each with its value above
// it and its day and units below.
std::string Chart(const std::vector<YieldRow> &days)
{
	const int bar = 44, gap = 14, height = 160, top = 24, bottom = 44, axis = 40;
	int width = std::max(1, static_cast<int>(days.size())) * (bar + gap) + gap + axis;
	std::string svg = "<div class=\"scroll\"><svg id=\"yield-chart\" width=\"" + std::to_string(width) +
			  "\" height=\"" + std::to_string(top + height + bottom) +
			  "\" role=\"img\" aria-label=\"first-pass yield per day\">\n";
	svg += "<line x1=\"" + std::to_string(axis) + "\" y1=\"" + std::to_string(top + height) + "\" x2=\"" +
	       std::to_string(width) + "\" y2=\"" + std::to_string(top + height) + "\" stroke=\"#444\"/>\n";
	for (int p : { 0, 50, 100 })
		svg += "<text x=\"34\" y=\"" + std::to_string(top + height - p * height / 100 + 4) +
		       "\" text-anchor=\"end\" font-size=\"11\">" + std::to_string(p) + " %</text>\n";
	for (size_t i = 0; i < days.size(); i++) {
		const YieldRow &d = days[i];
		double yield = d.programmed ? static_cast<double>(d.firstPass) / d.programmed : 0.0;
		int h = static_cast<int>(yield * height + 0.5);
		int x = axis + gap + static_cast<int>(i) * (bar + gap);
		std::string day = HtmlEscape(d.key);
		char rect[160];
		std::snprintf(rect, sizeof(rect),
			      "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"#3a7d44\" "
			      "data-yield=\"%.3f\" data-day=\"",
			      x, top + height - h, bar, h, yield);
		svg += rect + day + "\"><title>" + day + ": " + Percent(d) + " first pass, " +
		       std::to_string(d.firstPass) + " of " + std::to_string(d.programmed) +
		       " units</title></rect>\n";
		std::string middle = std::to_string(x + bar / 2);
		svg += "<text class=\"value\" x=\"" + middle + "\" y=\"" +
		       std::to_string(top + height - h - 4) + "\" text-anchor=\"middle\" font-size=\"11\">" +
		       Percent(d) + "</text>\n";
		svg += "<text x=\"" + middle + "\" y=\"" + std::to_string(top + height + 15) +
		       "\" text-anchor=\"middle\" font-size=\"10\">" +
		       HtmlEscape(d.key.substr(std::min<size_t>(5, d.key.size()))) + "</text>\n";
		svg += "<text x=\"" + middle + "\" y=\"" + std::to_string(top + height + 29) +
		       "\" text-anchor=\"middle\" font-size=\"10\" fill=\"#555\">" +
		       std::to_string(d.firstPass) + "/" + std::to_string(d.programmed) + "</text>\n";
	}
	return svg + "</svg></div>\n";
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
const std::vector<bool> kFailureRight{ false, false, false, false, true, false, false, false };
const std::vector<bool> kFailureWrap{ false, false, false, false, false, false, true, true };
const std::vector<bool> kGoldenRight{ true, false, false };
const std::vector<bool> kCauseRight{ true, false };
const std::vector<bool> kDayStationRight{ false, false, true, true, true, true, true };

// First-pass yield of each day (rows) at each station (columns): which
// station lost a day, at a glance beside the chart.
std::string DayStationGrid(const Summary &s)
{
	std::vector<std::string> days, stations;
	std::map<std::pair<std::string, std::string>, const YieldRow *> cells;
	for (const YieldRow &r : s.dayStations) {
		if (days.empty() || days.back() != r.key)
			days.push_back(r.key);
		if (std::find(stations.begin(), stations.end(), r.station) == stations.end())
			stations.push_back(r.station);
		cells[{ r.key, r.station }] = &r;
	}
	std::sort(stations.begin(), stations.end());
	std::string html = "<div class=\"scroll\"><table id=\"day-stations\">\n<caption>First-pass yield "
			   "per day and station</caption>\n<tr><th>day</th>";
	for (const std::string &station : stations)
		html += "<th class=\"num\">" + HtmlEscape(station) + "</th>";
	html += "</tr>\n";
	for (const std::string &day : days) {
		html += "<tr><td>" + HtmlEscape(day) + "</td>";
		for (const std::string &station : stations) {
			auto cell = cells.find({ day, station });
			html += "<td class=\"num\">";
			if (cell == cells.end())
				html += "-";
			else
				html += Percent(*cell->second) + "<br><span class=\"units\">" +
					std::to_string(cell->second->firstPass) + "/" +
					std::to_string(cell->second->programmed) + "</span>";
			html += "</td>";
		}
		html += "</tr>\n";
	}
	return html + "</table></div>\n";
}

// Every failed run a row with its picture, when it has one; on a narrow
// screen each row is a block of the fields that matter there.
std::string FailureRowsHtml(const Summary &s)
{
	std::map<std::string, const Thumbnail *> pictures;
	for (const Thumbnail &t : s.thumbnails)
		pictures[t.id] = &t;
	Table t = FailureTable(s);
	// What a block on a phone shows; the rest only in the wide table.
	const std::vector<bool> inBlock{ true, true, true, false, false, false, true, false };
	std::string html = "<div class=\"scroll\"><table id=\"failures\">\n<tr>";
	for (size_t c = 0; c < t.front().size(); c++)
		html += "<th" + std::string(kFailureRight[c] ? " class=\"num\"" : "") + ">" +
			NoBreakAtHyphens(HtmlEscape(t.front()[c])) + "</th>";
	html += "<th>picture</th></tr>\n";
	for (size_t r = 1; r < t.size(); r++) {
		const FailureRow &f = s.failures[r - 1];
		html += "<tr data-record=\"" + HtmlEscape(f.id) + "\">";
		for (size_t c = 0; c < t[r].size(); c++) {
			std::string classes = std::string(kFailureRight[c] ? "num" : "") +
					      (kFailureWrap[c] ? " wrap" : "") + (inBlock[c] ? "" : " wide");
			size_t start = classes.find_first_not_of(' ');
			classes = start == std::string::npos ? "" : classes.substr(start);
			html += "<td" + (classes.empty() ? "" : " class=\"" + classes + "\"") +
				" data-label=\"" + HtmlEscape(t.front()[c]) + "\">" + HtmlEscape(t[r][c]) +
				"</td>";
		}
		auto picture = pictures.find(f.id);
		if (picture == pictures.end())
			html += "<td class=\"picture none\" data-label=\"picture\">-</td>";
		else
			html += "<td class=\"picture\" data-label=\"picture\"><img alt=\"" +
				HtmlEscape("picture of " + f.time + " " + f.station +
					   (f.unit ? " unit " + *f.unit : "")) +
				"\" src=\"data:image/png;base64," + picture->second->pngBase64 + "\"></td>";
		html += "</tr>\n";
	}
	return html + "</table></div>\n";
}

// "1 record", "2 records".
std::string Count(std::int64_t n, const char *what)
{
	return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

constexpr char kUnitsNote[] = "Counted in units: a unit counts once in each row, passed when its last "
			      "programming there passed, first pass when its very first programming passed.";
constexpr char kRunsNote[] = "Counted in runs, not units: each retry of a unit that fails counts again.";

// text in lines of at most width characters, broken at blanks.
std::string Wrapped(const std::string &text, size_t width)
{
	std::string out, line;
	size_t at = 0;
	while (at < text.size()) {
		size_t end = text.find(' ', at);
		std::string word = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
		if (!line.empty() && line.size() + 1 + word.size() > width) {
			out += line + '\n';
			line.clear();
		}
		line += (line.empty() ? "" : " ") + word;
		at = end == std::string::npos ? text.size() : end + 1;
	}
	return out + line + '\n';
}

} // namespace

std::string PeriodText(const Summary &s, const Heading &h)
{
	if (!h.since && !h.until && !s.firstTime)
		return "no records";
	std::string from = h.since       ? IsoUtc(*h.since)
			   : s.firstTime ? IsoUtc(*s.firstTime)
					 : "the first record";
	if (h.until)
		return from + " until " + IsoUtc(*h.until) + " (not included)";
	return from + " to " + (s.lastTime ? IsoUtc(*s.lastTime) : std::string("now"));
}

std::string FailureCause(const FailureRow &f)
{
	if (f.result == "bus-failure" && f.adapterStatus) {
		switch (*f.adapterStatus) {
		case QXIIC_NACK:
			return "the camera did not acknowledge";
		case QXIIC_DEVICE_NOT_PRESENT:
			return "no camera answered on the bus";
		case QXIIC_TIMEOUT:
			return "the adapter got no response in time";
		case QXIIC_BAD_ACK:
			return "the camera gave a wrong acknowledge";
		case QXIIC_BUS_BUSY:
		case QXIIC_ARBITRATION:
			return "the bus was busy";
		case QXIIC_USB_WRITE_ERROR:
		case QXIIC_USB_READ_ERROR:
		case QXIIC_USB_COMMAND_ERROR:
		case QXIIC_DATA_OVERFLOW:
			return "the USB link to the adapter failed";
		case QXIIC_DEVICE_NOT_FOUND:
			return "the adapter was not found";
		default:
			return "the adapter reported a fault on the bus";
		}
	}
	if (f.result == "bus-failure")
		return "a bus transfer failed";
	if (f.result == "mismatch")
		return "the camera holds other bytes than the file";
	if (f.result == "refused")
		return "the settings file was refused; nothing was written";
	if (f.result == "interrupted")
		return "stopped by Ctrl+C or SIGTERM";
	if (f.result == "file-not-written")
		return "the file could not be written";
	if (f.result == "no-result")
		return "the camera's run gave no result";
	// The kind comes from the record itself: a check added later shows
	// by its own word.
	if (f.result == "frame-failed" && f.check && !f.check->empty() && *f.check != "passed")
		return "the picture failed its check: " + *f.check;
	if (f.result == "frame-failed")
		return "the EEPROM verified, the picture failed its check";
	return "the run failed";
}

std::string SummaryText(const Summary &s, const Heading &h)
{
	std::string text = h.what + ": " + Count(s.records, "record") + "\nPeriod: " + PeriodText(s, h) +
			   "\n";
	text += "\nYield per day, in units\n" + Text(YieldTable("day", s.days, s.total), kYieldRight);
	text += "\nYield per station, in units\n" +
		Text(YieldTable("station", s.stations, s.total), kYieldRight);
	text += "\n" + Wrapped(kUnitsNote, 76);
	text += "\nYield per day and station, in units\n" + Text(DayStationTable(s), kDayStationRight);
	text += "\nFailed runs: " + std::to_string(s.failures.size()) + FailureKinds(s) + "\n" +
		Wrapped(kRunsNote, 76);
	if (!s.failures.empty())
		text += "\nFailed runs by cause\n" + Text(CauseTable(s), kCauseRight) + "\n" +
			Text(FailureTable(s), kFailureRight);
	text += "\nGolden files: " + std::to_string(s.goldens.size()) + "\n";
	if (!s.goldens.empty())
		text += Text(GoldenTable(s), kGoldenRight);
	return text;
}

Json SummaryJson(const Summary &s)
{
	Json j;
	j["records"] = s.records;
	j["first_record"] = s.firstTime ? Json(IsoUtc(*s.firstTime)) : Json();
	j["last_record"] = s.lastTime ? Json(IsoUtc(*s.lastTime)) : Json();
	j["total"] = YieldJson("total", s.total);
	j["total"].erase("total");
	j["days"] = Json::array();
	for (const YieldRow &d : s.days)
		j["days"].push_back(YieldJson("day", d));
	j["stations"] = Json::array();
	for (const YieldRow &d : s.stations)
		j["stations"].push_back(YieldJson("station", d));
	j["day_stations"] = Json::array();
	for (const YieldRow &d : s.dayStations) {
		Json row = YieldJson("day", d);
		row["station"] = d.station;
		j["day_stations"].push_back(row);
	}
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
					  { "cause", FailureCause(f) },
					  { "frame_check", OrNull(f.check) },
					  { "adapter_status", OrNull(f.adapterStatus) },
					  { "message", OrNull(f.message) } });
	j["causes"] = Json::array();
	for (const auto &[cause, runs] : Causes(s))
		j["causes"].push_back({ { "cause", cause }, { "runs", runs } });
	j["golden_files"] = Json::array();
	for (const GoldenRow &g : s.goldens)
		j["golden_files"].push_back(
			{ { "sha256", g.sha256 }, { "file", g.file }, { "uses", g.uses } });
	return j;
}

std::string SummaryHtml(const Summary &s, const Heading &h)
{
	std::string html = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
)" + std::string(kPageMark) +
			   R"(
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; style-src 'unsafe-inline'; img-src data:">
<title>Yield: )" + HtmlEscape(h.what) +
			   R"(</title>
<style>
body { font-family: sans-serif; margin: 2em; color: #222; line-height: 1.4; }
h1 { font-size: 1.5em; overflow-wrap: anywhere; }
h2 { font-size: 1.2em; margin-top: 1.6em; }
.scroll { overflow-x: auto; margin-bottom: 0.5em; }
table { border-collapse: collapse; }
th, td { border: 1px solid #bbb; padding: 0.2em 0.6em; text-align: left; white-space: nowrap; vertical-align: top; }
th { background: #f0f0f0; }
td { font-variant-numeric: tabular-nums; }
.num { text-align: right; }
.wrap { white-space: normal; min-width: 10em; }
#failures { width: 100%; }
td.wrap:last-child { color: #555; font-size: 0.9em; }
#days tr:last-child td, #stations tr:last-child td { font-weight: bold; }
.note { color: #555; font-size: 0.9em; max-width: 50em; }
.facts time, .facts span span { white-space: nowrap; }
figure { display: inline-block; vertical-align: top; width: 166px; margin: 0 1em 1em 0; font-size: 0.85em; }
figure img { display: block; width: 160px; border: 3px solid #3a7d44; }
figure.fail img { border-color: #b3261e; }
.beside { display: flex; flex-wrap: wrap; gap: 1em 2em; align-items: flex-start; }
.beside > div { max-width: 100%; }
caption { text-align: left; font-weight: bold; padding-bottom: 0.3em; }
.units { color: #555; font-size: 0.85em; }
td.picture img { display: block; width: 80px; }
@media (max-width: 600px) {
  body { margin: 0.6em; font-size: 14px; }
  th { white-space: normal; }
  th, td { padding: 0.15em 0.3em; }
  table { font-size: 0.88em; }
  #failures, #failures tbody, #failures tr, #failures td { display: block; width: auto; border: none; }
  #failures tr:first-child, #failures td.wide, #failures td.none { display: none; }
  #failures tr { border: 1px solid #bbb; margin-bottom: 0.6em; padding: 0.3em; }
  #failures td { white-space: normal; overflow-wrap: anywhere; min-width: 0; }
  #failures td::before { content: attr(data-label) ": "; font-weight: bold; }
  #failures td.picture::before { content: none; }
  #failures td.picture img { width: 160px; max-width: 100%; }
  #golden-files td { white-space: normal; overflow-wrap: anywhere; }
  #days, #stations { font-size: 0.78em; }
}
</style>
</head>
<body>
)";
	html += "<h1>Yield: " + HtmlEscape(h.what) + "</h1>\n<p class=\"facts\">";
	// A time never breaks at its hyphens; the line breaks between words.
	std::string period;
	std::string text = PeriodText(s, h);
	for (size_t at = 0; at < text.size();) {
		size_t end = std::min(text.find(' ', at), text.size());
		std::string word = HtmlEscape(text.substr(at, end - at));
		period += (at ? " " : "") + (std::isdigit(static_cast<unsigned char>(word[0]))
						     ? "<time>" + word + "</time>"
						     : word);
		at = end + 1;
	}
	html += "<span id=\"period\">Period: " + period + "</span><br>\n";
	html += "<span id=\"made\">Made <time>" + IsoUtc(h.made) + "</time>" +
		(h.maker.empty() ? "" : " by <span>" + HtmlEscape(h.maker) + "</span>") + "</span><br>\n";
	html += "<span><span id=\"records\">" + Count(s.records, "record") + "</span>:</span> <span>" +
		Count(s.total.programmed, "unit") + " programmed,</span> <span>" +
		std::to_string(s.total.passed) + " passed,</span> <span>" + std::to_string(s.total.failed) +
		" failed;</span> <span>" + Count(static_cast<std::int64_t>(s.failures.size()), "failed run") +
		"</span></p>\n";
	html += "<h2>First-pass yield per day</h2>\n<div class=\"beside\">\n" + Chart(s.days) +
		DayStationGrid(s) + "</div>\n";
	html += "<h2>Yield per day, in units</h2>\n" +
		Html("days", YieldTable("day", s.days, s.total), kYieldRight);
	html += "<h2>Yield per station, in units</h2>\n" +
		Html("stations", YieldTable("station", s.stations, s.total), kYieldRight);
	html += "<p class=\"note\">" + HtmlEscape(kUnitsNote) + "</p>\n";
	html += "<h2>Failed runs</h2>\n<p class=\"note\">" + HtmlEscape(kRunsNote) + "</p>\n" +
		FailureRowsHtml(s);
	if (!s.failures.empty())
		html += "<h3>Failed runs by cause</h3>\n" +
			Html("causes", CauseTable(s), kCauseRight, { false, true });
	html += "<h2>Golden files</h2>\n<p class=\"note\">Settings files programmed, or found by a verify "
		"in the camera.</p>\n" +
		Html("golden-files", GoldenTable(s), kGoldenRight);
	html += ThumbnailsHtml(s.thumbnails);
	return html + "</body>\n</html>\n";
}

} // namespace plant
