#include "sys_calls.h"

#include "bus_guard.h"
#include "export.h"
#include "library.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qxiic::sys {
namespace {

int KernelOpen(const char *path, int flags)
{
	return ::open(path, flags);
}

int KernelIoctl(int fd, unsigned long request, void *arg)
{
	return ::ioctl(fd, request, arg);
}

int KernelStat(const char *path, struct stat *st)
{
	return ::stat(path, st);
}

int KernelFstat(int fd, struct stat *st)
{
	return ::fstat(fd, st);
}

const SystemCalls kKernel = { KernelOpen, ::read, KernelIoctl, ::close, KernelStat, KernelFstat };

const SystemCalls *g_calls = &kKernel;
std::string g_sysfsRoot = "/sys";
std::string g_devRoot = "/dev";

} // namespace

const SystemCalls &Calls()
{
	return *g_calls;
}

const std::string &SysfsRoot()
{
	return g_sysfsRoot;
}

const std::string &DevRoot()
{
	return g_devRoot;
}

QXIIC_EXPORT void UseSystemCalls(const SystemCalls *calls)
{
	std::lock_guard lock(TheLibrary().mutex);
	g_calls = calls ? calls : &kKernel;
	ForgetNodes();
}

QXIIC_EXPORT void UseSysfsRoot(const char *root)
{
	std::lock_guard lock(TheLibrary().mutex);
	g_sysfsRoot = root ? root : "/sys";
	ForgetNodes();
}

QXIIC_EXPORT void UseDevRoot(const char *root)
{
	std::lock_guard lock(TheLibrary().mutex);
	g_devRoot = root ? root : "/dev";
	ForgetNodes();
}

} // namespace qxiic::sys
