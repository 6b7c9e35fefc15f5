// The adapter's time base, which stamps every call. Real time by default;
// tests freeze it and step it by hand so that timing behaviour (the
// EEPROM's write cycle) never needs a real sleep.
#pragma once

#include <cstdint>

namespace qxiic {

class Clock
{
public:
	Clock();

	// Real time again, counting from zero.
	void reset();
	void useManual(bool manual);
	// Negative steps are ignored: the clock never runs backwards.
	void advance(std::int64_t microseconds);
	std::int64_t now() const; // microseconds

private:
	static std::int64_t steadyUs();

	bool manual_ = false;
	std::int64_t frozenUs_ = 0; // now() while manual
	std::int64_t offsetUs_ = 0; // now() = steadyUs() + offset while real
};

} // namespace qxiic
