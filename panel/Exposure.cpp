// Exposure: automatic exposure with a reference, or manual exposure with a
// shutter value and an optional gain freeze.
#include "VelmoraDlg.h"

#include "ControlGroups.h"
#include "IICTransfer.h"
#include "MessageBoxSink.h"
#include "resource.h"
#include "sleep.h"

using namespace kl310;
using namespace panel;

namespace {
// The exposure state registers settle between reads.
constexpr DWORD kExposureReadPause = 50;
} // namespace

namespace {
constexpr char kExposureUndone[] = "The exposure mode was not changed completely.";
} // namespace

// A failed transfer ends the sequence; the members keep the values the
// camera last gave.
void CVelmoraDlg::OnBnClickedManualExposure()
{
	CIICTransfer iic(CMessageBoxSink::Instance());
	m_bManualExposure = IsDlgButtonChecked(IDC_MANUAL_EXPOSURE);

	if (m_bManualExposure) {
		if (!iic.WriteReg16(DEV_SENSOR_WRITE, REG_EXPOSURE_MODE, EXPOSURE_MANUAL))
			return ShowUndone(kExposureUndone);
		for (int id : kShutterControls)
			EnableControl(id, TRUE);
		for (int id : kAexRefControls)
			EnableControl(id, FALSE);

		if (!iic.ReadReg16(DEV_SENSOR_READ, REG_SHUTTER, m_nShutter))
			return ShowUndone(kExposureUndone);
		UpdateShutterScroll();
		m_strShutter.Format("%x", m_nShutter);
		UpdateData(FALSE);

		if (!iic.ReadReg16(DEV_SENSOR_READ, REG_GAIN_3056, m_nGain3056) ||
		    !iic.ReadReg16(DEV_SENSOR_READ, REG_GAIN_305C, m_nGain305C) ||
		    !iic.ReadReg16(DEV_SENSOR_READ, REG_GAIN_3058, m_nGain3058) ||
		    !iic.ReadReg16(DEV_SENSOR_READ, REG_GAIN_305A, m_nGain305A) ||
		    !iic.ReadReg16(DEV_SENSOR_READ, REG_EXPOSURE_STATE1, m_nRegA838))
			return ShowUndone(kExposureUndone);
		Sleep(kExposureReadPause);
		if (!iic.ReadReg16(DEV_SENSOR_READ, REG_EXPOSURE_STATE2, m_nRegA83A))
			return ShowUndone(kExposureUndone);
		Sleep(kExposureReadPause);
		iic.ReadReg16(DEV_SENSOR_READ, REG_EXPOSURE_LATCH);
		if (iic.Status() != 0)
			return ShowUndone(kExposureUndone);
		return;
	}

	if (!iic.WriteReg16(DEV_SENSOR_WRITE, REG_EXPOSURE_MODE, EXPOSURE_AUTO) ||
	    !iic.ReadReg16(DEV_SENSOR_READ, REG_SHUTTER, m_nShutter))
		return ShowUndone(kExposureUndone);
	for (int id : kShutterControls)
		EnableControl(id, FALSE);
	for (int id : kAexRefControls)
		EnableControl(id, TRUE);

	if (!iic.ReadReg16(DEV_SENSOR_READ, REG_EXPOSURE_REF, m_nAexRef))
		return ShowUndone(kExposureUndone);
	UpdateAexRefScroll();
	m_strAexRef.Format("%x", m_nAexRef);
	UpdateData(FALSE);
}

void CVelmoraDlg::OnEnChangeShutter()
{
	std::optional<int> value = TakeSliderText(kShutterPair);
	if (!value)
		return;
	m_nShutter = *value;
	UpdateShutterScroll();
	CIICTransfer iic(CMessageBoxSink::Instance());
	// One transfer: its message says all.
	(void)iic.WriteReg16(DEV_SENSOR_WRITE, REG_SHUTTER, m_nShutter);
}

void CVelmoraDlg::OnEnChangeAexRef()
{
	std::optional<int> value = TakeSliderText(kAexRefPair);
	if (!value)
		return;
	m_nAexRef = *value;
	UpdateAexRefScroll();
	CIICTransfer iic(CMessageBoxSink::Instance());
	// The reference lives in the low byte; the high byte is always cleared.
	(void)iic.WriteReg16(DEV_SENSOR_WRITE, REG_EXPOSURE_REF, m_nAexRef & 0xFF);
}

// Only remembered here: Save puts the frozen gains into the settings.
void CVelmoraDlg::OnBnClickedFreezeGain()
{
	m_bFreezeGain = IsDlgButtonChecked(IDC_FREEZE_GAIN);
}

// Read-back steps (see ReadBackCamera).
// A step after a failed transfer of the read-back changes nothing shown.
void CVelmoraDlg::ReadBackExposure(CIICTransfer &iic)
{
	int exposureMode = iic.ReadReg16(DEV_SENSOR_READ, REG_EXPOSURE_MODE);
	int shutter = iic.ReadReg16(DEV_SENSOR_READ, REG_SHUTTER);
	int aexRef = iic.ReadReg16(DEV_SENSOR_READ, REG_EXPOSURE_REF);
	if (iic.Failed())
		return;
	bool manualExposure = (exposureMode & EXPOSURE_MODE_BITS) == EXPOSURE_MANUAL;
	SetCheck(IDC_MANUAL_EXPOSURE, manualExposure);

	UpdateData(TRUE);
	m_nShutter = shutter;
	m_strShutter.Format("%3.3x", m_nShutter);
	SetSliderPosition(m_ctlShutterScroll, m_nShutter);
	m_nAexRef = aexRef;
	m_strAexRef.Format("%2.2x", m_nAexRef);
	SetSliderPosition(m_ctlAexRefScroll, m_nAexRef & 0xFF);
	UpdateData(FALSE);

	// Only the controls of the mode in force change their state here.
	if (!manualExposure) {
		for (int id : kShutterControls)
			EnableControl(id, FALSE);
		return;
	}
	EnableControl(IDC_FREEZE_GAIN, TRUE);
	for (int id : kAexRefControls)
		EnableControl(id, FALSE);
	int marker = iic.ReadByte(EepromRead(PAGE_FREEZE_MARKER), OFFSET_FREEZE_MARKER);
	if (iic.Failed())
		return;
	m_bFreezeGain = marker == FREEZE_MARKER_SET ? TRUE : FALSE;
	SetCheck(IDC_FREEZE_GAIN, m_bFreezeGain);
}

void CVelmoraDlg::ReadBackGains(CIICTransfer &iic)
{
	(void)(iic.ReadReg16(DEV_SENSOR_READ, REG_GAIN_3056, m_nGain3056) &&
	       iic.ReadReg16(DEV_SENSOR_READ, REG_GAIN_305C, m_nGain305C) &&
	       iic.ReadReg16(DEV_SENSOR_READ, REG_GAIN_3058, m_nGain3058) &&
	       iic.ReadReg16(DEV_SENSOR_READ, REG_GAIN_305A, m_nGain305A));
}
