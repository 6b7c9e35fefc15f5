#include "MessageBoxSink.h"

#include "msgbox.h"

void CMessageBoxSink::Report(int, const char *text)
{
	AfxMessageBox(text, 0, 0);
}

CMessageBoxSink &CMessageBoxSink::Instance()
{
	static CMessageBoxSink sink;
	return sink;
}
