// Horizontal scroll bars: the thumb moves only when the program sets a
// position. Arrow clicks, keys and the release of a dragged thumb reach the
// message table as WM_HSCROLL with the scroll code the template's platform
// sends; the focused bar shows a focus mark on its thumb.
#include "controls.h"

#include "../dialog.h"
#include "../wnd.h"
#include "dialog_host.h"
#include "interaction.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyleOptionSlider>

#include <algorithm>

namespace toolkit::detail {

namespace {

UINT scrollCode(int action)
{
	switch (action) {
	case QAbstractSlider::SliderSingleStepSub:
		return SB_LINELEFT;
	case QAbstractSlider::SliderSingleStepAdd:
		return SB_LINERIGHT;
	case QAbstractSlider::SliderPageStepSub:
		return SB_PAGELEFT;
	case QAbstractSlider::SliderPageStepAdd:
		return SB_PAGERIGHT;
	case QAbstractSlider::SliderToMinimum:
		return SB_LEFT;
	case QAbstractSlider::SliderToMaximum:
		return SB_RIGHT;
	default:
		return SB_ENDSCROLL;
	}
}

// The keys of a focused horizontal scroll bar, as its platform maps them;
// false for a key the bar does not take.
bool keyCode(int key, UINT *code)
{
	switch (key) {
	case Qt::Key_Left:
	case Qt::Key_Up:
		*code = SB_LINELEFT;
		return true;
	case Qt::Key_Right:
	case Qt::Key_Down:
		*code = SB_LINERIGHT;
		return true;
	case Qt::Key_PageUp:
		*code = SB_PAGELEFT;
		return true;
	case Qt::Key_PageDown:
		*code = SB_PAGERIGHT;
		return true;
	case Qt::Key_Home:
		*code = SB_LEFT;
		return true;
	case Qt::Key_End:
		*code = SB_RIGHT;
		return true;
	default:
		return false;
	}
}

// Styles may jump the thumb to a click in the trough (or a middle click)
// and report it as a released drag; the panel's sliders move only in
// steps or by a real drag, so those hints are off for them. Few styles
// mark a focused scroll bar: this one outlines the thumb.
class SliderStyle : public QProxyStyle
{
public:
	int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
		      QStyleHintReturn *returnData) const override
	{
		if (hint == SH_ScrollBar_LeftClickAbsolutePosition ||
		    hint == SH_ScrollBar_MiddleClickAbsolutePosition)
			return 0;
		return QProxyStyle::styleHint(hint, option, widget, returnData);
	}

	void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
				const QWidget *widget) const override
	{
		QProxyStyle::drawComplexControl(control, option, painter, widget);
		if (control != CC_ScrollBar || !(option->state & State_HasFocus))
			return;
		QRect thumb =
			subControlRect(control, option, SC_ScrollBarSlider, widget).adjusted(2, 2, -3, -3);
		painter->save();
		QPen pen(option->palette.color(QPalette::WindowText), 1, Qt::DotLine);
		painter->setPen(pen);
		painter->setBrush(Qt::NoBrush);
		painter->drawRect(thumb);
		painter->restore();
	}
};

QStyle *sliderStyle()
{
	// One for the whole run: a widget does not own the style it is given.
	static QPointer<SliderStyle> style;
	if (!style) {
		style = new SliderStyle;
		style->setParent(qApp);
	}
	return style;
}

void dispatchScroll(DialogHost &host, ControlState &ctl, UINT code, int pos)
{
	auto *bar = static_cast<QScrollBar *>(ctl.widget);
	ScrollInteraction interaction(bar);
	WPARAM wParam = (static_cast<WPARAM>(pos & 0xFFFF) << 16) | (code & 0xFFFF);
	host.owner()->Dispatch(WM_HSCROLL, 0, 0, wParam, reinterpret_cast<LPARAM>(host.controlObject(ctl)));
}

void onAction(DialogHost &host, ControlState &ctl, int action)
{
	auto *bar = static_cast<QScrollBar *>(ctl.widget);
	// Qt has already moved the thumb for this action; take it back, the
	// thumb moves only when the program sets a position.
	bar->setSliderPosition(bar->value());
	if (action == QAbstractSlider::SliderNoAction || action == QAbstractSlider::SliderMove)
		return;
	dispatchScroll(host, ctl, scrollCode(action), bar->value());
}

// Qt's range is the range of thumb positions: with a page size the last
// reachable position is max - page + 1.
void applyRange(const ControlState &ctl)
{
	auto *bar = static_cast<QScrollBar *>(ctl.widget);
	const ScrollState &s = ctl.scroll;
	int last = s.page > 0 ? std::max(s.min, s.max - s.page + 1) : s.max;
	QSignalBlocker blocker(bar);
	bar->setRange(s.min, last);
	bar->setPageStep(s.page);
}

ControlState *stateOf(QWidget *widget)
{
	DialogHost *host = DialogHost::of(widget);
	ControlState *ctl = host ? host->stateOf(widget) : nullptr;
	return ctl && ctl->kind() == ControlKind::HScrollBar ? ctl : nullptr;
}

} // namespace

QWidget *CreateScrollBar(DialogHost &host, ControlState &ctl)
{
	auto *bar = new QScrollBar(Qt::Horizontal, &host);
	bar->setSingleStep(1);
	// The value changes only through the program; a drag reports its
	// position once, on release.
	bar->setTracking(false);
	// Qt's own menu would set the value directly ("Scroll here").
	bar->setContextMenuPolicy(Qt::PreventContextMenu);
	bar->setStyle(sliderStyle());
	bar->setFocusPolicy(Qt::StrongFocus);
	ctl.widget = bar;
	applyRange(ctl);
	if (ctl.id() < 0)
		return bar;
	QObject::connect(bar, &QAbstractSlider::actionTriggered, &host,
			 [&host, &ctl](int action) { onAction(host, ctl, action); });
	QObject::connect(bar, &QAbstractSlider::sliderReleased, &host, [&host, &ctl] {
		dispatchScroll(host, ctl, SB_THUMBPOSITION,
			       static_cast<QScrollBar *>(ctl.widget)->sliderPosition());
	});
	return bar;
}

bool ScrollBarEvent(DialogHost &host, ControlState &ctl, QEvent *event)
{
	switch (event->type()) {
	case QEvent::StyleChange:
	case QEvent::ThemeChange:
		if (ctl.id() >= 0)
			host.notify(ctl, NM_THEMECHANGED);
		return false;
	case QEvent::KeyPress: {
		auto *key = static_cast<QKeyEvent *>(event);
		UINT code = 0;
		if ((key->modifiers() & Qt::AltModifier) || !keyCode(key->key(), &code))
			return false;
		// Qt would move the thumb itself, Left and Right the wrong way
		// round; the handler decides instead.
		dispatchScroll(host, ctl, code, static_cast<QScrollBar *>(ctl.widget)->value());
		return true;
	}
	default:
		return false;
	}
}

} // namespace toolkit::detail

using toolkit::detail::stateOf;

void CScrollBar::SetScrollRange(int minPos, int maxPos, BOOL redraw)
{
	if (ControlState *ctl = stateOf(m_hWnd)) {
		ctl->scroll.min = minPos;
		ctl->scroll.max = maxPos;
		toolkit::detail::applyRange(*ctl);
		if (redraw)
			ctl->widget->update();
	}
}

void CScrollBar::GetScrollRange(int *minPos, int *maxPos) const
{
	ControlState *ctl = stateOf(m_hWnd);
	*minPos = ctl ? ctl->scroll.min : 0;
	*maxPos = ctl ? ctl->scroll.max : 0;
}

int CScrollBar::GetScrollPos() const
{
	auto *bar = qobject_cast<QScrollBar *>(m_hWnd);
	return bar ? bar->value() : 0;
}

int CScrollBar::SetScrollPos(int pos, BOOL redraw)
{
	auto *bar = qobject_cast<QScrollBar *>(m_hWnd);
	if (!bar)
		return 0;
	int previous = bar->value();
	bar->setValue(pos); // Qt limits it to the range
	if (redraw)
		bar->update();
	return previous;
}

BOOL CScrollBar::GetScrollInfo(SCROLLINFO *info, UINT mask) const
{
	ControlState *ctl = stateOf(m_hWnd);
	if (!ctl)
		return FALSE;
	auto *bar = static_cast<QScrollBar *>(ctl->widget);
	info->fMask = mask;
	if (mask & SIF_RANGE) {
		info->nMin = ctl->scroll.min;
		info->nMax = ctl->scroll.max;
	}
	if (mask & SIF_PAGE)
		info->nPage = static_cast<UINT>(ctl->scroll.page);
	if (mask & SIF_POS)
		info->nPos = bar->value();
	if (mask & SIF_TRACKPOS)
		info->nTrackPos = bar->sliderPosition();
	return TRUE;
}

BOOL CScrollBar::SetScrollInfo(SCROLLINFO *info, BOOL redraw)
{
	ControlState *ctl = stateOf(m_hWnd);
	if (!ctl)
		return 0;
	auto *bar = static_cast<QScrollBar *>(ctl->widget);
	if (info->fMask & SIF_RANGE) {
		ctl->scroll.min = info->nMin;
		ctl->scroll.max = info->nMax;
	}
	if (info->fMask & SIF_PAGE)
		ctl->scroll.page = static_cast<int>(info->nPage);
	if (info->fMask & (SIF_RANGE | SIF_PAGE))
		toolkit::detail::applyRange(*ctl);
	if (info->fMask & SIF_POS)
		bar->setValue(info->nPos); // limited to the range, as the handlers expect
	if (redraw)
		bar->update();
	return bar->value();
}
