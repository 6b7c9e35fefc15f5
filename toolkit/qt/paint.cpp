// Drawing inside a dialog's paint handler, and the system metrics it uses.
#include "../wnd.h"

#include "../resources.h"

#include <QIcon>
#include <QPainter>
#include <QWidget>

struct CPaintDC::Painter {
	explicit Painter(QWidget *w) : widget(w), painter(w) {}
	QWidget *widget;
	QPainter painter;
};

CPaintDC::CPaintDC(CWnd *wnd) : m_painter(new Painter(wnd->GetSafeHwnd())) {}

CPaintDC::~CPaintDC()
{
	delete m_painter;
}

void CPaintDC::EraseBackground()
{
	m_painter->painter.fillRect(m_painter->widget->rect(), m_painter->widget->palette().window());
}

BOOL CPaintDC::DrawIcon(int x, int y, HICON icon)
{
	if (!icon)
		return FALSE;
	int size = GetSystemMetrics(SM_CXICON);
	QIcon(QString::fromUtf8(icon->path)).paint(&m_painter->painter, x, y, size, size);
	return TRUE;
}

int GetSystemMetrics(int index)
{
	// The size of a large icon, as on the panel's original platform.
	return index == SM_CXICON || index == SM_CYICON ? 32 : 0;
}
