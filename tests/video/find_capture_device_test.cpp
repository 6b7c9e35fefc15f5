// Which capture device goes with the adapter, in a sysfs tree of our own.
#include "FindCaptureDevice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class FindCaptureTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		root = fs::temp_directory_path() / ("velmora-find-" + std::to_string(::getpid()));
		fs::remove_all(root);
		// A USB grabber with the adapter inside (1-2) and a webcam (1-3);
		// a PCI adapter outside any USB device.
		UsbDevice("devices/usb1/1-2");
		UsbDevice("devices/usb1/1-3");
		Link("class/i2c-dev/i2c-3/device", "devices/usb1/1-2/1-2:1.0/i2c-3");
		Link("class/i2c-dev/i2c-0/device", "devices/pci0000:00/0000:00:1f.3/i2c-0");
	}
	void TearDown() override { fs::remove_all(root); }

	void UsbDevice(const std::string &dir)
	{
		fs::create_directories(root / dir);
		std::ofstream(root / dir / "idVendor") << "1b80\n";
		std::ofstream(root / dir / "busnum") << "1\n";
	}
	void Link(const std::string &link, const std::string &target)
	{
		fs::create_directories(root / target);
		fs::create_directories((root / link).parent_path());
		fs::create_directory_symlink(root / target, root / link);
	}
	void Video(const std::string &name, const std::string &interface, const char *index)
	{
		Link("class/video4linux/" + name + "/device", interface);
		std::ofstream(root / "class/video4linux" / name / "index") << index << "\n";
	}
	std::string Find(const std::string &node)
	{
		why.clear();
		return video::FindCaptureDevice(node, why, root.string(), "/dev");
	}

	fs::path root;
	std::string why;
};

TEST_F(FindCaptureTest, TheOneCaptureNodeOnTheAdaptersUsbDevice)
{
	Video("video0", "devices/usb1/1-3/1-3:1.0", "0"); // the webcam
	Video("video2", "devices/usb1/1-2/1-2:1.1", "0"); // the grabber's capture node
	Video("video3", "devices/usb1/1-2/1-2:1.1", "1"); // its second node
	EXPECT_EQ(Find("/dev/i2c-3"), "/dev/video2");
	EXPECT_EQ(why, "");

	const struct {
		const char *node;
		const char *why;
	} cases[] = {
		{ "/dev/i2c-0",
		  "no capture device named, and the adapter of i2c-0 is not on USB; name one with --video" },
		{ "sim",
		  "no capture device named, and the adapter's bus is not known; name one with --video" },
		{ "", "no capture device named, and the adapter's bus is not known; name one with --video" },
	};
	for (const auto &c : cases) {
		EXPECT_EQ(Find(c.node), "") << c.node;
		EXPECT_EQ(why, c.why) << c.node;
	}
}

TEST_F(FindCaptureTest, NoneOrSeveralAreNotGuessed)
{
	fs::create_directories(root / "class/video4linux");
	EXPECT_EQ(Find("/dev/i2c-3"), "");
	EXPECT_EQ(why, "no capture device on the adapter's USB device; name one with --video");

	Video("video2", "devices/usb1/1-2/1-2:1.1", "0");
	Video("video4", "devices/usb1/1-2/1-2:1.2", "0");
	EXPECT_EQ(Find("/dev/i2c-3"), "");
	EXPECT_EQ(why, "several capture devices on the adapter's USB device; name one with --video");
}

} // namespace
