// One line typed at a terminal, read key by key, so that news can appear
// above the prompt while the operator types: the prompt and what was typed
// so far are drawn again below it, and typing goes on where it was.
// The kernel's line editing cannot do that: the half-typed line lives in
// the terminal driver, out of the program's reach.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tool {

// The keys of a line, as the terminal's own editing takes them: Enter
// ends it, Backspace takes the last character, Ctrl+U the whole line,
// Ctrl+W the last word, Ctrl+D on an empty line ends the input; other
// control keys (arrows' escape sequences among them) are ignored.
class LineEditor
{
public:
	enum class State { Typing, Done, EndOfInput };
	// echo: what the terminal must show for the key (erasing too).
	State Key(char key, std::string &echo);
	const std::string &Typed() const { return m_typed; }

private:
	std::string m_typed;
	int m_escape = 0; // bytes of an escape sequence still to skip
};

// What is said above a prompt being typed at: the line cleared, the news
// (on their own stream), then the prompt and the typed text again.
struct Redraw {
	std::string clear;  // before the news, on the prompt's stream
	std::string prompt; // after them
};
Redraw RedrawAround(const std::string &prompt, const std::string &typed);

// Reads one line from the terminal fd with prompt on out. news is asked
// at least every pollMs; its lines go to err above the prompt. nullopt at
// the end of input or on a stop request (Ctrl+C). The terminal's modes
// are restored before it returns.
std::optional<std::string> ReadTerminalLine(int fd, const std::string &prompt, std::ostream &out,
					    std::ostream &err,
					    const std::function<std::vector<std::string>()> &news,
					    int pollMs = 250);

} // namespace tool
