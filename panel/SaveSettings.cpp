// "Save " writes the settings script into EEPROM page 3 and the
// freeze-gain marker into page 1; "Erase EEp" clears the script; the
// hidden address offset edit moves where the script begins.
#include "VelmoraDlg.h"

#include "EepromEngine.h"
#include "IICTransfer.h"
#include "MessageBoxSink.h"
#include "Operations.h"
#include "SettingsScript.h"
#include "msgbox.h"
#include "resource.h"
#include "sleep.h"
#include "waitcursor.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

using namespace kl310;

namespace {

constexpr std::uint8_t kErased = 0xFF;
// The page must be clear before the camera is read.
constexpr DWORD kAfterFillPause = 100;
constexpr int kOffsetMax = 0xFF;

// The check states go into their members as Save reads them; the panel
// cannot change while Save runs.
settings::ScriptValues TakeScriptValues(CVelmoraDlg &dlg)
{
	settings::ScriptValues v;
	v.autoWb = dlg.m_bAutoWb;
	std::copy(std::begin(dlg.m_anWbSnapshot), std::end(dlg.m_anWbSnapshot), v.wbSnapshot.begin());
	v.regAC4E = dlg.m_nRegAC4E;

	dlg.m_bOverlayEnable = dlg.IsDlgButtonChecked(IDC_ENABLE_OVERLAY);
	v.overlayEnable = dlg.m_bOverlayEnable;
	if (v.overlayEnable) {
		dlg.m_bOverlay1 = dlg.IsDlgButtonChecked(IDC_OVERLAY1);
		dlg.m_bOverlay2 = dlg.IsDlgButtonChecked(IDC_OVERLAY2);
		dlg.m_bOverlay3 = dlg.IsDlgButtonChecked(IDC_OVERLAY3);
		dlg.m_bOverlay4 = dlg.IsDlgButtonChecked(IDC_OVERLAY4);
		v.overlays = { dlg.m_bOverlay1 != 0, dlg.m_bOverlay2 != 0, dlg.m_bOverlay3 != 0,
			       dlg.m_bOverlay4 != 0 };
	}

	v.reg326C = dlg.m_nReg326C;
	v.manualExposure = dlg.m_bManualExposure;
	v.shutter = dlg.m_nShutter;
	v.aexRef = dlg.m_nAexRef;
	v.freezeGain = dlg.m_bFreezeGain;
	v.gain3056 = dlg.m_nGain3056;
	v.gain3058 = dlg.m_nGain3058;
	v.gain305A = dlg.m_nGain305A;
	v.gain305C = dlg.m_nGain305C;
	v.regA838 = dlg.m_nRegA838;
	v.regA83A = dlg.m_nRegA83A;
	return v;
}

} // namespace

void CVelmoraDlg::OnBnClickedSave()
{
	m_ctlProgress.SetStep(1);
	m_ctlProgress.SetPos(0);
	CWaitCursor wait;

	settings::ScriptValues values = TakeScriptValues(*this);
	settings::SettingsScript planned = settings::BuildSettingsScript(values);
	size_t length = planned.bytes.size();
	if (!settings::ScriptFitsPage(m_nAddrOffset, length)) {
		CString text;
		text.Format(
			"The settings script of %zu bytes does not fit into EEPROM page 3 from offset 0x%x; "
			"nothing was saved.",
			length, m_nAddrOffset);
		AfxMessageBox(text);
		return;
	}

	// The bar goes once from empty to full over the fill and the script;
	// the first script byte comes after the pause and the two reads.
	operations::Session session = EepromSession();
	CIICTransfer &iic = session.Transfers();
	const eeprom::FixedPause &pause = session.Pause();
	StartOperationProgress(
		eeprom::ProgressPlan()
			.Writes(eeprom::Engine::FillTransfers(m_nAddrOffset), pause)
			.Writes(static_cast<int>(length - (planned.quietEnd - planned.quietBegin)), pause,
				std::int64_t{ kAfterFillPause } * 1000 +
					2 * eeprom::ProgressPlan::kTransferUs));

	eeprom::Engine &engine = session.Engine();
	if (!operations::Fill(engine, PAGE_SCRIPT, m_nAddrOffset, kErased).Ok()) {
		AfxMessageBox(
			"EEPROM page 3 could not be cleared; the settings were not saved. Check the camera and press Save again.");
		m_ctlProgress.SetPos(0);
		return;
	}
	Sleep(kAfterFillPause);

	// A script built from values never read would set the camera wrong.
	if (!iic.ReadReg16(DEV_SENSOR_READ, REG_MIRROR_FLIP1, values.reg301C) ||
	    !iic.ReadReg16(DEV_SENSOR_READ, REG_MIRROR_FLIP2, values.reg3254)) {
		AfxMessageBox(
			"Reading the camera failed; the settings were not saved. Check the camera and press Save again.");
		m_ctlProgress.SetPos(0);
		return;
	}

	if (!operations::WriteScript(engine, settings::BuildSettingsScript(values), m_nAddrOffset).Ok())
		AfxMessageBox(
			"Writing to the EEPROM failed; the saved settings are incomplete. Check the camera and press Save "
			"again.");
	m_ctlProgress.SetPos(0);
}

void CVelmoraDlg::OnEnChangeAddrOffset()
{
	UpdateData(TRUE);
	unsigned long value = std::strtoul(m_strAddrOffset.GetString(), nullptr, 16);
	if (value >= kOffsetMax)
		value = kOffsetMax;
	m_strAddrOffset.Format("%lx", value);
	UpdateData(FALSE);
	m_nAddrOffset = static_cast<std::uint16_t>(value);
}

void CVelmoraDlg::OnBnClickedEraseEeprom()
{
	if (m_nErasePresses % 2 == 0) {
		AfxMessageBox(
			"This will erase part of camera EEPROM. If this is ok please press again erase");
		m_nErasePresses++;
		return;
	}
	m_nErasePresses++;
	CWaitCursor wait;
	operations::Session session = EepromSession();
	StartOperationProgress(
		eeprom::ProgressPlan().Writes(eeprom::Engine::FillTransfers(m_nAddrOffset), session.Pause()));
	eeprom::Engine &engine = session.Engine();
	if (!operations::Fill(engine, PAGE_SCRIPT, m_nAddrOffset, kErased).Ok())
		AfxMessageBox("EEPROM page 3 was not erased completely. Check the camera and press Erase EEp "
			      "twice again.");
	m_ctlProgress.SetPos(0);
}
