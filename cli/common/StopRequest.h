// Ctrl+C (SIGINT) and SIGTERM as a request, not a death: the operation
// finishes the block on the wire, stops, and says what the EEPROM holds.
// Dying mid-write would leave a half-programmed camera without a word.
#pragma once

#include <csignal>

namespace tool {

bool StopRequested();
// What the handler does; also the way to pass a stop on to a loop.
void RequestStop();
void ClearStopRequest();

// Installs the handlers for its lifetime, then restores the previous ones
// and forgets the request.
// No SA_RESTART: a pause or a wait for a child ends early, so the loop
// around it sees the request at once.
class StopSignals
{
public:
	StopSignals();
	~StopSignals();
	StopSignals(const StopSignals &) = delete;
	StopSignals &operator=(const StopSignals &) = delete;

private:
	struct sigaction m_oldInt {
	};
	struct sigaction m_oldTerm {
	};
};

} // namespace tool
