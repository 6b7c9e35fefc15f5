#include "sim_power_up.h"

#include "registers.h"

namespace qxiic {

namespace {

constexpr std::uint16_t kErasedRegister = 0xFFFF;
constexpr int kRecordSize = 4;

} // namespace

void PowerUp(SimCamera &camera)
{
	using namespace kl310;
	SimSensor &sensor = camera.sensor();
	const SimEeprom &eeprom = camera.eeprom();
	sensor.reset();
	const int trim = PAGE_TRIM * EEPROM_PAGE_SIZE;
	if (std::uint8_t horizontal = eeprom.byte(trim + OFFSET_TRIM_HORIZONTAL); horizontal != NO_TRIM) {
		sensor.setValue(REG_TRIM_HORIZONTAL.number(), horizontal);
		sensor.setValue(REG_TRIM_VERTICAL.number(), eeprom.byte(trim + OFFSET_TRIM_VERTICAL));
	}
	const int script = PAGE_SCRIPT * EEPROM_PAGE_SIZE;
	for (int at = script; at + kRecordSize <= script + EEPROM_PAGE_SIZE; at += kRecordSize) {
		const auto reg = static_cast<std::uint16_t>(eeprom.byte(at) << 8 | eeprom.byte(at + 1));
		if (reg == kErasedRegister)
			break;
		sensor.setValue(reg,
				static_cast<std::uint16_t>(eeprom.byte(at + 2) << 8 | eeprom.byte(at + 3)));
	}
}

} // namespace qxiic
