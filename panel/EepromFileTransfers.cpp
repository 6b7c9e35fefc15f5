// Settings files: "Browse", the file name edit, "Cam --> File" and
// "File --> Cam" with its verification.
#include "VelmoraDlg.h"

#include "EepromEngine.h"
#include "FileName.h"
#include "IICTransfer.h"
#include "MessageBoxSink.h"
#include "Operations.h"
#include "filedlg.h"
#include "msgbox.h"
#include "resource.h"
#include "sleep.h"
#include "waitcursor.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

using namespace kl310;

namespace {

constexpr char kNothingWritten[] = "Nothing was written to the camera.";
constexpr char kNotVerified[] = "The EEPROM was written but not verified.";

// The panel's transfers: one byte at a time, a fixed pause after each write.
constexpr operations::ReadPlan kWriteFormRead{ 1, eeprom::ReadForm::Write,
					       operations::Compare::AfterReading };
constexpr operations::ReadPlan kReadBack{ 1, eeprom::ReadForm::Read, operations::Compare::AfterReading };

void ShowFileRefusal(const CString &path, const std::string &why, const char *consequence)
{
	CString text;
	text.Format("The settings file %s cannot be used: %s. %s", path.GetString(), why.c_str(),
		    consequence);
	AfxMessageBox(text);
}

} // namespace

// Loads the file into m_fileImage; the page count, or 0 after the refusal
// was shown.
int CVelmoraDlg::LoadIntoImage(const char *consequence)
{
	operations::Result loaded = operations::LoadSettings(m_strFilePath.str(), m_fileImage);
	if (!loaded.Ok()) {
		ShowFileRefusal(m_strFilePath, loaded.reason, consequence);
		return 0;
	}
	return m_fileImage.pages;
}

// The bar goes once from empty to full over a whole operation, in at most
// kProgressRange steps: stepping it for every transfer would cost more
// than the transfers on the simulator.
void CVelmoraDlg::StartOperationProgress(const eeprom::ProgressPlan &plan)
{
	m_progressPlan = plan;
	m_nProgressRange = std::clamp(plan.Transfers(), 1, kProgressRange);
	m_nProgressDone = 0;
	m_nProgressShown = 0;
	m_ctlProgress.SetRange(0, static_cast<short>(m_nProgressRange));
	m_ctlProgress.SetPos(0);
	m_ctlProgress.SetStep(1);
}

void CVelmoraDlg::StepOperationProgress()
{
	m_nProgressDone++;
	int due = m_progressPlan.Position(m_nProgressDone, m_nProgressRange);
	for (; m_nProgressShown < due; m_nProgressShown++)
		m_ctlProgress.StepIt();
}

eeprom::FixedPause CVelmoraDlg::EepromWritePause()
{
	return eeprom::FixedPause([](int ms) { Sleep(static_cast<DWORD>(ms)); }, EEPROM_WRITE_PAUSE_MS);
}

operations::Session CVelmoraDlg::EepromSession()
{
	return operations::Session(
		CMessageBoxSink::Instance(), [](int ms) { Sleep(static_cast<DWORD>(ms)); },
		EEPROM_WRITE_PAUSE_MS, [this] { StepOperationProgress(); });
}

void CVelmoraDlg::OnBnClickedBrowse()
{
	// An existing file, or a new one to name for "Cam --> File".
	CFileDialog dialog(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
			   "Qmx files(.qmx)|*.qmx||", nullptr);
	// In the folder of the file the edit names; else where the last one
	// was chosen.
	const std::string folder = settings::SettingsFileFolder(m_strFileName.str());
	std::error_code error;
	if (!folder.empty() && std::filesystem::is_directory(folder, error))
		dialog.m_ofn.lpstrInitialDir = folder.c_str();
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
	// No name, no file: "Please enter file name!" rather than a hidden ".qmx".
	m_strFilePath = settings::SettingsFilePath(m_strFileName.str());
}

void CVelmoraDlg::OnBnClickedCamToFile()
{
	StartOperationProgress(eeprom::ProgressPlan().Reads(eeprom::Engine::ReadTransfers(EEPROM_PAGES, 1)));
	if (m_strFilePath.IsEmpty()) {
		AfxMessageBox("Please enter file name!");
		return;
	}

	CWaitCursor wait;
	operations::Session session = EepromSession();
	eeprom::Engine &engine = session.Engine();
	operations::Result read = operations::ReadPagesToFile(engine, m_strFilePath.str(), kWriteFormRead,
							      operations::Previous::Keep);
	CString text;
	if (read.outcome == operations::ResultKind::FileNotWritten)
		text.Format("The settings file %s was not written: %s.", m_strFilePath.GetString(),
			    read.reason.c_str());
	else if (!read.Ok())
		text.Format(
			"Reading EEPROM page %d at 0x%x failed; no file was written. Check the camera and press "
			"Connect.",
			read.page, read.byte);
	// No bar stands full beside a failure: nothing was copied.
	m_ctlProgress.SetPos(0);
	if (!read.Ok())
		AfxMessageBox(text);
}

void CVelmoraDlg::OnBnClickedFileToCam()
{
	m_ctlProgress.SetPos(0);
	if (m_strFilePath.IsEmpty()) {
		AfxMessageBox("Please enter file name!");
		return;
	}

	CWaitCursor wait;
	// A damaged file never reaches the EEPROM: it is refused whole.
	int pages = LoadIntoImage(kNothingWritten);
	if (pages == 0)
		return;
	m_nPageCount = static_cast<std::int16_t>(pages);
	StartOperationProgress(eeprom::ProgressPlan()
				       .Writes(eeprom::Engine::WriteTransfers(pages), EepromWritePause())
				       .Reads(eeprom::Engine::ReadTransfers(pages, 1)));
	WriteFileToEeprom();
	m_ctlProgress.SetPos(0);
}

void CVelmoraDlg::WriteFileToEeprom()
{
	operations::Session session = EepromSession();
	eeprom::Engine &engine = session.Engine();
	operations::Result written = operations::WritePages(engine, m_fileImage);
	if (!written.Ok()) {
		CString text;
		text.Format("error during writing to 0x%x (QMX-EEprom), action stopped!", written.device);
		AfxMessageBox(text);
		return;
	}
	VerifyEeprom();
}

void CVelmoraDlg::VerifyEeprom()
{
	// Compared with the file as it is now on disk.
	int pages = LoadIntoImage(kNotVerified);
	if (pages == 0)
		return;
	if (pages != m_nPageCount) {
		ShowFileRefusal(m_strFilePath, "it changed while it was written", kNotVerified);
		return;
	}
	operations::Session session = EepromSession();
	eeprom::Engine &engine = session.Engine();
	operations::Result verified = operations::VerifyImage(engine, m_fileImage, kReadBack);
	bool mismatch = verified.outcome == operations::ResultKind::Mismatch;
	if (!verified.Ok() && !mismatch)
		AfxMessageBox("error during Reading back from QMX EEProm ");
	m_ctlProgress.SetPos(0);
	if (mismatch) {
		// Every page written is compared, so corruption anywhere is reported.
		CString text;
		text.Format("QMX file in EEprom corrupt; addr %x: %x %x ",
			    verified.page * EEPROM_PAGE_SIZE + verified.byte, verified.found,
			    verified.expected);
		AfxMessageBox(text);
	}
}
