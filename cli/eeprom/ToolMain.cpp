#include "ToolMain.h"

#include "BusIdentity.h"
#include "BusOption.h"
#include "BusesCommand.h"
#include "EepromCommands.h"
#include "EepromShow.h"
#include "ExitStatus.h"
#include "Production.h"
#include "StopRequest.h"

#include <algorithm>

#include <cstdlib>
#include <istream>
#include <optional>
#include <ostream>

namespace eeprom_cli {

namespace {

constexpr char kName[] = "velmora-eeprom";

constexpr char kHelp[] = R"(Usage: velmora-eeprom [OPTION]... COMMAND [FILE]
The KL310 camera's settings EEPROM (8 pages of 256 bytes) and .qmx settings files.
Several cameras, each on its own bus, are handled side by side.

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
                    USB-to-I2C adapter present; given again, one more camera
                    (dump then needs {bus} in FILE, as in cam-{bus}.qmx)
      --all         every allowed bus on which a camera answers (see buses)
      --report FILE append one JSON line per camera to FILE
      --repeat      program: station mode; wait for a camera, program and
                    verify it, wait until it is removed, and again until
                    Ctrl+C
  -y, --yes         write without asking
  -h, --help        show this help and exit
      --version     show the version and exit

program and erase-settings ask before writing when standard input is a
terminal; otherwise they need --yes. A progress bar (one line per camera)
is drawn on standard error when it is a terminal. A file the panel would
refuse is refused here too, before anything is written. Every failure is one
line on standard error; with several cameras, every camera's result is.
Ctrl+C or SIGTERM stops after the block on the wire and names it.

Exit status:
  0  the operation succeeded and was verified
  1  writing was not confirmed; nothing was written
  2  wrong command line, or --yes missing where no terminal can confirm
  3  the settings file cannot be used (unreadable, damaged, not 1 to 8 whole
     pages); nothing was written
  4  a bus transfer failed, or the EEPROM did not acknowledge within 25 ms
     of a write
  5  verification found a byte that differs (page and byte named)
  6  dump: the settings file could not be written; or a --report record
  130  stopped by Ctrl+C or SIGTERM; a program run must be repeated
With several cameras: 0 only when every camera succeeded, otherwise the
highest status of any camera.
)";

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
	bool repeat = false;
	bool all = false;
	std::vector<std::string> buses;
	std::string report;
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
		else if (arg == "--repeat")
			cl.repeat = true;
		else if (arg == "--all")
			cl.all = true;
		else if (std::string bus; TakeBusOption(args, i, bus))
			cl.buses.push_back(bus);
		else if (arg == "--report" && i + 1 < args.size())
			cl.report = args[++i];
		else if (arg.starts_with("--report="))
			cl.report = arg.substr(9);
		else if (arg == "--report") {
			cl.error = "--report needs a file";
			return cl;
		} else {
			cl.error = "unknown option '" + arg + "'";
			return cl;
		}
	}
	if (cl.help || cl.version)
		return cl;
	if (std::find(cl.buses.begin(), cl.buses.end(), "") != cl.buses.end()) {
		cl.error = BusMissing();
		return cl;
	}
	for (size_t i = 0; i < cl.buses.size(); i++) {
		// Two runs on one camera would interleave their blocks.
		if (std::find(cl.buses.begin(), cl.buses.begin() + static_cast<long>(i), cl.buses[i]) !=
		    cl.buses.begin() + static_cast<long>(i)) {
			cl.error = "bus " + cl.buses[i] + " is given twice";
			return cl;
		}
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
	if (!cl.error.empty())
		return cl;
	if (cl.all && (!cl.buses.empty() || cl.repeat))
		cl.error = "--all takes no --bus and no --repeat";
	else if (cl.repeat && cl.command->verb != Verb::Program)
		cl.error = "--repeat is for program only";
	else if (cl.repeat && cl.buses.size() > 1)
		cl.error = "--repeat takes one bus";
	else if (cl.command->verb == Verb::Dump && cl.buses.size() > 1 &&
		 cl.file.find("{bus}") == std::string::npos)
		cl.error = "dump from several buses needs {bus} in the file name, as in cam-{bus}.qmx";
	return cl;
}

void PrintError(ToolEnvironment &env, const std::string &message)
{
	env.err << kName << ": " << message << '\n' << std::flush;
}

std::string BusesText(const std::vector<std::string> &buses)
{
	if (buses.size() == 1)
		return buses.front().empty() ? "the USB-to-I2C adapter's bus" : "bus " + buses.front();
	std::string text = std::to_string(buses.size()) + " buses (";
	for (size_t i = 0; i < buses.size(); i++)
		text += (i ? ", " : "") + buses[i];
	return text + ")";
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

std::string Question(const CommandLine &cl, const SettingsImage &image)
{
	std::string where = " on " + BusesText(cl.buses);
	if (cl.command->verb == Verb::Program) {
		return "Write " + std::to_string(image.pages) + " page(s) of " + image.path + " into " +
		       (cl.buses.size() > 1 ? "each camera's" : "the camera's") + " EEPROM" + where +
		       (cl.repeat ? ", one camera after another" : "") + "?";
	}
	return "Erase page 3 (the saved settings) of " +
	       std::string(cl.buses.size() > 1 ? "each camera's" : "the camera's") + " EEPROM" + where + "?";
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
	if (cl.command->verb == Verb::Buses) {
		if (!cl.buses.empty())
			setenv("QXIIC_BUS", cl.buses.front().c_str(), 1);
		return ListBuses(iicbus::ScanBuses(), env.out, env.err);
	}
	if (cl.all) {
		cl.buses = CameraBuses(iicbus::ScanBuses());
		if (cl.buses.empty()) {
			PrintError(env, "--all: no allowed bus has a camera that answers (see " +
						std::string(kName) + " buses)");
			return kBusFailure;
		}
	}
	// No bus named: the adapter library finds the adapter.
	if (cl.buses.empty())
		cl.buses.push_back(std::getenv("QXIIC_BUS") ? std::getenv("QXIIC_BUS") : "");

	RunRequest request;
	request.verb = cl.command->verb;
	request.buses = cl.buses;
	request.file = cl.file;
	request.report = cl.report;
	request.repeat = cl.repeat;

	SettingsImage image;
	if (cl.command->verb == Verb::Program || cl.command->verb == Verb::Verify) {
		const char *consequence = cl.command->writes ? "Nothing was written to the camera."
							     : "The EEPROM was not compared with it.";
		if (Outcome loaded = LoadImage(cl.file, consequence, image); loaded.status != kSuccess) {
			PrintError(env, loaded.message);
			return RecordRefusedFile(request, env, loaded);
		}
		request.image = &image;
	}
	if (cl.command->writes) {
		if (int permission = AskPermission(cl, env, Question(cl, image)); permission != kSuccess)
			return permission;
	}
	ClearStopRequest();
	StopSignals signals;
	return RunCameras(request, env);
}

} // namespace eeprom_cli
