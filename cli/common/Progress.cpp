#include "Progress.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace tool {

namespace {

constexpr int kLongestBar = 40;
constexpr int kShortestBar = 4;

int Percent(int done, int total)
{
	return total > 0 ? done * 100 / total : 100;
}

} // namespace

std::string ProgressLine(const std::string &label, const std::string &phase, int done, int total, int columns)
{
	int percent = Percent(done, total);
	std::string head = label.empty() ? phase : label + ' ' + phase;
	char tail[8];
	std::snprintf(tail, sizeof(tail), "%3d%%", percent);
	int room = std::max(columns - 1, 0);
	// head + " [" + bar + "] " + tail
	int bar = std::min(kLongestBar, room - static_cast<int>(head.size()) - 4 -
						static_cast<int>(std::string(tail).size()));
	std::string line;
	if (bar >= kShortestBar) {
		int filled = percent * bar / 100;
		line = head + " [" + std::string(static_cast<size_t>(filled), '#') +
		       std::string(static_cast<size_t>(bar - filled), ' ') + "] " + tail;
	} else {
		line = head + ' ' + tail;
	}
	if (static_cast<int>(line.size()) > room)
		line.resize(static_cast<size_t>(room));
	return line;
}

void BarProgress::Begin(const char *phase, int total)
{
	m_phase = phase;
	m_total = total;
	m_done = 0;
	m_shownPercent = -1;
	draw();
}

void BarProgress::Step()
{
	if (m_done < m_total)
		m_done++;
	draw();
}

void BarProgress::End()
{
	if (m_onLine)
		m_out << '\n' << std::flush;
	m_onLine = false;
}

// Redrawn only when the percentage changes: a slow terminal line must not
// slow the transfers down.
void BarProgress::draw()
{
	int percent = Percent(m_done, m_total);
	if (percent == m_shownPercent)
		return;
	m_shownPercent = percent;
	m_out << '\r' << ProgressLine("", m_phase, m_done, m_total, m_columns) << std::flush;
	m_onLine = true;
}

CameraLines::CameraLines(std::ostream &out, std::vector<std::string> labels, int columns)
	: m_out(out), m_labels(std::move(labels)), m_lines(m_labels.size()), m_columns(columns)
{
	// Labels padded alike, so the bars stand one under the other.
	size_t width = 0;
	for (const std::string &label : m_labels)
		width = std::max(width, label.size());
	for (std::string &label : m_labels)
		label.resize(width, ' ');
}

void CameraLines::Show(size_t camera, const std::string &phase, int done, int total)
{
	Line &line = m_lines.at(camera);
	int percent = Percent(done, total);
	if (m_drawn && line.phase == phase && line.percent == percent)
		return;
	line = { phase, done, total, percent };
	draw();
}

void CameraLines::draw()
{
	if (m_drawn)
		m_out << "\x1b[" << m_lines.size() << 'A';
	for (size_t i = 0; i < m_lines.size(); i++) {
		const Line &line = m_lines[i];
		m_out << "\r\x1b[2K"
		      << ProgressLine(m_labels[i], line.phase.empty() ? "waiting" : line.phase, line.done,
				      line.total, m_columns)
		      << '\n';
	}
	m_out << std::flush;
	m_drawn = true;
}

void CameraLines::End()
{
	m_drawn = false;
}

} // namespace tool
