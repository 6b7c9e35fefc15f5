#include "library.h"
#include "simulator.h"

#include <cstdio>

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
	if (!lib.noticed.insert(text).second)
		return;
	std::fprintf(stderr, "qxiic: %s\n", text.c_str());
}

} // namespace qxiic
