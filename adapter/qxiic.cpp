// The adapter's C entry points: argument checks, handles, trace.
//
// Checks run in this order and the first failure is returned: handle
// open (QXIIC_INIT_ERROR), bus opened (the status of the cause), flags
// zero (QXIIC_UNKNOWN_COMMAND), device address (QXIIC_NACK for one no bus
// can carry, QXIIC_ILLEGAL_BIT for a reserved one), sub-address
// (QXIIC_ILLEGAL_BIT), count and buffer (QXIIC_DATA_OVERFLOW). Only a call
// that passes them all reaches the back end, whichever it is.
#include "qxiic.h"

#include "backend.h"
#include "bus_scan.h"
#include "export.h"
#include "library.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

using qxiic::Handle;
using qxiic::Library;
using qxiic::TheLibrary;
using qxiic::sim::Call;
using qxiic::sim::TraceEntry;

constexpr int kMaxCount = 255;

TraceEntry Arrival(Library &lib, Call call, int handle)
{
	TraceEntry e;
	e.call = call;
	e.handle = handle;
	e.timeUs = lib.clock.now();
	return e;
}

// The record serves tests and tools; in a long session it keeps only the
// most recent calls so that it cannot grow without bound.
constexpr std::size_t kTraceLimit = 100000;

void Record(Library &lib, TraceEntry &&e)
{
	std::vector<TraceEntry> &calls = lib.calls;
	if (calls.size() >= kTraceLimit)
		calls.erase(calls.begin(), calls.begin() + kTraceLimit / 2);
	calls.push_back(std::move(e));
}

// A transfer also goes to the QXIIC_TRACE log, with the cause of a
// failure when the bus that could not be opened, or the back end that
// carried the transfer, knows one.
void RecordTransfer(Library &lib, TraceEntry &&e, const std::string &bus, const std::string &detail)
{
	if (std::string trouble = lib.log.follow(std::getenv("QXIIC_TRACE")); !trouble.empty())
		qxiic::Notice(lib, trouble);
	if (lib.log.active())
		if (std::string trouble = lib.log.write(qxiic::TraceLine(e, bus, detail)); !trouble.empty())
			qxiic::Notice(lib, trouble);
	Record(lib, std::move(e));
}

// The bus and, for a bus that could not be opened, why: what the trace
// line of a transfer on the handle names.
std::string BusOf(const Handle *h)
{
	return h ? h->bus : "-";
}

std::string OpenFailureOf(const Handle *h)
{
	return h != nullptr && !h->backend ? h->detail : std::string();
}

// An i2c-dev transfer blocks in the kernel for as long as the bus takes.
// The library lock is let go meanwhile, so that threads on other buses do
// not queue behind it; the handle's own lock keeps its back end to one
// transfer at a time, and the shared pointer keeps it alive should the
// handle be closed meanwhile. The simulator shares the library's state
// and runs under its lock.
template <typename Io>
unsigned short Carry(std::unique_lock<std::mutex> &lock, const Handle &h, std::string &detail, Io io)
{
	std::shared_ptr<qxiic::Backend> backend = h.backend;
	if (backend->usesLibraryState()) {
		unsigned short st = io(*backend);
		detail = backend->detail();
		return st;
	}
	lock.unlock();
	unsigned short st;
	{
		std::lock_guard own(backend->mutex());
		st = io(*backend);
		detail = backend->detail();
	}
	lock.lock();
	return st;
}

unsigned short CheckHandle(const Handle *h, int flags)
{
	if (h == nullptr)
		return QXIIC_INIT_ERROR;
	if (!h->backend)
		return h->failure;
	if (flags != 0)
		return QXIIC_UNKNOWN_COMMAND;
	return QXIIC_OK;
}

// No device can answer an address the bus cannot carry. The reserved
// 7-bit addresses (general call, start byte, CBUS, high-speed master
// codes, 10-bit prefixes) would reach every device or start something
// else, so they are refused.
unsigned short CheckDevice(int device)
{
	if (device < 0 || device > 0xFF)
		return QXIIC_NACK;
	int address = device >> 1;
	if (address < 0x08 || address > 0x77)
		return QXIIC_ILLEGAL_BIT;
	return QXIIC_OK;
}

// Refuse a sub-address that does not fit rather than truncate it: a
// wrapped address would write the EEPROM somewhere nobody asked for.
unsigned short CheckSubAddress(int subLength, int subAddress)
{
	if (subLength != 1 && subLength != 2)
		return QXIIC_ILLEGAL_BIT;
	int limit = subLength == 1 ? 0xFF : 0xFFFF;
	if (subAddress < 0 || subAddress > limit)
		return QXIIC_ILLEGAL_BIT;
	return QXIIC_OK;
}

unsigned short CheckBuffer(const unsigned char *data, int count)
{
	if (count < 0 || count > kMaxCount)
		return QXIIC_DATA_OVERFLOW;
	if (data == nullptr && count > 0)
		return QXIIC_DATA_OVERFLOW;
	return QXIIC_OK;
}

unsigned short CheckPlainTransfer(const Handle *h, int flags, const unsigned char *data, int count)
{
	if (unsigned short st = CheckHandle(h, flags))
		return st;
	if (unsigned short st = CheckDevice(h->device))
		return st;
	return CheckBuffer(data, count);
}

unsigned short CheckTransfer(const Handle *h, int flags, int subLength, int subAddress,
			     const unsigned char *data, int count)
{
	if (unsigned short st = CheckHandle(h, flags))
		return st;
	if (unsigned short st = CheckDevice(h->device))
		return st;
	if (unsigned short st = CheckSubAddress(subLength, subAddress))
		return st;
	return CheckBuffer(data, count);
}

// Reads land in a scratch buffer first: on failure the caller's buffer
// keeps what it had, and the trace shows nothing delivered.
template <typename Read>
unsigned short ReadInto(unsigned char *data, int count, TraceEntry &e, Read read)
{
	std::vector<std::uint8_t> got(static_cast<std::size_t>(count));
	unsigned short st = read(got.data());
	if (st == QXIIC_OK) {
		std::copy(got.begin(), got.end(), data);
		e.data = std::move(got);
	}
	return st;
}

TraceEntry TransferArrival(Library &lib, Call call, int handle, const Handle *h, int count, int flags)
{
	TraceEntry e = Arrival(lib, call, handle);
	e.device = h ? h->device : 0;
	e.count = count;
	e.flags = flags;
	return e;
}

// The bus IICSelectBus chose; none: QXIIC_BUS. Guarded by the library lock.
std::optional<std::string> &ChosenBus()
{
	static std::optional<std::string> chosen;
	return chosen;
}

// The bus is named afresh per call, so a test can switch back ends between
// transfers and a replugged adapter is found under its new number. The
// bus is only opened when there is a slot for it.
int OpenHandle(Library &lib, int device, unsigned short &status)
{
	qxiic::BusState &state = qxiic::ThreadBusState();
	if (lib.handles.full()) {
		status = QXIIC_MAX_DEVICES;
		state = { status, state.title, "every adapter handle is in use" };
		return -1;
	}
	const std::optional<std::string> &chosen = ChosenBus();
	qxiic::Opened opened = qxiic::OpenBackend(chosen ? chosen->c_str() : std::getenv("QXIIC_BUS"));
	status = opened.status;
	state = { status, opened.title, opened.backend ? std::string() : opened.detail,
		  opened.backend ? 0 : opened.osError };
	std::string node = opened.node;
	return lib.handles.open(device, std::move(node), std::move(opened));
}

// Copies text into out, cut to size bytes with its terminating zero.
void CopyOut(const std::string &text, char *out, int size)
{
	if (out == nullptr || size <= 0)
		return;
	std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
	std::copy_n(text.data(), n, out);
	out[n] = '\0';
}

} // namespace

extern "C" QXIIC_EXPORT int IICInit(int device, int param1, int param2)
{
	Library &lib = TheLibrary();
	std::lock_guard lock(lib.mutex);
	TraceEntry e = Arrival(lib, Call::Init, 0);
	e.device = device;
	e.param1 = param1;
	e.param2 = param2;

	unsigned short status = QXIIC_OK;
	int handle = OpenHandle(lib, device, status);
	e.handle = handle;
	e.status = status;
	Record(lib, std::move(e));
	return handle;
}

extern "C" QXIIC_EXPORT int SetAddress(int handle, int device)
{
	Library &lib = TheLibrary();
	std::lock_guard lock(lib.mutex);
	TraceEntry e = Arrival(lib, Call::SetAddress, handle);
	e.device = device;

	Handle *h = lib.handles.find(handle);
	if (h != nullptr)
		h->device = device;
	int status = h ? QXIIC_OK : QXIIC_INIT_ERROR;
	e.status = static_cast<unsigned short>(status);
	Record(lib, std::move(e));
	return status;
}

extern "C" QXIIC_EXPORT unsigned short SendSub(int handle, int subLength, int subAddress, unsigned char *data,
					       int count, int flags)
{
	Library &lib = TheLibrary();
	std::unique_lock lock(lib.mutex);
	Handle *h = lib.handles.find(handle);
	TraceEntry e = TransferArrival(lib, Call::SendSub, handle, h, count, flags);
	e.subLength = subLength;
	e.subAddress = subAddress;
	// What the program handed over, even if the bus then refuses it.
	if (CheckBuffer(data, count) == QXIIC_OK)
		e.data.assign(data, data + count);

	unsigned short st = CheckTransfer(h, flags, subLength, subAddress, data, count);
	std::string bus = BusOf(h), detail = OpenFailureOf(h);
	if (st == QXIIC_OK) {
		int device = h->device;
		st = Carry(lock, *h, detail, [&](qxiic::Backend &b) {
			return b.sendSub(device, subLength, subAddress, data, count);
		});
	}
	e.status = st;
	RecordTransfer(lib, std::move(e), bus, detail);
	return st;
}

extern "C" QXIIC_EXPORT unsigned short ReceiveSub(int handle, int subLength, int subAddress,
						  unsigned char *data, int count, int flags)
{
	Library &lib = TheLibrary();
	std::unique_lock lock(lib.mutex);
	Handle *h = lib.handles.find(handle);
	TraceEntry e = TransferArrival(lib, Call::ReceiveSub, handle, h, count, flags);
	e.subLength = subLength;
	e.subAddress = subAddress;

	unsigned short st = CheckTransfer(h, flags, subLength, subAddress, data, count);
	std::string bus = BusOf(h), detail = OpenFailureOf(h);
	if (st == QXIIC_OK) {
		int device = h->device;
		st = ReadInto(data, count, e, [&](std::uint8_t *buf) {
			return Carry(lock, *h, detail, [&](qxiic::Backend &b) {
				return b.receiveSub(device, subLength, subAddress, buf, count);
			});
		});
	}
	e.status = st;
	RecordTransfer(lib, std::move(e), bus, detail);
	return st;
}

extern "C" QXIIC_EXPORT unsigned short Receive(int handle, unsigned char *data, int flags, int count)
{
	Library &lib = TheLibrary();
	std::unique_lock lock(lib.mutex);
	Handle *h = lib.handles.find(handle);
	TraceEntry e = TransferArrival(lib, Call::Receive, handle, h, count, flags);

	unsigned short st = CheckPlainTransfer(h, flags, data, count);
	std::string bus = BusOf(h), detail = OpenFailureOf(h);
	if (st == QXIIC_OK) {
		int device = h->device;
		st = ReadInto(data, count, e, [&](std::uint8_t *buf) {
			return Carry(lock, *h, detail,
				     [&](qxiic::Backend &b) { return b.receive(device, buf, count); });
		});
	}
	e.status = st;
	RecordTransfer(lib, std::move(e), bus, detail);
	return st;
}

// The trace records a close of an unknown handle as QXIIC_INIT_ERROR,
// like every other call on it; the function itself returns -1.
extern "C" QXIIC_EXPORT int IICClose(int handle)
{
	Library &lib = TheLibrary();
	std::lock_guard lock(lib.mutex);
	TraceEntry e = Arrival(lib, Call::Close, handle);
	Handle *h = lib.handles.find(handle);
	e.device = h ? h->device : 0;

	bool closed = lib.handles.close(handle);
	e.status = closed ? QXIIC_OK : QXIIC_INIT_ERROR;
	Record(lib, std::move(e));
	return closed ? 0 : -1;
}

extern "C" QXIIC_EXPORT int IICBusState(char *bus, int busSize, char *reason, int reasonSize)
{
	const qxiic::BusState &state = qxiic::ThreadBusState();
	CopyOut(state.title, bus, busSize);
	CopyOut(state.reason, reason, reasonSize);
	return state.status;
}

extern "C" QXIIC_EXPORT int IICBusError(void)
{
	return qxiic::ThreadBusState().osError;
}

extern "C" QXIIC_EXPORT int IICTakeNotice(char *text, int size)
{
	Library &lib = TheLibrary();
	std::lock_guard lock(lib.mutex);
	if (lib.notices.empty())
		return 0;
	CopyOut(lib.notices.front(), text, size);
	lib.notices.pop_front();
	return 1;
}

extern "C" QXIIC_EXPORT int IICScanBuses(char *text, int size)
{
	Library &lib = TheLibrary();
	std::lock_guard lock(lib.mutex);
	std::string listing = qxiic::ScanBuses();
	CopyOut(listing, text, size);
	return static_cast<int>(listing.size());
}

extern "C" QXIIC_EXPORT int IICSelectBus(const char *bus)
{
	Library &lib = TheLibrary();
	std::lock_guard lock(lib.mutex);
	if (bus)
		ChosenBus() = bus;
	else
		ChosenBus().reset();
	return 0;
}
