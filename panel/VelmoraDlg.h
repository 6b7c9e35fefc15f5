// CVelmoraDlg: the camera control panel and holder of all program state.
//
// Members are declared in the order of the panel's member table; the
// handlers live in one file per concern (connection, sliders, exposure,
// white balance, image features, image trim, direct register access,
// settings files, Save).
#pragma once

#include "EepromEngine.h"
#include "Operations.h"
#include "PictureWindow.h"
#include "ProgressPlan.h"
#include "Session.h"
#include "ddx.h"
#include "dialog.h"
#include "registers.h"
#include "wnd.h"

#include <cstdint>
#include <optional>

class CIICTransfer;

class CVelmoraDlg : public CDialog
{
public:
	explicit CVelmoraDlg(CWnd *parent = nullptr);

	// Controls, texts, checks, cached registers.
	CScrollBar m_ctlSharpnessScroll;
	CProgressCtrl m_ctlProgress;
	CScrollBar m_ctlAexRefScroll;
	CScrollBar m_ctlShutterScroll;
	CString m_strRegLow;
	CString m_strRegHigh;
	CString m_strDataLow;
	CString m_strDataHigh;
	CString m_strAexRef;
	BOOL m_bReadMode = FALSE;
	BOOL m_bAutoWb = FALSE;
	BOOL m_bManualExposure = FALSE;
	BOOL m_bMirror = FALSE;
	BOOL m_bFlip = FALSE;
	CString m_strShutter;
	CString m_strAddrOffset;
	CString m_strWbMode;
	CString m_strTvMode;
	BOOL m_bOverlayEnable = FALSE;
	BOOL m_bOverlay1 = FALSE;
	BOOL m_bOverlay2 = FALSE;
	BOOL m_bOverlay3 = FALSE;
	BOOL m_bOverlay4 = FALSE;
	CString m_strSharpness;
	CString m_strTrimVertical;
	CString m_strTrimHorizontal;
	HICON m_hIcon = nullptr;
	std::uint16_t m_nDirectDevice = 0;
	std::uint16_t m_nAddrOffset = 0;
	std::int32_t m_nRegA838 = 0;
	std::int32_t m_nRegA83A = 0;
	std::int32_t m_nGain3056 = 0;
	std::int32_t m_nGain305C = 0;
	std::int32_t m_nGain3058 = 0;
	std::int32_t m_nGain305A = 0;
	std::int32_t m_nRedGreenSaved = 0;
	std::int32_t m_nRedGreen = 0;
	std::int32_t m_nBlueGreenSaved = 0;
	std::int32_t m_nBlueGreen = 0;
	std::int32_t m_nShutter = 0;
	std::int32_t m_nAexRef = 0;
	std::uint8_t m_bDirectSensor = 0;
	// Set from the start: the read-back shows a held push-to-white as "P2W = set".
	std::uint8_t m_bP2wSet = 1;
	std::int32_t m_anWbSnapshot[kl310::WB_SNAPSHOT_SIZE] = {};
	std::int32_t m_nReg326C = 0;
	std::int16_t m_nPageCount = 0;
	std::int16_t m_nTrimHorizontal = 0;
	std::int16_t m_nTrimVertical = 0;
	std::uint8_t m_abTrimTable[kl310::TRIM_TABLE_SIZE] = {};
	CString m_strFilePath;
	std::uint16_t m_nSharpness = 0;
	BOOL m_bFreezeGain = FALSE;
	CString m_strRedGreen;
	CString m_strBlueGreen;
	CScrollBar m_ctlRedGreenScroll;
	CScrollBar m_ctlBlueGreenScroll;
	CString m_strFileName;
	CEdit m_ctlShutterEdit;
	CEdit m_ctlAexRefEdit;
	CEdit m_ctlRedGreenEdit;
	CEdit m_ctlBlueGreenEdit;
	CEdit m_ctlRegHighEdit;
	CEdit m_ctlRegLowEdit;
	CEdit m_ctlDataHighEdit;
	CEdit m_ctlDataLowEdit;
	CEdit m_ctlSharpnessEdit;
	// White-balance register 0xAC4E, measured with the snapshot so that
	// Save's script restores the camera's own value.
	std::int32_t m_nRegAC4E = 0;

	// What the picture window shows first; set before the panel is created.
	void SetPictureSource(PictureSource source) { m_picture = std::move(source); }
	PictureSource m_picture;

	// Window messages (VelmoraDlg.cpp).
	void OnSysCommand(UINT nID, LPARAM lParam);
	void OnPaint();
	HCURSOR OnQueryDragIcon();
	void OnNotifyIgnore(NMHDR *pNMHDR, LRESULT *pResult);
	void OnActivateApp(BOOL bActive, DWORD dwThreadID);
	// The user has been in another program since the panel last read the
	// camera's standard.
	bool m_bAppLeft = false;

	// Connection and read-back (Connection.cpp).
	void StartUpCamera();
	// What the adapter library had to tell besides the transfers (a
	// simulated camera's damaged file...), one message each.
	void ShowAdapterNotices();
	void OnBnClickedConnect();
	bool ReadBackCamera();
	void DisableCameraControls();
	void ShowTrim();
	// The second and last message of a press whose sequence stopped at a
	// failed transfer: what was left undone, and what to do.
	void ShowUndone(const char *what);

	// Slider/edit pairs (Sliders.cpp).
	void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar *pScrollBar);
	void UpdateShutterScroll();
	void UpdateAexRefScroll();
	void UpdateSharpnessScroll();
	void UpdateRedGreenScroll();
	void UpdateBlueGreenScroll();

	// Exposure (Exposure.cpp).
	void OnBnClickedManualExposure();
	void OnEnChangeShutter();
	void OnEnChangeAexRef();
	void OnBnClickedFreezeGain();

	// White balance (WhiteBalance.cpp).
	void OnBnClickedAutoWb();
	void OnBnClickedPush2White();
	void OnBnClickedManualMode();
	void OnBnClickedPushToSet();
	void OnEnChangeRedGreen();
	void OnEnChangeBlueGreen();

	// Sharpness, mirror/flip and overlays (ImageFeatures.cpp).
	void OnEnChangeSharpness();
	void OnBnClickedMirror();
	void OnBnClickedFlip();
	void OnBnClickedEnableOverlay();
	void OnBnClickedOverlay1();
	void OnBnClickedOverlay2();
	void OnBnClickedOverlay3();
	void OnBnClickedOverlay4();

	// Image trim (Trim.cpp).
	void OnBnClickedTrimLeft();
	void OnBnClickedTrimRight();
	void OnBnClickedTrimUp();
	void OnBnClickedTrimDown();
	void OnBnClickedStore();
	[[nodiscard]] bool ApplyTrim(int horizontal, int vertical, const std::uint8_t *table);
	[[nodiscard]] bool IssueCommand(CIICTransfer &iic, int command);
	void EnableTrimButtons(BOOL on);

	// Direct register access (DirectAccess.cpp).
	void OnBnClickedSensor();
	void OnBnClickedEeprom0();
	void OnBnClickedEeprom1();
	void OnBnClickedEeprom2();
	void OnBnClickedEeprom3();
	void OnBnClickedRead();
	void OnEnChangeRegHigh();
	void OnEnChangeRegLow();
	void OnEnChangeDataHigh();
	void OnEnChangeDataLow();
	void OnBnClickedSend();
	void OnBnClickedAddrPlus();
	void OnBnClickedAddrMinus();

	// Settings files (EepromFileTransfers.cpp).
	void OnBnClickedBrowse();
	void OnEnChangeFileName();
	void OnBnClickedCamToFile();
	void OnBnClickedFileToCam();
	void WriteFileToEeprom();
	static eeprom::FixedPause EepromWritePause();
	// Every EEPROM operation's transfers and engine, the progress bar
	// following its steps.
	operations::Session EepromSession();
	// The bar moves by the time each transfer is expected to take.
	void StartOperationProgress(const eeprom::ProgressPlan &plan);
	// The file "File --> Cam" writes, as loaded; its verification loads it again.
	operations::SettingsImage m_fileImage;
	int LoadIntoImage(const char *consequence);
	void StepOperationProgress();
	static constexpr int kProgressRange = 200;
	eeprom::ProgressPlan m_progressPlan;
	int m_nProgressRange = 1;
	int m_nProgressDone = 0;
	int m_nProgressShown = 0;
	void VerifyEeprom();

	// Save, address offset and Erase (SaveSettings.cpp).
	void OnBnClickedSave();
	void OnEnChangeAddrOffset();
	void OnBnClickedEraseEeprom();
	// Presses of "Erase EEp" since the panel opened; only odd presses erase.
	int m_nErasePresses = 0;

	DECLARE_MESSAGE_MAP()

protected:
	BOOL OnInitDialog() override;
	void DoDataExchange(CDataExchange *pDX) override;

private:
	struct SliderPair;
	static const SliderPair kShutterPair, kAexRefPair, kSharpnessPair, kRedGreenPair, kBlueGreenPair;

	void EnableControl(int id, BOOL enable);
	void SetCheck(int id, bool checked);
	void SetSliderPosition(CScrollBar &bar, int pos);
	void MoveThumb(CScrollBar &bar, int pos);
	std::optional<int> TakeSliderText(const SliderPair &pair);
	void ShowWbMode(const char *text);
	void ShowWbGains(const char *format = "%x");
	[[nodiscard]] bool WriteWbGain(kl310::Reg reg, int gain, int snapshotEntry);
	[[nodiscard]] bool MeasureWhite();
	bool m_bGainFailed = false; // the last gain write of a handler failed
	[[nodiscard]] bool ChangeProjection(int bit, bool checked);
	void WriteOverlay(int checkBox, BOOL &member, kl310::Reg reg, int index);

	// Read-back steps, one per feature, in transfer order; true = a tested
	// transfer failed.
	void PresetDirectPanel();
	bool ReadBackMirrorFlip(CIICTransfer &iic);
	bool ReadBackTvMode(CIICTransfer &iic);
	void RefreshTvMode();
	bool ReadBackOverlays(CIICTransfer &iic);
	void ReadBackExposure(CIICTransfer &iic);
	void ReadBackGains(CIICTransfer &iic);
	void ReadBackWhiteBalance(CIICTransfer &iic);
	void ReadBackSharpness(CIICTransfer &iic);
	bool ReadBackTrim(CIICTransfer &iic);

	void MoveTrim(std::int16_t &trim, int step);
	void SelectDirectTarget(int writeDevice, bool sensor);
	void FilterHexByte(CEdit &edit, CString &member);
	void SendSensor();
	void SendEeprom();
	void StepRegLow(int value);
};
