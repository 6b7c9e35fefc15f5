// The camera sensor's registers as velmora-reg reaches them: one transfer
// per register through the panel's transfer class, with the adapter's
// message kept for the tool's one line instead of printed.
#pragma once

#include "IICTransfer.h"

#include <cstdint>
#include <string>

namespace reg_cli {

class RegBus
{
public:
	RegBus() = default;
	RegBus(const RegBus &) = delete;
	RegBus &operator=(const RegBus &) = delete;

	// Both return false on failure; Failure() then says which register
	// and why.
	bool Read(std::uint16_t reg, std::uint16_t &value);
	bool Write(std::uint16_t reg, std::uint16_t value);

	const std::string &Failure() const { return m_failure; }

private:
	bool check(bool ok, const char *action, std::uint16_t reg);

	HeldErrorSink m_sink;
	CIICTransfer m_iic{ m_sink };
	std::string m_failure;
};

} // namespace reg_cli
