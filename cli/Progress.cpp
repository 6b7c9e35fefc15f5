#include "Progress.h"

#include <ostream>

namespace eeprom_cli {

namespace {

constexpr int kBarWidth = 40;

} // namespace

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
	int percent = m_total > 0 ? m_done * 100 / m_total : 100;
	if (percent == m_shownPercent)
		return;
	m_shownPercent = percent;
	int filled = percent * kBarWidth / 100;
	m_out << '\r' << m_phase << " [" << std::string(static_cast<size_t>(filled), '#')
	      << std::string(static_cast<size_t>(kBarWidth - filled), ' ') << "] " << percent << '%'
	      << std::flush;
	m_onLine = true;
}

} // namespace eeprom_cli
