// The KL310 as the bus sees it: the sensor at 0xBA and the EEPROM at
// 0xA0..0xAE. Bit 0 of the address is ignored because the direction
// comes from the call, and the control panel does read with the write
// form of the address.
#pragma once

#include "sim_eeprom.h"
#include "sim_sensor.h"

#include <cstdint>

namespace qxiic {

class SimCamera
{
public:
	void reset();
	void setPlugged(bool plugged);

	unsigned short sendSub(int device, int subLength, int subAddress, const std::uint8_t *data, int count,
			       std::int64_t nowUs);
	unsigned short receiveSub(int device, int subLength, int subAddress, std::uint8_t *data, int count,
				  std::int64_t nowUs);
	unsigned short receive(int device, std::uint8_t *data, int count, std::int64_t nowUs);

	SimSensor &sensor() { return sensor_; }
	SimEeprom &eeprom() { return eeprom_; }

private:
	SimSensor sensor_;
	SimEeprom eeprom_;
	bool plugged_ = true;
};

} // namespace qxiic
