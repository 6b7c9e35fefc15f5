#include "CaptureDevice.h"

#include <libv4l-plugin.h>
#include <libv4lconvert.h>
#include <linux/videodev2.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <thread>
#include <utility>
#include <vector>

namespace video {
namespace {

constexpr int kBuffers = 4;
constexpr int kPollSliceMs = 100;
constexpr int kWidth = 720;
constexpr int kPalHeight = 576;
constexpr int kNtscHeight = 480;

// libv4l2's and libv4lconvert's entry points, loaded on first use.
struct V4lLibraries {
	std::string why; // "" when both loaded
	int (*fdOpen)(int fd, int flags) = nullptr;
	int (*close)(int fd) = nullptr;
	int (*ioctl)(int fd, unsigned long request, ...) = nullptr;
	void *(*mmap)(void *start, std::size_t length, int prot, int flags, int fd,
		      std::int64_t offset) = nullptr;
	int (*munmap)(void *start, std::size_t length) = nullptr;
	ssize_t (*read)(int fd, void *buffer, std::size_t n) = nullptr;
	v4lconvert_data *(*create)(int fd, void *priv, const libv4l_dev_ops *ops) = nullptr;
	void (*destroy)(v4lconvert_data *data) = nullptr;
	int (*tryFormat)(v4lconvert_data *, v4l2_format *dest, v4l2_format *src) = nullptr;
	int (*convert)(v4lconvert_data *, const v4l2_format *src, const v4l2_format *dest, unsigned char *in,
		       int inSize, unsigned char *out, int outSize) = nullptr;
	const char *(*error)(v4lconvert_data *) = nullptr;
};

template <typename F>
bool Load(void *lib, const char *name, F &f, std::string &why)
{
	f = reinterpret_cast<F>(dlsym(lib, name));
	if (!f && why.empty())
		why = std::string("libv4l lacks ") + name;
	return f != nullptr;
}

const V4lLibraries &Libraries()
{
	static V4lLibraries libs;
	static std::once_flag loaded;
	std::call_once(loaded, [] {
		void *v4l2 = dlopen("libv4l2.so.0", RTLD_NOW | RTLD_LOCAL);
		void *conv = dlopen("libv4lconvert.so.0", RTLD_NOW | RTLD_LOCAL);
		if (!v4l2 || !conv) {
			libs.why = std::string("libv4l2 cannot be loaded: ") + dlerror() +
				   " (install libv4l-0)";
			return;
		}
		std::string &why = libs.why;
		Load(v4l2, "v4l2_fd_open", libs.fdOpen, why);
		Load(v4l2, "v4l2_close", libs.close, why);
		Load(v4l2, "v4l2_ioctl", libs.ioctl, why);
		Load(v4l2, "v4l2_mmap", libs.mmap, why);
		Load(v4l2, "v4l2_munmap", libs.munmap, why);
		Load(v4l2, "v4l2_read", libs.read, why);
		// libv4l2 writes its errors to stderr unless given a file of its
		// own; the back end says what went wrong itself, once.
		FILE **log = nullptr;
		if (Load(v4l2, "v4l2_log_file", log, why))
			*log = std::fopen("/dev/null", "we");
		Load(conv, "v4lconvert_create_with_dev_ops", libs.create, why);
		Load(conv, "v4lconvert_destroy", libs.destroy, why);
		Load(conv, "v4lconvert_try_format", libs.tryFormat, why);
		Load(conv, "v4lconvert_convert", libs.convert, why);
		Load(conv, "v4lconvert_get_error_message", libs.error, why);
	});
	return libs;
}

int PlainOpen(const char *path, int flags)
{
	return ::open(path, flags | O_CLOEXEC);
}
int PlainIoctl(int fd, unsigned long request, void *arg)
{
	return ::ioctl(fd, request, arg);
}
// libv4l2 over the kernel's device: its plugins, without the format
// emulation, since libv4lconvert converts here.
int V4lAttach(int fd)
{
	constexpr int kDisableConversion = 0x01; // V4L2_DISABLE_CONVERSION
	return Libraries().fdOpen(fd, kDisableConversion);
}
int V4lClose(int fd)
{
	return Libraries().close(fd);
}
int V4lIoctl(int fd, unsigned long request, void *arg)
{
	return Libraries().ioctl(fd, request, arg);
}
ssize_t V4lRead(int fd, void *buffer, std::size_t size)
{
	return Libraries().read(fd, buffer, size);
}
void *V4lMmap(void *addr, std::size_t length, int prot, int flags, int fd, off_t offset)
{
	return Libraries().mmap(addr, length, prot, flags, fd, offset);
}
int V4lMunmap(void *addr, std::size_t length)
{
	return Libraries().munmap(addr, length);
}

const DeviceCalls kV4l2Calls = { PlainOpen, PlainIoctl, V4lAttach, V4lClose, V4lIoctl,
				 V4lRead,   V4lMmap,    V4lMunmap, ::poll };

std::string Why(int e)
{
	return std::strerror(e);
}

// What a node's answer to a plain VIDIOC_QUERYCAP makes of it.
struct NodeAnswer {
	std::string why;      // "" for a capture device
	bool refused = false; // no capture device at all: asking again will not help
	bool reads = false;   // read() I/O only
};

NodeAnswer AskNode(const DeviceCalls &calls, int fd, const std::string &path)
{
	NodeAnswer answer;
	v4l2_capability cap{};
	int r;
	do
		r = calls.probe(fd, VIDIOC_QUERYCAP, &cap);
	while (r < 0 && errno == EINTR);
	if (r < 0) {
		const int e = errno;
		answer.refused = e == ENOTTY || e == EINVAL;
		answer.why = answer.refused ? path + " is not a capture device: " + Why(e)
					    : path + " does not answer (" + Why(e) + ")";
		return answer;
	}
	const std::uint32_t caps = cap.capabilities & V4L2_CAP_DEVICE_CAPS ? cap.device_caps
									   : cap.capabilities;
	answer.refused = true;
	if (!(caps & V4L2_CAP_VIDEO_CAPTURE))
		answer.why = path + " is not a capture device: a Video4Linux2 device without video capture";
	else if (!(caps & (V4L2_CAP_STREAMING | V4L2_CAP_READWRITE)))
		answer.why = path + " is a capture device that offers neither streaming nor read()";
	else
		answer.refused = false;
	answer.reads = !(caps & V4L2_CAP_STREAMING);
	return answer;
}

class CaptureDevice final : public FrameSource
{
public:
	CaptureDevice(std::string path, CaptureOptions options)
		: path_(std::move(path)), options_(std::move(options))
	{
		if (!options_.calls)
			options_.calls = &kV4l2Calls;
		if (!options_.pause)
			options_.pause = [this](std::chrono::milliseconds length) {
				for (auto left = length; left.count() > 0 && !stopped_; left -= kSlice)
					std::this_thread::sleep_for(std::min(left, kSlice));
			};
		if (!options_.now)
			options_.now = [] { return std::chrono::steady_clock::now(); };
		ops_.ioctl = [](void *priv, int fd, unsigned long request, void *arg) {
			return static_cast<CaptureDevice *>(priv)->calls().ioctl(fd, request, arg);
		};
		ops_.read = [](void *, int, void *, std::size_t) -> ssize_t {
			errno = EINVAL;
			return -1;
		};
	}
	~CaptureDevice() override { shut(); }

	bool next(Frame &frame) override;
	std::string takeNotice() override
	{
		std::lock_guard lock(noticeMutex_);
		return std::exchange(notice_, std::string());
	}
	std::string name() const override { return path_; }
	void stop() override { stopped_ = true; }
	bool refused() const override { return refused_; }

private:
	static constexpr std::chrono::milliseconds kSlice{ kPollSliceMs };

	// What one look at the device gave.
	enum class Got { Frame, Nothing, Incomplete, Lost };

	const DeviceCalls &calls() const { return *options_.calls; }
	int xioctl(unsigned long request, void *arg)
	{
		int r;
		do
			r = calls().ioctl(fd_, request, arg);
		while (r < 0 && errno == EINTR);
		return r;
	}
	std::string start();
	std::string probe();
	std::string streamBuffers();
	Got take(Frame &frame, std::string &why);
	Got dequeue(Frame &frame, std::string &why);
	Got readOne(Frame &frame, std::string &why);
	bool convert(unsigned char *data, std::size_t size, Frame &frame);
	void shut();
	void say(const std::string &text)
	{
		if (said_)
			return;
		said_ = true;
		std::lock_guard lock(noticeMutex_);
		notice_ = text;
	}
	bool lost(const std::string &text)
	{
		say(text);
		shut();
		retryAfterPause_ = true;
		return false;
	}

	struct Buffer {
		void *start = MAP_FAILED;
		std::size_t length = 0;
	};

	std::string path_;
	CaptureOptions options_;
	libv4l_dev_ops ops_{};
	int fd_ = -1;
	bool streaming_ = false;
	bool reads_ = false; // read() I/O: the device offers no streaming
	v4lconvert_data *convert_ = nullptr;
	std::vector<Buffer> buffers_;
	std::vector<std::uint8_t> readBuffer_;
	v4l2_format src_{};
	v4l2_format dest_{};
	std::int64_t number_ = 0;
	bool said_ = false;
	bool retryAfterPause_ = false;
	std::atomic<bool> refused_{ false };
	std::atomic<bool> stopped_{ false };
	std::mutex noticeMutex_;
	std::string notice_;
};

// Whether the node is a capture device at all, by its own answer to a
// plain VIDIOC_QUERYCAP: "" or why not (refused_ then set).
std::string CaptureDevice::probe()
{
	const NodeAnswer answer = AskNode(calls(), fd_, path_);
	refused_ = answer.refused;
	reads_ = answer.reads;
	return answer.why;
}

// Opens and starts streaming, or readies read(); returns why it could not.
std::string CaptureDevice::start()
{
	const V4lLibraries &libs = Libraries();
	if (!libs.why.empty())
		return libs.why;
	refused_ = false;
	fd_ = calls().open(path_.c_str(), O_RDWR | O_NONBLOCK);
	if (fd_ < 0)
		return path_ + " cannot be opened: " + Why(errno);
	if (std::string why = probe(); !why.empty())
		return why;
	if (calls().attach(fd_) < 0)
		return path_ + " cannot be taken by libv4l2: " + Why(errno);

	const std::optional<bool> standard = options_.standard ? options_.standard() : options_.pal;
	const bool pal = standard.value_or(true);
	if (standard) {
		// A device without analog standards (a webcam) refuses; it keeps its own.
		v4l2_std_id std = pal ? V4L2_STD_PAL : V4L2_STD_NTSC;
		xioctl(VIDIOC_S_STD, &std);
	}

	convert_ = libs.create(fd_, this, &ops_);
	if (!convert_)
		return path_ + ": the format converter cannot be made";
	dest_ = {};
	dest_.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
	dest_.fmt.pix.width = kWidth;
	dest_.fmt.pix.height = pal ? kPalHeight : kNtscHeight;
	dest_.fmt.pix.pixelformat = V4L2_PIX_FMT_RGB24;
	dest_.fmt.pix.field = V4L2_FIELD_ANY;
	src_ = {};
	if (libs.tryFormat(convert_, &dest_, &src_) < 0)
		return path_ + " offers no format that turns into RGB: " + libs.error(convert_);
	if (xioctl(VIDIOC_S_FMT, &src_) < 0)
		return path_ + " refuses its format: " + Why(errno);
	// What the device settled on, the closest it has.
	dest_ = src_;
	dest_.fmt.pix.pixelformat = V4L2_PIX_FMT_RGB24;
	dest_.fmt.pix.bytesperline = src_.fmt.pix.width * 3;
	dest_.fmt.pix.sizeimage = src_.fmt.pix.width * src_.fmt.pix.height * 3;

	v4l2_streamparm parm{};
	parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
	parm.parm.capture.timeperframe = pal ? v4l2_fract{ 1, 25 } : v4l2_fract{ 1001, 30000 };
	xioctl(VIDIOC_S_PARM, &parm); // a device with one rate keeps it

	if (reads_) {
		readBuffer_.resize(src_.fmt.pix.sizeimage);
		return {};
	}
	return streamBuffers();
}

std::string CaptureDevice::streamBuffers()
{
	v4l2_requestbuffers req{};
	req.count = kBuffers;
	req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
	req.memory = V4L2_MEMORY_MMAP;
	if (xioctl(VIDIOC_REQBUFS, &req) < 0 || req.count == 0)
		return path_ + " gives no streaming buffers: " + Why(errno);
	for (std::uint32_t i = 0; i < req.count; i++) {
		v4l2_buffer buf{};
		buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
		buf.memory = V4L2_MEMORY_MMAP;
		buf.index = i;
		if (xioctl(VIDIOC_QUERYBUF, &buf) < 0)
			return path_ + " does not describe its buffers: " + Why(errno);
		Buffer b;
		b.length = buf.length;
		b.start = calls().mmap(nullptr, buf.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_,
				       buf.m.offset);
		if (b.start == MAP_FAILED)
			return path_ + ": a buffer cannot be mapped: " + Why(errno);
		buffers_.push_back(b);
		if (xioctl(VIDIOC_QBUF, &buf) < 0)
			return path_ + ": a buffer cannot be queued: " + Why(errno);
	}
	v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
	if (xioctl(VIDIOC_STREAMON, &type) < 0)
		return path_ + " does not start streaming: " + Why(errno);
	streaming_ = true;
	return {};
}

void CaptureDevice::shut()
{
	if (fd_ >= 0 && streaming_) {
		v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
		xioctl(VIDIOC_STREAMOFF, &type);
	}
	streaming_ = false;
	for (const Buffer &b : buffers_)
		calls().munmap(b.start, b.length);
	buffers_.clear();
	if (convert_)
		Libraries().destroy(convert_);
	convert_ = nullptr;
	// libv4l2 closes a descriptor it never took as the system does.
	if (fd_ >= 0)
		calls().close(fd_);
	fd_ = -1;
	reads_ = false;
}

bool CaptureDevice::convert(unsigned char *data, std::size_t size, Frame &frame)
{
	frame.width = static_cast<int>(dest_.fmt.pix.width);
	frame.height = static_cast<int>(dest_.fmt.pix.height);
	frame.rgb.resize(dest_.fmt.pix.sizeimage);
	return Libraries().convert(convert_, &src_, &dest_, data, static_cast<int>(size), frame.rgb.data(),
				   static_cast<int>(frame.rgb.size())) >= 0;
}

// A frame is whole when the device filled as much as its format takes
// (compressed formats vary in size: there the converter judges) and did
// not flag it as damaged.
CaptureDevice::Got CaptureDevice::dequeue(Frame &frame, std::string &why)
{
	v4l2_buffer buf{};
	buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
	buf.memory = V4L2_MEMORY_MMAP;
	if (xioctl(VIDIOC_DQBUF, &buf) < 0) {
		if (errno == EAGAIN)
			return Got::Nothing;
		why = Why(errno);
		return Got::Lost;
	}
	if (buf.index >= buffers_.size()) {
		xioctl(VIDIOC_QBUF, &buf);
		return Got::Nothing;
	}
	const std::uint32_t expected = src_.fmt.pix.sizeimage;
	const bool raw = src_.fmt.pix.pixelformat != V4L2_PIX_FMT_MJPEG &&
			 src_.fmt.pix.pixelformat != V4L2_PIX_FMT_JPEG;
	Got got = Got::Frame;
	if (buf.flags & V4L2_BUF_FLAG_ERROR) {
		why = "flagged as damaged by the device";
		got = Got::Incomplete;
	} else if (raw && buf.bytesused < expected) {
		why = std::to_string(buf.bytesused) + " of " + std::to_string(expected) + " bytes";
		got = Got::Incomplete;
	} else if (!convert(static_cast<unsigned char *>(buffers_[buf.index].start),
			    std::min<std::size_t>(buf.bytesused, buffers_[buf.index].length), frame)) {
		why = "a frame the converter cannot read";
		got = Got::Incomplete;
	}
	if (xioctl(VIDIOC_QBUF, &buf) < 0) {
		why = Why(errno);
		return Got::Lost;
	}
	return got;
}

CaptureDevice::Got CaptureDevice::readOne(Frame &frame, std::string &why)
{
	ssize_t n;
	do
		n = calls().read(fd_, readBuffer_.data(), readBuffer_.size());
	while (n < 0 && errno == EINTR);
	if (n < 0) {
		if (errno == EAGAIN)
			return Got::Nothing;
		why = Why(errno);
		return Got::Lost;
	}
	const std::size_t size = static_cast<std::size_t>(n);
	if (size < readBuffer_.size()) {
		why = std::to_string(size) + " of " + std::to_string(readBuffer_.size()) + " bytes";
		return Got::Incomplete;
	}
	if (!convert(readBuffer_.data(), size, frame)) {
		why = "a frame the converter cannot read";
		return Got::Incomplete;
	}
	return Got::Frame;
}

CaptureDevice::Got CaptureDevice::take(Frame &frame, std::string &why)
{
	return reads_ ? readOne(frame, why) : dequeue(frame, why);
}

bool CaptureDevice::next(Frame &frame)
{
	if (stopped_)
		return false;
	if (fd_ < 0) {
		// A device that failed is tried again after a pause; the failing
		// next() itself returns at once with its reason.
		if (retryAfterPause_)
			options_.pause(kRetryPause);
		if (stopped_)
			return false;
		const std::string why = start();
		if (!why.empty()) {
			say(why);
			shut();
			retryAfterPause_ = true;
			return false;
		}
		retryAfterPause_ = false;
	}
	// Two seconds by the clock without a whole frame, however many
	// incomplete ones come meanwhile.
	const auto deadline = options_.now() + kNoFrameTimeout;
	std::string incomplete;
	while (!stopped_) {
		const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - options_.now());
		if (left.count() <= 0)
			break;
		pollfd p{ fd_, POLLIN, 0 };
		const int r = calls().poll(&p, 1,
					   static_cast<int>(std::min<long>(left.count(), kPollSliceMs)));
		if (r < 0 && errno == EINTR)
			continue;
		if (r < 0)
			return lost(path_ + " cannot be waited on: " + Why(errno));
		if (r == 0)
			continue;
		std::string why;
		switch (take(frame, why)) {
		case Got::Nothing:
			continue;
		case Got::Incomplete:
			incomplete = why;
			continue;
		case Got::Lost:
			return lost(path_ + " is gone (" + why + "); waiting for it to come back");
		case Got::Frame:
			frame.number = number_++;
			said_ = false;
			return true;
		}
	}
	if (stopped_)
		return false;
	if (!incomplete.empty())
		return lost(path_ + ": frames arrive incomplete (" + incomplete +
			    "), none whole for 2 s; trying it again");
	return lost(path_ + " has delivered no frame for 2 s; trying it again");
}

} // namespace

std::unique_ptr<FrameSource> OpenCaptureDevice(const std::string &path, CaptureOptions options)
{
	return std::make_unique<CaptureDevice>(path, std::move(options));
}

std::string RefusedAsCaptureDevice(const std::string &path, const DeviceCalls *calls)
{
	const DeviceCalls &c = calls ? *calls : kV4l2Calls;
	const int fd = c.open(path.c_str(), O_RDWR | O_NONBLOCK);
	if (fd < 0)
		return {};
	const NodeAnswer answer = AskNode(c, fd, path);
	c.close(fd);
	return answer.refused ? answer.why : std::string();
}

} // namespace video
