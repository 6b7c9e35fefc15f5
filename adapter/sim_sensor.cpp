#include "sim_sensor.h"

#include "qxiic.h"
#include "registers.h"

#include <array>

namespace qxiic {
namespace {

constexpr std::uint16_t kCommand = 0x0040;
constexpr std::uint16_t kCommandBusy = 0x8000;
constexpr int kCommandBusyReads = 3;

constexpr std::uint16_t kWbTrigger = 0xAC00;
constexpr std::uint16_t kWbMode = 0xAC04;
constexpr std::uint16_t kWbRedGain = 0xAC48;
constexpr std::uint16_t kWbBlueGain = 0xAC4A;

struct StartValue {
	std::uint16_t reg;
	std::uint16_t value;
};

// Power-on values of the registers the camera itself sets and the
// control panel only reads. Those a tool or the panel writes power up as
// the register map has them (SENSOR_POWER_UP: its sharpness 5 shares
// 0x326C with other set bits so that sloppy masking shows, its trims are
// those the factory EEPROM holds); the white-balance snapshot gets its own
// below.
constexpr StartValue kStartValues[] = {
	{ 0x4000, 0x0006 }, { 0xA838, 0x0412 }, { 0xA83A, 0x00C8 }, { 0xC86C, 0x0101 },
	{ 0x3056, 0x1030 }, { 0x3058, 0x1036 }, { 0x305A, 0x102C }, { 0x305C, 0x1030 },
};

// Registers the white-balance measurement refreshes, gains excluded.
constexpr std::array<std::uint16_t, 22> kWbSnapshot = {
	0xAC0A, 0xAC0C, 0xAC0E, 0xAC10, 0xAC12, 0xAC14, 0xAC16, 0xAC18, 0xAC1A, 0xAC1C, 0xAC1E,
	0xAC32, 0xAC36, 0xAC38, 0xAC3A, 0xAC3C, 0xAC3E, 0xAC40, 0xAC42, 0xAC44, 0xAC46, 0xAC4C,
};

// Deterministic but different for every measurement, so that a program
// showing stale values is caught.
std::uint16_t SnapshotValue(int measurement, int index)
{
	return static_cast<std::uint16_t>(0x0200 + (measurement * 0x95 + index * 0x3B) % 0x0C00);
}

// Measured gains stay within 0x20..0xA0, as the camera's own balance does.
std::uint16_t GainValue(int measurement, int channel)
{
	return static_cast<std::uint16_t>(0x20 + (measurement * 13 + channel * 41) % 0x81);
}

std::uint16_t BigEndian(const std::uint8_t *bytes)
{
	return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

void PutBigEndian(std::uint16_t value, std::uint8_t *bytes)
{
	bytes[0] = static_cast<std::uint8_t>(value >> 8);
	bytes[1] = static_cast<std::uint8_t>(value & 0xFF);
}

} // namespace

SimSensor::SimSensor()
{
	reset();
}

void SimSensor::reset()
{
	regs_.clear();
	writes_.clear();
	for (const StartValue &s : kStartValues)
		regs_[s.reg] = s.value;
	measureWhiteBalance(0);
	for (const kl310::RegValue &r : kl310::SENSOR_POWER_UP)
		regs_[r.reg.number()] = r.value;
	next_ = 0;
	commandBusyReads_ = 0;
	commandDuration_ = kCommandBusyReads;
	measurements_ = 0;
}

void SimSensor::measureWhiteBalance(int measurement)
{
	for (std::size_t i = 0; i < kWbSnapshot.size(); i++)
		regs_[kWbSnapshot[i]] = SnapshotValue(measurement, static_cast<int>(i));
	regs_[kWbRedGain] = GainValue(measurement, 0);
	regs_[kWbBlueGain] = GainValue(measurement, 1);
}

// A bus write, with the side effects the firmware attaches to it.
void SimSensor::store(std::uint16_t reg, std::uint16_t word)
{
	writes_[reg]++;
	regs_[reg] = word;

	if (reg == kCommand) {
		bool isCommand = word == 0x8304 || word == 0x8305;
		commandBusyReads_ = isCommand ? commandDuration_ : 0;
		if (isCommand && commandDuration_ == 0)
			regs_[reg] = static_cast<std::uint16_t>(word & ~kCommandBusy);
		else if (isCommand)
			regs_[reg] = word | kCommandBusy;
	}
	if (reg == kWbTrigger && word == 0x0001 && value(kWbMode) == 0x0000)
		measureWhiteBalance(++measurements_);
}

// A bus read: the command register reports busy for a few polls, then
// the firmware clears bit 15 to say the command is done.
std::uint16_t SimSensor::fetch(std::uint16_t reg)
{
	std::uint16_t v = value(reg);
	if (reg == kCommand && commandBusyReads_ > 0 && --commandBusyReads_ == 0)
		regs_[reg] = static_cast<std::uint16_t>(v & ~kCommandBusy);
	return v;
}

unsigned short SimSensor::write(int subLength, int reg, const std::uint8_t *data, int count)
{
	if (subLength != 2 || count % 2 != 0)
		return QXIIC_BAD_ACK;
	next_ = static_cast<std::uint16_t>(reg);
	for (int i = 0; i < count; i += 2) {
		store(next_, BigEndian(data + i));
		next_ = static_cast<std::uint16_t>(next_ + 2);
	}
	return QXIIC_OK;
}

unsigned short SimSensor::read(int subLength, int reg, std::uint8_t *data, int count)
{
	if (subLength != 2 || count % 2 != 0)
		return QXIIC_BAD_ACK;
	next_ = static_cast<std::uint16_t>(reg);
	return readCurrent(data, count);
}

unsigned short SimSensor::readCurrent(std::uint8_t *data, int count)
{
	if (count % 2 != 0)
		return QXIIC_BAD_ACK;
	for (int i = 0; i < count; i += 2) {
		PutBigEndian(fetch(next_), data + i);
		next_ = static_cast<std::uint16_t>(next_ + 2);
	}
	return QXIIC_OK;
}

std::uint16_t SimSensor::value(std::uint16_t reg) const
{
	auto it = regs_.find(reg);
	return it == regs_.end() ? 0 : it->second;
}

void SimSensor::setCommandBusyReads(int reads)
{
	commandDuration_ = reads;
}

void SimSensor::setValue(std::uint16_t reg, std::uint16_t value)
{
	regs_[reg] = value;
}

int SimSensor::busWrites(std::uint16_t reg) const
{
	auto it = writes_.find(reg);
	return it == writes_.end() ? 0 : it->second;
}

} // namespace qxiic
