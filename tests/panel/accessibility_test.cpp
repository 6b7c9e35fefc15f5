// What a screen reader finds in the panel: every control it can move to
// has a name, and the nameless sliders and edits carry their neighbour's.
#include "panel_fixture.h"

#include "qt_access.h"
#include "resource.h"

#include <QAccessible>
#include <QDialog>

#include <map>

namespace {

// Every focusable object under iface without a name, as "role objectName".
void CollectNameless(QAccessibleInterface *iface, std::vector<std::string> &nameless)
{
	for (int i = 0; i < iface->childCount(); ++i) {
		QAccessibleInterface *child = iface->child(i);
		if (!child)
			continue;
		if (child->state().focusable && child->text(QAccessible::Name).trimmed().isEmpty())
			nameless.push_back(
				std::to_string(child->role()) + " " +
				(child->object() ? child->object()->objectName().toStdString() : "?"));
		CollectNameless(child, nameless);
	}
}

TEST_F(PanelTest, AccessibilityEveryFocusableControlHasAName)
{
	Open();
	QDialog *window = toolkit::DialogWidget(*dlg);
	window->show();
	QAccessibleInterface *root = QAccessible::queryAccessibleInterface(window);
	ASSERT_NE(root, nullptr);
	ASSERT_GT(root->childCount(), 60);
	std::vector<std::string> nameless;
	CollectNameless(root, nameless);
	EXPECT_THAT(nameless, ::testing::IsEmpty());

	const std::map<int, const char *> names = {
		{ IDC_AEX_REF_SCROLL, "AEX ref." },
		{ IDC_RED_GREEN, "Red-Green" },
		{ IDC_REG_HIGH, "Register addr. high byte" },
		{ IDC_TRIM_HORIZONTAL, "horizontal trim display" },
		{ IDC_TRIM_LEFT, "left" },
	};
	for (const auto &[id, name] : names) {
		QAccessibleInterface *control = QAccessible::queryAccessibleInterface(Control(id));
		ASSERT_NE(control, nullptr) << id;
		EXPECT_EQ(control->text(QAccessible::Name).toStdString(), name) << id;
	}
}

} // namespace
