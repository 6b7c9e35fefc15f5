#include "SendRecordsCommand.h"

#include "ExitStatus.h"
#include "SendJournals.h"
#include "Sender.h"
#include "Spool.h"

#include <ostream>

namespace eeprom_cli {

using namespace tool;

namespace {

constexpr char kName[] = "velmora-eeprom send-records";

} // namespace

int RunSendRecords(const std::vector<std::string> &args, tool::ToolEnvironment &env)
{
	if (args.size() > 1 || (!args.empty() && args.front().starts_with("-"))) {
		env.err << kName << ": usage: velmora-eeprom send-records [TARGET]\n";
		return kUsage;
	}
	std::string why;
	std::string folder = plant::SpoolDirectory(why);
	if (folder.empty()) {
		env.err << kName << ": " << why << '\n';
		return kFileNotWritten;
	}
	std::optional<std::string> target = args.empty() ? std::nullopt : std::optional(args.front());
	std::vector<plant::JournalSent> results = plant::SendJournals(folder, target, why);
	if (!why.empty()) {
		env.err << kName << ": " << why << '\n';
		return kFileNotWritten;
	}
	int status = kSuccess;
	for (const plant::JournalSent &r : results) {
		std::string station = r.station.empty() ? "" : "station " + r.station + ": ";
		// Nothing is said sent to a database that could not be reached.
		if (r.sent > 0 || (r.left == 0 && r.rejected == 0 && r.error.empty()))
			env.out << station << plant::Records(r.sent) << " sent to " << r.description << '\n';
		if (r.rejected > 0)
			env.out << station << plant::Records(r.rejected) << " refused by " << r.description
				<< ", set aside in " << plant::Spool(r.path).RejectedPath() << '\n';
		if (r.left > 0) {
			env.err << kName << ": " << station << plant::Records(r.left)
				<< (r.left == 1 ? " waits in " : " wait in ") << r.path << ": " << r.error
				<< '\n';
			status = kFileNotWritten;
		}
	}
	env.out << std::flush;
	return status;
}

} // namespace eeprom_cli
