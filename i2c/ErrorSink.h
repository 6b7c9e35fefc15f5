// Where the message of a failed transfer goes. The front end decides: the
// panel shows a message box, a command-line tool prints a line.
#pragma once

#include <string>

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

// Keeps the last message instead of showing it, for a front end that
// tells a failure in a line of its own words.
class HeldErrorSink final : public IICErrorSink
{
public:
	void Report(int, const char *text) override { m_text = text; }
	const std::string &Text() const { return m_text; }

private:
	std::string m_text;
};
