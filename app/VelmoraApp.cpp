#include "VelmoraApp.h"

#include "VelmoraDlg.h"
#include "velmora_resources.h"

CVelmoraApp::CVelmoraApp() : CWinApp("Velmora")
{
	AfxSetResourceTable(&VelmoraResources());
}

BOOL CVelmoraApp::InitInstance()
{
	AfxEnableControlContainer();

	CVelmoraDlg dlg;
	dlg.SetPictureSource(m_picture);
	m_pMainWnd = &dlg;
	dlg.DoModal();
	m_pMainWnd = nullptr;

	// "OK" and "Cancel" end the program alike; nothing is written on the way out.
	return FALSE;
}
