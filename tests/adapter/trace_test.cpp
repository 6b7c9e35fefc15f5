// QXIIC_TRACE: one line per transfer with time, bus, device, sub-address,
// bytes and status, to a file or to standard error.
#include "i2cdev_fixture.h"

#include <cerrno>
#include <fcntl.h>
#include <sstream>

namespace sim = qxiic::sim;

namespace {

std::string Contents(const std::filesystem::path &file)
{
	std::ifstream in(file);
	std::stringstream s;
	s << in.rdbuf();
	return s.str();
}

// The frozen clock stands wherever real time had got to; the trace's
// time stamps are checked from a round second on.
class TraceTest : public I2cDevTest
{
protected:
	void SetUp() override
	{
		I2cDevTest::SetUp();
		sim::AdvanceClock(1'000'000 - sim::Now());
	}

	std::filesystem::path file() const { return sysfs / "trace.log"; }
};

TEST_F(TraceTest, SimulatedTransfersToAFile)
{
	std::ofstream(file()) << "earlier run\n";
	setenv("QXIIC_TRACE", file().c_str(), 1);
	setenv("QXIIC_BUS", "sim", 1);
	setenv("QXIIC_SIM_DIR", "", 1);

	sim::AdvanceClock(1500);
	int h = IICInit(0xBB, 20000, 1000);
	SetAddress(h, 0xBA);
	unsigned char out[2] = { 0x00, 0x05 };
	SendSub(h, 2, 0x301C, out, 2, 0);
	sim::AdvanceClock(2'000'250);
	unsigned char in[16];
	ReceiveSub(h, 2, 0x301C, in, 2, 0);
	IICClose(h);
	FetchOn(0xA1, 3);
	sim::SetPlugged(false);
	Fetch(0xA8, 1, 0x7F, 1);
	Send(0xF0, 1, 0, { 1 });
	unsetenv("QXIIC_TRACE");
	WriteRegister(0x3012, 1); // not traced any more

	EXPECT_EQ(Contents(file()), "earlier run\n"
				    "1.001500 sim SendSub dev=0xBA sub=0x301C/2 len=2 [00 05] -> 0 OK\n"
				    "3.001750 sim ReceiveSub dev=0xBA sub=0x301C/2 len=2 [00 05] -> 0 OK\n"
				    "3.001750 sim Receive dev=0xA1 len=3 [4B 4C 33] -> 0 OK\n"
				    "3.001750 sim ReceiveSub dev=0xA8 sub=0x7F/1 len=1 [] -> 14 NACK\n"
				    "3.001750 sim SendSub dev=0xF0 sub=0x00/1 len=1 [01] -> 2 ILLEGAL_BIT\n");
}

// A program the front end starts (each camera's process) must not inherit
// the trace's descriptor, nor keep the file open after it is renamed.
TEST_F(TraceTest, TheTraceIsNotInheritedByAProgramStarted)
{
	setenv("QXIIC_TRACE", file().c_str(), 1);
	setenv("QXIIC_BUS", "sim", 1);
	setenv("QXIIC_SIM_DIR", "", 1);
	WriteRegister(0x3012, 1);
	int traced = 0;
	for (const auto &fd : std::filesystem::directory_iterator("/proc/self/fd")) {
		std::error_code error;
		if (std::filesystem::read_symlink(fd.path(), error) != file())
			continue;
		traced++;
		int flags = fcntl(std::stoi(fd.path().filename().string()), F_GETFD);
		EXPECT_NE(flags & FD_CLOEXEC, 0);
	}
	EXPECT_EQ(traced, 1);
	unsetenv("QXIIC_TRACE");
	WriteRegister(0x3012, 1);
}

TEST_F(TraceTest, DashWritesToStandardErrorWithTheCause)
{
	setenv("QXIIC_TRACE", "-", 1);
	kernel().device = { 0x00, 0xA6 };
	testing::internal::CaptureStderr();
	ReadRegister(0x3012);
	kernel().rdwrErrno = ENXIO;
	FetchOn(0xA0, 2);
	kernel().openErrno = ENOENT;
	Send(0xA0, 1, 0x10, { 0x11, 0x22 });
	std::string err = testing::internal::GetCapturedStderr();

	EXPECT_EQ(err,
		  "1.000000 /dev/i2c-5 ReceiveSub dev=0xBA sub=0x3012/2 len=2 [00 A6] -> 0 OK\n"
		  "1.000000 /dev/i2c-5 Receive dev=0xA0 len=2 [] -> 14 NACK: "
		  "I2C_RDWR: ENXIO (No such device or address)\n"
		  "1.000000 /dev/i2c-5 SendSub dev=0xA0 sub=0x10/1 len=2 [11 22] -> 22 DEVICE_NOT_FOUND: "
		  "open /dev/i2c-5: ENOENT (No such file or directory)\n");
}

// The library prints nothing of its own: the trouble waits for the caller.
TEST_F(TraceTest, UnwritableTraceIsNoticedOnceAndTransfersGoOn)
{
	const std::string missing = (sysfs / "no-such-dir" / "trace.log").string();
	const struct {
		std::string target;
		std::string notice;
	} cases[] = {
		{ missing, "cannot write the trace to " + missing + ": No such file or directory" },
		{ "/dev/full", "cannot write the trace to /dev/full: No space left on device" },
	};
	setenv("QXIIC_BUS", "sim", 1);
	for (const auto &c : cases) {
		SCOPED_TRACE(c.target);
		setenv("QXIIC_TRACE", c.target.c_str(), 1);
		testing::internal::CaptureStderr();
		EXPECT_EQ(WriteRegister(0x3012, 1), QXIIC_OK);
		EXPECT_EQ(WriteRegister(0x3012, 2), QXIIC_OK);
		EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
		char text[200] = "";
		EXPECT_EQ(IICTakeNotice(text, sizeof text), 1);
		EXPECT_EQ(std::string(text), c.notice);
		EXPECT_EQ(IICTakeNotice(text, sizeof text), 0) << "once";
	}
}

} // namespace
