// The kinds of control of a dialog template. Each kind's file holds both
// how its widget is made and how it answers the program's messages and the
// operator's keys.
#pragma once

#include "../afxtypes.h"

class DialogHost;
class QEvent;
class QFont;
class QMargins;
class QMenu;
class QRect;
class QString;
class QWidget;
struct ControlState;
struct DialogTemplate;

namespace toolkit::detail {

// Buttons: check boxes, radio buttons, push buttons (button_control.cpp).
QWidget *CreateButton(DialogHost &host, ControlState &state);
bool ButtonEvent(DialogHost &host, ControlState &state, QEvent *event);
LRESULT ButtonMessage(ControlState &state, UINT message, WPARAM wParam);
// The one tab stop of a radio button's set: its checked button, else its
// first usable one.
const ControlState *RadioSetStop(const DialogHost &host, const ControlState &radio);

// Edits (edit_control.cpp).
QWidget *CreateEdit(DialogHost &host, ControlState &state);
LRESULT EditMessage(ControlState &state, UINT message, WPARAM wParam, LPARAM lParam);
// A text set by the program: raises the change handler also when the text
// is already shown, unless notify is false.
void SetEditText(DialogHost &host, ControlState &state, const QString &text, bool notify);

// Horizontal scroll bars (scrollbar_control.cpp).
QWidget *CreateScrollBar(DialogHost &host, ControlState &state);
bool ScrollBarEvent(DialogHost &host, ControlState &state, QEvent *event);

// Progress bars (progress_control.cpp).
QWidget *CreateProgressBar(DialogHost &host, ControlState &state);
bool ProgressBarEvent(DialogHost &host, ControlState &state, QEvent *event);
LRESULT ProgressMessage(ControlState &state, UINT message, WPARAM wParam, LPARAM lParam);

// Group boxes, labels and pictures (static_control.cpp).
QWidget *CreateStatic(DialogHost &host, ControlState &state);
// A group box frame stops where another group box's frame begins.
void KeepGroupFramesApart(DialogHost &host);

// The window menu (menu.cpp).
QMenu *CreateSystemMenu(DialogHost &host);
// The window keys (Alt+Space, Menu, Shift+F10 and F1) work from any control
// and never reach it.
bool WindowMenuKey(DialogHost &host, QEvent *event);

// The screen area a window can take; empty when unlimited
// (screen_area.cpp).
QRect AvailableScreenArea(const QWidget &window);
// What the window manager's frame adds round a window: measured once the
// window is framed, estimated before.
QMargins WindowFrameMargins(const QWidget &window);

// A screen reader finds the container's controls that are not hidden, and
// only those (accessible.cpp).
void ExposeShownControlsOnly(QWidget &container, bool isDialog);

// A message's text as its box shows it: a path never broken across lines
// (msgbox.cpp).
QString KeepPathsWhole(const QString &text);

// The dialog font: the template's face as this system provides it
// (dialog_font.cpp).
QFont DialogFont(const DialogTemplate &tmpl);

} // namespace toolkit::detail
