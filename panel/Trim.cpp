// Image trim: shifting the output image in steps of 2, and keeping the
// two trims in EEPROM page 4 next to the trim table the sensor needs with
// every move.
#include "VelmoraDlg.h"

#include "ControlGroups.h"
#include "IICTransfer.h"
#include "MessageBoxSink.h"
#include "msgbox.h"
#include "resource.h"
#include "waitcursor.h"

#include <algorithm>

using namespace kl310;
using namespace panel;

namespace {

constexpr int kTrimTableReads = 37;
constexpr int kTrimTableChunk = 16;

constexpr char kTrimUndone[] = "The image trim was not applied completely.";
constexpr char kTrimNotStored[] =
	"The image trim was moved but not stored with STORE. The camera keeps the moved picture only "
	"until it is switched off, and the trim boxes show the stored trim whenever the panel reads "
	"the camera again.\n\nStore the image trim now?";

// Up to one window of table bytes, two per register, high byte first.
bool WriteParamWindow(CIICTransfer &iic, const std::uint8_t *bytes, int count)
{
	for (int i = 0; i < count / 2; i++) {
		if (!iic.WriteReg16(DEV_SENSOR_WRITE, PARAM_WINDOW_REGS[i],
				    bytes[2 * i] << 8 | bytes[2 * i + 1]))
			return false;
	}
	return true;
}

} // namespace

// The last two steps of the read-back: the trims, then the table.
bool CVelmoraDlg::ReadBackTrim(CIICTransfer &iic)
{
	// The trims STORE would write are the camera's, or stay as they were.
	int horizontal = iic.ReadByte(EepromRead(PAGE_TRIM), OFFSET_TRIM_HORIZONTAL);
	if (iic.TestAndClearError() || iic.Failed())
		return true;
	m_nTrimHorizontal = static_cast<std::int16_t>(horizontal);
	// From here the boxes show the stored trim.
	m_bTrimUnstored = false;
	if (m_nTrimHorizontal == NO_TRIM) {
		for (int id : kTrimControls)
			EnableControl(id, FALSE);
		UpdateData(TRUE);
		m_strTrimVertical = "not active";
		m_strTrimHorizontal = "not active";
		UpdateData(FALSE);
		return false;
	}
	for (int id : kTrimControls)
		EnableControl(id, TRUE);
	int vertical = iic.ReadByte(EepromRead(PAGE_TRIM), OFFSET_TRIM_VERTICAL);
	if (iic.Failed())
		return true;
	m_nTrimVertical = static_cast<std::int16_t>(vertical);
	ShowTrim();

	// Plain reads: the EEPROM's address counter stands at page 4 offset 2
	// after the read of offset 1 and moves on by 16 with every read.
	for (int i = 0; i < kTrimTableReads; i++) {
		int off = i * kTrimTableChunk;
		int page = PAGE_TRIM + off / EEPROM_PAGE_SIZE;
		if (!iic.ReadRaw(EepromRead(page), &m_abTrimTable[OFFSET_TRIM_TABLE + off], kTrimTableChunk))
			return true;
	}
	return false;
}

void CVelmoraDlg::ShowTrim()
{
	if (m_nTrimHorizontal > TRIM_MAX)
		m_nTrimHorizontal = TRIM_MAX;
	if (m_nTrimVertical > TRIM_MAX)
		m_nTrimVertical = TRIM_MAX;
	m_nTrimHorizontal = static_cast<std::int16_t>(m_nTrimHorizontal & TRIM_EVEN);
	m_nTrimVertical = static_cast<std::int16_t>(m_nTrimVertical & TRIM_EVEN);

	UpdateData(TRUE);
	if (m_nTrimHorizontal == 0)
		m_strTrimHorizontal = "Max Right";
	else if (m_nTrimHorizontal == TRIM_MAX)
		m_strTrimHorizontal = "Max Left";
	else
		m_strTrimHorizontal.Format("%x", m_nTrimHorizontal);
	if (m_nTrimVertical == 0)
		m_strTrimVertical = "Max down";
	else if (m_nTrimVertical == TRIM_MAX)
		m_strTrimVertical = "Max up";
	else
		m_strTrimVertical.Format("%x", m_nTrimVertical);
	UpdateData(FALSE);
}

void CVelmoraDlg::OnBnClickedTrimLeft()
{
	MoveTrim(m_nTrimHorizontal, TRIM_STEP);
}

void CVelmoraDlg::OnBnClickedTrimRight()
{
	MoveTrim(m_nTrimHorizontal, -TRIM_STEP);
}

void CVelmoraDlg::OnBnClickedTrimUp()
{
	MoveTrim(m_nTrimVertical, TRIM_STEP);
}

void CVelmoraDlg::OnBnClickedTrimDown()
{
	MoveTrim(m_nTrimVertical, -TRIM_STEP);
}

// A press at the limit does nothing at all; the buttons stay enabled there.
// A move counts only once the sensor has applied it: after a failure the
// trims go back to where they were, so STORE never keeps a trim the
// sensor never took.
void CVelmoraDlg::MoveTrim(std::int16_t &trim, int step)
{
	trim = static_cast<std::int16_t>(trim & TRIM_EVEN);
	if (trim == (step > 0 ? TRIM_MAX : 0))
		return;

	CWaitCursor wait;
	EnableTrimButtons(FALSE);
	const std::int16_t before = trim;
	trim = static_cast<std::int16_t>(std::clamp(trim + step, 0, TRIM_MAX));
	bool applied = ApplyTrim(m_nTrimHorizontal, m_nTrimVertical, m_abTrimTable);
	if (!applied)
		trim = before;
	else
		m_bTrimUnstored = true;
	ShowTrim();
	EnableTrimButtons(TRUE);
	if (!applied)
		ShowUndone(kTrimUndone);
}

// Both trims, the parameter block, then the streamed table in window-sized
// chunks, each taken in by command 0x8304; 0x8305 applies the whole.
// False at the first failure; true once the apply command is done.
bool CVelmoraDlg::ApplyTrim(int horizontal, int vertical, const std::uint8_t *table)
{
	CIICTransfer iic(CMessageBoxSink::Instance());
	if (!iic.WriteReg16(DEV_SENSOR_WRITE, REG_TRIM_HORIZONTAL, horizontal & 0xFF) ||
	    !iic.WriteReg16(DEV_SENSOR_WRITE, REG_TRIM_VERTICAL, vertical & 0xFF) ||
	    !iic.WriteReg16(DEV_SENSOR_WRITE, REG_TRIM_SELECT, TRIM_SELECT_VALUE))
		return false;

	for (int i = 0; i < TRIM_BLOCK_SIZE; i++) {
		const std::uint8_t *value = &table[TRIM_TABLE_BLOCK + 2 * i];
		if (!iic.WriteReg16(DEV_SENSOR_WRITE, TRIM_BLOCK_REGS[i], value[0] << 8 | value[1]))
			return false;
	}

	int last = TRIM_TABLE_STREAM;
	for (int i = TRIM_TABLE_STREAM; i < TRIM_TABLE_STREAM_END; i += PARAM_WINDOW_BYTES) {
		if (!WriteParamWindow(iic, &table[i],
				      std::min(PARAM_WINDOW_BYTES, TRIM_TABLE_STREAM_END - i)) ||
		    !IssueCommand(iic, COMMAND_TRIM_CHUNK))
			return false;
		last = i;
	}
	// The camera takes one more chunk before the apply: the short last
	// chunk goes once more.
	return WriteParamWindow(iic, &table[last], TRIM_TABLE_STREAM_END - last) &&
	       IssueCommand(iic, COMMAND_TRIM_CHUNK) && IssueCommand(iic, COMMAND_TRIM_APPLY);
}

// The sensor clears bit 15 of its command register when the command is
// done. A command still busy after the last poll failed, and says so.
bool CVelmoraDlg::IssueCommand(CIICTransfer &iic, int command)
{
	if (!iic.WriteReg16(DEV_SENSOR_WRITE, REG_COMMAND, command))
		return false;
	for (int poll = 0; poll < COMMAND_POLLS; poll++) {
		int value = iic.ReadReg16(DEV_SENSOR_READ, REG_COMMAND);
		if (iic.Status() != 0)
			return false;
		if (!(value & COMMAND_BUSY))
			return true;
	}
	CString text;
	text.Format("The camera did not finish command 0x%04x.", command);
	AfxMessageBox(text);
	return false;
}

void CVelmoraDlg::EnableTrimButtons(BOOL on)
{
	for (int id : kTrimButtons)
		EnableControl(id, on);
}

void CVelmoraDlg::OnBnClickedStore()
{
	(void)StoreTrim();
}

bool CVelmoraDlg::StoreTrim()
{
	m_nTrimHorizontal = static_cast<std::int16_t>(m_nTrimHorizontal & TRIM_EVEN);
	m_nTrimVertical = static_cast<std::int16_t>(m_nTrimVertical & TRIM_EVEN);
	CIICTransfer iic(CMessageBoxSink::Instance());
	if (!iic.WriteBytePair(EepromWrite(PAGE_TRIM), OFFSET_TRIM_HORIZONTAL, m_nTrimHorizontal,
			       m_nTrimVertical))
		return false;
	m_bTrimUnstored = false;
	return true;
}

// The sensor cannot be asked for its trim: the boxes show the stored one
// whenever the panel reads the camera, while a move not stored lasts in
// the camera until it is switched off. So the panel does not let such a
// move go without asking.
bool CVelmoraDlg::MayLeaveTrim()
{
	if (!m_bTrimUnstored)
		return true;
	switch (AfxMessageBox(kTrimNotStored, MB_YESNOCANCEL)) {
	case IDYES:
		return StoreTrim();
	case IDNO:
		return true;
	default:
		return false;
	}
}

void CVelmoraDlg::OnOK()
{
	if (MayLeaveTrim())
		CDialog::OnOK();
}

void CVelmoraDlg::OnCancel()
{
	if (MayLeaveTrim())
		CDialog::OnCancel();
}
