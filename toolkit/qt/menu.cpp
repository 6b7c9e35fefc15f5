// The window menu: "Move", "Minimize" (main window only) and "Close", to
// which the program appends its own items. Its commands reach the message
// table as WM_SYSCOMMAND. Alt+Space opens it whatever control has the
// focus, and the key never reaches that control.
#include "controls.h"

#include "../dialog.h"
#include "../wnd.h"
#include "dialog_host.h"

#include <QKeyEvent>
#include <QMenu>

namespace toolkit::detail {

namespace {

bool isAltSpace(const QKeyEvent *key)
{
	return key->key() == Qt::Key_Space && (key->modifiers() & Qt::AltModifier);
}

} // namespace

QMenu *CreateSystemMenu(DialogHost &host)
{
	auto *menu = new QMenu(&host);
	const struct {
		const char *text;
		UINT command;
	} items[] = {
		{ "&Move", SC_MOVE },
		{ "Mi&nimize", SC_MINIMIZE },
		{ "&Close\tAlt+F4", SC_CLOSE },
	};
	for (const auto &item : items) {
		if (item.command == SC_MINIMIZE && !(host.windowFlags() & Qt::WindowMinimizeButtonHint))
			continue;
		if (item.command == SC_CLOSE)
			menu->addSeparator();
		menu->addAction(QString::fromUtf8(item.text))->setData(item.command);
	}
	QObject::connect(menu, &QMenu::triggered, &host, [&host](QAction *action) {
		host.owner()->Dispatch(WM_SYSCOMMAND, 0, 0, action->data().toUInt(), 0);
	});
	return menu;
}

bool WindowMenuKey(DialogHost &host, QEvent *event)
{
	const QEvent::Type type = event->type();
	if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress && type != QEvent::KeyRelease)
		return false;
	if (!isAltSpace(static_cast<QKeyEvent *>(event)))
		return false;
	// Taking the override keeps the key out of the shortcut machinery,
	// which would drop it when the window is not the active one; the press
	// then comes here as a key of the focused control.
	event->accept();
	if (type == QEvent::KeyPress)
		host.showSystemMenu(host.mapToGlobal(QPoint(0, 0)));
	return true;
}

} // namespace toolkit::detail

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
