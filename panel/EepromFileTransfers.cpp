// Settings files: "Browse", the file name edit, "Cam --> File" and
// "File --> Cam" with its verification.
#include "VelmoraDlg.h"

#include "IICTransfer.h"
#include "SettingsFileFormat.h"
#include "filedlg.h"
#include "msgbox.h"
#include "resource.h"
#include "sleep.h"
#include "waitcursor.h"

#include <algorithm>

using namespace kl310;

namespace {

// The EEPROM takes this long to store a written block.
constexpr DWORD kEepromWritePause = 20;

constexpr short kCamToFileRange = 484;
constexpr int kCamToFileBytesPerStep = 5;
constexpr short kFileToCamRange = 242;
constexpr int kWriteStepEvery = 3; // of the sub-addresses: 6 steps per page
constexpr int kBlockSize = EEPROM_WRITE_PAGE_SIZE;

constexpr int kEepromBytes = EEPROM_PAGES * EEPROM_PAGE_SIZE;

// The file that "File --> Cam" writes and the bytes the verification
// reads back; both live for the whole run.
std::uint16_t s_anFileValues[kEepromBytes];
std::uint16_t s_anReadBack[kEepromBytes];

constexpr char kNothingWritten[] = "Nothing was written to the camera.";
constexpr char kNotVerified[] = "The EEPROM was written but not verified.";

void ShowFileRefusal(const CString &path, const std::string &why, const char *consequence)
{
	CString text;
	text.Format("The settings file %s cannot be used: %s. %s", path.GetString(), why.c_str(),
		    consequence);
	AfxMessageBox(text);
}

// Loads the file into the file value table; the page count, or 0 after
// the refusal was shown.
int LoadIntoTable(const CString &path, const char *consequence)
{
	settings::LoadedSettings loaded = settings::LoadSettingsFile(path.str());
	if (!loaded.ok) {
		ShowFileRefusal(path, settings::DescribeRefusal(loaded.refusal), consequence);
		return 0;
	}
	settings::PageCount count = settings::SettingsPageCount(loaded.values.size());
	if (!count.ok) {
		ShowFileRefusal(path, count.refusal, consequence);
		return 0;
	}
	std::copy(loaded.values.begin(), loaded.values.end(), s_anFileValues);
	return count.pages;
}

} // namespace

void CVelmoraDlg::OnBnClickedBrowse()
{
	CFileDialog dialog(TRUE, nullptr, nullptr,
			   OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_ALLOWMULTISELECT,
			   "Qmx files(.qmx)|*.qmx||", nullptr);
	if (dialog.DoModal() != IDOK)
		return;
	POSITION pos = dialog.GetStartPosition();
	CString path = dialog.GetNextPathName(pos);
	// The edit's change handler appends the extension; the chosen path wins.
	if (CWnd *edit = GetDlgItem(IDC_FILE_NAME))
		edit->SetWindowText(path);
	m_strFilePath = path;
}

void CVelmoraDlg::OnEnChangeFileName()
{
	UpdateData(TRUE);
	UpdateData(FALSE);
	m_strFilePath = m_strFileName + ".qmx";
}

void CVelmoraDlg::OnBnClickedCamToFile()
{
	m_ctlProgress.SetRange(1, kCamToFileRange);
	m_ctlProgress.SetPos(0);
	m_ctlProgress.SetStep(1);
	if (m_strFilePath.IsEmpty()) {
		AfxMessageBox("Please enter file name!");
		return;
	}

	CWaitCursor wait;
	std::uint16_t values[kEepromBytes] = {};
	CIICTransfer iic;
	for (int i = 0; i < kEepromBytes; i++) {
		int page = i / EEPROM_PAGE_SIZE;
		int offset = i % EEPROM_PAGE_SIZE;
		values[i] = static_cast<std::uint16_t>(iic.ReadByte(EepromWrite(page), offset));
		// A file must hold only bytes that were really read.
		if (iic.TestAndClearError()) {
			CString text;
			text.Format("Reading EEPROM page %d at 0x%x failed; no file was written.", page,
				    offset);
			AfxMessageBox(text);
			m_ctlProgress.SetPos(0);
			return;
		}
		if (i % kCamToFileBytesPerStep == 0)
			m_ctlProgress.StepIt();
	}

	settings::SaveResult saved = settings::SaveSettingsFile(m_strFilePath.str(), values);
	if (!saved.ok) {
		CString text;
		text.Format("The settings file %s was not written: %s.", m_strFilePath.GetString(),
			    saved.reason.c_str());
		AfxMessageBox(text);
	}
	m_ctlProgress.SetPos(0);
}

void CVelmoraDlg::OnBnClickedFileToCam()
{
	m_ctlProgress.SetRange(1, kFileToCamRange);
	m_ctlProgress.SetPos(0);
	if (m_strFilePath.IsEmpty()) {
		AfxMessageBox("Please enter file name!");
		return;
	}

	CWaitCursor wait;
	// A damaged file never reaches the EEPROM: it is refused whole.
	int pages = LoadIntoTable(m_strFilePath, kNothingWritten);
	if (pages == 0)
		return;
	m_nPageCount = static_cast<std::int16_t>(pages);
	m_ctlProgress.SetStep(1);
	WriteFileToEeprom();
	m_ctlProgress.SetPos(0);
}

void CVelmoraDlg::WriteFileToEeprom()
{
	CIICTransfer iic;
	for (int page = 0; page < m_nPageCount; page++) {
		for (int sub = 0; sub < EEPROM_PAGE_SIZE; sub += kBlockSize) {
			iic.WriteBlock(EepromWrite(page), sub, &s_anFileValues[page * EEPROM_PAGE_SIZE + sub],
				       kBlockSize);
			if (iic.TestAndClearError()) {
				AfxMessageBox("error during writing to 0xa2 (QMX-EEprom), action stopped!");
				return;
			}
			Sleep(kEepromWritePause);
			if (sub % kWriteStepEvery == 0)
				m_ctlProgress.StepIt();
		}
	}
	VerifyEeprom();
}

void CVelmoraDlg::VerifyEeprom()
{
	m_ctlProgress.SetRange(1, kFileToCamRange);
	// Compared with the file as it is now on disk.
	int pages = LoadIntoTable(m_strFilePath, kNotVerified);
	if (pages == 0)
		return;
	if (pages != m_nPageCount) {
		ShowFileRefusal(m_strFilePath, "it changed while it was written", kNotVerified);
		return;
	}
	m_ctlProgress.SetStep(1);
	bool failed = ReadBackEeprom();
	m_ctlProgress.SetPos(0);
	if (!failed)
		CompareWithFile();
}

bool CVelmoraDlg::ReadBackEeprom()
{
	CIICTransfer iic;
	for (int i = 0; i < m_nPageCount * EEPROM_PAGE_SIZE; i++) {
		s_anReadBack[i] = static_cast<std::uint16_t>(
			iic.ReadByte(EepromRead(i / EEPROM_PAGE_SIZE), i % EEPROM_PAGE_SIZE));
		if (iic.TestAndClearError()) {
			AfxMessageBox("error during Reading back from QMX EEProm ");
			return true;
		}
		if (i % 2 == 0)
			m_ctlProgress.StepIt();
	}
	return false;
}

// Every page written is compared, so corruption anywhere is reported.
void CVelmoraDlg::CompareWithFile()
{
	for (int i = 0; i < m_nPageCount * EEPROM_PAGE_SIZE; i++) {
		if (s_anReadBack[i] != s_anFileValues[i]) {
			CString text;
			text.Format("QMX file in EEprom corrupt; addr %x: %x %x ", i, s_anReadBack[i],
				    s_anFileValues[i]);
			AfxMessageBox(text);
			return;
		}
	}
}
