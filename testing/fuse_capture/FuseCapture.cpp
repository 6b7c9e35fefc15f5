#include "FuseCapture.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fuse_capture {
namespace {

// The device's own line on its status pipe: "ready" or "error: why".
std::string ReadStatus(int fd)
{
	std::string line;
	char c;
	pollfd p{ fd, POLLIN, 0 };
	// Ten seconds: a loaded machine starts a process slowly; a device that
	// has not answered by then is broken.
	while (poll(&p, 1, 10000) > 0 && read(fd, &c, 1) == 1 && c != '\n')
		line += c;
	return line;
}

void Detach(const std::string &path)
{
	// A device whose process is gone leaves its mount behind (ENOTCONN).
	if (umount2(path.c_str(), MNT_DETACH) != 0 && errno == EPERM) {
		const pid_t pid = fork();
		if (pid == 0) {
			execlp("fusermount3", "fusermount3", "-u", "-z", "-q", path.c_str(), nullptr);
			_exit(127);
		}
		if (pid > 0)
			waitpid(pid, nullptr, 0);
	}
}

} // namespace

bool MustRun()
{
	const char *ci = std::getenv("CI");
	return ci && std::strcmp(ci, "true") == 0;
}

Device::~Device()
{
	Stop();
}

std::string Device::Start(const std::string &path, const Faults &faults)
{
	Stop();
	std::vector<std::string> args = { FUSE_CAPTURE_PROGRAM, "--standard", faults.standard };
	auto add = [&args](const char *option, int value) {
		if (value >= 0) {
			args.push_back(option);
			args.push_back(std::to_string(value));
		}
	};
	add("--stop-after", faults.stopAfter);
	add("--vanish-after", faults.vanishAfter);
	if (faults.appearAfterMs > 0)
		add("--appear-after", faults.appearAfterMs);
	if (faults.shortFrames)
		args.push_back("--short");
	if (faults.errorFlag)
		args.push_back("--error-flag");
	if (faults.readOnly)
		args.push_back("--read-only");
	int status[2];
	if (pipe2(status, O_CLOEXEC) != 0)
		return std::string("no pipe: ") + std::strerror(errno);
	args.push_back("--status-fd");
	args.push_back(std::to_string(status[1]));
	args.push_back(path);
	std::vector<char *> argv;
	for (std::string &a : args)
		argv.push_back(a.data());
	argv.push_back(nullptr);

	const pid_t parent = getpid();
	const pid_t pid = fork();
	if (pid == 0) {
		// Goes with the test, however it ends.
		prctl(PR_SET_PDEATHSIG, SIGTERM);
		if (getppid() != parent)
			_exit(1);
		fcntl(status[1], F_SETFD, 0);
		execv(argv[0], argv.data());
		_exit(127);
	}
	close(status[1]);
	if (pid < 0) {
		close(status[0]);
		return std::string("cannot start ") + FUSE_CAPTURE_PROGRAM + ": " + std::strerror(errno);
	}
	pid_ = pid;
	path_ = path;
	if (faults.appearAfterMs > 0) {
		const std::string::size_type slash = path.rfind('/') + 1;
		hidden_ = path.substr(0, slash) + "." + path.substr(slash) + ".mount";
	}
	const std::string line = ReadStatus(status[0]);
	close(status[0]);
	if (line == "ready")
		return "";
	Stop();
	return line.rfind("error: ", 0) == 0 ? line.substr(7) : "the device's program did not start";
}

void Device::Stop()
{
	if (pid_ > 0) {
		kill(pid_, SIGTERM);
		waitpid(pid_, nullptr, 0);
	}
	pid_ = -1;
	for (const std::string &p : { hidden_, path_ }) {
		if (p.empty())
			continue;
		Detach(p);
		unlink(p.c_str());
	}
	path_.clear();
	hidden_.clear();
}

} // namespace fuse_capture
