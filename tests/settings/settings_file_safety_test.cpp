// Settings files read and written safely: only regular files are read or
// replaced, a FIFO never blocks, a link survives, a read-only file stays.
#include "SettingsFileFormat.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

class SettingsFileSafetyTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		std::string pattern = (fs::temp_directory_path() / "velmora-safety-XXXXXX").string();
		m_dir = mkdtemp(pattern.data());
	}
	void TearDown() override { fs::remove_all(m_dir); }

	std::string File(const char *name) const { return (m_dir / name).string(); }
	settings::SaveResult Save(const std::string &path)
	{
		return settings::SaveSettingsFile(
			path, std::span<const std::uint16_t, 2048>(m_values.data(), 2048));
	}
	size_t Entries() const
	{
		return static_cast<size_t>(std::distance(fs::directory_iterator(m_dir), {}));
	}

	// Once both of the child's workers said they have done one whole task,
	// SIGTERM then SIGINT; whether the child ended by a signal.
	static bool EndedBySignalsOnceBothRan(pid_t child, int ready[2])
	{
		char said[2];
		bool ran = read(ready[0], &said[0], 1) == 1 && read(ready[0], &said[1], 1) == 1;
		kill(child, SIGTERM);
		kill(child, SIGINT);
		int status = 0;
		waitpid(child, &status, 0);
		close(ready[0]);
		close(ready[1]);
		return ran && WIFSIGNALED(status);
	}

	fs::path m_dir;
	std::vector<std::uint16_t> m_values = std::vector<std::uint16_t>(2048, 0x3C);
};

TEST_F(SettingsFileSafetyTest, OnlyRegularFilesAreReadOrReplaced)
{
	ASSERT_EQ(mkfifo(File("fifo.qmx").c_str(), 0600), 0);
	fs::create_directory(File("folder.qmx"));
	const struct {
		const char *name;
		const char *why;
		fs::file_type type;
	} cases[] = {
		{ "fifo.qmx", "it is not a regular file", fs::file_type::fifo },
		{ "folder.qmx", "it is a directory", fs::file_type::directory },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.name);
		settings::SaveResult saved = Save(File(c.name));
		EXPECT_FALSE(saved.ok);
		EXPECT_EQ(saved.reason, c.why);
		EXPECT_EQ(fs::symlink_status(File(c.name)).type(), c.type);
		// Nobody writes the FIFO: the reader refuses at once.
		settings::LoadedSettings loaded = settings::LoadSettingsFile(File(c.name));
		EXPECT_FALSE(loaded.ok);
		EXPECT_EQ(loaded.refusal.message, c.why);
	}
	EXPECT_EQ(Entries(), 2u) << "a temporary file was left behind";
}

TEST_F(SettingsFileSafetyTest, ALinkIsWrittenThroughAndSurvives)
{
	std::ofstream(File("real.qmx")) << "old";
	fs::create_symlink("real.qmx", File("link.qmx"));
	ASSERT_TRUE(Save(File("link.qmx")).ok);
	EXPECT_TRUE(fs::is_symlink(File("link.qmx")));
	settings::LoadedSettings loaded = settings::LoadSettingsFile(File("real.qmx"));
	ASSERT_TRUE(loaded.ok);
	EXPECT_EQ(loaded.values.size(), 2048u);
	EXPECT_EQ(loaded.values[0], 0x3C);
	EXPECT_EQ(Entries(), 2u);
}

TEST_F(SettingsFileSafetyTest, AReadOnlyFileIsRefusedAndKept)
{
	std::ofstream(File("kept.qmx")) << "old";
	fs::permissions(File("kept.qmx"), fs::perms::owner_read | fs::perms::group_read);
	settings::SaveResult saved = Save(File("kept.qmx"));
	EXPECT_FALSE(saved.ok);
	EXPECT_EQ(saved.reason, "the file is read-only");
	EXPECT_EQ(fs::file_size(File("kept.qmx")), 3u);

	// A writable file keeps its permissions when replaced.
	std::ofstream(File("mode.qmx")) << "old";
	fs::permissions(File("mode.qmx"),
			fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
	ASSERT_TRUE(Save(File("mode.qmx")).ok);
	EXPECT_EQ(fs::status(File("mode.qmx")).permissions(),
		  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// A program with more than one thread (the panel has Qt's) may take the
// signal on a thread that is not saving: the temporary file must still go.
TEST_F(SettingsFileSafetyTest, ATerminatingSignalLeavesNoTemporaryFile)
{
	for (int run = 0; run < 10; run++) {
		int ready[2];
		ASSERT_EQ(pipe(ready), 0);
		pid_t child = fork();
		ASSERT_GE(child, 0);
		if (child == 0) {
			std::thread other([] {
				for (;;)
					pause();
			});
			for (bool told = false;; told = true) {
				if (!Save(File("busy.qmx")).ok)
					_exit(1);
				if (!told && write(ready[1], "s", 1) != 1)
					_exit(1);
			}
		}
		char saved;
		ASSERT_EQ(read(ready[0], &saved, 1), 1);
		kill(child, SIGTERM);
		int status = 0;
		waitpid(child, &status, 0);
		close(ready[0]);
		close(ready[1]);
		ASSERT_TRUE(WIFSIGNALED(status)) << "run " << run;
		EXPECT_EQ(Entries(), 1u) << "run " << run << ": a temporary file was left behind";
	}
}

// A full device: the temporary file exists when its write fails.
TEST_F(SettingsFileSafetyTest, AFailedWriteLeavesTheFolderAsItWas)
{
	std::ofstream(File("kept.qmx")) << "old";
	pid_t child = fork();
	ASSERT_GE(child, 0);
	if (child == 0) {
		std::signal(SIGXFSZ, SIG_IGN);
		struct rlimit limit = { 4096, 4096 };
		setrlimit(RLIMIT_FSIZE, &limit);
		settings::SaveResult saved = Save(File("kept.qmx"));
		_exit(!saved.ok && saved.reason == "cannot write: File too large" ? 0 : 1);
	}
	int status = 0;
	waitpid(child, &status, 0);
	EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the save did not report the failure";
	EXPECT_EQ(Entries(), 1u) << "a temporary file was left behind";
	std::ifstream kept(File("kept.qmx"));
	EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "old");
}

TEST_F(SettingsFileSafetyTest, TheTemporaryFileIsAlwaysANewOne)
{
	std::ofstream(File("kept.qmx.taken")) << "another's";
	fs::create_symlink("elsewhere", File("kept.qmx.linked"));
	const char *names[] = { "taken", "linked", "free" };
	int named = 0;
	settings::UseTemporaryNames([&] { return names[named++]; });
	settings::SaveResult saved = Save(File("kept.qmx"));
	settings::UseTemporaryNames({});
	ASSERT_TRUE(saved.ok) << saved.reason;
	EXPECT_EQ(named, 3);
	std::ifstream taken(File("kept.qmx.taken"));
	EXPECT_EQ(std::string(std::istreambuf_iterator<char>(taken), {}), "another's");
	EXPECT_FALSE(fs::exists(File("elsewhere")));
	EXPECT_EQ(Entries(), 3u);
}

// Two threads saving at once, a third taking two signals one after the
// other: the second must wait for the saves as the first does.
TEST_F(SettingsFileSafetyTest, SignalsWaitForEverySaveInProgress)
{
	for (int run = 0; run < 10; run++) {
		int ready[2];
		ASSERT_EQ(pipe(ready), 0);
		pid_t child = fork();
		ASSERT_GE(child, 0);
		if (child == 0) {
			// Once a signal waits, no new save begins.
			auto saving = [&](const char *name) {
				for (bool told = false;;) {
					if (Save(File(name)).ok && !told)
						told = write(ready[1], "s", 1) == 1;
				}
			};
			std::thread other([] {
				for (;;)
					pause();
			});
			std::thread second(saving, "b.qmx");
			saving("a.qmx");
		}
		ASSERT_TRUE(EndedBySignalsOnceBothRan(child, ready)) << "run " << run;
		EXPECT_EQ(Entries(), 2u) << "run " << run << ": a temporary file was left behind";
		fs::remove(File("a.qmx"));
		fs::remove(File("b.qmx"));
	}
}

// The copy of the previous file (NAME.qmx~) is held as a save is: with a
// signal already waiting it is not begun, since the save ending first
// would end the program half-way through it.
TEST_F(SettingsFileSafetyTest, SignalsWaitForTheCopyOfThePreviousFile)
{
	std::ofstream(File("a.qmx")) << std::string(1 << 22, 'x');
	for (int run = 0; run < 10; run++) {
		int ready[2];
		ASSERT_EQ(pipe(ready), 0);
		pid_t child = fork();
		ASSERT_GE(child, 0);
		if (child == 0) {
			std::thread other([] {
				for (;;)
					pause();
			});
			std::thread saving([&] {
				for (bool told = false;;) {
					if (Save(File("b.qmx")).ok && !told)
						told = write(ready[1], "s", 1) == 1;
				}
			});
			for (bool told = false;;) {
				if (settings::KeepPreviousSettingsFile(
					    File("a.qmx"),
					    std::span<const std::uint16_t, 2048>(m_values.data(), 2048))
					    .ok &&
				    !told)
					told = write(ready[1], "k", 1) == 1;
			}
		}
		ASSERT_TRUE(EndedBySignalsOnceBothRan(child, ready)) << "run " << run;
		for (const fs::directory_entry &entry : fs::directory_iterator(m_dir)) {
			std::string name = entry.path().filename().string();
			EXPECT_TRUE(name == "a.qmx" || name == "a.qmx~" || name == "b.qmx")
				<< "run " << run << ": " << name << " was left behind";
		}
		fs::remove(File("b.qmx"));
	}
}

} // namespace
