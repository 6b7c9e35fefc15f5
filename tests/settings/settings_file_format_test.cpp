// The settings file: layout to the byte, what the reader accepts and what
// it refuses, page counts, and how the writer replaces a file.
#include "SettingsFileFormat.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

class TempDir
{
public:
	TempDir()
	{
		std::string pattern = (fs::temp_directory_path() / "velmora-settings-XXXXXX").string();
		m_path = mkdtemp(pattern.data());
	}
	~TempDir() { fs::remove_all(m_path); }
	std::string file(const char *name) const { return (m_path / name).string(); }
	size_t entries() const
	{
		return static_cast<size_t>(std::distance(fs::directory_iterator(m_path), {}));
	}

private:
	fs::path m_path;
};

std::string readFile(const std::string &path)
{
	std::ifstream in(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string &path, const std::string &text)
{
	std::ofstream(path, std::ios::binary) << text;
}

} // namespace

TEST(SettingsFile, RoundTripToTheByte)
{
	TempDir dir;
	std::string path = dir.file("camera.qmx");
	std::vector<std::uint16_t> table(2048);
	for (size_t i = 0; i < table.size(); i++)
		table[i] = static_cast<std::uint16_t>((i * 37 + i / 256) & 0xFF);
	table[0] = 0x0105; // only the low byte is written
	table[2047] = 0xFFAB;

	ASSERT_TRUE(settings::SaveSettingsFile(path, std::span<const std::uint16_t, 2048>(table.data(), 2048))
			    .ok);

	std::string text = readFile(path);
	ASSERT_EQ(text.size(), 6628 + path.size());
	std::string header = "//Settings file : " + path + "\r\n";
	EXPECT_EQ(text.substr(0, header.size()), header);
	EXPECT_EQ(text.substr(header.size(), 26 + 50),
		  "//Page 0 of the EEprom:\t\r\n"
		  "05 25 4A 6F 94 B9 DE 03 28 4D 72 97 BC E1 06 2B \r\n");
	// Page 7 begins after 7 pages of 26 + 16 * 50 bytes; its last line ends the file.
	EXPECT_EQ(text.substr(header.size() + 7 * 826, 26), "//Page 7 of the EEprom:\t\r\n");
	EXPECT_EQ(text.substr(text.size() - 50), "B7 DC 01 26 4B 70 95 BA DF 04 29 4E 73 98 BD AB \r\n");

	settings::LoadedSettings loaded = settings::LoadSettingsFile(path);
	ASSERT_TRUE(loaded.ok) << settings::DescribeRefusal(loaded.refusal);
	ASSERT_EQ(loaded.values.size(), 2048u);
	for (size_t i = 0; i < table.size(); i++)
		ASSERT_EQ(loaded.values[i], table[i] & 0xFF) << "entry " << i;
	EXPECT_EQ(settings::SettingsPageCount(loaded.values.size()).pages, 8);
}

struct ReadCase {
	const char *name;
	std::string text;
	std::vector<std::uint16_t> values; // when accepted
	int line;                          // 0: accepted
	const char *message;
};

TEST(SettingsFile, HandEditedLayoutsLoadDamagedFilesAreRefused)
{
	std::string full;
	for (int i = 0; i < 2049; i++)
		full += (i % 16 == 15) ? "00\n" : "00 ";
	const ReadCase cases[] = {
		{ "lower case, blank and LF", "ab CD\n", { 0xAB, 0xCD }, 0, "" },
		{ "TAB, CR LF, no end", "ab\tcd\r\nEF", { 0xAB, 0xCD, 0xEF }, 0, "" },
		{ "blanks and empty lines", "  01   02\n\n\n03 ", { 1, 2, 3 }, 0, "" },
		{ "comments where values begin",
		  "// head\n01 //c\n 02\n  // indented\n03",
		  { 1, 2, 3 },
		  0,
		  "" },
		{ "comment after an empty line", "01\r\n//a\r\n\r\n//b\r\n02\r\n", { 1, 2 }, 0, "" },
		{ "comment right after a value", "01/x 02\n02", { 1, 2 }, 0, "" },
		{ "both cases", "0A 0a fF", { 10, 10, 255 }, 0, "" },
		{ "bare CR", "01\r02", { 1, 2 }, 0, "" },
		{ "comments only", "//only\r\n//x", {}, 0, "" },
		{ "a stray letter", "01 02\n03 G4\n", {}, 2, "'G' where a value should stand" },
		{ "TAB inside a value", "01\n0\t1\n", {}, 2, "'0' has one digit" },
		{ "cut at the end", "01 0", {}, 1, "'0' has one digit" },
		{ "bad low digit", "01 0x", {}, 1, "'x' is no hexadecimal digit" },
		{ "three digits", "\n\n012 ", {}, 3, "more than two digits" },
		{ "comma", "01,02", {}, 1, "',' directly after a value" },
		{ "byte 0xFF", "01 \xff", {}, 1, "the byte 0xFF" },
		{ "NUL", std::string("01\r\n02\r\n\0", 9), {}, 3, "the byte 0x00" },
		{ "minus after a comment", "/ ok\n  -1", {}, 2, "'-' where" },
		{ "more than 8 pages", full, {}, 129, "more than 8 pages" },
	};
	for (const ReadCase &c : cases) {
		SCOPED_TRACE(c.name);
		settings::LoadedSettings loaded = settings::ParseSettings(c.text);
		if (c.line == 0) {
			EXPECT_TRUE(loaded.ok) << settings::DescribeRefusal(loaded.refusal);
			EXPECT_THAT(loaded.values, ElementsAreArray(c.values));
		} else {
			EXPECT_FALSE(loaded.ok);
			EXPECT_TRUE(loaded.values.empty());
			EXPECT_EQ(loaded.refusal.line, c.line);
			EXPECT_THAT(loaded.refusal.message, HasSubstr(c.message));
		}
	}
}

TEST(SettingsFile, OnlyWholePagesCount)
{
	const struct {
		size_t values;
		int pages; // 0: refused
	} cases[] = { { 0, 0 },    { 255, 0 },  { 256, 1 },  { 300, 0 },  { 511, 0 }, { 512, 2 },
		      { 1024, 4 }, { 2047, 0 }, { 2048, 8 }, { 2304, 0 }, { 2560, 0 } };
	for (const auto &c : cases) {
		settings::PageCount count = settings::SettingsPageCount(c.values);
		EXPECT_EQ(count.ok, c.pages != 0) << c.values;
		EXPECT_EQ(count.pages, c.pages) << c.values;
		EXPECT_EQ(count.refusal.empty(), count.ok) << c.values;
	}
}

TEST(SettingsFile, WriterReplacesWholeOrReportsFailure)
{
	TempDir dir;
	std::vector<std::uint16_t> table(2048, 0x5A);
	std::span<const std::uint16_t, 2048> values(table.data(), 2048);

	// A longer older file is replaced, not overwritten from its start.
	std::string path = dir.file("old.qmx");
	writeFile(path, std::string(9000, '7'));
	ASSERT_TRUE(settings::SaveSettingsFile(path, values).ok);
	EXPECT_EQ(readFile(path).size(), 6628 + path.size());
	EXPECT_EQ(dir.entries(), 1u);

	// A folder that does not exist.
	settings::SaveResult missing = settings::SaveSettingsFile(dir.file("none/x.qmx"), values);
	EXPECT_FALSE(missing.ok);
	EXPECT_THAT(missing.reason, HasSubstr("No such file or directory"));
	EXPECT_EQ(dir.entries(), 1u) << "a temporary file was left behind";

	// A line end in the path would split the header and load as values.
	std::string odd = dir.file("a\nb.qmx");
	ASSERT_TRUE(settings::SaveSettingsFile(odd, values).ok);
	EXPECT_TRUE(settings::LoadSettingsFile(odd).ok);

	settings::LoadedSettings absent = settings::LoadSettingsFile(dir.file("absent.qmx"));
	EXPECT_FALSE(absent.ok);
	EXPECT_EQ(absent.refusal.line, 0);
	EXPECT_THAT(absent.refusal.message, HasSubstr("cannot be opened for reading"));
}
