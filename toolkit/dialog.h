// CDialog: a dialog built from a template, with a message table and the
// data exchange between its controls and the members of the derived class.
#pragma once

#include "afxtypes.h"
#include "msgmap.h"
#include "wnd.h"

#include <map>
#include <memory>

class CDataExchange;
class DialogHost;

class CDialog : public CWnd
{
public:
	explicit CDialog(UINT templateId, CWnd *parent = nullptr);
	~CDialog() override;

	// Runs the dialog modally; returns the value given to EndDialog.
	virtual INT_PTR DoModal();
	// Creates the dialog without running it (tools and tests drive it).
	BOOL Create();
	void DestroyWindow();
	void EndDialog(int result);

	BOOL UpdateData(BOOL saveAndValidate = TRUE);
	bool IsExchanging() const { return m_nExchangeDepth > 0; }

	CWnd *GetDlgItem(int id) const;
	UINT IsDlgButtonChecked(int id) const;
	void CheckDlgButton(int id, UINT check);
	CMenu *GetSystemMenu(BOOL revert);
	HICON SetIcon(HICON icon, BOOL bigIcon);
	BOOL IsIconic() const;
	void GetClientRect(CRect *rect) const;
	UINT GetTemplateId() const { return m_nTemplateId; }

	static const AFX_MSGMAP *GetThisMessageMap();
	virtual const AFX_MSGMAP *GetMessageMap() const;

	// Routes one message through the message table, or to the default
	// handling when no entry takes it. The toolkit's widgets call this.
	void Dispatch(UINT message, UINT code, int id, WPARAM wParam = 0, LPARAM lParam = 0,
		      LRESULT *result = nullptr);
	// The message table part of Dispatch: false when no entry took it.
	bool OnCmdMsg(UINT message, UINT code, int id, WPARAM wParam, LPARAM lParam, LRESULT *result);

protected:
	virtual BOOL OnInitDialog();
	virtual void DoDataExchange(CDataExchange *dx);
	virtual void OnOK();
	virtual void OnCancel();

	// Default handling of the window messages a derived table may take.
	void OnSysCommand(UINT id, LPARAM lParam);
	void OnPaint();
	void OnHScroll(UINT sbCode, UINT pos, CScrollBar *scrollBar);

private:
	friend class DialogHost;
	friend class CDataExchange;

	bool createWindow();
	void destroyWindow();
	void dispatchDefault(UINT message, UINT code, int id, WPARAM wParam, LPARAM lParam);
	static bool invoke(CDialog *self, const AFX_MSGMAP_ENTRY &entry, WPARAM wParam, LPARAM lParam,
			   LRESULT *result);

	UINT m_nTemplateId;
	CWnd *m_pParentWnd;
	DialogHost *m_host = nullptr;
	int m_nExchangeDepth = 0;
	int m_nModalResult = 0;
	bool m_bEnded = false; // EndDialog called during this run
	HICON m_hIconSet = nullptr;
	mutable std::map<int, std::unique_ptr<CWnd>> m_items;
	std::unique_ptr<CMenu> m_sysMenu;
};
