// The panel shows every failed transfer in a modal message box.
#pragma once

#include "ErrorSink.h"

class CMessageBoxSink : public IICErrorSink
{
public:
	void Report(int status, const char *text) override;

	static CMessageBoxSink &Instance();
};
