// What a screen reader finds in the panel: a name on every control it can
// move to, for a slider or an edit the caption beside it.
#include "panel_fixture.h"

#include "qt_access.h"
#include "resource.h"

#include <QAccessible>
#include <QDialog>

namespace {

void CollectNameless(QAccessibleInterface *iface, std::vector<std::string> &nameless)
{
	for (int i = 0; i < iface->childCount(); ++i) {
		QAccessibleInterface *child = iface->child(i);
		if (child->state().focusable && child->text(QAccessible::Name).trimmed().isEmpty())
			nameless.push_back(child->object()->objectName().toStdString());
		CollectNameless(child, nameless);
	}
}

TEST_F(PanelTest, AccessibilityEveryFocusableControlHasAName)
{
	Open();
	QAccessibleInterface *root = QAccessible::queryAccessibleInterface(toolkit::DialogWidget(*dlg));
	ASSERT_GT(root->childCount(), 60);
	std::vector<std::string> nameless;
	CollectNameless(root, nameless);
	EXPECT_THAT(nameless, ::testing::IsEmpty());

	for (auto [id, name] :
	     { std::pair{ IDC_AEX_REF_SCROLL, "AEX ref." }, std::pair{ IDC_RED_GREEN, "Red-Green" },
	       std::pair{ IDC_REG_HIGH, "Register addr. high byte" } })
		EXPECT_EQ(QAccessible::queryAccessibleInterface(Control(id))
				  ->text(QAccessible::Name)
				  .toStdString(),
			  name);
}

TEST_F(PanelTest, AccessibilityRolesDescriptionsAndNoHiddenControls)
{
	Open();
	auto iface = [this](int id) { return QAccessible::queryAccessibleInterface(Control(id)); };
	EXPECT_EQ(iface(IDC_SENSOR)->role(), QAccessible::RadioButton);
	EXPECT_EQ(iface(IDC_MANUAL_MODE)->role(), QAccessible::RadioButton);
	EXPECT_EQ(iface(IDC_PROGRESS)->text(QAccessible::Name), "EEPROM transfer progress");
	EXPECT_EQ(iface(IDC_SHUTTER_SCROLL)->text(QAccessible::Description),
		  "Manual shutter: the exposure time used while \"Manual Exposure\" is checked, written to "
		  "sensor register 0x3012.");
	// The hidden address offset edit is no child of the panel's.
	QAccessibleInterface *root = QAccessible::queryAccessibleInterface(toolkit::DialogWidget(*dlg));
	EXPECT_EQ(root->indexOfChild(iface(IDC_ADDR_OFFSET)), -1);
	for (int i = 0; i < root->childCount(); ++i)
		EXPECT_NE(root->child(i)->object(), Control(IDC_ADDR_OFFSET));
}

} // namespace
