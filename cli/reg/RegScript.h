// Register scripts: the lines velmora-reg runs and dump --script writes.
//
//   write REG VALUE
//   read REG [expect VALUE [mask M]]
//   wait MS
//   poll REG MASK VALUE TIMEOUT_MS
//   command WORD
//   # a comment, also after a step
//
// The whole script is checked before anything is sent, so a mistake on the
// last line never leaves a camera half set up.
#pragma once

#include "RegBus.h"
#include "RegisterNames.h"
#include "ToolClock.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace reg_cli {

struct Step {
	enum class Op { Write, Read, Wait, Poll, Command };
	Op op = Op::Write;
	int line = 0;
	RegisterRef reg;
	std::uint16_t value = 0; // Write, Command: sent; Read, Poll: expected
	std::uint16_t mask = 0xFFFF;
	bool expect = false;  // Read: compare with value under mask
	std::uint32_t ms = 0; // Wait: pause; Poll: time limit
};

struct ParsedScript {
	std::vector<Step> steps;
	bool ok = false;
	// "line N: ...", one for every wrong line up to kMostWrongLines.
	std::vector<std::string> errors;
	bool moreErrors = false; // wrong lines past those
};

// A script with many wrong lines is probably no script: the first twenty
// are enough to show which.
constexpr std::size_t kMostWrongLines = 20;

ParsedScript ParseRegScript(std::string_view text);

struct ScriptResult {
	int status = 0;      // ExitStatus.h
	std::string message; // on failure, the one line naming the script's line
	int steps = 0;       // steps done
};

// Runs the steps in order and stops at the first failed transfer or unmet
// expectation, or at a stop request (Ctrl+C), also inside a wait or poll.
// The values read without an expectation go to out.
ScriptResult RunRegScript(const std::vector<Step> &steps, RegBus &bus, tool::ToolClock &clock,
			  std::ostream &out);

// A poll reads the register again after this pause.
constexpr std::int64_t kPollIntervalUs = 1000;
// Longest pause or poll a script may ask for: an hour.
constexpr std::uint32_t kLongestWaitMs = 3600000;

} // namespace reg_cli
