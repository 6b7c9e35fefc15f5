// The adapter's C entry points: argument checks, handles, trace.
//
// Checks run in this order and the first failure is returned: handle
// open (QXIIC_INIT_ERROR), flags zero (QXIIC_UNKNOWN_COMMAND),
// sub-address (QXIIC_ILLEGAL_BIT), count and buffer (QXIIC_DATA_OVERFLOW).
// Only a call that passes them all reaches the back end.
#include "qxiic.h"

#include "backend.h"
#include "export.h"
#include "handle_table.h"
#include "simulator.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

using qxiic::Handle;
using qxiic::TheSimulator;
using qxiic::sim::Call;
using qxiic::sim::TraceEntry;

constexpr int kMaxCount = 255;

TraceEntry Arrival(Call call, int handle)
{
	TraceEntry e;
	e.call = call;
	e.handle = handle;
	e.timeUs = TheSimulator().clock.now();
	return e;
}

// The trace serves tests and tools; in a long session it keeps only the
// most recent calls so that it cannot grow without bound.
constexpr std::size_t kTraceLimit = 100000;

void Record(TraceEntry &&e)
{
	std::vector<TraceEntry> &trace = TheSimulator().trace;
	if (trace.size() >= kTraceLimit)
		trace.erase(trace.begin(), trace.begin() + kTraceLimit / 2);
	trace.push_back(std::move(e));
}

unsigned short CheckHandle(const Handle *h, int flags)
{
	if (h == nullptr)
		return QXIIC_INIT_ERROR;
	if (flags != 0)
		return QXIIC_UNKNOWN_COMMAND;
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

unsigned short CheckTransfer(const Handle *h, int flags, int subLength, int subAddress,
			     const unsigned char *data, int count)
{
	if (unsigned short st = CheckHandle(h, flags))
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

TraceEntry TransferArrival(Call call, int handle, const Handle *h, int count, int flags)
{
	TraceEntry e = Arrival(call, handle);
	e.device = h ? h->device : 0;
	e.count = count;
	e.flags = flags;
	return e;
}

} // namespace

extern "C" QXIIC_EXPORT int IICInit(int device, int param1, int param2)
{
	std::lock_guard lock(TheSimulator().mutex);
	TraceEntry e = Arrival(Call::Init, 0);
	e.device = device;
	e.param1 = param1;
	e.param2 = param2;

	// Read per call, so a test can switch back ends between transfers.
	int handle = qxiic::OpenHandle(device, qxiic::OpenBackend(std::getenv("QXIIC_BUS")));
	e.handle = handle;
	e.status = handle > 0 ? QXIIC_OK : QXIIC_MAX_DEVICES;
	Record(std::move(e));
	return handle;
}

extern "C" QXIIC_EXPORT int SetAddress(int handle, int device)
{
	std::lock_guard lock(TheSimulator().mutex);
	TraceEntry e = Arrival(Call::SetAddress, handle);
	e.device = device;

	Handle *h = qxiic::FindHandle(handle);
	if (h != nullptr)
		h->device = device;
	int status = h ? QXIIC_OK : QXIIC_INIT_ERROR;
	e.status = static_cast<unsigned short>(status);
	Record(std::move(e));
	return status;
}

extern "C" QXIIC_EXPORT unsigned short SendSub(int handle, int subLength, int subAddress,
					       unsigned char *data, int count, int flags)
{
	std::lock_guard lock(TheSimulator().mutex);
	Handle *h = qxiic::FindHandle(handle);
	TraceEntry e = TransferArrival(Call::SendSub, handle, h, count, flags);
	e.subLength = subLength;
	e.subAddress = subAddress;
	// What the program handed over, even if the bus then refuses it.
	if (CheckBuffer(data, count) == QXIIC_OK)
		e.data.assign(data, data + count);

	unsigned short st = CheckTransfer(h, flags, subLength, subAddress, data, count);
	if (st == QXIIC_OK)
		st = h->backend->sendSub(h->device, subLength, subAddress, data, count);
	e.status = st;
	Record(std::move(e));
	return st;
}

extern "C" QXIIC_EXPORT unsigned short ReceiveSub(int handle, int subLength, int subAddress,
						  unsigned char *data, int count, int flags)
{
	std::lock_guard lock(TheSimulator().mutex);
	Handle *h = qxiic::FindHandle(handle);
	TraceEntry e = TransferArrival(Call::ReceiveSub, handle, h, count, flags);
	e.subLength = subLength;
	e.subAddress = subAddress;

	unsigned short st = CheckTransfer(h, flags, subLength, subAddress, data, count);
	if (st == QXIIC_OK)
		st = ReadInto(data, count, e, [&](std::uint8_t *buf) {
			return h->backend->receiveSub(h->device, subLength, subAddress, buf, count);
		});
	e.status = st;
	Record(std::move(e));
	return st;
}

extern "C" QXIIC_EXPORT unsigned short Receive(int handle, unsigned char *data, int flags, int count)
{
	std::lock_guard lock(TheSimulator().mutex);
	Handle *h = qxiic::FindHandle(handle);
	TraceEntry e = TransferArrival(Call::Receive, handle, h, count, flags);

	unsigned short st = CheckHandle(h, flags);
	if (st == QXIIC_OK)
		st = CheckBuffer(data, count);
	if (st == QXIIC_OK)
		st = ReadInto(data, count, e, [&](std::uint8_t *buf) {
			return h->backend->receive(h->device, buf, count);
		});
	e.status = st;
	Record(std::move(e));
	return st;
}

// The trace records a close of an unknown handle as QXIIC_INIT_ERROR,
// like every other call on it; the function itself returns -1.
extern "C" QXIIC_EXPORT int IICClose(int handle)
{
	std::lock_guard lock(TheSimulator().mutex);
	TraceEntry e = Arrival(Call::Close, handle);
	Handle *h = qxiic::FindHandle(handle);
	e.device = h ? h->device : 0;

	bool closed = qxiic::CloseHandle(handle);
	e.status = closed ? QXIIC_OK : QXIIC_INIT_ERROR;
	Record(std::move(e));
	return closed ? 0 : -1;
}
