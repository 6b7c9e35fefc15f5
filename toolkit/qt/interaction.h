// The pointer interaction in progress while a handler runs.
//
// A handler started from a mouse press on a scroll bar arrow may open a
// modal message box. The box takes the mouse release, so the scroll bar
// would keep auto-repeating its arrow under the box; ending the interaction
// first stops that.
#pragma once

class QScrollBar;

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

} // namespace toolkit::detail
