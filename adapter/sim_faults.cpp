#include "sim_faults.h"

#include "qxiic.h"

namespace qxiic {
namespace {

bool Matches(const sim::Fault &rule, sim::Call call, int device, std::optional<int> subAddress)
{
	if (rule.call && *rule.call != call)
		return false;
	if (rule.device && *rule.device != device)
		return false;
	if (rule.subAddress && rule.subAddress != subAddress)
		return false;
	return true;
}

} // namespace

void SimFaults::add(const sim::Fault &fault)
{
	rules_.push_back(fault);
}

void SimFaults::clear()
{
	rules_.clear();
}

unsigned short SimFaults::check(sim::Call call, int device, std::optional<int> subAddress)
{
	for (sim::Fault &rule : rules_) {
		if (rule.times == 0 || !Matches(rule, call, device, subAddress))
			continue;
		if (rule.skip > 0) {
			rule.skip--;
			continue;
		}
		if (rule.times > 0)
			rule.times--;
		return rule.status;
	}
	return QXIIC_OK;
}

} // namespace qxiic
