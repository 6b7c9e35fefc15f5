// Where frames come from: a capture device or the simulated camera. A
// source never blocks for long: next() returns within about two seconds
// with a frame or without one, and stop() makes it return at once.
#pragma once

#include "Frame.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace video {

class FrameSource
{
public:
	virtual ~FrameSource() = default;
	// The next frame; false when none came (no signal; takeNotice() may
	// say why). Called from one thread at a time.
	virtual bool next(Frame &frame) = 0;
	// What happened that the user should hear of, each event once; "" when
	// nothing new.
	virtual std::string takeNotice() = 0;
	// The source as the user names it ("simulated camera", "/dev/video0").
	virtual std::string name() const = 0;
	// From any thread: a blocked next() returns soon, later ones at once.
	virtual void stop() = 0;
	// After a next() that found no picture source at all (a file, or a
	// device that does not capture): trying again will not give frames.
	virtual bool refused() const { return false; }
};

// Blocks until a time point; sources pace themselves with it. Tests give
// their own so that nothing waits for real.
using WaitUntil = std::function<void(std::chrono::steady_clock::time_point)>;

// The simulated camera's picture, paced at its standard's frame rate, its
// frame number counted from the source's start. The registers are read
// through the adapter library before every frame, so a write from any
// process shows in the next one. faultsOf: the camera (0..7) whose picture
// faults file applies (SimPictureFaults.h); -1 none.
std::unique_ptr<FrameSource> OpenSimulatedCamera(WaitUntil wait = {}, int faultsOf = -1);

// One frame of the simulated camera, always frame 0: the same registers
// give the same picture, with the faults of camera faultsOf (-1 none) as
// the line's frame check sees them. False, with why set, when the camera
// could not be read or shows no signal.
bool SimulatedSnapshot(Frame &frame, int faultsOf, std::string &why);

// "sim": the simulated camera, with the picture faults of simCamera (0..7;
// -1 none); a device path: that capture device; "": the capture device on
// the same USB device as the adapter of i2cNode, when there is exactly
// one. Returns nullptr with why set when there is none.
std::unique_ptr<FrameSource> OpenSource(const std::string &given, const std::string &i2cNode,
					std::string &why, int simCamera = -1);

} // namespace video
