// Test and tooling interface of the simulated KL310 camera inside libqxiic.
//
// Not part of the adapter's C interface: programs reach the bus only
// through qxiic.h. Tests use this to set up the camera, unplug it, inject
// failures, read back what went over the bus and drive the simulator's
// clock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qxiic::sim {

// One adapter call as the library received it, whatever the back end.
enum class Call { Init, SetAddress, SendSub, ReceiveSub, Receive, Close };

struct TraceEntry {
	Call call;
	int handle = 0;
	int device = 0;     // Init / SetAddress: the device argument; transfers: the handle's device
	int subLength = 0;  // SendSub / ReceiveSub
	int subAddress = 0; // SendSub / ReceiveSub
	int count = 0;      // transfers: number of data bytes asked for
	int flags = 0;      // transfers: the flags argument
	int param1 = 0;     // Init only
	int param2 = 0;     // Init only
	std::vector<std::uint8_t> data; // bytes sent (SendSub) or delivered (ReceiveSub, Receive)
	unsigned short status = 0;      // transfers: the returned status; Init: why the bus
					// could not be opened, or QXIIC_OK
	std::int64_t timeUs = 0;        // the adapter's clock when the call arrived
};

// Fails matching transfer calls (SendSub, ReceiveSub, Receive) with a status.
// Empty fields match anything. The rule lets `skip` matching calls pass,
// then fails the next `times` matching calls (-1: every one from then on).
struct Fault {
	std::optional<Call> call;
	std::optional<int> device;     // device address of the transfer's handle
	std::optional<int> subAddress; // sub-address of SendSub / ReceiveSub
	unsigned short status = 14;
	int skip = 0;
	int times = 1;
};

// Puts the whole simulator back to factory state: every camera's
// registers, EEPROM and address counter, plugged in, no faults, empty
// trace, real-time clock, camera 0 selected. Open adapter handles are
// closed too (a real bus with them), so handle numbers start afresh. The
// cameras' EEPROM files are not read after a Reset.
void Reset();

// The camera (0..7, QXIIC_BUS=sim:N; sim is 0) that the calls below set
// up and read.
void SelectCamera(int camera);

// Factory state in memory and the EEPROM files read again at the next
// open, as in a new process.
void Forget();

// Sensor registers (16-bit numbers, 16-bit values).
void SetRegister(std::uint16_t reg, std::uint16_t value);
std::uint16_t Register(std::uint16_t reg);
// Number of writes the register received over the bus since the last
// Reset (SetRegister does not count).
int RegisterWrites(std::uint16_t reg);
// Polls of the command register 0x0040 that read busy after a command
// (3 from Reset); -1: the command never finishes.
void SetCommandBusyReads(int reads);

// EEPROM, linear address 0..2047 (page * 256 + offset).
void SetEepromByte(int address, std::uint8_t value);
std::uint8_t EepromByte(int address);
int EepromAddressCounter();

// An unplugged camera acknowledges nothing: every transfer to the sensor
// or the EEPROM fails with QXIIC_NACK.
void SetPlugged(bool plugged);

void AddFault(const Fault &fault);
void ClearFaults();

// The most recent calls (up to 100000; older ones are dropped in halves).
std::vector<TraceEntry> Trace();
void ClearTrace();

// Clock: real time by default. In manual mode time moves only by
// AdvanceClock; the EEPROM write cycle is measured on this clock. (The
// command register's busy period is counted in reads: a command written
// to 0x0040 reads busy three times.)
void UseManualClock(bool manual);
void AdvanceClock(std::int64_t microseconds);
std::int64_t Now(); // microseconds

// Length of the EEPROM's write cycle after each write.
constexpr std::int64_t kEepromWriteCycleUs = 5000;

// Human-readable form of a trace entry, for test failure messages.
std::string Describe(const TraceEntry &entry);

} // namespace qxiic::sim
