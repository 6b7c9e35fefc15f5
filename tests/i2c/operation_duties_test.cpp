// The duties every transfer operation shares, checked for each of them:
// the error flag cleared first, one open and one close per transfer, the
// adapter closed before the message, and the boundary counts accepted.
#include "IICTransfer.h"
#include "MessageBoxSink.h"
#include "adapter_statuses.h"
#include "qt_access.h"
#include "qxiic_sim.h"

#include <QMessageBox>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <functional>

namespace sim = qxiic::sim;
using sim::Call;
using ::testing::ElementsAre;

namespace {

struct Operation {
	const char *name;
	std::function<void(CIICTransfer &)> run;
	Call transfer;
	int device, subLength, count;
};

std::uint16_t g_values[16] = { 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
			       0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xF0, 0x0F };
unsigned char g_buffer[256];

const Operation kOperations[] = {
	{ "WriteReg16", [](CIICTransfer &iic) { iic.WriteReg16(0xBA, 0x30, 0x12, 0x00, 0x42); },
	  Call::SendSub, 0xBA, 2, 2 },
	{ "ReadReg16", [](CIICTransfer &iic) { iic.ReadReg16(0xBB, 0x30, 0x12); }, Call::ReceiveSub, 0xBB, 2,
	  2 },
	{ "WriteByte", [](CIICTransfer &iic) { iic.WriteByte(0xA4, 0x10, 0x5A); }, Call::SendSub, 0xA4, 1,
	  1 },
	{ "WriteBytePair", [](CIICTransfer &iic) { iic.WriteBytePair(0xA8, 0x00, 0x14, 0x0C); },
	  Call::SendSub, 0xA8, 1, 2 },
	{ "WriteBlock of 1", [](CIICTransfer &iic) { iic.WriteBlock(0xA6, 0x20, g_values, 1); },
	  Call::SendSub, 0xA6, 1, 1 },
	{ "WriteBlock of 16", [](CIICTransfer &iic) { iic.WriteBlock(0xA6, 0x20, g_values, 16); },
	  Call::SendSub, 0xA6, 1, 16 },
	{ "ReadByte", [](CIICTransfer &iic) { iic.ReadByte(0xA3, 0xFF); }, Call::ReceiveSub, 0xA3, 1, 1 },
	{ "ReadBlock of 1", [](CIICTransfer &iic) { iic.ReadBlock(0xA6, 0x30, g_buffer, 1); },
	  Call::ReceiveSub, 0xA6, 1, 1 },
	{ "ReadBlock of 16", [](CIICTransfer &iic) { iic.ReadBlock(0xA6, 0x30, g_buffer, 16); },
	  Call::ReceiveSub, 0xA6, 1, 16 },
	{ "ReadRaw of 0", [](CIICTransfer &iic) { iic.ReadRaw(0xA9, g_buffer, 0); }, Call::Receive, 0xA9, 0,
	  0 },
	{ "ReadRaw of 16", [](CIICTransfer &iic) { iic.ReadRaw(0xA9, g_buffer, 16); }, Call::Receive, 0xA9, 0,
	  16 },
	{ "ReadRaw of 255", [](CIICTransfer &iic) { iic.ReadRaw(0xA9, g_buffer, 255); }, Call::Receive, 0xA9,
	  0, 255 },
};

class OperationDutiesTest : public ::testing::TestWithParam<size_t>
{
protected:
	void SetUp() override
	{
		unsetenv("QXIIC_BUS");
		sim::Reset();
		sim::UseManualClock(true);
		toolkit::SetMessageBoxObserver([this](QMessageBox &box) {
			messages.push_back(box.text().toStdString());
			traceAtMessage = sim::Trace();
			QTimer::singleShot(0, &box, &QMessageBox::accept);
		});
	}
	void TearDown() override { toolkit::SetMessageBoxObserver({}); }

	// The trace holds one open, the address for writes, the transfer and
	// one close, all on the one handle.
	static void ExpectOneTransfer(const std::vector<sim::TraceEntry> &trace, const Operation &op)
	{
		std::vector<Call> expected = { Call::Init, op.transfer, Call::Close };
		if (op.transfer == Call::SendSub)
			expected.insert(expected.begin() + 1, Call::SetAddress);
		std::vector<Call> calls;
		for (const sim::TraceEntry &e : trace)
			calls.push_back(e.call);
		ASSERT_EQ(calls, expected);
		EXPECT_EQ(trace.front().device, op.device);
		EXPECT_EQ(trace.front().param1, 20000);
		EXPECT_EQ(trace.front().param2, 1000);
		for (const sim::TraceEntry &e : trace)
			EXPECT_EQ(e.handle, trace.front().handle);
		const sim::TraceEntry &transfer = trace[trace.size() - 2];
		EXPECT_EQ(transfer.subLength, op.subLength);
		EXPECT_EQ(transfer.count, op.count);
		EXPECT_EQ(transfer.flags, 0);
	}

	CIICTransfer iic{ CMessageBoxSink::Instance() };
	std::vector<std::string> messages;
	std::vector<sim::TraceEntry> traceAtMessage;
};

TEST_P(OperationDutiesTest, ClearsTheFlagClosesBeforeTheMessageAndTakesItsBoundaryCounts)
{
	const Operation &op = kOperations[GetParam()];
	const AdapterStatus &status = kAdapterStatuses[GetParam() % std::size(kAdapterStatuses)];

	// A flag nobody tested is cleared by the next operation that succeeds.
	iic.ReportError(4);
	messages.clear();
	sim::ClearTrace();
	op.run(iic);
	EXPECT_FALSE(iic.TestAndClearError());
	EXPECT_TRUE(messages.empty());
	ExpectOneTransfer(sim::Trace(), op);
	sim::AdvanceClock(sim::kEepromWriteCycleUs);

	// A failure: the adapter is already closed when the message shows.
	sim::ClearTrace();
	sim::Fault fault;
	fault.status = status.status;
	sim::AddFault(fault);
	op.run(iic);
	EXPECT_THAT(messages, ElementsAre(status.text));
	ExpectOneTransfer(traceAtMessage, op);
	EXPECT_EQ(sim::Trace().size(), traceAtMessage.size());
	EXPECT_TRUE(iic.TestAndClearError());
	EXPECT_FALSE(iic.TestAndClearError());
}

INSTANTIATE_TEST_SUITE_P(Operations, OperationDutiesTest, ::testing::Range<size_t>(0, std::size(kOperations)),
			 [](const ::testing::TestParamInfo<size_t> &param) {
				 std::string name;
				 for (char c : std::string(kOperations[param.param].name))
					 if (std::isalnum(static_cast<unsigned char>(c)))
						 name += c;
				 return name;
			 });

} // namespace
