#include "Sender.h"

#include <algorithm>
#include <chrono>

namespace plant {

std::string Records(int count)
{
	return std::to_string(count) + (count == 1 ? " record" : " records");
}

Sender::Sender(SenderSetup setup, std::unique_ptr<Database> connected)
	: setup_(std::move(setup)), journal_(setup_.journal), db_(std::move(connected))
{
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

void Sender::Away(const std::string &why)
{
	if (!away_)
		Say(setup_.description + " cannot be reached: " + why + "; records are kept in " +
		    setup_.journal);
	away_ = true;
	db_->Close();
	retryMs_ = retryMs_ == 0 ? setup_.firstRetryMs : std::min(retryMs_ * 2, setup_.maxRetryMs);
}

// One try at the journal; true when it is empty now.
bool Sender::Round()
{
	if (!db_->Connected()) {
		if (std::string why = db_->Connect(setup_.target, setup_.application); !why.empty()) {
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
	if (!sent.error.empty()) {
		Away(sent.error);
		return false;
	}
	// Its return is news even with nothing waiting: the operator was told
	// it was away (a shift that started without it, before any record).
	if (away_)
		Say(sent.inserted + sent.duplicates > 0
			    ? Records(sent.inserted + sent.duplicates) + " sent to " + setup_.description
			    : setup_.description + " can be reached again");
	away_ = false;
	retryMs_ = 0;
	return true;
}

void Sender::Loop()
{
	std::unique_lock lock(mutex_);
	while (!stop_) {
		// After a failure, the pause; otherwise, until there is something to send.
		if (retryMs_ > 0)
			changed_.wait_for(lock, std::chrono::milliseconds(retryMs_),
					  [this] { return stop_ || rushed_; });
		else
			changed_.wait(lock, [this] { return stop_ || work_ || rushed_; });
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

int Sender::Finish(int ms)
{
	if (thread_.joinable()) {
		std::unique_lock lock(mutex_);
		draining_ = true;
		rushed_ = true;
		changed_.notify_all();
		changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return drained_; });
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
