// One EEPROM operation of a front end, set up in one place: the
// transfers (failures to the front end's sink), the pause after each
// write, and the engine over both, whose progress the front end follows.
#pragma once

#include "EepromEngine.h"
#include "IICTransfer.h"

#include <functional>

namespace operations {

class Session
{
public:
	// sleep pauses the calling thread pauseMs after each write.
	Session(IICErrorSink &sink, std::function<void(int ms)> sleep, int pauseMs,
		std::function<void()> progress = {})
		: m_iic(sink), m_pause(std::move(sleep), pauseMs), m_engine(m_iic, m_pause)
	{
		if (progress)
			m_engine.OnProgress(std::move(progress));
	}
	Session(const Session &) = delete;
	Session &operator=(const Session &) = delete;

	eeprom::Engine &Engine() { return m_engine; }
	CIICTransfer &Transfers() { return m_iic; }
	const eeprom::FixedPause &Pause() const { return m_pause; }

private:
	CIICTransfer m_iic;
	eeprom::FixedPause m_pause;
	eeprom::Engine m_engine;
};

} // namespace operations
