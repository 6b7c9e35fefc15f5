#include "RegBus.h"

#include "registers.h"

#include <cstdio>

using namespace kl310;

namespace reg_cli {

bool RegBus::check(const char *action, std::uint16_t reg)
{
	if (!m_iic.TestAndClearError())
		return true;
	char text[64];
	std::snprintf(text, sizeof(text), "%s register 0x%04x failed: ", action, reg);
	m_failure = text + m_sink.Text();
	return false;
}

bool RegBus::Read(std::uint16_t reg, std::uint16_t &value)
{
	value = static_cast<std::uint16_t>(m_iic.ReadReg16(DEV_SENSOR_READ, MakeReg(reg)));
	return check("reading", reg);
}

bool RegBus::Write(std::uint16_t reg, std::uint16_t value)
{
	m_iic.WriteReg16(DEV_SENSOR_WRITE, MakeReg(reg), value);
	return check("writing", reg);
}

} // namespace reg_cli
