// A Video4Linux2 capture device in memory, behind the capture back end's
// device calls: the ioctls a grabber answers, mmap buffers queued and
// dequeued or frames read(), and a device that stops delivering, vanishes
// or gives damaged frames on request. Frames are YUYV of one level, so the
// converted picture is known. Its clock moves only as poll() waits: a
// frame period (40 ms) for a frame, the whole timeout for none.
#pragma once

#include "CaptureDevice.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace fake_v4l2 {

struct Device {
	std::string path = "/dev/video7";
	bool present = true;                    // false: open fails with ENOENT
	bool capture = true;                    // false: a device that cannot capture (an output)
	bool answers = true;                    // false: VIDIOC_QUERYCAP fails with ENOTTY (a file)
	bool readOnly = false;                  // read() I/O only, no streaming
	bool shortFrames = false;               // bytesused (or read()) half the frame
	bool errorFlag = false;                 // buffers come back with V4L2_BUF_FLAG_ERROR
	int framesUntilStop = -1;               // frames delivered before it falls silent (-1 never)
	int framesUntilGone = -1;               // frames delivered before it vanishes (-1 never)
	std::uint8_t y = 180, u = 128, v = 128; // every pixel's YUYV levels

	// What the back end did.
	int opens = 0;
	int attaches = 0; // descriptors libv4l2 would have taken
	int closes = 0;
	int polls = 0;
	int streamOns = 0;
	int delivered = 0;
	std::uint64_t standard = 0;          // last VIDIOC_S_STD
	std::uint32_t intervalNumerator = 0; // last VIDIOC_S_PARM
	std::uint32_t intervalDenominator = 0;
};

// The one fake device; Reset() puts it back as above.
Device &TheDevice();
void Reset();

// The device calls and the clock to give CaptureOptions.
const video::DeviceCalls &Calls();
std::chrono::steady_clock::time_point Now();

} // namespace fake_v4l2
