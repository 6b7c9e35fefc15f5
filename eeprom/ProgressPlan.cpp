#include "ProgressPlan.h"

#include "EepromEngine.h"

#include <algorithm>

namespace eeprom {

ProgressPlan &ProgressPlan::Add(int transfers, std::int64_t pauseUs, std::int64_t leadUs)
{
	if (transfers > 0)
		m_parts.push_back({ transfers, kTransferUs + pauseUs, leadUs });
	return *this;
}

ProgressPlan &ProgressPlan::Writes(int transfers, const Pacing &pacing, std::int64_t leadUs)
{
	return Add(transfers, pacing.ExpectedPauseUs(), leadUs);
}

int ProgressPlan::Transfers() const
{
	int count = 0;
	for (const Part &part : m_parts)
		count += part.transfers;
	return count;
}

std::int64_t ProgressPlan::ExpectedUs(int done) const
{
	std::int64_t us = 0;
	for (const Part &part : m_parts) {
		if (done <= 0)
			break;
		const int here = std::min(done, part.transfers);
		us += part.leadUs + here * part.eachUs;
		done -= here;
	}
	return us;
}

int ProgressPlan::Position(int done, int range) const
{
	const std::int64_t total = ExpectedUs(Transfers());
	if (total <= 0)
		return 0;
	return static_cast<int>(std::min(ExpectedUs(done), total) * range / total);
}

} // namespace eeprom
