// Slider/edit pairs: the edit is the master. A slider step only writes a
// new text into its edit; the edit's change handler checks the text,
// stores the value, moves the thumb and writes the camera.
#include "VelmoraDlg.h"

#include "resource.h"

#include <cctype>
#include <cstdlib>

using namespace kl310;

struct CVelmoraDlg::SliderPair {
	CScrollBar CVelmoraDlg::*bar;
	CEdit CVelmoraDlg::*edit;
	CString CVelmoraDlg::*text;
	int length;  // exact number of hex digits the edit must hold
	int limit;   // typing limit set on the edit, 0 for none
	int largest; // larger values are replaced by this one
	const char *format;
};

const CVelmoraDlg::SliderPair CVelmoraDlg::kShutterPair = {
	&CVelmoraDlg::m_ctlShutterScroll,
	&CVelmoraDlg::m_ctlShutterEdit,
	&CVelmoraDlg::m_strShutter,
	3,
	0,
	SHUTTER_MAX,
	"%3.3x",
};
const CVelmoraDlg::SliderPair CVelmoraDlg::kAexRefPair = {
	&CVelmoraDlg::m_ctlAexRefScroll,
	&CVelmoraDlg::m_ctlAexRefEdit,
	&CVelmoraDlg::m_strAexRef,
	2,
	2,
	AEX_REF_MAX,
	"%2.2x",
};
const CVelmoraDlg::SliderPair CVelmoraDlg::kSharpnessPair = {
	&CVelmoraDlg::m_ctlSharpnessScroll,
	&CVelmoraDlg::m_ctlSharpnessEdit,
	&CVelmoraDlg::m_strSharpness,
	1,
	1,
	SHARPNESS_MAX,
	"%1.1x",
};
const CVelmoraDlg::SliderPair CVelmoraDlg::kRedGreenPair = {
	&CVelmoraDlg::m_ctlRedGreenScroll,
	&CVelmoraDlg::m_ctlRedGreenEdit,
	&CVelmoraDlg::m_strRedGreen,
	2,
	2,
	WB_GAIN_MAX,
	"%2.2x",
};
const CVelmoraDlg::SliderPair CVelmoraDlg::kBlueGreenPair = {
	&CVelmoraDlg::m_ctlBlueGreenScroll,
	&CVelmoraDlg::m_ctlBlueGreenEdit,
	&CVelmoraDlg::m_strBlueGreen,
	2,
	2,
	WB_GAIN_MAX,
	"%2.2x",
};

void CVelmoraDlg::OnHScroll(UINT nSBCode, UINT nPos, CScrollBar *pScrollBar)
{
	const SliderPair *const pairs[] = { &kAexRefPair, &kShutterPair, &kSharpnessPair, &kRedGreenPair,
					    &kBlueGreenPair };
	const SliderPair *pair = nullptr;
	for (const SliderPair *candidate : pairs) {
		if (pScrollBar == &(this->*candidate->bar)) {
			pair = candidate;
			break;
		}
	}
	if (!pair)
		return;

	CScrollBar &bar = this->*pair->bar;
	int pos = bar.GetScrollPos();
	int minPos = 0;
	int maxPos = 0;
	int value;
	switch (nSBCode) {
	case SB_LINELEFT:
		bar.GetScrollRange(&minPos, &maxPos);
		value = pos > minPos ? pos - 1 : pos;
		break;
	case SB_LINERIGHT:
		bar.GetScrollRange(&minPos, &maxPos);
		value = pos < maxPos ? pos + 1 : pos;
		break;
	case SB_THUMBPOSITION:
		value = static_cast<int>(nPos);
		break;
	default:
		CDialog::OnHScroll(nSBCode, nPos, pScrollBar);
		return;
	}

	// Also an unchanged text reaches the change handler, which writes again.
	CString text;
	text.Format(pair->format, value);
	(this->*pair->edit).SetWindowText(text);
}

std::optional<int> CVelmoraDlg::TakeSliderText(const SliderPair &pair)
{
	CEdit &edit = this->*pair.edit;
	if (pair.limit > 0)
		edit.LimitText(pair.limit);
	if (edit.LineLength(-1) != pair.length)
		return std::nullopt;

	char line[8] = {};
	if (edit.GetLine(0, line, sizeof(line) - 1) != pair.length)
		return std::nullopt;
	for (int i = 0; i < pair.length; i++) {
		if (!std::isxdigit(static_cast<unsigned char>(line[i])))
			return std::nullopt;
	}

	int value = static_cast<int>(std::strtoul(line, nullptr, 16));
	if (value > pair.largest) {
		// The new text raises this handler again, nested: the largest value
		// is written there, and once more when this run goes on.
		value = pair.largest;
		CString text;
		text.Format(pair.format, value);
		edit.SetWindowText(text);
		this->*pair.text = text;
	}
	return value;
}

// A thumb routine collects the controls first: a text a caller has
// formatted but not shown yet is lost, so callers format afterwards.
void CVelmoraDlg::MoveThumb(CScrollBar &bar, int pos)
{
	UpdateData(TRUE);
	SetSliderPosition(bar, pos);
	UpdateData(FALSE);
}

void CVelmoraDlg::UpdateShutterScroll()
{
	MoveThumb(m_ctlShutterScroll, m_nShutter);
}

void CVelmoraDlg::UpdateAexRefScroll()
{
	MoveThumb(m_ctlAexRefScroll, m_nAexRef & 0xFF);
}

void CVelmoraDlg::UpdateSharpnessScroll()
{
	MoveThumb(m_ctlSharpnessScroll, m_nSharpness);
}

void CVelmoraDlg::UpdateRedGreenScroll()
{
	MoveThumb(m_ctlRedGreenScroll, m_nRedGreen);
}

void CVelmoraDlg::UpdateBlueGreenScroll()
{
	MoveThumb(m_ctlBlueGreenScroll, m_nBlueGreen);
}
