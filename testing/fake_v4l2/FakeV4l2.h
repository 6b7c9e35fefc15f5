// A Video4Linux2 capture device in memory, behind the capture back end's
// device calls: the ioctls a grabber answers, mmap buffers queued and
// dequeued, and a device that stops delivering or vanishes on request.
// Frames are YUYV of one level, so the converted picture is known.
#pragma once

#include "CaptureDevice.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fake_v4l2 {

struct Device {
	std::string path = "/dev/video7";
	bool present = true;                    // false: open fails with ENOENT
	bool capture = true;                    // false: a device that cannot capture (an output)
	int framesUntilStop = -1;               // frames delivered before it falls silent (-1 never)
	int framesUntilGone = -1;               // frames delivered before it vanishes (-1 never)
	std::uint8_t y = 180, u = 128, v = 128; // every pixel's YUYV levels

	// What the back end did.
	int opens = 0;
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

// The device calls to give CaptureOptions.
const video::DeviceCalls &Calls();

} // namespace fake_v4l2
