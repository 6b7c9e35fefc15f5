// Sends a station's journal to the database from a thread of its own, in
// order, each record once; the station only appends and wakes it. Every
// wait on the network has a deadline, a failure is retried after a pause
// that grows (capped), and the sender says when the database goes away and
// when records reach it again.
#pragma once

#include "Database.h"
#include "Spool.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace plant {

// The sender's two waits: for work (ms < 0: until done() holds), and the
// pause after a failure (until done() or ms have passed). Tests put their
// own in, to see the pauses and pass them without waiting.
class SenderWaits
{
public:
	virtual ~SenderWaits() = default;
	// lock holds the sender's mutex; changed is notified when done() may hold.
	virtual void Wait(std::unique_lock<std::mutex> &lock, std::condition_variable &changed, int ms,
			  const std::function<bool()> &done);
};

struct SenderSetup {
	std::string target;
	std::string description; // "database velmora on db.plant as station"
	std::string journal;     // its path
	std::string station;
	std::string application; // what the server shows of the session
	Deadlines deadlines;
	int firstRetryMs = 1000; // the pause after a failure, doubled each time
	int maxRetryMs = 30000;
	std::shared_ptr<SenderWaits> waits{}; // null: the clock's
};

class Sender
{
public:
	// connected: the station's session, already checked (null when the
	// database could not be reached at the start: away is then said).
	Sender(SenderSetup setup, std::unique_ptr<Database> connected);
	~Sender();
	Sender(const Sender &) = delete;
	Sender &operator=(const Sender &) = delete;

	// A record was appended to the journal.
	void Wake();
	// Gives the sender up to ms to empty the journal (trying at once even
	// while pausing after a failure), then stops it; returns how many
	// records are still in the journal. Never waits longer than ms and a
	// tenth of a second; stop, asked every tenth of a second, ends the wait
	// as soon as it holds (Ctrl+C).
	int Finish(int ms, const std::function<bool()> &stop = {});
	// What there is to tell the operator since the last call.
	std::vector<std::string> TakeNotices();

private:
	void Loop();
	bool Round();
	void Away(const std::string &why);
	void Refused(const std::string &why);
	void Pause();
	void Say(const std::string &notice);

	SenderSetup setup_;
	Spool journal_;
	std::unique_ptr<Database> db_;
	std::mutex mutex_;
	std::condition_variable changed_;
	bool work_ = true;
	bool draining_ = false;
	bool rushed_ = false; // try now, pause or not
	bool drained_ = false;
	bool stop_ = false;
	std::atomic<bool> giveUp_{ false };
	bool away_ = false;
	bool refused_ = false; // said once until records reach the table again
	int retryMs_ = 0;
	std::deque<std::string> notices_;
	std::thread thread_;
};

// "1 record", "3 records"
std::string Records(int count);

} // namespace plant
