// velmora-eeprom run in-process on the simulated camera and its manual
// clock: what reaches the EEPROM, the files left behind, the exit status
// and the one line on standard error.
#include "RegTool.h"
#include "ToolMain.h"
#include "qxiic.h"
#include "qxiic_sim.h"
#include "sim_tool_clock.h"
#include "simulated_camera.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace sim = qxiic::sim;
using sim::Call;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

std::uint8_t Pattern(int address)
{
	return static_cast<std::uint8_t>(address * 7 + address / 256);
}

std::string ReadText(const std::string &path)
{
	std::ifstream in(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(in), {});
}

// n values "00 ", 16 to a line.
std::string Values(int n)
{
	std::string text;
	for (int i = 0; i < n; i++)
		text += i % 16 == 15 ? "00\n" : "00 ";
	return text;
}

class EepromToolTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		UseFreshSimulatedCamera();
		std::string pattern = (fs::temp_directory_path() / "velmora-eeprom-XXXXXX").string();
		dir = mkdtemp(pattern.data());
		path = (dir / "cam42.qmx").string();
	}
	void TearDown() override
	{
		setenv("QXIIC_BUS", "sim", 1);
		setenv("QXIIC_SIM_DIR", "", 1);
		fs::remove_all(dir);
	}

	int Run(const std::vector<std::string> &args, const std::string &input = "", bool terminal = false)
	{
		out.str("");
		err.str("");
		std::istringstream in(input);
		tool::ToolEnvironment env{ in, out, err, terminal, terminal, clock };
		return eeprom_cli::RunTool(args, env);
	}

	static void FillPattern()
	{
		for (int a = 0; a < 2048; a++)
			sim::SetEepromByte(a, Pattern(a));
	}
	static std::vector<std::uint8_t> Eeprom()
	{
		std::vector<std::uint8_t> bytes;
		for (int a = 0; a < 2048; a++)
			bytes.push_back(sim::EepromByte(a));
		return bytes;
	}
	// The transfers of one kind, successful or failed.
	static std::vector<sim::TraceEntry> Transfers(Call call, bool ok)
	{
		std::vector<sim::TraceEntry> found;
		for (const sim::TraceEntry &e : sim::Trace()) {
			if (e.call == call && (e.status == 0) == ok)
				found.push_back(e);
		}
		return found;
	}

	SimToolClock clock;
	fs::path dir;
	std::string path;
	std::ostringstream out;
	std::ostringstream err;
};

TEST_F(EepromToolTest, DumpProgramVerifyRoundTrip)
{
	FillPattern();
	ASSERT_EQ(Run({ "dump", path }), 0) << err.str();
	EXPECT_EQ(err.str(), "");
	EXPECT_EQ(out.str(), "8 pages of the EEPROM written to " + path + "\n");
	std::string text = ReadText(path);
	EXPECT_EQ(text.size(), 6628 + path.size());
	EXPECT_THAT(
		text,
		HasSubstr(
			"//Page 0 of the EEprom:\t\r\n00 07 0E 15 1C 23 2A 31 38 3F 46 4D 54 5B 62 69 \r\n"));
	EXPECT_EQ(Transfers(Call::ReceiveSub, true).size(), 128u);

	sim::Reset();
	sim::UseManualClock(true);
	ASSERT_EQ(Run({ "program", "--yes", path }), 0) << err.str();
	std::vector<std::uint8_t> expected;
	for (int a = 0; a < 2048; a++)
		expected.push_back(Pattern(a));
	EXPECT_EQ(Eeprom(), expected);
	EXPECT_EQ(out.str(), "8 pages of " + path + " written and verified\n");
	// The polls found the EEPROM busy, and none of that reached the operator.
	EXPECT_FALSE(Transfers(Call::SendSub, false).empty());
	EXPECT_EQ(err.str(), "");

	// Every block waited for exactly the write cycle, no longer; then every
	// byte was read back, 16 at a time.
	std::vector<sim::TraceEntry> writes = Transfers(Call::SendSub, true);
	ASSERT_EQ(writes.size(), 128u);
	for (size_t i = 1; i < writes.size(); i++)
		EXPECT_EQ(writes[i].timeUs - writes[i - 1].timeUs, sim::kEepromWriteCycleUs) << i;
	std::vector<sim::TraceEntry> reads = Transfers(Call::ReceiveSub, true);
	ASSERT_EQ(reads.size(), 128u);
	for (size_t i = 0; i < reads.size(); i++) {
		EXPECT_EQ(reads[i].device, 0xA0 + 2 * static_cast<int>(i / 16)) << i;
		EXPECT_EQ(reads[i].subAddress, static_cast<int>(i % 16) * 16) << i;
		EXPECT_EQ(reads[i].count, 16) << i;
	}

	sim::ClearTrace();
	EXPECT_EQ(Run({ "verify", path }), 0) << err.str();
	EXPECT_EQ(out.str(), "the EEPROM matches 8 pages of " + path + "\n");
	EXPECT_TRUE(Transfers(Call::SendSub, true).empty());
}

TEST_F(EepromToolTest, VerifyNamesTheFirstDifferingByte)
{
	sim::SetEepromByte(6 * 256 + 0x2A, 0x12);
	ASSERT_EQ(Run({ "dump", path }), 0) << err.str();
	sim::SetEepromByte(6 * 256 + 0x2A, 0x13);
	sim::SetEepromByte(7 * 256 + 0x01, 0x00);
	EXPECT_EQ(Run({ "verify", path }), 5);
	EXPECT_EQ(
		err.str(),
		"velmora-eeprom: verification failed: EEPROM page 6 byte 0x2a is 0x13, the file has 0x12\n");
	EXPECT_EQ(out.str(), "");
}

// Nothing of a file the panel refuses reaches the camera.
TEST_F(EepromToolTest, DamagedFilesAreRefusedWithNothingWritten)
{
	const std::string header = "//Settings file : x\r\n";
	const struct {
		const char *name;
		std::string text;
		const char *why;
	} cases[] = {
		{ "tab", header + "0\t1 " + Values(255), "line 2: the value '0' has one digit, not two" },
		{ "letter", header + Values(300) + "0G", "line 20: 'G' is no hexadecimal digit" },
		{ "511", header + Values(511),
		  "the file holds 511 values, which is no whole number of pages of 256" },
		{ "9 pages", Values(2304), "line 129: more than 8 pages of values (the EEPROM has 8)" },
		{ "empty", header, "the file holds no values" },
	};
	std::vector<std::uint8_t> factory = Eeprom();
	for (const auto &c : cases) {
		std::ofstream(path, std::ios::binary) << c.text;
		for (const char *command : { "program", "verify" }) {
			sim::ClearTrace();
			EXPECT_EQ(Run({ command, "-y", path }), 3) << c.name;
			std::string consequence = command == std::string("program")
							  ? "Nothing was written to the camera."
							  : "The EEPROM was not compared with it.";
			EXPECT_EQ(err.str(), "velmora-eeprom: The settings file " + path +
						     " cannot be used: " + c.why + ". " + consequence + "\n")
				<< c.name;
			EXPECT_TRUE(sim::Trace().empty()) << c.name;
		}
	}
	EXPECT_EQ(Run({ "program", "-y", (dir / "missing.qmx").string() }), 3);
	EXPECT_THAT(err.str(),
		    HasSubstr("cannot be used: the file cannot be opened for reading (No such file"));
	EXPECT_EQ(Eeprom(), factory);
}

TEST_F(EepromToolTest, FailedWriteStopsWithBusStatusAndNoVerification)
{
	FillPattern();
	ASSERT_EQ(Run({ "dump", path }), 0) << err.str();
	sim::Reset();
	sim::UseManualClock(true);
	std::vector<std::uint8_t> factory = Eeprom();
	sim::AddFault({ Call::SendSub, 0xA4, 0x30, QXIIC_TIMEOUT, 0, 1 });

	EXPECT_EQ(Run({ "program", "--yes", path }), 4);
	EXPECT_EQ(err.str(),
		  "velmora-eeprom: writing EEPROM page 2 at byte 0x30 failed: TIMEOUT, no response; "
		  "the EEPROM is partly written and not verified\n");
	for (int a = 0; a < 2048; a++)
		ASSERT_EQ(sim::EepromByte(a), a < 2 * 256 + 0x30 ? Pattern(a) : factory[a]) << a;
	EXPECT_TRUE(Transfers(Call::ReceiveSub, true).empty());
}

// A failed read during dump leaves the old file as it was, and no
// temporary file either. Without a write before it, a missing acknowledge
// is a failure at once, not a busy EEPROM to wait for.
TEST_F(EepromToolTest, FailedReadLeavesNoFile)
{
	std::ofstream(path) << "old";
	sim::AddFault({ Call::ReceiveSub, 0xAA, 0x40, QXIIC_NACK, 0, 1 });
	EXPECT_EQ(Run({ "dump", path }), 4);
	EXPECT_EQ(
		err.str(),
		"velmora-eeprom: reading EEPROM page 5 at byte 0x40 failed: error: USB_I2C_NACK; no file was written\n");
	EXPECT_EQ(ReadText(path), "old");
	EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);
	EXPECT_EQ(Transfers(Call::ReceiveSub, false).size(), 1u);

	std::string nowhere = (dir / "no" / "cam.qmx").string();
	EXPECT_EQ(Run({ "dump", nowhere }), 6);
	EXPECT_EQ(
		err.str(),
		"velmora-eeprom: The settings file " + nowhere +
			" was not written: cannot create a file in its folder: No such file or directory.\n");
}

TEST_F(EepromToolTest, EraseSettingsTouchesPage3Only)
{
	FillPattern();
	EXPECT_EQ(Run({ "erase-settings", "--yes" }), 0) << err.str();
	EXPECT_EQ(out.str(), "EEPROM page 3 erased and verified\n");
	for (int a = 0; a < 2048; a++)
		ASSERT_EQ(sim::EepromByte(a), a / 256 == 3 ? 0xFF : Pattern(a)) << a;
	std::vector<sim::TraceEntry> writes = Transfers(Call::SendSub, true);
	ASSERT_EQ(writes.size(), 16u);
	for (size_t i = 0; i < writes.size(); i++) {
		EXPECT_EQ(writes[i].device, 0xA6);
		EXPECT_EQ(writes[i].subAddress, static_cast<int>(i) * 16);
		EXPECT_EQ(writes[i].count, 16);
	}
}

// An EEPROM that stays busy is given 25 ms after the last write, then the
// tool gives up with the bus status.
TEST_F(EepromToolTest, AcknowledgePollingGivesUpAfter25ms)
{
	ASSERT_EQ(Run({ "dump", path }), 0) << err.str();
	sim::ClearTrace();
	sim::AddFault({ Call::SendSub, 0xA0, std::nullopt, QXIIC_NACK, 1, -1 });

	EXPECT_EQ(Run({ "program", "--yes", path }), 4);
	EXPECT_EQ(err.str(),
		  "velmora-eeprom: writing EEPROM page 0 at byte 0x10 failed: the EEPROM did not acknowledge "
		  "within 25 ms of the last write (error: USB_I2C_NACK); the EEPROM is partly written and "
		  "not verified\n");
}

TEST_F(EepromToolTest, CommandLineAndConfirmation)
{
	const struct {
		std::vector<std::string> args;
		const char *input;
		bool terminal;
		int status;
		const char *err;
	} cases[] = {
		{ { "program" },
		  "",
		  false,
		  2,
		  "velmora-eeprom: program needs a settings file (see velmora-eeprom --help)\n" },
		{ { "erase-settings", "x" },
		  "",
		  false,
		  2,
		  "velmora-eeprom: too many arguments for erase-settings (see velmora-eeprom --help)\n" },
		{ { "--force", "erase-settings" },
		  "",
		  false,
		  2,
		  "velmora-eeprom: unknown option '--force' (see velmora-eeprom --help)\n" },
		{ { "erase-settings" },
		  "y\n",
		  false,
		  2,
		  "velmora-eeprom: erase-settings writes the camera's EEPROM and standard input is not a terminal to "
		  "confirm on: give --yes; nothing was written\n" },
		{ { "erase-settings" },
		  "n\n",
		  true,
		  1,
		  "Erase page 3 (the saved settings) of the camera's EEPROM on bus sim? [y/N] "
		  "velmora-eeprom: not confirmed; nothing was written\n" },
		{ { "erase-settings" },
		  "",
		  true,
		  1,
		  "Erase page 3 (the saved settings) of the camera's EEPROM on bus sim? [y/N] "
		  "velmora-eeprom: not confirmed; nothing was written\n" },
		{ { "--bus", "None", "-y", "erase-settings" },
		  "",
		  false,
		  2,
		  "velmora-eeprom: bus 'None' names no bus: use /dev/i2c-N, sim or sim:0 to sim:7, or none "
		  "(see velmora-eeprom --help)\n" },
	};
	for (const auto &c : cases) {
		setenv("QXIIC_BUS", "sim", 1);
		setenv("QXIIC_SIM_DIR", "", 1);
		sim::ClearTrace();
		EXPECT_EQ(Run(c.args, c.input, c.terminal), c.status) << c.err;
		EXPECT_EQ(err.str(), c.err);
		EXPECT_STREQ(getenv("QXIIC_BUS"), "sim") << "--bus chooses without writing the environment";
		EXPECT_TRUE(Transfers(Call::SendSub, true).empty()) << c.err;
	}

	// Confirmed on a terminal: the prompt, then the progress bar on the
	// same stream, each phase ending on a line of its own.
	EXPECT_EQ(Run({ "--bus=sim", "erase-settings" }, "y\n", true), 0);
	EXPECT_EQ(err.str().rfind(
			  "Erase page 3 (the saved settings) of the camera's EEPROM on bus sim? [y/N] ", 0),
		  0u);
	EXPECT_THAT(err.str(), HasSubstr("\rerase [########################################] 100%\n"));
	EXPECT_THAT(err.str(), HasSubstr("\rverify [########################################] 100%\n"));
	EXPECT_EQ(Transfers(Call::SendSub, true).size(), 16u);

	EXPECT_EQ(Run({ "--version" }), 0);
	EXPECT_EQ(out.str(), "velmora-eeprom (Velmora) 5.4\n");
	// Every status in full, every line within 80 columns.
	EXPECT_EQ(Run({ "dump", "--help" }), 0);
	for (const char *status :
	     { "\n  5    verification found a byte that differs (page and byte named)\n",
	       "\n  6    dump: the settings file could not be written; or a record could not\n"
	       "       be written to --report (checked first: then nothing was done); or\n"
	       "       standard output could not be written (closed, a full disk)\n",
	       "\n  130  stopped by Ctrl+C or SIGTERM; a program run must be repeated\n" })
		EXPECT_THAT(out.str(), HasSubstr(status));
	std::istringstream help(out.str());
	for (std::string line; std::getline(help, line);)
		EXPECT_LT(line.size(), 80u) << line;
}

// Each front end ends its failure with why the bus could not be opened,
// in the words of i2c/BusIdentity.
TEST_F(EepromToolTest, EveryFrontEndSaysWhyTheBusCannotBeOpened)
{
	const std::string why = " (no bus was chosen (none))\n";
	const std::string read = "reading EEPROM page 0 at byte 0x00 failed: error USB_DEVICE_NOT_FOUND";
	setenv("QXIIC_BUS", "none", 1);
	EXPECT_EQ(Run({ "show", "--camera" }), 4);
	EXPECT_EQ(err.str(), "velmora-eeprom: " + read + why);
	setenv("QXIIC_BUS", "sim", 1);
	ASSERT_EQ(Run({ "dump", path }), 0);
	setenv("QXIIC_BUS", "none", 1);
	EXPECT_EQ(Run({ "diff", path, "--camera" }), 4);
	EXPECT_EQ(err.str(), "velmora-eeprom: " + read + why);

	std::istringstream in;
	err.str("");
	tool::ToolEnvironment env{ in, out, err, false, false, clock };
	EXPECT_EQ(reg_cli::RunRegTool({ "get", "shutter" }, env), 4);
	setenv("QXIIC_BUS", "sim", 1);
	EXPECT_EQ(err.str(), "velmora-reg: reading register 0x3012 failed: error USB_DEVICE_NOT_FOUND" + why);
}

} // namespace

namespace {

// The routing only: the summary's rules are the plant's tests.
TEST_F(EepromToolTest, RecordsSummarisesAReportAndTouchesNoCamera)
{
	std::string report = (dir / "line.jsonl").string();
	std::ofstream(report)
		<< R"({"time":"2026-12-07T08:00:00Z","station":"line-1","unit":"U1","command":"program",)"
		   R"("result":"mismatch","exit_status":5,"bus":"sim:0","message":"page 3 differs"})"
		   "\n"
		   R"({"time":"2026-12-07T08:02:00Z","station":"line-1","unit":"U1","command":"program",)"
		   R"("result":"verified","exit_status":0})"
		   "\n";
	size_t transfers = sim::Trace().size();
	EXPECT_EQ(Run({ "records", report, "--station", "line-1" }), 0) << err.str();
	EXPECT_NE(out.str().find("  line-1            1       1       0           0             0.0 %\n"),
		  std::string::npos)
		<< out.str();
	EXPECT_EQ(sim::Trace().size(), transfers);
	EXPECT_EQ(Run({ "records" }), 2);
}

} // namespace
