// The message table: a static table per dialog class that routes control
// notifications and window messages to member handlers.
//
//   BEGIN_MESSAGE_MAP(CMyDlg, CDialog)
//       ON_BN_CLICKED(IDC_GO, &CMyDlg::OnBnClickedGo)
//       ON_WM_HSCROLL()
//   END_MESSAGE_MAP()
#pragma once

#include "afxtypes.h"

#include <variant>

class CDialog;
class CScrollBar;

using AFX_PMSG_V = void (CDialog::*)();
using AFX_PMSG_HSCROLL = void (CDialog::*)(UINT, UINT, CScrollBar *);
using AFX_PMSG_SYSCOMMAND = void (CDialog::*)(UINT, LPARAM);
using AFX_PMSG_QUERYICON = HCURSOR (CDialog::*)();
using AFX_PMSG_NOTIFY = void (CDialog::*)(NMHDR *, LRESULT *);
using AFX_PMSG_ACTIVATEAPP = void (CDialog::*)(BOOL, DWORD);

using AFX_PMSG = std::variant<std::monostate, AFX_PMSG_V, AFX_PMSG_HSCROLL, AFX_PMSG_SYSCOMMAND,
			      AFX_PMSG_QUERYICON, AFX_PMSG_NOTIFY, AFX_PMSG_ACTIVATEAPP>;

struct AFX_MSGMAP_ENTRY {
	UINT nMessage; // WM_COMMAND, WM_NOTIFY, WM_HSCROLL, ...
	UINT nCode;    // notification code for WM_COMMAND and WM_NOTIFY
	int nID;       // control identifier, 0 for window messages
	AFX_PMSG pfn;  // monostate ends the table
};

struct AFX_MSGMAP {
	const AFX_MSGMAP *(*pfnGetBaseMap)();
	const AFX_MSGMAP_ENTRY *lpEntries;
};

#define DECLARE_MESSAGE_MAP()                         \
public:                                               \
	static const AFX_MSGMAP *GetThisMessageMap(); \
	const AFX_MSGMAP *GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                   \
	const AFX_MSGMAP *theClass::GetMessageMap() const        \
	{                                                        \
		return GetThisMessageMap();                      \
	}                                                        \
	const AFX_MSGMAP *theClass::GetThisMessageMap()          \
	{                                                        \
		using ThisClass [[maybe_unused]] = theClass;     \
		using TheBaseClass [[maybe_unused]] = baseClass; \
		static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                               \
	{                                                                                               \
		0, 0, 0, AFX_PMSG {}                                                                    \
	}                                                                                               \
	}                                                                                               \
	;                                                                                               \
	static const AFX_MSGMAP messageMap = { &TheBaseClass::GetThisMessageMap, &_messageEntries[0] }; \
	return &messageMap;                                                                             \
	}

#define ON_BN_CLICKED(id, memberFxn) \
	{ WM_COMMAND, BN_CLICKED, (id), AFX_PMSG{ static_cast<AFX_PMSG_V>(memberFxn) } },
#define ON_EN_CHANGE(id, memberFxn) \
	{ WM_COMMAND, EN_CHANGE, (id), AFX_PMSG{ static_cast<AFX_PMSG_V>(memberFxn) } },
#define ON_NOTIFY(code, id, memberFxn) \
	{ WM_NOTIFY, (code), (id), AFX_PMSG{ static_cast<AFX_PMSG_NOTIFY>(memberFxn) } },
#define ON_WM_HSCROLL() \
	{ WM_HSCROLL, 0, 0, AFX_PMSG{ static_cast<AFX_PMSG_HSCROLL>(&ThisClass::OnHScroll) } },
#define ON_WM_SYSCOMMAND() \
	{ WM_SYSCOMMAND, 0, 0, AFX_PMSG{ static_cast<AFX_PMSG_SYSCOMMAND>(&ThisClass::OnSysCommand) } },
#define ON_WM_ACTIVATEAPP() \
	{ WM_ACTIVATEAPP, 0, 0, AFX_PMSG{ static_cast<AFX_PMSG_ACTIVATEAPP>(&ThisClass::OnActivateApp) } },
#define ON_WM_PAINT() { WM_PAINT, 0, 0, AFX_PMSG{ static_cast<AFX_PMSG_V>(&ThisClass::OnPaint) } },
#define ON_WM_QUERYDRAGICON() \
	{ WM_QUERYDRAGICON, 0, 0, AFX_PMSG{ static_cast<AFX_PMSG_QUERYICON>(&ThisClass::OnQueryDragIcon) } },
