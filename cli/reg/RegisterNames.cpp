#include "RegisterNames.h"

#include "InputFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

using namespace kl310;

namespace reg_cli {

namespace {

constexpr NamedRegister kNames[] = {
	{ "mirror-flip-1", REG_MIRROR_FLIP1, true, true },
	{ "mirror-flip-2", REG_MIRROR_FLIP2, true, true },
	{ "sharpness", REG_SHARPNESS, true, true },
	{ "overlay-enable", REG_OVERLAY_ENABLE, true, true },
	{ "overlay-1", REG_OVERLAY1, true, true },
	{ "overlay-2", REG_OVERLAY2, true, true },
	{ "overlay-3", REG_OVERLAY3, true, true },
	{ "overlay-4", REG_OVERLAY4, true, true },
	{ "exposure-mode", REG_EXPOSURE_MODE, true, true },
	{ "shutter", REG_SHUTTER, true, true },
	{ "aex-ref", REG_EXPOSURE_REF, true, true },
	{ "wb-mode", REG_WB_MODE, true, true },
	{ "red-gain", REG_RED_GREEN, true, true },
	{ "blue-gain", REG_BLUE_GREEN, true, true },
	{ "gain-1", REG_GAIN_3056, true, false },
	{ "gain-2", REG_GAIN_3058, true, false },
	{ "gain-3", REG_GAIN_305A, true, false },
	{ "gain-4", REG_GAIN_305C, true, false },
	{ "exposure-state-1", REG_EXPOSURE_STATE1, true, false },
	{ "exposure-state-2", REG_EXPOSURE_STATE2, true, false },
	{ "exposure-latch", REG_EXPOSURE_LATCH, true, false },
	{ "wb-control-0", REG_WB_CONTROL0, true, false },
	{ "wb-control-1", REG_WB_CONTROL1, true, false },
	{ "video-standard", REG_VIDEO_STANDARD, true, false },
	{ "command", REG_COMMAND, true, false },
	// Written only: what they read back means nothing to the panel.
	{ "trim-select", REG_TRIM_SELECT, false, false },
	{ "trim-horizontal", REG_TRIM_HORIZONTAL, false, false },
	{ "trim-vertical", REG_TRIM_VERTICAL, false, false },
};

std::string Lower(std::string_view text)
{
	std::string lower(text);
	for (char &c : lower)
		c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
	return lower;
}

std::size_t EditDistance(std::string_view a, std::string_view b)
{
	std::vector<std::size_t> row(b.size() + 1);
	for (std::size_t j = 0; j <= b.size(); j++)
		row[j] = j;
	for (std::size_t i = 1; i <= a.size(); i++) {
		std::size_t diagonal = row[0];
		row[0] = i;
		for (std::size_t j = 1; j <= b.size(); j++) {
			std::size_t above = row[j];
			row[j] = std::min({ row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1]) });
			diagonal = above;
		}
	}
	return row[b.size()];
}

} // namespace

std::span<const NamedRegister> RegisterNames()
{
	return kNames;
}

std::optional<std::uint32_t> ParseNumber(std::string_view text, std::uint32_t max)
{
	int base = 10;
	if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
		base = 16;
		text.remove_prefix(2);
	}
	if (text.empty() || text.size() > 10)
		return std::nullopt;
	std::uint64_t value = 0;
	for (char c : text) {
		int digit = -1;
		if (c >= '0' && c <= '9')
			digit = c - '0';
		else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c)))
			digit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
		if (digit < 0)
			return std::nullopt;
		value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
	}
	if (value > max)
		return std::nullopt;
	return static_cast<std::uint32_t>(value);
}

std::string NumberError(std::string_view text, std::uint32_t max)
{
	char limit[16];
	std::snprintf(limit, sizeof(limit), "0x%X", max);
	if (ParseNumber(text, 0xFFFFFFFF))
		return fileio::ShownText(text) + " is larger than " + limit;
	return "'" + fileio::ShownText(text) + "' is not a number (hexadecimal with 0x, or decimal)";
}

std::vector<std::string> NearestNames(std::string_view text)
{
	std::string wanted = Lower(text);
	struct Scored {
		std::size_t score;
		std::size_t order;
		const char *name;
	};
	std::vector<Scored> scored;
	for (std::size_t i = 0; i < std::size(kNames); i++) {
		std::string_view name = kNames[i].name;
		// "gain" is the start of four names: all are near.
		std::size_t score = name.starts_with(wanted) ? 0 : EditDistance(wanted, name);
		scored.push_back({ score, i, kNames[i].name });
	}
	std::sort(scored.begin(), scored.end(), [](const Scored &a, const Scored &b) {
		return a.score != b.score ? a.score < b.score : a.order < b.order;
	});
	std::vector<std::string> nearest;
	for (const Scored &s : scored) {
		if (nearest.size() == 3 || s.score > scored.front().score + 1)
			break;
		nearest.push_back(s.name);
	}
	return nearest;
}

Resolved ResolveRegister(std::string_view text)
{
	Resolved resolved;
	if (!text.empty() && std::isdigit(static_cast<unsigned char>(text[0]))) {
		std::optional<std::uint32_t> number = ParseNumber(text, 0xFFFF);
		if (!number) {
			resolved.error = "register " + NumberError(text, 0xFFFF);
			return resolved;
		}
		RegisterRef ref{ static_cast<std::uint16_t>(*number), nullptr };
		for (const NamedRegister &n : kNames) {
			if (n.reg.number() == ref.number)
				ref.name = n.name;
		}
		resolved.reg = ref;
		return resolved;
	}
	std::string wanted = Lower(text);
	for (const NamedRegister &n : kNames) {
		if (wanted == n.name) {
			resolved.reg = RegisterRef{ n.reg.number(), n.name };
			return resolved;
		}
	}
	resolved.error = "no register is named '" + fileio::ShownText(text) + "'; nearest:";
	for (const std::string &name : NearestNames(text))
		resolved.error += " " + name;
	return resolved;
}

std::string Describe(const RegisterRef &reg)
{
	char number[8];
	std::snprintf(number, sizeof(number), "0x%04x", reg.number);
	return reg.name ? std::string(reg.name) + " (" + number + ")" : std::string(number);
}

} // namespace reg_cli
