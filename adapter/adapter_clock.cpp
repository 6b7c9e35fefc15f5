#include "adapter_clock.h"

#include <chrono>

namespace qxiic {

Clock::Clock()
{
	reset();
}

std::int64_t Clock::steadyUs()
{
	using namespace std::chrono;
	return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void Clock::reset()
{
	manual_ = false;
	frozenUs_ = 0;
	offsetUs_ = -steadyUs();
}

// Switching keeps now() continuous so that deadlines already taken stay valid.
void Clock::useManual(bool manual)
{
	if (manual == manual_)
		return;
	if (manual)
		frozenUs_ = now();
	else
		offsetUs_ = frozenUs_ - steadyUs();
	manual_ = manual;
}

void Clock::advance(std::int64_t microseconds)
{
	if (microseconds <= 0)
		return;
	if (manual_)
		frozenUs_ += microseconds;
	else
		offsetUs_ += microseconds;
}

std::int64_t Clock::now() const
{
	return manual_ ? frozenUs_ : steadyUs() + offsetUs_;
}

} // namespace qxiic
