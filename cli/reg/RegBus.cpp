#include "RegBus.h"

#include "BusIdentity.h"
#include "registers.h"

#include <cstdio>

using namespace kl310;

namespace reg_cli {

bool RegBus::check(bool ok, const char *action, std::uint16_t reg)
{
	if (ok)
		return true;
	char text[64];
	std::snprintf(text, sizeof(text), "%s register 0x%04x failed: ", action, reg);
	m_failure = text + m_sink.Text() + iicbus::WhyNotOpened(iicbus::LastBus());
	return false;
}

bool RegBus::Read(std::uint16_t reg, std::uint16_t &value)
{
	std::int32_t read = 0;
	bool ok = m_iic.ReadReg16(DEV_SENSOR_READ, MakeReg(reg), read);
	value = static_cast<std::uint16_t>(read);
	return check(ok, "reading", reg);
}

bool RegBus::Write(std::uint16_t reg, std::uint16_t value)
{
	return check(m_iic.WriteReg16(DEV_SENSOR_WRITE, MakeReg(reg), value), "writing", reg);
}

} // namespace reg_cli
