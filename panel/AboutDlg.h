// The About box: program icon, name and version, and the bus the panel
// talks to; "OK" closes it.
#pragma once

#include "dialog.h"

class CAboutDlg : public CDialog
{
public:
	CAboutDlg();
	BOOL OnInitDialog() override;

	DECLARE_MESSAGE_MAP()
};
