#include "SettingsScript.h"

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

bool ScriptFitsPage(int offset, std::size_t length)
{
	return offset >= 0 &&
	       static_cast<std::size_t>(offset) + length <= static_cast<std::size_t>(EEPROM_PAGE_SIZE);
}

} // namespace settings
