// Connection: start-up, "Connect" and the read-back of the camera's state
// into the panel.
#include "VelmoraDlg.h"

#include "BusCaption.h"
#include "ControlGroups.h"
#include "ErrorSink.h"
#include "IICTransfer.h"
#include "MessageBoxSink.h"
#include "msgbox.h"
#include "resource.h"

#include <utility>

using namespace kl310;
using namespace panel;

namespace {

const char kConnectError[] = "I2C Communication Error; Connect Camera and push Connect";

// Everything that needs the camera, in the order they are disabled.
constexpr int kCameraControls[] = {
	IDC_ADDR_PLUS,
	IDC_ADDR_MINUS,
	IDC_OVERLAY1,
	IDC_OVERLAY2,
	IDC_OVERLAY3,
	IDC_OVERLAY4,
	IDC_SHUTTER_SCROLL,
	IDC_SHUTTER,
	IDC_FREEZE_GAIN,
	IDC_AEX_REF_SCROLL,
	IDC_AEX_REF,
	IDC_PUSH2WHITE,
	IDC_WB_MODE,
	IDC_MANUAL_MODE,
	IDC_PUSH_TO_SET,
	IDC_RED_GREEN_SCROLL,
	IDC_BLUE_GREEN_SCROLL,
	IDC_RED_GREEN,
	IDC_BLUE_GREEN,
	IDC_TRIM_HORIZONTAL,
	IDC_TRIM_VERTICAL,
	IDC_TRIM_GROUP,
	IDC_TRIM_UP,
	IDC_TRIM_DOWN,
	IDC_TRIM_LEFT,
	IDC_TRIM_RIGHT,
	IDC_TRIM_STORE,
	IDC_REG_HIGH,
	IDC_DATA_HIGH,
	IDC_MANUAL_EXPOSURE,
	IDC_MIRROR,
	IDC_FLIP,
	IDC_AUTO_WB,
	IDC_FILE_TO_CAM,
	IDC_CAM_TO_FILE,
	IDC_ERASE_EEPROM,
	IDC_SAVE,
	IDC_SEND,
	IDC_ENABLE_OVERLAY,
};
static_assert(std::size(kCameraControls) == 39);

// What the read-back enables before it talks to the camera.
constexpr int kReadBackEnables[] = {
	IDC_MANUAL_EXPOSURE, IDC_MIRROR,       IDC_FLIP, IDC_AUTO_WB, IDC_FILE_TO_CAM,
	IDC_CAM_TO_FILE,     IDC_ERASE_EEPROM, IDC_SAVE, IDC_SEND,    IDC_ENABLE_OVERLAY,
};

} // namespace

void CVelmoraDlg::StartUpCamera()
{
	m_ctlShutterScroll.SetScrollRange(0, SHUTTER_MAX, TRUE);
	m_ctlAexRefScroll.SetScrollRange(0, AEX_REF_MAX, TRUE);
	m_ctlSharpnessScroll.SetScrollRange(0, SHARPNESS_MAX, TRUE);
	m_ctlRedGreenScroll.SetScrollRange(0, WB_GAIN_MAX, TRUE);
	m_ctlBlueGreenScroll.SetScrollRange(0, WB_GAIN_MAX, TRUE);
	m_nAddrOffset = 0;
	bool failed = ReadBackCamera();
	ShowAdapterNotices();
	if (failed) {
		AfxMessageBox(kConnectError, 0, 0);
		DisableCameraControls();
	}
}

void CVelmoraDlg::ShowAdapterNotices()
{
	for (const std::string &notice : iicbus::TakeNotices())
		AfxMessageBox(notice.c_str());
}

void CVelmoraDlg::OnBnClickedConnect()
{
	bool failed = ReadBackCamera();
	ShowAdapterNotices();
	if (failed)
		AfxMessageBox(kConnectError, 0, 0);
	// The adapter is looked for afresh: it may have come back as another bus.
	SetWindowText(BusWindowTitle(iicbus::LastBus()).c_str());
}

void CVelmoraDlg::ShowUndone(const char *what)
{
	CString text;
	text.Format("%s Check the camera and press Connect.", what);
	AfxMessageBox(text);
}

void CVelmoraDlg::DisableCameraControls()
{
	for (int id : kCameraControls)
		EnableControl(id, FALSE);
	UpdateData(FALSE);
}

void CVelmoraDlg::SetSliderPosition(CScrollBar &bar, int pos)
{
	SCROLLINFO info;
	bar.GetScrollInfo(&info, SIF_ALL);
	info.nPos = pos;
	bar.SetScrollInfo(&info, TRUE);
}

// One step per feature, in the camera's fixed transfer order; the steps of
// exposure, white balance, image features and trim sit beside the
// handlers they set up.
// The first failed transfer ends the read-back with true: the steps after
// it make no transfer and show nothing more.
bool CVelmoraDlg::ReadBackCamera()
{
	CIICTransfer iic(CMessageBoxSink::Instance());
	iic.StopAfterFailure();

	for (int id : kReadBackEnables)
		EnableControl(id, TRUE);
	PresetDirectPanel();

	if (ReadBackMirrorFlip(iic) || ReadBackTvMode(iic) || ReadBackOverlays(iic))
		return true;
	ReadBackExposure(iic);
	ReadBackGains(iic);
	ReadBackWhiteBalance(iic);
	ReadBackSharpness(iic);
	return ReadBackTrim(iic) || iic.Failed();
}

bool CVelmoraDlg::ReadBackTvMode(CIICTransfer &iic)
{
	int video = iic.ReadReg16(DEV_SENSOR_READ, REG_VIDEO_STANDARD);
	if (iic.TestAndClearError()) {
		m_strTvMode = "UNDEFINED!";
		return true;
	}
	UpdateData(TRUE);
	m_strTvMode = (video & VIDEO_PAL_BIT) ? "PAL" : "NTSC";
	UpdateData(FALSE);
	return false;
}

// A script run while the user was in another program may have changed the
// standard: the TV mode is read again when the user comes back, in one
// transfer and without a message (a camera gone shows "UNDEFINED!", as
// the read-back shows it; Connect says why).
void CVelmoraDlg::OnActivateApp(BOOL bActive, DWORD)
{
	if (!bActive) {
		m_bAppLeft = true;
		return;
	}
	if (std::exchange(m_bAppLeft, false))
		RefreshTvMode();
}

void CVelmoraDlg::RefreshTvMode()
{
	HeldErrorSink quiet;
	CIICTransfer iic(quiet);
	int video = iic.ReadReg16(DEV_SENSOR_READ, REG_VIDEO_STANDARD);
	m_strTvMode = iic.TestAndClearError() ? "UNDEFINED!" : (video & VIDEO_PAL_BIT) ? "PAL" : "NTSC";
	// Only this control: a handler's members that wait for their data
	// exchange (one showing a message box) stay as they are.
	if (CWnd *display = GetDlgItem(IDC_TV_MODE))
		display->SetWindowText(m_strTvMode);
}
