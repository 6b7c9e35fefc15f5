#include "MessageBoxSink.h"

#include "BusCaption.h"
#include "msgbox.h"

// A bus that could not be opened is told with its reason, so that "error
// USB_DEVICE_NOT_FOUND" does not stand alone.
void CMessageBoxSink::Report(int, const char *text)
{
	AfxMessageBox(BusFailureMessage(text, iicbus::LastBus()).c_str(), 0, 0);
}

CMessageBoxSink &CMessageBoxSink::Instance()
{
	static CMessageBoxSink sink;
	return sink;
}
