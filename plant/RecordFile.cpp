#include "RecordFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>

namespace plant {

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

bool IsResultWord(const std::string &word)
{
	static const std::set<std::string> kResults{
		"read",        "verified",         "mismatch",  "bus-failure", "refused",
		"interrupted", "file-not-written", "no-result", "failed",      "frame-failed"
	};
	return kResults.contains(word);
}

} // namespace plant
