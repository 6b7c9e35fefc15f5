#include "library.h"
#include "simulator.h"

namespace qxiic {

// Built on first use, so a C call made during another library's static
// initialisation still finds them ready.
Library &TheLibrary()
{
	static Library library;
	return library;
}

Simulator &TheSimulator()
{
	static Simulator simulator;
	return simulator;
}

void Notice(Library &lib, const std::string &text)
{
	if (lib.noticed.insert(text).second)
		lib.notices.push_back(text);
}

BusState &ThreadBusState()
{
	thread_local BusState state;
	return state;
}

} // namespace qxiic
