// The sender on its own, against the scratch server: its pauses, its wake,
// and its deadlines when the server stops answering.
#include "PgSink.h"
#include "Sender.h"
#include "plant_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

// The sender's waits, seen and steered: every pause is noted and passes at
// once, except those after the held one, which last until the sender is
// rushed or stopped (or released); the waits for work that wait are counted.
class Steered final : public plant::SenderWaits
{
public:
	void Wait(std::unique_lock<std::mutex> &lock, std::condition_variable &changed, int ms,
		  const std::function<bool()> &done) override
	{
		// A wait for work that has work already is no wait.
		if (ms < 0 && done())
			return;
		bool hold;
		{
			std::lock_guard guard(mutex_);
			if (ms < 0)
				idles_++;
			else
				pauses_.push_back(ms);
			hold = ms < 0 || static_cast<int>(pauses_.size()) > holdFrom_;
			seen_.notify_all();
		}
		if (hold)
			changed.wait(lock, [&] { return done() || (ms >= 0 && Released()); });
	}
	// Pauses after the first count pass at once no more.
	void HoldFrom(int count)
	{
		std::lock_guard guard(mutex_);
		holdFrom_ = count;
	}
	// Every pause passes at once again; the sender must then be woken.
	void Release() { HoldFrom(INT_MAX); }
	// Until the pauses and waits for work seen satisfy seen; false when
	// they did not within 20 s.
	bool Until(const std::function<bool(const std::vector<int> &pauses, int idles)> &seen)
	{
		std::unique_lock guard(mutex_);
		return seen_.wait_for(guard, std::chrono::seconds(20), [&] { return seen(pauses_, idles_); });
	}
	std::vector<int> Pauses()
	{
		std::lock_guard guard(mutex_);
		return pauses_;
	}

private:
	bool Released()
	{
		std::lock_guard guard(mutex_);
		return static_cast<int>(pauses_.size()) <= holdFrom_;
	}
	std::mutex mutex_;
	std::condition_variable seen_;
	std::vector<int> pauses_;
	int idles_ = 0;
	int holdFrom_ = INT_MAX;
};

struct Folder {
	std::string path;
	Folder()
	{
		char name[] = "/tmp/velmora-sender-XXXXXX";
		path = mkdtemp(name);
	}
	~Folder() { fs::remove_all(path); }
};

plant::SenderSetup QuickSetup(const std::string &target, const std::string &journal,
			      const std::shared_ptr<Steered> &waits)
{
	plant::SenderSetup setup;
	setup.target = target;
	setup.description = "the test's database";
	setup.journal = journal;
	setup.station = "line-1";
	setup.application = "sender test";
	setup.deadlines = { 500, 500 };
	setup.firstRetryMs = 20;
	setup.maxRetryMs = 200;
	setup.waits = waits;
	return setup;
}

std::string Line(int sequence)
{
	plant::Record r = MakeRecord("line-1", nullptr, "2026-12-08T08:00:00Z", "verified");
	r.sequence = sequence;
	return plant::RecordLine(r);
}

std::string Made(const std::string &db)
{
	plant::Database owner;
	std::string why = owner.Connect(Server().Conninfo(db));
	return why.empty() ? owner.PrepareSchema(true) : why;
}

std::string Sequences(const std::string &db)
{
	return Query(Server().Conninfo(db),
		     "SELECT string_agg(sequence::text, ',' ORDER BY ctid) FROM velmora_records");
}

// A sender on a made database with an empty journal, waiting for work.
struct IdleSender {
	std::string db = NewDatabase();
	Folder folder;
	plant::Spool journal{ folder.path + "/journal.jsonl" };
	std::shared_ptr<Steered> waits = std::make_shared<Steered>();
	std::unique_ptr<plant::Sender> sender;
	IdleSender()
	{
		EXPECT_EQ(Made(db), "");
		sender = std::make_unique<plant::Sender>(QuickSetup(Server().Url(db), journal.Path(), waits),
							 nullptr);
		EXPECT_TRUE(waits->Until([](const std::vector<int> &, int idles) { return idles == 1; }));
	}
};

// The pause doubles from the first to the cap, starts again from the first
// after a success, and the end of the run tries at once instead of waiting
// it out; a record appended while the sender waits for work wakes it.
TEST(Sender, PausesGrowToTheCapAndStartAgainAfterASuccess)
{
	std::string db = NewDatabase();
	ASSERT_EQ(Made(db), "");
	Folder folder;
	plant::Spool journal(folder.path + "/journal.jsonl");
	auto waits = std::make_shared<Steered>();
	waits->HoldFrom(7);
	ASSERT_EQ(Server().Stop(), "");
	plant::Sender sender(QuickSetup(Server().Url(db), journal.Path(), waits), nullptr);
	ASSERT_TRUE(waits->Until([](const std::vector<int> &p, int) { return p.size() == 8; }));
	EXPECT_EQ(waits->Pauses(), (std::vector<int>{ 20, 40, 80, 160, 200, 200, 200, 200 }));

	ASSERT_EQ(Server().Start(), "");
	waits->Release();
	sender.Wake();
	ASSERT_TRUE(waits->Until([](const std::vector<int> &, int idles) { return idles == 1; }));
	ASSERT_EQ(Server().Stop(), "");
	waits->HoldFrom(8);
	ASSERT_EQ(journal.Append(Line(1)), "");
	sender.Wake();
	ASSERT_TRUE(waits->Until([](const std::vector<int> &p, int) { return p.size() == 9; }));
	EXPECT_EQ(waits->Pauses().back(), 20);

	ASSERT_EQ(Server().Start(), "");
	EXPECT_EQ(sender.Finish(10000), 0);
	EXPECT_EQ(Sequences(db), "1");
}

// A record stored wakes the sender: it is in the table before the session ends.
TEST(Sender, AStoredRecordIsSentAtOnce)
{
	std::string db = NewDatabase();
	Folder folder;
	plant::SinkOptions options;
	options.folder = folder.path;
	auto waits = std::make_shared<Steered>();
	options.waits = waits;
	plant::PgSink sink(Server().Url(db), "line-1", options);
	std::vector<std::string> notices;
	plant::Refusal refusal;
	ASSERT_EQ(sink.Open(notices, refusal), "");
	ASSERT_TRUE(waits->Until([](const std::vector<int> &, int idles) { return idles == 1; }));
	plant::Record r = MakeRecord("line-1", nullptr, "2026-12-08T08:00:00Z", "verified");
	r.sequence = 1;
	ASSERT_EQ(sink.Store(r).how, plant::Stored::Kept);
	ASSERT_TRUE(waits->Until([](const std::vector<int> &, int idles) { return idles == 2; }));
	EXPECT_EQ(Sequences(db), "1");
	EXPECT_EQ(sink.Finish(0), 0);
}

// A server whose processes are stopped: the statement in flight is given up
// at its deadline, and so is the next connection, while the server still
// hangs; once it answers again the record goes, once.
TEST(Sender, DeadlinesHoldWhileTheServerHangs)
{
	IdleSender s;
	s.waits->HoldFrom(3);
	ASSERT_EQ(Server().Pause(), "");
	ASSERT_EQ(s.journal.Append(Line(1)), "");
	s.sender->Wake();
	// The first pause is the start's; then the statement's and the connection's.
	bool gaveUp = s.waits->Until([](const std::vector<int> &p, int) { return p.size() == 3; });
	ASSERT_EQ(Server().Resume(), "");
	EXPECT_TRUE(gaveUp);
	EXPECT_EQ(s.sender->Finish(10000), 0);
	EXPECT_EQ(Sequences(s.db), "1");
}

// Ctrl+C during the end of a session: the wait ends when asked to,
// whatever the network does, and the records stay in the journal.
TEST(Sender, TheEndOfASessionAsksWhetherToStop)
{
	IdleSender s;
	ASSERT_EQ(Server().Pause(), "");
	ASSERT_EQ(s.journal.Append(Line(1)), "");
	int asked = 0;
	int left = s.sender->Finish(60000, [&asked] { return ++asked > 0; });
	ASSERT_EQ(Server().Resume(), "");
	EXPECT_EQ(left, 1);
	EXPECT_GT(asked, 0);
}

} // namespace
