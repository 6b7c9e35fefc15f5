// The EEPROM engine against the simulated camera on its manual clock: the
// blocks it sends, its pacing, its first-failure stop and its progress.
#include "EepromEngine.h"
#include "ProgressPlan.h"
#include "qxiic_sim.h"
#include "simulated_camera.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace sim = qxiic::sim;
using ::testing::ElementsAre;

namespace {

class QuietSink final : public IICErrorSink
{
public:
	void Report(int status, const char *) override { statuses.push_back(status); }
	std::vector<int> statuses;
};

class EngineTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		UseFreshSimulatedCamera();
		engine.OnProgress([this] { steps++; });
	}
	void TearDown() override { sim::Reset(); }

	// Sub-addresses (and counts) of the transfers of one kind, in order.
	static std::vector<std::string> Transfers(sim::Call call)
	{
		std::vector<std::string> seen;
		for (const sim::TraceEntry &e : sim::Trace())
			if (e.call == call)
				seen.push_back(std::to_string(e.device) + ":" + std::to_string(e.subAddress) +
					       "/" + std::to_string(e.count));
		return seen;
	}

	QuietSink sink;
	CIICTransfer iic{ sink };
	std::vector<int> pauses;
	eeprom::FixedPause pause{ [this](int ms) {
					 pauses.push_back(ms);
					 sim::AdvanceClock(ms * 1000);
				 },
				  20 };
	eeprom::Engine engine{ iic, pause };
	int steps = 0;
};

TEST_F(EngineTest, WritesPagesInBlocksWithAPauseAfterEach)
{
	std::vector<std::uint8_t> values(512);
	for (int i = 0; i < 512; i++)
		values[i] = static_cast<std::uint8_t>(i * 7);
	ASSERT_TRUE(engine.WritePages(6, 2, values));

	std::vector<std::string> writes = Transfers(sim::Call::SendSub);
	ASSERT_EQ(writes.size(), 32u);
	EXPECT_EQ(writes[0], "172:0/16");    // 0xAC
	EXPECT_EQ(writes[31], "174:240/16"); // 0xAE, 0xF0
	EXPECT_EQ(pauses, std::vector<int>(32, 20));
	EXPECT_EQ(steps, 32);
	EXPECT_EQ(sim::EepromByte(0x600), 0x00);
	EXPECT_EQ(sim::EepromByte(0x601), 0x07);
	EXPECT_EQ(sim::EepromByte(0x7FF), 0xF9); // 511 * 7 = 0xDF9
}

TEST_F(EngineTest, FillStaysInsideTheWritePages)
{
	const struct {
		int offset;
		std::vector<std::string> blocks;
	} cases[] = {
		{ 0xE0, { "166:224/16", "166:240/16" } },
		{ 0xE5, { "166:229/11", "166:240/16" } },
		{ 0xFF, { "166:255/1" } },
		{ 0x100, {} },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.offset);
		sim::ClearTrace();
		for (int a = 0x300; a < 0x400; a++)
			sim::SetEepromByte(a, 0x11);
		ASSERT_TRUE(engine.FillPage(3, c.offset, 0xFF));
		EXPECT_EQ(Transfers(sim::Call::SendSub), c.blocks);
		EXPECT_EQ(eeprom::Engine::FillTransfers(c.offset), static_cast<int>(c.blocks.size()));
		EXPECT_EQ(sim::EepromByte(0x300 + c.offset - 1), 0x11);
		if (c.offset < 0x100) {
			EXPECT_EQ(sim::EepromByte(0x300 + c.offset), 0xFF);
		}
		EXPECT_EQ(sim::EepromByte(0x3FF), c.offset < 0x100 ? 0xFF : 0x11);
	}
}

TEST_F(EngineTest, ReadsInTheFormAndUnitAsked)
{
	sim::SetEepromByte(0x210, 0x5A);
	std::vector<std::uint8_t> out(256, 0xFF);
	ASSERT_TRUE(engine.ReadPages(2, 1, out, 16, eeprom::ReadForm::Write));
	std::vector<std::string> reads = Transfers(sim::Call::ReceiveSub);
	ASSERT_EQ(reads.size(), 16u);
	EXPECT_EQ(reads[1], "164:16/16"); // 0xA4
	EXPECT_EQ(out[0x10], 0x5A);

	sim::ClearTrace();
	ASSERT_TRUE(engine.ReadPages(2, 1, out, 1, eeprom::ReadForm::Read));
	reads = Transfers(sim::Call::ReceiveSub);
	ASSERT_EQ(reads.size(), 256u);
	EXPECT_EQ(reads[0x10], "165:16/1"); // 0xA5
	EXPECT_EQ(out[0x10], 0x5A);
	EXPECT_EQ(steps, 16 + 256);
}

TEST_F(EngineTest, TheFirstFailureEndsTheOperationAndSaysWhere)
{
	std::vector<std::uint8_t> values(256);
	sim::AddFault({ sim::Call::SendSub, 0xA2, 0x30, 5, 0, 1 });
	EXPECT_FALSE(engine.WritePages(1, 1, values));
	EXPECT_EQ(Transfers(sim::Call::SendSub).size(), 4u);
	EXPECT_EQ(steps, 3);
	EXPECT_THAT(sink.statuses, ElementsAre(5));
	const eeprom::Failure &f = engine.LastFailure();
	EXPECT_EQ(f.status, 5);
	EXPECT_EQ(f.page, 1);
	EXPECT_EQ(f.offset, 0x30);
	EXPECT_FALSE(f.stopped);
}

TEST_F(EngineTest, AStopRequestEndsBeforeTheNextTransfer)
{
	engine.OnProgress([this] {
		if (++steps == 3)
			engine.RequestStop();
	});
	std::vector<std::uint8_t> out(256);
	EXPECT_FALSE(engine.ReadPages(0, 1, out, 16, eeprom::ReadForm::Read));
	EXPECT_EQ(Transfers(sim::Call::ReceiveSub).size(), 3u);
	EXPECT_TRUE(engine.LastFailure().stopped);
	EXPECT_EQ(engine.LastFailure().offset, 0x30);
	EXPECT_TRUE(sink.statuses.empty());
}

// A unit that does not tile a page, or a buffer short of the pages, would
// run past the buffer: refused before anything goes on the bus.
TEST_F(EngineTest, RefusesUnitsAndBuffersThatDoNotFitThePages)
{
	std::vector<std::uint8_t> page(256), short_(255);
	for (int unit : { 0, 3, 17, 32, -1 }) {
		SCOPED_TRACE(unit);
		EXPECT_FALSE(engine.ReadPages(0, 1, page, unit, eeprom::ReadForm::Read));
		EXPECT_TRUE(engine.LastFailure().refused);
		EXPECT_FALSE(engine.VerifyPages(0, 1, page, unit, eeprom::ReadForm::Read));
	}
	EXPECT_FALSE(engine.ReadPages(0, 1, short_, 16, eeprom::ReadForm::Read));
	EXPECT_FALSE(engine.VerifyPages(0, 1, short_, 1, eeprom::ReadForm::Read));
	EXPECT_FALSE(engine.WritePages(0, 1, short_));
	EXPECT_EQ(engine.LastFailure().direction, eeprom::Direction::Write);
	EXPECT_TRUE(sim::Trace().empty());
	for (int unit : { 1, 2, 4, 8, 16 }) {
		SCOPED_TRACE(unit);
		sim::ClearTrace();
		EXPECT_TRUE(engine.ReadPages(0, 1, page, unit, eeprom::ReadForm::Read));
		EXPECT_EQ(Transfers(sim::Call::ReceiveSub).size(), static_cast<size_t>(256 / unit));
	}
}

// Acknowledge polling: a block written, then read at once while the
// EEPROM is still storing it; a device that never answers again fails
// once the limit after the write has run out.
TEST_F(EngineTest, AcknowledgePollingWaitsOutTheWriteCycleOnly)
{
	std::int64_t slept = 0;
	eeprom::AckPolling polling([] { return sim::Now(); },
				   [&](std::int64_t us) {
					   slept += us;
					   sim::AdvanceClock(us);
				   },
				   25000, 200);
	eeprom::Engine polled(iic, polling);
	std::vector<std::uint8_t> values(256, 0x42);
	ASSERT_TRUE(polled.WritePages(0, 1, values));
	EXPECT_EQ(slept, 15 * 5000); // each block waits out its predecessor's cycle
	EXPECT_TRUE(polled.VerifyPages(0, 1, values, 16, eeprom::ReadForm::Write));
	EXPECT_EQ(slept, 16 * 5000);

	ASSERT_TRUE(polled.WritePages(0, 1, values));
	sim::AddFault({ sim::Call::ReceiveSub, {}, {}, 14, 0, -1 });
	slept = 0;
	EXPECT_FALSE(polled.ReadPages(0, 1, values, 16, eeprom::ReadForm::Write));
	EXPECT_EQ(slept, 25000);
	EXPECT_TRUE(polling.TimedOut());
	EXPECT_EQ(polled.LastFailure().status, 14);

	// Another status is final at once.
	sim::ClearFaults();
	sim::AddFault({ sim::Call::ReceiveSub, {}, {}, 4, 0, 1 });
	slept = 0;
	EXPECT_FALSE(polled.ReadPages(0, 1, values, 16, eeprom::ReadForm::Write));
	EXPECT_EQ(slept, 0);
	EXPECT_FALSE(polling.TimedOut());
}

// The limit is 25 ms after the write; a refusal may arrive late. Past the
// limit the EEPROM is asked once more, without a pause, and that answer
// decides.
TEST(AckPollingTest, OneLastAttemptAfterTheLimit)
{
	struct Case {
		const char *what;
		std::vector<std::int64_t> refusedAtUs; // when each refusal arrives, write at 0
		std::vector<bool> retried;
		std::int64_t sleptUs;
		bool timedOut;
	} const cases[] = {
		{ "refused within the limit", { 4000, 24900 }, { true, true }, 200 + 100, false },
		{ "asked before, refused after", { 24000, 30000 }, { true, true }, 200, false },
		{ "refused after, twice", { 30000, 30100 }, { true, false }, 0, true },
		{ "refused at the limit, twice", { 25000, 25000 }, { true, false }, 0, true },
	};
	for (const Case &c : cases) {
		SCOPED_TRACE(c.what);
		std::int64_t now = 0, slept = 0;
		eeprom::AckPolling polling([&] { return now; },
					   [&](std::int64_t us) {
						   slept += us;
						   now += us;
					   },
					   25000, 200);
		polling.AfterWrite();
		std::vector<bool> retried;
		for (std::int64_t at : c.refusedAtUs) {
			now = std::max(now, at);
			retried.push_back(polling.Retry(14));
		}
		EXPECT_EQ(retried, c.retried);
		EXPECT_EQ(slept, c.sleptUs);
		EXPECT_EQ(polling.TimedOut(), c.timedOut);
	}
}

} // namespace

// The bar moves with the time each transfer takes, not with their count:
// literal percentages at literal times on the manual clock, where every
// transfer takes the 1 ms the plan expects of it and a write 20 ms more.
TEST_F(EngineTest, ProgressFollowsTheExpectedTime)
{
	struct Sample {
		std::int64_t ms;
		int percent;
	};
	struct Case {
		const char *operation;
		eeprom::ProgressPlan plan;
		std::function<bool()> run;
		std::vector<Sample> samples;
	};
	std::vector<std::uint8_t> values(2048, 0x5A);
	std::vector<std::uint8_t> out(2048);
	const Case cases[] = {
		// 128 block writes of 21 ms (2688 ms), then 2048 reads of 1 ms.
		{ "File --> Cam",
		  eeprom::ProgressPlan().Writes(128, pause).Reads(2048),
		  [&] {
			  return engine.WritePages(0, 8, values) &&
				 engine.ReadPages(0, 8, out, 1, eeprom::ReadForm::Read);
		  },
		  { { 21, 0 }, { 1344, 28 }, { 2688, 56 }, { 3712, 78 }, { 4736, 100 } } },
		{ "Cam --> File",
		  eeprom::ProgressPlan().Reads(2048),
		  [&] { return engine.ReadPages(0, 8, out, 1, eeprom::ReadForm::Write); },
		  { { 512, 25 }, { 1024, 50 }, { 2048, 100 } } },
		// Erase from offset 0x28: the rest of a 16-byte block, then 13.
		{ "Erase EEp",
		  eeprom::ProgressPlan().Writes(14, pause),
		  [&] { return engine.FillPage(3, 0x28, 0xFF); },
		  { { 21, 7 }, { 147, 50 }, { 294, 100 } } },
	};
	for (const Case &c : cases) {
		SCOPED_TRACE(c.operation);
		sim::Reset();
		sim::UseManualClock(true);
		const std::int64_t start = sim::Now();
		int done = 0;
		std::vector<Sample> seen;
		engine.OnProgress([&] {
			sim::AdvanceClock(eeprom::ProgressPlan::kTransferUs);
			seen.push_back({ (sim::Now() - start) / 1000, c.plan.Position(++done, 100) });
		});
		ASSERT_TRUE(c.run());
		for (const Sample &want : c.samples) {
			auto at = std::find_if(seen.begin(), seen.end(),
					       [&](const Sample &s) { return s.ms == want.ms; });
			ASSERT_NE(at, seen.end()) << want.ms << " ms";
			EXPECT_EQ(at->percent, want.percent) << want.ms << " ms";
		}
	}
	// Save: 16 fill blocks, 100 ms and two reads, then the script's bytes.
	eeprom::ProgressPlan save = eeprom::ProgressPlan().Writes(16, pause).Writes(20, pause, 102000);
	EXPECT_EQ(save.ExpectedUs(save.Transfers()), 858000);
	for (auto [done, percent] : { std::pair{ 16, 39 }, std::pair{ 17, 53 }, std::pair{ 36, 100 } })
		EXPECT_EQ(save.Position(done, 100), percent) << done;
}
