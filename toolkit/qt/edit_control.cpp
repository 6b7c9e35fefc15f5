// Edits: a single-line edit raises EN_CHANGE for every text the operator
// types and, outside a data exchange, for every text the program sets,
// even one it already shows. The typing limit never cuts a longer text.
#include "controls.h"

#include "../dialog.h"
#include "../wnd.h"
#include "dialog_host.h"

#include <QLineEdit>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace toolkit::detail {

namespace {

// The largest text of an edit without a limit of its own.
constexpr int kNoLimit = 32767;

// Qt's maximum length cuts texts; it follows the longer of the limit and
// the text shown, so that it only stops typing.
void applyLimit(ControlState &ctl, QLineEdit *edit, qsizetype textLength)
{
	int limit = ctl.edit.limit > 0 ? ctl.edit.limit : kNoLimit;
	int wanted = std::max(limit, static_cast<int>(textLength));
	if (edit->maxLength() != wanted)
		edit->setMaxLength(wanted);
}

void onTextChanged(DialogHost &host, ControlState &ctl)
{
	auto *edit = static_cast<QLineEdit *>(ctl.widget);
	applyLimit(ctl, edit, edit->text().size());
	if (host.owner()->IsExchanging() || ctl.edit.quiet)
		return;
	host.owner()->Dispatch(WM_COMMAND, EN_CHANGE, ctl.id());
}

LRESULT copyLine(const QLineEdit *edit, LPARAM lParam)
{
	// The buffer's first 16-bit word gives its size; no terminating zero.
	auto *buffer = reinterpret_cast<char *>(lParam);
	std::uint16_t size = 0;
	std::memcpy(&size, buffer, sizeof(size));
	QByteArray text = edit->text().toLatin1();
	auto count = std::min<qsizetype>(size, text.size());
	std::memcpy(buffer, text.constData(), static_cast<size_t>(count));
	return count;
}

} // namespace

QWidget *CreateEdit(DialogHost &host, ControlState &ctl)
{
	auto *edit = new QLineEdit(&host);
	edit->setReadOnly(ctl.tmpl.style & CS_READONLY);
	if (ctl.tmpl.style & CS_CENTER)
		edit->setAlignment(Qt::AlignCenter);
	ctl.edit.multiline = ctl.tmpl.style & CS_MULTILINE;
	edit->setMaxLength(kNoLimit);
	if (ctl.id() >= 0)
		QObject::connect(edit, &QLineEdit::textChanged, &host,
				 [&host, &ctl] { onTextChanged(host, ctl); });
	return edit;
}

void SetEditText(DialogHost &host, ControlState &ctl, const QString &text, bool notify)
{
	auto *edit = static_cast<QLineEdit *>(ctl.widget);
	applyLimit(ctl, edit, text.size());
	if (edit->text() == text) {
		// Qt stays silent for an unchanged text; the handlers rely on
		// hearing about it (a slider step at a range end rewrites the value).
		if (notify && !host.owner()->IsExchanging())
			host.owner()->Dispatch(WM_COMMAND, EN_CHANGE, ctl.id());
		return;
	}
	if (notify) {
		edit->setText(text);
		return;
	}
	ctl.edit.quiet = true;
	edit->setText(text);
	ctl.edit.quiet = false;
}

LRESULT EditMessage(ControlState &ctl, UINT message, WPARAM wParam, LPARAM lParam)
{
	auto *edit = static_cast<QLineEdit *>(ctl.widget);
	switch (message) {
	case EM_LIMITTEXT:
		ctl.edit.limit = static_cast<int>(wParam);
		applyLimit(ctl, edit, edit->text().size());
		return 0;
	case EM_LINELENGTH:
		return edit->text().size();
	case EM_GETLINE:
		return copyLine(edit, lParam);
	default:
		return 0;
	}
}

} // namespace toolkit::detail

int CEdit::LineLength(int charIndex)
{
	return static_cast<int>(SendMessage(EM_LINELENGTH, static_cast<WPARAM>(charIndex)));
}

int CEdit::GetLine(int nIndex, char *buffer, int maxLength)
{
	if (maxLength < static_cast<int>(sizeof(std::uint16_t)))
		return 0;
	auto size = static_cast<std::uint16_t>(std::min(maxLength, 0xFFFF));
	std::memcpy(buffer, &size, sizeof(size));
	return static_cast<int>(
		SendMessage(EM_GETLINE, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(buffer)));
}
