// Basic types and message constants of the dialog toolkit.
//
// Handlers are written against these names so that they read like the
// panel's design; the values only matter inside the toolkit.
#pragma once

#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using DWORD = unsigned long;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using INT_PTR = std::intptr_t;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Dialog results and the two standard button identifiers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Button messages and states.
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;

// Edit messages.
constexpr UINT EM_LINELENGTH = 0x00C1;
constexpr UINT EM_GETLINE = 0x00C4;
constexpr UINT EM_LIMITTEXT = 0x00C5;

// Progress bar messages.
constexpr UINT PBM_SETRANGE = 0x0401;
constexpr UINT PBM_SETPOS = 0x0402;
constexpr UINT PBM_STEPIT = 0x0405;
constexpr UINT PBM_SETSTEP = 0x0404;

// Window messages that reach a dialog's message table.
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_ACTIVATEAPP = 0x001C; // the program as a whole gains or loses the user
constexpr UINT WM_QUERYDRAGICON = 0x0037;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_HSCROLL = 0x0114;

// Notification codes.
constexpr UINT BN_CLICKED = 0;
constexpr UINT EN_CHANGE = 0x0300;
constexpr UINT NM_CUSTOMDRAW = static_cast<UINT>(-12);
constexpr UINT NM_THEMECHANGED = static_cast<UINT>(-71);

// Scroll codes of WM_HSCROLL.
constexpr UINT SB_LINELEFT = 0;
constexpr UINT SB_LINERIGHT = 1;
constexpr UINT SB_PAGELEFT = 2;
constexpr UINT SB_PAGERIGHT = 3;
constexpr UINT SB_THUMBPOSITION = 4;
constexpr UINT SB_THUMBTRACK = 5;
constexpr UINT SB_LEFT = 6;
constexpr UINT SB_RIGHT = 7;
constexpr UINT SB_ENDSCROLL = 8;
constexpr int SB_CTL = 2;

// Scroll information fields.
constexpr UINT SIF_RANGE = 0x0001;
constexpr UINT SIF_PAGE = 0x0002;
constexpr UINT SIF_POS = 0x0004;
constexpr UINT SIF_TRACKPOS = 0x0010;
constexpr UINT SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;

struct SCROLLINFO {
	UINT cbSize = sizeof(SCROLLINFO);
	UINT fMask = 0;
	int nMin = 0;
	int nMax = 0;
	UINT nPage = 0;
	int nPos = 0;
	int nTrackPos = 0;
};

// System commands of the window menu.
constexpr UINT SC_MOVE = 0xF010;
constexpr UINT SC_MINIMIZE = 0xF020;
constexpr UINT SC_CLOSE = 0xF060;
constexpr UINT SC_RESTORE = 0xF120;

// Menu item flags.
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_SEPARATOR = 0x0800;

// System metrics.
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
int GetSystemMetrics(int index);

// Header of a WM_NOTIFY notification.
struct NMHDR {
	void *hwndFrom = nullptr;
	std::uintptr_t idFrom = 0;
	UINT code = 0;
};

struct CRect {
	int left = 0;
	int top = 0;
	int right = 0;
	int bottom = 0;
	int Width() const { return right - left; }
	int Height() const { return bottom - top; }
};

// An icon or bitmap resource, as loaded from the resource table.
struct ImageResource;
using HICON = const ImageResource *;
using HCURSOR = HICON;
