// The About box: program icon, name and version; "OK" closes it.
#pragma once

#include "dialog.h"

class CAboutDlg : public CDialog
{
public:
	CAboutDlg();

	DECLARE_MESSAGE_MAP()
};
