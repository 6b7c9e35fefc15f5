#include "EepromShow.h"

#include "BusIdentity.h"

#include "EepromBus.h"
#include "EepromCommands.h"
#include "ExitStatus.h"
#include "SettingsScript.h"
#include "registers.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <ostream>

using namespace kl310;

namespace eeprom_cli {

using namespace tool;

namespace {

constexpr char kName[] = "velmora-eeprom";
constexpr char kCamera[] = "--camera";

std::string Hex(const char *format, int value)
{
	char text[16];
	std::snprintf(text, sizeof(text), format, value);
	return text;
}

const char *OnOff(bool on)
{
	return on ? "on" : "off";
}

std::string WbMode(std::int32_t mode)
{
	switch (mode) {
	case WB_MODE_AUTO:
		return "automatic";
	case WB_MODE_MANUAL:
		return "manual gains";
	case WB_MODE_HELD:
		return "held measurement (Push2White)";
	}
	return "mode " + Hex("0x%04x", mode);
}

std::size_t Pages(std::span<const std::uint8_t> eeprom)
{
	return eeprom.size() / EEPROM_PAGE_SIZE;
}

std::span<const std::uint8_t> PageBytes(std::span<const std::uint8_t> eeprom, int page)
{
	return eeprom.subspan(static_cast<size_t>(page * EEPROM_PAGE_SIZE), EEPROM_PAGE_SIZE);
}

void AddScript(std::vector<NamedValue> &named, const settings::DecodedScript &script)
{
	using State = settings::DecodedScript::State;
	if (script.state == State::Empty) {
		named.push_back({ "saved settings", "none (page 3 is erased)" });
		return;
	}
	if (script.state == State::Damaged) {
		named.push_back({ "saved settings", "not a script the panel saves: byte " +
							    Hex("0x%02x", static_cast<int>(script.failedAt)) +
							    ", " + script.problem });
		return;
	}
	const settings::ScriptValues &v = script.values;
	named.push_back({ "saved settings", std::to_string(script.length) + " bytes" });
	named.push_back({ "exposure", v.manualExposure ? "manual" : "automatic" });
	if (v.manualExposure)
		named.push_back({ "shutter", Hex("0x%03x", v.shutter) });
	named.push_back({ "aex-ref", Hex("0x%02x", v.aexRef) });
	if (v.manualExposure)
		named.push_back({ "freeze gain", OnOff(v.freezeGain) });
	if (v.freezeGain) {
		const std::pair<const char *, std::int32_t> gains[] = {
			{ "gain-1", v.gain3056 },          { "gain-2", v.gain3058 },
			{ "gain-3", v.gain305A },          { "gain-4", v.gain305C },
			{ "exposure-state-1", v.regA838 }, { "exposure-state-2", v.regA83A },
		};
		for (const auto &[name, value] : gains)
			named.push_back({ name, Hex("0x%04x", value) });
	}
	if (v.autoWb) {
		named.push_back({ "white balance", "automatic" });
	} else {
		named.push_back({ "white balance", WbMode(v.wbSnapshot[WB_ENTRY_MODE]) });
		named.push_back({ "red-gain", Hex("0x%02x", v.wbSnapshot[WB_ENTRY_RED_GREEN]) });
		named.push_back({ "blue-gain", Hex("0x%02x", v.wbSnapshot[WB_ENTRY_BLUE_GREEN]) });
	}
	named.push_back({ "sharpness", std::to_string((v.reg326C & SHARPNESS_FIELD) >> SHARPNESS_SHIFT) });
	named.push_back({ "mirror", OnOff(v.reg301C & MIRROR_BIT) });
	named.push_back({ "flip", OnOff(v.reg301C & FLIP_BIT) });
	named.push_back({ "overlays", OnOff(v.overlayEnable) });
	for (size_t i = 0; v.overlayEnable && i < v.overlays.size(); i++)
		named.push_back({ "overlay " + std::to_string(i + 1), OnOff(v.overlays[i]) });
}

// A trim as the panel's trim display shows it (lower-case hexadecimal, or
// its end's name), then the byte itself: "14 (0x14)", "Max Right (0x00)".
// The panel takes a byte past the end or an odd one as it can move.
std::string TrimText(int byte, const char *low, const char *high)
{
	int trim = std::min(byte, TRIM_MAX) & TRIM_EVEN;
	std::string shown = trim == 0 ? low : trim == TRIM_MAX ? high : Hex("%x", trim);
	std::string raw = Hex("0x%02x", byte);
	if (trim != byte)
		raw += ", taken as " + Hex("0x%02x", trim);
	return shown + " (" + raw + ")";
}

// The image of one side of show or diff: a settings file or the camera.
struct Source {
	std::string label;
	std::vector<std::uint8_t> bytes;
};

CommandResult ReadCamera(ToolClock &clock, Source &source)
{
	EepromBus bus(clock);
	source.label = "the camera";
	std::vector<std::uint8_t> bytes(static_cast<size_t>(EEPROM_PAGES * EEPROM_PAGE_SIZE), 0);
	operations::Result read = operations::Read(bus.Engine(), 0, bytes, {});
	if (!read.Ok())
		return { kBusFailure, FailureText(read) + iicbus::WhyNotOpened(iicbus::LastBus()), read };
	source.bytes = std::move(bytes);
	return {};
}

CommandResult Load(const std::string &what, ToolClock &clock, Source &source)
{
	if (what == kCamera)
		return ReadCamera(clock, source);
	SettingsImage image;
	CommandResult loaded = LoadImage(what, "Nothing was compared or shown.", image);
	if (loaded.status != kSuccess)
		return loaded;
	source.label = what;
	source.bytes = std::move(image.bytes);
	return {};
}

// 16 bytes a row; a run of erased rows is one line, so that the few
// bytes in use stand out.
void ShowHex(std::ostream &out, std::span<const std::uint8_t> eeprom, int page)
{
	constexpr int kRow = 16;
	out << "page " << page << ":\n";
	std::span<const std::uint8_t> bytes = PageBytes(eeprom, page);
	auto erased = [&](int row) {
		std::span<const std::uint8_t> r = bytes.subspan(static_cast<size_t>(row), kRow);
		return std::all_of(r.begin(), r.end(), [](std::uint8_t b) { return b == 0xFF; });
	};
	for (int row = 0; row < EEPROM_PAGE_SIZE; row += kRow) {
		if (erased(row)) {
			int last = row;
			while (last + kRow < EEPROM_PAGE_SIZE && erased(last + kRow))
				last += kRow;
			if (last > row) {
				out << Hex("  %02x", row) << Hex("..%02x", last + kRow - 1)
				    << ": erased (ff)\n";
				row = last;
				continue;
			}
		}
		out << Hex("  %02x:", row);
		for (int i = 0; i < kRow; i++)
			out << ' ' << Hex("%02x", bytes[static_cast<size_t>(row + i)]);
		out << '\n';
	}
}

void Show(std::ostream &out, const Source &source)
{
	std::span<const std::uint8_t> eeprom = source.bytes;
	out << source.label << ": " << Pages(eeprom) << (Pages(eeprom) == 1 ? " page" : " pages") << '\n';
	std::vector<NamedValue> named = NamedSettings(eeprom);
	std::size_t width = 0;
	for (const NamedValue &n : named)
		width = std::max(width, n.name.size());
	for (const NamedValue &n : named)
		out << "  " << n.name << std::string(width + 2 - n.name.size(), ' ') << n.text << '\n';
	// A script that decoded is shown by its values; the rest as hex.
	bool scriptShown = Pages(eeprom) > PAGE_SCRIPT &&
			   settings::DecodeSettingsScript(PageBytes(eeprom, PAGE_SCRIPT)).state !=
				   settings::DecodedScript::State::Damaged;
	for (int page = 0; page < static_cast<int>(Pages(eeprom)); page++) {
		if (page != PAGE_SCRIPT || !scriptShown)
			ShowHex(out, eeprom, page);
	}
}

} // namespace

std::vector<NamedValue> NamedSettings(std::span<const std::uint8_t> eeprom)
{
	std::vector<NamedValue> named;
	std::size_t pages = Pages(eeprom);
	std::optional<settings::DecodedScript> script;
	if (pages > PAGE_SCRIPT) {
		script = settings::DecodeSettingsScript(PageBytes(eeprom, PAGE_SCRIPT));
		AddScript(named, *script);
	} else {
		named.push_back({ "saved settings", "not held (no page 3)" });
	}
	if (pages > PAGE_FREEZE_MARKER) {
		int marker = PageBytes(eeprom, PAGE_FREEZE_MARKER)[OFFSET_FREEZE_MARKER];
		bool frozen = marker == FREEZE_MARKER_SET;
		std::string text = Hex("0x%02x", marker) + (frozen ? " (gains frozen)" : "");
		// At connection the panel checks Freeze Gain by the marker alone.
		if (script && script->state == settings::DecodedScript::State::Complete &&
		    frozen != script->values.freezeGain)
			text += frozen ? ", but the saved settings hold no frozen gains"
				       : ", but the saved settings hold frozen gains";
		named.push_back({ "freeze-gain marker", text });
	}
	if (pages > PAGE_TRIM) {
		std::span<const std::uint8_t> trim = PageBytes(eeprom, PAGE_TRIM);
		if (trim[OFFSET_TRIM_HORIZONTAL] == NO_TRIM) {
			named.push_back({ "image trim", "none (the camera has no image trim)" });
		} else {
			named.push_back({ "horizontal trim",
					  TrimText(trim[OFFSET_TRIM_HORIZONTAL], "Max Right", "Max Left") });
			named.push_back({ "vertical trim",
					  TrimText(trim[OFFSET_TRIM_VERTICAL], "Max down", "Max up") });
		}
	}
	return named;
}

std::vector<std::string> DiffLines(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b)
{
	std::vector<std::string> lines;
	std::vector<NamedValue> namedA = NamedSettings(a);
	std::vector<NamedValue> namedB = NamedSettings(b);
	auto find = [](const std::vector<NamedValue> &named, const std::string &name) -> std::string {
		for (const NamedValue &n : named) {
			if (n.name == name)
				return n.text;
		}
		return "(not saved)";
	};
	std::vector<std::string> names;
	for (const auto *side : { &namedA, &namedB }) {
		for (const NamedValue &n : *side) {
			if (std::find(names.begin(), names.end(), n.name) == names.end())
				names.push_back(n.name);
		}
	}
	for (const std::string &name : names) {
		std::string left = find(namedA, name), right = find(namedB, name);
		if (left != right)
			lines.push_back(name + ": " + left + " -> " + right);
	}
	int pages = static_cast<int>(std::max(Pages(a), Pages(b)));
	for (int page = 0; page < pages; page++) {
		if (page >= static_cast<int>(Pages(a)) || page >= static_cast<int>(Pages(b))) {
			lines.push_back("page " + std::to_string(page) + ": only in " +
					(page < static_cast<int>(Pages(a)) ? "the first" : "the second"));
			continue;
		}
		std::span<const std::uint8_t> pa = PageBytes(a, page), pb = PageBytes(b, page);
		for (int i = 0; i < EEPROM_PAGE_SIZE; i++) {
			std::size_t at = static_cast<size_t>(i);
			if (pa[at] != pb[at])
				lines.push_back("page " + std::to_string(page) + " byte " + Hex("0x%02x", i) +
						": " + Hex("0x%02x", pa[at]) + " -> " +
						Hex("0x%02x", pb[at]));
		}
	}
	return lines;
}

namespace {

int ShowOrDiff(const std::vector<std::string> &words, ToolEnvironment &env)
{
	bool show = words[0] == "show";
	size_t wanted = show ? 2 : 3;
	std::vector<Source> sources(wanted - 1);
	for (size_t i = 0; i < sources.size(); i++) {
		if (CommandResult loaded = Load(words[i + 1], env.clock, sources[i]);
		    loaded.status != kSuccess)
			return SayFailure(env, kName, loaded.status, loaded.message);
	}
	if (show) {
		Show(env.out, sources[0]);
		return kSuccess;
	}
	std::vector<std::string> lines = DiffLines(sources[0].bytes, sources[1].bytes);
	if (lines.empty()) {
		env.out << sources[0].label << " and " << sources[1].label << " are the same\n";
		return kSuccess;
	}
	env.out << sources[0].label << " -> " << sources[1].label << '\n';
	for (const std::string &line : lines)
		env.out << "  " << line << '\n';
	return kMismatch;
}

} // namespace

int RunShowCommand(const std::vector<std::string> &words, ToolEnvironment &env)
{
	int status = ShowOrDiff(words, env);
	// What the adapter library had to tell while the camera was read (a
	// simulated camera's damaged file...), as the other commands say it.
	for (const std::string &notice : iicbus::TakeNotices())
		env.err << kName << ": warning: " << notice << '\n' << std::flush;
	return status;
}

} // namespace eeprom_cli
