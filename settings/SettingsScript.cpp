#include "SettingsScript.h"

#include <algorithm>
#include <cstdio>

namespace settings {

using namespace kl310;

namespace {

class ScriptWriter
{
public:
	explicit ScriptWriter(SettingsScript &script) : m_script(script) {}

	void record(Reg reg, std::int32_t value)
	{
		m_script.bytes.push_back(reg.high);
		m_script.bytes.push_back(reg.low);
		m_script.bytes.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
		m_script.bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
	}

	void marker(int value)
	{
		m_script.markerBefore = m_script.bytes.size();
		m_script.marker = static_cast<std::uint8_t>(value);
	}

	std::size_t position() const { return m_script.bytes.size(); }

private:
	SettingsScript &m_script;
};

constexpr Reg kOverlayRegs[] = { REG_OVERLAY1, REG_OVERLAY2, REG_OVERLAY3, REG_OVERLAY4 };

// Walks a script record by record; the first record out of place stops it
// with the offset and a sentence about what was found.
class ScriptReader
{
public:
	explicit ScriptReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

	bool failed() const { return !m_problem.empty(); }
	std::size_t position() const { return m_pos; }
	std::size_t failedAt() const { return m_failedAt; }
	const std::string &problem() const { return m_problem; }

	// True when the next record is for reg (nothing is consumed).
	bool nextIs(Reg reg) const
	{
		return !failed() && m_pos + kRecordSize <= m_bytes.size() && m_bytes[m_pos] == reg.high &&
		       m_bytes[m_pos + 1] == reg.low;
	}

	// The value of the next record, which must be for reg.
	std::int32_t take(Reg reg)
	{
		if (failed())
			return 0;
		if (!nextIs(reg)) {
			char text[96];
			if (m_pos + kRecordSize > m_bytes.size())
				std::snprintf(text, sizeof(text),
					      "the page ends where register 0x%04X belongs", reg.number());
			else
				std::snprintf(text, sizeof(text), "register 0x%02X%02X where 0x%04X belongs",
					      m_bytes[m_pos], m_bytes[m_pos + 1], reg.number());
			fail(m_pos, text);
			return 0;
		}
		std::int32_t value = m_bytes[m_pos + 2] << 8 | m_bytes[m_pos + 3];
		m_pos += kRecordSize;
		return value;
	}

	// The next record must be reg with one of the values Save writes.
	std::int32_t takeOneOf(Reg reg, std::initializer_list<std::int32_t> allowed)
	{
		std::size_t at = m_pos;
		std::int32_t value = take(reg);
		if (!failed() && std::find(allowed.begin(), allowed.end(), value) == allowed.end()) {
			char text[96];
			std::snprintf(text, sizeof(text),
				      "register 0x%04X holds 0x%04X, a value Save never writes", reg.number(),
				      static_cast<unsigned>(value));
			fail(at, text);
		}
		return value;
	}

	void fail(std::size_t at, std::string problem)
	{
		m_failedAt = at;
		m_problem = std::move(problem);
	}

private:
	std::span<const std::uint8_t> m_bytes;
	std::size_t m_pos = 0;
	std::size_t m_failedAt = 0;
	std::string m_problem;
};

bool Erased(std::span<const std::uint8_t> bytes)
{
	return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; });
}

} // namespace

SettingsScript BuildSettingsScript(const ScriptValues &v)
{
	SettingsScript script;
	ScriptWriter out(script);

	out.record(REG_MIRROR_FLIP1, v.reg301C);
	out.record(REG_MIRROR_FLIP2, v.reg3254);

	if (!v.autoWb) {
		for (int i = 0; i < WB_SNAPSHOT_SIZE; i++)
			out.record(WB_SNAPSHOT_REGS[i], v.wbSnapshot[static_cast<size_t>(i)]);
		out.record(REG_WB_SCRIPT_END, v.regAC4E);
	}

	if (v.overlayEnable) {
		out.record(REG_OVERLAY_ENABLE, OVERLAY_ON);
		// Each overlay register carries its index, with bit 15 when shown.
		for (int i = 0; i < 4; i++)
			out.record(kOverlayRegs[i],
				   (v.overlays[static_cast<size_t>(i)] ? OVERLAY_ON : 0) | i);
	} else {
		script.quietBegin = out.position();
		out.record(REG_OVERLAY_ENABLE, 0);
		script.quietEnd = out.position();
	}

	out.record(REG_SHARPNESS, v.reg326C);

	if (v.manualExposure) {
		out.record(REG_EXPOSURE_MODE, EXPOSURE_MANUAL);
		out.record(REG_SHUTTER, v.shutter);
		out.record(REG_EXPOSURE_REF, v.aexRef);
		out.marker(v.freezeGain ? FREEZE_MARKER_SET : MARKER_OFF);
		if (v.freezeGain) {
			out.record(REG_GAIN_3056, v.gain3056);
			out.record(REG_GAIN_3058, v.gain3058);
			out.record(REG_GAIN_305A, v.gain305A);
			out.record(REG_GAIN_305C, v.gain305C);
			out.record(REG_EXPOSURE_STATE1, v.regA838);
			out.record(REG_EXPOSURE_STATE2, v.regA83A);
		}
	} else {
		out.marker(MARKER_OFF);
		out.record(REG_EXPOSURE_MODE, EXPOSURE_AUTO);
		out.record(REG_EXPOSURE_REF, v.aexRef);
	}
	return script;
}

// The same records in the same order as BuildSettingsScript; the choices
// it makes from flags are recovered from which records follow.
DecodedScript DecodeSettingsScript(std::span<const std::uint8_t> bytes)
{
	DecodedScript decoded;
	if (Erased(bytes))
		return decoded;

	ScriptValues &v = decoded.values;
	ScriptReader in(bytes);
	v.reg301C = in.take(REG_MIRROR_FLIP1);
	v.reg3254 = in.take(REG_MIRROR_FLIP2);

	v.autoWb = !in.nextIs(WB_SNAPSHOT_REGS[0]);
	if (!v.autoWb) {
		for (int i = 0; i < WB_SNAPSHOT_SIZE; i++)
			v.wbSnapshot[static_cast<size_t>(i)] = in.take(WB_SNAPSHOT_REGS[i]);
		v.regAC4E = in.take(REG_WB_SCRIPT_END);
	}

	v.overlayEnable = in.takeOneOf(REG_OVERLAY_ENABLE, { OVERLAY_ON, 0 }) == OVERLAY_ON;
	if (v.overlayEnable && !in.failed()) {
		for (int i = 0; i < 4; i++)
			v.overlays[static_cast<size_t>(i)] = in.takeOneOf(kOverlayRegs[i],
									  { OVERLAY_ON | i, i }) &
							     OVERLAY_ON;
	}

	v.reg326C = in.take(REG_SHARPNESS);

	v.manualExposure = in.takeOneOf(REG_EXPOSURE_MODE, { EXPOSURE_MANUAL, EXPOSURE_AUTO }) ==
			   EXPOSURE_MANUAL;
	if (v.manualExposure)
		v.shutter = in.take(REG_SHUTTER);
	v.aexRef = in.take(REG_EXPOSURE_REF);
	v.freezeGain = v.manualExposure && in.nextIs(REG_GAIN_3056);
	if (v.freezeGain) {
		v.gain3056 = in.take(REG_GAIN_3056);
		v.gain3058 = in.take(REG_GAIN_3058);
		v.gain305A = in.take(REG_GAIN_305A);
		v.gain305C = in.take(REG_GAIN_305C);
		v.regA838 = in.take(REG_EXPOSURE_STATE1);
		v.regA83A = in.take(REG_EXPOSURE_STATE2);
	}

	// The camera would apply a record after the end too: anything but
	// the erased fill there is not a script the panel saved.
	if (!in.failed() && !Erased(bytes.subspan(in.position())))
		in.fail(in.position(), "a record follows the script's last one");

	decoded.length = in.position();
	if (in.failed()) {
		decoded = DecodedScript{};
		decoded.state = DecodedScript::State::Damaged;
		decoded.failedAt = in.failedAt();
		decoded.problem = in.problem();
		return decoded;
	}
	decoded.state = DecodedScript::State::Complete;
	return decoded;
}

bool ScriptFitsPage(int offset, std::size_t length)
{
	return offset >= 0 &&
	       static_cast<std::size_t>(offset) + length <= static_cast<std::size_t>(EEPROM_PAGE_SIZE);
}

} // namespace settings
