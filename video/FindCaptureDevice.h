// Which capture device belongs to the adapter: the one on the same USB
// device (a grabber with an I2C bridge inside, or a hub-less pair on one
// cable) when there is exactly one.
#pragma once

#include <string>
#include <vector>

namespace video {

// i2cNode: the adapter's /dev/i2c-N (a link to it will do). Returns the
// /dev path of the one capture node (a video4linux node with index 0) on
// the adapter's USB device, or "" when there is none or several, with why
// set. The roots are where sysfs and the device nodes are.
std::string FindCaptureDevice(const std::string &i2cNode, std::string &why,
			      const std::string &sysfsRoot = "/sys", const std::string &devRoot = "/dev");

struct CaptureNode {
	std::string path; // /dev/videoN
	std::string name; // the driver's name of the device ("USB Video"), or ""
};

// Every capture node (a video4linux node with index 0) of the system, in
// the order of their numbers: what a user may choose from.
std::vector<CaptureNode> ListCaptureDevices(const std::string &sysfsRoot = "/sys",
					    const std::string &devRoot = "/dev");

} // namespace video
