// Direct register access: one read or write of any sensor register, or of
// any byte of EEPROM pages 0 to 3, typed as hexadecimal text.
#include "VelmoraDlg.h"

#include "ControlGroups.h"
#include "IICTransfer.h"
#include "MessageBoxSink.h"
#include "resource.h"
#include "sleep.h"
#include "waitcursor.h"

#include <cctype>
#include <cstdlib>

using namespace kl310;
using namespace panel;

namespace {

constexpr int kHexByteDigits = 2;
// Gives the EEPROM its write cycle and the sensor time to take the value.
constexpr DWORD kWritePause = 100;

// Address stepping stays within one 256-byte block.
constexpr int kLastAddress = 0xFF;
constexpr int kLastRegister = kLastAddress - 1; // registers sit at even addresses

int EvenAddress(int address)
{
	return address & ~(REG_STEP - 1);
}

// Only the low 8 bits of a text count; an empty text is 0.
int ByteOf(const CString &text)
{
	return static_cast<int>(std::strtoul(text, nullptr, 16) & 0xFF);
}

} // namespace

// The panel starts on the shutter register of the sensor, reading.
void CVelmoraDlg::PresetDirectPanel()
{
	UpdateData(TRUE);
	m_strRegHigh.Format("%2.2x", REG_SHUTTER.high);
	m_strRegLow.Format("%2.2x", REG_SHUTTER.low);
	UpdateData(FALSE);
	SetCheck(IDC_READ, true);
	for (int id : kAddrStepButtons)
		EnableControl(id, TRUE);
	SetCheck(IDC_SENSOR, true);
	m_nDirectDevice = DEV_SENSOR_READ;
	m_bDirectSensor = 1;
	for (int id : kDirectHighEdits)
		EnableControl(id, TRUE);
}

void CVelmoraDlg::SelectDirectTarget(int writeDevice, bool sensor)
{
	m_bReadMode = static_cast<BOOL>(IsDlgButtonChecked(IDC_READ));
	m_nDirectDevice = static_cast<std::uint16_t>(m_bReadMode == 1 ? writeDevice | READ_FORM_BIT
								      : writeDevice);
	for (int id : kDirectHighEdits)
		EnableControl(id, sensor);
	m_bDirectSensor = sensor ? 1 : 0;
}

void CVelmoraDlg::OnBnClickedSensor()
{
	SelectDirectTarget(DEV_SENSOR_WRITE, true);
}

void CVelmoraDlg::OnBnClickedEeprom0()
{
	SelectDirectTarget(EepromWrite(0), false);
}

void CVelmoraDlg::OnBnClickedEeprom1()
{
	SelectDirectTarget(EepromWrite(1), false);
}

void CVelmoraDlg::OnBnClickedEeprom2()
{
	SelectDirectTarget(EepromWrite(2), false);
}

void CVelmoraDlg::OnBnClickedEeprom3()
{
	SelectDirectTarget(EepromWrite(3), false);
}

void CVelmoraDlg::OnBnClickedRead()
{
	m_bReadMode = static_cast<BOOL>(IsDlgButtonChecked(IDC_READ));
	if (m_bReadMode)
		m_nDirectDevice |= READ_FORM_BIT;
	else
		m_nDirectDevice &= 0xFF & ~READ_FORM_BIT; // the 8-bit write form
	for (int id : kAddrStepButtons)
		EnableControl(id, m_bReadMode);
}

// Two hex digits go into the member; a text of another length leaves it
// alone; a bad character empties edit and member at once.
void CVelmoraDlg::FilterHexByte(CEdit &edit, CString &member)
{
	edit.LimitText(kHexByteDigits);
	if (edit.LineLength(-1) != kHexByteDigits)
		return;
	char line[5] = {};
	edit.GetLine(0, line, sizeof(line) - 1);
	if (std::isxdigit(static_cast<unsigned char>(line[0])) &&
	    std::isxdigit(static_cast<unsigned char>(line[1]))) {
		member = CString(std::string(line, kHexByteDigits));
		return;
	}
	member.Empty();
	UpdateData(FALSE);
}

void CVelmoraDlg::OnEnChangeRegHigh()
{
	FilterHexByte(m_ctlRegHighEdit, m_strRegHigh);
}

void CVelmoraDlg::OnEnChangeRegLow()
{
	FilterHexByte(m_ctlRegLowEdit, m_strRegLow);
}

void CVelmoraDlg::OnEnChangeDataHigh()
{
	FilterHexByte(m_ctlDataHighEdit, m_strDataHigh);
}

void CVelmoraDlg::OnEnChangeDataLow()
{
	FilterHexByte(m_ctlDataLowEdit, m_strDataLow);
}

void CVelmoraDlg::OnBnClickedSend()
{
	if (m_bDirectSensor)
		SendSensor();
	else
		SendEeprom();
}

// The check box itself decides between read and write, not m_bReadMode.
void CVelmoraDlg::SendSensor()
{
	if (m_strRegHigh.IsEmpty() || m_strRegLow.IsEmpty())
		return;
	int regHigh = ByteOf(m_strRegHigh);
	int regLow = ByteOf(m_strRegLow);
	CIICTransfer iic(CMessageBoxSink::Instance());

	if (IsDlgButtonChecked(IDC_READ)) {
		int value = iic.ReadReg16(m_nDirectDevice | READ_FORM_BIT, regHigh, regLow);
		m_strDataHigh.Format("%2.2x", (value >> 8) & 0xFF);
		m_strDataLow.Format("%2.2x", value & 0xFF);
		UpdateData(FALSE);
		return;
	}
	if (m_strDataHigh.IsEmpty() || m_strDataLow.IsEmpty())
		return;
	CWaitCursor wait;
	(void)iic.WriteReg16(m_nDirectDevice, regHigh, regLow, ByteOf(m_strDataHigh), ByteOf(m_strDataLow));
	Sleep(kWritePause);
}

// EEPROM mode: the data high edit is neither used nor changed.
void CVelmoraDlg::SendEeprom()
{
	if (m_strRegLow.IsEmpty())
		return;
	int sub = ByteOf(m_strRegLow);
	CIICTransfer iic(CMessageBoxSink::Instance());

	if (IsDlgButtonChecked(IDC_READ)) {
		int value = iic.ReadByte(m_nDirectDevice | READ_FORM_BIT, sub);
		m_strDataLow.Format("%2.2x", value & 0xFF);
		UpdateData(FALSE);
		return;
	}
	if (m_strDataLow.IsEmpty())
		return;
	CWaitCursor wait;
	(void)iic.WriteByte(m_nDirectDevice, sub, ByteOf(m_strDataLow));
	Sleep(kWritePause);
}

// Reading the sensor, the address moves by whole registers (even
// addresses); otherwise byte by byte. Only the low byte moves: no carry
// into the high byte, and nothing at all happens at the end of the block.
void CVelmoraDlg::OnBnClickedAddrPlus()
{
	int v = ByteOf(m_strRegLow);
	if (m_nDirectDevice == DEV_SENSOR_READ) {
		if (v >= kLastRegister)
			return;
		v = EvenAddress(v + REG_STEP);
	} else {
		if (v >= kLastAddress)
			return;
		v++;
	}
	StepRegLow(v);
}

void CVelmoraDlg::OnBnClickedAddrMinus()
{
	int v = ByteOf(m_strRegLow);
	if (m_nDirectDevice == DEV_SENSOR_READ) {
		if (v < REG_STEP)
			return;
		v = EvenAddress(v - REG_STEP);
	} else {
		if (v == 0)
			return;
		v--;
	}
	StepRegLow(v);
}

void CVelmoraDlg::StepRegLow(int value)
{
	m_strRegLow.Format("%2.2x", value);
	UpdateData(FALSE);
	if (IsDlgButtonChecked(IDC_READ))
		OnBnClickedSend();
}
