#include "FakeV4l2.h"

#include <linux/videodev2.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace fake_v4l2 {
namespace {

constexpr std::uint32_t kSizes[][2] = { { 720, 576 }, { 720, 480 } };
constexpr off_t kOffsetStep = 1 << 20;

struct State {
	Device device;
	int fd = -1; // a real descriptor (of /dev/null), so that fstat and close work
	bool streaming = false;
	bool gone = false;
	v4l2_pix_format format{};
	std::vector<std::vector<std::uint8_t>> buffers;
	std::deque<std::uint32_t> queued;
	std::uint32_t sequence = 0;
	std::chrono::steady_clock::time_point now{};
};

State g;

int Fail(int e)
{
	errno = e;
	return -1;
}

void Settle(v4l2_pix_format &f)
{
	// The closest of the two sizes the grabber has.
	const auto *best = &kSizes[0];
	for (const auto &size : kSizes)
		if (std::abs(static_cast<int>(size[1]) - static_cast<int>(f.height)) <
		    std::abs(static_cast<int>((*best)[1]) - static_cast<int>(f.height)))
			best = &size;
	f.width = (*best)[0];
	f.height = (*best)[1];
	f.pixelformat = V4L2_PIX_FMT_YUYV;
	f.field = V4L2_FIELD_INTERLACED;
	f.bytesperline = f.width * 2;
	f.sizeimage = f.bytesperline * f.height;
	f.colorspace = V4L2_COLORSPACE_SMPTE170M;
}

bool Silent()
{
	const Device &d = g.device;
	return d.framesUntilStop >= 0 && d.delivered >= d.framesUntilStop;
}

bool Vanishing()
{
	const Device &d = g.device;
	return d.framesUntilGone >= 0 && d.delivered >= d.framesUntilGone;
}

// One frame of the device's level into bytes; how many it says it gave.
std::size_t Fill(std::uint8_t *bytes, std::size_t size)
{
	const Device &d = g.device;
	for (std::size_t i = 0; i + 3 < size; i += 4) {
		bytes[i] = d.y;
		bytes[i + 1] = d.u;
		bytes[i + 2] = d.y;
		bytes[i + 3] = d.v;
	}
	g.device.delivered++;
	return d.shortFrames ? size / 2 : size;
}

int FakeOpen(const char *path, int)
{
	Device &d = g.device;
	if (path != d.path || !d.present || g.fd >= 0)
		return Fail(path != d.path || !d.present ? ENOENT : EBUSY);
	d.opens++;
	g.fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
	g.gone = false;
	g.format = {};
	g.format.height = 576;
	Settle(g.format);
	return g.fd;
}

int FakeClose(int fd)
{
	if (fd != g.fd)
		return Fail(EBADF);
	g.device.closes++;
	::close(fd);
	g.fd = -1;
	g.streaming = false;
	g.queued.clear();
	return 0;
}

int FakeIoctl(int fd, unsigned long request, void *arg)
{
	if (fd != g.fd)
		return Fail(EBADF);
	if (g.gone)
		return Fail(ENODEV);
	Device &d = g.device;
	switch (request) {
	case VIDIOC_QUERYCAP: {
		if (!d.answers)
			return Fail(ENOTTY);
		auto *cap = static_cast<v4l2_capability *>(arg);
		*cap = {};
		std::strcpy(reinterpret_cast<char *>(cap->driver), "fake");
		std::strcpy(reinterpret_cast<char *>(cap->card), "Fake grabber");
		std::strcpy(reinterpret_cast<char *>(cap->bus_info), "usb-0000:00:14.0-2");
		cap->device_caps = !d.capture   ? V4L2_CAP_VIDEO_OUTPUT
				   : d.readOnly ? V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE
						: V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
		cap->capabilities = cap->device_caps | V4L2_CAP_DEVICE_CAPS;
		return 0;
	}
	case VIDIOC_ENUM_FMT: {
		auto *f = static_cast<v4l2_fmtdesc *>(arg);
		if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || f->index != 0)
			return Fail(EINVAL);
		f->pixelformat = V4L2_PIX_FMT_YUYV;
		std::strcpy(reinterpret_cast<char *>(f->description), "YUYV 4:2:2");
		return 0;
	}
	case VIDIOC_ENUM_FRAMESIZES: {
		auto *s = static_cast<v4l2_frmsizeenum *>(arg);
		if (s->pixel_format != V4L2_PIX_FMT_YUYV || s->index >= 2)
			return Fail(EINVAL);
		s->type = V4L2_FRMSIZE_TYPE_DISCRETE;
		s->discrete.width = kSizes[s->index][0];
		s->discrete.height = kSizes[s->index][1];
		return 0;
	}
	case VIDIOC_TRY_FMT:
	case VIDIOC_S_FMT: {
		auto *f = static_cast<v4l2_format *>(arg);
		if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
			return Fail(EINVAL);
		if (request == VIDIOC_S_FMT && g.streaming)
			return Fail(EBUSY);
		Settle(f->fmt.pix);
		if (request == VIDIOC_S_FMT)
			g.format = f->fmt.pix;
		return 0;
	}
	case VIDIOC_G_FMT: {
		auto *f = static_cast<v4l2_format *>(arg);
		f->fmt.pix = g.format;
		return 0;
	}
	case VIDIOC_S_STD:
		d.standard = *static_cast<v4l2_std_id *>(arg);
		return 0;
	case VIDIOC_S_PARM: {
		auto *p = static_cast<v4l2_streamparm *>(arg);
		d.intervalNumerator = p->parm.capture.timeperframe.numerator;
		d.intervalDenominator = p->parm.capture.timeperframe.denominator;
		return 0;
	}
	case VIDIOC_REQBUFS: {
		auto *r = static_cast<v4l2_requestbuffers *>(arg);
		if (r->memory != V4L2_MEMORY_MMAP)
			return Fail(EINVAL);
		r->count = std::min<std::uint32_t>(r->count, 4);
		g.buffers.assign(r->count, std::vector<std::uint8_t>(g.format.sizeimage));
		g.queued.clear();
		return 0;
	}
	case VIDIOC_QUERYBUF: {
		auto *b = static_cast<v4l2_buffer *>(arg);
		if (b->index >= g.buffers.size())
			return Fail(EINVAL);
		b->length = static_cast<std::uint32_t>(g.buffers[b->index].size());
		b->m.offset = static_cast<std::uint32_t>(b->index * kOffsetStep);
		return 0;
	}
	case VIDIOC_QBUF: {
		auto *b = static_cast<v4l2_buffer *>(arg);
		if (b->index >= g.buffers.size())
			return Fail(EINVAL);
		g.queued.push_back(b->index);
		return 0;
	}
	case VIDIOC_DQBUF: {
		if (Vanishing()) {
			g.gone = true;
			d.present = false;
			return Fail(ENODEV);
		}
		if (!g.streaming || g.queued.empty() || Silent())
			return Fail(EAGAIN);
		auto *b = static_cast<v4l2_buffer *>(arg);
		b->index = g.queued.front();
		g.queued.pop_front();
		std::vector<std::uint8_t> &buf = g.buffers[b->index];
		b->bytesused = static_cast<std::uint32_t>(Fill(buf.data(), buf.size()));
		b->flags = V4L2_BUF_FLAG_MAPPED | (d.errorFlag ? V4L2_BUF_FLAG_ERROR : 0u);
		b->sequence = g.sequence++;
		return 0;
	}
	case VIDIOC_STREAMON:
		g.streaming = true;
		d.streamOns++;
		return 0;
	case VIDIOC_STREAMOFF:
		g.streaming = false;
		g.queued.clear();
		return 0;
	default:
		return Fail(ENOTTY);
	}
}

void *FakeMmap(void *, std::size_t length, int, int, int fd, off_t offset)
{
	const auto index = static_cast<std::size_t>(offset / kOffsetStep);
	if (fd != g.fd || index >= g.buffers.size() || length > g.buffers[index].size()) {
		errno = EINVAL;
		return MAP_FAILED;
	}
	return g.buffers[index].data();
}

int FakeMunmap(void *, std::size_t)
{
	return 0;
}

int FakeAttach(int fd)
{
	if (fd != g.fd)
		return Fail(EBADF);
	g.device.attaches++;
	return 0;
}

ssize_t FakeRead(int fd, void *buffer, std::size_t size)
{
	if (fd != g.fd)
		return Fail(EBADF);
	if (!g.device.readOnly)
		return Fail(EINVAL);
	if (Silent())
		return Fail(EAGAIN);
	return static_cast<ssize_t>(Fill(static_cast<std::uint8_t *>(buffer), size));
}

// Never waits: a silent device answers "nothing yet" at once, its clock
// moved on by the timeout; a frame comes a frame period later.
int FakePoll(pollfd *fds, nfds_t count, int timeoutMs)
{
	g.device.polls++;
	if (count != 1 || fds[0].fd != g.fd)
		return Fail(EINVAL);
	fds[0].revents = 0;
	if (g.gone || Vanishing()) {
		fds[0].revents = POLLERR | POLLIN;
		return 1;
	}
	const bool ready = g.device.readOnly ? !Silent() : g.streaming && !g.queued.empty() && !Silent();
	if (!ready) {
		g.now += std::chrono::milliseconds(timeoutMs);
		return 0;
	}
	g.now += std::chrono::milliseconds(40);
	fds[0].revents = POLLIN;
	return 1;
}

const video::DeviceCalls kCalls = { FakeOpen, FakeIoctl, FakeAttach, FakeClose, FakeIoctl,
				    FakeRead, FakeMmap,  FakeMunmap, FakePoll };

} // namespace

Device &TheDevice()
{
	return g.device;
}

void Reset()
{
	if (g.fd >= 0)
		::close(g.fd);
	g = State{};
}

const video::DeviceCalls &Calls()
{
	return kCalls;
}

std::chrono::steady_clock::time_point Now()
{
	return g.now;
}

} // namespace fake_v4l2
