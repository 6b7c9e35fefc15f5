// Reader of the settings file.
//
// Whatever it accepts goes into the camera's EEPROM, so it accepts only
// what is clearly a value: two hexadecimal digits standing between
// separators. Everything else refuses the whole file.
#include "SettingsFileFormat.h"

#include "InputFile.h"

#include <cstdio>
#include <istream>
#include <sstream>

namespace settings {

namespace {

bool isBlank(int c)
{
	return c == ' ' || c == '\t' || c == '\r';
}

// What may directly follow the second digit of a value.
bool endsValue(int c)
{
	return c == EOF || isBlank(c) || c == '\n' || c == '/';
}

std::string quoted(int c)
{
	if (c == EOF)
		return "the end of the file";
	char text[16];
	if (c > 0x20 && c < 0x7F)
		std::snprintf(text, sizeof(text), "'%c'", c);
	else
		std::snprintf(text, sizeof(text), "the byte 0x%02X", c & 0xFF);
	return text;
}

LoadedSettings refuse(int line, std::string message)
{
	LoadedSettings result;
	result.refusal = { line, std::move(message) };
	return result;
}

} // namespace

int HexDigitValue(int c)
{
	if (c >= '0' && c <= '9')
		return c - '0';
	if (c >= 'A' && c <= 'F')
		return c - 'A' + 10;
	if (c >= 'a' && c <= 'f')
		return c - 'a' + 10;
	return -1;
}

LoadedSettings ReadSettings(std::istream &in)
{
	std::vector<std::uint16_t> values;
	int line = 1;
	int c = in.get();
	while (c != EOF) {
		if (c == '\n') {
			line++;
			c = in.get();
			continue;
		}
		if (isBlank(c)) {
			c = in.get();
			continue;
		}
		if (c == '/') {
			// The line end stays: it is counted above.
			while (c != EOF && c != '\n')
				c = in.get();
			continue;
		}

		int high = HexDigitValue(c);
		if (high < 0)
			return refuse(line, quoted(c) + " where a value should stand");
		int d = in.get();
		int low = HexDigitValue(d);
		if (low < 0) {
			if (endsValue(d))
				return refuse(line, "the value '" + std::string(1, static_cast<char>(c)) +
							    "' has one digit, not two");
			return refuse(line, quoted(d) + " is no hexadecimal digit");
		}
		int next = in.get();
		if (!endsValue(next)) {
			if (HexDigitValue(next) >= 0)
				return refuse(line, "a value has more than two digits");
			return refuse(line, quoted(next) + " directly after a value");
		}
		if (values.size() == static_cast<size_t>(kFileValues))
			return refuse(line, "more than 8 pages of values (the EEPROM has 8)");
		values.push_back(static_cast<std::uint16_t>(high * 16 + low));
		c = next;
	}
	if (in.bad())
		return refuse(line, "the file could not be read to its end");

	LoadedSettings result;
	result.ok = true;
	result.values = std::move(values);
	return result;
}

LoadedSettings ParseSettings(std::string_view text)
{
	std::istringstream in{ std::string(text) };
	return ReadSettings(in);
}

// A FIFO that nobody writes would hang the caller and a device may never
// end: only a regular file is read.
LoadedSettings LoadSettingsFile(const std::string &path)
{
	fileio::InputText input = fileio::ReadInputFile(path, { kMaxFileBytes, "settings file" });
	if (!input.ok)
		return refuse(0, input.why);
	LoadedSettings loaded = ParseSettings(input.text);
	loaded.text = std::move(input.text);
	return loaded;
}

PageCount SettingsPageCount(std::size_t values)
{
	if (values == 0)
		return { 0, false, "the file holds no values" };
	if (values % kPageSize != 0) {
		return { 0, false,
			 "the file holds " + std::to_string(values) + (values == 1 ? " value" : " values") +
				 ", which is no whole number of pages of 256" };
	}
	if (values > static_cast<size_t>(kFileValues))
		return { 0, false, "the file holds more than 8 pages (the EEPROM has 8)" };
	return { static_cast<int>(values / kPageSize), true, {} };
}

std::string DescribeRefusal(const Refusal &refusal)
{
	if (refusal.line <= 0)
		return refusal.message;
	return "line " + std::to_string(refusal.line) + ": " + refusal.message;
}

} // namespace settings
