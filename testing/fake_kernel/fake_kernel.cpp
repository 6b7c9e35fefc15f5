#include "fake_kernel.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fake {
namespace {

constexpr int kBusFd = 1000; // far above what the test process has open

Kernel g_kernel;

int Fail(int err)
{
	errno = err;
	return -1;
}

bool OneAddress(const i2c_msg *msgs, unsigned n)
{
	return std::all_of(msgs, msgs + n, [&](const i2c_msg &m) { return m.addr == msgs[0].addr; });
}

// A CP2112 does a write, a read, or a write followed by a read of the
// same device; anything else its driver refuses.
bool Accepts(Adapter adapter, const i2c_msg *msgs, unsigned n)
{
	switch (adapter) {
	case Adapter::Plain:
		return true;
	case Adapter::NoRepeatedStart:
		return n == 1;
	case Adapter::Cp2112:
		if (n == 1)
			return true;
		return n == 2 && OneAddress(msgs, n) && !(msgs[0].flags & I2C_M_RD) &&
		       (msgs[1].flags & I2C_M_RD);
	}
	return false;
}

std::vector<Msg> Take(i2c_msg *msgs, unsigned n, const Bytes &device)
{
	std::vector<Msg> taken;
	for (unsigned i = 0; i < n; i++) {
		i2c_msg &m = msgs[i];
		if (m.flags & I2C_M_RD)
			for (unsigned k = 0; k < m.len; k++)
				m.buf[k] = k < device.size() ? device[k] : 0xFF;
		taken.push_back({ m.addr, m.flags, m.len, Bytes(m.buf, m.buf + m.len) });
	}
	return taken;
}

int Rdwr(i2c_rdwr_ioctl_data *rdwr)
{
	Kernel &k = g_kernel;
	k.calls.push_back("ioctl I2C_RDWR");
	if (k.rdwrErrno != 0)
		return Fail(k.rdwrErrno);
	if (!Accepts(k.adapter, rdwr->msgs, rdwr->nmsgs))
		return Fail(EOPNOTSUPP);
	k.transactions.push_back(Take(rdwr->msgs, rdwr->nmsgs, k.device));
	return k.rdwrReturn >= 0 ? k.rdwrReturn : static_cast<int>(rdwr->nmsgs);
}

constexpr int kNodeFd = 2000; // + the node's index

const Node *NodeOf(int fd)
{
	Kernel &k = g_kernel;
	std::size_t i = static_cast<std::size_t>(fd - kNodeFd);
	return fd >= kNodeFd && i < k.nodes.size() ? &k.nodes[i] : nullptr;
}

int NodeIndex(const char *path)
{
	Kernel &k = g_kernel;
	for (std::size_t i = 0; i < k.nodes.size(); i++)
		if (k.nodes[i].path == path)
			return static_cast<int>(i);
	return -1;
}

void Describe(struct stat *st, unsigned type, unsigned major, unsigned minor, unsigned long inode)
{
	*st = {};
	st->st_mode = static_cast<mode_t>(type | 0660);
	st->st_rdev = makedev(major, minor);
	st->st_ino = inode;
}

int Stat(const char *path, struct stat *st)
{
	Kernel &k = g_kernel;
	k.systemCalls++;
	if (path == k.busPath) {
		Describe(st, S_IFCHR, k.busMajor, k.busMinor, k.busInode);
		return 0;
	}
	if (int i = NodeIndex(path); i >= 0) {
		const Node &n = k.nodes[static_cast<std::size_t>(i)];
		Describe(st, n.type, n.major, n.minor, n.inode);
		return 0;
	}
	return ::stat(path, st);
}

int Fstat(int fd, struct stat *st)
{
	Kernel &k = g_kernel;
	k.systemCalls++;
	if (fd == kBusFd) {
		bool swapped = k.swappedMajor != 0;
		Describe(st, S_IFCHR, swapped ? k.swappedMajor : k.busMajor,
			 swapped ? k.swappedMinor : k.busMinor, k.busInode + (swapped ? 1 : 0));
		return 0;
	}
	if (const Node *n = NodeOf(fd)) {
		Describe(st, n->type, n->major, n->minor, n->inode);
		return 0;
	}
	return ::fstat(fd, st);
}

int Open(const char *path, int flags)
{
	Kernel &k = g_kernel;
	k.systemCalls++;
	if (int i = NodeIndex(path); i >= 0) {
		k.opened.push_back(path);
		k.openFds++;
		return kNodeFd + i;
	}
	if (path != k.busPath)
		return ::open(path, flags);
	k.opened.push_back(path);
	k.calls.push_back(std::string("open ") + path);
	if (k.openErrno != 0)
		return Fail(k.openErrno);
	k.openFds++;
	return kBusFd;
}

ssize_t Read(int fd, void *buf, size_t count)
{
	g_kernel.systemCalls++;
	if (fd == kBusFd || NodeOf(fd))
		return Fail(EINVAL); // the back end never reads the node
	return ::read(fd, buf, count);
}

int Ioctl(int fd, unsigned long request, void *arg)
{
	Kernel &k = g_kernel;
	k.systemCalls++;
	if (const Node *n = NodeOf(fd)) {
		if (request == I2C_FUNCS) {
			*static_cast<unsigned long *>(arg) = k.funcs;
			return 0;
		}
		return request == I2C_RDWR && n->cameraAnswers ? 2 : Fail(ENXIO);
	}
	if (fd != kBusFd)
		return Fail(ENOTTY);
	if (request == I2C_RDWR)
		return Rdwr(static_cast<i2c_rdwr_ioctl_data *>(arg));
	if (request != I2C_FUNCS) {
		k.calls.push_back("ioctl " + std::to_string(request));
		return Fail(ENOTTY);
	}
	k.calls.push_back("ioctl I2C_FUNCS");
	if (k.funcsErrno != 0)
		return Fail(k.funcsErrno);
	*static_cast<unsigned long *>(arg) = k.funcs;
	return 0;
}

int Close(int fd)
{
	Kernel &k = g_kernel;
	k.systemCalls++;
	if (NodeOf(fd)) {
		k.openFds--;
		return 0;
	}
	if (fd != kBusFd)
		return ::close(fd);
	k.calls.push_back("close");
	k.openFds--;
	return 0;
}

const qxiic::sys::SystemCalls kFake = { Open, Read, Ioctl, Close, Stat, Fstat };

} // namespace

Kernel &TheKernel()
{
	return g_kernel;
}

void Install()
{
	g_kernel = Kernel{};
	qxiic::sys::UseSystemCalls(&kFake);
}

void Uninstall()
{
	qxiic::sys::UseSystemCalls(nullptr);
}

} // namespace fake
