// The record of one camera's run, as a station writes it and a plant keeps
// it: one JSON object per line in a report file, one row in the database.
//
// This header is the one place that names the record's fields. A record
// line holds exactly these keys, in this order (JSON type; null where the
// value is not known, never ""):
//
//   id                   string   a random UUID (RFC 4122 version 4); a record
//                                 sent twice is kept once
//   time                 string   when the camera's run began, "2026-12-07T13:48:45Z"
//   version              string   the tool's version, "5.4"
//   station              string   --station, default the host name
//   operator             string?  --operator
//   unit                 string?  --unit or the line read by --ask-unit
//   sequence             integer? counts on across runs, per station
//   host                 string   the host name
//   command              string   dump, program, verify, erase-settings
//   camera               integer? the camera's number in a station session
//   bus                  string?  the bus as given (--bus); null: found by itself
//   bus_found            string?  the bus the adapter library opened
//   adapter              string?  the adapter library's name of the bus
//   adapter_status       integer? the adapter's status code of a failure
//   adapter_status_name  string?  its name, e.g. "QXIIC_ERR_NACK"
//   file                 string?  the settings file as an absolute path
//   sha256               string?  lower-case hex SHA-256 of the file as used
//   file_size            integer? its size in bytes
//   pages                integer[] the pages written, read or verified
//   result               string   read, verified, mismatch, bus-failure, no-result,
//                                 refused, interrupted, file-not-written, failed
//   exit_status          integer  the run's exit status for this camera
//   failure_page         integer? where a failure happened: page,
//   failure_block        integer?   block of the page,
//   failure_byte         integer?   byte of the page,
//   failure_direction    string?    "read", "write" or "verify"
//   first_difference     object?  {page, byte, found, expected} of a mismatch
//   message              string?  the one line the run said about this camera
//   duration_ms          number   the camera's run, milliseconds
//   frame                object?  --frame-check: what the camera's picture showed
//     check              string     "passed", or the check that failed: "no signal",
//                                   "standard", "frozen", "orientation", "luminance",
//                                   "colour", "position", "sharpness", "structure", "overlay"
//     frames             integer    frames taken
//     width, height      integer?   of the last frame (null: none came)
//     standard_expected  string     "PAL" or "NTSC", as register 0x4000 says
//     standard_seen      string?    as the frame's lines say
//     luminance          number?    mean luma of the grey area, 0..255
//     red_green          number?    its mean red / mean green
//     blue_green         number?    its mean blue / mean green
//     moving_pixels      integer?   pixels changed from the first frame to the last
//     overlays_expected  integer[]  overlays 1..4 the settings script turns on
//     overlays_seen      integer[]  overlays found where the limits place them
//     structure          number?    with a reference picture: SSIM of the grey pictures
//     offset_x, offset_y number?    pixels the picture lies right of and below the reference's
//     sharpness          number?    its edge energy over the reference's
//     orientation        string?    the reference's turn it matches best: "straight",
//                                   "mirrored", "upside down", "mirrored and upside down"
//
// A checked frame's thumbnail (PNG, 160 pixels wide) is not in the line: it
// lies beside a report file as ID.png, and in the database's table
// velmora_thumbnails under the record's id. In the station's journal it
// travels with its record as "thumbnail_png" (base64).
//
// Reading, a record written before these fields existed is accepted:
// missing keys are null, and "pages" as a count n means pages 0 to n-1.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace plant {

// The schema of the database's table; a server holding another refuses.
// Version 2: a station's sequence numbers are unique. Version 3: what the
// frame check measured, in columns, and the thumbnails in their own table.
// Version 4: the comparison with the reference picture, in columns.
inline constexpr int kSchemaVersion = 4;

// The longest station, operator and unit, in bytes: every one of them goes
// into an index, and an index row has a limit of its own.
inline constexpr std::size_t kMaxNameBytes = 200;
// Empty, or why value cannot be a record's station, operator or unit (too
// long, not UTF-8).
std::string CheckRecordName(const std::string &value);

struct Difference {
	int page = 0;
	int byte = 0;
	int found = 0;
	int expected = 0;
};

struct FrameValues {
	std::string check = "passed";
	int frames = 0;
	std::optional<int> width;
	std::optional<int> height;
	std::string standardExpected;
	std::optional<std::string> standardSeen;
	std::optional<double> luminance;
	std::optional<double> redGreen;
	std::optional<double> blueGreen;
	std::optional<std::int64_t> movingPixels;
	std::vector<int> overlaysExpected;
	std::vector<int> overlaysSeen;
	std::optional<double> structure;
	std::optional<double> offsetX;
	std::optional<double> offsetY;
	std::optional<double> sharpness;
	std::optional<std::string> orientation;
	bool operator==(const FrameValues &) const = default;
};

struct Record {
	std::string id;
	std::time_t time = 0;
	std::string version;
	std::string station;
	std::optional<std::string> operatorName; // "operator"
	std::optional<std::string> unit;
	std::optional<std::int64_t> sequence;
	std::string host;
	std::string command;
	std::optional<int> camera;
	std::optional<std::string> bus;
	std::optional<std::string> busFound;
	std::optional<std::string> adapter;
	std::optional<int> adapterStatus;
	std::optional<std::string> adapterStatusName;
	std::optional<std::string> file;
	std::optional<std::string> sha256;
	std::optional<std::int64_t> fileSize;
	std::vector<int> pages;
	std::string result;
	int exitStatus = 0;
	std::optional<int> failurePage;
	std::optional<int> failureBlock;
	std::optional<int> failureByte;
	std::optional<std::string> failureDirection;
	std::optional<Difference> firstDifference;
	std::optional<std::string> message;
	double durationMs = 0;
	std::optional<FrameValues> frame;
	std::string thumbnailPng; // the PNG's bytes; "" none
};

// bytes in base64 (RFC 4648, with padding), as PostgreSQL's decode() and
// a data: URI take it.
std::string Base64(const std::string &bytes);

// A new random id, "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx", from the
// kernel's random source. Empty if that source failed.
std::string NewRecordId();

// The record as one JSON Lines line, ending in '\n'.
std::string RecordLine(const Record &record);
// The same with its thumbnail as "thumbnail_png", for the station's journal.
std::string JournalLine(const Record &record);
// The record as a JSON object (the same keys as RecordLine).
nlohmann::ordered_json RecordJson(const Record &record);

// Parses one line; nullopt with why when it is not a record (not JSON, not
// an object, no valid time or result, a field of the wrong type).
std::optional<Record> ParseRecordLine(const std::string &line, std::string &why);

// "2026-12-07T13:48:45Z" and back, the year always of four digits;
// ParseIsoUtc also takes a bare date (midnight UTC) and a fractional or
// +00:00 ending as PostgreSQL writes it. Only real calendar dates of the
// years 0001 to 9999, digits only: 2026-02-30 is none.
std::string IsoUtc(std::time_t time);
std::optional<std::time_t> ParseIsoUtc(const std::string &text);

} // namespace plant
