#include "RecordsCommand.h"

#include "Database.h"
#include "Summary.h"
#include "SummaryFormat.h"
#include "Target.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <ostream>
#include <set>

namespace plant {

const char kRecordsUsageText[] =
	"usage: velmora-eeprom records SOURCE [--since TIME] [--until TIME] [--station NAME]\n"
	"                              [--unit TEXT] [--result WORD] [--json] [--html FILE]\n"
	"  SOURCE   a JSON Lines report file, or a database (postgresql://..., key=value)\n"
	"  TIME     2026-12-07 (a UTC day: --until takes the whole day) or 2026-12-07T13:00:00Z\n"
	"  WORD     read, verified, mismatch, bus-failure, refused, interrupted, file-not-written,\n"
	"           no-result, failed\n";

namespace {

const std::set<std::string> kResults{ "read",    "verified",    "mismatch",         "bus-failure",
				      "refused", "interrupted", "file-not-written", "no-result",
				      "failed" };

bool IsDateOnly(const std::string &text)
{
	return text.size() == 10;
}

} // namespace

std::vector<Record> ReadRecordFile(const std::string &path, std::vector<std::string> &skipped,
				   std::string &why)
{
	std::vector<Record> records;
	std::ifstream in(path, std::ios::binary);
	if (!in) {
		why = path + ": " + std::strerror(errno);
		return records;
	}
	std::string line;
	for (int number = 1; std::getline(in, line); number++) {
		if (line.find_first_not_of(" \t\r") == std::string::npos)
			continue;
		std::string bad;
		std::optional<Record> record = ParseRecordLine(line, bad);
		if (!record) {
			skipped.push_back("line " + std::to_string(number) + ": " + bad);
			continue;
		}
		if (record->id.empty())
			record->id = "line:" + std::to_string(number);
		records.push_back(std::move(*record));
	}
	if (in.bad())
		why = path + ": " + std::strerror(errno);
	return records;
}

int RunRecords(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
	std::string source, html;
	bool json = false;
	Filter filter;
	for (size_t i = 0; i < args.size(); i++) {
		std::string arg = args[i], value;
		bool hasValue = false;
		if (size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
			value = arg.substr(eq + 1);
			arg.resize(eq);
			hasValue = true;
		}
		auto next = [&]() -> bool {
			if (hasValue)
				return true;
			if (i + 1 >= args.size()) {
				err << "velmora-eeprom records: " << arg << " needs a value\n"
				    << kRecordsUsageText;
				return false;
			}
			value = args[++i];
			return true;
		};
		if (arg == "--help" || arg == "-h") {
			out << kRecordsUsageText;
			return kRecordsDone;
		}
		if (arg == "--json") {
			json = true;
		} else if (arg == "--html" || arg == "--since" || arg == "--until" || arg == "--station" ||
			   arg == "--unit" || arg == "--result") {
			if (!next())
				return kRecordsUsage;
			if (arg == "--html") {
				html = value;
			} else if (arg == "--station") {
				filter.station = value;
			} else if (arg == "--unit") {
				filter.unit = value;
			} else if (arg == "--result") {
				if (!kResults.count(value)) {
					err << "velmora-eeprom records: no result \"" << value << "\"\n"
					    << kRecordsUsageText;
					return kRecordsUsage;
				}
				filter.result = value;
			} else {
				std::optional<std::time_t> time = ParseIsoUtc(value);
				if (!time) {
					err << "velmora-eeprom records: " << arg << " \"" << value
					    << "\" is not a UTC day or time\n"
					    << kRecordsUsageText;
					return kRecordsUsage;
				}
				// A day given to --until means up to the end of that day.
				if (arg == "--until")
					filter.until = *time + (IsDateOnly(value) ? 86400 : 0);
				else
					filter.since = *time;
			}
		} else if (arg.size() > 1 && arg[0] == '-') {
			err << "velmora-eeprom records: unknown option " << arg << "\n" << kRecordsUsageText;
			return kRecordsUsage;
		} else if (source.empty()) {
			source = arg;
		} else {
			err << "velmora-eeprom records: one SOURCE only\n" << kRecordsUsageText;
			return kRecordsUsage;
		}
	}
	if (source.empty()) {
		err << kRecordsUsageText;
		return kRecordsUsage;
	}

	Summary summary;
	std::string what = source;
	if (IsDatabaseTarget(source)) {
		if (std::string why = CheckDatabaseTarget(source); !why.empty()) {
			err << "velmora-eeprom records: " << why << "\n";
			return kRecordsUsage;
		}
		what = DescribeDatabaseTarget(source);
		Database db;
		std::string why = db.Connect(source);
		if (why.empty())
			why = db.PrepareSchema(true); // a new plant's first question makes the table
		if (why.empty())
			summary = SummarizeDatabase(db, filter, why);
		if (!why.empty()) {
			err << "velmora-eeprom records: " << what << ": " << why << "\n";
			return kRecordsUnreadable;
		}
	} else {
		std::vector<std::string> skipped;
		std::string why;
		std::vector<Record> records = ReadRecordFile(source, skipped, why);
		if (!why.empty()) {
			err << "velmora-eeprom records: " << why << "\n";
			return kRecordsUnreadable;
		}
		for (size_t i = 0; i < skipped.size() && i < 5; i++)
			err << "velmora-eeprom records: " << source << ": " << skipped[i] << " (skipped)\n";
		if (skipped.size() > 5)
			err << "velmora-eeprom records: " << source << ": " << skipped.size() - 5
			    << " more lines skipped\n";
		summary = Summarize(records, filter);
	}

	if (!html.empty()) {
		std::ofstream page(html, std::ios::binary | std::ios::trunc);
		page << SummaryHtml(summary, what);
		page.close();
		if (!page) {
			err << "velmora-eeprom records: " << html << ": could not be written\n";
			return kRecordsUnreadable;
		}
	}
	if (json)
		out << SummaryJson(summary).dump(2) << "\n";
	else
		out << SummaryText(summary, what);
	return kRecordsDone;
}

} // namespace plant
