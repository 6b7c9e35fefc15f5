#include "ToolMain.h"

#include "BusIdentity.h"
#include "BusesCommand.h"
#include "EepromCommands.h"
#include "EepromShow.h"
#include "ExitStatus.h"
#include "Progress.h"

#include <cstdlib>
#include <istream>
#include <optional>
#include <ostream>

namespace eeprom_cli {

namespace {

constexpr char kName[] = "velmora-eeprom";

constexpr char kHelp[] = R"(Usage: velmora-eeprom [OPTION]... COMMAND [FILE]
The KL310 camera's settings EEPROM (8 pages of 256 bytes) and .qmx settings files.

Commands:
  dump FILE         read all 8 pages into the settings file FILE
  program FILE      write every page of FILE into the EEPROM, then verify every page
  verify FILE       compare the EEPROM with FILE and name the first difference
  erase-settings    fill page 3 (the saved settings) with 0xFF, then verify it
  buses             list the i2c-dev buses: adapter, USB or not, allowed or
                    refused and why, and whether the camera answers
  show FILE|--camera  the saved settings by name, the trims, then the rest as hex
  diff A B          compare two settings files (or one and --camera): the
                    named settings that differ, then every byte (status 5)

Options:
      --bus BUS     the bus, instead of QXIIC_BUS: /dev/i2c-N, sim or sim:0 to
                    sim:7 (a simulated camera); without either, the one
                    USB-to-I2C adapter present
  -y, --yes         write without asking
  -h, --help        show this help and exit
      --version     show the version and exit

program and erase-settings ask before writing when standard input is a
terminal; otherwise they need --yes. A progress bar is drawn on standard
error when it is a terminal. A file the panel would refuse is refused here
too, before anything is written. Every failure is one line on standard error.

Exit status:
  0  the operation succeeded and was verified
  1  writing was not confirmed; nothing was written
  2  wrong command line, or --yes missing where no terminal can confirm
  3  the settings file cannot be used (unreadable, damaged, not 1 to 8 whole
     pages); nothing was written
  4  a bus transfer failed, or the EEPROM did not acknowledge within 25 ms
     of a write
  5  verification found a byte that differs (page and byte named)
  6  dump: the settings file could not be written
)";

enum class Verb { Dump, Program, Verify, EraseSettings, Buses };

struct CommandInfo {
	const char *name;
	Verb verb;
	bool takesFile;
	bool writes;
};

constexpr CommandInfo kCommands[] = {
	{ "dump", Verb::Dump, true, false },     { "program", Verb::Program, true, true },
	{ "verify", Verb::Verify, true, false }, { "erase-settings", Verb::EraseSettings, false, true },
	{ "buses", Verb::Buses, false, false },
};

struct CommandLine {
	bool help = false;
	bool version = false;
	bool yes = false;
	std::optional<std::string> bus;
	const CommandInfo *command = nullptr;
	std::string file;
	std::string error; // a usage error, when not empty
};

const CommandInfo *FindCommand(const std::string &name)
{
	for (const CommandInfo &command : kCommands) {
		if (name == command.name)
			return &command;
	}
	return nullptr;
}

// Options may stand anywhere; "--" ends them, so a file may begin with '-'.
CommandLine Parse(const std::vector<std::string> &args)
{
	CommandLine cl;
	std::vector<std::string> words;
	bool optionsEnded = false;
	for (size_t i = 0; i < args.size(); i++) {
		const std::string &arg = args[i];
		if (optionsEnded || arg.size() < 2 || arg[0] != '-')
			words.push_back(arg);
		else if (arg == "--")
			optionsEnded = true;
		else if (arg == "-h" || arg == "--help")
			cl.help = true;
		else if (arg == "--version")
			cl.version = true;
		else if (arg == "-y" || arg == "--yes")
			cl.yes = true;
		else if (arg == "--bus" && i + 1 < args.size())
			cl.bus = args[++i];
		else if (arg.starts_with("--bus="))
			cl.bus = arg.substr(6);
		else if (arg == "--bus")
			cl.bus = "";
		else {
			cl.error = "unknown option '" + arg + "'";
			return cl;
		}
	}
	if (cl.help || cl.version)
		return cl;
	if (cl.bus && cl.bus->empty()) {
		cl.error = "--bus needs a bus (sim or /dev/i2c-N)";
		return cl;
	}
	if (words.empty()) {
		cl.error = "no command given";
		return cl;
	}
	cl.command = FindCommand(words[0]);
	if (!cl.command) {
		cl.error = "unknown command '" + words[0] + "'";
		return cl;
	}
	size_t wanted = cl.command->takesFile ? 2 : 1;
	if (words.size() < wanted)
		cl.error = words[0] + " needs a settings file";
	else if (words.size() > wanted)
		cl.error = "too many arguments for " + words[0];
	else if (cl.command->takesFile)
		cl.file = words[1];
	return cl;
}

void PrintError(ToolEnvironment &env, const std::string &message)
{
	env.err << kName << ": " << message << '\n' << std::flush;
}

std::string BusName()
{
	const char *bus = std::getenv("QXIIC_BUS");
	return bus && bus[0] ? bus : "of the USB-to-I2C adapter";
}

// A bus that could not be opened says why in the same line.
std::string WithBusReason(const std::string &message)
{
	iicbus::BusIdentity bus = iicbus::LastBus();
	if (!bus.known || bus.opened || bus.reason.empty())
		return message;
	return message + " (" + bus.reason + ")";
}

// No answer is never consent: a script that cannot be asked must say --yes.
int AskPermission(const CommandLine &cl, ToolEnvironment &env, const std::string &question)
{
	if (cl.yes)
		return kSuccess;
	if (!env.inIsTerminal) {
		PrintError(env, std::string(cl.command->name) +
					" writes the camera's EEPROM and standard input is not a terminal to "
					"confirm on: give --yes; nothing was written");
		return kUsage;
	}
	env.err << question << " [y/N] " << std::flush;
	std::string answer;
	if (!std::getline(env.in, answer))
		answer.clear();
	if (answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES")
		return kSuccess;
	PrintError(env, "not confirmed; nothing was written");
	return kNotConfirmed;
}

std::string Question(const CommandInfo &command, const SettingsImage &image)
{
	if (command.verb == Verb::Program) {
		return "Write " + std::to_string(image.pages) + " page(s) of " + image.path +
		       " into the camera's EEPROM on bus " + BusName() + "?";
	}
	return "Erase page 3 (the saved settings) of the camera's EEPROM on bus " + BusName() + "?";
}

Outcome Run(const CommandLine &cl, EepromBus &bus, Progress &progress, const SettingsImage &image)
{
	switch (cl.command->verb) {
	case Verb::Dump:
		return DumpEeprom(bus, progress, cl.file);
	case Verb::Program:
		return ProgramEeprom(bus, progress, image);
	case Verb::Verify:
		return CompareEepromWithImage(bus, progress, image);
	case Verb::EraseSettings:
		return EraseSettings(bus, progress);
	case Verb::Buses:
		break;
	}
	return { kUsage, "no command given" };
}

} // namespace

int RunTool(const std::vector<std::string> &args, ToolEnvironment &env)
{
	if (IsShowCommand(args))
		return RunShowCommand(args, env);
	CommandLine cl = Parse(args);
	if (!cl.error.empty()) {
		PrintError(env, cl.error + " (see " + kName + " --help)");
		return kUsage;
	}
	if (cl.help) {
		env.out << kHelp;
		return kSuccess;
	}
	if (cl.version) {
		env.out << kName << " (Velmora) " << VELMORA_VERSION << '\n';
		return kSuccess;
	}
	// The adapter library reads QXIIC_BUS at every transfer: set before the first.
	if (cl.bus)
		setenv("QXIIC_BUS", cl.bus->c_str(), 1);
	if (cl.command->verb == Verb::Buses)
		return ListBuses(iicbus::ScanBuses(), env.out, env.err);

	SettingsImage image;
	if (cl.command->verb == Verb::Program || cl.command->verb == Verb::Verify) {
		const char *consequence = cl.command->writes ? "Nothing was written to the camera."
							     : "The EEPROM was not compared with it.";
		if (Outcome loaded = LoadImage(cl.file, consequence, image); loaded.status != kSuccess) {
			PrintError(env, loaded.message);
			return loaded.status;
		}
	}
	if (cl.command->writes) {
		if (int permission = AskPermission(cl, env, Question(*cl.command, image));
		    permission != kSuccess)
			return permission;
	}

	BarProgress bar(env.err);
	QuietProgress quiet;
	Progress &progress = env.errIsTerminal ? static_cast<Progress &>(bar) : quiet;
	EepromBus bus(env.clock);
	Outcome outcome = Run(cl, bus, progress, image);
	progress.End();
	if (outcome.status == kSuccess)
		env.out << outcome.message << '\n' << std::flush;
	else
		PrintError(env, WithBusReason(outcome.message));
	for (const std::string &notice : iicbus::TakeNotices())
		PrintError(env, "warning: " + notice);
	return outcome.status;
}

} // namespace eeprom_cli
