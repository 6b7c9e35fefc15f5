// Several cameras side by side, each on its own bus.
//
// One process per bus, not one thread: the adapter library holds one lock
// across its blocking system calls, so threads would take turns on the
// wire, and a camera that hangs inside a transfer would hold up every other
// one. A child process has its own copy of the library and its lock, and a
// camera that hangs or crashes its process takes no other camera with it.
//
// Each process is the tool itself, started afresh with posix_spawn: a fork
// of a parent with threads would copy locks that some other thread held.
// Every descriptor the tool opens is close-on-exec, so a camera's process
// holds its own pipe and nothing else of the parent's.
#pragma once

#include "CameraRun.h"
#include "Progress.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include <sys/types.h>

namespace eeprom_cli {

struct CameraFinish {
	CommandResult outcome;
	std::time_t started = 0;
	std::int64_t durationUs = 0;      // on the child's clock
	std::vector<std::string> notices; // what the child's adapter library had to tell
};

// The descriptor on which a camera's process reports to the parent.
constexpr int kCameraReportFd = 3;
// program, verify: the descriptor from which it reads the settings image
// the parent checked (operations/Wire.h), instead of the file.
constexpr int kCameraImageFd = 4;

// Runs every job in a process of its own at the same time: program (the
// tool) with "--camera-process [--bus BUS] VERB [-- FILE]", and returns the
// finishes in the order of jobs. A stop request (StopRequest.h) is passed
// on to every child. lines, when given, shows each camera's progress.
std::vector<CameraFinish> RunFleet(const std::vector<CameraJob> &jobs, const std::string &program,
				   tool::CameraLines *lines);

// Whether this process was started as a camera's: kCameraReportFd is a pipe.
bool IsCameraProcess();

// A camera's process: the image the parent sent on kCameraImageFd; false
// when none came whole.
bool ReadCameraImage(SettingsImage &image);

// The camera's process: runs job and reports its progress and outcome on
// kCameraReportFd. Returns the process's exit status.
int RunCameraProcess(const CameraJob &job, const CameraRunner &runner, tool::ToolClock &clock);

// Starts program with args (after argv[0]) and kCameraReportFd the write
// end of a pipe, whose read end (close-on-exec) goes to readFd; imageFd,
// unless -1, becomes its kCameraImageFd. Returns the process, or -1 and
// why not.
pid_t SpawnWithReportPipe(const std::string &program, const std::vector<std::string> &args, int &readFd,
			  std::string &why, int imageFd = -1);

} // namespace eeprom_cli
