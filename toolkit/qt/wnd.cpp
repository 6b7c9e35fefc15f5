// CWnd: what every control object does, whatever its kind; the messages go
// to the file of the control's kind.
#include "../wnd.h"

#include "controls.h"
#include "dialog_host.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {

ControlState *stateOf(QWidget *widget)
{
	DialogHost *host = DialogHost::of(widget);
	return host ? host->stateOf(widget) : nullptr;
}

} // namespace

CWnd::~CWnd()
{
	// A control object that goes before its window must not be handed out
	// (or detached) by the window any more.
	if (ControlState *ctl = stateOf(m_hWnd); ctl && ctl->object == this)
		ctl->object = nullptr;
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
	if (DialogHost *host = DialogHost::of(m_hWnd); host && host->stateOf(m_hWnd))
		host->setControlEnabled(m_hWnd, enable != FALSE);
	else
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
		ControlState *ctl = stateOf(edit);
		if (ctl && ctl->id() >= 0)
			toolkit::detail::SetEditText(*DialogHost::of(edit), *ctl, value,
						     !ctl->edit.multiline);
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
	using namespace toolkit::detail;
	ControlState *ctl = stateOf(m_hWnd);
	if (!ctl)
		return 0;
	switch (ctl->kind()) {
	case ControlKind::CheckBox:
	case ControlKind::RadioButton:
	case ControlKind::PushButton:
	case ControlKind::DefPushButton:
		return ButtonMessage(*ctl, message, wParam);
	case ControlKind::Edit:
		return EditMessage(*ctl, message, wParam, lParam);
	case ControlKind::ProgressBar:
		return ProgressMessage(*ctl, message, wParam, lParam);
	default:
		return 0;
	}
}
