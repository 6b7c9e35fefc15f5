#include "Production.h"

#include "BusIdentity.h"
#include "CameraRecord.h"
#include "Fleet.h"
#include "Station.h"

#include <algorithm>
#include <optional>
#include <ostream>

namespace eeprom_cli {

namespace {

constexpr char kName[] = "velmora-eeprom";

class Recorder
{
public:
	Recorder(const RunRequest &request, ToolEnvironment &env) : m_request(request), m_env(env)
	{
		if (request.image)
			m_imageSha = request.image->sha256;
		if (!request.report.empty())
			m_host = HostName();
	}

	// Returns false when the record could not be written (said on stderr).
	bool Add(const std::string &bus, const std::string &file, const Outcome &outcome, std::time_t started,
		 std::int64_t durationUs, std::optional<int> camera = std::nullopt)
	{
		if (m_request.report.empty())
			return true;
		CameraRecord record;
		record.time = started;
		record.host = m_host;
		record.bus = bus;
		record.adapter = outcome.adapter;
		record.command = VerbName(m_request.verb);
		record.file = file;
		record.camera = camera;
		record.outcome = outcome;
		record.durationUs = durationUs;
		switch (m_request.verb) {
		case Verb::Program:
		case Verb::Verify:
			// A refused file has no image; the bytes read still identify it.
			record.sha256 = m_request.image ? m_imageSha : outcome.result.sha256;
			record.pages = m_request.image ? m_request.image->pages : 0;
			break;
		case Verb::Dump:
			record.pages = 8;
			if (outcome.status == kSuccess)
				record.sha256 = outcome.result.sha256;
			break;
		case Verb::EraseSettings:
			record.pages = 1;
			break;
		case Verb::Buses:
			break;
		}
		std::string why = AppendRecordLine(m_request.report, RecordLine(record));
		if (why.empty())
			return true;
		m_env.err << kName << ": the record of bus " << bus << " was not added to "
			  << m_request.report << ": " << why << '\n'
			  << std::flush;
		return false;
	}

private:
	const RunRequest &m_request;
	ToolEnvironment &m_env;
	std::string m_imageSha;
	std::string m_host;
};

CameraJob JobFor(const RunRequest &request, const std::string &bus)
{
	CameraJob job;
	job.verb = request.verb;
	job.bus = bus;
	job.image = request.image;
	job.file = request.verb == Verb::Dump ? FileForBus(request.file, bus) : request.file;
	return job;
}

// A record that cannot be kept fails the run: a unit without its record
// is not a unit the line can ship.
int WithRecord(int status, bool recorded)
{
	return recorded ? status : std::max(status, static_cast<int>(kFileNotWritten));
}

int RunOne(const RunRequest &request, ToolEnvironment &env, const LineSeams &seams)
{
	BarProgress bar(env.err, env.errColumns);
	QuietProgress quiet;
	Progress &progress = env.errIsTerminal ? static_cast<Progress &>(bar) : quiet;
	CameraJob job = JobFor(request, request.buses.front());
	Recorder recorder(request, env);
	std::time_t started = std::time(nullptr);
	std::int64_t startUs = env.clock.NowUs();
	Outcome outcome = RunnerOf(env, seams)(job, progress);
	progress.End();
	if (outcome.status == kSuccess)
		env.out << outcome.message << '\n' << std::flush;
	else
		env.err << kName << ": " << outcome.message << '\n' << std::flush;
	for (const std::string &notice : iicbus::TakeNotices())
		env.err << kName << ": warning: " << notice << '\n' << std::flush;
	bool recorded = recorder.Add(job.bus, job.file, outcome, started, env.clock.NowUs() - startUs);
	return WithRecord(outcome.status, recorded);
}

int RunSeveral(const RunRequest &request, ToolEnvironment &env, const LineSeams &seams)
{
	std::vector<CameraJob> jobs;
	for (const std::string &bus : request.buses)
		jobs.push_back(JobFor(request, bus));
	std::optional<CameraLines> lines;
	if (env.errIsTerminal)
		lines.emplace(env.err, request.buses, env.errColumns);
	env.out << std::flush;
	env.err << std::flush;
	std::vector<CameraFinish> finishes = RunFleet(jobs, seams.self, lines ? &*lines : nullptr);

	Recorder recorder(request, env);
	int worst = kSuccess;
	int succeeded = 0;
	for (size_t i = 0; i < jobs.size(); i++) {
		const CameraFinish &finish = finishes[i];
		// "interrupted before ..." needs no second "interrupted".
		std::string word = ResultWord(finish.outcome.status);
		env.err << jobs[i].bus << ": "
			<< (finish.outcome.message.starts_with(word) ? "" : word + ": ")
			<< finish.outcome.message << '\n';
		for (const std::string &notice : finish.notices)
			env.err << jobs[i].bus << ": warning: " << notice << '\n';
		bool recorded = recorder.Add(jobs[i].bus, jobs[i].file, finish.outcome, finish.started,
					     finish.durationUs);
		worst = std::max(worst, WithRecord(finish.outcome.status, recorded));
		succeeded += finish.outcome.status == kSuccess;
	}
	env.err << std::flush;
	env.out << jobs.size() << " cameras: " << succeeded << " succeeded, " << jobs.size() - succeeded
		<< " failed\n"
		<< std::flush;
	return worst;
}

int RunRepeated(const RunRequest &request, ToolEnvironment &env, const LineSeams &seams)
{
	BarProgress bar(env.err, env.errColumns);
	QuietProgress quiet;
	Progress &progress = env.errIsTerminal ? static_cast<Progress &>(bar) : quiet;
	CameraJob job = JobFor(request, request.buses.front());
	EepromProbe eepromProbe;
	Recorder recorder(request, env);
	bool allRecorded = true;
	StationSetup setup{ job,
			    RunnerOf(env, seams),
			    seams.probe ? *seams.probe : eepromProbe,
			    env.clock,
			    env.out,
			    progress,
			    [&](const StationCamera &camera) {
				    allRecorded &= recorder.Add(job.bus, job.file, camera.outcome,
								camera.started, camera.durationUs,
								camera.number);
			    } };
	return WithRecord(RunStation(setup), allRecorded);
}

} // namespace

CameraRunner RunnerOf(ToolEnvironment &env, const LineSeams &seams)
{
	if (seams.runner)
		return seams.runner;
	return [&clock = env.clock](const CameraJob &job, Progress &progress) {
		return RunCamera(job, clock, progress);
	};
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
	std::replace(name.begin(), name.end(), '/', '_');
	std::string file = pattern;
	for (size_t at = 0; (at = file.find("{bus}", at)) != std::string::npos; at += name.size())
		file.replace(at, 5, name);
	return file;
}

int RecordRefusedFile(const RunRequest &request, ToolEnvironment &env, const Outcome &refusal)
{
	Recorder recorder(request, env);
	std::time_t now = std::time(nullptr);
	bool recorded = true;
	for (const std::string &bus : request.buses)
		recorded = recorder.Add(bus, request.file, refusal, now, 0) && recorded;
	return WithRecord(refusal.status, recorded);
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
