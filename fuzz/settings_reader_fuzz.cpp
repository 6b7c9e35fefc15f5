// libFuzzer target for the settings file reader.
//
// Whatever the reader accepts goes into the camera's EEPROM, so besides
// not crashing it must accept exactly the well-formed files: every line,
// cut at its first '/', splits on blanks, TABs and CRs into tokens of two
// hexadecimal digits, and there are at most 2048 of them. That rule is
// checked here independently of the reader, and an accepted file must
// survive the writer and the reader once more unchanged.
#include "SettingsFileFormat.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

int Digit(char c)
{
	if (c >= '0' && c <= '9')
		return c - '0';
	if (c >= 'a' && c <= 'f')
		return c - 'a' + 10;
	if (c >= 'A' && c <= 'F')
		return c - 'A' + 10;
	return -1;
}

std::optional<std::vector<std::uint16_t>> WellFormedValues(std::string_view text)
{
	std::vector<std::uint16_t> values;
	size_t start = 0;
	while (start <= text.size()) {
		size_t end = text.find('\n', start);
		if (end == std::string_view::npos)
			end = text.size();
		std::string_view line = text.substr(start, end - start);
		line = line.substr(0, line.find('/'));
		size_t i = 0;
		while (i < line.size()) {
			if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
				i++;
				continue;
			}
			size_t j = line.find_first_of(" \t\r", i);
			std::string_view token = line.substr(i, j == std::string_view::npos ? line.size() - i
											    : j - i);
			if (token.size() != 2)
				return std::nullopt;
			int high = Digit(token[0]);
			int low = Digit(token[1]);
			if (high < 0 || low < 0 || values.size() == settings::kFileValues)
				return std::nullopt;
			values.push_back(static_cast<std::uint16_t>(high * 16 + low));
			i += token.size();
		}
		start = end + 1;
	}
	return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	std::string_view text(reinterpret_cast<const char *>(data), size);
	settings::LoadedSettings loaded = settings::ParseSettings(text);
	std::optional<std::vector<std::uint16_t>> expected = WellFormedValues(text);

	if (loaded.ok != expected.has_value())
		std::abort();
	if (!loaded.ok) {
		if (!loaded.values.empty() || loaded.refusal.message.empty() || loaded.refusal.line < 1)
			std::abort();
		return 0;
	}
	if (loaded.values != *expected)
		std::abort();

	std::vector<std::uint16_t> table(settings::kFileValues, 0);
	std::copy(loaded.values.begin(), loaded.values.end(), table.begin());
	std::string written = settings::FormatSettingsFile(
		"fuzz.qmx",
		std::span<const std::uint16_t, settings::kFileValues>(table.data(), table.size()));
	settings::LoadedSettings again = settings::ParseSettings(written);
	if (!again.ok || again.values != table)
		std::abort();
	return 0;
}
