#include "Sender.h"

#include <algorithm>
#include <chrono>

namespace plant {

std::string Records(int count)
{
	return std::to_string(count) + (count == 1 ? " record" : " records");
}

void SenderWaits::Wait(std::unique_lock<std::mutex> &lock, std::condition_variable &changed, int ms,
		       const std::function<bool()> &done)
{
	if (ms < 0)
		changed.wait(lock, done);
	else
		changed.wait_for(lock, std::chrono::milliseconds(ms), done);
}

Sender::Sender(SenderSetup setup, std::unique_ptr<Database> connected)
	: setup_(std::move(setup)), journal_(setup_.journal), db_(std::move(connected))
{
	if (!setup_.waits)
		setup_.waits = std::make_shared<SenderWaits>();
	if (!db_) {
		db_ = std::make_unique<Database>();
		away_ = true;
		retryMs_ = setup_.firstRetryMs;
	}
	db_->SetDeadlines(setup_.deadlines);
	db_->SetStop([this] { return giveUp_.load(); });
	thread_ = std::thread([this] { Loop(); });
}

Sender::~Sender()
{
	Finish(0);
}

void Sender::Wake()
{
	std::lock_guard lock(mutex_);
	work_ = true;
	changed_.notify_all();
}

void Sender::Say(const std::string &notice)
{
	std::lock_guard lock(mutex_);
	notices_.push_back(notice);
}

std::vector<std::string> Sender::TakeNotices()
{
	std::lock_guard lock(mutex_);
	std::vector<std::string> taken(notices_.begin(), notices_.end());
	notices_.clear();
	return taken;
}

void Sender::Pause()
{
	retryMs_ = retryMs_ == 0 ? setup_.firstRetryMs : std::min(retryMs_ * 2, setup_.maxRetryMs);
}

void Sender::Away(const std::string &why)
{
	if (!away_ && !refused_)
		Say(setup_.description + " cannot be reached: " + why + "; records are kept in " +
		    setup_.journal);
	away_ = true;
	db_->Close();
	Pause();
}

// The server answers, and refuses every record: no outage that passes by
// itself, but no reason to drop the records either. Said once, loudly; the
// sender keeps trying, for the owner may put the table right.
void Sender::Refused(const std::string &why)
{
	if (!refused_)
		Say("ATTENTION: " + setup_.description + " refuses this station's records (" + why +
		    "); they stay in " + setup_.journal + " until the table takes them: tell its owner");
	refused_ = true;
	away_ = true;
	Pause();
}

// One try at the journal; true when it is empty now.
bool Sender::Round()
{
	if (!db_->Connected()) {
		if (std::string why = db_->Connect(setup_.target, setup_.application); !why.empty()) {
			if (db_->Refused())
				Refused(why);
			else
				Away(why);
			return false;
		}
		std::string holder;
		if (std::string why = db_->LockStation(setup_.station, holder); !why.empty()) {
			// Another session took the name meanwhile: not ours to feed.
			Away(why + (holder.empty() ? "" : " (" + holder + ")"));
			return false;
		}
	}
	Spool::Sent sent = journal_.Send(
		[this](const std::string &json, std::string &why) { return db_->Insert(json, why); });
	for (const std::string &why : sent.refusals)
		Say("a record refused by " + setup_.description + " (" + why + ") is set aside in " +
		    journal_.RejectedPath());
	if (sent.tableRefused) {
		Refused(sent.error);
		return false;
	}
	if (!sent.error.empty()) {
		Away(sent.error);
		return false;
	}
	if (away_ && sent.inserted + sent.duplicates > 0)
		Say(Records(sent.inserted + sent.duplicates) + " sent to " + setup_.description);
	away_ = false;
	refused_ = false;
	retryMs_ = 0;
	return true;
}

void Sender::Loop()
{
	std::unique_lock lock(mutex_);
	while (!stop_) {
		// After a failure, the pause (a new record does not cut it short: a
		// busy station must not hammer a server that is away); otherwise,
		// until there is something to send.
		if (retryMs_ > 0)
			setup_.waits->Wait(lock, changed_, retryMs_, [this] { return stop_ || rushed_; });
		else
			setup_.waits->Wait(lock, changed_, -1, [this] { return stop_ || work_ || rushed_; });
		if (stop_)
			break;
		work_ = false;
		rushed_ = false;
		lock.unlock();
		bool empty = Round();
		lock.lock();
		if (draining_ && empty && !work_) {
			drained_ = true;
			changed_.notify_all();
		}
	}
}

int Sender::Finish(int ms, const std::function<bool()> &stop)
{
	if (thread_.joinable()) {
		std::unique_lock lock(mutex_);
		draining_ = true;
		rushed_ = true;
		changed_.notify_all();
		auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
		while (!drained_ && !(stop && stop()) && std::chrono::steady_clock::now() < end)
			changed_.wait_until(lock, std::min(end, std::chrono::steady_clock::now() +
									std::chrono::milliseconds(100)));
		stop_ = true;
		giveUp_ = true; // a wait on the network ends within 100 ms
		changed_.notify_all();
		lock.unlock();
		thread_.join();
	}
	std::string why;
	return static_cast<int>(journal_.Lines(why).size());
}

} // namespace plant
