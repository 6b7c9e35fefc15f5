// Files written whole, as settings files are: only a writable regular file
// is replaced, a FIFO never blocks, a link and a read-only file stay, a
// failure or a signal leaves no temporary file.
#include "RegularFile.h"
#include "SettingsFileFormat.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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
	std::string FileText(const char *name) const
	{
		std::ifstream in(File(name));
		return std::string(std::istreambuf_iterator<char>(in), {});
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

// Whatever stands at the target other than a regular file that may be
// written is refused before anything is made, and stays as it was: never
// opened (a FIFO would hold the writer), written through or removed.
TEST_F(SettingsFileSafetyTest, OnlyAWritableRegularFileIsReplaced)
{
	ASSERT_EQ(mkfifo(File("fifo").c_str(), 0600), 0);
	fs::create_directory(File("folder"));
	int sock = socket(AF_UNIX, SOCK_STREAM, 0);
	struct sockaddr_un address = {};
	address.sun_family = AF_UNIX;
	std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", File("socket").c_str());
	ASSERT_EQ(bind(sock, reinterpret_cast<struct sockaddr *>(&address), sizeof(address)), 0);
	std::ofstream(File("real")) << "old";
	fs::create_symlink("real", File("link"));
	fs::create_symlink("nowhere", File("dangling"));
	std::ofstream(File("read-only")) << "old";
	fs::permissions(File("read-only"), fs::perms::owner_read | fs::perms::group_read);
	const struct {
		const char *name;
		const char *why;
		fs::file_type type;
	} cases[] = {
		{ "fifo", "it is a FIFO", fs::file_type::fifo },
		{ "folder", "it is a directory", fs::file_type::directory },
		{ "socket", "it is a socket", fs::file_type::socket },
		{ "link", "it is a symbolic link", fs::file_type::symlink },
		{ "dangling", "it is a symbolic link", fs::file_type::symlink },
		{ "read-only", "the file is read-only", fs::file_type::regular },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.name);
		EXPECT_EQ(fileio::CheckReplaceable(File(c.name)), c.why);
		EXPECT_EQ(fileio::ReplaceRegularFile(File(c.name), "new"), c.why);
		EXPECT_EQ(fs::symlink_status(File(c.name)).type(), c.type);
	}
	close(sock);
	EXPECT_EQ(FileText("real"), "old");
	EXPECT_EQ(FileText("read-only"), "old");
	EXPECT_FALSE(fs::exists(File("nowhere")));
	EXPECT_EQ(Entries(), 7u) << "a temporary file was left behind";
	// A device only checked: as root a fault here would replace it.
	EXPECT_EQ(fileio::CheckReplaceable("/dev/full"), "it is a device");

	// The settings file routes through the same, and its reader says the
	// same kind of file its own way.
	EXPECT_EQ(Save(File("fifo")).reason, "it is a FIFO");
	EXPECT_EQ(settings::LoadSettingsFile(File("fifo")).refusal.message, "it is not a regular file");
}

TEST_F(SettingsFileSafetyTest, AReplacementIsWholeAndKeepsOwnerAndMode)
{
	std::ofstream(File("mode.qmx")) << std::string(100000, 'o');
	fs::permissions(File("mode.qmx"),
			fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
	ASSERT_EQ(fileio::ReplaceRegularFile(File("mode.qmx"), "new"), "");
	EXPECT_EQ(FileText("mode.qmx"), "new");
	EXPECT_EQ(fs::status(File("mode.qmx")).permissions(),
		  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
	// A tool run as root leaves a user's file the user's (only root can
	// give a file away, so only root can see it).
	if (geteuid() == 0) {
		ASSERT_EQ(chown(File("mode.qmx").c_str(), 65534, 65534), 0);
		ASSERT_EQ(fileio::ReplaceRegularFile(File("mode.qmx"), "again"), "");
		struct stat st;
		ASSERT_EQ(stat(File("mode.qmx").c_str(), &st), 0);
		EXPECT_EQ(st.st_uid, 65534u);
		EXPECT_EQ(st.st_gid, 65534u);
	}
	// Permissions asked for are exactly those, whatever the umask.
	mode_t mask = umask(077);
	EXPECT_EQ(fileio::ReplaceRegularFile(File("shared.png"), "png", { {}, 0644 }), "");
	umask(mask);
	EXPECT_EQ(fs::status(File("shared.png")).permissions(),
		  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
			  fs::perms::others_read);
	EXPECT_EQ(Entries(), 2u);
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
	fileio::UseTemporaryNames([&] { return names[named++]; });
	settings::SaveResult saved = Save(File("kept.qmx"));
	fileio::UseTemporaryNames({});
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
