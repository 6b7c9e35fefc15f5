// Where the message of a failed transfer goes. The front end decides: the
// panel shows a message box, a command-line tool prints a line. Every
// transfer object is given one; there is no process-wide default.
#pragma once

#include <string>

class IICErrorSink
{
public:
	virtual ~IICErrorSink() = default;
	// status is the adapter's (never 0), text its message.
	virtual void Report(int status, const char *text) = 0;
};

// Keeps the last failure instead of showing it, for a front end that
// tells a failure in a line of its own words.
class HeldErrorSink final : public IICErrorSink
{
public:
	void Report(int status, const char *text) override
	{
		m_status = status;
		m_text = text;
	}
	int Status() const { return m_status; }
	const std::string &Text() const { return m_text; }

private:
	int m_status = 0;
	std::string m_text;
};
