#include "Fleet.h"

#include "BusIdentity.h"
#include "StopRequest.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace eeprom_cli {

namespace {

using nlohmann::json;

// Whole buffer or nothing more to do: the parent is gone.
void WriteAll(int fd, const std::string &text)
{
	size_t done = 0;
	while (done < text.size()) {
		ssize_t n = write(fd, text.data() + done, text.size() - done);
		if (n < 0 && errno == EINTR)
			continue;
		if (n <= 0)
			return;
		done += static_cast<size_t>(n);
	}
}

// The child's progress, as lines "P done total phase" to the parent.
class PipeProgress final : public Progress
{
public:
	explicit PipeProgress(int fd) : m_fd(fd) {}
	void Begin(const char *phase, int total) override
	{
		m_phase = phase;
		m_total = total;
		m_done = 0;
		m_sentPercent = -1;
		send();
	}
	void Step() override
	{
		if (m_done < m_total)
			m_done++;
		send();
	}
	void End() override {}

private:
	void send()
	{
		int percent = m_total > 0 ? m_done * 100 / m_total : 100;
		if (percent == m_sentPercent)
			return;
		m_sentPercent = percent;
		WriteAll(m_fd, "P " + std::to_string(m_done) + ' ' + std::to_string(m_total) + ' ' + m_phase +
				       '\n');
	}

	int m_fd;
	std::string m_phase;
	int m_total = 0;
	int m_done = 0;
	int m_sentPercent = -1;
};

void ReportOutcome(const CameraJob &job, const CameraRunner &runner, ToolClock &clock, int fd)
{
	PipeProgress progress(fd);
	std::time_t started = std::time(nullptr);
	std::int64_t startUs = clock.NowUs();
	Outcome outcome = runner(job, progress);
	json result = { { "status", outcome.status },   { "message", outcome.message },
			{ "started", started },         { "duration_us", clock.NowUs() - startUs },
			{ "adapter", outcome.adapter }, { "notices", iicbus::TakeNotices() } };
	if (outcome.difference) {
		const Difference &d = *outcome.difference;
		result["difference"] = { d.page, d.byte, d.found, d.expected };
	}
	WriteAll(fd, "R " + result.dump(-1, ' ', false, json::error_handler_t::replace) + '\n');
}

struct Child {
	pid_t pid = -1;
	int fd = -1;
	std::string pending;
	bool finished = false;
};

void TakeLine(const std::string &line, size_t index, CameraFinish &finish, Child &child, CameraLines *lines)
{
	if (line.starts_with("P ")) {
		int done = 0, total = 0, used = 0;
		if (std::sscanf(line.c_str() + 2, "%d %d %n", &done, &total, &used) >= 2 && lines)
			lines->Show(index, line.substr(2 + static_cast<size_t>(used)), done, total);
		return;
	}
	if (!line.starts_with("R "))
		return;
	json result = json::parse(line.substr(2), nullptr, false);
	if (result.is_discarded() || !result.is_object())
		return;
	finish.outcome.status = result.value("status", static_cast<int>(kBusFailure));
	finish.outcome.message = result.value("message", std::string());
	finish.outcome.adapter = result.value("adapter", std::string());
	finish.started = result.value("started", std::time_t{ 0 });
	finish.durationUs = result.value("duration_us", std::int64_t{ 0 });
	finish.notices = result.value("notices", std::vector<std::string>{});
	if (result.contains("difference")) {
		const json &d = result["difference"];
		finish.outcome.difference = Difference{ d[0], d[1], d[2], d[3] };
	}
	child.finished = true;
}

void ReadFrom(Child &child, size_t index, CameraFinish &finish, CameraLines *lines)
{
	char buffer[4096];
	ssize_t n = read(child.fd, buffer, sizeof(buffer));
	if (n < 0 && errno == EINTR)
		return;
	if (n <= 0) {
		close(child.fd);
		child.fd = -1;
		return;
	}
	child.pending.append(buffer, static_cast<size_t>(n));
	size_t end;
	while ((end = child.pending.find('\n')) != std::string::npos) {
		TakeLine(child.pending.substr(0, end), index, finish, child, lines);
		child.pending.erase(0, end + 1);
	}
}

std::string HowItEnded(int waitStatus)
{
	if (WIFSIGNALED(waitStatus))
		return "signal " + std::to_string(WTERMSIG(waitStatus)) + " (" +
		       strsignal(WTERMSIG(waitStatus)) + ")";
	return "status " + std::to_string(WEXITSTATUS(waitStatus));
}

std::vector<std::string> CameraProcessArgs(const CameraJob &job)
{
	std::vector<std::string> args = { "--camera-process" };
	if (!job.bus.empty())
		args.insert(args.end(), { "--bus", job.bus });
	args.push_back(VerbName(job.verb));
	if (job.verb != Verb::EraseSettings)
		args.insert(args.end(), { "--", job.file });
	return args;
}

std::vector<Child> StartChildren(const std::vector<CameraJob> &jobs, const std::string &program,
				 std::vector<CameraFinish> &finishes)
{
	std::vector<Child> children(jobs.size());
	for (size_t i = 0; i < jobs.size(); i++) {
		// Kept should the child never say when it began.
		finishes[i].started = std::time(nullptr);
		std::string why;
		children[i].pid = SpawnWithReportPipe(program, CameraProcessArgs(jobs[i]), children[i].fd,
						      why);
		if (children[i].pid < 0)
			finishes[i].outcome = { kBusFailure, why, std::nullopt };
	}
	return children;
}

// Reads every child's lines until each has closed its pipe.
void Collect(std::vector<Child> &children, std::vector<CameraFinish> &finishes, CameraLines *lines)
{
	bool stopPassedOn = false;
	for (;;) {
		if (StopRequested() && !stopPassedOn) {
			for (const Child &child : children) {
				if (child.pid > 0)
					kill(child.pid, SIGINT);
			}
			stopPassedOn = true;
		}
		std::vector<pollfd> polled;
		std::vector<size_t> owners;
		for (size_t i = 0; i < children.size(); i++) {
			if (children[i].fd >= 0) {
				polled.push_back({ children[i].fd, POLLIN, 0 });
				owners.push_back(i);
			}
		}
		if (polled.empty())
			break;
		// The timeout only bounds how late a stop request is passed on.
		if (poll(polled.data(), polled.size(), 100) < 0)
			continue;
		for (size_t k = 0; k < polled.size(); k++) {
			if (polled[k].revents != 0)
				ReadFrom(children[owners[k]], owners[k], finishes[owners[k]], lines);
		}
	}
}

void Reap(const std::vector<Child> &children, std::vector<CameraFinish> &finishes)
{
	for (size_t i = 0; i < children.size(); i++) {
		if (children[i].pid <= 0)
			continue;
		int waitStatus = 0;
		while (waitpid(children[i].pid, &waitStatus, 0) < 0 && errno == EINTR) {
		}
		if (!children[i].finished)
			finishes[i].outcome = { kBusFailure,
						"the camera's process ended without a result (" +
							HowItEnded(waitStatus) + ")",
						std::nullopt };
	}
}

} // namespace

pid_t SpawnWithReportPipe(const std::string &program, const std::vector<std::string> &args, int &readFd,
			  std::string &why)
{
	int fds[2];
	if (pipe2(fds, O_CLOEXEC) != 0) {
		why = std::string("no pipe for the camera's process: ") + std::strerror(errno);
		return -1;
	}
	// dup2 onto the same number would leave close-on-exec set.
	if (fds[1] == kCameraReportFd) {
		int moved = fcntl(fds[1], F_DUPFD_CLOEXEC, kCameraReportFd + 1);
		close(fds[1]);
		fds[1] = moved;
	}
	std::vector<std::string> words = { program };
	words.insert(words.end(), args.begin(), args.end());
	std::vector<char *> argv;
	for (std::string &w : words)
		argv.push_back(w.data());
	argv.push_back(nullptr);
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_adddup2(&actions, fds[1], kCameraReportFd);
	// The child starts with no signal blocked, whatever this thread blocks.
	posix_spawnattr_t attributes;
	posix_spawnattr_init(&attributes);
	sigset_t none;
	sigemptyset(&none);
	posix_spawnattr_setsigmask(&attributes, &none);
	posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
	pid_t pid = -1;
	int failed = fds[1] < 0 ? errno
				: posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(),
					      environ);
	posix_spawnattr_destroy(&attributes);
	posix_spawn_file_actions_destroy(&actions);
	if (fds[1] >= 0)
		close(fds[1]);
	if (failed != 0) {
		close(fds[0]);
		why = std::string("no process for the camera: ") + std::strerror(failed);
		return -1;
	}
	readFd = fds[0];
	return pid;
}

bool IsCameraProcess()
{
	struct stat status {
	};
	return fstat(kCameraReportFd, &status) == 0 && S_ISFIFO(status.st_mode);
}

int RunCameraProcess(const CameraJob &job, const CameraRunner &runner, ToolClock &clock)
{
	ClearStopRequest();
	StopSignals signals;
	ReportOutcome(job, runner, clock, kCameraReportFd);
	return kSuccess;
}

std::vector<CameraFinish> RunFleet(const std::vector<CameraJob> &jobs, const std::string &program,
				   CameraLines *lines)
{
	std::vector<CameraFinish> finishes(jobs.size());
	std::vector<Child> children = StartChildren(jobs, program, finishes);
	Collect(children, finishes, lines);
	if (lines)
		lines->End();
	Reap(children, finishes);
	return finishes;
}

} // namespace eeprom_cli
