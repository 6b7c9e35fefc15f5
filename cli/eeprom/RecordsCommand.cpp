#include "RecordsCommand.h"

#include "Database.h"
#include "ExitStatus.h"
#include "InputFile.h"
#include "RecordFile.h"
#include "RegularFile.h"
#include "Summary.h"
#include "SummaryFormat.h"
#include "Target.h"
#include "Thumbnails.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <ostream>

#include <sys/stat.h>
#include <unistd.h>

namespace eeprom_cli {

using namespace tool;

const char kRecordsUsageText[] =
	"usage: velmora-eeprom records SOURCE [--since TIME] [--until TIME] [--station NAME]\n"
	"                              [--unit TEXT] [--result WORD] [--json] [--html FILE]\n"
	"  SOURCE   a JSON Lines report file, or a database (postgresql://..., key=value)\n"
	"  TIME     2026-12-07 (a UTC day: --until takes the whole day) or 2026-12-07T13:00:00Z\n"
	"  WORD     read, verified, mismatch, bus-failure, refused, interrupted, file-not-written,\n"
	"           no-result, failed, frame-failed\n";

namespace {

constexpr char kName[] = "velmora-eeprom";
constexpr std::time_t kDay = 86400;

bool IsDateOnly(const std::string &text)
{
	return text.size() == 10;
}

plant::Filter FilterOf(const CommandLine &cl)
{
	plant::Filter filter;
	filter.station = cl.Value("station");
	filter.unit = cl.Value("unit");
	filter.result = cl.Value("result");
	if (std::optional<std::string> since = cl.Value("since"))
		filter.since = plant::ParseIsoUtc(*since);
	// A day given to --until means up to the end of that day.
	if (std::optional<std::string> until = cl.Value("until"))
		filter.until = *plant::ParseIsoUtc(*until) + (IsDateOnly(*until) ? kDay : 0);
	return filter;
}

// The summary of the plant's database (what: its description); why it
// could not be made, in the tool's words with libpq's as the cause.
// thumbnails: the pictures of the page too.
plant::Summary FromDatabase(const std::string &target, const std::string &what, const plant::Filter &filter,
			    std::string &why, bool &noTable, bool thumbnails)
{
	plant::Database db;
	if (std::string cause = db.Connect(target); !cause.empty()) {
		why = what + " cannot be reached: " + cause;
		return {};
	}
	why = db.PrepareSchema(false); // reading changes nothing
	noTable = db.TableMissing();
	// A missing table's words already name the database.
	if (!why.empty() && !noTable)
		why = what + ": " + why;
	if (!why.empty())
		return {};
	plant::Summary summary = plant::SummarizeDatabase(db, filter, why);
	if (why.empty() && thumbnails)
		summary.thumbnails = plant::ThumbnailsFromDatabase(db, filter, why);
	if (!why.empty())
		why = what + ": its records could not be read: " + why;
	return summary;
}

// The summary of a report file; each line skipped said on standard error.
plant::Summary FromFile(const std::string &path, const plant::Filter &filter, ToolEnvironment &env,
			std::string &why, bool thumbnails)
{
	constexpr size_t kShownSkips = 5;
	std::vector<std::string> skipped;
	std::vector<plant::Record> records = plant::ReadRecordFile(path, skipped, why);
	if (!why.empty())
		return {};
	for (size_t i = 0; i < skipped.size() && i < kShownSkips; i++)
		env.err << kName << ": " << fileio::ShownText(path) << ": " << skipped[i] << " (skipped)\n";
	if (skipped.size() > kShownSkips)
		env.err << kName << ": " << fileio::ShownText(path) << ": " << skipped.size() - kShownSkips
			<< " more lines skipped\n";
	plant::Summary summary = plant::Summarize(records, filter);
	if (thumbnails)
		summary.thumbnails = plant::ThumbnailsBeside(path, records, filter);
	return summary;
}

// The page replaces only an earlier page: never the source itself, nor a
// file someone else made (which a mistyped name would lose).
fileio::MayReplace PageOnly(const std::string &source)
{
	struct stat src {
	};
	bool file = !plant::IsDatabaseTarget(source) && stat(source.c_str(), &src) == 0;
	return [file, src](int fd, const struct stat &st) -> std::string {
		if (file && st.st_dev == src.st_dev && st.st_ino == src.st_ino)
			return "it is the records' source";
		char head[4096];
		ssize_t n = pread(fd, head, sizeof(head), 0);
		if (n < 0)
			return std::strerror(errno);
		if (std::string_view(head, static_cast<size_t>(n)).find(plant::kPageMark) ==
		    std::string_view::npos)
			return "it exists and is no page of records; remove it or name another file";
		return "";
	};
}

} // namespace

std::string CheckRecordsCommand(const CommandLine &cl)
{
	for (const char *option : { "bus", "all", "report", "yes" }) {
		if (cl.Has(option))
			return std::string("--") + option + " does not go with records";
	}
	if (cl.words.size() < 2)
		return "records needs a SOURCE: a report file or a database";
	if (cl.words.size() > 2)
		return "records takes one SOURCE only";
	if (std::optional<std::string> result = cl.Value("result"); result && !plant::IsResultWord(*result))
		return "--result: no result \"" + *result + "\"";
	for (const char *option : { "station", "unit" }) {
		if (std::string why = plant::CheckRecordName(cl.Value(option).value_or("")); !why.empty())
			return std::string("--") + option + " " + why;
	}
	for (const char *option : { "since", "until" }) {
		if (std::optional<std::string> time = cl.Value(option); time && !plant::ParseIsoUtc(*time))
			return std::string("--") + option + " \"" + *time + "\" is not a UTC day or time";
	}
	// A password on the command line stays in the shell's history.
	if (plant::IsDatabaseTarget(cl.words[1]))
		return plant::CheckDatabaseTarget(cl.words[1]);
	return "";
}

int RunRecords(const CommandLine &cl, ToolEnvironment &env)
{
	const std::string &source = cl.words[1];
	plant::Filter filter = FilterOf(cl);
	std::string why;
	std::string what = source;
	plant::Summary summary;
	bool noTable = false;
	if (plant::IsDatabaseTarget(source)) {
		what = plant::DescribeDatabaseTarget(source);
		summary = FromDatabase(source, what, filter, why, noTable, cl.Has("html"));
	} else {
		summary = FromFile(source, filter, env, why, cl.Has("html"));
	}
	if (!why.empty())
		return SayFailure(env, kName, noTable ? kFileNotWritten : kRefusedFile, why);

	plant::Heading heading{ what, filter.since, filter.until, std::time(nullptr),
				std::string(kName) + " " + ToolVersion() };
	if (std::optional<std::string> html = cl.Value("html")) {
		std::string refused = fileio::ReplaceRegularFile(*html, plant::SummaryHtml(summary, heading),
								 { PageOnly(source), std::nullopt });
		if (!refused.empty())
			return SayFailure(env, kName, kFileNotWritten,
					  *html + " could not be written: " + refused);
	}
	std::string text = cl.Has("json") ? plant::SummaryJson(summary).dump(2) + "\n"
					  : plant::SummaryText(summary, heading);
	if (std::string lost = WriteWholeOutput(env, text); !lost.empty())
		return SayFailure(env, kName, kFileNotWritten,
				  "standard output could not be written: " + lost);
	return kSuccess;
}

} // namespace eeprom_cli
