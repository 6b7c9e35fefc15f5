// The command line as every tool reads it, from a table of its options:
// one parser, so that both tools spell and refuse options the same way.
//
// Options may stand anywhere; "--" ends them, so a file may begin with
// '-'. "--name VALUE" and "--name=VALUE" are the same; a short form is
// "-x". The first word is the command.
//
// Written here rather than on getopt_long or CLI11: the tools' documented
// refusals ("--pages belongs to program and verify", "--bus is given
// twice"), an option that stands among the operands (--camera) and the
// statuses scripts test would each have to be rebuilt around either, whose
// own messages and argument order differ.
#pragma once

#include "BusName.h"

#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tool {

struct Option {
	const char *name;               // without "--"
	char letter = 0;                // "-y", or 0
	const char *value = nullptr;    // what its value is ("a file"); nullptr: takes none
	const char *commands = nullptr; // the commands it belongs to, by spaces; nullptr: every one
	bool repeats = false;           // may be given more than once, each value kept
	bool word = false;              // stands among the words where given (--camera)
};

// help, version and bus: what every tool takes; busRepeats: several buses.
std::vector<Option> WithCommonOptions(std::initializer_list<Option> own, bool busRepeats = false);

struct Grammar {
	std::vector<Option> options;
	std::vector<std::string> commands;
};

struct CommandLine {
	std::vector<std::string> words;                        // the command, then its operands
	std::map<std::string, std::vector<std::string>> given; // option name: its values ("" for none)
	std::string error;                                     // a usage error, when not empty
	std::vector<iicbus::ResolvedBus> buses;                // --bus, each resolved (BusName.h)

	bool Has(const std::string &name) const { return given.contains(name); }
	std::optional<std::string> Value(const std::string &name) const;
	std::vector<std::string> Values(const std::string &name) const;
	// --help or --version: nothing else is asked of the words.
	bool Informational() const { return Has("help") || Has("version"); }
};

// Parses args (without the program's name) once. Refusals: an unknown
// option, a value missing or empty, a value given to an option that takes
// none, an option given twice that does not repeat, no command, an
// unknown command, an option with a command it does not belong to, a bus
// that cannot exist or one camera given twice (ResolveBuses).
CommandLine ParseCommandLine(const Grammar &grammar, const std::vector<std::string> &args);

} // namespace tool
