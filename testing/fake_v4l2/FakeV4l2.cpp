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
		auto *cap = static_cast<v4l2_capability *>(arg);
		*cap = {};
		std::strcpy(reinterpret_cast<char *>(cap->driver), "fake");
		std::strcpy(reinterpret_cast<char *>(cap->card), "Fake grabber");
		std::strcpy(reinterpret_cast<char *>(cap->bus_info), "usb-0000:00:14.0-2");
		cap->device_caps = d.capture ? V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING
					     : V4L2_CAP_VIDEO_OUTPUT;
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
		for (std::size_t i = 0; i + 3 < buf.size(); i += 4) {
			buf[i] = d.y;
			buf[i + 1] = d.u;
			buf[i + 2] = d.y;
			buf[i + 3] = d.v;
		}
		b->bytesused = static_cast<std::uint32_t>(buf.size());
		b->sequence = g.sequence++;
		d.delivered++;
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

// Never waits: a silent device answers "nothing yet" at once, as if the
// timeout had passed.
int FakePoll(pollfd *fds, nfds_t count, int)
{
	g.device.polls++;
	if (count != 1 || fds[0].fd != g.fd)
		return Fail(EINVAL);
	fds[0].revents = 0;
	if (g.gone || Vanishing()) {
		fds[0].revents = POLLERR | POLLIN;
		return 1;
	}
	if (!g.streaming || g.queued.empty() || Silent())
		return 0;
	fds[0].revents = POLLIN;
	return 1;
}

const video::DeviceCalls kCalls = { FakeOpen, FakeClose, FakeIoctl, FakeMmap, FakeMunmap, FakePoll };

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

} // namespace fake_v4l2
