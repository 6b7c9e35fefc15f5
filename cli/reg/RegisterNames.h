// The sensor registers by name, as velmora-reg and its scripts take them,
// and the numbers they are written in.
#pragma once

#include "registers.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace reg_cli {

struct NamedRegister {
	const char *name;
	kl310::Reg reg;
	bool readable; // dump reads it
	bool setting;  // dump --script writes it back
};

// In the order dump lists them, which is also a safe order to write the
// settings back in (modes before the values they govern).
std::span<const NamedRegister> RegisterNames();

// A register as given on the command line or in a script.
struct RegisterRef {
	std::uint16_t number = 0;
	const char *name = nullptr; // when the register has one
};

struct Resolved {
	std::optional<RegisterRef> reg;
	std::string error; // when not resolved: why, with the nearest names
};

// A name from the table (any case) or a 16-bit address.
Resolved ResolveRegister(std::string_view text);

// Up to three names closest to text, nearest first.
std::vector<std::string> NearestNames(std::string_view text);

// "0x" and hexadecimal digits, or decimal digits; nothing else, and no
// more than max.
std::optional<std::uint32_t> ParseNumber(std::string_view text, std::uint32_t max);
// The sentence refusing text as a number up to max.
std::string NumberError(std::string_view text, std::uint32_t max);

// "shutter (0x3012)", or "0x3014" for a register without a name.
std::string Describe(const RegisterRef &reg);

} // namespace reg_cli
