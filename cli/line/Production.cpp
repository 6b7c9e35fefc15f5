#include "Production.h"

#include "BusIdentity.h"
#include "CameraRecord.h"
#include "Fleet.h"
#include "InputFile.h"
#include "Record.h"
#include "Station.h"
#include "StopRequest.h"

#include <algorithm>
#include <istream>
#include <optional>
#include <ostream>
#include <set>

namespace eeprom_cli {

using namespace tool;

namespace {

constexpr char kName[] = "velmora-eeprom";

class Recorder
{
public:
	Recorder(const RunRequest &request, ToolEnvironment &env) : m_request(request), m_env(env)
	{
		// The bytes as loaded, once for every record.
		if (request.report && request.image)
			m_image = DescribeFile(request.file, request.image->sha256, request.image->size);
	}

	// Empty when kept (or no report is kept); else why not, said on stderr
	// unless the caller says it.
	std::string Add(const iicbus::ResolvedBus &bus, const CameraJob &job, const CommandResult &outcome,
			std::time_t started, std::int64_t durationUs,
			std::optional<int> camera = std::nullopt,
			std::optional<std::string> unit = std::nullopt, bool synced = true, bool say = true)
	{
		if (!m_request.report)
			return "";
		CameraFacts facts;
		facts.busGiven = bus.given;
		// The library named what it opened: the bus asked of it.
		if (!outcome.adapter.empty())
			facts.busFound = job.bus;
		facts.camera = camera;
		facts.unit = unit ? unit : m_request.unit;
		facts.outcome = outcome;
		facts.started = started;
		facts.durationUs = durationUs;
		if (m_request.verb == Verb::Dump)
			facts.file = DescribeFile(job.file,
						  outcome.status == kSuccess ? outcome.result.sha256 : "",
						  outcome.result.size);
		else if (m_request.image)
			facts.file = m_image;
		else if (m_request.verb != Verb::EraseSettings)
			// A refused file has no image; the bytes read still identify it.
			facts.file = DescribeFile(job.file, outcome.result.sha256, outcome.result.size);
		plant::Record record = MakeRecord(m_request.record, facts);
		std::string why = m_request.report->Append(record, synced);
		SayNotices();
		if (!why.empty() && say)
			m_env.err << kName << ": the record of "
				  << (bus.given.empty() ? "the camera" : bus.given) << " was not added to "
				  << m_request.report->Name() << ": " << why << '\n'
				  << std::flush;
		return why;
	}

	void SayNotices()
	{
		if (m_request.report)
			for (const std::string &notice : m_request.report->TakeNotices())
				m_env.err << kName << ": " << notice << '\n' << std::flush;
	}

private:
	const RunRequest &m_request;
	ToolEnvironment &m_env;
	RecordedFile m_image;
};

CameraJob JobFor(const RunRequest &request, const iicbus::ResolvedBus &bus)
{
	CameraJob job;
	job.verb = request.verb;
	job.bus = bus.resolved;
	job.image = request.image;
	job.pages = request.pages;
	job.file = request.verb == Verb::Dump ? FileForBus(request.file, bus.resolved) : request.file;
	if (const FrameCheckSetup *check = request.frameCheck) {
		job.processOptions = { "--frame-check", "--limits", check->limitsPath };
		if (auto it = check->video.find(bus.resolved); it != check->video.end())
			job.processOptions.insert(job.processOptions.end(),
						  { "--video", bus.resolved + "=" + it->second });
	}
	return job;
}

// A record that cannot be kept fails the run: a unit without its record
// is not a unit the line can ship, even when the camera succeeded.
int WithRecord(int status, const std::string &lost)
{
	if (lost.empty())
		return status;
	return status == kSuccess ? kNotRecorded : std::max(status, static_cast<int>(kFileNotWritten));
}

int RunOne(const RunRequest &request, ToolEnvironment &env, const LineSeams &seams)
{
	BarProgress bar(env.err, env.errColumns);
	QuietProgress quiet;
	Progress &progress = env.errIsTerminal ? static_cast<Progress &>(bar) : quiet;
	CameraJob job = JobFor(request, request.buses.front());
	bool toOutput = request.verb == Verb::Dump && job.file == "-";
	if (toOutput)
		job.output = [&env](std::string_view text) { return WriteWholeOutput(env, text); };
	Recorder recorder(request, env);
	std::time_t started = std::time(nullptr);
	std::int64_t startUs = env.clock.NowUs();
	CommandResult outcome = RunnerOf(env, seams, request.frameCheck)(job, progress);
	if (outcome.status == kSuccess)
		progress.End();
	else
		progress.Abandon();
	bool success = outcome.status == kSuccess;
	if (!success)
		SayFailure(env, kName, outcome.status, outcome.message);
	// The success line only once the record is kept.
	std::string lost = recorder.Add(request.buses.front(), job, outcome, started,
					env.clock.NowUs() - startUs, std::nullopt, std::nullopt, true,
					!success);
	// After a dump to standard output, the data's own stream takes no word.
	if (success && lost.empty())
		(toOutput ? env.err : env.out) << outcome.message << '\n' << std::flush;
	else if (success)
		SayFailure(env, kName, kNotRecorded,
			   NotRecorded(request.verb) + ": " + outcome.message +
				   "; the record was not added to " + request.report->Name() + ": " + lost);
	for (const std::string &notice : iicbus::TakeNotices())
		env.err << kName << ": warning: " << notice << '\n' << std::flush;
	return WithRecord(outcome.status, lost);
}

int RunSeveral(const RunRequest &request, ToolEnvironment &env, const LineSeams &seams)
{
	std::vector<CameraJob> jobs;
	std::vector<std::string> labels;
	for (const iicbus::ResolvedBus &bus : request.buses) {
		jobs.push_back(JobFor(request, bus));
		labels.push_back(bus.given);
	}
	std::optional<CameraLines> lines;
	if (env.errIsTerminal)
		lines.emplace(env.err, labels, env.errColumns);
	env.out << std::flush;
	env.err << std::flush;
	std::vector<CameraFinish> finishes = RunFleet(jobs, seams.self, lines ? &*lines : nullptr);

	// Every record on the disk before any camera's result is said: one
	// flush for the run's records, not one each.
	Recorder recorder(request, env);
	std::vector<std::string> lost(jobs.size());
	for (size_t i = 0; i < jobs.size(); i++)
		lost[i] = recorder.Add(request.buses[i], jobs[i], finishes[i].outcome, finishes[i].started,
				       finishes[i].durationUs, std::nullopt, std::nullopt, false);
	if (request.report) {
		if (std::string why = request.report->Sync(); !why.empty()) {
			env.err << kName << ": the records were not kept in " << request.report->Name()
				<< ": " << why << '\n';
			for (std::string &one : lost)
				one = one.empty() ? why : one;
		}
	}
	int worst = kSuccess;
	int succeeded = 0;
	for (size_t i = 0; i < jobs.size(); i++) {
		const CameraFinish &finish = finishes[i];
		bool success = finish.outcome.status == kSuccess;
		// "interrupted before ..." needs no second "interrupted".
		std::string word = success && !lost[i].empty() ? NotRecorded(request.verb)
							       : ResultWord(finish.outcome, request.verb);
		env.err << labels[i] << ": " << (finish.outcome.message.starts_with(word) ? "" : word + ": ")
			<< fileio::ShownText(finish.outcome.message) << '\n';
		for (const std::string &notice : finish.notices)
			env.err << labels[i] << ": warning: " << notice << '\n';
		worst = std::max(worst, WithRecord(finish.outcome.status, lost[i]));
		succeeded += success && lost[i].empty();
	}
	env.err << std::flush;
	env.out << jobs.size() << " cameras: " << succeeded << " succeeded, " << jobs.size() - succeeded
		<< " failed\n"
		<< std::flush;
	return worst;
}

// --ask-unit: one line per camera, as a barcode scanner types it, without
// the blanks around it; an empty or repeated one is refused and asked again.
class UnitReader
{
public:
	explicit UnitReader(ToolEnvironment &env) : m_env(env) {}
	std::optional<std::string> operator()(int number)
	{
		for (;;) {
			m_env.out << "unit of camera " << number << ": " << std::flush;
			std::string line;
			if (StopRequested() || !std::getline(m_env.in, line)) {
				// After Ctrl+C the station ends the line itself.
				if (!StopRequested())
					m_env.out << '\n';
				return std::nullopt;
			}
			// Blanks around a unit are no part of it: "  SN-2 " is SN-2.
			size_t first = line.find_first_not_of(" \t\r"), last = line.find_last_not_of(" \t\r");
			line = first == std::string::npos ? "" : line.substr(first, last - first + 1);
			std::string refused = plant::CheckRecordName(line);
			if (line.empty())
				m_env.out << "no unit given; scan it again\n";
			else if (!refused.empty())
				m_env.out << "the unit " << refused << "; scan it again\n";
			else if (m_seen.contains(line))
				m_env.out << "unit " << line
					  << " was already programmed at this station; scan the next one\n";
			else {
				m_seen.insert(line);
				return line;
			}
		}
	}

private:
	ToolEnvironment &m_env;
	std::set<std::string> m_seen;
};

int RunRepeated(const RunRequest &request, ToolEnvironment &env, const LineSeams &seams)
{
	BarProgress bar(env.err, env.errColumns);
	QuietProgress quiet;
	Progress &progress = env.errIsTerminal ? static_cast<Progress &>(bar) : quiet;
	const iicbus::ResolvedBus &bus = request.buses.front();
	CameraJob job = JobFor(request, bus);
	EepromProbe eepromProbe;
	Recorder recorder(request, env);
	UnitReader units(env);
	StationSetup setup{ .job = job,
			    .runner = RunnerOf(env, seams, request.frameCheck),
			    .probe = seams.probe ? *seams.probe : eepromProbe,
			    .clock = env.clock,
			    .out = env.out,
			    .progress = progress,
			    .finished =
				    [&](const StationCamera &camera) {
					    return recorder.Add(bus, job, camera.outcome, camera.started,
								camera.durationUs, camera.number,
								camera.unit);
				    },
			    .terminal = env.inIsTerminal || env.errIsTerminal,
			    .look = [&recorder] { recorder.SayNotices(); },
			    .ready = [&request] { return request.report ? request.report->Ready() : ""; } };
	if (request.askUnit)
		setup.askUnit = std::ref(units);
	return RunStation(setup);
}

} // namespace

CameraRunner RunnerOf(ToolEnvironment &env, const LineSeams &seams, const FrameCheckSetup *frameCheck)
{
	if (seams.runner)
		return WithFrameCheck(seams.runner, frameCheck);
	return WithFrameCheck(
		[&clock = env.clock](const CameraJob &job, Progress &progress) {
			return RunCamera(job, clock, progress);
		},
		frameCheck);
}

std::vector<std::string> CameraBuses(const std::vector<iicbus::BusListing> &listing)
{
	std::vector<std::string> buses;
	for (const iicbus::BusListing &bus : listing) {
		if (bus.allowed && bus.camera == iicbus::CameraSeen::Answers)
			buses.push_back(bus.node);
	}
	return buses;
}

std::string FileForBus(const std::string &pattern, const std::string &bus)
{
	std::string name = bus.starts_with("/dev/") ? bus.substr(5) : bus;
	for (char &c : name) {
		if (c == '/')
			c = '_';
		else if (std::string_view(":*?\"<>|\\").find(c) != std::string_view::npos)
			c = '-';
	}
	std::string file = pattern;
	for (size_t at = 0; (at = file.find("{bus}", at)) != std::string::npos; at += name.size())
		file.replace(at, 5, name);
	return file;
}

int RecordRefusedFile(const RunRequest &request, ToolEnvironment &env, const CommandResult &refusal)
{
	Recorder recorder(request, env);
	std::time_t now = std::time(nullptr);
	std::string lost;
	for (const iicbus::ResolvedBus &bus : request.buses) {
		CameraJob job = JobFor(request, bus);
		std::string why = recorder.Add(bus, job, refusal, now, 0);
		lost = lost.empty() ? why : lost;
	}
	return WithRecord(refusal.status, lost);
}

int RunCameras(const RunRequest &request, ToolEnvironment &env, const LineSeams &seams)
{
	if (request.repeat)
		return RunRepeated(request, env, seams);
	if (request.buses.size() > 1)
		return RunSeveral(request, env, seams);
	return RunOne(request, env, seams);
}

} // namespace eeprom_cli
