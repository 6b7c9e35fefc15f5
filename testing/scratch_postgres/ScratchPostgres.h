// A throwaway PostgreSQL server for the tests and benchmarks: initdb and
// pg_ctl of Debian's postgresql package in a temporary folder, reached on
// a Unix socket in that folder only (no TCP port). PostgreSQL refuses to
// run as root, so when we are root its programs run as "nobody". A test
// killed midway (Ctrl+C, a closed pipe, ctest's timeout) leaves no server
// behind: a watchdog process stops it once this process is gone.
#pragma once

#include <string>
#include <vector>

class ScratchPostgres
{
public:
	ScratchPostgres() = default;
	~ScratchPostgres(); // stops the server and removes the folder
	ScratchPostgres(const ScratchPostgres &) = delete;
	ScratchPostgres &operator=(const ScratchPostgres &) = delete;

	// Creates the cluster the first time, then starts it and waits until it
	// takes connections. Empty, or why not (with the server's log).
	std::string Start();
	// A fast shutdown: connections are cut, as when a server goes away.
	std::string Stop();

	// A hung network, as a station sees it: the postmaster and every
	// backend stopped (SIGSTOP), then resumed (SIGCONT). Empty or why not.
	std::string Pause();
	std::string Resume();

	// A new empty database; empty or why not.
	std::string CreateDatabase(const std::string &name);

	// libpq's two spellings of the same database.
	std::string Url(const std::string &database) const;
	std::string Conninfo(const std::string &database) const;
	const std::string &Folder() const { return folder_; }

private:
	std::vector<int> Processes() const;
	std::string Run(const std::string &program, const std::vector<std::string> &args);

	std::string Watch();

	std::string folder_;
	std::string bin_;
	bool running_ = false;
	int watchdog_ = -1; // write end of the pipe the watchdog waits on
};
