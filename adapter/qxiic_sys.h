// The system calls of the i2c-dev back end, replaceable so that tests run
// it against a fake kernel, and the sysfs and /dev roots it looks for
// adapters under. Not part of the adapter's C interface.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

namespace qxiic::sys {

// Each returns what the system call returns and sets errno the same way.
struct SystemCalls {
	int (*open)(const char *path, int flags);
	ssize_t (*read)(int fd, void *buf, size_t count);
	int (*ioctl)(int fd, unsigned long request, void *arg);
	int (*close)(int fd);
	int (*stat)(const char *path, struct stat *st); // follows symlinks
	int (*fstat)(int fd, struct stat *st);
};

// nullptr puts the kernel's own calls back. The table must outlive its use.
void UseSystemCalls(const SystemCalls *calls);

// Where sysfs is mounted; nullptr puts "/sys" back.
void UseSysfsRoot(const char *root);

// Where the i2c-N nodes of the buses found in sysfs live; nullptr puts
// "/dev" back.
void UseDevRoot(const char *root);

} // namespace qxiic::sys
