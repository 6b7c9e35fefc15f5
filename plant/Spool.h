// Records the database could not take, kept on this host until it can: a
// JSON Lines file per database under $XDG_STATE_HOME/velmora/.
#pragma once

#include "Database.h"

#include <functional>
#include <string>
#include <vector>

namespace plant {

// $XDG_STATE_HOME/velmora, else ~/.local/state/velmora; what is missing of
// it is created with mode 0700 (records name units and operators). Empty
// with why set when there is no such folder and it cannot be made.
std::string SpoolDirectory(std::string &why);

// The spool of one database: "spool-" and 16 hex digits of a hash of the
// target as given, ".jsonl", in folder.
std::string SpoolPathFor(const std::string &folder, const std::string &target);

class Spool
{
public:
	explicit Spool(std::string path);

	// One record line (ending in '\n'), with one write() on a file opened
	// O_APPEND: lines of several stations never interleave. Empty or why not.
	std::string Append(const std::string &line) const;

	struct Sent {
		int inserted = 0;
		int duplicates = 0; // already in the database: sent before, kept once
		int rejected = 0;   // refused by the database, moved to RejectedPath()
		int left = 0;       // still in the spool
		std::string error;  // why some were left
	};
	// Sends the spool's records in order, each at most once more. What is
	// sent leaves the spool; a transient failure stops, keeping the rest in
	// order for the next time. Stations of one host take turns: appends
	// wait while a spool is being sent, so no line is lost in between.
	Sent Send(const std::function<Insertion(const std::string &json, std::string &why)> &insert) const;

	// The spool's lines as they are now (empty when there is no spool).
	std::vector<std::string> Lines(std::string &why) const;

	const std::string &Path() const { return path_; }
	std::string RejectedPath() const;

private:
	std::string path_;
};

} // namespace plant
