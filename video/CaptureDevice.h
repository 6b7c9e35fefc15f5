// Capture devices (Video4Linux2) through libv4l2 and libv4lconvert,
// streaming with mmap buffers, or with read() where a device offers only
// that. Both libraries are loaded when the first device is opened, so a
// program that never shows a picture never loads them, and their own
// messages go nowhere: what goes wrong is said once, in the notice. The
// device calls are replaceable so that tests run the back end against a
// fake device.
#pragma once

#include "FrameSource.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/types.h>

namespace video {

// Each returns what the system call returns and sets errno the same way.
struct DeviceCalls {
	int (*open)(const char *path, int flags); // the system's own
	// The system's own ioctl: VIDIOC_QUERYCAP asked before libv4l2 sees
	// the descriptor, so that a node that is no capture device is refused
	// by its answer (a FUSE device is a regular file) and in our words.
	int (*probe)(int fd, unsigned long request, void *arg);
	int (*attach)(int fd); // libv4l2 takes the descriptor
	int (*close)(int fd);
	int (*ioctl)(int fd, unsigned long request, void *arg);
	ssize_t (*read)(int fd, void *buffer, std::size_t size);
	void *(*mmap)(void *addr, std::size_t length, int prot, int flags, int fd, off_t offset);
	int (*munmap)(void *addr, std::size_t length);
	int (*poll)(struct pollfd *fds, nfds_t count, int timeoutMs);
};

struct CaptureOptions {
	// true PAL 720x576 at 25 frames a second, false NTSC 720x480 at
	// 29.97; nullopt keeps the device's standard and asks for PAL's size.
	std::optional<bool> pal;
	// Asked at every opening, on the source's thread, in place of pal when
	// set: the camera's standard, read from the camera itself.
	std::function<std::optional<bool>()> standard;
	// The device calls; nullptr: libv4l2's.
	const DeviceCalls *calls = nullptr;
	// Waits between two attempts to open the device again; by default a
	// real pause that stop() cuts short.
	std::function<void(std::chrono::milliseconds)> pause;
	// The clock of the no-frame deadline; nullptr: the steady clock.
	std::function<std::chrono::steady_clock::time_point()> now;
};

// Without a whole frame for this long (by the clock), the device counts as
// stopped: "frames arrive incomplete" when short or damaged ones came.
constexpr std::chrono::milliseconds kNoFrameTimeout{ 2000 };
// Between attempts to open a device that is gone or stopped.
constexpr std::chrono::milliseconds kRetryPause{ 1000 };

// The device is opened at the first next(); one that cannot be opened,
// vanishes or stops delivering is said once and tried again, after a
// pause. A node that is no capture device is refused() as well.
std::unique_ptr<FrameSource> OpenCaptureDevice(const std::string &path, CaptureOptions options);

// Why path is no capture device, asked as OpenCaptureDevice asks it (its
// answer to VIDIOC_QUERYCAP, before libv4l2 sees it): "/dev/null is not a
// capture device: ...". "" for a capture device, and for a node that is
// not there or cannot be opened now, since it may come. calls: nullptr,
// the system's.
std::string RefusedAsCaptureDevice(const std::string &path, const DeviceCalls *calls = nullptr);

} // namespace video
