#include "simulator.h"

namespace qxiic {

// Built on first use, so a C call made during another library's static
// initialisation still finds it ready.
Simulator &TheSimulator()
{
	static Simulator simulator;
	return simulator;
}

} // namespace qxiic
