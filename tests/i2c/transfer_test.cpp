// CIICTransfer against the simulated adapter: the calls each operation makes,
// what travels on the bus, and how failures are reported.
#include "IICTransfer.h"
#include "adapter_statuses.h"
#include "qxiic.h"
#include "qxiic_sim.h"
#include "simulated_camera.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace sim = qxiic::sim;
using sim::Call;
using ::testing::Each;
using ::testing::ElementsAre;

namespace {

// The fixture is the transfers' error sink: it notes each message and the
// adapter calls made before it.
class TransferTest : public ::testing::Test, public IICErrorSink
{
protected:
	void SetUp() override { UseFreshSimulatedCamera(); }
	void Report(int, const char *text) override
	{
		messages.push_back(text);
		traceAtMessage.push_back(sim::Trace());
	}

	static std::vector<Call> Calls(const std::vector<sim::TraceEntry> &trace = sim::Trace())
	{
		std::vector<Call> calls;
		for (const sim::TraceEntry &e : trace)
			calls.push_back(e.call);
		return calls;
	}

	// Checks the open / (address) / transfer / close frame of the one
	// operation in a trace and returns its transfer call.
	static sim::TraceEntry Frame(const std::vector<sim::TraceEntry> &trace, Call transfer, int device)
	{
		bool write = transfer == Call::SendSub;
		std::vector<Call> expected = write ? std::vector<Call>{ Call::Init, Call::SetAddress,
									Call::SendSub, Call::Close }
						   : std::vector<Call>{ Call::Init, transfer, Call::Close };
		EXPECT_EQ(Calls(trace), expected);
		if (trace.size() != expected.size())
			return {};
		const sim::TraceEntry &init = trace.front();
		EXPECT_EQ(init.device, device);
		EXPECT_EQ(init.param1, 20000);
		EXPECT_EQ(init.param2, 1000);
		for (const sim::TraceEntry &e : trace)
			EXPECT_EQ(e.handle, init.handle) << sim::Describe(e);
		if (write) {
			EXPECT_EQ(trace[1].device, device);
		}
		sim::TraceEntry op = trace[trace.size() - 2];
		EXPECT_EQ(op.flags, 0);
		return op;
	}

	// The frame of the one operation since the last check.
	static sim::TraceEntry OneTransfer(Call transfer, int device)
	{
		sim::TraceEntry op = Frame(sim::Trace(), transfer, device);
		sim::ClearTrace();
		return op;
	}

	CIICTransfer iic{ *this };
	std::vector<std::string> messages;
	std::vector<std::vector<sim::TraceEntry>> traceAtMessage;
};

TEST_F(TransferTest, WritesSetTheAddressAndSendSubAddressThenBytesHighFirst)
{
	(void)iic.WriteReg16(0xBA, 0x30, 0x1C, 0x00, 0x05);
	sim::TraceEntry op = OneTransfer(Call::SendSub, 0xBA);
	EXPECT_EQ(op.subLength, 2);
	EXPECT_EQ(op.subAddress, 0x301C);
	EXPECT_THAT(op.data, ElementsAre(0x00, 0x05));
	EXPECT_EQ(sim::Register(0x301C), 0x0005);

	// Only the low byte of a value argument travels.
	(void)iic.WriteByte(0xA6, 0x10, 0x15A);
	op = OneTransfer(Call::SendSub, 0xA6);
	EXPECT_EQ(op.subLength, 1);
	EXPECT_EQ(op.subAddress, 0x10);
	EXPECT_THAT(op.data, ElementsAre(0x5A));

	sim::AdvanceClock(sim::kEepromWriteCycleUs);
	(void)iic.WriteBytePair(0xA8, 0x00, 0x12, 0x0E);
	op = OneTransfer(Call::SendSub, 0xA8);
	EXPECT_EQ(op.subLength, 1);
	EXPECT_EQ(op.subAddress, 0x00);
	EXPECT_THAT(op.data, ElementsAre(0x12, 0x0E));
	EXPECT_TRUE(messages.empty());
}

TEST_F(TransferTest, WriteBlockSendsOnlyTheLowBytesOfCountValues)
{
	const std::uint16_t values[16] = { 0x0155, 0x00AA, 0x1201, 0xFF02, 0x0103, 0x0004, 0x0105, 0x0006,
					   0x0107, 0x0008, 0x0109, 0x000A, 0x010B, 0x000C, 0x010D, 0x8F0E };
	(void)iic.WriteBlock(0xA6, 0x20, values, 16);
	sim::TraceEntry op = OneTransfer(Call::SendSub, 0xA6);
	EXPECT_EQ(op.subLength, 1);
	EXPECT_EQ(op.subAddress, 0x20);
	EXPECT_THAT(op.data, ElementsAre(0x55, 0xAA, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09,
					 0x0A, 0x0B, 0x0C, 0x0D, 0x0E));

	sim::AdvanceClock(sim::kEepromWriteCycleUs);
	(void)iic.WriteBlock(0xA6, 0x30, values, 1);
	op = OneTransfer(Call::SendSub, 0xA6);
	EXPECT_THAT(op.data, ElementsAre(0x55));
	EXPECT_TRUE(messages.empty());
}

TEST_F(TransferTest, ReadsNeverSetTheAddress)
{
	sim::SetRegister(0x3012, 0x1234);
	EXPECT_EQ(iic.ReadReg16(0xBB, 0x30, 0x12), 0x1234);
	sim::TraceEntry op = OneTransfer(Call::ReceiveSub, 0xBB);
	EXPECT_EQ(op.subLength, 2);
	EXPECT_EQ(op.subAddress, 0x3012);
	EXPECT_EQ(op.count, 2);
	EXPECT_THAT(op.data, ElementsAre(0x12, 0x34));

	sim::SetEepromByte(0x1FF, 0x5A);
	EXPECT_EQ(iic.ReadByte(0xA3, 0xFF), 0x5A);
	op = OneTransfer(Call::ReceiveSub, 0xA3);
	EXPECT_EQ(op.subLength, 1);
	EXPECT_EQ(op.subAddress, 0xFF);
	EXPECT_EQ(op.count, 1);

	unsigned char buffer[16] = {};
	(void)iic.ReadRaw(0xA9, buffer, 16);
	op = OneTransfer(Call::Receive, 0xA9);
	EXPECT_EQ(op.count, 16);
	EXPECT_EQ(op.subLength, 0);
	EXPECT_TRUE(messages.empty());
}

TEST_F(TransferTest, ReadRawContinuesFromTheEepromAddressCounter)
{
	const int start = 4 * 256 + 0x41;
	for (int i = 0; i < 34; i++)
		sim::SetEepromByte(start + i, static_cast<std::uint8_t>(0x30 + i * 7));
	EXPECT_EQ(iic.ReadByte(0xA9, 0x41), sim::EepromByte(start));

	unsigned char buffer[32] = {};
	(void)iic.ReadRaw(0xA9, buffer, 16);
	(void)iic.ReadRaw(0xA9, buffer + 16, 16);
	for (int i = 0; i < 32; i++)
		EXPECT_EQ(buffer[i], sim::EepromByte(start + 1 + i)) << "byte " << i;
	EXPECT_FALSE(iic.TestAndClearError());
}

// One ReceiveSub with a 1-byte sub-address per block; the device is taken
// as given (the EEPROM answers to either form of its address).
TEST_F(TransferTest, ReadBlockReadsCountBytesFromTheSubAddressInOneTransfer)
{
	for (int i = 0; i < 16; i++)
		sim::SetEepromByte(6 * 256 + 0xF0 + i, static_cast<std::uint8_t>(0xC0 + i));
	unsigned char buffer[17];
	std::fill(std::begin(buffer), std::end(buffer), 0xEE);
	(void)iic.ReadBlock(0xAC, 0xF0, buffer, 16);
	sim::TraceEntry op = OneTransfer(Call::ReceiveSub, 0xAC);
	EXPECT_EQ(op.subLength, 1);
	EXPECT_EQ(op.subAddress, 0xF0);
	EXPECT_EQ(op.count, 16);
	EXPECT_THAT(buffer, ElementsAre(0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA,
					0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xEE));

	(void)iic.ReadBlock(0xAD, 0xF3, buffer, 1);
	op = OneTransfer(Call::ReceiveSub, 0xAD);
	EXPECT_EQ(op.subAddress, 0xF3);
	EXPECT_EQ(op.count, 1);
	EXPECT_EQ(buffer[0], 0xC3);
	EXPECT_EQ(buffer[1], 0xC1);
	EXPECT_FALSE(iic.TestAndClearError());
	EXPECT_TRUE(messages.empty());
}

TEST_F(TransferTest, ReadBlockFailsWholeAndRefusesCountsOutOfRange)
{
	unsigned char buffer[20];
	std::fill(std::begin(buffer), std::end(buffer), 0xEE);
	for (int count : { 0, 17, -1 }) {
		(void)iic.ReadBlock(0xA6, 0x00, buffer, count);
		EXPECT_TRUE(iic.TestAndClearError()) << count;
	}
	EXPECT_TRUE(sim::Trace().empty());
	EXPECT_THAT(buffer, Each(0xEE));
	EXPECT_THAT(messages, ElementsAre("USB_DATA_OVERFLOW", "USB_DATA_OVERFLOW", "USB_DATA_OVERFLOW"));

	// A failed block yields zeros, never bytes of an earlier read.
	messages.clear();
	sim::AddFault({ Call::ReceiveSub, 0xA6, 0x20, QXIIC_TIMEOUT, 0, 1 });
	EXPECT_FALSE(iic.ReadBlock(0xA6, 0x20, buffer, 16));
	EXPECT_THAT(std::vector<unsigned char>(buffer, buffer + 16), Each(0));
	EXPECT_EQ(buffer[16], 0xEE);
	EXPECT_THAT(messages, ElementsAre("TIMEOUT, no response"));
}

// Scattered registers: one open, one burst per run of neighbours, one close.
TEST_F(TransferTest, ReadRegs16ReadsRunsOfNeighboursInOneOpen)
{
	const struct {
		std::uint16_t reg, value;
	} sensor[] = { { 0x3012, 0x0120 }, { 0x4F08, 0x8000 }, { 0x4F0A, 0x0001 },
		       { 0x4F0C, 0x8002 }, { 0xC892, 0x0010 }, { 0xC894, 0x0008 } };
	for (const auto &r : sensor)
		sim::SetRegister(r.reg, r.value);
	const kl310::Reg regs[] = { kl310::MakeReg(0x3012), kl310::MakeReg(0x4F08), kl310::MakeReg(0x4F0A),
				    kl310::MakeReg(0x4F0C), kl310::MakeReg(0xC892), kl310::MakeReg(0xC894) };
	std::uint16_t values[6] = {};
	ASSERT_TRUE(iic.ReadRegs16(0xBB, regs, values));
	EXPECT_THAT(values, ElementsAre(0x0120, 0x8000, 0x0001, 0x8002, 0x0010, 0x0008));
	const std::vector<sim::TraceEntry> trace = sim::Trace();
	EXPECT_THAT(Calls(trace), ElementsAre(Call::Init, Call::ReceiveSub, Call::ReceiveSub,
					      Call::ReceiveSub, Call::Close));
	std::vector<std::pair<int, int>> bursts;
	for (const sim::TraceEntry &e : trace)
		if (e.call == Call::ReceiveSub)
			bursts.emplace_back(e.subAddress, e.count);
	EXPECT_THAT(bursts, ElementsAre(std::pair(0x3012, 2), std::pair(0x4F08, 6), std::pair(0xC892, 4)));

	// The second burst fails: no third, one close, one message, and what
	// it was to read keeps its old value.
	sim::ClearTrace();
	std::uint16_t kept[6] = { 1, 2, 3, 4, 5, 6 };
	sim::AddFault({ Call::ReceiveSub, 0xBB, 0x4F08, QXIIC_TIMEOUT, 0, 1 });
	EXPECT_FALSE(iic.ReadRegs16(0xBB, regs, kept));
	EXPECT_THAT(kept, ElementsAre(0x0120, 2, 3, 4, 5, 6));
	EXPECT_THAT(Calls(), ElementsAre(Call::Init, Call::ReceiveSub, Call::ReceiveSub, Call::Close));
	EXPECT_THAT(messages, ElementsAre("TIMEOUT, no response"));
}

TEST_F(TransferTest, FailureClosesTheAdapterBeforeTheMessageAndLeavesTheFlag)
{
	sim::SetRegister(0x3012, 0xBEEF);
	sim::AddFault({ Call::ReceiveSub, 0xBB, 0x3012, QXIIC_NACK, 0, 1 });
	// The simulator failing a read must not leak any bytes into the result.
	EXPECT_EQ(iic.ReadReg16(0xBB, 0x30, 0x12), 0);
	EXPECT_THAT(messages, ElementsAre("error: USB_I2C_NACK"));
	ASSERT_EQ(traceAtMessage.size(), 1u);
	EXPECT_THAT(Calls(), ElementsAre(Call::Init, Call::ReceiveSub, Call::Close));
	EXPECT_EQ(traceAtMessage[0].size(), 3u) << "message shown before IICClose";
	EXPECT_EQ(traceAtMessage[0].back().call, Call::Close);

	EXPECT_TRUE(iic.TestAndClearError());
	EXPECT_FALSE(iic.TestAndClearError());
}

TEST_F(TransferTest, FailedReadsYieldZero)
{
	sim::SetPlugged(false);
	EXPECT_EQ(iic.ReadByte(0xA9, 0x00), 0);
	EXPECT_TRUE(iic.TestAndClearError());

	unsigned char buffer[16];
	std::fill(std::begin(buffer), std::end(buffer), 0xEE);
	(void)iic.ReadRaw(0xA9, buffer, 16);
	EXPECT_TRUE(iic.TestAndClearError());
	EXPECT_THAT(buffer, Each(0));
	EXPECT_THAT(messages, Each(std::string("error: USB_I2C_NACK")));
	EXPECT_EQ(messages.size(), 2u);
}

TEST_F(TransferTest, CountsOutOfRangeReachNoAdapter)
{
	std::uint16_t values[17] = {};
	unsigned char buffer[300];
	std::fill(std::begin(buffer), std::end(buffer), 0xEE);
	for (int count : { 0, 17 }) {
		(void)iic.WriteBlock(0xA6, 0x00, values, count);
		EXPECT_TRUE(iic.TestAndClearError()) << count;
	}
	for (int count : { -1, 256 }) {
		(void)iic.ReadRaw(0xA9, buffer, count);
		EXPECT_TRUE(iic.TestAndClearError()) << count;
	}
	EXPECT_TRUE(sim::Trace().empty());
	EXPECT_THAT(messages, ElementsAre("USB_DATA_OVERFLOW", "USB_DATA_OVERFLOW", "USB_DATA_OVERFLOW",
					  "USB_DATA_OVERFLOW"));
	EXPECT_EQ(buffer[0], 0xEE);
}

TEST_F(TransferTest, EveryStatusHasItsText)
{
	for (const AdapterStatus &known : kAdapterStatuses) {
		messages.clear();
		iic.ReportError(known.status);
		EXPECT_THAT(messages, ElementsAre(known.text)) << known.status;
		EXPECT_TRUE(iic.TestAndClearError()) << known.status;
	}
	// Only the low 16 bits count.
	messages.clear();
	iic.ReportError(0x10000 + 14);
	EXPECT_THAT(messages, ElementsAre("error: USB_I2C_NACK"));
	for (int status : { 1, 9, 17, 20, 21, 24, 32, 34, -1, -14, 0xFFFF }) {
		EXPECT_STREQ(CIICTransfer::StatusText(status), " General error") << status;
		messages.clear();
		iic.ReportError(status);
		EXPECT_THAT(messages, ElementsAre(" General error")) << status;
	}
}

// A front end without windows supplies its own sink: the message reaches it
// and no box opens.
TEST_F(TransferTest, FailuresGoToTheSinkTheFrontEndSupplies)
{
	struct Recorder : IICErrorSink {
		std::vector<std::string> seen;
		void Report(int status, const char *text) override
		{
			seen.push_back(std::to_string(status) + " " + text);
		}
	} recorder;
	sim::SetPlugged(false);
	CIICTransfer quiet(recorder);
	EXPECT_EQ(quiet.ReadByte(0xA1, 0x00), 0);
	EXPECT_THAT(recorder.seen, ElementsAre("14 error: USB_I2C_NACK"));
	EXPECT_TRUE(quiet.TestAndClearError());
	EXPECT_TRUE(messages.empty());
}

// A sequence that stops at its first failure: later operations make no
// transfer and show nothing, and the first status stays.
TEST_F(TransferTest, AfterAFailureASequenceMakesNoFurtherTransfer)
{
	iic.StopAfterFailure();
	EXPECT_TRUE(iic.WriteReg16(0xBA, 0x30, 0x12, 0x00, 0x01));
	EXPECT_FALSE(iic.Failed());
	sim::AddFault({ Call::ReceiveSub, {}, {}, 5, 0, 1 });
	iic.ReadReg16(0xBB, 0x30, 0x12);
	sim::ClearTrace();
	unsigned char buffer[4] = {};
	EXPECT_FALSE(iic.WriteByte(0xA0, 0x00, 0x01));
	EXPECT_FALSE(iic.ReadRaw(0xA1, buffer, 4));
	std::int32_t value = 0x77;
	EXPECT_FALSE(iic.ReadReg16(0xBB, kl310::MakeReg(0x3012), value));
	EXPECT_EQ(value, 0x77);
	EXPECT_TRUE(sim::Trace().empty());
	EXPECT_THAT(messages, ElementsAre("not a correct acknowledge recieved"));
	EXPECT_EQ(iic.Status(), 5);
	EXPECT_TRUE(iic.Failed());
}

// With every adapter handle taken, the operations say so and send nothing
// on a handle that is not one.
TEST_F(TransferTest, NoHandleLeftIsTheCauseAndNothingIsSent)
{
	std::vector<int> taken;
	for (int handle; (handle = IICInit(0xBA, 20000, 1000)) > 0;)
		taken.push_back(handle);
	sim::ClearTrace();
	unsigned char buffer[16];
	EXPECT_FALSE(iic.WriteReg16(0xBA, 0x30, 0x12, 0x00, 0x42));
	EXPECT_EQ(iic.Status(), 23);
	EXPECT_FALSE(iic.ReadBlock(0xA6, 0x30, buffer, 16));
	EXPECT_EQ(iic.Status(), 23);
	EXPECT_FALSE(iic.ReadRaw(0xA1, buffer, 16));
	EXPECT_EQ(iic.Status(), 23);
	EXPECT_THAT(Calls(), Each(Call::Init));
	for (int handle : taken)
		IICClose(handle);
}

// The duties every transfer operation shares, checked for each of them:
// the error flag cleared first, one open and one close per transfer, the
// adapter closed before the message, and the boundary counts accepted.
struct Operation {
	const char *name;
	std::function<bool(CIICTransfer &)> run; // the operation's own success
	Call transfer;
	int device, subLength, count;
};

std::uint16_t g_values[16] = { 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
			       0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xF0, 0x0F };
unsigned char g_buffer[256];

const Operation kOperations[] = {
	{ "WriteReg16", [](CIICTransfer &iic) { return iic.WriteReg16(0xBA, 0x30, 0x12, 0x00, 0x42); },
	  Call::SendSub, 0xBA, 2, 2 },
	{ "ReadReg16",
	  [](CIICTransfer &iic) {
		  iic.ReadReg16(0xBB, 0x30, 0x12);
		  return iic.Status() == 0;
	  },
	  Call::ReceiveSub, 0xBB, 2, 2 },
	{ "WriteByte", [](CIICTransfer &iic) { return iic.WriteByte(0xA4, 0x10, 0x5A); }, Call::SendSub, 0xA4,
	  1, 1 },
	{ "WriteBytePair", [](CIICTransfer &iic) { return iic.WriteBytePair(0xA8, 0x00, 0x14, 0x0C); },
	  Call::SendSub, 0xA8, 1, 2 },
	{ "WriteBlock of 1", [](CIICTransfer &iic) { return iic.WriteBlock(0xA6, 0x20, g_values, 1); },
	  Call::SendSub, 0xA6, 1, 1 },
	{ "WriteBlock of 16", [](CIICTransfer &iic) { return iic.WriteBlock(0xA6, 0x20, g_values, 16); },
	  Call::SendSub, 0xA6, 1, 16 },
	{ "ReadByte",
	  [](CIICTransfer &iic) {
		  iic.ReadByte(0xA3, 0xFF);
		  return iic.Status() == 0;
	  },
	  Call::ReceiveSub, 0xA3, 1, 1 },
	{ "ReadBlock of 1", [](CIICTransfer &iic) { return iic.ReadBlock(0xA6, 0x30, g_buffer, 1); },
	  Call::ReceiveSub, 0xA6, 1, 1 },
	{ "ReadBlock of 16", [](CIICTransfer &iic) { return iic.ReadBlock(0xA6, 0x30, g_buffer, 16); },
	  Call::ReceiveSub, 0xA6, 1, 16 },
	{ "ReadRaw of 0", [](CIICTransfer &iic) { return iic.ReadRaw(0xA9, g_buffer, 0); }, Call::Receive,
	  0xA9, 0, 0 },
	{ "ReadRaw of 16", [](CIICTransfer &iic) { return iic.ReadRaw(0xA9, g_buffer, 16); }, Call::Receive,
	  0xA9, 0, 16 },
	{ "ReadRaw of 255", [](CIICTransfer &iic) { return iic.ReadRaw(0xA9, g_buffer, 255); }, Call::Receive,
	  0xA9, 0, 255 },
};

class OperationDutiesTest : public TransferTest, public ::testing::WithParamInterface<size_t>
{
};

TEST_P(OperationDutiesTest, ClearsTheFlagClosesBeforeTheMessageAndTakesItsBoundaryCounts)
{
	const Operation &op = kOperations[GetParam()];
	const AdapterStatus &status = kAdapterStatuses[GetParam() % std::size(kAdapterStatuses)];

	// A flag nobody tested is cleared by the next operation that succeeds.
	iic.ReportError(4);
	messages.clear();
	traceAtMessage.clear();
	sim::ClearTrace();
	EXPECT_TRUE(op.run(iic));
	EXPECT_EQ(iic.Status(), 0);
	EXPECT_FALSE(iic.TestAndClearError());
	EXPECT_TRUE(messages.empty());
	sim::TraceEntry transfer = Frame(sim::Trace(), op.transfer, op.device);
	EXPECT_EQ(transfer.subLength, op.subLength);
	EXPECT_EQ(transfer.count, op.count);
	sim::AdvanceClock(sim::kEepromWriteCycleUs);

	// A failure: the adapter is already closed when the message shows.
	sim::ClearTrace();
	sim::Fault fault;
	fault.status = status.status;
	sim::AddFault(fault);
	EXPECT_FALSE(op.run(iic));
	EXPECT_EQ(iic.Status(), status.status);
	EXPECT_THAT(messages, ElementsAre(status.text));
	ASSERT_EQ(traceAtMessage.size(), 1u);
	Frame(traceAtMessage[0], op.transfer, op.device);
	EXPECT_EQ(sim::Trace().size(), traceAtMessage[0].size());
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
