#include "VelmoraDlg.h"

#include "AboutDlg.h"
#include "BusCaption.h"
#include "PictureWindow.h"
#include "resource.h"
#include "winapp.h"

CVelmoraDlg::CVelmoraDlg(CWnd *parent) : CDialog(IDD_VELMORA_DIALOG, parent)
{
	m_hIcon = AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME) : nullptr;
}

void CVelmoraDlg::DoDataExchange(CDataExchange *pDX)
{
	CDialog::DoDataExchange(pDX);
	DDX_Control(pDX, IDC_SHARPNESS_SCROLL, m_ctlSharpnessScroll);
	DDX_Control(pDX, IDC_PROGRESS, m_ctlProgress);
	DDX_Control(pDX, IDC_AEX_REF_SCROLL, m_ctlAexRefScroll);
	DDX_Control(pDX, IDC_SHUTTER_SCROLL, m_ctlShutterScroll);
	DDX_Text(pDX, IDC_REG_LOW, m_strRegLow);
	DDX_Text(pDX, IDC_REG_HIGH, m_strRegHigh);
	DDX_Text(pDX, IDC_DATA_LOW, m_strDataLow);
	DDX_Text(pDX, IDC_DATA_HIGH, m_strDataHigh);
	DDX_Text(pDX, IDC_AEX_REF, m_strAexRef);
	DDX_Check(pDX, IDC_READ, m_bReadMode);
	DDX_Check(pDX, IDC_AUTO_WB, m_bAutoWb);
	DDX_Check(pDX, IDC_MANUAL_EXPOSURE, m_bManualExposure);
	DDX_Check(pDX, IDC_MIRROR, m_bMirror);
	DDX_Check(pDX, IDC_FLIP, m_bFlip);
	DDX_Text(pDX, IDC_SHUTTER, m_strShutter);
	DDX_Text(pDX, IDC_ADDR_OFFSET, m_strAddrOffset);
	DDX_Text(pDX, IDC_WB_MODE, m_strWbMode);
	DDX_Text(pDX, IDC_TV_MODE, m_strTvMode);
	DDX_Check(pDX, IDC_ENABLE_OVERLAY, m_bOverlayEnable);
	DDX_Check(pDX, IDC_OVERLAY1, m_bOverlay1);
	DDX_Check(pDX, IDC_OVERLAY2, m_bOverlay2);
	DDX_Check(pDX, IDC_OVERLAY3, m_bOverlay3);
	DDX_Check(pDX, IDC_OVERLAY4, m_bOverlay4);
	DDX_Text(pDX, IDC_SHARPNESS, m_strSharpness);
	DDX_Text(pDX, IDC_TRIM_VERTICAL, m_strTrimVertical);
	DDX_Text(pDX, IDC_TRIM_HORIZONTAL, m_strTrimHorizontal);
	DDX_Check(pDX, IDC_FREEZE_GAIN, m_bFreezeGain);
	DDX_Text(pDX, IDC_RED_GREEN, m_strRedGreen);
	DDX_Text(pDX, IDC_BLUE_GREEN, m_strBlueGreen);
	DDX_Control(pDX, IDC_RED_GREEN_SCROLL, m_ctlRedGreenScroll);
	DDX_Control(pDX, IDC_BLUE_GREEN_SCROLL, m_ctlBlueGreenScroll);
	DDV_MaxChars(pDX, m_strRedGreen, 4);
	DDV_MaxChars(pDX, m_strBlueGreen, 4);
	DDX_Text(pDX, IDC_FILE_NAME, m_strFileName);
	DDX_Control(pDX, IDC_SHUTTER, m_ctlShutterEdit);
	DDX_Control(pDX, IDC_AEX_REF, m_ctlAexRefEdit);
	DDX_Control(pDX, IDC_RED_GREEN, m_ctlRedGreenEdit);
	DDX_Control(pDX, IDC_BLUE_GREEN, m_ctlBlueGreenEdit);
	DDX_Control(pDX, IDC_REG_HIGH, m_ctlRegHighEdit);
	DDX_Control(pDX, IDC_REG_LOW, m_ctlRegLowEdit);
	DDX_Control(pDX, IDC_DATA_HIGH, m_ctlDataHighEdit);
	DDX_Control(pDX, IDC_DATA_LOW, m_ctlDataLowEdit);
	DDX_Control(pDX, IDC_SHARPNESS, m_ctlSharpnessEdit);
}

BEGIN_MESSAGE_MAP(CVelmoraDlg, CDialog)
	ON_WM_SYSCOMMAND()
	ON_WM_ACTIVATEAPP()
	ON_WM_PAINT()
	ON_WM_QUERYDRAGICON()
	ON_EN_CHANGE(IDC_REG_HIGH, &CVelmoraDlg::OnEnChangeRegHigh)
	ON_BN_CLICKED(IDC_SENSOR, &CVelmoraDlg::OnBnClickedSensor)
	ON_BN_CLICKED(IDC_EEPROM0, &CVelmoraDlg::OnBnClickedEeprom0)
	ON_BN_CLICKED(IDC_EEPROM1, &CVelmoraDlg::OnBnClickedEeprom1)
	ON_BN_CLICKED(IDC_EEPROM2, &CVelmoraDlg::OnBnClickedEeprom2)
	ON_BN_CLICKED(IDC_EEPROM3, &CVelmoraDlg::OnBnClickedEeprom3)
	ON_EN_CHANGE(IDC_REG_LOW, &CVelmoraDlg::OnEnChangeRegLow)
	ON_EN_CHANGE(IDC_DATA_HIGH, &CVelmoraDlg::OnEnChangeDataHigh)
	ON_EN_CHANGE(IDC_DATA_LOW, &CVelmoraDlg::OnEnChangeDataLow)
	ON_BN_CLICKED(IDC_SEND, &CVelmoraDlg::OnBnClickedSend)
	ON_BN_CLICKED(IDC_READ, &CVelmoraDlg::OnBnClickedRead)
	ON_BN_CLICKED(IDC_MIRROR, &CVelmoraDlg::OnBnClickedMirror)
	ON_BN_CLICKED(IDC_FLIP, &CVelmoraDlg::OnBnClickedFlip)
	ON_BN_CLICKED(IDC_CONNECT, &CVelmoraDlg::OnBnClickedConnect)
	ON_WM_HSCROLL()
	ON_BN_CLICKED(IDC_MANUAL_EXPOSURE, &CVelmoraDlg::OnBnClickedManualExposure)
	ON_EN_CHANGE(IDC_SHUTTER, &CVelmoraDlg::OnEnChangeShutter)
	ON_EN_CHANGE(IDC_AEX_REF, &CVelmoraDlg::OnEnChangeAexRef)
	ON_BN_CLICKED(IDC_AUTO_WB, &CVelmoraDlg::OnBnClickedAutoWb)
	ON_BN_CLICKED(IDC_PUSH2WHITE, &CVelmoraDlg::OnBnClickedPush2White)
	ON_BN_CLICKED(IDC_ENABLE_OVERLAY, &CVelmoraDlg::OnBnClickedEnableOverlay)
	ON_BN_CLICKED(IDC_OVERLAY1, &CVelmoraDlg::OnBnClickedOverlay1)
	ON_BN_CLICKED(IDC_OVERLAY2, &CVelmoraDlg::OnBnClickedOverlay2)
	ON_BN_CLICKED(IDC_OVERLAY3, &CVelmoraDlg::OnBnClickedOverlay3)
	ON_BN_CLICKED(IDC_OVERLAY4, &CVelmoraDlg::OnBnClickedOverlay4)
	ON_BN_CLICKED(IDC_ADDR_PLUS, &CVelmoraDlg::OnBnClickedAddrPlus)
	ON_BN_CLICKED(IDC_ADDR_MINUS, &CVelmoraDlg::OnBnClickedAddrMinus)
	ON_EN_CHANGE(IDC_SHARPNESS, &CVelmoraDlg::OnEnChangeSharpness)
	ON_BN_CLICKED(IDC_TRIM_STORE, &CVelmoraDlg::OnBnClickedStore)
	ON_BN_CLICKED(IDC_TRIM_LEFT, &CVelmoraDlg::OnBnClickedTrimLeft)
	ON_BN_CLICKED(IDC_TRIM_RIGHT, &CVelmoraDlg::OnBnClickedTrimRight)
	ON_BN_CLICKED(IDC_TRIM_UP, &CVelmoraDlg::OnBnClickedTrimUp)
	ON_BN_CLICKED(IDC_TRIM_DOWN, &CVelmoraDlg::OnBnClickedTrimDown)
	ON_BN_CLICKED(IDC_FREEZE_GAIN, &CVelmoraDlg::OnBnClickedFreezeGain)
	ON_BN_CLICKED(IDC_MANUAL_MODE, &CVelmoraDlg::OnBnClickedManualMode)
	ON_BN_CLICKED(IDC_PUSH_TO_SET, &CVelmoraDlg::OnBnClickedPushToSet)
	ON_EN_CHANGE(IDC_RED_GREEN, &CVelmoraDlg::OnEnChangeRedGreen)
	ON_EN_CHANGE(IDC_BLUE_GREEN, &CVelmoraDlg::OnEnChangeBlueGreen)
	// Settings files, Save and Erase.
	ON_BN_CLICKED(IDC_SAVE, &CVelmoraDlg::OnBnClickedSave)
	ON_EN_CHANGE(IDC_ADDR_OFFSET, &CVelmoraDlg::OnEnChangeAddrOffset)
	ON_BN_CLICKED(IDC_ERASE_EEPROM, &CVelmoraDlg::OnBnClickedEraseEeprom)
	ON_BN_CLICKED(IDC_BROWSE, &CVelmoraDlg::OnBnClickedBrowse)
	ON_BN_CLICKED(IDC_FILE_TO_CAM, &CVelmoraDlg::OnBnClickedFileToCam)
	ON_EN_CHANGE(IDC_FILE_NAME, &CVelmoraDlg::OnEnChangeFileName)
	ON_BN_CLICKED(IDC_CAM_TO_FILE, &CVelmoraDlg::OnBnClickedCamToFile)
	ON_NOTIFY(NM_THEMECHANGED, IDC_RED_GREEN_SCROLL, &CVelmoraDlg::OnNotifyIgnore)
	ON_NOTIFY(NM_THEMECHANGED, IDC_BLUE_GREEN_SCROLL, &CVelmoraDlg::OnNotifyIgnore)
	ON_NOTIFY(NM_THEMECHANGED, IDC_SHARPNESS_SCROLL, &CVelmoraDlg::OnNotifyIgnore)
	ON_NOTIFY(NM_CUSTOMDRAW, IDC_PROGRESS, &CVelmoraDlg::OnNotifyIgnore)
END_MESSAGE_MAP()

BOOL CVelmoraDlg::OnInitDialog()
{
	CDialog::OnInitDialog();

	if (CMenu *pSysMenu = GetSystemMenu(FALSE)) {
		CString strAboutMenu;
		strAboutMenu.LoadString(IDS_ABOUTBOX);
		if (!strAboutMenu.IsEmpty()) {
			pSysMenu->AppendMenu(MF_STRING, IDM_PICTURE, kPictureMenuText);
			pSysMenu->AppendMenu(MF_SEPARATOR);
			pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
		}
	}

	SetIcon(m_hIcon, TRUE);
	SetIcon(m_hIcon, FALSE);

	m_nGain3056 = 0;
	m_nGain305C = 0;
	m_nGain3058 = 0;
	m_nGain305A = 0;

	StartUpCamera();
	SetWindowText(BusWindowTitle(iicbus::LastBus()).c_str());
	if (m_picture.openAtStart)
		ShowPictureWindow(*this, m_picture);
	return TRUE;
}

void CVelmoraDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
	if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
		CAboutDlg dlgAbout;
		dlgAbout.DoModal();
	} else if ((nID & 0xFFF0) == IDM_PICTURE) {
		ShowPictureWindow(*this, m_picture);
	} else {
		CDialog::OnSysCommand(nID, lParam);
	}
}

// Minimised, the panel shows the program icon in the middle of its client area.
void CVelmoraDlg::OnPaint()
{
	if (!IsIconic()) {
		CDialog::OnPaint();
		return;
	}
	CPaintDC dc(this);
	dc.EraseBackground();
	int cxIcon = GetSystemMetrics(SM_CXICON);
	int cyIcon = GetSystemMetrics(SM_CYICON);
	CRect rect;
	GetClientRect(&rect);
	int x = (rect.Width() - cxIcon + 1) / 2;
	int y = (rect.Height() - cyIcon + 1) / 2;
	dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CVelmoraDlg::OnQueryDragIcon()
{
	return m_hIcon;
}

void CVelmoraDlg::OnNotifyIgnore(NMHDR *, LRESULT *pResult)
{
	*pResult = 0;
}

void CVelmoraDlg::EnableControl(int id, BOOL enable)
{
	if (CWnd *item = GetDlgItem(id))
		item->EnableWindow(enable);
}

void CVelmoraDlg::SetCheck(int id, bool checked)
{
	if (CWnd *item = GetDlgItem(id))
		item->SendMessage(BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED);
}
