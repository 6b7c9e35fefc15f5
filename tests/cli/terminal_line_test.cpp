// A unit's line typed at a terminal: the keys an operator (or a barcode
// scanner) uses, and news said above the prompt without losing the typing.
#include "TerminalLine.h"

#include <gtest/gtest.h>

#include <sstream>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

using tool::LineEditor;

TEST(LineEditorTest, KeysAsTheTerminalTakesThem)
{
	const struct {
		const char *keys;
		LineEditor::State end;
		const char *typed;
		const char *echo;
	} cases[] = {
		{ "SN-1\r", LineEditor::State::Done, "SN-1", "SN-1\n" },
		{ "SN-12\x7f\n", LineEditor::State::Done, "SN-1", "SN-12\b \b\n" },
		// One Backspace takes a whole character, all of its bytes.
		{ "Gr\xc3\xbc\x7f\r", LineEditor::State::Done, "Gr", "Gr\xc3\xbc\b \b\n" },
		{ "\x7fSN\x08\x08\x08\r", LineEditor::State::Done, "", "SN\b \b\b \b\n" },
		{ "ab\xc3\xbc\x15SN-2\r", LineEditor::State::Done, "SN-2",
		  "ab\xc3\xbc\b \b\b \b\b \bSN-2\n" },
		{ "SN 12 \x17\r", LineEditor::State::Done, "SN ", "SN 12 \b \b\b \b\b \b\n" },
		// Arrows and function keys are no part of a unit.
		{ "\x1b[ASN\x1b[15~-3\x1bOB\r", LineEditor::State::Done, "SN-3", "SN-3\n" },
		{ "S\tN\x01-4\r", LineEditor::State::Done, "SN-4", "SN-4\n" },
		// Ctrl+D ends the input only on an empty line.
		{ "\x04", LineEditor::State::EndOfInput, "", "" },
		{ "SN\x04-5\r", LineEditor::State::Done, "SN-5", "SN-5\n" },
	};
	for (const auto &c : cases) {
		LineEditor editor;
		std::string echo;
		LineEditor::State state = LineEditor::State::Typing;
		for (const char *key = c.keys; *key && state == LineEditor::State::Typing; key++)
			state = editor.Key(*key, echo);
		EXPECT_EQ(state, c.end) << c.keys;
		EXPECT_EQ(editor.Typed(), c.typed) << c.keys;
		EXPECT_EQ(echo, c.echo) << c.keys;
	}
}

// On a pseudo-terminal: "SN-1" typed, then the database's news, then "2"
// and Enter. The news stands on a line of its own, the prompt and the
// typing below it, and the line is whole; the terminal's modes are back.
TEST(TerminalLineTest, NewsAboveThePromptKeepTheTyping)
{
	int master = posix_openpt(O_RDWR | O_NOCTTY);
	ASSERT_GE(master, 0);
	ASSERT_EQ(grantpt(master), 0);
	ASSERT_EQ(unlockpt(master), 0);
	int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
	ASSERT_GE(terminal, 0);
	termios before{};
	ASSERT_EQ(tcgetattr(terminal, &before), 0);
	ASSERT_EQ(write(master, "SN-1", 4), 4);
	int asked = 0;
	auto news = [&]() -> std::vector<std::string> {
		// Asked before each key: the fifth time, all four keys are in.
		if (++asked != 5)
			return {};
		EXPECT_EQ(write(master, "2\r", 2), 2);
		return { "velmora-eeprom: 3 records sent to database plant" };
	};
	std::ostringstream out, err;
	EXPECT_EQ(tool::ReadTerminalLine(terminal, "unit of camera 4: ", out, err, news, 1000), "SN-12");
	EXPECT_EQ(out.str(), "unit of camera 4: SN-1\r\033[Kunit of camera 4: SN-12\n");
	EXPECT_EQ(err.str(), "velmora-eeprom: 3 records sent to database plant\n");
	termios after{};
	ASSERT_EQ(tcgetattr(terminal, &after), 0);
	EXPECT_EQ(after.c_lflag, before.c_lflag);
	close(terminal);
	close(master);
}

} // namespace
