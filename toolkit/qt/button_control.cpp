// Check boxes, radio buttons and push buttons: a click reaches the message
// table as BN_CLICKED after the button changed its state; the program's
// check states raise nothing. The radio buttons of one set are one tab
// stop, and the arrow keys move the focus within the set.
#include "controls.h"

#include "../dialog.h"
#include "dialog_host.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

namespace toolkit::detail {

namespace {

bool sameSet(const ControlState &a, const ControlState &b)
{
	return a.isRadio() && b.isRadio() && a.tmpl.radioGroup == b.tmpl.radioGroup;
}

bool usable(const ControlState &ctl)
{
	return ctl.widget->isEnabled() && !ctl.widget->isHidden();
}

void onRadioClicked(DialogHost &host, ControlState &radio)
{
	// A click always selects: a checked radio stays checked, and the
	// others of its set clear. The toolkit keeps the set exclusive itself
	// so that the program can clear every button of a set.
	for (const auto &other : host.controls()) {
		if (!sameSet(*other, radio))
			continue;
		auto *button = static_cast<QAbstractButton *>(other->widget);
		QSignalBlocker blocker(button);
		button->setChecked(other.get() == &radio);
	}
	host.owner()->Dispatch(WM_COMMAND, BN_CLICKED, radio.id());
}

// The next usable radio of the set in template order, wrapping round.
ControlState *neighbour(DialogHost &host, const ControlState &radio, bool forward)
{
	const auto &all = host.controls();
	const auto count = static_cast<long>(all.size());
	long at = 0;
	while (at < count && all[static_cast<size_t>(at)].get() != &radio)
		++at;
	for (long step = 1; step < count; ++step) {
		long i = ((at + (forward ? step : -step)) % count + count) % count;
		ControlState &candidate = *all[static_cast<size_t>(i)];
		if (sameSet(candidate, radio) && usable(candidate))
			return &candidate;
	}
	return nullptr;
}

} // namespace

QWidget *CreateButton(DialogHost &host, ControlState &ctl)
{
	const QString caption = QString::fromUtf8(ctl.tmpl.caption ? ctl.tmpl.caption : "");
	QAbstractButton *button = nullptr;
	switch (ctl.kind()) {
	case ControlKind::CheckBox:
		button = new QCheckBox(caption, &host);
		break;
	case ControlKind::RadioButton: {
		// Each set is a group that lets the toolkit keep it exclusive itself
		// (the program may clear every button of a set); the button stays
		// auto-exclusive, which is what makes it a radio button to a screen
		// reader rather than a check box.
		auto *radio = new QRadioButton(caption, &host);
		const QString setName = QStringLiteral("radio set %1").arg(ctl.tmpl.radioGroup);
		auto *set = host.findChild<QButtonGroup *>(setName, Qt::FindDirectChildrenOnly);
		if (!set) {
			set = new QButtonGroup(&host);
			set->setObjectName(setName);
			set->setExclusive(false);
		}
		set->addButton(radio);
		button = radio;
		break;
	}
	default: {
		auto *push = new QPushButton(caption, &host);
		push->setDefault(ctl.kind() == ControlKind::DefPushButton);
		button = push;
		break;
	}
	}
	if (ctl.id() < 0)
		return button;
	QObject::connect(button, &QAbstractButton::clicked, &host, [&host, &ctl] {
		if (ctl.isRadio())
			onRadioClicked(host, ctl);
		else
			host.owner()->Dispatch(WM_COMMAND, BN_CLICKED, ctl.id());
	});
	return button;
}

bool ButtonEvent(DialogHost &host, ControlState &ctl, QEvent *event)
{
	if (!ctl.isRadio() || event->type() != QEvent::KeyPress)
		return false;
	auto *key = static_cast<QKeyEvent *>(event);
	if (key->modifiers() & (Qt::AltModifier | Qt::ControlModifier))
		return false;
	bool forward;
	switch (key->key()) {
	case Qt::Key_Left:
	case Qt::Key_Up:
		forward = false;
		break;
	case Qt::Key_Right:
	case Qt::Key_Down:
		forward = true;
		break;
	default:
		return false;
	}
	// The focus moves within the set; choosing is the operator's Space or
	// click, so no handler runs and no check state changes here.
	if (ControlState *target = neighbour(host, ctl, forward)) {
		host.setAttribute(Qt::WA_KeyboardFocusChange);
		target->widget->setFocus(Qt::OtherFocusReason);
	}
	return true;
}

const ControlState *RadioSetStop(const DialogHost &host, const ControlState &radio)
{
	const ControlState *first = nullptr;
	for (const auto &other : host.controls()) {
		if (!sameSet(*other, radio) || !usable(*other))
			continue;
		if (static_cast<QAbstractButton *>(other->widget)->isChecked())
			return other.get();
		if (!first)
			first = other.get();
	}
	return first;
}

LRESULT ButtonMessage(ControlState &ctl, UINT message, WPARAM wParam)
{
	auto *button = static_cast<QAbstractButton *>(ctl.widget);
	if (message == BM_GETCHECK)
		return button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
	if (message == BM_SETCHECK) {
		// A check state set by the program raises no click handler.
		QSignalBlocker blocker(button);
		button->setChecked(wParam != BST_UNCHECKED);
	}
	return 0;
}

} // namespace toolkit::detail
