#include "dialog_host.h"

#include "../dialog.h"
#include "interaction.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QApplication>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>

#include <cmath>

namespace {

// Win32's rounding multiply-divide, used for dialog-unit conversion.
int mulDiv(int value, int numerator, int denominator)
{
	return static_cast<int>(std::lround(static_cast<double>(value) * numerator / denominator));
}

// A limit of 0 means the edit's largest text, as for a fresh edit.
constexpr int kNoLimit = 32767;

int editLimit(const QLineEdit *edit)
{
	int limit = edit->property("velmora_limit").toInt();
	return limit > 0 ? limit : kNoLimit;
}

// The typing limit never cuts a text that is already longer.
void applyEditLimit(QLineEdit *edit, qsizetype textLength)
{
	int wanted = std::max(editLimit(edit), static_cast<int>(textLength));
	if (edit->maxLength() != wanted)
		edit->setMaxLength(wanted);
}

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

// Styles may jump the thumb to a click in the trough (or a middle click)
// and report it as a released drag; the panel's sliders move only in
// steps or by a real drag, so those hints are off for them.
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

	QFont font;
	font.setFamilies({ QString::fromUtf8(tmpl.fontFace), QStringLiteral("DejaVu Sans"),
			   QStringLiteral("Sans Serif") });
	font.setPointSize(tmpl.pointSize);
	setFont(font);

	// Dialog units follow the dialog font, so the layout keeps the
	// template's proportions whatever font the system substitutes.
	QFontMetrics metrics(font);
	int alphabet = metrics.horizontalAdvance(
		QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
	m_baseX = std::max(1, (alphabet / 26 + 1) / 2);
	m_baseY = std::max(1, metrics.height());

	for (const ControlTemplate &ctl : tmpl.controls)
		createControl(ctl, font);

	setFixedSize(toPixels(0, 0, tmpl.cx, tmpl.cy).size());
	buildSystemMenu();
}

QRect DialogHost::toPixels(short x, short y, short cx, short cy) const
{
	return QRect(mulDiv(x, m_baseX, 4), mulDiv(y, m_baseY, 8), mulDiv(cx, m_baseX, 4),
		     mulDiv(cy, m_baseY, 8));
}

int DialogHost::controlId(const QWidget *widget) const
{
	bool ok = false;
	int id = widget->objectName().toInt(&ok);
	return ok ? id : -1;
}

QWidget *DialogHost::makeWidget(const ControlTemplate &ctl)
{
	const QString caption = QString::fromUtf8(ctl.caption ? ctl.caption : "");
	switch (ctl.kind) {
	case ControlKind::GroupBox: {
		auto *group = new QGroupBox(caption, this);
		// The caption sits on the frame line, as in the template's layout.
		group->setStyleSheet(QStringLiteral(
			"QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.6em; }"
			"QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
			" left: 6px; padding: 0 2px; }"));
		return group;
	}
	case ControlKind::CheckBox:
		return new QCheckBox(caption, this);
	case ControlKind::RadioButton: {
		auto *radio = new QRadioButton(caption, this);
		// The toolkit keeps the set exclusive itself, so that the program
		// can clear every button of a set.
		radio->setAutoExclusive(false);
		return radio;
	}
	case ControlKind::PushButton:
	case ControlKind::DefPushButton: {
		auto *button = new QPushButton(caption, this);
		button->setDefault(ctl.kind == ControlKind::DefPushButton);
		return button;
	}
	case ControlKind::Edit: {
		auto *edit = new QLineEdit(this);
		edit->setReadOnly(ctl.style & CS_READONLY);
		if (ctl.style & CS_CENTER)
			edit->setAlignment(Qt::AlignCenter);
		edit->setProperty("velmora_multiline", bool(ctl.style & CS_MULTILINE));
		edit->setMaxLength(kNoLimit);
		return edit;
	}
	case ControlKind::Label: {
		auto *label = new QLabel(caption, this);
		label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
		return label;
	}
	case ControlKind::HScrollBar: {
		auto *bar = new QScrollBar(Qt::Horizontal, this);
		bar->setRange(0, 100);
		bar->setSingleStep(1);
		bar->setPageStep(0);
		// The value changes only through the program; a drag reports its
		// position once, on release.
		bar->setTracking(false);
		// Qt's own menu would set the value directly ("Scroll here").
		bar->setContextMenuPolicy(Qt::PreventContextMenu);
		bar->setStyle(sliderStyle());
		bar->setFocusPolicy(Qt::StrongFocus);
		bar->setProperty("velmora_min", 0);
		bar->setProperty("velmora_max", 100);
		return bar;
	}
	case ControlKind::ProgressBar: {
		auto *bar = new QProgressBar(this);
		bar->setRange(0, 100);
		bar->setValue(0);
		bar->setTextVisible(false);
		bar->setProperty("velmora_step", 10);
		return bar;
	}
	case ControlKind::Bitmap:
	case ControlKind::Icon: {
		auto *picture = new QLabel(this);
		const ImageResource *image = ctl.kind == ControlKind::Bitmap ? AfxFindBitmap(ctl.resource)
									     : AfxFindIcon(ctl.resource);
		if (image)
			picture->setPixmap(QPixmap(QString::fromUtf8(image->path)));
		picture->setScaledContents(true);
		return picture;
	}
	}
	return nullptr;
}

void DialogHost::createControl(const ControlTemplate &ctl, const QFont &font)
{
	QWidget *widget = makeWidget(ctl);
	if (!widget)
		return;
	widget->setFont(font);
	widget->setGeometry(toPixels(ctl.x, ctl.y, ctl.cx, ctl.cy));
	if (ctl.style & CS_HIDDEN)
		widget->setHidden(true);
	if (ctl.id < 0)
		return;

	widget->setObjectName(QString::number(ctl.id));
	m_controls.insert(ctl.id, widget);

	if (auto *button = qobject_cast<QAbstractButton *>(widget))
		connectButton(button, ctl);
	else if (auto *edit = qobject_cast<QLineEdit *>(widget))
		connectEdit(edit, ctl.id);
	else if (auto *bar = qobject_cast<QScrollBar *>(widget))
		connectScrollBar(bar);
	else if (qobject_cast<QProgressBar *>(widget))
		widget->installEventFilter(this);
}

void DialogHost::connectButton(QAbstractButton *button, const ControlTemplate &ctl)
{
	if (ctl.kind == ControlKind::RadioButton) {
		m_radioGroups.insert(button, ctl.radioGroup);
		connect(button, &QAbstractButton::clicked, this,
			[this, button, group = ctl.radioGroup] { onRadioClicked(button, group); });
		return;
	}
	connect(button, &QAbstractButton::clicked, this,
		[this, id = ctl.id] { m_owner->Dispatch(WM_COMMAND, BN_CLICKED, id); });
}

void DialogHost::onRadioClicked(QAbstractButton *radio, int group)
{
	// A click always selects: a checked radio stays checked.
	{
		QSignalBlocker blocker(radio);
		radio->setChecked(true);
	}
	for (auto it = m_radioGroups.cbegin(); it != m_radioGroups.cend(); ++it) {
		auto *other = qobject_cast<QAbstractButton *>(it.key());
		if (other != radio && it.value() == group) {
			QSignalBlocker blocker(other);
			other->setChecked(false);
		}
	}
	m_owner->Dispatch(WM_COMMAND, BN_CLICKED, controlId(radio));
}

void DialogHost::connectEdit(QLineEdit *edit, int id)
{
	connect(edit, &QLineEdit::textChanged, this, [this, edit, id] { onEditTextChanged(edit, id); });
}

void DialogHost::onEditTextChanged(QLineEdit *edit, int id)
{
	applyEditLimit(edit, edit->text().size());
	if (m_owner->IsExchanging() || edit->property("velmora_quiet").toBool())
		return;
	m_owner->Dispatch(WM_COMMAND, EN_CHANGE, id);
}

void DialogHost::setEditText(QLineEdit *edit, const QString &text, bool notify)
{
	applyEditLimit(edit, text.size());
	if (edit->text() == text) {
		// Qt stays silent for an unchanged text; the handlers rely on
		// hearing about it (a slider step at a range end rewrites the value).
		if (notify && !m_owner->IsExchanging())
			m_owner->Dispatch(WM_COMMAND, EN_CHANGE, controlId(edit));
		return;
	}
	if (notify) {
		edit->setText(text);
		return;
	}
	edit->setProperty("velmora_quiet", true);
	edit->setText(text);
	edit->setProperty("velmora_quiet", false);
}

void DialogHost::setEditLimit(QLineEdit *edit, int limit)
{
	edit->setProperty("velmora_limit", limit);
	applyEditLimit(edit, edit->text().size());
}

void DialogHost::connectScrollBar(QScrollBar *bar)
{
	connect(bar, &QAbstractSlider::actionTriggered, this,
		[this, bar](int action) { onScrollAction(bar, action); });
	connect(bar, &QAbstractSlider::sliderReleased, this,
		[this, bar] { dispatchScroll(bar, SB_THUMBPOSITION, bar->sliderPosition()); });
	bar->installEventFilter(this);
}

void DialogHost::onScrollAction(QScrollBar *bar, int action)
{
	// Qt has already moved the thumb for this action; take it back, the
	// thumb moves only when the program sets a position.
	bar->setSliderPosition(bar->value());
	if (action == QAbstractSlider::SliderNoAction || action == QAbstractSlider::SliderMove)
		return;
	dispatchScroll(bar, scrollCode(action), bar->value());
}

void DialogHost::dispatchScroll(QScrollBar *bar, unsigned code, int pos)
{
	toolkit::detail::ScrollInteraction interaction(bar);
	auto *wnd = static_cast<CWnd *>(bar->property("velmora_cwnd").value<void *>());
	if (!wnd)
		wnd = m_owner->GetDlgItem(controlId(bar));
	WPARAM wParam = (static_cast<WPARAM>(pos & 0xFFFF) << 16) | (code & 0xFFFF);
	m_owner->Dispatch(WM_HSCROLL, 0, 0, wParam, reinterpret_cast<LPARAM>(wnd));
}

void DialogHost::buildSystemMenu()
{
	m_sysMenu = new QMenu(this);
	const struct {
		const char *text;
		UINT command;
	} items[] = {
		{ "&Move", SC_MOVE },
		{ "Mi&nimize", SC_MINIMIZE },
		{ "&Close\tAlt+F4", SC_CLOSE },
	};
	for (const auto &item : items) {
		if (item.command == SC_MINIMIZE && !(windowFlags() & Qt::WindowMinimizeButtonHint))
			continue;
		if (item.command == SC_CLOSE)
			m_sysMenu->addSeparator();
		m_sysMenu->addAction(QString::fromUtf8(item.text))->setData(item.command);
	}
	connect(m_sysMenu, &QMenu::triggered, this, [this](QAction *action) {
		m_owner->Dispatch(WM_SYSCOMMAND, 0, 0, action->data().toUInt(), 0);
	});

	auto *shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
	connect(shortcut, &QShortcut::activated, this,
		[this] { showSystemMenu(mapToGlobal(QPoint(0, 0))); });
}

void DialogHost::showSystemMenu(const QPoint &globalPos)
{
	m_sysMenu->popup(globalPos);
}

void DialogHost::contextMenuEvent(QContextMenuEvent *event)
{
	QWidget *child = childAt(event->pos());
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

bool DialogHost::eventFilter(QObject *watched, QEvent *event)
{
	auto *widget = qobject_cast<QWidget *>(watched);
	UINT code = 0;
	if (qobject_cast<QScrollBar *>(widget) &&
	    (event->type() == QEvent::StyleChange || event->type() == QEvent::ThemeChange))
		code = NM_THEMECHANGED;
	else if (qobject_cast<QProgressBar *>(widget) && event->type() == QEvent::Paint)
		code = NM_CUSTOMDRAW;
	if (code) {
		NMHDR header;
		header.hwndFrom = widget;
		header.idFrom = static_cast<std::uintptr_t>(controlId(widget));
		header.code = code;
		LRESULT result = 0;
		m_owner->Dispatch(WM_NOTIFY, code, controlId(widget), 0, reinterpret_cast<LPARAM>(&header),
				  &result);
	}
	return QDialog::eventFilter(watched, event);
}
