// How far an operation has come. On a terminal the tool draws a bar on
// standard error; in a script it stays quiet, so logs hold only results.
#pragma once

#include <iosfwd>
#include <string>

namespace eeprom_cli {

class Progress
{
public:
	virtual ~Progress() = default;
	// A new phase ("write", "verify"...) of total steps.
	virtual void Begin(const char *phase, int total) = 0;
	virtual void Step() = 0;
	// Leaves the line free for whatever is printed next.
	virtual void End() = 0;
};

class QuietProgress final : public Progress
{
public:
	void Begin(const char *, int) override {}
	void Step() override {}
	void End() override {}
};

class BarProgress final : public Progress
{
public:
	explicit BarProgress(std::ostream &out) : m_out(out) {}
	void Begin(const char *phase, int total) override;
	void Step() override;
	void End() override;

private:
	void draw();

	std::ostream &m_out;
	std::string m_phase;
	int m_total = 0;
	int m_done = 0;
	int m_shownPercent = -1;
	bool m_onLine = false;
};

} // namespace eeprom_cli
