// The pointer interaction in progress while a handler runs.
//
// A handler started from a mouse press on a scroll bar arrow may open a
// modal message box. The box takes the mouse release, so the scroll bar
// would keep auto-repeating its arrow under the box; ending the interaction
// first stops that.
#pragma once

#include <QPointer>

class QScrollBar;
class QWidget;

namespace toolkit::detail {

class ScrollInteraction
{
public:
	explicit ScrollInteraction(QScrollBar *bar);
	~ScrollInteraction();
	ScrollInteraction(const ScrollInteraction &) = delete;
	ScrollInteraction &operator=(const ScrollInteraction &) = delete;

private:
	QScrollBar *m_previous;
};

// Releases the scroll bar of the running interaction, if any.
void EndPointerInteraction();

// A modal box hands the activation back to the window it came from when it
// closes, as its platform does; without a window manager nothing else
// would, and that window would show no focus and take no window keys.
class ModalReturn
{
public:
	ModalReturn();
	~ModalReturn();
	ModalReturn(const ModalReturn &) = delete;
	ModalReturn &operator=(const ModalReturn &) = delete;

private:
	QPointer<QWidget> m_window;
};

} // namespace toolkit::detail
