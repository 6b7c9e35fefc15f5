// White balance: automatic, push-to-white (measure once and hold) and
// manual red-green / blue-green gains.
#include "VelmoraDlg.h"

#include "ControlGroups.h"
#include "IICTransfer.h"
#include "MessageBoxSink.h"
#include "WbModeTexts.h"
#include "resource.h"
#include "sleep.h"

using namespace kl310;
using namespace panel;

namespace {

// The camera needs a moment after the measurement starts, and between reads.
constexpr DWORD kMeasurePause = 5;
constexpr DWORD kSnapshotReadPause = 1;

constexpr char kMeasureUndone[] = "The white balance measurement was not completed.";
constexpr char kManualUndone[] = "The manual white balance was not set up.";
constexpr char kGainUndone[] = "The white balance gain was not applied.";
} // namespace

void CVelmoraDlg::ShowWbMode(const char *text)
{
	UpdateData(TRUE);
	m_strWbMode = text;
	UpdateData(FALSE);
}

// Texts and thumbs of both gains, shown through the data exchange so that
// no change handler runs and nothing is written.
void CVelmoraDlg::ShowWbGains(const char *format)
{
	UpdateData(TRUE);
	m_strRedGreen.Format(format, m_nRedGreen & 0xFF);
	m_strBlueGreen.Format(format, m_nBlueGreen & 0xFF);
	SetSliderPosition(m_ctlRedGreenScroll, m_nRedGreen & 0xFF);
	SetSliderPosition(m_ctlBlueGreenScroll, m_nBlueGreen & 0xFF);
	UpdateData(FALSE);
}

void CVelmoraDlg::OnBnClickedAutoWb()
{
	m_bAutoWb = IsDlgButtonChecked(IDC_AUTO_WB);
	if (m_bAutoWb) {
		SetCheck(IDC_MANUAL_MODE, false);
		SetCheck(IDC_PUSH_TO_SET, false);
		CIICTransfer iic(CMessageBoxSink::Instance());
		(void)iic.WriteReg16(DEV_SENSOR_WRITE, REG_WB_MODE, WB_MODE_AUTO);
		for (int id : kWbModeControls)
			EnableControl(id, FALSE);
		for (int id : kGainControls)
			EnableControl(id, FALSE);
		ShowWbMode(kWbTextAuto);
		return;
	}

	// The camera keeps balancing automatically until Push2White is pressed.
	for (int id : kWbModeControls)
		EnableControl(id, TRUE);
	SetCheck(IDC_MANUAL_MODE, false);
	SetCheck(IDC_PUSH_TO_SET, true);
	m_bP2wSet = 0;
	ShowWbMode(kWbTextRunning);
}

void CVelmoraDlg::OnBnClickedPush2White()
{
	m_bP2wSet = m_bP2wSet ? 0 : 1;
	CIICTransfer iic(CMessageBoxSink::Instance());

	if (!m_bP2wSet) {
		(void)iic.WriteReg16(DEV_SENSOR_WRITE, REG_WB_MODE, WB_MODE_AUTO);
		m_anWbSnapshot[WB_ENTRY_CONTROL0] = WB_MODE_AUTO;
		ShowWbMode(kWbTextRunning);
		return;
	}

	if (!MeasureWhite())
		ShowUndone(kMeasureUndone);
}

// Holds the balance and takes the snapshot; false at the first failure.
bool CVelmoraDlg::MeasureWhite()
{
	CIICTransfer iic(CMessageBoxSink::Instance());
	if (!iic.WriteReg16(DEV_SENSOR_WRITE, REG_WB_MODE, WB_MODE_HELD) ||
	    !iic.WriteReg16(DEV_SENSOR_WRITE, REG_WB_CONTROL0, WB_MEASURE_START) ||
	    !iic.WriteReg16(DEV_SENSOR_WRITE, REG_WB_CONTROL1, WB_MEASURE_SETUP))
		return false;
	ShowWbMode(kWbTextHeld);
	Sleep(kMeasurePause);
	for (int i = 0; i < WB_SNAPSHOT_SIZE; i++) {
		Sleep(kSnapshotReadPause);
		if (!iic.ReadReg16(DEV_SENSOR_READ, WB_SNAPSHOT_REGS[i], m_anWbSnapshot[i]))
			return false;
	}
	Sleep(kSnapshotReadPause);
	return iic.ReadReg16(DEV_SENSOR_READ, REG_WB_SCRIPT_END, m_nRegAC4E);
}

void CVelmoraDlg::OnBnClickedManualMode()
{
	// Always a fresh measurement, as a Push2White press from cleared.
	m_bP2wSet = 1;
	if (!MeasureWhite())
		return ShowUndone(kManualUndone);

	CIICTransfer iic(CMessageBoxSink::Instance());
	if (!iic.ReadReg16(DEV_SENSOR_READ, REG_GAIN_3056, m_nGain3056) ||
	    !iic.ReadReg16(DEV_SENSOR_READ, REG_GAIN_305C, m_nGain305C) ||
	    !iic.ReadReg16(DEV_SENSOR_READ, REG_BLUE_GREEN, m_nBlueGreen) ||
	    !iic.ReadReg16(DEV_SENSOR_READ, REG_RED_GREEN, m_nRedGreen))
		return ShowUndone(kManualUndone);
	m_nBlueGreenSaved = m_nBlueGreen & 0xFF;
	m_nRedGreenSaved = m_nRedGreen & 0xFF;
	ShowWbGains();

	EnableControl(IDC_PUSH2WHITE, FALSE);
	for (int id : kGainControls)
		EnableControl(id, TRUE);
	ShowWbMode(kWbTextManual);
}

void CVelmoraDlg::OnBnClickedPushToSet()
{
	m_nRedGreen = m_nRedGreenSaved;
	m_nBlueGreen = m_nBlueGreenSaved;
	ShowWbGains();
	// Run directly: a gain whose text has two digits is written again.
	// A failed gain ends the press with its own messages.
	m_bGainFailed = false;
	OnEnChangeRedGreen();
	if (m_bGainFailed)
		return;
	OnEnChangeBlueGreen();
	if (m_bGainFailed)
		return;

	EnableControl(IDC_PUSH2WHITE, TRUE);
	for (int id : kGainControls)
		EnableControl(id, FALSE);
	ShowWbMode(m_bP2wSet ? kWbTextHeld : kWbTextRunning);
}

void CVelmoraDlg::OnEnChangeRedGreen()
{
	std::optional<int> value = TakeSliderText(kRedGreenPair);
	if (!value)
		return;
	m_nRedGreen = *value;
	UpdateRedGreenScroll();
	if (!WriteWbGain(REG_RED_GREEN, m_nRedGreen, WB_ENTRY_RED_GREEN))
		ShowUndone(kGainUndone);
}

void CVelmoraDlg::OnEnChangeBlueGreen()
{
	std::optional<int> value = TakeSliderText(kBlueGreenPair);
	if (!value)
		return;
	m_nBlueGreen = *value;
	UpdateBlueGreenScroll();
	if (!WriteWbGain(REG_BLUE_GREEN, m_nBlueGreen, WB_ENTRY_BLUE_GREEN))
		ShowUndone(kGainUndone);
}

// The camera takes manual gains only in manual mode, so every gain write
// goes with its own mode write.
bool CVelmoraDlg::WriteWbGain(kl310::Reg reg, int gain, int snapshotEntry)
{
	CIICTransfer iic(CMessageBoxSink::Instance());
	m_bGainFailed = true;
	if (!iic.WriteReg16(DEV_SENSOR_WRITE, REG_WB_MODE, WB_MODE_MANUAL))
		return false;
	m_anWbSnapshot[WB_ENTRY_MODE] = WB_MODE_MANUAL;
	if (!iic.WriteReg16(DEV_SENSOR_WRITE, reg, gain))
		return false;
	m_anWbSnapshot[snapshotEntry] = gain;
	m_bGainFailed = false;
	return true;
}

// The read-back step: mode, gains and which controls the mode allows.
void CVelmoraDlg::ReadBackWhiteBalance(CIICTransfer &iic)
{
	int wbMode = iic.ReadReg16(DEV_SENSOR_READ, REG_WB_MODE);
	int blueGreen = iic.ReadReg16(DEV_SENSOR_READ, REG_BLUE_GREEN);
	int redGreen = iic.ReadReg16(DEV_SENSOR_READ, REG_RED_GREEN);
	if (iic.Failed())
		return;
	m_nBlueGreen = blueGreen;
	m_nRedGreen = redGreen;
	m_nRedGreenSaved = m_nRedGreen & 0xFF;
	m_nBlueGreenSaved = m_nBlueGreen & 0xFF;
	// The read-back shows both gains with two digits.
	ShowWbGains("%2.2x");

	const char *wbText;
	if (wbMode == WB_MODE_AUTO) {
		SetCheck(IDC_AUTO_WB, true);
		for (int id : kWbModeControls)
			EnableControl(id, FALSE);
		for (int id : kGainControls)
			EnableControl(id, FALSE);
		wbText = kWbTextAutoAtConnect;
	} else {
		SetCheck(IDC_AUTO_WB, false);
		for (int id : { IDC_WB_MODE, IDC_MANUAL_MODE, IDC_PUSH_TO_SET })
			EnableControl(id, TRUE);
		bool manualGains = (wbMode >> 8) != 0;
		SetCheck(IDC_PUSH_TO_SET, !manualGains);
		SetCheck(IDC_MANUAL_MODE, manualGains);
		EnableControl(IDC_PUSH2WHITE, !manualGains);
		for (int id : kGainControls)
			EnableControl(id, manualGains);
		wbText = manualGains ? kWbTextManual : kWbTextHeld;
	}
	UpdateData(TRUE);
	m_strWbMode = wbText;
	UpdateData(FALSE);
}
