#include "Operations.h"

#include "IICTransfer.h"
#include "InputFile.h"
#include "SettingsFileFormat.h"

#include <algorithm>
#include <array>
#include <memory>

using namespace kl310;

namespace operations {

namespace {

// The EEPROM as the file sees it: 8 pages, in file order.
static_assert(settings::kPages == EEPROM_PAGES && settings::kPageSize == EEPROM_PAGE_SIZE);

Result FromFailure(const eeprom::Failure &f)
{
	Result r;
	if (f.stopped)
		r.outcome = ResultKind::Stopped;
	else if (f.mismatch)
		r.outcome = ResultKind::Mismatch;
	else if (f.refused)
		r.outcome = ResultKind::Refused;
	else
		r.outcome = ResultKind::BusFailure;
	if (f.refused)
		r.reason = "the transfer unit or the buffer does not fit the EEPROM's pages";
	r.direction = f.direction;
	r.status = f.status;
	r.statusName = CIICTransfer::StatusName(f.status);
	r.device = f.device;
	r.page = f.page;
	r.block = f.offset / EEPROM_WRITE_PAGE_SIZE;
	r.byte = f.offset;
	r.found = f.found;
	r.expected = f.expected;
	r.timedOut = f.timedOut;
	return r;
}

Result Refused(std::string reason)
{
	Result r;
	r.outcome = ResultKind::Refused;
	r.reason = std::move(reason);
	return r;
}

Result NotWritten(std::string reason)
{
	Result r;
	r.outcome = ResultKind::FileNotWritten;
	r.reason = std::move(reason);
	return r;
}

using FileValues = std::array<std::uint16_t, settings::kFileValues>;

// Every page, as the values of a settings file.
Result ReadFileValues(eeprom::Engine &engine, const ReadPlan &plan, FileValues &values)
{
	std::array<std::uint8_t, settings::kFileValues> bytes{};
	if (Result read = Read(engine, 0, bytes, plan); !read.Ok())
		return read;
	std::copy(bytes.begin(), bytes.end(), values.begin());
	return {};
}

// Hashes text into r; false when a hasher could not.
bool Hash(std::string_view text, Hasher hasher, Result &r)
{
	r.size = text.size();
	if (!hasher)
		return true;
	std::string failure;
	r.sha256 = hasher(text, failure);
	if (!r.sha256.empty())
		return true;
	r.reason = failure.empty() ? "its SHA-256 could not be computed"
				   : "its SHA-256 could not be computed (" + failure + ")";
	return false;
}

Result Written(const std::string &text, Hasher hasher)
{
	Result r;
	if (!Hash(text, hasher, r))
		return NotWritten(r.reason);
	return r;
}

} // namespace

Result LoadSettings(const std::string &path, SettingsImage &image, Hasher hasher)
{
	fileio::InputText input = fileio::ReadInputFile(path, { settings::kMaxFileBytes, "settings file" });
	if (!input.ok)
		return Refused(input.why);
	return LoadSettingsText(input.text, path, image, hasher);
}

Result LoadSettingsText(std::string_view text, const std::string &name, SettingsImage &image, Hasher hasher)
{
	Result r;
	if (!Hash(text, hasher, r))
		return Refused(r.reason);
	settings::LoadedSettings loaded = settings::ParseSettings(text);
	if (!loaded.ok) {
		r.outcome = ResultKind::Refused;
		r.reason = settings::DescribeRefusal(loaded.refusal);
	} else if (settings::PageCount count = settings::SettingsPageCount(loaded.values.size()); !count.ok) {
		r.outcome = ResultKind::Refused;
		r.reason = count.refusal;
	} else {
		image.path = name;
		image.bytes.assign(loaded.values.begin(), loaded.values.end());
		image.pages = count.pages;
	}
	if (r.Ok()) {
		image.sha256 = r.sha256;
		image.size = r.size;
	}
	return r;
}

Result WritePages(eeprom::Engine &engine, const SettingsImage &image)
{
	if (!engine.WritePages(0, image.pages, image.bytes))
		return FromFailure(engine.LastFailure());
	return {};
}

Result WritePages(eeprom::Engine &engine, const SettingsImage &image, int firstPage, int pages)
{
	if (firstPage < 0 || pages < 1 || firstPage + pages > image.pages ||
	    image.bytes.size() < static_cast<size_t>(firstPage + pages) * EEPROM_PAGE_SIZE)
		return Refused("pages " + std::to_string(firstPage) + " to " +
			       std::to_string(firstPage + pages - 1) +
			       " are not all in the file, which has " + std::to_string(image.pages));
	std::span<const std::uint8_t> bytes(image.bytes);
	if (!engine.WritePages(firstPage, pages,
			       bytes.subspan(firstPage * EEPROM_PAGE_SIZE, pages * EEPROM_PAGE_SIZE)))
		return FromFailure(engine.LastFailure());
	return {};
}

Result Verify(eeprom::Engine &engine, int firstPage, std::span<const std::uint8_t> expected,
	      const ReadPlan &plan)
{
	int pages = static_cast<int>(expected.size() / EEPROM_PAGE_SIZE);
	if (plan.compare == Compare::AtEachRead) {
		if (!engine.VerifyPages(firstPage, pages, expected, plan.unit, plan.form))
			return FromFailure(engine.LastFailure());
		return {};
	}
	std::vector<std::uint8_t> read(expected.size());
	if (!engine.ReadPages(firstPage, pages, read, plan.unit, plan.form)) {
		Result r = FromFailure(engine.LastFailure());
		r.direction = eeprom::Direction::Verify;
		return r;
	}
	auto [found, wanted] = std::mismatch(read.begin(), read.end(), expected.begin());
	if (found == read.end())
		return {};
	int at = static_cast<int>(found - read.begin());
	Result r;
	r.outcome = ResultKind::Mismatch;
	r.direction = eeprom::Direction::Verify;
	r.page = firstPage + at / EEPROM_PAGE_SIZE;
	r.byte = at % EEPROM_PAGE_SIZE;
	r.block = r.byte / EEPROM_WRITE_PAGE_SIZE;
	r.device = plan.form == eeprom::ReadForm::Read ? EepromRead(r.page) : EepromWrite(r.page);
	r.found = *found;
	r.expected = *wanted;
	return r;
}

Result VerifyImage(eeprom::Engine &engine, const SettingsImage &image, const ReadPlan &plan)
{
	std::span<const std::uint8_t> bytes(image.bytes);
	return Verify(
		engine, 0,
		bytes.first(std::min(bytes.size(), static_cast<size_t>(image.pages) * EEPROM_PAGE_SIZE)),
		plan);
}

Result Read(eeprom::Engine &engine, int firstPage, std::span<std::uint8_t> out, const ReadPlan &plan)
{
	if (!engine.ReadPages(firstPage, static_cast<int>(out.size() / EEPROM_PAGE_SIZE), out, plan.unit,
			      plan.form))
		return FromFailure(engine.LastFailure());
	return {};
}

Result ReadPagesToFile(eeprom::Engine &engine, const std::string &path, const ReadPlan &plan,
		       Previous previous, Hasher hasher)
{
	FileValues values{};
	// A file must hold only bytes that were really read.
	if (Result read = ReadFileValues(engine, plan, values); !read.Ok())
		return read;
	// Hashed first: a file its record could not name is not written.
	std::string text = settings::FormatSettingsFile(path, values);
	Result written = Written(text, hasher);
	if (!written.Ok())
		return written;
	if (previous == Previous::Keep) {
		settings::SaveResult kept = settings::KeepPreviousSettingsFile(path, values);
		if (!kept.ok)
			return NotWritten("its previous content could not be kept as " +
					  settings::PreviousSettingsFileName(path) + " (" + kept.reason +
					  ")");
	}
	settings::SaveResult saved = settings::SaveSettingsFile(path, values);
	if (!saved.ok)
		return NotWritten(saved.reason);
	// What a later write will read must be what the camera holds.
	settings::LoadedSettings back = settings::LoadSettingsFile(path);
	if (!back.ok || back.text != text)
		return NotWritten("it does not read back as it was written");
	return written;
}

Result ReadPagesToText(eeprom::Engine &engine, std::string_view name, const ReadPlan &plan, std::string &text,
		       Hasher hasher)
{
	FileValues values{};
	if (Result read = ReadFileValues(engine, plan, values); !read.Ok())
		return read;
	std::string formatted = settings::FormatSettingsFile(name, values);
	Result written = Written(formatted, hasher);
	if (written.Ok())
		text = std::move(formatted);
	return written;
}

Result Fill(eeprom::Engine &engine, int page, int offset, std::uint8_t value)
{
	if (!engine.FillPage(page, offset, value))
		return FromFailure(engine.LastFailure());
	return {};
}

Result WriteScript(eeprom::Engine &engine, const settings::SettingsScript &script, int offset)
{
	for (size_t pos = 0; pos <= script.bytes.size(); pos++) {
		if (pos == script.markerBefore && !engine.WriteByte(PAGE_FREEZE_MARKER, OFFSET_FREEZE_MARKER,
								    script.marker, eeprom::Step::Quiet))
			return FromFailure(engine.LastFailure());
		if (pos == script.bytes.size())
			break;
		bool quiet = pos >= script.quietBegin && pos < script.quietEnd;
		if (!engine.WriteByte(PAGE_SCRIPT, offset + static_cast<int>(pos), script.bytes[pos],
				      quiet ? eeprom::Step::Quiet : eeprom::Step::Counted))
			return FromFailure(engine.LastFailure());
	}
	return {};
}

} // namespace operations
