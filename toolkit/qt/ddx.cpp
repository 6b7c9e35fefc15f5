#include "../ddx.h"

#include "../dialog.h"
#include "../msgbox.h"
#include "controls.h"
#include "dialog_host.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QSignalBlocker>

namespace {

QWidget *prepareControl(CDataExchange *dx, int id)
{
	dx->m_idLastControl = id;
	return toolkit::ControlWidgetOf(*dx->m_pDlgWnd, id);
}

} // namespace

void CDataExchange::Fail()
{
	m_bFailed = true;
	// The operator lands on the control whose value was refused.
	if (QWidget *widget = toolkit::ControlWidgetOf(*m_pDlgWnd, m_idLastControl)) {
		widget->setFocus();
		if (auto *edit = qobject_cast<QLineEdit *>(widget))
			edit->selectAll();
	}
}

int CDataExchange::TextControlOf(const CString *member) const
{
	for (const auto &[text, id] : m_textControls)
		if (text == member)
			return id;
	return 0;
}

void DDX_Control(CDataExchange *dx, int id, CWnd &control)
{
	if (dx->Failed())
		return;
	QWidget *widget = prepareControl(dx, id);
	if (!widget || control.GetSafeHwnd())
		return;
	control.Attach(widget);
	// The dialog hands out this object for the control from now on.
	toolkit::HostOf(*dx->m_pDlgWnd)->state(id)->object = &control;
}

void DDX_Text(CDataExchange *dx, int id, CString &value)
{
	if (dx->Failed())
		return;
	auto *edit = qobject_cast<QLineEdit *>(prepareControl(dx, id));
	if (!edit)
		return;
	dx->NoteTextControl(&value, id);
	if (dx->m_bSaveAndValidate) {
		value = CString(edit->text().toStdString());
		return;
	}
	const QString text = QString::fromUtf8(value.GetString());
	if (edit->text() != text) {
		DialogHost *host = toolkit::HostOf(*dx->m_pDlgWnd);
		toolkit::detail::SetEditText(*host, *host->state(id), text, false);
	}
}

void DDX_Check(CDataExchange *dx, int id, BOOL &value)
{
	if (dx->Failed())
		return;
	auto *button = qobject_cast<QAbstractButton *>(prepareControl(dx, id));
	if (!button)
		return;
	if (dx->m_bSaveAndValidate) {
		value = button->isChecked() ? TRUE : FALSE;
		return;
	}
	QSignalBlocker blocker(button);
	button->setChecked(value != FALSE);
}

void DDV_MaxChars(CDataExchange *dx, const CString &value, int maxChars)
{
	if (dx->Failed() || !dx->m_bSaveAndValidate || value.GetLength() <= maxChars)
		return;
	CString message;
	message.Format("Please enter no more than %d characters.", maxChars);
	AfxMessageBox(message);
	if (int id = dx->TextControlOf(&value))
		dx->m_idLastControl = id;
	dx->Fail();
}
