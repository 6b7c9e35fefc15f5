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

void CIICTransfer::ReportError(int status)
{
	char text[80];
	std::snprintf(text, sizeof(text), "%s", StatusText(status));
	m_sink.Report(text);
	m_bErrorShown = true;
}

bool CIICTransfer::TestAndClearError()
{
	bool shown = m_bErrorShown;
	m_bErrorShown = false;
	return shown;
}

// The adapter is closed before any message is shown.
void CIICTransfer::finish(unsigned short status)
{
	if (status != 0)
		ReportError(status);
}

unsigned short CIICTransfer::send(int device, int subLength, int subAddress, unsigned char *data, int count)
{
	m_hIIC = IICInit(device, kBusClock, kTimeout);
	SetAddress(m_hIIC, device);
	unsigned short status = SendSub(m_hIIC, subLength, subAddress, data, count, 0);
	IICClose(m_hIIC);
	return status;
}

unsigned short CIICTransfer::receive(int device, int subLength, int subAddress, unsigned char *data,
				     int count)
{
	m_hIIC = IICInit(device, kBusClock, kTimeout);
	unsigned short status = ReceiveSub(m_hIIC, subLength, subAddress, data, count, 0);
	IICClose(m_hIIC);
	return status;
}

void CIICTransfer::WriteReg16(int device, int regHigh, int regLow, int valueHigh, int valueLow)
{
	m_bErrorShown = false;
	unsigned char data[2] = { static_cast<unsigned char>(valueHigh),
				  static_cast<unsigned char>(valueLow) };
	finish(send(device, 2, regHigh * 256 + regLow, data, 2));
}

int CIICTransfer::ReadReg16(int device, int regHigh, int regLow)
{
	m_bErrorShown = false;
	unsigned char data[2] = { 0, 0 };
	unsigned short status = receive(device, 2, regHigh * 256 + regLow, data, 2);
	finish(status);
	// A failed read yields 0, never bytes of an earlier transfer.
	return status == 0 ? data[0] * 256 + data[1] : 0;
}

void CIICTransfer::WriteByte(int device, int subAddress, int value)
{
	m_bErrorShown = false;
	unsigned char data[1] = { static_cast<unsigned char>(value) };
	finish(send(device, 1, subAddress, data, 1));
}

void CIICTransfer::WriteBytePair(int device, int subAddress, int first, int second)
{
	m_bErrorShown = false;
	unsigned char data[2] = { static_cast<unsigned char>(first), static_cast<unsigned char>(second) };
	finish(send(device, 1, subAddress, data, 2));
}

void CIICTransfer::WriteBlock(int device, int subAddress, const std::uint16_t *values, int count)
{
	m_bErrorShown = false;
	if (count < 1 || count > kMaxBlock) {
		// Nothing goes on the bus rather than a block cut or overrun.
		ReportError(QXIIC_DATA_OVERFLOW);
		return;
	}
	unsigned char data[kMaxBlock];
	for (int i = 0; i < count; i++)
		data[i] = static_cast<unsigned char>(values[i] & 0xFF);
	finish(send(device, 1, subAddress, data, count));
}

int CIICTransfer::ReadByte(int device, int subAddress)
{
	m_bErrorShown = false;
	unsigned char data[1] = { 0 };
	unsigned short status = receive(device, 1, subAddress, data, 1);
	finish(status);
	return status == 0 ? data[0] : 0;
}

void CIICTransfer::ReadBlock(int device, int subAddress, unsigned char *buffer, int count)
{
	m_bErrorShown = false;
	if (count < 1 || count > kMaxBlock) {
		ReportError(QXIIC_DATA_OVERFLOW);
		return;
	}
	unsigned short status = receive(device, 1, subAddress, buffer, count);
	if (status != 0)
		std::memset(buffer, 0, static_cast<size_t>(count));
	finish(status);
}

void CIICTransfer::ReadRaw(int device, unsigned char *buffer, int count)
{
	m_bErrorShown = false;
	if (count < 0 || count > kMaxRaw) {
		ReportError(QXIIC_DATA_OVERFLOW);
		return;
	}
	m_hIIC = IICInit(device, kBusClock, kTimeout);
	unsigned short status = Receive(m_hIIC, buffer, 0, count);
	IICClose(m_hIIC);
	if (status != 0)
		std::memset(buffer, 0, static_cast<size_t>(count));
	finish(status);
}
