#include "AboutDlg.h"

#include "BusCaption.h"
#include "resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

BOOL CAboutDlg::OnInitDialog()
{
	CDialog::OnInitDialog();
	if (CWnd *bus = GetDlgItem(IDC_ABOUT_BUS))
		bus->SetWindowText(BusAboutText(iicbus::LastBus()).c_str());
	return TRUE;
}

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
END_MESSAGE_MAP()
