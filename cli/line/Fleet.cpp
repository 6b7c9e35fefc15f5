#include "Fleet.h"

#include "BusIdentity.h"
#include "InputFile.h"
#include "PageList.h"
#include "StopRequest.h"
#include "WholeWrite.h"
#include "Wire.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace eeprom_cli {

using namespace tool;

namespace {

// Whole buffer or nothing more to do: the parent is gone.
void WriteAll(int fd, const std::string &text)
{
	fileio::WriteWhole(fd, text);
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

// The child's result travels as its fields (operations/Wire.h): 'R', the
// payload's length, then the finish's own fields, the operation's result
// and the notices.
template <typename Io, typename Finish>
void FinishFields(Io io, Finish &f)
{
	io(f.outcome.status), io(f.outcome.message), io(f.outcome.adapter), io(f.started), io(f.durationUs);
}

std::string EncodeFinish(const CameraFinish &finish)
{
	operations::WireWriter out;
	FinishFields([&out](const auto &value) { out.Put(value); }, finish);
	operations::PutResult(out, finish.outcome.result);
	out.Put(finish.notices.size());
	for (const std::string &notice : finish.notices)
		out.Put(notice);
	operations::PutFrameReport(out, finish.outcome.frame);
	std::string frame = "R";
	std::int64_t size = static_cast<std::int64_t>(out.Bytes().size());
	frame.append(reinterpret_cast<const char *>(&size), sizeof(size));
	return frame + out.Bytes();
}

bool DecodeFinish(std::string_view payload, CameraFinish &finish)
{
	operations::WireReader in(payload);
	CameraFinish decoded;
	FinishFields([&in](auto &value) { in.Get(value); }, decoded);
	operations::GetResult(in, decoded.outcome.result);
	std::size_t notices = 0;
	in.Get(notices);
	for (std::size_t i = 0; in.Good() && i < notices; i++) {
		decoded.notices.emplace_back();
		in.Get(decoded.notices.back());
	}
	if (!operations::GetFrameReport(in, decoded.outcome.frame) || !in.Ok())
		return false;
	finish = std::move(decoded);
	return true;
}

// The image the parent checked, for a child to write or compare: a file
// in memory of its own per child, so that no child reads the settings
// file again (it may have changed since) and none shares another's offset.
int ImageFile(const SettingsImage &image, std::string &why)
{
	operations::WireWriter out;
	operations::PutImage(out, image);
	int fd = memfd_create("velmora-image", MFD_CLOEXEC);
	// Above the child's own numbers: dup2 onto the same number would keep
	// close-on-exec, and the report pipe's dup2 must not overwrite it.
	if (fd >= 0 && fd <= kCameraImageFd) {
		int high = fcntl(fd, F_DUPFD_CLOEXEC, kCameraImageFd + 1);
		close(fd);
		fd = high;
	}
	if (fd < 0 || !fileio::WriteWhole(fd, out.Bytes()) || lseek(fd, 0, SEEK_SET) != 0) {
		why = std::string("no copy of the settings file for the camera's process: ") +
		      std::strerror(errno);
		if (fd >= 0)
			close(fd);
		return -1;
	}
	return fd;
}

void ReportOutcome(const CameraJob &job, const CameraRunner &runner, ToolClock &clock, int fd)
{
	PipeProgress progress(fd);
	CameraFinish finish;
	finish.started = std::time(nullptr);
	std::int64_t startUs = clock.NowUs();
	finish.outcome = runner(job, progress);
	finish.durationUs = clock.NowUs() - startUs;
	finish.notices = iicbus::TakeNotices();
	WriteAll(fd, EncodeFinish(finish));
}

struct Child {
	pid_t pid = -1;
	int fd = -1;
	std::string pending;
	bool finished = false;
};

// Progress lines "P done total phase\n" and the result frame, as they come.
void TakeFrames(Child &child, size_t index, CameraFinish &finish, CameraLines *lines)
{
	constexpr size_t kHead = 1 + sizeof(std::int64_t);
	for (;;) {
		std::string &p = child.pending;
		if (p.starts_with("P ")) {
			size_t end = p.find('\n');
			if (end == std::string::npos)
				return;
			int done = 0, total = 0, used = 0;
			std::string line = p.substr(2, end - 2);
			if (std::sscanf(line.c_str(), "%d %d %n", &done, &total, &used) >= 2 && lines)
				lines->Show(index, line.substr(static_cast<size_t>(used)), done, total);
			p.erase(0, end + 1);
		} else if (p.starts_with("R")) {
			if (p.size() < kHead)
				return;
			std::int64_t size = 0;
			std::memcpy(&size, p.data() + 1, sizeof(size));
			if (size < 0 || p.size() - kHead < static_cast<std::uint64_t>(size))
				return;
			if (DecodeFinish(std::string_view(p).substr(kHead, static_cast<size_t>(size)),
					 finish))
				child.finished = true;
			p.erase(0, kHead + static_cast<size_t>(size));
		} else {
			// Nothing else is sent; whatever it is, it is no result.
			p.clear();
			return;
		}
	}
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
	TakeFrames(child, index, finish, lines);
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
	if (!job.pages.empty())
		args.insert(args.end(), { "--pages", eeprom_cli::PageListText(job.pages) });
	args.insert(args.end(), job.processOptions.begin(), job.processOptions.end());
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
		int image = jobs[i].image ? ImageFile(*jobs[i].image, why) : -1;
		if (!jobs[i].image || image >= 0)
			children[i].pid = SpawnWithReportPipe(program, CameraProcessArgs(jobs[i]),
							      children[i].fd, why, image);
		if (image >= 0)
			close(image);
		if (children[i].pid < 0) {
			finishes[i].outcome = { kBusFailure, why };
			finishes[i].outcome.noResult = true;
		}
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
		if (!children[i].finished) {
			finishes[i].outcome = { kBusFailure, "the camera's process ended without a result (" +
								     HowItEnded(waitStatus) + ")" };
			finishes[i].outcome.noResult = true;
		}
	}
}

} // namespace

pid_t SpawnWithReportPipe(const std::string &program, const std::vector<std::string> &args, int &readFd,
			  std::string &why, int imageFd)
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
	if (imageFd >= 0)
		posix_spawn_file_actions_adddup2(&actions, imageFd, kCameraImageFd);
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

// 8 pages and a path, with room to spare.
constexpr std::size_t kLongestImage = 1 << 20;

bool ReadCameraImage(SettingsImage &image)
{
	fileio::InputText input = fileio::ReadInputDescriptor(kCameraImageFd,
							      { kLongestImage, "settings image" });
	close(kCameraImageFd);
	operations::WireReader in(input.text);
	return input.ok && operations::GetImage(in, image) && in.Ok();
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
