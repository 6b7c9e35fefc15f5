#include "ScratchPostgres.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <csignal>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The newest of Debian's /usr/lib/postgresql/N/bin.
std::string BinFolder()
{
	std::string best;
	int bestVersion = -1;
	std::error_code error;
	for (const fs::directory_entry &entry : fs::directory_iterator("/usr/lib/postgresql", error)) {
		int version = std::atoi(entry.path().filename().c_str());
		if (version > bestVersion && fs::exists(entry.path() / "bin" / "initdb", error)) {
			bestVersion = version;
			best = (entry.path() / "bin").string();
		}
	}
	return best;
}

std::string ReadText(const std::string &path)
{
	std::ifstream in(path);
	std::stringstream text;
	text << in.rdbuf();
	return text.str();
}

} // namespace

ScratchPostgres::~ScratchPostgres()
{
	if (running_)
		Stop();
	if (!folder_.empty()) {
		std::error_code error;
		fs::remove_all(folder_, error);
	}
	if (watchdog_ >= 0)
		close(watchdog_); // the watchdog finds nothing left to do
}

std::string ScratchPostgres::Watch()
{
	int fds[2];
	if (pipe2(fds, O_CLOEXEC) != 0)
		return std::string("pipe: ") + std::strerror(errno);
	pid_t pid = fork();
	if (pid < 0)
		return std::string("fork: ") + std::strerror(errno);
	if (pid == 0) {
		close(fds[1]);
		char byte;
		// Returns at end of file: when every process holding the write end has ended.
		while (read(fds[0], &byte, 1) < 0 && errno == EINTR) {
		}
		if (fs::exists(folder_ + "/data/postmaster.pid"))
			Run("pg_ctl", { "-D", folder_ + "/data", "-m", "immediate", "-w", "stop" });
		std::error_code error;
		fs::remove_all(folder_, error);
		_exit(0);
	}
	close(fds[0]);
	watchdog_ = fds[1];
	return "";
}

std::string ScratchPostgres::Run(const std::string &program, const std::vector<std::string> &args)
{
	std::vector<std::string> argv{ bin_ + "/" + program };
	argv.insert(argv.end(), args.begin(), args.end());
	std::vector<char *> pointers;
	for (std::string &a : argv)
		pointers.push_back(a.data());
	pointers.push_back(nullptr);
	std::string output = folder_ + "/" + program + ".out";
	pid_t pid = fork();
	if (pid < 0)
		return std::string("fork: ") + std::strerror(errno);
	if (pid == 0) {
		int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
		if (fd >= 0) {
			dup2(fd, 1);
			dup2(fd, 2);
		}
		if (geteuid() == 0) {
			const passwd *nobody = getpwnam("nobody");
			if (!nobody || setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 ||
			    setuid(nobody->pw_uid) != 0)
				_exit(126);
		}
		// The server's own settings, not those of whoever runs the tests.
		for (const char *name : { "PGDATA", "PGHOST", "PGPORT", "PGUSER", "PGDATABASE", "PGOPTIONS" })
			unsetenv(name);
		setenv("LC_ALL", "C", 1);
		execv(pointers[0], pointers.data());
		_exit(127);
	}
	int status = 0;
	while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
	}
	if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
		return "";
	return program + " failed (status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) +
	       "): " + ReadText(output) + ReadText(folder_ + "/server.log");
}

std::string ScratchPostgres::Start()
{
	if (folder_.empty()) {
		bin_ = BinFolder();
		if (bin_.empty())
			return "no PostgreSQL server installed (/usr/lib/postgresql/N/bin/initdb; Debian package "
			       "postgresql)";
		char name[] = "/tmp/velmora-pg-XXXXXX";
		if (!mkdtemp(name))
			return std::string("mkdtemp: ") + std::strerror(errno);
		folder_ = name;
		if (geteuid() == 0) {
			const passwd *nobody = getpwnam("nobody");
			if (!nobody || chown(folder_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0)
				return "cannot hand " + folder_ + " to the user nobody";
		}
		if (std::string why = Watch(); !why.empty())
			return why;
		if (std::string why = Run("initdb", { "-D", folder_ + "/data", "-A", "trust", "-U", "velmora",
						      "-E", "UTF8", "--locale=C", "--no-sync" });
		    !why.empty())
			return why;
	}
	// No durability needed: a test's data dies with the folder.
	std::string options =
		"-k " + folder_ +
		" -c listen_addresses= -c fsync=off -c synchronous_commit=off -c full_page_writes=off";
	if (std::string why = Run("pg_ctl", { "-D", folder_ + "/data", "-l", folder_ + "/server.log", "-o",
					      options, "-w", "-t", "60", "start" });
	    !why.empty())
		return why;
	running_ = true;
	return "";
}

std::string ScratchPostgres::Stop()
{
	running_ = false;
	return Run("pg_ctl", { "-D", folder_ + "/data", "-m", "fast", "-w", "stop" });
}

// The postmaster and every process it started, postmaster first.
std::vector<pid_t> ScratchPostgres::Processes() const
{
	std::vector<pid_t> pids;
	pid_t postmaster = std::atoi(ReadText(folder_ + "/data/postmaster.pid").c_str());
	if (postmaster <= 0)
		return pids;
	pids.push_back(postmaster);
	std::error_code error;
	for (const fs::directory_entry &entry : fs::directory_iterator("/proc", error)) {
		pid_t pid = std::atoi(entry.path().filename().c_str());
		std::string stat = pid > 0 ? ReadText(entry.path() / "stat") : "";
		// "pid (name) state ppid ...": the name may hold spaces, not ')'.
		size_t close = stat.rfind(')');
		if (close != std::string::npos && std::atoi(stat.c_str() + close + 4) == postmaster)
			pids.push_back(pid);
	}
	return pids;
}

std::string ScratchPostgres::Pause()
{
	std::vector<pid_t> pids = Processes();
	if (pids.empty())
		return "no server to pause";
	// The postmaster first: stopped, it starts no process we would miss.
	for (pid_t pid : pids)
		if (kill(pid, SIGSTOP) != 0)
			return "SIGSTOP " + std::to_string(pid) + ": " + std::strerror(errno);
	return "";
}

std::string ScratchPostgres::Resume()
{
	std::vector<pid_t> pids = Processes();
	for (auto pid = pids.rbegin(); pid != pids.rend(); ++pid)
		if (kill(*pid, SIGCONT) != 0)
			return "SIGCONT " + std::to_string(*pid) + ": " + std::strerror(errno);
	return pids.empty() ? "no server to resume" : "";
}

std::string ScratchPostgres::CreateDatabase(const std::string &name)
{
	PGconn *conn = PQconnectdb(Conninfo("postgres").c_str());
	std::string why;
	if (PQstatus(conn) != CONNECTION_OK) {
		why = PQerrorMessage(conn);
	} else {
		PGresult *result = PQexec(conn, ("CREATE DATABASE \"" + name + "\"").c_str());
		if (PQresultStatus(result) != PGRES_COMMAND_OK)
			why = PQresultErrorMessage(result);
		PQclear(result);
	}
	PQfinish(conn);
	return why;
}

std::string ScratchPostgres::Url(const std::string &database) const
{
	// The folder goes in the query: a path as host needs no escaping there
	// beyond its slashes, which libpq takes as they are.
	return "postgresql://velmora@/" + database + "?host=" + folder_;
}

std::string ScratchPostgres::Conninfo(const std::string &database) const
{
	return "host=" + folder_ + " user=velmora dbname=" + database;
}
