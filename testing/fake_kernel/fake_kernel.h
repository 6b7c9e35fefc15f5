// A kernel for the i2c-dev back end to run against: it plays one bus node
// (stat, open, fstat, ioctl I2C_FUNCS / I2C_RDWR, close) and records every
// call and every i2c_msg array it is handed, and as many more nodes as a
// test adds, which only answer or not. Any other path is passed on to
// the real system, so a fake sysfs tree in a temporary directory works.
#pragma once

#include "qxiic_sys.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fake {

using Bytes = std::vector<std::uint8_t>;

// One i2c_msg as the kernel received it: bytes written, or for a read
// the bytes the device delivered.
struct Msg {
	int addr = 0;
	int flags = 0;
	int len = 0;
	Bytes bytes;
	bool operator==(const Msg &) const = default;
};

// How the adapter's driver treats a transaction it cannot do.
enum class Adapter {
	Plain,           // any array of messages
	Cp2112,          // only write, read, or write-then-read to one address
	NoRepeatedStart, // single messages only
};

// A further node: a device of the given type and numbers; as a bus, the
// camera answers on it or nothing does.
struct Node {
	std::string path;
	unsigned type = 0020000; // S_IFCHR
	unsigned major = 89;
	unsigned minor = 0;
	bool cameraAnswers = false;
	unsigned long inode = 1; // a new node (the adapter replugged) is a new inode
};

struct Kernel {
	// The node the bus answers on; open of any other path goes to the system.
	std::string busPath = "/dev/i2c-5";
	unsigned busMajor = 89; // i2c-dev
	unsigned busMinor = 5;
	unsigned long busInode = 1;
	// Not 0: the node was swapped between stat and open, and fstat of the
	// opened node says this device (and busInode + 1) instead.
	unsigned swappedMajor = 0;
	unsigned swappedMinor = 0;
	std::vector<Node> nodes;
	int openErrno = 0;                // open of the node fails with this
	unsigned long funcs = 0x0eff0009; // I2C_FUNC_I2C | SMBus emulation
	int funcsErrno = 0;               // ioctl I2C_FUNCS fails with this
	int rdwrErrno = 0;                // ioctl I2C_RDWR fails with this
	int rdwrReturn = -1;              // >= 0: I2C_RDWR returns this instead of the count
	Adapter adapter = Adapter::Plain;
	Bytes device; // what read messages deliver, from the start each time

	// What happened.
	std::vector<std::string> calls;  // "open /dev/i2c-5", "ioctl I2C_FUNCS", ... (bus node only)
	std::vector<std::string> opened; // every node path opened, in turn
	std::vector<std::vector<Msg>> transactions;
	int openFds = 0;      // bus node descriptors not yet closed
	long systemCalls = 0; // every call through the seam, the forwarded ones too
};

// The kernel in use; Install() starts a fresh one and routes the back
// end's system calls to it, Uninstall() gives them back to the system.
Kernel &TheKernel();
void Install();
void Uninstall();

} // namespace fake
