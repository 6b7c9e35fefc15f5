#include "StopRequest.h"

namespace tool {

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnStopSignal(int)
{
	g_stop = 1;
}

} // namespace

bool StopRequested()
{
	return g_stop != 0;
}

void RequestStop()
{
	g_stop = 1;
}

void ClearStopRequest()
{
	g_stop = 0;
}

StopSignals::StopSignals()
{
	struct sigaction action {
	};
	action.sa_handler = OnStopSignal;
	sigemptyset(&action.sa_mask);
	sigaction(SIGINT, &action, &m_oldInt);
	sigaction(SIGTERM, &action, &m_oldTerm);
}

// A request stops the run it arrived in, not the next one.
StopSignals::~StopSignals()
{
	sigaction(SIGINT, &m_oldInt, nullptr);
	sigaction(SIGTERM, &m_oldTerm, nullptr);
	ClearStopRequest();
}

} // namespace tool
