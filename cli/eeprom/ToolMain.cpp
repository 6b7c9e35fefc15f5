#include "ToolMain.h"

#include "BusIdentity.h"
#include "BusesCommand.h"
#include "EepromCommands.h"
#include "EepromShow.h"
#include "ExitStatus.h"
#include "Fleet.h"
#include "InputFile.h"
#include "Options.h"
#include "PageList.h"
#include "Production.h"
#include "RecordsCommand.h"
#include "SendRecordsCommand.h"
#include "SettingsFileFormat.h"
#include "SnapshotCommand.h"
#include "StopRequest.h"
#include "Target.h"
#include "registers.h"

#include <algorithm>

#include <cstdlib>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>

namespace eeprom_cli {

using namespace tool;

namespace {

constexpr char kName[] = "velmora-eeprom";

constexpr char kHelp[] = R"(Usage: velmora-eeprom [OPTION]... dump|program|verify FILE
       velmora-eeprom [OPTION]... erase-settings|buses
       velmora-eeprom [OPTION]... show FILE|--camera
       velmora-eeprom [OPTION]... diff A B|--camera
       velmora-eeprom records SOURCE [OPTION]...
       velmora-eeprom send-records [TARGET]
       velmora-eeprom snapshot [--bus BUS] [--video DEV|sim] FILE.png
The KL310 camera's settings EEPROM (8 pages of 256 bytes) and .qmx settings
files. Several cameras, each on its own bus, are handled side by side.

Commands:
  dump FILE         read all 8 pages into the settings file FILE
  program FILE      write the pages of FILE into the EEPROM, then verify them
  verify FILE       compare the EEPROM with FILE and name the first difference
  erase-settings    fill page 3 (the saved settings) with 0xff, then verify it
  buses             list the i2c-dev buses: adapter, USB or not, allowed or
                    refused and why, and whether the camera answers
  show FILE|--camera
                    the saved settings by name, the trims, then the rest as hex
  diff A B|--camera compare two settings files (or one and --camera): the
                    named settings that differ, then every byte (status 5)
  records SOURCE    units, passes, failures and first-pass yield of a --report
                    file or database (velmora-eeprom records --help)
  send-records [TARGET]
                    send what the stations' journals on this computer still
                    hold (only TARGET's with it; as the table's owner, also
                    creates the table or brings it to this version)
  snapshot FILE.png one frame of the camera's picture into FILE.png, from a
                    capture device or the simulated camera, and its mean
                    levels (velmora-eeprom snapshot --help)

Options:
      --bus BUS     the bus, instead of QXIIC_BUS: /dev/i2c-N (or a link to
                    it), sim or sim:0 to sim:7 (a simulated camera), or none
                    (no camera); without either, the one USB-to-I2C adapter
                    present; given again, one more camera (dump then needs
                    {bus} in FILE, as in cam-{bus}.qmx); one camera is never
                    given twice
      --all         every allowed bus on which a camera answers (see buses)
      --pages LIST  program, verify: only these pages, as 0-3 or 0-3,7; the
                    others keep what the camera has (its trims: pages 4 to 6)
      --report TARGET  one record per camera, appended to the JSON Lines file
                    TARGET, or inserted into the plant's PostgreSQL database
                    TARGET names (postgresql://...); checked before any
                    camera is touched
      --station NAME  the record's station (default: the host name); one
                    session per name at a time
      --operator NAME the record's operator
      --unit TEXT   the record's unit (one camera); station, operator and
                    unit: UTF-8, at most 200 bytes
      --require-database  a database --report that cannot be reached at
                    the start refuses the run (otherwise records wait in
                    the station's journal)
      --send-wait SECONDS  at the end, how long the records still in the
                    journal may take to reach the database (default 5)
      --repeat      program: station mode; wait for a camera, program and
                    verify it, wait until it is removed, and again until
                    Ctrl+C
      --frame-check program: after the EEPROM verified, bring the camera to
                    its power-up state (stored trim, settings script) and
                    check a few frames of its picture against --limits FILE
      --limits FILE what the picture must show (velmora-eeprom(1), LIMITS)
      --video BUS=DEV the capture device of the camera on BUS (a simulated
                    camera sim:N shows its own picture); again for each bus
      --ask-unit    station mode: read each camera's unit from standard input
                    (one line, as a barcode scanner types it) before it
  -y, --yes         write without asking
  -h, --help        show this help and exit
      --version     show the version and exit

FILE - is standard output for dump and standard input for program (then
with --yes) and verify; one camera only. A file named - is ./-.
program and erase-settings ask before writing when standard input is a
terminal; otherwise they need --yes. A progress bar (one line per camera)
is drawn on standard error when it is a terminal. A file the panel would
refuse is refused here too, before anything is written. Every failure is one
line on standard error; with several cameras, every camera's result is.
Ctrl+C or SIGTERM stops after the block on the wire and names it.

Exit status:
  0    the operation succeeded (program, verify, erase-settings: verified)
  1    writing was not confirmed; nothing was written
  2    wrong command line (a bus that cannot exist, one camera given twice),
       or --yes missing where no terminal can confirm; nothing was done
  3    the settings file cannot be used (unreadable, damaged, not 1 to 8
       whole pages); nothing was written
  4    a bus transfer failed, the bus could not be opened, or the EEPROM did
       not acknowledge within 25 ms of a write
  5    verification found a byte that differs (page and byte named)
  6    dump: the settings file could not be written; or a record could not
       be written to --report (checked first: then nothing was done); or
       standard output could not be written (closed, a full disk)
  7    --frame-check: the EEPROM verified, the camera's picture did not pass
  8    the camera succeeded, but its --report record could not be kept:
       programmed but not recorded
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

constexpr char kCameraCommands[] = "dump program verify erase-settings";
constexpr char kCameraAndRecordsCommands[] = "dump program verify erase-settings records";

// A settings file on standard input ('-'): a pipe or a file, as large as
// a file may be; a writer that has not finished within 10 s (as for
// velmora-reg's scripts) is refused rather than waited for.
constexpr fileio::InputLimits kStandardInputLimits{ settings::kMaxFileBytes, "settings file", true, 10000 };

// --camera-process is how velmora-eeprom starts itself for each camera of
// a run on several buses (Fleet.h); it is no option for people.
const Grammar &EepromGrammar()
{
	static const Grammar grammar{
		WithCommonOptions(
			{ { .name = "all" },
			  { .name = "report", .value = "a file or a database URL" },
			  { .name = "station", .value = "a name", .commands = kCameraAndRecordsCommands },
			  { .name = "operator", .value = "a name", .commands = kCameraCommands },
			  { .name = "unit",
			    .value = "the unit's name",
			    .commands = kCameraAndRecordsCommands },
			  { .name = "since", .value = "a UTC day or time", .commands = "records" },
			  { .name = "until", .value = "a UTC day or time", .commands = "records" },
			  { .name = "result", .value = "a result word", .commands = "records" },
			  { .name = "json", .commands = "records" },
			  { .name = "html", .value = "a file", .commands = "records" },
			  { .name = "ask-unit", .commands = "program" },
			  { .name = "frame-check", .commands = "program" },
			  { .name = "limits", .value = "a limits file", .commands = "program" },
			  { .name = "video", .value = "BUS=DEV", .commands = "program", .repeats = true },
			  { .name = "require-database", .commands = kCameraCommands },
			  { .name = "send-wait", .value = "seconds", .commands = kCameraCommands },
			  { .name = "pages",
			    .value = "a list of pages such as 0-3,7",
			    .commands = "program verify" },
			  { .name = "repeat", .commands = "program" },
			  { .name = "yes", .letter = 'y' },
			  { .name = "camera", .commands = "show diff", .repeats = true, .word = true },
			  { .name = "camera-process", .commands = "dump program verify erase-settings" } },
			true),
		{ "dump", "program", "verify", "erase-settings", "buses", "show", "diff", "records" },
	};
	return grammar;
}

const CommandInfo *FindCommand(const std::string &name)
{
	for (const CommandInfo &command : kCommands) {
		if (name == command.name)
			return &command;
	}
	return nullptr;
}

int SendWaitMs(const tool::CommandLine &cl);

// What the parser cannot know: operands, and which options go together.
std::string CheckCameraCommand(const tool::CommandLine &cl, const CommandInfo &command)
{
	const std::string &name = cl.words[0];
	size_t wanted = command.takesFile ? 2 : 1;
	std::vector<std::string> buses = cl.Values("bus");
	if (cl.words.size() < wanted)
		return name + " needs a settings file";
	if (cl.words.size() > wanted)
		return "too many arguments for " + name;
	if (command.takesFile && cl.words[1] == "-") {
		// Each camera's process would need the stream for itself, and one
		// stream cannot hold several cameras' dumps.
		if (buses.size() > 1 || cl.Has("all"))
			return name + " - takes one camera (standard " +
			       (command.verb == Verb::Dump ? "output" : "input") +
			       " is one stream): give one --bus, or a file";
		if (cl.Has("ask-unit"))
			return "--ask-unit reads standard input, which " + name + " - reads the file from";
		if (command.writes && !cl.Has("yes"))
			return name +
			       " - reads the file from standard input, which then cannot confirm: give --yes";
	}
	// A password on the command line stays in the shell's history.
	if (std::string target = cl.Value("report").value_or(""); plant::IsDatabaseTarget(target))
		if (std::string refused = plant::CheckDatabaseTarget(target); !refused.empty())
			return "--report: " + refused;
	for (const char *option : { "station", "operator", "unit" }) {
		if (cl.Has(option) && !cl.Has("report"))
			return std::string("--") + option + " only goes into a record: give --report";
		if (std::string why = plant::CheckRecordName(cl.Value(option).value_or("")); !why.empty())
			return std::string("--") + option + " " + why;
	}
	for (const char *option : { "require-database", "send-wait" }) {
		if (cl.Has(option) && !plant::IsDatabaseTarget(cl.Value("report").value_or("")))
			return std::string("--") + option + " goes with a database --report";
	}
	if (cl.Has("send-wait") && SendWaitMs(cl) < 0)
		return "--send-wait takes whole seconds, 0 to 3600";
	std::vector<int> pages;
	if (cl.Has("pages"))
		if (std::string why = eeprom_cli::ParsePageList(*cl.Value("pages"), pages); !why.empty())
			return why;
	if (cl.Has("ask-unit") && !cl.Has("repeat"))
		return "--ask-unit belongs to station mode (--repeat)";
	if (cl.Has("ask-unit") && cl.Has("unit"))
		return "--unit and --ask-unit both name the unit; give one";
	if (cl.Has("unit") && (buses.size() > 1 || cl.Has("all")))
		return "--unit names one camera's unit and cannot be used with several buses";
	if (cl.Has("unit") && cl.Has("repeat"))
		return "--unit names one camera's unit; in station mode give --ask-unit";
	if (cl.Has("all") && (!buses.empty() || cl.Has("repeat")))
		return "--all takes no --bus and no --repeat";
	if (cl.Has("repeat") && buses.size() > 1)
		return "--repeat takes one bus";
	if (command.verb == Verb::Dump && buses.size() > 1 && cl.words[1].find("{bus}") == std::string::npos)
		return "dump from several buses needs {bus} in the file name, as in cam-{bus}.qmx";
	return CheckFrameCheckOptions(cl);
}

// --send-wait in milliseconds; -1 when it is no number of seconds.
int SendWaitMs(const tool::CommandLine &cl)
{
	std::string text = cl.Value("send-wait").value_or("5");
	if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos ||
	    std::stoi(text) > 3600)
		return -1;
	return std::stoi(text) * 1000;
}

std::string CheckShowCommand(const tool::CommandLine &cl)
{
	bool show = cl.words[0] == "show";
	for (const char *option : { "all", "report", "yes" }) {
		if (cl.Has(option))
			return std::string("--") + option + " does not go with " + cl.words[0];
	}
	if (cl.words.size() != (show ? 2u : 3u))
		return show ? "show needs a settings file or --camera"
			    : "diff needs two settings files, or a file and --camera";
	if (cl.Values("camera").size() > 1)
		return "diff compares the camera with a settings file, not with itself";
	return iicbus::OneBus(cl.Values("bus"));
}

std::string BusesText(const std::vector<iicbus::ResolvedBus> &buses)
{
	if (buses.size() == 1)
		return buses.front().given.empty() ? "the USB-to-I2C adapter's bus"
						   : "bus " + buses.front().given;
	std::string text = std::to_string(buses.size()) + " buses (";
	for (size_t i = 0; i < buses.size(); i++)
		text += (i ? ", " : "") + buses[i].given;
	return text + ")";
}

// No answer is never consent: a script that cannot be asked must say --yes.
int AskPermission(const RunRequest &request, bool yes, ToolEnvironment &env, const std::string &question)
{
	if (yes)
		return kSuccess;
	if (!env.inIsTerminal) {
		return SayFailure(
			env, kName, kUsage,
			std::string(VerbName(request.verb)) +
				" writes the camera's EEPROM and standard input is not a terminal to "
				"confirm on: give --yes; nothing was written");
	}
	env.err << question << " [y/N] " << std::flush;
	std::string answer;
	if (!std::getline(env.in, answer))
		answer.clear();
	if (answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES")
		return kSuccess;
	return SayFailure(env, kName, kNotConfirmed, "not confirmed; nothing was written");
}

std::string Question(const RunRequest &request, const SettingsImage &image)
{
	std::string where = " on " + BusesText(request.buses);
	const char *whose = request.buses.size() > 1 ? "each camera's" : "the camera's";
	if (request.verb == Verb::Program) {
		std::string which = request.pages.empty()
					    ? std::to_string(image.pages) + " page(s)"
					    : "page(s) " + eeprom_cli::PageListText(request.pages);
		return "Write " + which + " of " + fileio::ShownText(image.path) + " into " + whose +
		       " EEPROM" + where + (request.repeat ? ", one camera after another" : "") + "?";
	}
	return "Erase page 3 (the saved settings) of " + std::string(whose) + " EEPROM" + where + "?";
}

// The buses of the run: --all's, those named, or the one QXIIC_BUS names
// (empty: the adapter library finds the adapter). Empty with why when
// QXIIC_BUS names no bus that can exist.
std::vector<iicbus::ResolvedBus> RunBuses(const tool::CommandLine &cl, std::string &why)
{
	if (cl.Has("all")) {
		std::vector<iicbus::ResolvedBus> buses;
		for (const std::string &node : CameraBuses(iicbus::ScanBuses()))
			buses.push_back({ node, node, node, iicbus::BusKind::Node });
		return buses;
	}
	if (!cl.buses.empty())
		return cl.buses;
	const char *variable = std::getenv("QXIIC_BUS");
	iicbus::ResolvedBus bus;
	if (variable && *variable) {
		if (std::string refused = iicbus::EnvironmentBus(variable, bus); !refused.empty()) {
			why = refused;
			return {};
		}
	} else if (cl.words[0] == "dump" && cl.words[1].find("{bus}") != std::string::npos) {
		// The file is named before the adapter library finds the bus:
		// find it the way it would, the one allowed bus with a camera.
		std::vector<std::string> found = CameraBuses(iicbus::ScanBuses());
		if (found.size() != 1) {
			why = "{bus} in the file name needs --bus: " + std::to_string(found.size()) +
			      " allowed buses have a camera that answers (see " + kName + " buses)";
			return {};
		}
		iicbus::ResolveBus(found.front(), bus);
		bus.given.clear();
	}
	return { bus };
}

std::string StationOf(const tool::CommandLine &cl)
{
	return cl.Value("station").value_or(HostName());
}

RecordBase RecordBaseOf(const tool::CommandLine &cl, const CommandInfo &command, const SettingsImage *image)
{
	RecordBase base;
	base.host = HostName();
	base.station = StationOf(cl);
	base.operatorName = cl.Value("operator");
	base.verb = command.verb;
	int pages = command.verb == Verb::Dump ? kl310::EEPROM_PAGES : image ? image->pages : 0;
	if (command.verb == Verb::EraseSettings)
		base.pages = { kl310::PAGE_SCRIPT };
	else if (image && cl.Has("pages"))
		eeprom_cli::ParsePageList(*cl.Value("pages"), base.pages);
	else
		for (int page = 0; page < pages; page++)
			base.pages.push_back(page);
	return base;
}

// --pages of the command line; "" or why they do not fit the file.
std::string PagesOf(const tool::CommandLine &cl, const SettingsImage &image, std::vector<int> &pages)
{
	if (!cl.Has("pages"))
		return "";
	eeprom_cli::ParsePageList(*cl.Value("pages"), pages);
	if (pages.back() >= image.pages)
		return "--pages " + *cl.Value("pages") + ": " + fileio::ShownText(image.path) + " has " +
		       std::to_string(image.pages) + (image.pages == 1 ? " page" : " pages");
	return "";
}

const char *Consequence(const CommandInfo &command)
{
	return command.writes ? "Nothing was written to the camera." : "The EEPROM was not compared with it.";
}

int RunPrepared(const tool::CommandLine &cl, const CommandInfo &command, RunRequest &request,
		ToolEnvironment &env, const LineSeams &seams, std::optional<StopSignals> &signals,
		bool &interrupted);

int RunOnCameras(const tool::CommandLine &cl, const CommandInfo &command, ToolEnvironment &env,
		 const LineSeams &seams)
{
	RunRequest request;
	request.verb = command.verb;
	std::string why;
	request.buses = RunBuses(cl, why);
	if (!why.empty())
		return UsageError(env, kName, why);
	if (request.buses.empty())
		return SayFailure(env, kName, kBusFailure,
				  "--all: no allowed bus has a camera that answers (see " +
					  std::string(kName) + " buses)");
	// The one camera --all found (RunTool chose one --bus names; QXIIC_BUS
	// the library reads itself).
	if (cl.Has("all") && request.buses.size() == 1)
		iicbus::SelectBus(request.buses.front().resolved);
	request.file = command.takesFile ? cl.words[1] : "";
	request.repeat = cl.Has("repeat");
	request.unit = cl.Value("unit");
	request.askUnit = cl.Has("ask-unit");
	FrameCheckSetup frameCheck;
	if (cl.Has("frame-check")) {
		if (std::string refused = FrameCheckOf(cl, request.buses, frameCheck); !refused.empty())
			return UsageError(env, kName, refused);
		frameCheck.wait = seams.frameWait;
		request.frameCheck = &frameCheck;
	}

	// Before any camera is touched: a record that could not be kept
	// would make every camera's run worthless.
	std::unique_ptr<RecordSink> report;
	if (cl.Has("report")) {
		std::vector<std::string> notices;
		SinkChoice choice{ .requireDatabase = cl.Has("require-database"),
				   .thumbnails = cl.Has("frame-check"),
				   .sendWaitMs = SendWaitMs(cl) };
		report = OpenRecordSink(cl.Value("report").value_or(""), StationOf(cl), choice, notices, why);
		for (const std::string &notice : notices)
			env.err << kName << ": " << notice << '\n' << std::flush;
		if (report && !(why = report->Ready()).empty())
			report.reset();
		if (!report)
			return SayFailure(env, kName, choice.inUse ? kUsage : kFileNotWritten,
					  why + "; nothing was done to any camera");
		request.report = report.get();
	}
	bool interrupted = false;
	// Ctrl+C and SIGTERM stay a request until the records are seen to:
	// the wait for the database ends early, and the cameras' status stands.
	std::optional<StopSignals> signals;
	int status = RunPrepared(cl, command, request, env, seams, signals, interrupted);
	if (report)
		for (const std::string &line : report->Finish(interrupted))
			env.err << kName << ": " << line << '\n' << std::flush;
	return status;
}

// The run once its report is open; interrupted: by Ctrl+C or SIGTERM.
// signals: installed once the cameras are about to be touched.
int RunPrepared(const tool::CommandLine &cl, const CommandInfo &command, RunRequest &request,
		ToolEnvironment &env, const LineSeams &seams, std::optional<StopSignals> &signals,
		bool &interrupted)
{
	SettingsImage image;
	if (command.verb == Verb::Program || command.verb == Verb::Verify) {
		if (CommandResult loaded = request.file == "-"
						   ? LoadStandardInput(
							     ReadWholeInput(env, kStandardInputLimits),
							     Consequence(command), image)
						   : LoadImage(request.file, Consequence(command), image);
		    loaded.status != kSuccess) {
			SayFailure(env, kName, loaded.status, loaded.message);
			request.record = RecordBaseOf(cl, command, nullptr);
			return RecordRefusedFile(request, env, loaded);
		}
		request.image = &image;
		if (std::string refused = PagesOf(cl, image, request.pages); !refused.empty())
			return UsageError(env, kName, refused);
	}
	request.record = RecordBaseOf(cl, command, request.image);
	if (command.writes) {
		if (int permission = AskPermission(request, cl.Has("yes"), env, Question(request, image));
		    permission != kSuccess)
			return permission;
	}
	ClearStopRequest();
	signals.emplace();
	int status = RunCameras(request, env, seams);
	interrupted = StopRequested();
	return status;
}

// One camera of a run on several buses, in a process of its own: what it
// has to say goes to the parent through its pipe (Fleet.h).
int RunAsCameraProcess(const tool::CommandLine &cl, const CommandInfo &command, ToolEnvironment &env,
		       const LineSeams &seams)
{
	CameraJob job;
	job.verb = command.verb;
	job.bus = cl.Value("bus").value_or("");
	job.file = command.takesFile ? cl.words[1] : "";
	SettingsImage image;
	FrameCheckSetup frameCheck;
	std::string unchecked;
	if (cl.Has("frame-check"))
		unchecked = FrameCheckOf(cl, cl.buses, frameCheck);
	frameCheck.wait = seams.frameWait;
	CameraRunner runner = RunnerOf(env, seams, cl.Has("frame-check") ? &frameCheck : nullptr);
	if (!unchecked.empty())
		runner = [unchecked](const CameraJob &, Progress &) {
			return CommandResult{ kUsage, unchecked };
		};
	if (command.verb == Verb::Program || command.verb == Verb::Verify) {
		// The bytes the parent checked; the file may have changed since.
		if (!ReadCameraImage(image)) {
			CommandResult lost{
				kRefusedFile,
				job.file + ": the settings file did not reach the camera's process. " +
					Consequence(command)
			};
			lost.result.outcome = operations::ResultKind::Refused;
			runner = [lost](const CameraJob &, Progress &) { return lost; };
		}
		job.image = &image;
		PagesOf(cl, image, job.pages);
	}
	return RunCameraProcess(job, runner, env.clock);
}

// The arguments of snapshot when it is the command: those after the word,
// then the --bus options standing before it; nullopt for another command.
std::optional<std::vector<std::string>> SnapshotArguments(const std::vector<std::string> &args)
{
	size_t word = 0;
	while (word < args.size() && (args[word] == "--bus" || args[word].starts_with("--bus=")))
		word += args[word] == "--bus" ? 2 : 1;
	if (word >= args.size() || args[word] != "snapshot")
		return std::nullopt;
	std::vector<std::string> own(args.begin() + static_cast<std::ptrdiff_t>(word) + 1, args.end());
	own.insert(own.end(), args.begin(), args.begin() + static_cast<std::ptrdiff_t>(word));
	return own;
}

} // namespace

int RunTool(const std::vector<std::string> &args, ToolEnvironment &env, const LineSeams &seams)
{
	// The journals of this computer's stations: a command of its own grammar.
	if (!args.empty() && args.front() == "send-records")
		return RunSendRecords({ args.begin() + 1, args.end() }, env);
	// One frame of the camera's picture: a command of its own grammar, which
	// also takes the --bus given before it, as every command does.
	if (std::optional<std::vector<std::string>> snapshot = SnapshotArguments(args))
		return RunSnapshot(*snapshot, env);
	tool::CommandLine cl = ParseCommandLine(EepromGrammar(), args);
	const CommandInfo *command = cl.error.empty() && !cl.Informational() ? FindCommand(cl.words[0])
									     : nullptr;
	// The records of a line or a plant: no camera.
	bool records = !cl.words.empty() && cl.words[0] == "records";
	if (cl.error.empty() && !cl.Informational())
		cl.error = command   ? CheckCameraCommand(cl, *command)
			   : records ? CheckRecordsCommand(cl)
				     : CheckShowCommand(cl);
	if (!cl.error.empty())
		return UsageError(env, kName, cl.error);
	if (cl.Has("help")) {
		env.out << (records ? kRecordsUsageText : kHelp);
		return kSuccess;
	}
	if (cl.Has("version"))
		return ShowVersion(env, kName);
	// One bus is the whole process's; several are one each for the
	// processes of the cameras.
	iicbus::SelectBus(cl.buses.size() == 1 ? std::optional(cl.buses.front().resolved) : std::nullopt);
	if (records)
		return RunRecords(cl, env);
	if (!command)
		return RunShowCommand(cl.words, env);
	if (cl.Has("camera-process")) {
		// Run by hand it would report to nobody and end in success.
		if (!IsCameraProcess())
			return UsageError(env, kName, "--camera-process is how velmora-eeprom starts itself");
		return RunAsCameraProcess(cl, *command, env, seams);
	}
	if (command->verb == Verb::Buses)
		return ListBuses(iicbus::ScanBuses(), env.out, env.err);
	return RunOnCameras(cl, *command, env, seams);
}

} // namespace eeprom_cli
