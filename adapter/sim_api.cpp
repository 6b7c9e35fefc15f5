// The simulator's test interface: thin locked wrappers over the state.
#include "qxiic_sim.h"

#include "export.h"
#include "library.h"
#include "simulator.h"

#include <mutex>

namespace qxiic::sim {
namespace {

using Lock = std::lock_guard<std::mutex>;

Library &L()
{
	return TheLibrary();
}

Simulator &S()
{
	return TheSimulator();
}

} // namespace

// Handles go too: a test that failed with a handle open must not shift
// the handle numbers of the next one.
QXIIC_EXPORT void Reset()
{
	Lock lock(L().mutex);
	L().handles.closeAll();
	L().calls.clear();
	L().clock.reset();
	L().noticed.clear();
	L().notices.clear();
	// Factory content, not what an earlier run kept: tests start alike.
	for (SimCamera &camera : S().cameras)
		camera.reset();
	S().seen.fill({});
	S().selected = 0;
	S().faults.clear();
}

QXIIC_EXPORT void SelectCamera(int camera)
{
	Lock lock(L().mutex);
	if (camera >= 0 && camera < kSimCameras)
		S().selected = camera;
}

QXIIC_EXPORT void Forget()
{
	Lock lock(L().mutex);
	for (SimCamera &camera : S().cameras)
		camera.reset();
	S().seen.fill({});
}

QXIIC_EXPORT void SetRegister(std::uint16_t reg, std::uint16_t value)
{
	Lock lock(L().mutex);
	S().camera().sensor().setValue(reg, value);
}

QXIIC_EXPORT std::uint16_t Register(std::uint16_t reg)
{
	Lock lock(L().mutex);
	return S().camera().sensor().value(reg);
}

QXIIC_EXPORT int RegisterWrites(std::uint16_t reg)
{
	Lock lock(L().mutex);
	return S().camera().sensor().busWrites(reg);
}

QXIIC_EXPORT void SetCommandBusyReads(int reads)
{
	Lock lock(L().mutex);
	S().camera().sensor().setCommandBusyReads(reads);
}

QXIIC_EXPORT void SetEepromByte(int address, std::uint8_t value)
{
	Lock lock(L().mutex);
	S().camera().eeprom().setByte(address, value);
}

QXIIC_EXPORT std::uint8_t EepromByte(int address)
{
	Lock lock(L().mutex);
	return S().camera().eeprom().byte(address);
}

QXIIC_EXPORT int EepromAddressCounter()
{
	Lock lock(L().mutex);
	return S().camera().eeprom().counter();
}

QXIIC_EXPORT void SetPlugged(bool plugged)
{
	Lock lock(L().mutex);
	S().camera().setPlugged(plugged);
}

QXIIC_EXPORT void AddFault(const Fault &fault)
{
	Lock lock(L().mutex);
	S().faults.add(fault);
}

QXIIC_EXPORT void ClearFaults()
{
	Lock lock(L().mutex);
	S().faults.clear();
}

QXIIC_EXPORT std::vector<TraceEntry> Trace()
{
	Lock lock(L().mutex);
	return L().calls;
}

QXIIC_EXPORT void ClearTrace()
{
	Lock lock(L().mutex);
	L().calls.clear();
}

QXIIC_EXPORT void UseManualClock(bool manual)
{
	Lock lock(L().mutex);
	L().clock.useManual(manual);
}

QXIIC_EXPORT void AdvanceClock(std::int64_t microseconds)
{
	Lock lock(L().mutex);
	L().clock.advance(microseconds);
}

QXIIC_EXPORT std::int64_t Now()
{
	Lock lock(L().mutex);
	return L().clock.now();
}

} // namespace qxiic::sim
