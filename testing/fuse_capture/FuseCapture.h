// Starts the user-space capture device (fuse_capture.cpp) on a file and
// takes it away again. Mounting needs root or a usable /dev/fuse; where
// neither is there, a test skips with the reason, except under CI
// (CI=true), where the capture path must run and the test fails.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace fuse_capture {

struct Faults {
	std::string standard = "both"; // pal, ntsc or both
	int stopAfter = -1;            // frames before it falls silent
	int vanishAfter = -1;          // frames before its process exits
	bool shortFrames = false;      // bytesused half the frame
	bool errorFlag = false;        // buffers flagged V4L2_BUF_FLAG_ERROR
	bool readOnly = false;         // read() I/O only
	int appearAfterMs = 0;         // the file appears this long after Start
};

class Device
{
public:
	Device() = default;
	Device(const Device &) = delete;
	Device &operator=(const Device &) = delete;
	~Device();

	// Mounts the device on path (made as an empty file); "" or why not.
	// Returns once it answers, except with appearAfterMs.
	std::string Start(const std::string &path, const Faults &faults = {});
	// Ends its process and takes the mount and the file away.
	void Stop();

private:
	std::string path_;
	std::string hidden_; // the mount point of a device that appears later
	pid_t pid_ = -1;
};

// Whether a device that cannot be mounted fails the test (CI) or skips it.
bool MustRun();

} // namespace fuse_capture

// In a test: starts device on path or skips (fails under CI) with the reason.
#define START_FUSE_CAPTURE(device, path, ...)                                                             \
	do {                                                                                              \
		const std::string fuseWhy_ = (device).Start((path)__VA_OPT__(, ) __VA_ARGS__);            \
		if (!fuseWhy_.empty()) {                                                                  \
			if (::fuse_capture::MustRun())                                                    \
				FAIL() << "CI=true, and the capture device cannot run: " << fuseWhy_;     \
			else                                                                              \
				GTEST_SKIP() << "the user-space capture device cannot run: " << fuseWhy_; \
		}                                                                                         \
	} while (false)
