#include "dialog_host.h"

#include "../dialog.h"
#include "../qt_access.h"
#include "controls.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QWidget>
#include <QWindow>

#include <cmath>

namespace {

// The rounding multiply-divide of dialog-unit conversion.
int mulDiv(int value, int numerator, int denominator)
{
	return static_cast<int>(std::lround(static_cast<double>(value) * numerator / denominator));
}

} // namespace

DialogHost::DialogHost(CDialog *owner, const DialogTemplate &tmpl, QWidget *parent)
	: QDialog(parent), m_owner(owner)
{
	Qt::WindowFlags flags = (parent ? Qt::Dialog : Qt::Window) | Qt::WindowTitleHint |
				Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
	if (!parent)
		flags |= Qt::WindowMinimizeButtonHint;
	setWindowFlags(flags);
	setWindowTitle(QString::fromUtf8(tmpl.caption));

	const QFont font = toolkit::detail::DialogFont(tmpl);
	setFont(font);

	// Dialog base units as the template's platform takes them from the
	// dialog font: the average width of the 52 letters, rounded, and the
	// font's height. The layout keeps the template's proportions whatever
	// font stands in.
	QFontMetrics metrics(font);
	int alphabet = metrics.horizontalAdvance(
		QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
	m_baseX = std::max(1, (alphabet / 26 + 1) / 2);
	m_baseY = std::max(1, metrics.height());

	const QSize size = toPixels(0, 0, tmpl.cx, tmpl.cy).size();
	const QSize view = viewSize(size);
	if (view != size) {
		m_scroll = new QScrollArea(this);
		m_scroll->setFrameShape(QFrame::NoFrame);
		m_scroll->setFocusPolicy(Qt::NoFocus);
		m_scroll->setWidget(m_canvas = new QWidget);
		m_canvas->setFixedSize(size);
		m_scroll->setGeometry(0, 0, view.width(), view.height());
	}
	for (const ControlTemplate &row : tmpl.controls)
		createControl(row);
	toolkit::detail::KeepGroupFramesApart(*this);
	toolkit::detail::ExposeShownControlsOnly(*this, true);
	if (m_canvas)
		toolkit::detail::ExposeShownControlsOnly(*m_canvas, false);

	setFixedSize(view);
	m_sysMenu = toolkit::detail::CreateSystemMenu(*this);

	// The user going to another program and coming back, as the window
	// system tells it.
	connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
		if (state == Qt::ApplicationActive || state == Qt::ApplicationInactive)
			m_owner->Dispatch(WM_ACTIVATEAPP, 0, 0, state == Qt::ApplicationActive);
	});
}

DialogHost::~DialogHost()
{
	// The controls go first, while the records that their connections and
	// this filter use still exist.
	for (const auto &ctl : m_states)
		delete ctl->widget;
	m_byWidget.clear();
}

DialogHost *DialogHost::of(const QWidget *control)
{
	// Directly on the dialog, or on the canvas of its scrolling view.
	for (QWidget *up = control ? control->parentWidget() : nullptr; up; up = up->parentWidget()) {
		if (auto *host = dynamic_cast<DialogHost *>(up))
			return host;
		if (up->isWindow())
			break;
	}
	return nullptr;
}

QSize DialogHost::viewSize(const QSize &size)
{
	m_screenArea = toolkit::detail::AvailableScreenArea(*this);
	if (m_screenArea.isEmpty())
		return size;
	// What the window manager's frame and title bar take of the screen.
	const QSize room = m_screenArea.size().shrunkBy(toolkit::detail::WindowFrameMargins(*this));
	if (size.width() <= room.width() && size.height() <= room.height())
		return size;
	// A direction that scrolls gives room to the other's scroll bar.
	const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
	QSize view = size;
	if (size.height() > room.height())
		view.rwidth() += bar;
	if (size.width() > room.width())
		view.rheight() += bar;
	return view.boundedTo(room);
}

QRect DialogHost::toPixels(int x, int y, int cx, int cy) const
{
	// Edges convert one by one, so that controls whose edges meet in the
	// template meet on the screen.
	QPoint topLeft(mulDiv(x, m_baseX, 4), mulDiv(y, m_baseY, 8));
	QPoint bottomRight(mulDiv(x + cx, m_baseX, 4), mulDiv(y + cy, m_baseY, 8));
	return QRect(topLeft, bottomRight - QPoint(1, 1));
}

QWidget *DialogHost::control(int id) const
{
	ControlState *found = state(id);
	return found ? found->widget : nullptr;
}

ControlState *DialogHost::state(int id) const
{
	return id < 0 ? nullptr : m_byId.value(id);
}

ControlState *DialogHost::stateOf(const QWidget *widget) const
{
	return m_byWidget.value(widget);
}

void DialogHost::createControl(const ControlTemplate &row)
{
	using namespace toolkit::detail;
	auto owned = std::make_unique<ControlState>(row);
	ControlState &ctl = *owned;
	switch (row.kind) {
	case ControlKind::CheckBox:
	case ControlKind::RadioButton:
	case ControlKind::PushButton:
	case ControlKind::DefPushButton:
		ctl.widget = CreateButton(*this, ctl);
		break;
	case ControlKind::Edit:
		ctl.widget = CreateEdit(*this, ctl);
		break;
	case ControlKind::HScrollBar:
		ctl.widget = CreateScrollBar(*this, ctl);
		break;
	case ControlKind::ProgressBar:
		ctl.widget = CreateProgressBar(*this, ctl);
		break;
	case ControlKind::GroupBox:
	case ControlKind::Label:
	case ControlKind::Bitmap:
	case ControlKind::Icon:
		ctl.widget = CreateStatic(*this, ctl);
		break;
	}
	if (!ctl.widget)
		return;
	QWidget *widget = ctl.widget;
	if (m_canvas)
		widget->setParent(m_canvas);
	widget->setFont(font());
	widget->setGeometry(toPixels(row.x, row.y, row.cx, row.cy));
	if (row.style & CS_HIDDEN)
		widget->setHidden(true);
	// As rich text, which Qt wraps into a tip of readable width; a screen
	// reader gets the sentence itself.
	if (row.tooltip) {
		const QString tip = QString::fromUtf8(row.tooltip);
		widget->setToolTip(QStringLiteral("<p>%1</p>").arg(tip.toHtmlEscaped()));
		widget->setAccessibleDescription(tip);
	}
	// A screen reader names a control by its caption; a control that shows
	// none is named by the caption beside it, or by its description.
	if (row.name)
		widget->setAccessibleName(QString::fromUtf8(row.name));
	else if (row.kind == ControlKind::Edit && row.caption && *row.caption)
		widget->setAccessibleName(QString::fromUtf8(row.caption));
	widget->installEventFilter(this);
	if (row.id >= 0) {
		widget->setObjectName(QString::number(row.id));
		m_byId.insert(row.id, &ctl);
	}
	m_byWidget.insert(widget, &ctl);
	m_states.push_back(std::move(owned));
}

CWnd *DialogHost::controlObject(const ControlState &ctl) const
{
	return ctl.object ? ctl.object : m_owner->GetDlgItem(ctl.id());
}

void DialogHost::notify(const ControlState &ctl, UINT code)
{
	NMHDR header;
	header.hwndFrom = ctl.widget;
	header.idFrom = static_cast<std::uintptr_t>(ctl.id());
	header.code = code;
	LRESULT result = 0;
	m_owner->Dispatch(WM_NOTIFY, code, ctl.id(), 0, reinterpret_cast<LPARAM>(&header), &result);
}

bool DialogHost::eventFilter(QObject *watched, QEvent *event)
{
	using namespace toolkit::detail;
	ControlState *ctl = stateOf(qobject_cast<QWidget *>(watched));
	if (!ctl)
		return QDialog::eventFilter(watched, event);
	if (WindowMenuKey(*this, event))
		return true;
	switch (ctl->kind()) {
	case ControlKind::CheckBox:
	case ControlKind::RadioButton:
	case ControlKind::PushButton:
	case ControlKind::DefPushButton:
		return ButtonEvent(*this, *ctl, event);
	case ControlKind::HScrollBar:
		return ScrollBarEvent(*this, *ctl, event);
	case ControlKind::ProgressBar:
		return ProgressBarEvent(*this, *ctl, event);
	default:
		return false;
	}
}

bool DialogHost::event(QEvent *event)
{
	// Keys reach the dialog itself when no control has the focus.
	if (toolkit::detail::WindowMenuKey(*this, event))
		return true;
	const bool handled = QDialog::event(event);
	switch (event->type()) {
	case QEvent::Show:
		m_placing = true;
		placeFrame();
		break;
	case QEvent::Move:
	case QEvent::Resize:
		// Once the window manager has framed the window its real title bar
		// is known: one more look, then the operator places the window.
		if (m_placing && windowHandle() && !windowHandle()->frameMargins().isNull()) {
			m_placing = false;
			placeFrame();
		}
		break;
	default:
		break;
	}
	return handled;
}

void DialogHost::placeFrame()
{
	// Qt centres the window itself (the client area); the frame and title
	// bar go round it, measured once the window manager framed it.
	const QMargins margins = toolkit::detail::WindowFrameMargins(*this);
	const bool framed = windowHandle() && !windowHandle()->frameMargins().isNull();
	const QRect frame = framed ? frameGeometry() : geometry().marginsAdded(margins);
	const QPoint corner = toolkit::PlaceFrame(m_screenArea, frame);
	if (corner == frame.topLeft())
		return;
	if (framed) {
		move(corner);
		return;
	}
	move(corner + QPoint(margins.left(), margins.top()));
	// On X11 only a frame position makes the window manager put the
	// frame's corner there (north-west gravity) whatever its title bar's
	// height; a window position keeps the window and lets the title bar
	// stick out above (static gravity).
	if (windowHandle() && QGuiApplication::platformName() != QLatin1String("offscreen"))
		windowHandle()->setFramePosition(corner);
}

bool DialogHost::isTabStop(const ControlState &ctl) const
{
	if (!ctl.widget->isVisibleTo(this) || !ctl.widget->isEnabled())
		return false;
	switch (ctl.kind()) {
	case ControlKind::RadioButton:
		return toolkit::detail::RadioSetStop(*this, ctl) == &ctl;
	case ControlKind::CheckBox:
	case ControlKind::PushButton:
	case ControlKind::DefPushButton:
	case ControlKind::Edit:
	case ControlKind::HScrollBar:
		return true;
	default:
		return false;
	}
}

bool DialogHost::focusNextPrevChild(bool next)
{
	// Tab walks the template's order; a radio set is one stop.
	const auto count = static_cast<int>(m_states.size());
	if (count == 0)
		return false;
	int from = -1;
	if (const ControlState *current = stateOf(focusWidget())) {
		for (int i = 0; i < count; ++i)
			if (m_states[static_cast<size_t>(i)].get() == current)
				from = i;
	}
	if (from < 0)
		from = next ? count - 1 : 0;
	for (int step = 1; step <= count; ++step) {
		int i = ((from + (next ? step : -step)) % count + count) % count;
		const ControlState &candidate = *m_states[static_cast<size_t>(i)];
		if (isTabStop(candidate)) {
			candidate.widget->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
			if (m_scroll)
				m_scroll->ensureWidgetVisible(candidate.widget);
			return true;
		}
	}
	return false;
}

void DialogHost::setControlEnabled(QWidget *control, bool enable)
{
	const bool focused = focusWidget() == control;
	control->setEnabled(enable);
	if (!enable) {
		if (!focused)
			return;
		// Disabling a whole row of controls passes the focus along it;
		// the one the operator had stays the one to come back to.
		if (!m_focusParked || m_focusMovedTo != control)
			m_focusParked = control;
		m_focusMovedTo = focusWidget();
		return;
	}
	if (!m_focusParked || m_focusParked != control)
		return;
	if (focusWidget() == m_focusMovedTo)
		control->setFocus(Qt::OtherFocusReason);
	m_focusParked = nullptr;
	m_focusMovedTo = nullptr;
}

void DialogHost::showSystemMenu(const QPoint &globalPos)
{
	m_sysMenu->popup(globalPos);
}

void DialogHost::contextMenuEvent(QContextMenuEvent *event)
{
	// The window menu opens on the panel's background and on its frames
	// and labels; a control's own menu stays its own.
	QWidget *child = childAt(event->pos());
	if (m_scroll && (child == m_scroll->viewport() || child == m_canvas))
		child = nullptr;
	if (child && !qobject_cast<QGroupBox *>(child) && !qobject_cast<QLabel *>(child)) {
		event->ignore();
		return;
	}
	showSystemMenu(event->globalPos());
}

void DialogHost::reject()
{
	// Escape and the close button act as "Cancel" through the message table.
	m_owner->Dispatch(WM_COMMAND, BN_CLICKED, IDCANCEL);
}

void DialogHost::paintEvent(QPaintEvent *event)
{
	m_paintEvent = event;
	m_owner->Dispatch(WM_PAINT, 0, 0);
	m_paintEvent = nullptr;
}

void DialogHost::paintDefault()
{
	if (m_paintEvent)
		QDialog::paintEvent(m_paintEvent);
}

void DialogHost::changeEvent(QEvent *event)
{
	QDialog::changeEvent(event);
	if (event->type() != QEvent::WindowStateChange || !isMinimized())
		return;
	// The icon the window manager shows for the minimised window.
	LRESULT result = 0;
	m_owner->Dispatch(WM_QUERYDRAGICON, 0, 0, 0, 0, &result);
	if (auto icon = reinterpret_cast<HICON>(result))
		setWindowIcon(QIcon(QString::fromUtf8(icon->path)));
}
