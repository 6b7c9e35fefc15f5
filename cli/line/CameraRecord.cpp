#include "CameraRecord.h"

#include "ToolEnvironment.h"
#include "registers.h"

#include <filesystem>
#include <fstream>
#include <memory>

#include <unistd.h>

namespace eeprom_cli {

using namespace tool;

namespace {

template <typename T>
std::optional<T> Known(const T &value)
{
	return value == T{} ? std::nullopt : std::optional<T>(value);
}

} // namespace

RecordedFile DescribeFile(const std::string &path, const std::string &sha256, std::size_t size)
{
	RecordedFile file;
	if (!path.empty() && path != "-") {
		std::error_code error;
		std::filesystem::path absolute = std::filesystem::absolute(path, error);
		file.path = error ? path : absolute.lexically_normal().string();
	}
	// The size of the bytes the digest is of, not of what the file holds
	// by the time the record is made.
	if (!sha256.empty()) {
		file.sha256 = sha256;
		file.size = static_cast<std::int64_t>(size);
	}
	return file;
}

plant::Record MakeRecord(const RecordBase &base, const CameraFacts &facts)
{
	const CommandResult &o = facts.outcome;
	plant::Record r;
	r.id = plant::NewRecordId();
	r.time = facts.started;
	r.version = tool::ToolVersion();
	r.station = base.station;
	r.operatorName = base.operatorName;
	r.unit = facts.unit;
	r.host = base.host;
	r.command = VerbName(base.verb);
	r.camera = facts.camera;
	r.bus = Known(facts.busGiven);
	r.busFound = Known(facts.busFound);
	r.adapter = Known(o.adapter);
	r.file = facts.file.path;
	r.sha256 = facts.file.sha256;
	r.fileSize = facts.file.size;
	r.pages = o.pages.empty() ? base.pages : o.pages;
	r.result = ResultWord(o, base.verb);
	r.exitStatus = o.status;
	// Where and why it failed, as the operation reported it.
	const operations::Result &f = o.result;
	if (!f.Ok() && f.outcome != operations::ResultKind::Refused &&
	    f.outcome != operations::ResultKind::FileNotWritten) {
		r.failurePage = f.page;
		r.failureBlock = f.block;
		r.failureByte = f.byte;
		if (f.direction != eeprom::Direction::None)
			r.failureDirection = f.direction == eeprom::Direction::Write  ? "write"
					     : f.direction == eeprom::Direction::Read ? "read"
										      : "verify";
	}
	if (f.status != 0) {
		r.adapterStatus = f.status;
		r.adapterStatusName = Known(f.statusName);
	}
	if (f.outcome == operations::ResultKind::Mismatch)
		r.firstDifference = plant::Difference{ f.page, f.byte, f.found, f.expected };
	r.message = Known(o.message);
	r.durationMs = static_cast<double>(facts.durationUs / 100) / 10.0;
	if (const std::optional<video::FrameReport> &seen = o.frame) {
		plant::FrameValues values;
		values.check = video::VerdictWord(seen->verdict);
		values.frames = seen->frames;
		values.standardExpected = seen->standardExpected;
		values.overlaysExpected = seen->overlaysExpected;
		// Without a whole picture nothing was measured.
		if (seen->verdict != video::FrameVerdict::NoSignal) {
			values.width = seen->width;
			values.height = seen->height;
			values.standardSeen = seen->standardSeen;
			values.luminance = seen->luminance;
			values.redGreen = seen->redGreen;
			values.blueGreen = seen->blueGreen;
			values.movingPixels = seen->movingPixels;
			values.overlaysSeen = seen->overlaysSeen;
			if (const std::optional<video::ReferenceValues> &ref = seen->reference) {
				values.structure = ref->likeness.structure;
				values.offsetX = ref->likeness.offsetX;
				values.offsetY = ref->likeness.offsetY;
				values.sharpness = ref->likeness.sharpness;
				values.orientation = video::OrientationWord(ref->orientation);
			}
		}
		r.frame = values;
		r.thumbnailPng = seen->thumbnailPng;
	}
	return r;
}

std::string HostName()
{
	char name[256] = {};
	if (gethostname(name, sizeof(name) - 1) != 0)
		return "";
	return name;
}

} // namespace eeprom_cli
