// Files a command reads or writes as a whole that must be plain files: a
// FIFO would hold the program for ever, a device give no end, and
// renaming over either would put a file in its place.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <sys/stat.h>

namespace fileio {

// What kind of file st describes when it is no regular file, as a
// refusal says it ("it is a directory", "it is a FIFO", "it is a
// device"); "" for a regular file.
std::string NotRegularFile(const struct stat &st);

// Opens path for reading without waiting (open() of a FIFO with no writer
// would wait for one) and only when it is a regular file; else -1 with
// why, the above or the system's reason. Reads of the descriptor block.
int OpenRegularFile(const std::string &path, std::string &why);

// Whether an existing file may be replaced: given it open for reading and
// its status, "" or why not.
using MayReplace = std::function<std::string(int fd, const struct stat &st)>;

// Writes text to path as a new file beside it, renamed over path once it
// is whole and on the disk: a reader never sees half of it, and a failed
// write leaves what was there. A symbolic link is followed and stays. An
// existing path is replaced only when it is a regular file mayReplace
// accepts. "" or why not, with the system's reason.
std::string ReplaceRegularFile(const std::string &path, std::string_view text, const MayReplace &mayReplace);

} // namespace fileio
