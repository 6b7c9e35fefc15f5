// The operations both front ends call, against the simulated camera on
// its manual clock: the fields a result carries when an operation stops,
// the two ways of verifying, the file a copy writes and Save's script.
#include "Operations.h"
#include "Sha256.h"
#include "qxiic_sim.h"
#include "simulated_camera.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace sim = qxiic::sim;
using operations::ResultKind;
using Dir = eeprom::Direction;

namespace {

class SilentSink final : public IICErrorSink
{
public:
	void Report(int, const char *) override {}
};

class OperationsTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		UseFreshSimulatedCamera();
		engine.OnProgress([this] { steps++; });
	}
	void TearDown() override { sim::Reset(); }

	size_t Transfers(sim::Call call) const
	{
		size_t n = 0;
		for (const sim::TraceEntry &e : sim::Trace())
			n += e.call == call;
		return n;
	}

	SilentSink sink;
	CIICTransfer iic{ sink };
	int pausedMs = 0;
	eeprom::FixedPause pause{ [this](int ms) {
					 pausedMs += ms;
					 sim::AdvanceClock(ms * 1000);
				 },
				  20 };
	eeprom::Engine engine{ iic, pause };
	int steps = 0;
};

std::string Sha256(std::string_view bytes)
{
	std::string failure;
	return digest::Sha256Hex(bytes, failure);
}

const operations::ReadPlan kBlocks{ 16, eeprom::ReadForm::Write, operations::Compare::AtEachRead };
const operations::ReadPlan kBytesThenCompare{ 1, eeprom::ReadForm::Read, operations::Compare::AfterReading };

// Where each operation stopped, as the record and the messages take it.
TEST_F(OperationsTest, AFailureCarriesWhereAndWhy)
{
	operations::SettingsImage image{ "x.qmx", std::vector<std::uint8_t>(512, 0x42), 2, "" };
	const std::vector<std::uint8_t> erased(256, 0xFF);
	settings::SettingsScript script{ { 0x11, 0x22 }, 2, 0x00, 0, 0 };
	const struct {
		const char *name;
		sim::Fault fault;
		std::function<operations::Result()> run;
		Dir direction;
		int status;
		const char *statusName;
		int device, page, block, byte;
	} cases[] = {
		{ "write",
		  { sim::Call::SendSub, 0xA2, 0x30, 4 },
		  [&] { return operations::WritePages(engine, image); },
		  Dir::Write,
		  4,
		  "QXIIC_TIMEOUT",
		  0xA2,
		  1,
		  3,
		  0x30 },
		{ "fill",
		  { sim::Call::SendSub, 0xA6, 0xE5, 5 },
		  [&] { return operations::Fill(engine, 3, 0xE5, 0xFF); },
		  Dir::Write,
		  5,
		  "QXIIC_BAD_ACK",
		  0xA6,
		  3,
		  14,
		  0xE5 },
		{ "verify in blocks",
		  { sim::Call::ReceiveSub, 0xA6, 0x40, 14 },
		  [&] { return operations::Verify(engine, 3, erased, kBlocks); },
		  Dir::Verify,
		  14,
		  "QXIIC_NACK",
		  0xA6,
		  3,
		  4,
		  0x40 },
		{ "verify after reading",
		  { sim::Call::ReceiveSub, 0xA7, 0x41, 13 },
		  [&] { return operations::Verify(engine, 3, erased, kBytesThenCompare); },
		  Dir::Verify,
		  13,
		  "QXIIC_USB_READ_ERROR",
		  0xA7,
		  3,
		  4,
		  0x41 },
		{ "read into a file",
		  { sim::Call::ReceiveSub, 0xAE, 0xF0, 33 },
		  [&] {
			  return operations::ReadPagesToFile(engine, ::testing::TempDir() + "never.qmx",
							     kBlocks);
		  },
		  Dir::Read,
		  33,
		  "QXIIC_DATA_OVERFLOW",
		  0xAE,
		  7,
		  15,
		  0xF0 },
		{ "script",
		  { sim::Call::SendSub, 0xA2, 0xFF, 14 },
		  [&] { return operations::WriteScript(engine, script, 0x10); },
		  Dir::Write,
		  14,
		  "QXIIC_NACK",
		  0xA2,
		  1,
		  15,
		  0xFF },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.name);
		sim::ClearFaults();
		sim::AddFault(c.fault);
		operations::Result r = c.run();
		EXPECT_EQ(r.outcome, ResultKind::BusFailure);
		EXPECT_EQ(r.direction, c.direction);
		EXPECT_EQ(r.status, c.status);
		EXPECT_EQ(r.statusName, c.statusName);
		EXPECT_EQ(r.device, c.device);
		EXPECT_EQ(r.page, c.page);
		EXPECT_EQ(r.block, c.block);
		EXPECT_EQ(r.byte, c.byte);
	}
	std::remove((::testing::TempDir() + "never.qmx").c_str());
}

// In blocks the verification stops at the block with the difference; the
// panel's way reads every page first. Both name the same byte.
TEST_F(OperationsTest, AMismatchNamesTheByteEitherWay)
{
	std::vector<std::uint8_t> expected(512, 0x00);
	for (int a = 0x200; a < 0x400; a++)
		sim::SetEepromByte(a, 0x00);
	sim::SetEepromByte(0x3A5, 0x3C);
	expected[0x1A5] = 0x3D;
	const struct {
		operations::ReadPlan plan;
		size_t transfers;
		int device;
	} cases[] = { { kBlocks, 16 + 11, 0xA6 }, { kBytesThenCompare, 512, 0xA7 } };
	for (const auto &c : cases) {
		sim::ClearTrace();
		operations::Result r = operations::Verify(engine, 2, expected, c.plan);
		EXPECT_EQ(r.outcome, ResultKind::Mismatch);
		EXPECT_EQ(r.direction, Dir::Verify);
		EXPECT_EQ(r.page, 3);
		EXPECT_EQ(r.byte, 0xA5);
		EXPECT_EQ(r.block, 10);
		EXPECT_EQ(r.device, c.device);
		EXPECT_EQ(r.found, 0x3C);
		EXPECT_EQ(r.expected, 0x3D);
		EXPECT_EQ(r.status, 0);
		EXPECT_EQ(Transfers(sim::Call::ReceiveSub), c.transfers);
	}
}

std::string FileText(const std::string &path)
{
	std::ifstream in(path, std::ios::binary);
	std::ostringstream text;
	text << in.rdbuf();
	return text.str();
}

// The hash in a record is of the bytes loaded or written, so a file changed
// afterwards does not change it.
TEST_F(OperationsTest, TheHashIsOfTheBytesLoadedOrWritten)
{
	const std::string path = ::testing::TempDir() + "ops-copy.qmx";
	sim::SetEepromByte(0x123, 0x5A);
	operations::Result copied = operations::ReadPagesToFile(
		engine, path, kBlocks, operations::Previous::Replace, digest::Sha256Hex);
	ASSERT_TRUE(copied.Ok());
	std::string written = FileText(path);
	EXPECT_EQ(copied.sha256, Sha256(written));

	operations::SettingsImage image;
	ASSERT_TRUE(operations::LoadSettings(path, image, digest::Sha256Hex).Ok());
	EXPECT_EQ(image.pages, 8);
	EXPECT_EQ(image.bytes[0x123], 0x5A);
	EXPECT_EQ(image.sha256, copied.sha256);
	std::ofstream(path, std::ios::app) << "// changed later\n";
	EXPECT_EQ(image.sha256, copied.sha256);

	std::ofstream(path) << "00 01 zz\n";
	operations::Result refused = operations::LoadSettings(path, image, digest::Sha256Hex);
	EXPECT_EQ(refused.outcome, ResultKind::Refused);
	EXPECT_EQ(refused.reason, "line 1: 'z' where a value should stand");
	EXPECT_EQ(refused.sha256, Sha256("00 01 zz\n"));
	std::remove(path.c_str());
}

// Cam --> File keeps what the file held as NAME~, and leaves the file as
// it was when that copy cannot be made.
TEST_F(OperationsTest, AFileIsReplacedOnlyOnceItsPreviousContentIsKept)
{
	namespace fs = std::filesystem;
	const fs::path dir = fs::path(::testing::TempDir()) / "ops-keep";
	const std::string path = (dir / "cam.qmx").string();
	const struct {
		bool keptIsFolder;
		ResultKind outcome;
		const char *fileAfter; // "" : the camera's pages
		const char *keptAfter; // nullptr: a folder
	} cases[] = {
		{ false, ResultKind::Done, "", "old content\n" },
		{ true, ResultKind::FileNotWritten, "old content\n", nullptr },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.keptIsFolder);
		fs::remove_all(dir);
		fs::create_directories(dir);
		std::ofstream(path) << "old content\n";
		if (c.keptIsFolder)
			fs::create_directories(path + "~/inside");
		operations::Result copied = operations::ReadPagesToFile(engine, path, kBlocks,
									operations::Previous::Keep);
		EXPECT_EQ(copied.outcome, c.outcome) << copied.reason;
		std::string file = FileText(path);
		if (*c.fileAfter)
			EXPECT_EQ(file, c.fileAfter);
		else
			EXPECT_TRUE(file.starts_with("//Settings file : ")) << file;
		if (c.keptAfter)
			EXPECT_EQ(FileText(path + "~"), c.keptAfter);
		else
			EXPECT_TRUE(fs::is_directory(path + "~"));
	}
	fs::remove_all(dir);
}

// Pages the image does not hold are refused before anything is sent: a
// shorter file is never read past its end.
TEST_F(OperationsTest, WritingPagesTheImageDoesNotHoldIsRefused)
{
	operations::SettingsImage image;
	image.pages = 2;
	image.bytes.assign(512, 0x5A);
	const struct {
		int first, pages;
		ResultKind outcome;
	} cases[] = {
		{ 0, 2, ResultKind::Done },    { 1, 1, ResultKind::Done },     { 1, 2, ResultKind::Refused },
		{ 2, 1, ResultKind::Refused }, { -1, 1, ResultKind::Refused }, { 0, 0, ResultKind::Refused },
	};
	for (const auto &c : cases) {
		sim::ClearTrace();
		operations::Result written = operations::WritePages(engine, image, c.first, c.pages);
		EXPECT_EQ(written.outcome, c.outcome) << c.first << "+" << c.pages;
		if (c.outcome == ResultKind::Refused) {
			EXPECT_EQ(Transfers(sim::Call::SendSub), 0u) << c.first << "+" << c.pages;
		}
		sim::AdvanceClock(20000);
	}
}

// The record's hash of a file: the known value of "abc", and a hash that
// cannot be made said, with nothing written on its word.
TEST_F(OperationsTest, AHashThatCannotBeMadeIsSaidAndWritesNothing)
{
	EXPECT_EQ(Sha256("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
	operations::Hasher failing = [](std::string_view, std::string &failure) {
		failure = "SHA-256: out of memory";
		return std::string();
	};
	const std::string path = ::testing::TempDir() + "ops-unhashed.qmx";
	std::remove(path.c_str());
	const std::string why = "its SHA-256 could not be computed (SHA-256: out of memory)";
	operations::Result copied = operations::ReadPagesToFile(engine, path, kBlocks,
								operations::Previous::Replace, failing);
	EXPECT_EQ(copied.outcome, ResultKind::FileNotWritten);
	EXPECT_EQ(copied.reason, why);
	EXPECT_FALSE(std::ifstream(path).good());
	std::string text = "kept";
	EXPECT_EQ(operations::ReadPagesToText(engine, "", kBlocks, text, failing).reason, why);
	EXPECT_EQ(text, "kept");
	operations::SettingsImage image;
	operations::Result loaded = operations::LoadSettingsText(std::string(2048 * 3, ' '), "f", image,
								 failing);
	EXPECT_EQ(loaded.outcome, ResultKind::Refused);
	EXPECT_EQ(loaded.reason, why);
	EXPECT_EQ(image.pages, 0);
}

// Save's script: byte by byte from the offset, the marker just before
// bytes[markerBefore], a pause after every write, no step for the marker
// or the quiet bytes.
TEST_F(OperationsTest, TheScriptGoesOutByteByByteWithTheMarkerInPlace)
{
	settings::SettingsScript script{ { 0x11, 0x22, 0x33, 0x44 }, 2, 0x01, 1, 3 };
	ASSERT_TRUE(operations::WriteScript(engine, script, 0x10).Ok());
	std::vector<std::string> writes;
	for (const sim::TraceEntry &e : sim::Trace())
		if (e.call == sim::Call::SendSub)
			writes.push_back(std::to_string(e.device) + ":" + std::to_string(e.subAddress) + "=" +
					 std::to_string(e.data.at(0)));
	EXPECT_EQ(writes, (std::vector<std::string>{ "166:16=17", "166:17=34", "162:255=1", "166:18=51",
						     "166:19=68" }));
	EXPECT_EQ(steps, 2);
	EXPECT_EQ(pausedMs, 5 * 20);
}

} // namespace
