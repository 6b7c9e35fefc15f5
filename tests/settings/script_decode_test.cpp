// Reading page 3 back: every script Save can write decodes to the values it
// was built from, and a page Save did not write is named at its first
// record out of place.
#include "SettingsScript.h"

#include <gtest/gtest.h>

using settings::DecodedScript;
using settings::DecodeSettingsScript;
using settings::ScriptValues;
using State = settings::DecodedScript::State;

namespace {

std::vector<std::uint8_t> Page(std::vector<std::uint8_t> script)
{
	script.resize(256, 0xFF);
	return script;
}

// Only what each combination records is set: the rest must decode as 0.
ScriptValues Combination(int bits)
{
	ScriptValues v;
	v.reg301C = 0x4103;
	v.reg3254 = 0x0002;
	v.autoWb = bits & 1;
	if (!v.autoWb) {
		for (size_t i = 0; i < v.wbSnapshot.size(); i++)
			v.wbSnapshot[i] = static_cast<std::int32_t>(0xFF00 + i);
		v.regAC4E = 0xFFFF; // erased-looking values stay values
	}
	v.overlayEnable = bits & 2;
	for (size_t i = 0; v.overlayEnable && i < 4; i++)
		v.overlays[i] = bits >> (2 + i) & 1;
	v.reg326C = 0x2C80;
	v.manualExposure = bits & 64;
	v.aexRef = 0x0050;
	if (v.manualExposure) {
		v.shutter = 0x013B;
		v.freezeGain = bits & 128;
	}
	if (v.freezeGain) {
		v.gain3056 = 0x1030;
		v.gain3058 = 0x1036;
		v.gain305A = 0x102C;
		v.gain305C = 0x1031;
		v.regA838 = 0x0412;
		v.regA83A = 0x00C8;
	}
	return v;
}

} // namespace

TEST(ScriptDecode, EveryCombinationSaveWritesRoundTrips)
{
	for (int bits = 0; bits < 256; bits++) {
		ScriptValues v = Combination(bits);
		std::vector<std::uint8_t> page = Page(settings::BuildSettingsScript(v).bytes);
		DecodedScript d = DecodeSettingsScript(page);
		ASSERT_EQ(d.state, State::Complete) << "combination " << bits << ": " << d.problem;
		EXPECT_EQ(d.length, settings::BuildSettingsScript(v).bytes.size()) << bits;
		EXPECT_TRUE(d.values == v) << "combination " << bits;
	}
}

TEST(ScriptDecode, ErasedPageIsEmpty)
{
	EXPECT_EQ(DecodeSettingsScript(Page({})).state, State::Empty);
}

TEST(ScriptDecode, PagesSaveNeverWritesAreNamedAtTheRecord)
{
	const std::vector<std::uint8_t> kHead = { 0x30, 0x1C, 0x01, 0x00, 0x32, 0x54, 0x00, 0x00 };
	auto with = [&](std::vector<std::uint8_t> tail) {
		std::vector<std::uint8_t> bytes = kHead;
		bytes.insert(bytes.end(), tail.begin(), tail.end());
		return bytes;
	};
	const std::vector<std::uint8_t> kAutoTail = { 0x4F, 0x02, 0x00, 0x00, 0x32, 0x6C, 0x08, 0x00,
						      0xA8, 0x04, 0x00, 0x0F, 0xA8, 0x12, 0x00, 0x50 };
	struct Case {
		std::vector<std::uint8_t> bytes;
		std::size_t failedAt;
		const char *problem;
	} const cases[] = {
		{ { 0x00, 0x00, 0x00, 0x00 }, 0, "register 0x0000 where 0x301C belongs" },
		{ with({ 0x4F, 0x02, 0x12, 0x34 }), 8,
		  "register 0x4F02 holds 0x1234, a value Save never writes" },
		{ with({ 0x4F, 0x02, 0x80, 0x00, 0x4F, 0x08, 0x80, 0x01 }), 12,
		  "register 0x4F08 holds 0x8001, a value Save never writes" },
		{ with({ 0x4F, 0x02, 0x00, 0x00, 0x32, 0x6C, 0x08, 0x00, 0xA8, 0x04, 0x00, 0x01 }), 16,
		  "register 0xA804 holds 0x0001, a value Save never writes" },
		{ with({ 0xAC, 0x00, 0x00, 0x01, 0xAC, 0x04 }), 12, "register 0xAC04 where 0xAC02 belongs" },
		{ with(kAutoTail), 24, "" },
		{ with({ 0x4F, 0x02, 0x00, 0x00, 0x32, 0x6C, 0x08, 0x00, 0xA8, 0x04,
			 0x00, 0x0F, 0xA8, 0x12, 0x00, 0x50, 0x30, 0x56, 0x00, 0x10 }),
		  24, "a record follows the script's last one" },
	};
	for (const Case &c : cases) {
		DecodedScript d = DecodeSettingsScript(Page(c.bytes));
		if (c.problem[0] == '\0') {
			EXPECT_EQ(d.state, State::Complete) << d.problem;
			EXPECT_EQ(d.length, c.failedAt);
			continue;
		}
		EXPECT_EQ(d.state, State::Damaged) << c.problem;
		EXPECT_EQ(d.failedAt, c.failedAt) << c.problem;
		EXPECT_EQ(d.problem, c.problem);
	}
	// A script that runs into the page's end.
	std::vector<std::uint8_t> cut(kHead.begin(), kHead.end());
	DecodedScript d = DecodeSettingsScript(cut);
	EXPECT_EQ(d.problem, "the page ends where register 0x4F02 belongs");
}
