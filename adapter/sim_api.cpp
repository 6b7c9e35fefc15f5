// The simulator's test interface: thin locked wrappers over the state.
#include "qxiic_sim.h"

#include "export.h"
#include "handle_table.h"
#include "simulator.h"

#include <mutex>

namespace qxiic::sim {
namespace {

using Lock = std::lock_guard<std::mutex>;

Simulator &S()
{
	return TheSimulator();
}

} // namespace

// Handles go too: a test that failed with a handle open must not shift
// the handle numbers of the next one.
QXIIC_EXPORT void Reset()
{
	Lock lock(S().mutex);
	CloseAllHandles();
	S().camera.reset();
	S().faults.clear();
	S().trace.clear();
	S().clock.reset();
}

QXIIC_EXPORT void SetRegister(std::uint16_t reg, std::uint16_t value)
{
	Lock lock(S().mutex);
	S().camera.sensor().setValue(reg, value);
}

QXIIC_EXPORT std::uint16_t Register(std::uint16_t reg)
{
	Lock lock(S().mutex);
	return S().camera.sensor().value(reg);
}

QXIIC_EXPORT int RegisterWrites(std::uint16_t reg)
{
	Lock lock(S().mutex);
	return S().camera.sensor().busWrites(reg);
}

QXIIC_EXPORT void SetCommandBusyReads(int reads)
{
	Lock lock(S().mutex);
	S().camera.sensor().setCommandBusyReads(reads);
}

QXIIC_EXPORT void SetEepromByte(int address, std::uint8_t value)
{
	Lock lock(S().mutex);
	S().camera.eeprom().setByte(address, value);
}

QXIIC_EXPORT std::uint8_t EepromByte(int address)
{
	Lock lock(S().mutex);
	return S().camera.eeprom().byte(address);
}

QXIIC_EXPORT int EepromAddressCounter()
{
	Lock lock(S().mutex);
	return S().camera.eeprom().counter();
}

QXIIC_EXPORT void SetPlugged(bool plugged)
{
	Lock lock(S().mutex);
	S().camera.setPlugged(plugged);
}

QXIIC_EXPORT void AddFault(const Fault &fault)
{
	Lock lock(S().mutex);
	S().faults.add(fault);
}

QXIIC_EXPORT void ClearFaults()
{
	Lock lock(S().mutex);
	S().faults.clear();
}

QXIIC_EXPORT std::vector<TraceEntry> Trace()
{
	Lock lock(S().mutex);
	return S().trace;
}

QXIIC_EXPORT void ClearTrace()
{
	Lock lock(S().mutex);
	S().trace.clear();
}

QXIIC_EXPORT void UseManualClock(bool manual)
{
	Lock lock(S().mutex);
	S().clock.useManual(manual);
}

QXIIC_EXPORT void AdvanceClock(std::int64_t microseconds)
{
	Lock lock(S().mutex);
	S().clock.advance(microseconds);
}

QXIIC_EXPORT std::int64_t Now()
{
	Lock lock(S().mutex);
	return S().clock.now();
}

} // namespace qxiic::sim
