// Data exchange between a dialog's controls and its members.
//
// A failing validation stops the exchange: the remaining members keep
// their values and UpdateData returns FALSE.
#pragma once

#include "afxtypes.h"
#include "cstring.h"

#include <utility>
#include <vector>

class CDialog;
class CWnd;

class CDataExchange
{
public:
	CDataExchange(CDialog *dialog, BOOL saveAndValidate)
		: m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog)
	{}

	// Reports nothing itself: the failing check has shown its message. Moves
	// the focus to the control that failed.
	void Fail();
	bool Failed() const { return m_bFailed; }

	// The edit a text member was exchanged with, so that a failing check
	// on that member lands the operator on the right edit.
	void NoteTextControl(const CString *member, int id) { m_textControls.emplace_back(member, id); }
	int TextControlOf(const CString *member) const;

	BOOL m_bSaveAndValidate;
	CDialog *m_pDlgWnd;
	int m_idLastControl = 0;

private:
	bool m_bFailed = false;
	std::vector<std::pair<const CString *, int>> m_textControls;
};

void DDX_Control(CDataExchange *dx, int id, CWnd &control);
void DDX_Text(CDataExchange *dx, int id, CString &value);
void DDX_Check(CDataExchange *dx, int id, BOOL &value);
void DDV_MaxChars(CDataExchange *dx, const CString &value, int maxChars);
