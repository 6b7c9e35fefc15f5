// Window and control objects of the dialog toolkit.
//
// A CWnd is the program's handle on one control of a dialog (or on the
// dialog itself). Control objects attach to their control during the data
// exchange; GetDlgItem hands out one per identifier. The handlers see only
// these classes; the widgets behind them are the toolkit's business.
#pragma once

#include "afxtypes.h"
#include "cstring.h"

class QWidget;
class CDialog;

class CWnd
{
public:
	CWnd() = default;
	virtual ~CWnd();
	CWnd(const CWnd &) = delete;
	CWnd &operator=(const CWnd &) = delete;

	BOOL EnableWindow(BOOL enable = TRUE);
	BOOL IsWindowEnabled() const;
	BOOL IsWindowVisible() const;

	// On a single-line edit, outside a data exchange, this raises the edit's
	// change handler before it returns, also when the text does not change.
	void SetWindowText(const char *text);
	CString GetWindowText() const;

	int GetDlgCtrlID() const;
	LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

	void Attach(QWidget *widget);
	void Detach() { m_hWnd = nullptr; }
	QWidget *GetSafeHwnd() const { return m_hWnd; }

protected:
	QWidget *m_hWnd = nullptr;
};

class CButton : public CWnd
{
public:
	void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
	int GetCheck() { return static_cast<int>(SendMessage(BM_GETCHECK)); }
};

class CEdit : public CWnd
{
public:
	// Limits what the operator can type; an existing longer text stays.
	void LimitText(int maxChars) { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(maxChars)); }
	int LineLength(int charIndex = -1);
	// Copies line nIndex without a terminating zero; returns the count copied.
	int GetLine(int nIndex, char *buffer, int maxLength);
};

class CScrollBar : public CWnd
{
public:
	void SetScrollRange(int minPos, int maxPos, BOOL redraw = TRUE);
	void GetScrollRange(int *minPos, int *maxPos) const;
	int GetScrollPos() const;
	int SetScrollPos(int pos, BOOL redraw = TRUE);
	BOOL GetScrollInfo(SCROLLINFO *info, UINT mask = SIF_ALL) const;
	BOOL SetScrollInfo(SCROLLINFO *info, BOOL redraw = TRUE);
};

class CProgressCtrl : public CWnd
{
public:
	void SetRange(short lower, short upper);
	void GetRange(int &lower, int &upper) const;
	int SetPos(int pos);
	int GetPos() const;
	int SetStep(int step);
	int StepIt();
};

// The panel's window menu. Items carry system-command identifiers that
// reach the dialog's OnSysCommand.
class CMenu
{
public:
	explicit CMenu(void *menu) : m_menu(menu) {}
	BOOL AppendMenu(UINT flags, UINT idNewItem = 0, const char *text = nullptr);
	int GetMenuItemCount() const;

private:
	void *m_menu;
};

// Drawing inside OnPaint.
class CPaintDC
{
public:
	explicit CPaintDC(CWnd *wnd);
	~CPaintDC();
	CPaintDC(const CPaintDC &) = delete;
	CPaintDC &operator=(const CPaintDC &) = delete;

	void EraseBackground();
	BOOL DrawIcon(int x, int y, HICON icon);

private:
	struct Painter;
	Painter *m_painter;
};
