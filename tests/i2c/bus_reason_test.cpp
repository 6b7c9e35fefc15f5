// Why a bus could not be opened, as every front end says it: the adapter
// library's reason, and what to do when the user may not open the node.
#include "BusIdentity.h"
#include "fake_kernel.h"
#include "fake_sysfs.h"
#include "qxiic.h"
#include "qxiic_sim.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace {

TEST(BusReasonTest, DeniedAccessSaysWhatToDoAndNeverToRunAsRoot)
{
	char dir[] = "/tmp/qxiic-reason-XXXXXX";
	ASSERT_NE(mkdtemp(dir), nullptr);
	qxiic::sys::UseSysfsRoot(dir);
	fake::AddBus(dir, 5, fake::Bridge::Cp2112);
	fake::Install();
	setenv("QXIIC_BUS", "/dev/i2c-5", 1);
	const std::string advice =
		"; this user may not open it: unplug and plug in the adapter again after installing Velmora "
		"(its udev rule gives the logged-in user and the i2c group USB-to-I2C adapters' buses), or be "
		"added to the i2c group and log in again";
	// The cause as data: the errno and the adapter's status of the open.
	const struct {
		int openErrno;
		std::string reason;
		int status;
	} cases[] = {
		{ 0, "", 0 },
		{ EACCES, "open /dev/i2c-5: EACCES (Permission denied)" + advice, 7 },
		{ EPERM, "open /dev/i2c-5: EPERM (Operation not permitted)" + advice, 7 },
		{ ENODEV, "open /dev/i2c-5: ENODEV (No such device)", 22 },
		{ EBUSY, "open /dev/i2c-5: EBUSY (Device or resource busy)", 7 },
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.openErrno);
		fake::TheKernel().openErrno = c.openErrno;
		IICClose(IICInit(0xBA, 20000, 1000));
		iicbus::BusIdentity bus = iicbus::LastBus();
		EXPECT_EQ(bus.osError, c.openErrno);
		EXPECT_EQ(bus.status, c.status);
		EXPECT_EQ(iicbus::BusReason(bus), c.reason);
		EXPECT_EQ(iicbus::WhyNotOpened(bus), c.reason.empty() ? "" : " (" + c.reason + ")");
		EXPECT_EQ(iicbus::OperatorBusReason(bus), c.reason);
		EXPECT_EQ(c.reason.find("root"), std::string::npos);
		EXPECT_EQ(c.reason.find("sudo"), std::string::npos);
		// The listing of every bus says it in the same words.
		std::vector<iicbus::BusListing> buses = iicbus::ScanBuses();
		ASSERT_EQ(buses.size(), 1u);
		EXPECT_EQ(buses[0].verdict, c.reason.empty() ? "allowed" : c.reason);
	}
	fake::Uninstall();
	qxiic::sys::UseSysfsRoot(nullptr);
	unsetenv("QXIIC_BUS");
	std::filesystem::remove_all(dir);
}

} // namespace
