#include "Record.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include <sys/random.h>

namespace plant {

using Json = nlohmann::ordered_json;

namespace {

template <typename T>
Json OrNull(const std::optional<T> &value)
{
	return value ? Json(*value) : Json();
}

// PostgreSQL's jsonb and text take no NUL character; an adapter's message
// holding one would keep the record out of the database for ever.
std::string Clean(std::string text)
{
	for (size_t at = text.find('\0'); at != std::string::npos; at = text.find('\0', at))
		text.replace(at, 1, "\xEF\xBF\xBD");
	return text;
}

Json OrNull(const std::optional<std::string> &value)
{
	return value ? Json(Clean(*value)) : Json();
}

// Reads key into out when present and not null; false when its type is wrong.
template <typename T>
bool Optional(const nlohmann::json &j, const char *key, std::optional<T> &out)
{
	auto it = j.find(key);
	if (it == j.end() || it->is_null())
		return true;
	if constexpr (std::is_same_v<T, std::string>) {
		if (!it->is_string())
			return false;
	} else {
		if (!it->is_number_integer())
			return false;
	}
	out = it->get<T>();
	return true;
}

bool Text(const nlohmann::json &j, const char *key, std::string &out)
{
	std::optional<std::string> value;
	if (!Optional(j, key, value))
		return false;
	out = value.value_or("");
	return true;
}

} // namespace

std::string Base64(const std::string &bytes)
{
	static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
	std::string text;
	text.reserve((bytes.size() + 2) / 3 * 4);
	for (std::size_t i = 0; i < bytes.size(); i += 3) {
		std::uint32_t n = static_cast<std::uint8_t>(bytes[i]) << 16;
		if (i + 1 < bytes.size())
			n |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
		if (i + 2 < bytes.size())
			n |= static_cast<std::uint8_t>(bytes[i + 2]);
		text += kDigits[n >> 18 & 63];
		text += kDigits[n >> 12 & 63];
		text += i + 1 < bytes.size() ? kDigits[n >> 6 & 63] : '=';
		text += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
	}
	return text;
}

std::string NewRecordId()
{
	unsigned char b[16];
	size_t got = 0;
	while (got < sizeof(b)) {
		ssize_t n = getrandom(b + got, sizeof(b) - got, 0);
		if (n < 0) {
			if (errno == EINTR)
				continue;
			return "";
		}
		got += static_cast<size_t>(n);
	}
	b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40); // version 4
	b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80); // RFC 4122 variant
	char text[37];
	std::snprintf(text, sizeof(text),
		      "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0], b[1],
		      b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
		      b[15]);
	return text;
}

Json RecordJson(const Record &r)
{
	Json j;
	j["id"] = r.id;
	j["time"] = IsoUtc(r.time);
	j["version"] = Clean(r.version);
	j["station"] = Clean(r.station);
	j["operator"] = OrNull(r.operatorName);
	j["unit"] = OrNull(r.unit);
	j["sequence"] = OrNull(r.sequence);
	j["host"] = Clean(r.host);
	j["command"] = Clean(r.command);
	j["camera"] = OrNull(r.camera);
	j["bus"] = OrNull(r.bus);
	j["bus_found"] = OrNull(r.busFound);
	j["adapter"] = OrNull(r.adapter);
	j["adapter_status"] = OrNull(r.adapterStatus);
	j["adapter_status_name"] = OrNull(r.adapterStatusName);
	j["file"] = OrNull(r.file);
	j["sha256"] = OrNull(r.sha256);
	j["file_size"] = OrNull(r.fileSize);
	j["pages"] = r.pages;
	j["result"] = Clean(r.result);
	j["exit_status"] = r.exitStatus;
	j["failure_page"] = OrNull(r.failurePage);
	j["failure_block"] = OrNull(r.failureBlock);
	j["failure_byte"] = OrNull(r.failureByte);
	j["failure_direction"] = OrNull(r.failureDirection);
	if (const std::optional<Difference> &d = r.firstDifference)
		j["first_difference"] = { { "page", d->page },
					  { "byte", d->byte },
					  { "found", d->found },
					  { "expected", d->expected } };
	else
		j["first_difference"] = nullptr;
	j["message"] = OrNull(r.message);
	j["duration_ms"] = r.durationMs;
	if (const std::optional<FrameValues> &f = r.frame)
		j["frame"] = { { "check", Clean(f->check) },
			       { "frames", f->frames },
			       { "width", OrNull(f->width) },
			       { "height", OrNull(f->height) },
			       { "standard_expected", Clean(f->standardExpected) },
			       { "standard_seen", OrNull(f->standardSeen) },
			       { "luminance", OrNull(f->luminance) },
			       { "red_green", OrNull(f->redGreen) },
			       { "blue_green", OrNull(f->blueGreen) },
			       { "moving_pixels", OrNull(f->movingPixels) },
			       { "overlays_expected", f->overlaysExpected },
			       { "overlays_seen", f->overlaysSeen },
			       { "structure", OrNull(f->structure) },
			       { "offset_x", OrNull(f->offsetX) },
			       { "offset_y", OrNull(f->offsetY) },
			       { "sharpness", OrNull(f->sharpness) },
			       { "orientation", OrNull(f->orientation) } };
	else
		j["frame"] = nullptr;
	return j;
}

std::string JournalLine(const Record &record)
{
	Json j = RecordJson(record);
	if (!record.thumbnailPng.empty())
		j["thumbnail_png"] = Base64(record.thumbnailPng);
	return j.dump(-1, ' ', false, Json::error_handler_t::replace) + '\n';
}

std::string RecordLine(const Record &record)
{
	// A message may hold any byte the adapter gave; never let it break the line.
	return RecordJson(record).dump(-1, ' ', false, Json::error_handler_t::replace) + '\n';
}

namespace {

// The fields every record has, and those it may have; false when one is
// of the wrong type.
bool ReadFields(const nlohmann::json &j, Record &r)
{
	std::optional<int> exitStatus;
	bool ok = Text(j, "id", r.id) && Text(j, "version", r.version) && Text(j, "station", r.station) &&
		  Optional(j, "operator", r.operatorName) && Optional(j, "unit", r.unit) &&
		  Optional(j, "sequence", r.sequence) && Text(j, "host", r.host) &&
		  Text(j, "command", r.command) && Optional(j, "camera", r.camera) &&
		  Optional(j, "bus", r.bus) && Optional(j, "bus_found", r.busFound) &&
		  Optional(j, "adapter", r.adapter) && Optional(j, "adapter_status", r.adapterStatus) &&
		  Optional(j, "adapter_status_name", r.adapterStatusName) && Optional(j, "file", r.file) &&
		  Optional(j, "sha256", r.sha256) && Optional(j, "file_size", r.fileSize) &&
		  Optional(j, "exit_status", exitStatus) && Optional(j, "failure_page", r.failurePage) &&
		  Optional(j, "failure_block", r.failureBlock) &&
		  Optional(j, "failure_byte", r.failureByte) &&
		  Optional(j, "failure_direction", r.failureDirection) && Optional(j, "message", r.message);
	r.exitStatus = exitStatus.value_or(0);
	return ok;
}

// Records of earlier versions: no station but a host; "" for unknown.
void ReadAsNow(Record &r)
{
	if (r.station.empty())
		r.station = r.host;
	for (std::optional<std::string> *field : { &r.bus, &r.adapter, &r.file, &r.sha256, &r.message })
		if (field->has_value() && (*field)->empty())
			field->reset();
}

// "pages": a list of page numbers, or (earlier versions) a count from 0.
bool ReadPages(const nlohmann::json &j, Record &r, std::string &why)
{
	auto it = j.find("pages");
	if (it == j.end() || it->is_null())
		return true;
	if (it->is_number_unsigned() && it->get<unsigned>() <= 8) {
		for (int p = 0; p < it->get<int>(); p++)
			r.pages.push_back(p);
		return true;
	}
	if (!it->is_array()) {
		why = "\"pages\" is neither a list nor a count";
		return false;
	}
	for (const nlohmann::json &p : *it) {
		if (!p.is_number_integer()) {
			why = "\"pages\" holds something else than page numbers";
			return false;
		}
		r.pages.push_back(p.get<int>());
	}
	return true;
}

bool ReadFrame(const nlohmann::json &j, Record &r, std::string &why)
{
	auto it = j.find("frame");
	if (it == j.end() || it->is_null())
		return true;
	auto number = [](const nlohmann::json &o, const char *key) -> std::optional<double> {
		auto v = o.find(key);
		return v != o.end() && v->is_number() ? std::optional<double>(v->get<double>())
						      : std::nullopt;
	};
	try {
		FrameValues f;
		f.check = it->at("check").get<std::string>();
		f.frames = it->value("frames", 0);
		if (std::optional<double> w = number(*it, "width"))
			f.width = static_cast<int>(*w);
		if (std::optional<double> h = number(*it, "height"))
			f.height = static_cast<int>(*h);
		f.standardExpected = it->value("standard_expected", "");
		if (auto seen = it->find("standard_seen"); seen != it->end() && seen->is_string())
			f.standardSeen = seen->get<std::string>();
		f.luminance = number(*it, "luminance");
		f.redGreen = number(*it, "red_green");
		f.blueGreen = number(*it, "blue_green");
		if (std::optional<double> m = number(*it, "moving_pixels"))
			f.movingPixels = static_cast<std::int64_t>(*m);
		f.overlaysExpected = it->value("overlays_expected", std::vector<int>{});
		f.overlaysSeen = it->value("overlays_seen", std::vector<int>{});
		f.structure = number(*it, "structure");
		f.offsetX = number(*it, "offset_x");
		f.offsetY = number(*it, "offset_y");
		f.sharpness = number(*it, "sharpness");
		if (auto turn = it->find("orientation"); turn != it->end() && turn->is_string())
			f.orientation = turn->get<std::string>();
		r.frame = f;
	} catch (const nlohmann::json::exception &) {
		why = "an incomplete \"frame\"";
		return false;
	}
	return true;
}

bool ReadDifference(const nlohmann::json &j, Record &r, std::string &why)
{
	auto it = j.find("first_difference");
	if (it == j.end() || !it->is_object())
		return true;
	try {
		r.firstDifference = Difference{ it->at("page").get<int>(), it->at("byte").get<int>(),
						it->at("found").get<int>(), it->at("expected").get<int>() };
	} catch (const nlohmann::json::exception &) {
		why = "an incomplete \"first_difference\"";
		return false;
	}
	return true;
}

} // namespace

std::optional<Record> ParseRecordLine(const std::string &line, std::string &why)
{
	// Read unordered: the order of keys does not matter here, and it parses faster.
	nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
	if (j.is_discarded() || !j.is_object()) {
		why = "not a JSON object";
		return std::nullopt;
	}
	Record r;
	std::string time;
	if (!Text(j, "time", time) || !ParseIsoUtc(time)) {
		why = "no valid \"time\"";
		return std::nullopt;
	}
	r.time = *ParseIsoUtc(time);
	if (!Text(j, "result", r.result) || r.result.empty()) {
		why = "no \"result\"";
		return std::nullopt;
	}
	if (!ReadFields(j, r)) {
		why = "a field of the wrong type";
		return std::nullopt;
	}
	ReadAsNow(r);
	if (!ReadPages(j, r, why) || !ReadDifference(j, r, why) || !ReadFrame(j, r, why))
		return std::nullopt;
	if (auto it = j.find("duration_ms"); it != j.end() && it->is_number())
		r.durationMs = it->get<double>();
	return r;
}

std::string IsoUtc(std::time_t time)
{
	using namespace std::chrono;
	sys_seconds t{ seconds(time) };
	sys_days day = floor<days>(t);
	year_month_day date{ day };
	hh_mm_ss clock{ t - day };
	// Four digits always: "0001-01-01", as PostgreSQL writes it, and as a
	// sort of the text puts it.
	char text[40];
	std::snprintf(text, sizeof(text), "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
		      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
		      static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
		      static_cast<int>(clock.seconds().count()));
	return text;
}

namespace {

// Exactly count decimal digits at text[at...], into value.
bool Digits(const std::string &text, size_t at, size_t count, int &value)
{
	if (at + count > text.size())
		return false;
	value = 0;
	for (size_t i = at; i < at + count; i++) {
		if (text[i] < '0' || text[i] > '9')
			return false;
		value = value * 10 + (text[i] - '0');
	}
	return true;
}

} // namespace

std::optional<std::time_t> ParseIsoUtc(const std::string &text)
{
	using namespace std::chrono;
	// YYYY-MM-DD, digits only: no sign, no blank, no short field.
	int y = 0, m = 0, d = 0;
	if (!Digits(text, 0, 4, y) || text.size() < 10 || text[4] != '-' || !Digits(text, 5, 2, m) ||
	    text[7] != '-' || !Digits(text, 8, 2, d))
		return std::nullopt;
	// A real calendar date; year 0 is none (the year before 1 is 1 BC).
	year_month_day date{ year(y), month(static_cast<unsigned>(m)), day(static_cast<unsigned>(d)) };
	if (y == 0 || !date.ok())
		return std::nullopt;
	int hh = 0, mm = 0, ss = 0;
	size_t at = 10;
	if (at < text.size() && (text[at] == 'T' || text[at] == ' ')) {
		if (!Digits(text, at + 1, 2, hh) || text.size() < at + 9 || text[at + 3] != ':' ||
		    !Digits(text, at + 4, 2, mm) || text[at + 6] != ':' || !Digits(text, at + 7, 2, ss))
			return std::nullopt;
		at += 9;
		if (at < text.size() && text[at] == '.')
			for (at++; at < text.size() && text[at] >= '0' && text[at] <= '9'; at++) {
			}
		std::string zone = text.substr(at);
		if (zone != "Z" && zone != "+00" && zone != "+00:00")
			return std::nullopt;
		// 60: a leap second, as PostgreSQL takes it (the next minute's first).
		if (hh > 23 || mm > 59 || ss > 60)
			return std::nullopt;
	} else if (at != text.size()) {
		return std::nullopt;
	}
	sys_seconds t = sys_days(date) + hours(hh) + minutes(mm) + seconds(ss);
	return static_cast<std::time_t>(t.time_since_epoch().count());
}

std::string CheckRecordName(const std::string &value)
{
	if (value.size() > kMaxNameBytes)
		return "is longer than " + std::to_string(kMaxNameBytes) + " bytes";
	for (size_t i = 0; i < value.size();) {
		auto byte = [&](size_t at) {
			return at < value.size() ? static_cast<unsigned char>(value[at]) : 0u;
		};
		unsigned lead = byte(i);
		size_t length = lead < 0x80             ? 1
				: (lead & 0xe0) == 0xc0 ? 2
				: (lead & 0xf0) == 0xe0 ? 3
				: (lead & 0xf8) == 0xf0 ? 4
							: 0;
		bool ok = length > 0 && !(length == 2 && lead < 0xc2) && !(length == 4 && lead > 0xf4);
		for (size_t k = 1; ok && k < length; k++)
			ok = (byte(i + k) & 0xc0) == 0x80;
		// No overlong three- or four-byte forms, no surrogates, nothing past U+10FFFF.
		if (ok && length == 3)
			ok = !(lead == 0xe0 && byte(i + 1) < 0xa0) && !(lead == 0xed && byte(i + 1) >= 0xa0);
		if (ok && length == 4)
			ok = !(lead == 0xf0 && byte(i + 1) < 0x90) && !(lead == 0xf4 && byte(i + 1) >= 0x90);
		if (!ok)
			return "is not UTF-8 text (byte " + std::to_string(i + 1) + ")";
		i += length;
	}
	return "";
}

} // namespace plant
