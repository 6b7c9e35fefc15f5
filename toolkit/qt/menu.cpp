// The window menu: "Minimize" (main window only) and "Close", to which the
// program appends its own items. No "Move": moving a window from the
// keyboard is the window manager's own (its window menu, Alt+F7), and a
// move started here would follow the pointer, not the arrow keys. Its commands reach the message
// table as WM_SYSCOMMAND. Alt+Space, the Menu key and Shift+F10 open it
// whatever control has the focus, and the key never reaches that control:
// a window manager keeps Alt+Space for its own menu, the other two always
// come through. A right-click keeps a control's own menu (an edit's Copy
// and Paste). F1 runs the program's last own item (its About box, which
// ends the menu).
#include "controls.h"

#include "../dialog.h"
#include "../wnd.h"
#include "dialog_host.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

namespace toolkit::detail {

namespace {

enum class WindowKey { None, Menu, Help };

WindowKey windowKey(const QKeyEvent *key)
{
	const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
	switch (key->key()) {
	case Qt::Key_Space:
		return mods & Qt::AltModifier ? WindowKey::Menu : WindowKey::None;
	case Qt::Key_Menu:
		return mods == Qt::NoModifier ? WindowKey::Menu : WindowKey::None;
	case Qt::Key_F10:
		return mods == Qt::ShiftModifier ? WindowKey::Menu : WindowKey::None;
	case Qt::Key_F1:
		return mods == Qt::NoModifier ? WindowKey::Help : WindowKey::None;
	default:
		return WindowKey::None;
	}
}

// The last item the program appended after the toolkit's own, if any.
QAction *programItem(const QMenu &menu)
{
	bool pastClose = false;
	QAction *last = nullptr;
	for (QAction *action : menu.actions()) {
		if (action->isSeparator())
			continue;
		if (pastClose)
			last = action;
		pastClose = pastClose || action->data().toUInt() == SC_CLOSE;
	}
	return last;
}

// Where a menu opened from the keyboard appears: below the focused control,
// else at the window's corner.
QPoint keyboardMenuPos(const DialogHost &host)
{
	const QWidget *focus = host.focusWidget();
	if (focus && focus != &host)
		return focus->mapToGlobal(QPoint(0, focus->height()));
	return host.mapToGlobal(QPoint(0, 0));
}

} // namespace

QMenu *CreateSystemMenu(DialogHost &host)
{
	auto *menu = new QMenu(&host);
	const struct {
		const char *text;
		UINT command;
	} items[] = {
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
	// X11 turns the Menu key into a context menu event as well; from the
	// keyboard, every control opens the window menu, edits included.
	if (type == QEvent::ContextMenu &&
	    static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
		host.showSystemMenu(keyboardMenuPos(host));
		return true;
	}
	if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress && type != QEvent::KeyRelease)
		return false;
	const WindowKey key = windowKey(static_cast<QKeyEvent *>(event));
	if (key == WindowKey::None)
		return false;
	// Taking the override keeps the key out of the shortcut machinery,
	// which would drop it when the window is not the active one; the press
	// then comes here as a key of the focused control.
	event->accept();
	if (type != QEvent::KeyPress || static_cast<QKeyEvent *>(event)->isAutoRepeat())
		return true;
	if (key == WindowKey::Menu) {
		host.showSystemMenu(keyboardMenuPos(host));
	} else if (QAction *item = programItem(*host.systemMenu())) {
		host.owner()->Dispatch(WM_SYSCOMMAND, 0, 0, item->data().toUInt(), 0);
	}
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
