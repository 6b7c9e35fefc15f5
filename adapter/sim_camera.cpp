#include "sim_camera.h"

#include "qxiic.h"

namespace qxiic {
namespace {

bool IsSensor(int device)
{
	return device == 0xBA || device == 0xBB;
}

// EEPROM page for a bus address, or -1 when the address is not the EEPROM.
int EepromPage(int device)
{
	if (device < 0xA0 || device > 0xAF)
		return -1;
	return (device - 0xA0) / 2;
}

} // namespace

void SimCamera::reset()
{
	sensor_.reset();
	eeprom_.reset();
	plugged_ = true;
}

void SimCamera::setPlugged(bool plugged)
{
	plugged_ = plugged;
}

// Nobody acknowledges an address that is unplugged or unknown.
unsigned short SimCamera::sendSub(int device, int subLength, int subAddress, const std::uint8_t *data,
				  int count, std::int64_t nowUs)
{
	if (!plugged_)
		return QXIIC_NACK;
	if (IsSensor(device))
		return sensor_.write(subLength, subAddress, data, count);
	if (int page = EepromPage(device); page >= 0)
		return eeprom_.write(page, subLength, subAddress, data, count, nowUs);
	return QXIIC_NACK;
}

unsigned short SimCamera::receiveSub(int device, int subLength, int subAddress, std::uint8_t *data, int count,
				     std::int64_t nowUs)
{
	if (!plugged_)
		return QXIIC_NACK;
	if (IsSensor(device))
		return sensor_.read(subLength, subAddress, data, count);
	if (int page = EepromPage(device); page >= 0)
		return eeprom_.read(page, subLength, subAddress, data, count, nowUs);
	return QXIIC_NACK;
}

// A plain read carries no page: the EEPROM answers from its counter.
unsigned short SimCamera::receive(int device, std::uint8_t *data, int count, std::int64_t nowUs)
{
	if (!plugged_)
		return QXIIC_NACK;
	if (IsSensor(device))
		return sensor_.readCurrent(data, count);
	if (EepromPage(device) >= 0)
		return eeprom_.readCurrent(data, count, nowUs);
	return QXIIC_NACK;
}

} // namespace qxiic
