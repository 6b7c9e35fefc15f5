// A Video4Linux2 capture device served from user space: a FUSE file system
// whose only file, its root, is mounted on an empty regular file and
// answers what a grabber's node answers, as real system calls. ioctls
// arrive in FUSE's restricted form (the kernel copies the argument in and
// out by the size encoded in the request code), mmap maps the file's page
// cache and each frame is pushed into it with notify-store before its
// buffer is handed back, poll is FUSE poll woken by notify-poll.
//
//   fuse-capture [OPTION...] FILE
//     --standard pal|ntsc|both  the standards it offers (both; PAL at first)
//     --stop-after N            falls silent after N frames
//     --vanish-after N          exits once N frames were taken and their
//                               buffers queued again: the node answers
//                               ENOTCONN from then on
//     --short                   every frame's bytesused is half the frame
//     --error-flag              every buffer comes back with V4L2_BUF_FLAG_ERROR
//     --read-only               read() I/O only, no streaming
//     --appear-after MS         FILE appears MS after the start (a link to
//                               the mounted file), as a grabber plugged in
//     --status-fd FD            "ready" or "error: why" on FD, one line
//
// The picture: eight upright grey bars 90 pixels wide, Y = 16, 48, ...,
// 240 from the left with U = V = 128, moving 8 pixels to the right with
// every frame and coming round again; every frame's mean R, G and B are
// therefore 128.
#define FUSE_USE_VERSION 312
#include <fuse_lowlevel.h>

#include <linux/videodev2.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint32_t kWidth = 720;
constexpr std::uint32_t kPalLines = 576;
constexpr std::uint32_t kNtscLines = 480;
constexpr std::uint32_t kMaxBuffers = 8;
constexpr std::size_t kPage = 4096;
constexpr std::uint32_t kBarWidth = 90;
constexpr std::uint32_t kStepPerFrame = 8;
// The file's size: room for the most buffers at PAL's size, so that it
// never changes and the kernel never drops the pushed pages.
constexpr std::size_t kSlot = (kWidth * kPalLines * 2 + kPage - 1) / kPage * kPage;
constexpr std::size_t kFileSize = kSlot * kMaxBuffers;

struct Settings {
	bool pal = true, ntsc = true;
	long stopAfter = -1, vanishAfter = -1;
	bool shortFrames = false, errorFlag = false, readOnly = false;
	long appearAfterMs = 0;
	int statusFd = -1;
	std::string file;
};

enum class Where { Dequeued, Queued, Done };

struct Buffer {
	Where where = Where::Dequeued;
	v4l2_buffer done{};             // what DQBUF answers
	std::vector<std::uint8_t> data; // the last frame pushed into it
};

struct Device {
	Settings settings;
	fuse_session *se = nullptr;
	std::mutex mutex;
	std::condition_variable changed;
	bool pal = true; // the standard set
	bool streaming = false;
	std::vector<Buffer> buffers;
	std::deque<std::uint32_t> queued, done;
	std::map<std::uint64_t, int> openFlags; // per file handle
	std::uint64_t nextHandle = 1;
	std::vector<fuse_pollhandle *> waiting;
	std::uint32_t sequence = 0; // frames made, delivered or dropped
	std::size_t generation = 0; // counts the buffers' making and the streams' ends
	long delivered = 0;
	// read() I/O: the newest frame, its number, and per file handle the
	// frame being read, where its read began and how far it got.
	std::vector<std::uint8_t> latest;
	std::uint32_t latestNumber = 0;
	bool haveLatest = false;
	struct Reader {
		std::uint32_t lastNumber = UINT32_MAX;
		std::vector<std::uint8_t> frame;
		off_t start = -1;
		std::size_t served = 0;
	};
	std::map<std::uint64_t, Reader> readers;
	std::atomic<bool> quit{ false };
};

Device g;

std::uint32_t Lines()
{
	return g.pal ? kPalLines : kNtscLines;
}
std::uint32_t FrameBytes()
{
	return kWidth * Lines() * 2;
}

void Render(std::uint32_t number, std::vector<std::uint8_t> &out)
{
	const std::uint32_t lines = Lines();
	out.resize(static_cast<std::size_t>(kWidth) * lines * 2);
	std::vector<std::uint8_t> row(kWidth * 2);
	const std::uint32_t shift = number * kStepPerFrame % kWidth;
	for (std::uint32_t x = 0; x < kWidth; x++) {
		const std::uint32_t bar = (x + kWidth - shift) % kWidth / kBarWidth;
		row[x * 2] = static_cast<std::uint8_t>(16 + 32 * bar);
		row[x * 2 + 1] = 128; // U or V
	}
	for (std::uint32_t y = 0; y < lines; y++)
		std::copy(row.begin(), row.end(), out.begin() + static_cast<std::ptrdiff_t>(y * row.size()));
}

// A handler that blocks (a descriptor without O_NONBLOCK) waits in slices,
// so that the session can end while it waits.
template <typename Pred>
void WaitFor(std::unique_lock<std::mutex> &lock, Pred pred)
{
	while (!pred() && !fuse_session_exited(g.se))
		g.changed.wait_for(lock, std::chrono::milliseconds(100));
}

void WakePollers()
{
	for (fuse_pollhandle *ph : g.waiting) {
		fuse_lowlevel_notify_poll(ph);
		fuse_pollhandle_destroy(ph);
	}
	g.waiting.clear();
	g.changed.notify_all();
}

v4l2_pix_format Format()
{
	v4l2_pix_format f{};
	f.width = kWidth;
	f.height = Lines();
	f.pixelformat = V4L2_PIX_FMT_YUYV;
	f.field = V4L2_FIELD_INTERLACED;
	f.bytesperline = kWidth * 2;
	f.sizeimage = FrameBytes();
	f.colorspace = V4L2_COLORSPACE_SMPTE170M;
	return f;
}

void Describe(std::uint32_t index, v4l2_buffer &b)
{
	const Buffer &buf = g.buffers[index];
	if (buf.where == Where::Done) {
		b = buf.done;
	} else {
		b = {};
		b.index = index;
		b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
		b.memory = V4L2_MEMORY_MMAP;
		b.length = FrameBytes();
		b.m.offset = static_cast<std::uint32_t>(index * kSlot);
		b.flags = V4L2_BUF_FLAG_MAPPED | V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC |
			  (buf.where == Where::Queued ? V4L2_BUF_FLAG_QUEUED : 0u);
	}
}

// The producer: one frame per frame period of the standard set.
void Produce()
{
	auto next = std::chrono::steady_clock::now();
	std::vector<std::uint8_t> frame;
	while (!g.quit) {
		std::unique_lock lock(g.mutex);
		const auto period = g.pal ? std::chrono::microseconds(40000)
					  : std::chrono::microseconds(33367);
		next += period;
		g.changed.wait_until(lock, next, [] { return g.quit.load(); });
		if (g.quit)
			break;
		// Vanishing, it sends no more frames and goes once the client has
		// taken the last and queued every buffer again.
		const long vanish = g.settings.vanishAfter;
		if (vanish >= 0 && g.delivered >= vanish) {
			if (g.done.empty() && g.queued.size() == g.buffers.size())
				_exit(0); // the connection goes with the process: ENOTCONN
			continue;
		}
		if (g.settings.stopAfter >= 0 && g.delivered >= g.settings.stopAfter)
			continue;
		if (g.settings.readOnly) {
			Render(g.sequence, g.latest);
			g.latestNumber = g.sequence++;
			g.haveLatest = true;
			g.delivered++;
			WakePollers();
			continue;
		}
		if (!g.streaming)
			continue;
		const std::uint32_t number = g.sequence++;
		if (g.queued.empty())
			continue; // dropped: no buffer to fill
		const std::uint32_t index = g.queued.front();
		g.queued.pop_front();
		const std::size_t generation = g.generation;
		Render(number, frame);
		// Into the page cache that the client's mapping shows, without the
		// lock: the kernel may hold a page while it asks us to read it.
		// The pages are up to date before the buffer is handed back, so the
		// client never faults on them.
		lock.unlock();
		fuse_bufvec data = FUSE_BUFVEC_INIT(frame.size());
		data.buf[0].mem = frame.data();
		const int stored = fuse_lowlevel_notify_store(g.se, FUSE_ROOT_ID,
							      static_cast<off_t>(index * kSlot), &data,
							      FUSE_BUF_SPLICE_NONBLOCK);
		lock.lock();
		// The stream stopped or the buffers were made anew meanwhile.
		if (generation != g.generation || !g.streaming)
			continue;
		if (stored != 0) {
			g.queued.push_front(index);
			continue;
		}
		g.buffers[index].data.swap(frame);
		Buffer &b = g.buffers[index];
		Describe(index, b.done);
		b.where = Where::Done;
		b.done.flags = (b.done.flags & ~V4L2_BUF_FLAG_QUEUED) | V4L2_BUF_FLAG_DONE |
			       (g.settings.errorFlag ? V4L2_BUF_FLAG_ERROR : 0u);
		b.done.bytesused = g.settings.shortFrames ? FrameBytes() / 2 : FrameBytes();
		b.done.field = V4L2_FIELD_INTERLACED;
		b.done.sequence = number;
		timespec now{};
		clock_gettime(CLOCK_MONOTONIC, &now);
		b.done.timestamp.tv_sec = now.tv_sec;
		b.done.timestamp.tv_usec = now.tv_nsec / 1000;
		g.done.push_back(index);
		g.delivered++;
		WakePollers();
	}
}

void GetAttr(fuse_req_t req, fuse_ino_t, fuse_file_info *)
{
	struct stat st {
	};
	st.st_ino = FUSE_ROOT_ID;
	st.st_mode = S_IFREG | 0660;
	st.st_nlink = 1;
	st.st_uid = getuid();
	st.st_gid = getgid();
	st.st_size = static_cast<off_t>(kFileSize);
	st.st_blksize = static_cast<blksize_t>(kPage);
	// Never changes: a long timeout, and the kernel keeps the pages.
	fuse_reply_attr(req, &st, 86400.0);
}

void Open(fuse_req_t req, fuse_ino_t, fuse_file_info *fi)
{
	std::lock_guard lock(g.mutex);
	fi->fh = g.nextHandle++;
	g.openFlags[fi->fh] = fi->flags;
	fi->keep_cache = 1;
	// read() I/O hands out frames, not the file's bytes.
	if (g.settings.readOnly) {
		fi->direct_io = 1;
		fi->nonseekable = 1;
	}
	fuse_reply_open(req, fi);
}

void StopStreaming()
{
	g.generation++;
	g.streaming = false;
	g.queued.clear();
	g.done.clear();
	for (Buffer &b : g.buffers)
		b.where = Where::Dequeued;
	WakePollers();
}

void Release(fuse_req_t req, fuse_ino_t, fuse_file_info *fi)
{
	std::lock_guard lock(g.mutex);
	g.openFlags.erase(fi->fh);
	g.readers.erase(fi->fh);
	// The last closing ends the stream and frees the buffers, as a driver does.
	if (g.openFlags.empty()) {
		StopStreaming();
		g.buffers.clear();
	}
	fuse_reply_err(req, 0);
}

void Read(fuse_req_t req, fuse_ino_t, size_t size, off_t off, fuse_file_info *fi)
{
	std::unique_lock lock(g.mutex);
	if (!g.settings.readOnly) {
		// The page cache asks again for what it dropped: the buffers' bytes.
		std::vector<std::uint8_t> bytes(size, 0);
		for (std::size_t i = 0; i < size; i++) {
			const std::size_t at = static_cast<std::size_t>(off) + i;
			const std::size_t slot = at / kSlot, within = at % kSlot;
			if (slot < g.buffers.size() && within < g.buffers[slot].data.size())
				bytes[i] = g.buffers[slot].data[within];
		}
		if (static_cast<std::size_t>(off) >= kFileSize)
			bytes.clear();
		else
			bytes.resize(std::min(size, kFileSize - static_cast<std::size_t>(off)));
		fuse_reply_buf(req, reinterpret_cast<const char *>(bytes.data()), bytes.size());
		return;
	}
	Device::Reader &r = g.readers[fi->fh];
	// A read() of a whole frame comes in pieces at growing offsets; an
	// offset that does not go on from the last piece begins a new frame.
	if (r.start < 0 || off != r.start + static_cast<off_t>(r.served) || r.served >= r.frame.size()) {
		const bool block = !(fi->flags & O_NONBLOCK);
		if (block)
			WaitFor(lock, [&r] { return g.haveLatest && g.latestNumber != r.lastNumber; });
		if (!g.haveLatest || g.latestNumber == r.lastNumber) {
			fuse_reply_err(req, EAGAIN);
			return;
		}
		r.frame = g.latest;
		r.lastNumber = g.latestNumber;
		r.start = off;
		r.served = 0;
	}
	const std::size_t n = std::min(size, r.frame.size() - r.served);
	fuse_reply_buf(req, reinterpret_cast<const char *>(r.frame.data() + r.served), n);
	r.served += n;
}

void Poll(fuse_req_t req, fuse_ino_t, fuse_file_info *fi, fuse_pollhandle *ph)
{
	std::lock_guard lock(g.mutex);
	if (ph)
		g.waiting.push_back(ph);
	unsigned events = 0;
	if (g.settings.readOnly) {
		const Device::Reader &r = g.readers[fi->fh];
		if (g.haveLatest && g.latestNumber != r.lastNumber)
			events |= POLLIN | POLLRDNORM;
	} else if (!g.streaming) {
		events |= POLLERR;
	} else if (!g.done.empty()) {
		events |= POLLIN | POLLRDNORM;
	}
	fuse_reply_poll(req, events);
}

template <typename T>
void Answer(fuse_req_t req, const T &value)
{
	fuse_reply_ioctl(req, 0, &value, sizeof value);
}

template <typename T>
T In(const void *in, std::size_t size)
{
	T value{};
	std::memcpy(&value, in, std::min(size, sizeof value));
	return value;
}

void Refuse(fuse_req_t req)
{
	fuse_reply_err(req, EINVAL);
}

void Copy(char *to, std::size_t size, const char *text)
{
	std::snprintf(to, size, "%s", text);
}

void Ioctl(fuse_req_t req, fuse_ino_t, unsigned int cmd, void *, fuse_file_info *fi, unsigned flags,
	   const void *in, size_t inSize, size_t)
{
	if (flags & FUSE_IOCTL_COMPAT) {
		fuse_reply_err(req, ENOSYS);
		return;
	}
	std::unique_lock lock(g.mutex);
	const Settings &s = g.settings;
	switch (cmd) {
	case VIDIOC_QUERYCAP: {
		v4l2_capability cap{};
		Copy(reinterpret_cast<char *>(cap.driver), sizeof cap.driver, "fuse-capture");
		Copy(reinterpret_cast<char *>(cap.card), sizeof cap.card, "User-space grabber");
		Copy(reinterpret_cast<char *>(cap.bus_info), sizeof cap.bus_info, "fuse:capture");
		cap.version = 0x060000;
		cap.device_caps = V4L2_CAP_VIDEO_CAPTURE |
				  (s.readOnly ? V4L2_CAP_READWRITE : V4L2_CAP_STREAMING);
		cap.capabilities = cap.device_caps | V4L2_CAP_DEVICE_CAPS;
		return Answer(req, cap);
	}
	case VIDIOC_ENUMINPUT: {
		auto input = In<v4l2_input>(in, inSize);
		if (input.index != 0)
			return Refuse(req);
		Copy(reinterpret_cast<char *>(input.name), sizeof input.name, "Composite");
		input.type = V4L2_INPUT_TYPE_CAMERA;
		input.std = (s.pal ? V4L2_STD_PAL : 0) | (s.ntsc ? V4L2_STD_NTSC : 0);
		return Answer(req, input);
	}
	case VIDIOC_G_INPUT:
		return Answer(req, 0);
	case VIDIOC_S_INPUT:
		if (In<int>(in, inSize) != 0)
			return Refuse(req);
		return Answer(req, 0);
	case VIDIOC_G_STD:
		return Answer(req, g.pal ? V4L2_STD_PAL : V4L2_STD_NTSC);
	case VIDIOC_S_STD: {
		const auto std = In<v4l2_std_id>(in, inSize);
		const bool pal = (std & V4L2_STD_PAL) && s.pal;
		const bool ntsc = (std & V4L2_STD_NTSC) && s.ntsc;
		if (!pal && !ntsc)
			return Refuse(req);
		if (g.streaming || !g.buffers.empty()) {
			fuse_reply_err(req, EBUSY);
			return;
		}
		g.pal = pal;
		fuse_reply_ioctl(req, 0, nullptr, 0);
		return;
	}
	case VIDIOC_ENUM_FMT: {
		auto f = In<v4l2_fmtdesc>(in, inSize);
		if (f.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || f.index != 0)
			return Refuse(req);
		f.flags = 0;
		f.pixelformat = V4L2_PIX_FMT_YUYV;
		Copy(reinterpret_cast<char *>(f.description), sizeof f.description, "YUYV 4:2:2");
		return Answer(req, f);
	}
	case VIDIOC_ENUM_FRAMESIZES: {
		auto f = In<v4l2_frmsizeenum>(in, inSize);
		if (f.pixel_format != V4L2_PIX_FMT_YUYV || f.index != 0)
			return Refuse(req);
		f.type = V4L2_FRMSIZE_TYPE_DISCRETE;
		f.discrete = { kWidth, Lines() };
		return Answer(req, f);
	}
	case VIDIOC_G_FMT:
	case VIDIOC_TRY_FMT:
	case VIDIOC_S_FMT: {
		auto f = In<v4l2_format>(in, inSize);
		if (f.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
			return Refuse(req);
		if (cmd == VIDIOC_S_FMT && !g.buffers.empty()) {
			fuse_reply_err(req, EBUSY);
			return;
		}
		// An analog grabber's size is its standard's, whatever is asked.
		f.fmt.pix = Format();
		return Answer(req, f);
	}
	case VIDIOC_G_PARM:
	case VIDIOC_S_PARM: {
		auto p = In<v4l2_streamparm>(in, inSize);
		if (p.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
			return Refuse(req);
		p.parm.capture = {};
		p.parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
		p.parm.capture.timeperframe = g.pal ? v4l2_fract{ 1, 25 } : v4l2_fract{ 1001, 30000 };
		p.parm.capture.readbuffers = s.readOnly ? 1 : 0;
		return Answer(req, p);
	}
	default:
		break;
	}
	if (s.readOnly) {
		fuse_reply_err(req, cmd == VIDIOC_REQBUFS || cmd == VIDIOC_QUERYBUF || cmd == VIDIOC_QBUF ||
						    cmd == VIDIOC_DQBUF || cmd == VIDIOC_STREAMON ||
						    cmd == VIDIOC_STREAMOFF
					    ? EINVAL
					    : ENOTTY);
		return;
	}
	switch (cmd) {
	case VIDIOC_REQBUFS: {
		auto r = In<v4l2_requestbuffers>(in, inSize);
		if (r.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || r.memory != V4L2_MEMORY_MMAP)
			break;
		if (g.streaming) {
			fuse_reply_err(req, EBUSY);
			return;
		}
		r.count = std::min(r.count, kMaxBuffers);
		if (r.count > 0)
			r.count = std::max(r.count, 2u);
		g.buffers.assign(r.count, Buffer{});
		g.generation++;
		g.queued.clear();
		g.done.clear();
		r.capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP;
		return Answer(req, r);
	}
	case VIDIOC_QUERYBUF: {
		auto b = In<v4l2_buffer>(in, inSize);
		if (b.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b.index >= g.buffers.size())
			break;
		Describe(b.index, b);
		return Answer(req, b);
	}
	case VIDIOC_QBUF: {
		auto b = In<v4l2_buffer>(in, inSize);
		if (b.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b.memory != V4L2_MEMORY_MMAP ||
		    b.index >= g.buffers.size() || g.buffers[b.index].where != Where::Dequeued)
			break;
		g.buffers[b.index].where = Where::Queued;
		g.queued.push_back(b.index);
		Describe(b.index, b);
		return Answer(req, b);
	}
	case VIDIOC_DQBUF: {
		auto b = In<v4l2_buffer>(in, inSize);
		if (b.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || !g.streaming)
			break;
		if (g.done.empty() && !(g.openFlags[fi->fh] & O_NONBLOCK))
			WaitFor(lock, [] { return !g.done.empty() || !g.streaming; });
		if (!g.streaming)
			break;
		if (g.done.empty()) {
			fuse_reply_err(req, EAGAIN);
			return;
		}
		const std::uint32_t index = g.done.front();
		g.done.pop_front();
		b = g.buffers[index].done;
		b.flags &= ~V4L2_BUF_FLAG_DONE;
		g.buffers[index].where = Where::Dequeued;
		return Answer(req, b);
	}
	case VIDIOC_STREAMON:
		if (g.buffers.empty())
			break;
		g.streaming = true;
		fuse_reply_ioctl(req, 0, nullptr, 0);
		return;
	case VIDIOC_STREAMOFF:
		StopStreaming();
		fuse_reply_ioctl(req, 0, nullptr, 0);
		return;
	default:
		fuse_reply_err(req, ENOTTY);
		return;
	}
	fuse_reply_err(req, EINVAL);
}

void Init(void *, fuse_conn_info *conn)
{
	// The file's pages are the frames pushed: the kernel must not drop
	// them on its own.
	conn->want &= ~FUSE_CAP_AUTO_INVAL_DATA;
}

void Say(const std::string &line)
{
	if (g.settings.statusFd < 0)
		return;
	const std::string text = line + "\n";
	if (write(g.settings.statusFd, text.data(), text.size()) < 0) {
		// The one who started it is gone; nothing to tell.
	}
	close(g.settings.statusFd);
	g.settings.statusFd = -1;
}

bool Number(const char *text, long &value)
{
	char *end = nullptr;
	errno = 0;
	value = std::strtol(text, &end, 10);
	return errno == 0 && end != text && *end == '\0' && value >= 0;
}

int Usage(const std::string &why)
{
	std::fprintf(stderr, "fuse-capture: %s\n", why.c_str());
	return 2;
}

} // namespace

int main(int argc, char **argv)
{
	Settings &s = g.settings;
	for (int i = 1; i < argc; i++) {
		const std::string a = argv[i];
		const bool hasValue = i + 1 < argc;
		long n = 0;
		if (a == "--standard" && hasValue) {
			const std::string v = argv[++i];
			s.pal = v == "pal" || v == "both";
			s.ntsc = v == "ntsc" || v == "both";
			if (!s.pal && !s.ntsc)
				return Usage("--standard takes pal, ntsc or both");
		} else if (long *value = a == "--stop-after"     ? &s.stopAfter
					 : a == "--vanish-after" ? &s.vanishAfter
					 : a == "--appear-after" ? &s.appearAfterMs
					 : a == "--status-fd"    ? &n
								 : nullptr;
			   value && hasValue) {
			if (!Number(argv[++i], *value))
				return Usage(a + " takes a number");
			if (value == &n)
				s.statusFd = static_cast<int>(n);
		} else if (a == "--short") {
			s.shortFrames = true;
		} else if (a == "--error-flag") {
			s.errorFlag = true;
		} else if (a == "--read-only") {
			s.readOnly = true;
		} else if (s.file.empty() && !a.empty() && a[0] != '-') {
			s.file = a;
		} else {
			return Usage("unknown argument " + a);
		}
	}
	if (s.file.empty())
		return Usage("no file to mount on");
	g.pal = s.pal;

	// Appearing later, it is mounted on a hidden file at once and the named
	// file comes as a link to it: the name never shows an empty file.
	const std::string slash = s.file.substr(0, s.file.rfind('/') + 1);
	const std::string mountpoint = s.appearAfterMs > 0
					       ? slash + "." + s.file.substr(slash.size()) + ".mount"
					       : s.file;
	if (int fd = open(mountpoint.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0660); fd >= 0)
		close(fd);

	fuse_lowlevel_ops ops{};
	ops.init = Init;
	ops.getattr = GetAttr;
	ops.open = Open;
	ops.release = Release;
	ops.read = Read;
	ops.poll = Poll;
	ops.ioctl = Ioctl;
	char name[] = "fuse-capture";
	char *args[] = { name };
	fuse_args fargs = FUSE_ARGS_INIT(1, args);
	g.se = fuse_session_new(&fargs, &ops, sizeof ops, nullptr);
	fuse_opt_free_args(&fargs);
	if (!g.se) {
		Say("error: no FUSE session");
		return 1;
	}
	if (fuse_session_mount(g.se, mountpoint.c_str()) != 0) {
		Say(access("/dev/fuse", R_OK | W_OK) != 0
			    ? "error: /dev/fuse is not usable (" + std::string(std::strerror(errno)) + ")"
			    : "error: " + mountpoint + " cannot be mounted (root or fusermount3 needed)");
		fuse_session_destroy(g.se);
		unlink(mountpoint.c_str());
		return 1;
	}
	fuse_set_signal_handlers(g.se);
	std::thread producer(Produce);
	std::thread appear;
	if (s.appearAfterMs > 0)
		appear = std::thread([&s, mountpoint] {
			std::unique_lock lock(g.mutex);
			if (!g.changed.wait_for(lock, std::chrono::milliseconds(s.appearAfterMs),
						[] { return g.quit.load(); }) &&
			    symlink(mountpoint.c_str(), s.file.c_str()) != 0)
				std::perror("fuse-capture: symlink");
		});
	Say("ready");
	fuse_loop_config *config = fuse_loop_cfg_create();
	fuse_session_loop_mt(g.se, config);
	fuse_loop_cfg_destroy(config);
	{
		std::lock_guard lock(g.mutex);
		g.quit = true;
		g.changed.notify_all();
	}
	producer.join();
	if (appear.joinable())
		appear.join();
	for (fuse_pollhandle *ph : g.waiting)
		fuse_pollhandle_destroy(ph);
	g.waiting.clear();
	fuse_remove_signal_handlers(g.se);
	fuse_session_unmount(g.se);
	fuse_session_destroy(g.se);
	if (mountpoint != s.file)
		unlink(s.file.c_str());
	unlink(mountpoint.c_str());
	return 0;
}
