// What crosses between velmora-eeprom and each camera's process: a
// result, and the settings image the parent checked, as fields rather
// than text to be parsed again. Parent and child are the same program, so
// numbers travel as 8 bytes in the machine's order and strings as their
// length, then their bytes. One list of fields per type serves both
// directions (Wire.cpp), so that a field added is never left behind.
#pragma once

#include "FrameCheck.h"
#include "Operations.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace operations {

class WireWriter
{
public:
	void Put(std::int64_t number);
	void Put(const std::string &text);
	void Put(double number); // its 8 bytes: the value whole
	void Put(const std::vector<int> &numbers);
	template <typename Number>
	void Put(Number value)
	{
		Put(static_cast<std::int64_t>(value));
	}
	const std::string &Bytes() const { return m_bytes; }

private:
	std::string m_bytes;
};

class WireReader
{
public:
	explicit WireReader(std::string_view bytes) : m_bytes(bytes) {}
	void Get(std::int64_t &number);
	void Get(std::string &text);
	void Get(double &number);
	void Get(std::vector<int> &numbers);
	template <typename Number>
	void Get(Number &value)
	{
		std::int64_t wide = 0;
		Get(wide);
		value = static_cast<Number>(wide);
	}
	// Every field read so far was whole.
	bool Good() const { return m_ok; }
	// Every field read and nothing left over.
	bool Ok() const { return m_ok && m_bytes.empty(); }

private:
	std::string_view m_bytes;
	bool m_ok = true;
};

void PutResult(WireWriter &out, const Result &result);
// false, and result as it was, when the bytes hold no whole result.
bool GetResult(WireReader &in, Result &result);

void PutImage(WireWriter &out, const SettingsImage &image);
bool GetImage(WireReader &in, SettingsImage &image);

// What a camera's picture showed (--frame-check), or that none was looked at.
void PutFrameReport(WireWriter &out, const std::optional<video::FrameReport> &report);
bool GetFrameReport(WireReader &in, std::optional<video::FrameReport> &report);

} // namespace operations
