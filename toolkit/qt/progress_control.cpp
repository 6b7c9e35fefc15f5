// The progress bar: range, position and step set by the program, which
// advances it while it blocks the window's thread, so it paints at once
// rather than when the thread is free again. Steps paint at most every
// 40 ms (25 times a second, smooth to the eye for a bar): painting every
// one of a transfer's thousand steps would cost more than the transfer's
// own work.
// Its painting is announced to the message table (NM_CUSTOMDRAW).
#include "controls.h"

#include "../qt_access.h"
#include "../wnd.h"
#include "dialog_host.h"

#include <QEvent>
#include <QProgressBar>

#include <algorithm>

namespace toolkit::detail {

namespace {

constexpr std::chrono::milliseconds kPaintInterval{ 40 };
std::function<std::chrono::steady_clock::time_point()> g_clock;

std::chrono::steady_clock::time_point Now()
{
	return g_clock ? g_clock() : std::chrono::steady_clock::now();
}

// QProgressBar repaints at once by itself whenever its value moves a
// chunk's width or reaches an end; here the messages decide when it paints.
template <typename Change>
void Quietly(QProgressBar *bar, Change change)
{
	bar->setUpdatesEnabled(false);
	change();
	bar->setUpdatesEnabled(true);
}

} // namespace

QWidget *CreateProgressBar(DialogHost &host, ControlState &)
{
	auto *bar = new QProgressBar(&host);
	// Filled with the window's colour, as the group around it is, the bar
	// is opaque: a blocked handler's repaint paints the bar alone, not the
	// group and dialog beneath it each time.
	bar->setAutoFillBackground(true);
	bar->setRange(0, 100);
	bar->setValue(0);
	bar->setTextVisible(false);
	return bar;
}

bool ProgressBarEvent(DialogHost &host, ControlState &ctl, QEvent *event)
{
	if (event->type() == QEvent::Paint && ctl.id() >= 0)
		host.notify(ctl, NM_CUSTOMDRAW);
	return false;
}

LRESULT ProgressMessage(ControlState &ctl, UINT message, WPARAM wParam, LPARAM lParam)
{
	auto *bar = static_cast<QProgressBar *>(ctl.widget);
	LRESULT previous = bar->value();
	switch (message) {
	case PBM_SETRANGE:
		previous = (bar->minimum() & 0xFFFF) | ((bar->maximum() & 0xFFFF) << 16);
		Quietly(bar, [&] {
			bar->setRange(static_cast<short>(lParam & 0xFFFF),
				      static_cast<short>((lParam >> 16) & 0xFFFF));
		});
		break;
	case PBM_SETPOS:
		Quietly(bar, [&] {
			bar->setValue(std::clamp(static_cast<int>(wParam), bar->minimum(), bar->maximum()));
		});
		break;
	case PBM_SETSTEP:
		previous = ctl.progress.step;
		ctl.progress.step = static_cast<int>(wParam);
		return previous;
	case PBM_STEPIT: {
		int next = bar->value() + ctl.progress.step;
		// Past the end the bar starts over from the beginning.
		if (next > bar->maximum() || next < bar->minimum())
			next = bar->minimum();
		Quietly(bar, [&] { bar->setValue(next); });
		if (next != bar->maximum() && Now() - ctl.progress.painted < kPaintInterval) {
			bar->update();
			return previous;
		}
		break;
	}
	default:
		return 0;
	}
	bar->repaint();
	ctl.progress.painted = Now();
	return previous;
}

} // namespace toolkit::detail

void toolkit::SetPaintClock(std::function<std::chrono::steady_clock::time_point()> clock)
{
	toolkit::detail::g_clock = std::move(clock);
}

void CProgressCtrl::SetRange(short lower, short upper)
{
	SendMessage(PBM_SETRANGE, 0, static_cast<LPARAM>((lower & 0xFFFF) | ((upper & 0xFFFF) << 16)));
}

void CProgressCtrl::GetRange(int &lower, int &upper) const
{
	auto *bar = qobject_cast<QProgressBar *>(m_hWnd);
	lower = bar ? bar->minimum() : 0;
	upper = bar ? bar->maximum() : 0;
}

int CProgressCtrl::SetPos(int pos)
{
	return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos)));
}

int CProgressCtrl::GetPos() const
{
	auto *bar = qobject_cast<QProgressBar *>(m_hWnd);
	return bar ? bar->value() : 0;
}

int CProgressCtrl::SetStep(int step)
{
	return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step)));
}

int CProgressCtrl::StepIt()
{
	return static_cast<int>(SendMessage(PBM_STEPIT));
}
