// CFileDialog: the file-open (or save-as) dialog.
//
// The filter is given as pairs of caption and pattern, each ended by '|',
// the list ended by a second '|': "Qmx files(.qmx)|*.qmx||".
#pragma once

#include "afxtypes.h"
#include "cstring.h"

#include <vector>

class CWnd;

constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;

// A place in the list of selected files; 0 when there is no further one.
using POSITION = std::intptr_t;

class CFileDialog
{
public:
	CFileDialog(BOOL openFileDialog, const char *defaultExt = nullptr, const char *fileName = nullptr,
		    DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char *filter = nullptr,
		    CWnd *parentWnd = nullptr);

	// IDOK when the operator chose a file, IDCANCEL otherwise.
	INT_PTR DoModal();

	// The first chosen path.
	CString GetPathName() const;
	POSITION GetStartPosition() const;
	CString GetNextPathName(POSITION &pos) const;

	// What the caller may set before DoModal.
	struct {
		// The folder the dialog opens in; nullptr: the last one a file
		// was chosen in, else the working folder.
		const char *lpstrInitialDir = nullptr;
	} m_ofn;

private:
	BOOL m_bOpenFileDialog;
	CString m_strDefaultExt;
	CString m_strFileName;
	DWORD m_dwFlags;
	CString m_strFilter;
	CWnd *m_pParentWnd;
	std::vector<CString> m_paths;
};
