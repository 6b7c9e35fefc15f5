// The Qt dialog behind a CDialog: builds the controls of the template,
// owns their state records and turns widget signals and window events into
// messages of the dialog's message table. What each kind of control does
// lives in that kind's own file (controls.h).
#pragma once

#include "../afxtypes.h"
#include "../resources.h"
#include "control_state.h"

#include <QDialog>
#include <QHash>
#include <QPointer>

#include <memory>
#include <vector>

class CDialog;
class QMenu;
class QScrollArea;

class DialogHost : public QDialog
{
public:
	DialogHost(CDialog *owner, const DialogTemplate &tmpl, QWidget *parent);
	~DialogHost() override;

	// The host of a control widget, or nullptr for a widget of no dialog.
	static DialogHost *of(const QWidget *control);

	CDialog *owner() const { return m_owner; }
	QWidget *control(int id) const;
	ControlState *state(int id) const;
	ControlState *stateOf(const QWidget *widget) const;
	// Every control of the template, in template order.
	const std::vector<std::unique_ptr<ControlState>> &controls() const { return m_states; }

	// The control object handed to handlers for this control.
	CWnd *controlObject(const ControlState &state) const;
	// Sends a WM_NOTIFY with the given code from a control.
	void notify(const ControlState &state, UINT code);

	// Template rectangle in dialog units to pixels of the dialog font.
	QRect toPixels(int x, int y, int cx, int cy) const;

	// Enables or disables a control. A handler that disables the focused
	// control gets the focus back onto it when it enables it again, unless
	// the focus moved on in between.
	void setControlEnabled(QWidget *control, bool enable);

	QMenu *systemMenu() const { return m_sysMenu; }
	void showSystemMenu(const QPoint &globalPos);

	void reject() override;
	// The dialog's own painting, for a paint handler that does not draw.
	void paintDefault();

protected:
	bool event(QEvent *event) override;
	bool eventFilter(QObject *watched, QEvent *event) override;
	bool focusNextPrevChild(bool next) override;
	void contextMenuEvent(QContextMenuEvent *event) override;
	void paintEvent(QPaintEvent *event) override;
	void changeEvent(QEvent *event) override;

private:
	void createControl(const ControlTemplate &row);
	bool isTabStop(const ControlState &state) const;
	// The window's size for a dialog of this size: smaller, and scrolling,
	// where the screen has not the room.
	QSize viewSize(const QSize &size);
	// Moves the window so that its frame, title bar included, lies in the
	// screen area, where it fits.
	void placeFrame();

	CDialog *m_owner;
	std::vector<std::unique_ptr<ControlState>> m_states;
	QHash<int, ControlState *> m_byId;
	QHash<const QWidget *, ControlState *> m_byWidget;
	QMenu *m_sysMenu = nullptr;
	// The scrolling view and the canvas in it that hold the controls when
	// the dialog does not fit the screen; null when it does.
	QScrollArea *m_scroll = nullptr;
	QWidget *m_canvas = nullptr;
	// The screen area the window was sized for; empty when unlimited.
	QRect m_screenArea;
	// Shown but not yet framed by the window manager.
	bool m_placing = false;
	int m_baseX = 6;  // average character width of the dialog font
	int m_baseY = 13; // character height of the dialog font
	QPaintEvent *m_paintEvent = nullptr;
	// The control that lost the focus by being disabled, and where the
	// focus went then.
	QPointer<QWidget> m_focusParked;
	QPointer<QWidget> m_focusMovedTo;
};

namespace toolkit {
DialogHost *HostOf(const CDialog &dialog);
QWidget *ControlWidgetOf(const CDialog &dialog, int id);
} // namespace toolkit
