// What a screen reader finds in a dialog: its controls, without those the
// template hides. Qt lists every child widget, a hidden one too, which a
// screen reader then reports as a control of no size.
#include "controls.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace toolkit::detail {

namespace {

class ShownControls final : public QAccessibleWidget
{
public:
	ShownControls(QWidget *container, QAccessible::Role role) : QAccessibleWidget(container, role) {}

	int childCount() const override { return static_cast<int>(shown().size()); }

	QAccessibleInterface *child(int index) const override
	{
		const QObjectList list = shown();
		if (index < 0 || index >= list.size())
			return nullptr;
		return QAccessible::queryAccessibleInterface(list[index]);
	}

	int indexOfChild(const QAccessibleInterface *child) const override
	{
		return child ? static_cast<int>(shown().indexOf(child->object())) : -1;
	}

private:
	QObjectList shown() const
	{
		QObjectList list;
		for (QObject *object : widget()->children()) {
			auto *child = qobject_cast<QWidget *>(object);
			if (child && !child->isWindow() && child->isVisibleTo(widget()))
				list.append(child);
		}
		return list;
	}
};

} // namespace

void ExposeShownControlsOnly(QWidget &container, bool isDialog)
{
	QAccessible::registerAccessibleInterface(
		new ShownControls(&container, isDialog ? QAccessible::Dialog : QAccessible::Client));
}

} // namespace toolkit::detail
