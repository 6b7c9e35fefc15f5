// Capture devices (Video4Linux2) through libv4l2 and libv4lconvert,
// streaming with mmap buffers. Both libraries are loaded when the first
// device is opened, so a program that never shows a picture never loads
// them. The device calls are replaceable so that tests run the back end
// against a fake device.
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
	int (*open)(const char *path, int flags);
	int (*close)(int fd);
	int (*ioctl)(int fd, unsigned long request, void *arg);
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
};

// A frame is awaited this long before the device counts as stopped.
constexpr std::chrono::milliseconds kNoFrameTimeout{ 2000 };
// Between attempts to open a device that is gone or stopped.
constexpr std::chrono::milliseconds kRetryPause{ 1000 };

// The device is opened at the first next(); one that cannot be opened,
// vanishes or stops delivering is said once and tried again.
std::unique_ptr<FrameSource> OpenCaptureDevice(const std::string &path, CaptureOptions options);

} // namespace video
