// Settings files: "Browse", the file name edit, "Cam --> File" and
// "File --> Cam" with its verification.
#include "VelmoraDlg.h"

#include "EepromEngine.h"
#include "FileName.h"
#include "IICTransfer.h"
#include "SettingsFileFormat.h"
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

// The EEPROM takes this long to store a written block.
constexpr DWORD kEepromWritePause = 20;

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
	return eeprom::FixedPause([](int ms) { Sleep(static_cast<DWORD>(ms)); },
				  static_cast<int>(kEepromWritePause));
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
	std::uint16_t values[kEepromBytes] = {};
	CIICTransfer iic;
	eeprom::FixedPause pause = EepromWritePause();
	eeprom::Engine engine(iic, pause);
	engine.OnProgress([this] { StepOperationProgress(); });
	// A file must hold only bytes that were really read.
	if (!engine.ReadPages(0, EEPROM_PAGES, values, 1, eeprom::ReadForm::Write)) {
		const eeprom::Failure &failure = engine.LastFailure();
		CString text;
		text.Format(
			"Reading EEPROM page %d at 0x%x failed; no file was written. Check the camera and press "
			"Connect.",
			failure.page, failure.offset);
		AfxMessageBox(text);
		m_ctlProgress.SetPos(0);
		return;
	}

	// A file that held something else (often the golden file, picked with
	// Browse) is never lost without a word: its content stays as NAME~.
	settings::SaveResult kept = settings::KeepPreviousSettingsFile(m_strFilePath.str(), values);
	if (!kept.ok) {
		CString text;
		text.Format(
			"The settings file %s was not written: its previous content could not be kept as %s "
			"(%s).",
			m_strFilePath.GetString(),
			settings::PreviousSettingsFileName(m_strFilePath.str()).c_str(), kept.reason.c_str());
		AfxMessageBox(text);
		m_ctlProgress.SetPos(0);
		return;
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
	StartOperationProgress(eeprom::ProgressPlan()
				       .Writes(eeprom::Engine::WriteTransfers(pages), EepromWritePause())
				       .Reads(eeprom::Engine::ReadTransfers(pages, 1)));
	WriteFileToEeprom();
	m_ctlProgress.SetPos(0);
}

void CVelmoraDlg::WriteFileToEeprom()
{
	CIICTransfer iic;
	eeprom::FixedPause pause = EepromWritePause();
	eeprom::Engine engine(iic, pause);
	engine.OnProgress([this] { StepOperationProgress(); });
	if (!engine.WritePages(0, m_nPageCount, s_anFileValues)) {
		// The device of the page that failed, in the message's own form.
		CString text;
		text.Format("error during writing to 0x%x (QMX-EEprom), action stopped!",
			    EepromWrite(engine.LastFailure().page));
		AfxMessageBox(text);
		return;
	}
	VerifyEeprom();
}

void CVelmoraDlg::VerifyEeprom()
{
	// Compared with the file as it is now on disk.
	int pages = LoadIntoTable(m_strFilePath, kNotVerified);
	if (pages == 0)
		return;
	if (pages != m_nPageCount) {
		ShowFileRefusal(m_strFilePath, "it changed while it was written", kNotVerified);
		return;
	}
	bool failed = ReadBackEeprom();
	m_ctlProgress.SetPos(0);
	if (!failed)
		CompareWithFile();
}

bool CVelmoraDlg::ReadBackEeprom()
{
	CIICTransfer iic;
	eeprom::FixedPause pause = EepromWritePause();
	eeprom::Engine engine(iic, pause);
	engine.OnProgress([this] { StepOperationProgress(); });
	if (!engine.ReadPages(0, m_nPageCount, s_anReadBack, 1, eeprom::ReadForm::Read)) {
		AfxMessageBox("error during Reading back from QMX EEProm ");
		return true;
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
