// Files a command reads or writes as a whole that must be plain files: a
// FIFO would hold the program for ever, a device give no end, and
// renaming over either would put a file in its place.
//
// Every file a tool writes whole (settings files, pages, pictures) is
// written one way, ReplaceRegularFile: into a new file beside the target,
// on the disk, then renamed over it, so that a reader never sees half of
// it and a failure leaves the target exactly as it was. What stands at the
// target is checked first: a directory, a device, a FIFO, a socket or a
// symbolic link is refused, never opened, written into or removed. A link
// is refused rather than followed: following it would write wherever it
// points (a link left in /tmp could aim a tool run as root at any file),
// and replacing it would silently part it from the file it named.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <sys/stat.h>

namespace fileio {

// What kind of file st describes when it is no regular file, as a
// refusal says it ("it is a directory", "it is a FIFO", "it is a
// device", "it is a socket", "it is a symbolic link"); "" for a regular
// file.
std::string NotRegularFile(const struct stat &st);

// Opens path for reading without waiting (open() of a FIFO with no writer
// would wait for one) and only when it is a regular file; else -1 with
// why, the above or the system's reason. Reads of the descriptor block.
int OpenRegularFile(const std::string &path, std::string &why);

// Whether an existing file may be replaced: given it open for reading and
// its status, "" or why not.
using MayReplace = std::function<std::string(int fd, const struct stat &st)>;

struct Replacement {
	// An existing file's own test, after the checks every target has.
	MayReplace mayReplace;
	// Exactly these permissions; without them a new file has 0666 less
	// the umask, and a replacement keeps those of the file it replaces.
	std::optional<mode_t> mode;
};

// Why path cannot be replaced whole, or "": what ReplaceRegularFile checks
// before it makes anything, for a caller that should find out before it
// does its work (takes a picture, reads a camera).
std::string CheckReplaceable(const std::string &path);

// Writes text to path as described above. An existing path is replaced
// only when it is a regular file that may be written (a read-only one is
// kept) and how.mayReplace accepts it. SIGINT, SIGTERM and SIGHUP wait
// until the temporary file is renamed or removed. "" or why not:
// "cannot create a file in the folder F: ...", "cannot write: ...",
// "cannot replace the file: ..." with the system's reason, or one of the
// refusals above.
std::string ReplaceRegularFile(const std::string &path, std::string_view text, const Replacement &how = {});

// The regular file from copied whole to path, as ReplaceRegularFile
// writes it, with from's permissions.
std::string CopyRegularFile(const std::string &from, const std::string &path);

// Tests only: the temporary file is named path + "." + names() instead of
// random characters (an empty function puts those back).
void UseTemporaryNames(std::function<std::string()> names);

} // namespace fileio
