#include "../qt_access.h"

#include "../dialog.h"
#include "dialog_host.h"

namespace toolkit {

QDialog *DialogWidget(const CDialog &dialog)
{
	return HostOf(dialog);
}

QWidget *ControlWidget(const CDialog &dialog, int id)
{
	return ControlWidgetOf(dialog, id);
}

DialogHost *HostOf(const CDialog &dialog)
{
	return dynamic_cast<DialogHost *>(dialog.GetSafeHwnd());
}

QWidget *ControlWidgetOf(const CDialog &dialog, int id)
{
	DialogHost *host = HostOf(dialog);
	return host ? host->control(id) : nullptr;
}

} // namespace toolkit
