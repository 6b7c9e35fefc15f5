// The station's journal: every record it makes, on its own disk first, in
// a JSON Lines file per station and database under $XDG_STATE_HOME/velmora/.
// A record leaves the journal only once the database has committed it.
#pragma once

#include "Database.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace plant {

// The free space a record needs before a camera is touched: a record with
// its thumbnail many times over, and the journal's rewrite when it is sent.
inline constexpr std::uint64_t kRecordRoomBytes = std::uint64_t{ 1 } << 20;

// Empty when the file system of fd has kRecordRoomBytes free for this
// user (root may also use the blocks kept for root), else why not.
std::string RoomForRecords(int fd);

// $XDG_STATE_HOME/velmora, else ~/.local/state/velmora; what is missing of
// it is created with mode 0700 (records name units and operators). Empty
// with why set when there is no such folder and it cannot be made.
std::string SpoolDirectory(std::string &why);

// A name's 16 hexadecimal digits for file names, the same on every host.
std::string NameHash(const std::string &text);

// The journal of one station and database: "journal-", 16 hex digits of a
// hash of the target as given, '-', 16 of the station's name, ".jsonl".
std::string JournalPathFor(const std::string &folder, const std::string &target, const std::string &station);
// Where the version before the journals kept a database's records that
// waited, for all stations of the host: "spool-", the target's hash, ".jsonl".
std::string LegacySpoolPathFor(const std::string &folder, const std::string &target);
// Keeps the target beside its journals ("journal-HASH.target"), so that
// send-records knows where they go. Empty or why not.
std::string RememberTarget(const std::string &folder, const std::string &target);

struct Journal {
	std::string path;
	std::string target;
};
// Every journal in folder whose target is known, by path.
std::vector<Journal> FindJournals(const std::string &folder, std::string &why);

class Spool
{
public:
	explicit Spool(std::string path);

	// Whether the journal can take a record now: its folder writable, its
	// lock and itself regular files (created when missing, never waited
	// on: a FIFO or a folder is refused), and room on their disk for one
	// more (RoomForRecords). Empty or why not.
	std::string Check() const;

	// One record line (ending in '\n'), with one write() on a file opened
	// O_APPEND, on the disk (fdatasync) before it returns. Empty or why not.
	std::string Append(const std::string &line) const;

	// The journal's lines as they are now (empty when there is none).
	std::vector<std::string> Lines(std::string &why) const;

	// Takes the lines sent out of the journal, keeping the rest in order
	// and the highest sequence number taken. Never waits on anything but
	// the disk. Empty or why not.
	std::string Drop(const std::vector<std::string> &sent) const;

	// line to RejectedPath(), for a person to look at. Empty or why not.
	std::string SetAside(const std::string &line) const;

	// The highest sequence number this journal has held; nullopt: none.
	std::optional<std::int64_t> LastSequence(std::string &why) const;

	struct Sent {
		int inserted = 0;
		int duplicates = 0;                // already in the database: sent before, kept once
		int rejected = 0;                  // refused by the database, moved to RejectedPath()
		std::vector<std::string> refusals; // why, one for each rejected
		int left = 0;                      // still in the journal
		std::string error;                 // why some were left
		bool tableRefused = false;         // the error: the table refuses every record
	};
	// Sends the journal's records in order, each at most once more. What is
	// sent leaves the journal; a passing failure or a table that refuses
	// every record stops, keeping the rest in order for the next time. Appends go on meanwhile: the journal is
	// locked only to read it and to take lines out.
	Sent Send(const std::function<Insertion(const std::string &json, std::string &why)> &insert) const;

	const std::string &Path() const { return path_; }
	std::string RejectedPath() const;

private:
	std::string path_;
};

} // namespace plant
