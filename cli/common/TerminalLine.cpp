#include "TerminalLine.h"

#include "StopRequest.h"

#include <cerrno>
#include <ostream>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace tool {

namespace {

constexpr char kClearLine[] = "\r\033[K";

bool ContinuationByte(char c)
{
	return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Keys one at a time, no echo by the driver; Ctrl+C still a signal.
class RawMode
{
public:
	explicit RawMode(int fd) : m_fd(fd)
	{
		m_ok = tcgetattr(fd, &m_saved) == 0;
		if (!m_ok)
			return;
		termios raw = m_saved;
		raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
		raw.c_cc[VMIN] = 1;
		raw.c_cc[VTIME] = 0;
		m_ok = tcsetattr(fd, TCSANOW, &raw) == 0;
	}
	~RawMode()
	{
		if (m_ok)
			tcsetattr(m_fd, TCSANOW, &m_saved);
	}
	RawMode(const RawMode &) = delete;
	RawMode &operator=(const RawMode &) = delete;

private:
	int m_fd;
	termios m_saved{};
	bool m_ok = false;
};

} // namespace

LineEditor::State LineEditor::Key(char key, std::string &echo)
{
	// ESC [ ... final byte, ESC O and one byte, or ESC and one byte: an
	// arrow or a function key, which a unit's line has no use for.
	if (m_escape == 2) {
		m_escape = key == '[' ? 3 : key == 'O' ? 1 : 0;
		return State::Typing;
	}
	if (m_escape > 0) {
		if (m_escape == 1 || (key >= 0x40 && key <= 0x7E))
			m_escape = 0;
		return State::Typing;
	}
	switch (key) {
	case '\r':
	case '\n':
		echo += "\n";
		return State::Done;
	case 0x04: // Ctrl+D: the caller ends the line
		return m_typed.empty() ? State::EndOfInput : State::Typing;
	case 0x7F:
	case 0x08: // Backspace: one character, all of its bytes
		if (m_typed.empty())
			return State::Typing;
		while (m_typed.size() > 1 && ContinuationByte(m_typed.back()))
			m_typed.pop_back();
		m_typed.pop_back();
		echo += "\b \b";
		return State::Typing;
	case 0x15: // Ctrl+U
		for (size_t n = 0; n < m_typed.size(); n++)
			if (!ContinuationByte(m_typed[n]))
				echo += "\b \b";
		m_typed.clear();
		return State::Typing;
	case 0x17: { // Ctrl+W: blanks at the end, then the word before them
		size_t end = m_typed.size();
		while (end > 0 && m_typed[end - 1] == ' ')
			end--;
		while (end > 0 && m_typed[end - 1] != ' ')
			end--;
		for (size_t n = end; n < m_typed.size(); n++)
			if (!ContinuationByte(m_typed[n]))
				echo += "\b \b";
		m_typed.erase(end);
		return State::Typing;
	}
	case 0x1B:
		m_escape = 2;
		return State::Typing;
	default:
		break;
	}
	if (static_cast<unsigned char>(key) < 0x20)
		return State::Typing;
	m_typed += key;
	echo += key;
	return State::Typing;
}

Redraw RedrawAround(const std::string &prompt, const std::string &typed)
{
	return { kClearLine, prompt + typed };
}

std::optional<std::string> ReadTerminalLine(int fd, const std::string &prompt, std::ostream &out,
					    std::ostream &err,
					    const std::function<std::vector<std::string>()> &news, int pollMs)
{
	RawMode raw(fd);
	LineEditor editor;
	out << prompt << std::flush;
	for (;;) {
		if (news) {
			std::vector<std::string> lines = news();
			if (!lines.empty()) {
				Redraw redraw = RedrawAround(prompt, editor.Typed());
				out << redraw.clear << std::flush;
				for (const std::string &line : lines)
					err << line << '\n';
				err << std::flush;
				out << redraw.prompt << std::flush;
			}
		}
		if (StopRequested())
			return std::nullopt;
		pollfd polled{ fd, POLLIN, 0 };
		int ready = poll(&polled, 1, pollMs);
		if (ready < 0 && errno == EINTR)
			continue;
		if (ready == 0)
			continue;
		// One key at a time: what follows Enter (a scanner's next unit)
		// stays in the terminal for the next prompt.
		char key = 0;
		ssize_t n = ready < 0 ? -1 : read(fd, &key, 1);
		if (n < 0 && errno == EINTR)
			continue;
		if (n <= 0)
			return std::nullopt;
		std::string echo;
		LineEditor::State state = editor.Key(key, echo);
		out << echo << std::flush;
		if (state == LineEditor::State::Done)
			return editor.Typed();
		if (state == LineEditor::State::EndOfInput)
			return std::nullopt;
	}
}

} // namespace tool
