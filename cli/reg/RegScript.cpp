#include "RegScript.h"

#include "ExitStatus.h"
#include "InputFile.h"
#include "StopRequest.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <ostream>

using namespace kl310;

namespace reg_cli {

namespace {

std::string Hex4(unsigned value)
{
	char text[8];
	std::snprintf(text, sizeof(text), "0x%04x", value & 0xFFFF);
	return text;
}

std::vector<std::string_view> Words(std::string_view line)
{
	std::vector<std::string_view> words;
	std::size_t pos = 0;
	while (pos < line.size()) {
		std::size_t begin = line.find_first_not_of(" \t\r", pos);
		if (begin == std::string_view::npos)
			break;
		std::size_t end = line.find_first_of(" \t\r", begin);
		if (end == std::string_view::npos)
			end = line.size();
		words.push_back(line.substr(begin, end - begin));
		pos = end;
	}
	return words;
}

// One line's words into a step; the first problem found is kept.
class LineParser
{
public:
	LineParser(const std::vector<std::string_view> &words, Step &step) : m_words(words), m_step(step) {}

	const std::string &error() const { return m_error; }

	void parse()
	{
		std::string_view verb = m_words[0];
		std::size_t n = m_words.size();
		if (verb == "write" && arguments(n == 3, "write REG VALUE")) {
			m_step.op = Step::Op::Write;
			reg(1);
			m_step.value = word(2);
		} else if (verb == "read" &&
			   arguments(n == 2 || (n == 4 && m_words[2] == "expect") ||
					     (n == 6 && m_words[2] == "expect" && m_words[4] == "mask"),
				     "read REG [expect VALUE [mask M]]")) {
			m_step.op = Step::Op::Read;
			reg(1);
			m_step.expect = n >= 4;
			if (m_step.expect)
				m_step.value = word(3);
			if (n == 6)
				m_step.mask = word(5);
			maskedValue();
		} else if (verb == "wait" && arguments(n == 2, "wait MS")) {
			m_step.op = Step::Op::Wait;
			m_step.ms = milliseconds(1);
		} else if (verb == "poll" && arguments(n == 5, "poll REG MASK VALUE TIMEOUT_MS")) {
			m_step.op = Step::Op::Poll;
			reg(1);
			m_step.mask = word(2);
			m_step.value = word(3);
			m_step.ms = milliseconds(4);
			maskedValue();
		} else if (verb == "command" && arguments(n == 2, "command WORD")) {
			m_step.op = Step::Op::Command;
			m_step.reg = RegisterRef{ REG_COMMAND.number(), "command" };
			m_step.value = word(1);
		} else if (m_error.empty()) {
			m_error = "unknown step '" + std::string(verb) +
				  "' (write, read, wait, poll, command or a # comment)";
		}
	}

private:
	bool arguments(bool right, const char *form)
	{
		if (!right)
			m_error = std::string("expected ") + form;
		return right;
	}

	void reg(std::size_t i)
	{
		Resolved resolved = ResolveRegister(m_words[i]);
		if (resolved.reg)
			m_step.reg = *resolved.reg;
		else if (m_error.empty())
			m_error = resolved.error;
	}

	std::uint32_t number(std::size_t i, std::uint32_t max)
	{
		std::optional<std::uint32_t> value = ParseNumber(m_words[i], max);
		if (!value && m_error.empty())
			m_error = NumberError(m_words[i], max);
		return value.value_or(0);
	}

	std::uint16_t word(std::size_t i) { return static_cast<std::uint16_t>(number(i, 0xFFFF)); }

	// A time is given and refused in decimal milliseconds.
	std::uint32_t milliseconds(std::size_t i)
	{
		if (ParseNumber(m_words[i], kLongestWaitMs) || !ParseNumber(m_words[i], 0xFFFFFFFF))
			return number(i, kLongestWaitMs);
		if (m_error.empty())
			m_error = std::to_string(*ParseNumber(m_words[i], 0xFFFFFFFF)) +
				  " ms is longer than the longest wait, " + std::to_string(kLongestWaitMs) +
				  " ms (an hour)";
		return 0;
	}

	// A value with bits outside its mask can never be read.
	void maskedValue()
	{
		if (m_error.empty() && (m_step.value & ~m_step.mask)) {
			m_error = "the value " + Hex4(m_step.value) + " has bits outside the mask " +
				  Hex4(m_step.mask) + " and can never be read";
		}
	}

	const std::vector<std::string_view> &m_words;
	Step &m_step;
	std::string m_error;
};

// An editor may put one first; the script is read as UTF-8 either way.
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
// No step has a longer word; a longer one is shown cut.
constexpr std::size_t kLongestWord = 40;

// A word that cannot be part of a step (a control character, too long) is
// replaced by the form a message may show: the step is refused either way,
// and its message never carries raw bytes.
std::vector<std::string> ShownWords(std::vector<std::string_view> &words)
{
	std::vector<std::string> shown;
	shown.reserve(words.size());
	for (std::string_view &word : words) {
		std::string text = fileio::ShownText(word, kLongestWord);
		if (text != word) {
			shown.push_back(std::move(text));
			word = shown.back();
		}
	}
	return shown;
}

std::string AtLine(int line, const std::string &what)
{
	return "line " + std::to_string(line) + ": " + what;
}

} // namespace

ParsedScript ParseRegScript(std::string_view text)
{
	ParsedScript parsed;
	if (text.starts_with(kByteOrderMark))
		text.remove_prefix(std::size(kByteOrderMark) - 1);
	int line = 0;
	std::size_t pos = 0;
	while (pos < text.size()) {
		line++;
		// A line ends in LF, CR LF or CR alone.
		std::size_t end = text.find_first_of("\r\n", pos);
		if (end == std::string_view::npos)
			end = text.size();
		std::string_view content = text.substr(pos, end - pos);
		pos = end + (text.substr(end).starts_with("\r\n") ? 2 : 1);
		content = content.substr(0, content.find('#'));
		std::vector<std::string_view> words = Words(content);
		if (words.empty())
			continue;
		std::vector<std::string> shown = ShownWords(words);
		Step step;
		step.line = line;
		LineParser parser(words, step);
		parser.parse();
		if (parser.error().empty()) {
			parsed.steps.push_back(step);
		} else if (parsed.errors.size() < kMostWrongLines) {
			parsed.errors.push_back(AtLine(line, parser.error()));
		} else {
			parsed.moreErrors = true;
			break;
		}
	}
	parsed.ok = parsed.errors.empty();
	if (!parsed.ok)
		parsed.steps.clear();
	return parsed;
}

namespace {

// Why a step did not succeed: the exit status and the words for it.
struct StepFailure {
	int status;
	std::string why;
};

using StepEnd = std::optional<StepFailure>;

// Ctrl+C ends a wait or poll early; the rest of the pause is not made up.
// The run names the line it stopped at.
StepEnd Pause(tool::ToolClock &clock, std::int64_t us)
{
	constexpr std::int64_t kSliceUs = 100000;
	while (us > 0 && !tool::StopRequested()) {
		clock.SleepUs(std::min(us, kSliceUs));
		us -= kSliceUs;
	}
	if (tool::StopRequested())
		return StepFailure{ tool::kInterrupted, "" };
	return std::nullopt;
}

StepEnd Poll(const Step &step, RegBus &bus, tool::ToolClock &clock)
{
	const std::int64_t deadline = clock.NowUs() + std::int64_t{ step.ms } * 1000;
	for (;;) {
		std::uint16_t value = 0;
		if (!bus.Read(step.reg.number, value))
			return StepFailure{ tool::kBusFailure, bus.Failure() };
		if ((value & step.mask) == step.value)
			return std::nullopt;
		std::int64_t left = deadline - clock.NowUs();
		if (left <= 0)
			return StepFailure{ tool::kMismatch,
					    Describe(step.reg) + " was still " + Hex4(value) + " after " +
						    std::to_string(step.ms) + " ms, waiting for " +
						    Hex4(step.value) + " under the mask " + Hex4(step.mask) };
		if (StepEnd stopped = Pause(clock, std::min(kPollIntervalUs, left)))
			return stopped;
	}
}

// As the image trim issues its commands: the sensor clears the busy bit
// when done; unlike the panel, a command that never finishes is a failure
// here.
StepEnd Command(const Step &step, RegBus &bus)
{
	if (!bus.Write(step.reg.number, step.value))
		return StepFailure{ tool::kBusFailure, bus.Failure() };
	for (int poll = 0; poll < COMMAND_POLLS; poll++) {
		std::uint16_t value = 0;
		if (!bus.Read(step.reg.number, value))
			return StepFailure{ tool::kBusFailure, bus.Failure() };
		if (!(value & COMMAND_BUSY))
			return std::nullopt;
	}
	return StepFailure{ tool::kMismatch, "the command " + Hex4(step.value) + " was still busy after " +
						     std::to_string(COMMAND_POLLS) + " polls" };
}

StepEnd Read(const Step &step, RegBus &bus, std::ostream &out)
{
	std::uint16_t value = 0;
	if (!bus.Read(step.reg.number, value))
		return StepFailure{ tool::kBusFailure, bus.Failure() };
	if (!step.expect)
		out << Describe(step.reg) << " = " << Hex4(value) << '\n';
	else if ((value & step.mask) != step.value)
		return StepFailure{ tool::kMismatch, Describe(step.reg) + " is " + Hex4(value) +
							     ", expected " + Hex4(step.value) +
							     " under the mask " + Hex4(step.mask) };
	return std::nullopt;
}

StepEnd RunStep(const Step &step, RegBus &bus, tool::ToolClock &clock, std::ostream &out)
{
	switch (step.op) {
	case Step::Op::Write:
		if (!bus.Write(step.reg.number, step.value))
			return StepFailure{ tool::kBusFailure, bus.Failure() };
		return std::nullopt;
	case Step::Op::Read:
		return Read(step, bus, out);
	case Step::Op::Wait:
		return Pause(clock, std::int64_t{ step.ms } * 1000);
	case Step::Op::Poll:
		return Poll(step, bus, clock);
	case Step::Op::Command:
		return Command(step, bus);
	}
	return std::nullopt;
}

} // namespace

ScriptResult RunRegScript(const std::vector<Step> &steps, RegBus &bus, tool::ToolClock &clock,
			  std::ostream &out)
{
	ScriptResult result;
	for (const Step &step : steps) {
		StepEnd failed = tool::StopRequested() ? StepFailure{ tool::kInterrupted, "" }
						       : RunStep(step, bus, clock, out);
		if (failed) {
			if (failed->status == tool::kInterrupted)
				failed->why = "stopped by Ctrl+C or SIGTERM; the " +
					      std::to_string(result.steps) +
					      (result.steps == 1 ? " step before this line was done"
								 : " steps before this line were done");
			result.status = failed->status;
			result.message = AtLine(step.line, failed->why);
			return result;
		}
		result.steps++;
	}
	return result;
}

} // namespace reg_cli
