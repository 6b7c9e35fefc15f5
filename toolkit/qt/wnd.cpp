#include "../wnd.h"

#include "dialog_host.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>
#include <cstring>

namespace {

DialogHost *hostOf(QWidget *widget)
{
	return widget ? dynamic_cast<DialogHost *>(widget->parentWidget()) : nullptr;
}

LRESULT buttonMessage(QAbstractButton *button, UINT message, WPARAM wParam)
{
	if (message == BM_GETCHECK)
		return button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
	if (message == BM_SETCHECK) {
		// A check state set by the program raises no click handler.
		QSignalBlocker blocker(button);
		button->setChecked(wParam != BST_UNCHECKED);
	}
	return 0;
}

LRESULT editMessage(QLineEdit *edit, UINT message, WPARAM wParam, LPARAM lParam)
{
	switch (message) {
	case EM_LIMITTEXT:
		if (DialogHost *host = hostOf(edit))
			host->setEditLimit(edit, static_cast<int>(wParam));
		return 0;
	case EM_LINELENGTH:
		return edit->text().size();
	case EM_GETLINE: {
		// The buffer's first 16-bit word gives its size; no terminating zero.
		auto *buffer = reinterpret_cast<char *>(lParam);
		std::uint16_t size = 0;
		std::memcpy(&size, buffer, sizeof(size));
		QByteArray text = edit->text().toLatin1();
		auto count = std::min<qsizetype>(size, text.size());
		std::memcpy(buffer, text.constData(), static_cast<size_t>(count));
		return count;
	}
	default:
		return 0;
	}
}

LRESULT progressMessage(QProgressBar *bar, UINT message, WPARAM wParam, LPARAM lParam)
{
	LRESULT previous = bar->value();
	switch (message) {
	case PBM_SETRANGE:
		previous = (bar->minimum() & 0xFFFF) | ((bar->maximum() & 0xFFFF) << 16);
		bar->setRange(static_cast<short>(lParam & 0xFFFF), static_cast<short>((lParam >> 16) & 0xFFFF));
		break;
	case PBM_SETPOS:
		bar->setValue(std::clamp(static_cast<int>(wParam), bar->minimum(), bar->maximum()));
		break;
	case PBM_SETSTEP:
		previous = bar->property("velmora_step").toInt();
		bar->setProperty("velmora_step", static_cast<int>(wParam));
		return previous;
	case PBM_STEPIT: {
		int next = bar->value() + bar->property("velmora_step").toInt();
		// Past the end the bar starts over from the beginning.
		if (next > bar->maximum() || next < bar->minimum())
			next = bar->minimum();
		bar->setValue(next);
		break;
	}
	default:
		return 0;
	}
	// Handlers advance the bar while they block the thread: paint now.
	bar->repaint();
	return previous;
}

} // namespace

CWnd::~CWnd()
{
	// A control object that goes before its window must not be handed out
	// (or detached) by the window any more.
	if (m_hWnd && m_hWnd->property("velmora_cwnd").value<void *>() == this)
		m_hWnd->setProperty("velmora_cwnd", QVariant());
}

void CWnd::Attach(QWidget *widget)
{
	m_hWnd = widget;
}

BOOL CWnd::EnableWindow(BOOL enable)
{
	if (!m_hWnd)
		return FALSE;
	BOOL wasDisabled = m_hWnd->isEnabled() ? FALSE : TRUE;
	m_hWnd->setEnabled(enable != FALSE);
	return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const
{
	return m_hWnd && m_hWnd->isEnabled();
}

BOOL CWnd::IsWindowVisible() const
{
	return m_hWnd && m_hWnd->isVisible();
}

void CWnd::SetWindowText(const char *text)
{
	const QString value = QString::fromUtf8(text ? text : "");
	if (auto *edit = qobject_cast<QLineEdit *>(m_hWnd)) {
		if (DialogHost *host = hostOf(edit))
			host->setEditText(edit, value, !edit->property("velmora_multiline").toBool());
		else
			edit->setText(value);
	} else if (auto *button = qobject_cast<QAbstractButton *>(m_hWnd)) {
		button->setText(value);
	} else if (auto *group = qobject_cast<QGroupBox *>(m_hWnd)) {
		group->setTitle(value);
	} else if (auto *label = qobject_cast<QLabel *>(m_hWnd)) {
		label->setText(value);
	} else if (m_hWnd) {
		m_hWnd->setWindowTitle(value);
	}
}

CString CWnd::GetWindowText() const
{
	QString text;
	if (auto *edit = qobject_cast<QLineEdit *>(m_hWnd))
		text = edit->text();
	else if (auto *button = qobject_cast<QAbstractButton *>(m_hWnd))
		text = button->text();
	else if (auto *group = qobject_cast<QGroupBox *>(m_hWnd))
		text = group->title();
	else if (auto *label = qobject_cast<QLabel *>(m_hWnd))
		text = label->text();
	else if (m_hWnd)
		text = m_hWnd->windowTitle();
	return CString(text.toStdString());
}

int CWnd::GetDlgCtrlID() const
{
	return m_hWnd ? m_hWnd->objectName().toInt() : 0;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
	if (auto *button = qobject_cast<QAbstractButton *>(m_hWnd))
		return buttonMessage(button, message, wParam);
	if (auto *edit = qobject_cast<QLineEdit *>(m_hWnd))
		return editMessage(edit, message, wParam, lParam);
	if (auto *bar = qobject_cast<QProgressBar *>(m_hWnd))
		return progressMessage(bar, message, wParam, lParam);
	return 0;
}

int CEdit::LineLength(int charIndex)
{
	return static_cast<int>(SendMessage(EM_LINELENGTH, static_cast<WPARAM>(charIndex)));
}

int CEdit::GetLine(int nIndex, char *buffer, int maxLength)
{
	auto size = static_cast<std::uint16_t>(std::clamp(maxLength, 0, 0xFFFF));
	if (maxLength >= static_cast<int>(sizeof(size)))
		std::memcpy(buffer, &size, sizeof(size));
	else
		return 0;
	return static_cast<int>(SendMessage(EM_GETLINE, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(buffer)));
}

namespace {

QScrollBar *scrollBar(QWidget *widget)
{
	return qobject_cast<QScrollBar *>(widget);
}

// The bar's Qt range is the range of thumb positions: with a page size
// the last reachable position is max - page + 1.
void applyScrollRange(QScrollBar *bar)
{
	int minPos = bar->property("velmora_min").toInt();
	int maxPos = bar->property("velmora_max").toInt();
	int page = bar->property("velmora_page").toInt();
	int last = page > 0 ? std::max(minPos, maxPos - page + 1) : maxPos;
	QSignalBlocker blocker(bar);
	bar->setRange(minPos, last);
	bar->setPageStep(page);
}

} // namespace

void CScrollBar::SetScrollRange(int minPos, int maxPos, BOOL redraw)
{
	if (QScrollBar *bar = scrollBar(m_hWnd)) {
		bar->setProperty("velmora_min", minPos);
		bar->setProperty("velmora_max", maxPos);
		applyScrollRange(bar);
		if (redraw)
			bar->update();
	}
}

void CScrollBar::GetScrollRange(int *minPos, int *maxPos) const
{
	QScrollBar *bar = scrollBar(m_hWnd);
	*minPos = bar ? bar->property("velmora_min").toInt() : 0;
	*maxPos = bar ? bar->property("velmora_max").toInt() : 0;
}

int CScrollBar::GetScrollPos() const
{
	QScrollBar *bar = scrollBar(m_hWnd);
	return bar ? bar->value() : 0;
}

int CScrollBar::SetScrollPos(int pos, BOOL redraw)
{
	QScrollBar *bar = scrollBar(m_hWnd);
	if (!bar)
		return 0;
	int previous = bar->value();
	bar->setValue(pos); // Qt limits it to the range
	if (redraw)
		bar->update();
	return previous;
}

BOOL CScrollBar::GetScrollInfo(SCROLLINFO *info, UINT mask) const
{
	QScrollBar *bar = scrollBar(m_hWnd);
	if (!bar)
		return FALSE;
	info->fMask = mask;
	if (mask & SIF_RANGE) {
		info->nMin = bar->property("velmora_min").toInt();
		info->nMax = bar->property("velmora_max").toInt();
	}
	if (mask & SIF_PAGE)
		info->nPage = static_cast<UINT>(bar->property("velmora_page").toInt());
	if (mask & SIF_POS)
		info->nPos = bar->value();
	if (mask & SIF_TRACKPOS)
		info->nTrackPos = bar->sliderPosition();
	return TRUE;
}

BOOL CScrollBar::SetScrollInfo(SCROLLINFO *info, BOOL redraw)
{
	QScrollBar *bar = scrollBar(m_hWnd);
	if (!bar)
		return 0;
	if (info->fMask & SIF_RANGE) {
		bar->setProperty("velmora_min", info->nMin);
		bar->setProperty("velmora_max", info->nMax);
	}
	if (info->fMask & SIF_PAGE)
		bar->setProperty("velmora_page", static_cast<int>(info->nPage));
	if (info->fMask & (SIF_RANGE | SIF_PAGE))
		applyScrollRange(bar);
	if (info->fMask & SIF_POS)
		bar->setValue(info->nPos); // limited to the range, as the design expects
	if (redraw)
		bar->update();
	return bar->value();
}

void CProgressCtrl::SetRange(short lower, short upper)
{
	SendMessage(PBM_SETRANGE, 0, static_cast<LPARAM>((lower & 0xFFFF) | ((upper & 0xFFFF) << 16)));
}

void CProgressCtrl::GetRange(int &lower, int &upper) const
{
	auto *bar = qobject_cast<QProgressBar *>(m_hWnd);
	lower = bar ? bar->minimum() : 0;
	upper = bar ? bar->maximum() : 0;
}

int CProgressCtrl::SetPos(int pos)
{
	return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos)));
}

int CProgressCtrl::GetPos() const
{
	auto *bar = qobject_cast<QProgressBar *>(m_hWnd);
	return bar ? bar->value() : 0;
}

int CProgressCtrl::SetStep(int step)
{
	return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step)));
}

int CProgressCtrl::StepIt()
{
	return static_cast<int>(SendMessage(PBM_STEPIT));
}

BOOL CMenu::AppendMenu(UINT flags, UINT idNewItem, const char *text)
{
	auto *menu = static_cast<QMenu *>(m_menu);
	if (!menu)
		return FALSE;
	if (flags & MF_SEPARATOR)
		menu->addSeparator();
	else
		menu->addAction(QString::fromUtf8(text ? text : ""))->setData(idNewItem);
	return TRUE;
}

int CMenu::GetMenuItemCount() const
{
	auto *menu = static_cast<QMenu *>(m_menu);
	return menu ? static_cast<int>(menu->actions().size()) : 0;
}

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
