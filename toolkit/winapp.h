// The application object: exactly one, created before the program starts.
#pragma once

#include "afxtypes.h"

class CWnd;

class CWinApp
{
public:
	explicit CWinApp(const char *appName);
	virtual ~CWinApp();
	CWinApp(const CWinApp &) = delete;
	CWinApp &operator=(const CWinApp &) = delete;

	virtual BOOL InitInstance();
	HICON LoadIcon(UINT id) const;

	const char *m_pszAppName;
	CWnd *m_pMainWnd = nullptr;
};

CWinApp *AfxGetApp();
// Hosting of embedded controls: nothing to prepare on this toolkit.
inline void AfxEnableControlContainer() {}
// Creates the windowing session, runs InitInstance and, only if it returns
// TRUE, the application's own message loop.
int AfxWinMain(int argc, char **argv);
