// Every input the user names is read one careful way: what ends within its
// limits is read whole, anything else refused before it can hang or swell
// the program.
#include "InputFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr fileio::InputLimits kScript{ 1024, "script", true, 0 };

TEST(InputFile, WhatEndsIsReadTheRestRefused)
{
	std::string pattern = (fs::temp_directory_path() / "velmora-input-XXXXXX").string();
	const fs::path dir = mkdtemp(pattern.data());
	std::ofstream(dir / "script") << "wait 5\r\n";
	std::ofstream(dir / "long") << std::string(1025, '#');
	ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
	const struct {
		std::string path;
		fileio::InputLimits limits;
		const char *why; // "" = read
	} cases[] = {
		{ (dir / "script").string(), kScript, "" },
		{ dir.string(), kScript, "it is a directory" },
		{ "/dev/zero", kScript, "it is a device" },
		{ (dir / "fifo").string(), kScript, "its writer did not finish it within 0 ms" },
		{ (dir / "long").string(), kScript, "it is larger than any script" },
		{ (dir / "none").string(), kScript,
		  "the file cannot be opened for reading (No such file or directory)" },
		// A settings file is never a stream.
		{ (dir / "fifo").string(), { 1024, "settings file" }, "it is not a regular file" },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.path);
		fileio::InputText input = fileio::ReadInputFile(c.path, c.limits);
		EXPECT_EQ(input.why, c.why);
		EXPECT_EQ(input.ok, c.why[0] == '\0');
		EXPECT_EQ(input.text, input.ok ? "wait 5\r\n" : "");
	}
	fs::remove_all(dir);
}

// Standard input as a pipe: read to its end, or refused when it swells past
// the limit or its writer stays silent.
TEST(InputFile, APipeEndsOrIsRefused)
{
	const struct {
		std::string written;
		bool closed;
		const char *why;
	} cases[] = {
		{ "read shutter\n", true, "" },
		{ std::string(2000, 'x'), false, "it is larger than any script" },
		{ "read shutter\n", false, "its writer did not finish it within 0 ms" },
	};
	for (const auto &c : cases) {
		int ends[2];
		ASSERT_EQ(pipe(ends), 0);
		ASSERT_EQ(write(ends[1], c.written.data(), c.written.size()),
			  static_cast<ssize_t>(c.written.size()));
		if (c.closed)
			close(ends[1]);
		fileio::InputText input = fileio::ReadInputDescriptor(ends[0], kScript);
		EXPECT_EQ(input.why, c.why);
		EXPECT_EQ(input.text, input.ok ? c.written : "");
		close(ends[0]);
		if (!c.closed)
			close(ends[1]);
	}
}

TEST(InputFile, ShownTextEscapesAndCuts)
{
	const struct {
		const char *text;
		const char *shown;
	} cases[] = {
		{ "plain.txt", "plain.txt" },
		{ "a\x1b[2Jb\r\n\x7f", "a\\x1b[2Jb\\r\\n\\x7f" },
		{ "5\n", "5\\n" },
		{ "\tx\x01\x1f", "\\tx\\x01\\x1f" },
		{ "caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC" }, // UTF-8 stays as it is
		{ "0123456789ab", "0123456789..." },
		{ "012345678\xC3\xA9", "012345678..." }, // not inside the two bytes of an e acute
	};
	for (const auto &c : cases)
		EXPECT_EQ(fileio::ShownText(c.text, 10), c.shown);
}

} // namespace
