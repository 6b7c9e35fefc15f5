// The camera's picture in a window beside the panel. Handlers see only
// this; the window itself is Qt (PictureWindow.cpp).
#pragma once

#include <functional>
#include <memory>
#include <string>

class CDialog;

namespace video {
class FrameSource;
}

// The window menu's item that opens it, and its text.
constexpr unsigned IDM_PICTURE = 0x0020;
constexpr char kPictureMenuText[] = "&Picture...";

// Opens the frames of one device ("sim", a capture device's path, or ""
// for the one beside the adapter); nullptr with why set when it cannot.
using PictureOpener =
	std::function<std::unique_ptr<video::FrameSource>(const std::string &device, std::string &why)>;

// What the picture window shows first, as the command line chose it; the
// user may choose another device in the window.
struct PictureSource {
	// "sim": the simulated camera's picture; a capture device's path; "":
	// the capture device on the adapter's USB device.
	std::string device;
	// The simulated camera shown (0..7), whose picture faults the
	// simulated picture shows; -1 for another bus.
	int simCamera = -1;
	// The adapter's /dev/i2c-N when the bus names one; "" for the adapter
	// found (the window asks for the bus the camera answers on).
	std::string adapterNode;
	// The window opens as the panel starts.
	bool openAtStart = false;
	// Empty: the devices themselves. Tests give their own.
	PictureOpener open;
};

// Opens the picture window beside the panel, or brings it to the front.
void ShowPictureWindow(CDialog &panel, const PictureSource &source);
