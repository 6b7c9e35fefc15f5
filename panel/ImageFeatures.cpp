// Sharpness, mirror/flip and the overlays: single image features, each
// written to the camera at once.
#include "VelmoraDlg.h"

#include "ControlGroups.h"
#include "IICTransfer.h"
#include "MessageBoxSink.h"
#include "resource.h"

using namespace kl310;

void CVelmoraDlg::OnEnChangeSharpness()
{
	std::optional<int> value = TakeSliderText(kSharpnessPair);
	if (!value)
		return;
	m_nSharpness = static_cast<std::uint16_t>(*value);
	UpdateSharpnessScroll();

	// Built on the panel's copy of the register, never read back first.
	int newValue = (m_nReg326C & SHARPNESS_KEEP) | ((m_nSharpness & SHARPNESS_MAX) << SHARPNESS_SHIFT);
	m_nReg326C = newValue;
	CIICTransfer iic(CMessageBoxSink::Instance());
	(void)iic.WriteReg16(DEV_SENSOR_WRITE, REG_SHARPNESS, newValue);
}

// Read-modify-write of both mirror/flip registers. A failed read leaves no
// value to modify: writing anyway would overwrite the register's other
// bits, so nothing is written then. False at the first failure.
bool CVelmoraDlg::ChangeProjection(int bit, bool checked)
{
	CIICTransfer iic(CMessageBoxSink::Instance());
	std::int32_t a = 0;
	std::int32_t b = 0;
	if (!iic.ReadReg16(DEV_SENSOR_READ, REG_MIRROR_FLIP1, a) ||
	    !iic.ReadReg16(DEV_SENSOR_READ, REG_MIRROR_FLIP2, b))
		return false;

	if (checked) {
		// Bit 8 goes with every write except the one that switches mirror on.
		a |= bit | (bit == FLIP_BIT ? MIRROR_FLIP1_BIT8 : 0);
		b |= bit;
	} else {
		a = (a & ~bit) | MIRROR_FLIP1_BIT8;
		b &= ~bit;
	}
	return iic.WriteReg16(DEV_SENSOR_WRITE, REG_MIRROR_FLIP1, a) &&
	       iic.WriteReg16(DEV_SENSOR_WRITE, REG_MIRROR_FLIP2, b);
}

namespace {
constexpr char kProjectionUndone[] = "Mirror and flip were not applied completely.";
} // namespace

void CVelmoraDlg::OnBnClickedMirror()
{
	m_bMirror = IsDlgButtonChecked(IDC_MIRROR);
	if (!ChangeProjection(MIRROR_BIT, m_bMirror))
		ShowUndone(kProjectionUndone);
}

void CVelmoraDlg::OnBnClickedFlip()
{
	m_bFlip = IsDlgButtonChecked(IDC_FLIP);
	if (!ChangeProjection(FLIP_BIT, m_bFlip))
		ShowUndone(kProjectionUndone);
}

// The four overlays keep their states and registers while the master
// switch turns them off and on.
void CVelmoraDlg::OnBnClickedEnableOverlay()
{
	m_bOverlayEnable = IsDlgButtonChecked(IDC_ENABLE_OVERLAY);
	for (int id : panel::kOverlayBoxes)
		EnableControl(id, m_bOverlayEnable);
	CIICTransfer iic(CMessageBoxSink::Instance());
	(void)iic.WriteReg16(DEV_SENSOR_WRITE, REG_OVERLAY_ENABLE, m_bOverlayEnable ? OVERLAY_ON : 0);
}

// Overlay n's register holds its index in the low byte and bit 15 = on.
void CVelmoraDlg::WriteOverlay(int checkBox, BOOL &member, Reg reg, int index)
{
	member = IsDlgButtonChecked(checkBox);
	CIICTransfer iic(CMessageBoxSink::Instance());
	(void)iic.WriteReg16(DEV_SENSOR_WRITE, reg, (member ? OVERLAY_ON : 0) | index);
}

void CVelmoraDlg::OnBnClickedOverlay1()
{
	WriteOverlay(IDC_OVERLAY1, m_bOverlay1, REG_OVERLAY1, 0);
}

void CVelmoraDlg::OnBnClickedOverlay2()
{
	WriteOverlay(IDC_OVERLAY2, m_bOverlay2, REG_OVERLAY2, 1);
}

void CVelmoraDlg::OnBnClickedOverlay3()
{
	WriteOverlay(IDC_OVERLAY3, m_bOverlay3, REG_OVERLAY3, 2);
}

void CVelmoraDlg::OnBnClickedOverlay4()
{
	WriteOverlay(IDC_OVERLAY4, m_bOverlay4, REG_OVERLAY4, 3);
}

// Read-back steps (see ReadBackCamera).
bool CVelmoraDlg::ReadBackMirrorFlip(CIICTransfer &iic)
{
	int mirrorFlip = iic.ReadReg16(DEV_SENSOR_READ, REG_MIRROR_FLIP1);
	if (iic.TestAndClearError())
		return true;
	SetCheck(IDC_MIRROR, mirrorFlip & MIRROR_BIT);
	SetCheck(IDC_FLIP, mirrorFlip & FLIP_BIT);
	return false;
}

bool CVelmoraDlg::ReadBackOverlays(CIICTransfer &iic)
{
	int overlay = iic.ReadReg16(DEV_SENSOR_READ, REG_OVERLAY_ENABLE);
	if (iic.TestAndClearError())
		return true;
	if (!(overlay & OVERLAY_ON)) {
		// The four boxes keep their check marks while disabled.
		SetCheck(IDC_ENABLE_OVERLAY, false);
		for (int id : panel::kOverlayBoxes)
			EnableControl(id, FALSE);
		return false;
	}
	SetCheck(IDC_ENABLE_OVERLAY, true);
	for (int id : panel::kOverlayBoxes)
		EnableControl(id, TRUE);
	int overlay1 = iic.ReadReg16(DEV_SENSOR_READ, REG_OVERLAY1);
	int overlay2 = iic.ReadReg16(DEV_SENSOR_READ, REG_OVERLAY2);
	int overlay3 = iic.ReadReg16(DEV_SENSOR_READ, REG_OVERLAY3);
	int overlay4 = iic.ReadReg16(DEV_SENSOR_READ, REG_OVERLAY4);
	if (iic.Failed())
		return false;
	SetCheck(IDC_OVERLAY1, overlay1 & OVERLAY_ON);
	SetCheck(IDC_OVERLAY2, overlay2 & OVERLAY_ON);
	SetCheck(IDC_OVERLAY3, overlay3 & OVERLAY_ON);
	SetCheck(IDC_OVERLAY4, overlay4 & OVERLAY_ON);
	return false;
}

void CVelmoraDlg::ReadBackSharpness(CIICTransfer &iic)
{
	if (!iic.ReadReg16(DEV_SENSOR_READ, REG_SHARPNESS, m_nReg326C))
		return;
	m_nSharpness = static_cast<std::uint16_t>((m_nReg326C >> SHARPNESS_SHIFT) & SHARPNESS_MAX);
	UpdateData(TRUE);
	m_strSharpness.Format("%1.1x", m_nSharpness);
	SetSliderPosition(m_ctlSharpnessScroll, m_nSharpness);
	UpdateData(FALSE);
}
