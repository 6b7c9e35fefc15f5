#include "interaction.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>

namespace toolkit::detail {

namespace {
QPointer<QScrollBar> g_activeBar;
}

ScrollInteraction::ScrollInteraction(QScrollBar *bar) : m_previous(g_activeBar)
{
	g_activeBar = bar;
}

ScrollInteraction::~ScrollInteraction()
{
	g_activeBar = m_previous;
}

void EndPointerInteraction()
{
	if (!g_activeBar)
		return;
	// A release ends the bar's auto-repeat and clears its pressed arrow.
	QPointF local(0, 0);
	QMouseEvent release(QEvent::MouseButtonRelease, local, g_activeBar->mapToGlobal(local),
			    Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
	QCoreApplication::sendEvent(g_activeBar, &release);
	g_activeBar = nullptr;
}

ModalReturn::ModalReturn() : m_window(QApplication::activeWindow()) {}

ModalReturn::~ModalReturn()
{
	if (m_window && m_window->isVisible() && QApplication::activeWindow() != m_window)
		m_window->activateWindow();
}

} // namespace toolkit::detail
