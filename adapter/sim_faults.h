// Injected transfer failures. Rules are consulted in the order added: a
// matching rule still counting down its `skip` lets the call on to the
// next rule; the first matching rule with failures left fails the call,
// and later rules do not see it.
#pragma once

#include "qxiic_sim.h"

#include <optional>
#include <vector>

namespace qxiic {

class SimFaults
{
public:
	void add(const sim::Fault &fault);
	void clear();

	// Status to fail the call with, or QXIIC_OK to let it through.
	// subAddress is empty for Receive, which has none; a rule that names
	// a sub-address never matches it.
	unsigned short check(sim::Call call, int device, std::optional<int> subAddress);

private:
	std::vector<sim::Fault> rules_; // skip and times count down in place
};

} // namespace qxiic
