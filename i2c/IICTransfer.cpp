#include "IICTransfer.h"

#include "qxiic.h"

#include <cstdio>
#include <cstring>

const char *CIICTransfer::StatusText(int status)
{
	switch (static_cast<short>(status)) {
	case QXIIC_ILLEGAL_BIT:
		return "error ILLEGAL_BIT";
	case QXIIC_ARBITRATION:
		return "error arbitration problem";
	case QXIIC_TIMEOUT:
		return "TIMEOUT, no response";
	case QXIIC_BAD_ACK:
		return "not a correct acknowledge recieved";
	case QXIIC_BUS_BUSY:
		return "error bus is bussy or occupied";
	case QXIIC_INIT_ERROR:
		return "init error";
	case QXIIC_NO_STOP:
		return "no correct stop condition";
	case QXIIC_UNKNOWN_COMMAND:
		return "unknown command";
	case QXIIC_USB_COMMAND_ERROR:
		return "USB command error";
	case QXIIC_USB_WRITE_ERROR:
		return "USB_WRITE_ERROR";
	case QXIIC_USB_READ_ERROR:
		return "USB_READ_ERROR";
	case QXIIC_NACK:
		return "error: USB_I2C_NACK";
	case QXIIC_DEVICE_NOT_PRESENT:
		return "error: device not present";
	case QXIIC_WRONG_OS:
		return "WRONG_OPERATING_SYSTEM";
	case QXIIC_DEVICE_NOT_FOUND:
		return "error USB_DEVICE_NOT_FOUND";
	case QXIIC_MAX_DEVICES:
		return "MAX_DEVICES_EXCEEDED";
	case QXIIC_DATA_OVERFLOW:
		return "USB_DATA_OVERFLOW";
	default:
		return " General error";
	}
}

const char *CIICTransfer::StatusName(int status)
{
	if (status == 0)
		return "";
	switch (static_cast<short>(status)) {
	case QXIIC_GENERAL_ERROR:
		return "QXIIC_GENERAL_ERROR";
	case QXIIC_ILLEGAL_BIT:
		return "QXIIC_ILLEGAL_BIT";
	case QXIIC_ARBITRATION:
		return "QXIIC_ARBITRATION";
	case QXIIC_TIMEOUT:
		return "QXIIC_TIMEOUT";
	case QXIIC_BAD_ACK:
		return "QXIIC_BAD_ACK";
	case QXIIC_BUS_BUSY:
		return "QXIIC_BUS_BUSY";
	case QXIIC_INIT_ERROR:
		return "QXIIC_INIT_ERROR";
	case QXIIC_NO_STOP:
		return "QXIIC_NO_STOP";
	case QXIIC_UNKNOWN_COMMAND:
		return "QXIIC_UNKNOWN_COMMAND";
	case QXIIC_USB_COMMAND_ERROR:
		return "QXIIC_USB_COMMAND_ERROR";
	case QXIIC_USB_WRITE_ERROR:
		return "QXIIC_USB_WRITE_ERROR";
	case QXIIC_USB_READ_ERROR:
		return "QXIIC_USB_READ_ERROR";
	case QXIIC_NACK:
		return "QXIIC_NACK";
	case QXIIC_DEVICE_NOT_PRESENT:
		return "QXIIC_DEVICE_NOT_PRESENT";
	case QXIIC_WRONG_OS:
		return "QXIIC_WRONG_OS";
	case QXIIC_DEVICE_NOT_FOUND:
		return "QXIIC_DEVICE_NOT_FOUND";
	case QXIIC_MAX_DEVICES:
		return "QXIIC_MAX_DEVICES";
	case QXIIC_DATA_OVERFLOW:
		return "QXIIC_DATA_OVERFLOW";
	default:
		return "unknown";
	}
}

void CIICTransfer::ReportError(int status)
{
	char text[80];
	std::snprintf(text, sizeof(text), "%s", StatusText(status));
	m_status = status;
	m_failed = true;
	m_sink.Report(status, text);
	m_bErrorShown = true;
}

bool CIICTransfer::TestAndClearError()
{
	bool shown = m_bErrorShown;
	m_bErrorShown = false;
	return shown;
}

// The adapter's status for a device that did not acknowledge its address
// or a byte; an EEPROM storing a write answers so.
bool CIICTransfer::NotAcknowledged(int status)
{
	return static_cast<short>(status) == QXIIC_NACK;
}

bool CIICTransfer::finish(unsigned short status)
{
	m_status = status;
	if (status != 0)
		ReportError(status);
	return status == 0;
}

// The library hands out no handle when every one is taken; transferring
// on it would report a made-up cause instead of that one.
bool CIICTransfer::open(int device, unsigned short &status)
{
	m_hIIC = IICInit(device, kBusClock, kTimeout);
	if (m_hIIC > 0)
		return true;
	int cause = IICBusState(nullptr, 0, nullptr, 0);
	status = static_cast<unsigned short>(cause > 0 ? cause : QXIIC_INIT_ERROR);
	return false;
}

unsigned short CIICTransfer::send(int device, int subLength, int subAddress, unsigned char *data, int count)
{
	unsigned short status = QXIIC_OK;
	if (!open(device, status))
		return status;
	SetAddress(m_hIIC, device);
	status = SendSub(m_hIIC, subLength, subAddress, data, count, 0);
	IICClose(m_hIIC);
	return status;
}

unsigned short CIICTransfer::receive(int device, int subLength, int subAddress, unsigned char *data,
				     int count)
{
	unsigned short status = QXIIC_OK;
	if (!open(device, status))
		return status;
	status = ReceiveSub(m_hIIC, subLength, subAddress, data, count, 0);
	IICClose(m_hIIC);
	return status;
}

bool CIICTransfer::WriteReg16(int device, int regHigh, int regLow, int valueHigh, int valueLow)
{
	if (skipped())
		return false;
	m_bErrorShown = false;
	unsigned char data[2] = { static_cast<unsigned char>(valueHigh),
				  static_cast<unsigned char>(valueLow) };
	return finish(send(device, 2, regHigh * 256 + regLow, data, 2));
}

int CIICTransfer::ReadReg16(int device, int regHigh, int regLow)
{
	if (skipped())
		return 0;
	m_bErrorShown = false;
	unsigned char data[2] = { 0, 0 };
	unsigned short status = receive(device, 2, regHigh * 256 + regLow, data, 2);
	finish(status);
	// A failed read yields 0, never bytes of an earlier transfer.
	return status == 0 ? data[0] * 256 + data[1] : 0;
}

bool CIICTransfer::WriteByte(int device, int subAddress, int value)
{
	if (skipped())
		return false;
	m_bErrorShown = false;
	unsigned char data[1] = { static_cast<unsigned char>(value) };
	return finish(send(device, 1, subAddress, data, 1));
}

bool CIICTransfer::WriteBytePair(int device, int subAddress, int first, int second)
{
	if (skipped())
		return false;
	m_bErrorShown = false;
	unsigned char data[2] = { static_cast<unsigned char>(first), static_cast<unsigned char>(second) };
	return finish(send(device, 1, subAddress, data, 2));
}

bool CIICTransfer::WriteBlock(int device, int subAddress, const std::uint16_t *values, int count)
{
	if (skipped())
		return false;
	m_bErrorShown = false;
	if (count < 1 || count > kMaxBlock) {
		// Nothing goes on the bus rather than a block cut or overrun.
		ReportError(QXIIC_DATA_OVERFLOW);
		return false;
	}
	unsigned char data[kMaxBlock];
	for (int i = 0; i < count; i++)
		data[i] = static_cast<unsigned char>(values[i] & 0xFF);
	return finish(send(device, 1, subAddress, data, count));
}

int CIICTransfer::ReadByte(int device, int subAddress)
{
	if (skipped())
		return 0;
	m_bErrorShown = false;
	unsigned char data[1] = { 0 };
	unsigned short status = receive(device, 1, subAddress, data, 1);
	finish(status);
	return status == 0 ? data[0] : 0;
}

bool CIICTransfer::ReadBlock(int device, int subAddress, unsigned char *buffer, int count)
{
	if (skipped())
		return false;
	m_bErrorShown = false;
	if (count < 1 || count > kMaxBlock) {
		ReportError(QXIIC_DATA_OVERFLOW);
		return false;
	}
	unsigned short status = receive(device, 1, subAddress, buffer, count);
	if (status != 0)
		std::memset(buffer, 0, static_cast<size_t>(count));
	return finish(status);
}

bool CIICTransfer::ReadRaw(int device, unsigned char *buffer, int count)
{
	if (skipped())
		return false;
	m_bErrorShown = false;
	if (count < 0 || count > kMaxRaw) {
		ReportError(QXIIC_DATA_OVERFLOW);
		return false;
	}
	unsigned short status = QXIIC_OK;
	if (open(device, status)) {
		status = Receive(m_hIIC, buffer, 0, count);
		IICClose(m_hIIC);
	}
	if (status != 0)
		std::memset(buffer, 0, static_cast<size_t>(count));
	return finish(status);
}

bool CIICTransfer::ReadRegs16(int device, std::span<const kl310::Reg> regs, std::span<std::uint16_t> values)
{
	if (skipped())
		return false;
	m_bErrorShown = false;
	if (regs.size() != values.size() || regs.size() * 2 > kMaxRaw) {
		ReportError(QXIIC_DATA_OVERFLOW);
		return false;
	}
	unsigned short status = QXIIC_OK;
	if (!open(device, status))
		return finish(status);
	unsigned char data[kMaxRaw];
	for (std::size_t first = 0, end = 0; first < regs.size() && status == QXIIC_OK; first = end) {
		end = first + 1;
		while (end < regs.size() && regs[end].number() == regs[end - 1].number() + kl310::REG_STEP)
			end++;
		const int count = static_cast<int>(2 * (end - first));
		status = ReceiveSub(m_hIIC, 2, regs[first].number(), data, count, 0);
		for (std::size_t i = first; i < end && status == QXIIC_OK; i++)
			values[i] = static_cast<std::uint16_t>(data[2 * (i - first)] << 8 |
							       data[2 * (i - first) + 1]);
	}
	IICClose(m_hIIC);
	return finish(status);
}
