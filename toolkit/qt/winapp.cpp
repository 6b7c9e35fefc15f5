#include "../winapp.h"

#include "../resources.h"

#include <QApplication>

namespace {
CWinApp *g_app = nullptr;
}

CWinApp::CWinApp(const char *appName) : m_pszAppName(appName)
{
	g_app = this;
}

CWinApp::~CWinApp()
{
	if (g_app == this)
		g_app = nullptr;
}

BOOL CWinApp::InitInstance()
{
	return TRUE;
}

HICON CWinApp::LoadIcon(UINT id) const
{
	return AfxFindIcon(id);
}

CWinApp *AfxGetApp()
{
	return g_app;
}

int AfxWinMain(int argc, char **argv)
{
	QApplication application(argc, argv);
	CWinApp *app = AfxGetApp();
	if (!app)
		return 1;
	QApplication::setApplicationName(QString::fromUtf8(app->m_pszAppName));
	if (!app->InitInstance())
		return 0;
	return QApplication::exec();
}
