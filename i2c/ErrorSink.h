// Where the message of a failed transfer goes. The front end decides: the
// panel shows a message box, a command-line tool prints a line.
#pragma once

class IICErrorSink
{
public:
	virtual ~IICErrorSink() = default;
	// status is the adapter's (never 0), text its message.
	virtual void Report(int status, const char *text) = 0;

	// The sink of every transfer object created without one. Until a front
	// end installs its own, messages go to standard error.
	static IICErrorSink &Default();
	// nullptr restores the standard-error sink.
	static void SetDefault(IICErrorSink *sink);
};
