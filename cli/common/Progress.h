// How far an operation has come. On a terminal the tool draws a bar on
// standard error; in a script it stays quiet, so logs hold only results.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tool {

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

// "label phase [#####     ]  50%" in at most columns - 1 characters, so
// the cursor never wraps in a narrow terminal; the bar shrinks first, then
// goes, then the text is cut. label may be empty.
std::string ProgressLine(const std::string &label, const std::string &phase, int done, int total,
			 int columns);

class BarProgress final : public Progress
{
public:
	explicit BarProgress(std::ostream &out, int columns = 80) : m_out(out), m_columns(columns) {}
	void Begin(const char *phase, int total) override;
	void Step() override;
	void End() override;

private:
	void draw();

	std::ostream &m_out;
	int m_columns;
	std::string m_phase;
	int m_total = 0;
	int m_done = 0;
	int m_shownPercent = -1;
	bool m_onLine = false;
};

// One line per camera, redrawn in place with the terminal's cursor
// movements; for a terminal only.
class CameraLines
{
public:
	CameraLines(std::ostream &out, std::vector<std::string> labels, int columns);
	void Show(size_t camera, const std::string &phase, int done, int total);
	// Leaves the cursor below the lines.
	void End();

private:
	struct Line {
		std::string phase;
		int done = 0;
		int total = 1;
		int percent = -1;
	};
	void draw();

	std::ostream &m_out;
	std::vector<std::string> m_labels;
	std::vector<Line> m_lines;
	int m_columns;
	bool m_drawn = false;
};

} // namespace tool
