// A front end started with standard streams closed: each closed one gets
// /dev/null the wrong way round, so the program's own use of it fails and
// no file opened later takes its number; open ones are left alone.
#include "StandardStreams.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// In a child with the descriptors of closed closed: the guard, then what
// each descriptor does, one letter each: 'c' closed then guarded (and
// using it fails with EBADF), 'o' open and untouched, '?' anything else;
// then the number the next open() takes ("3+": none of the three).
std::string Guarded(const std::string &closed)
{
	int pipeFds[2];
	if (pipe(pipeFds) != 0)
		return "no pipe";
	// The pipe's ends stay clear of 0 to 2 whatever the test runner has.
	int report = fcntl(pipeFds[1], F_DUPFD, 10);
	close(pipeFds[1]);
	pid_t child = fork();
	if (child == 0) {
		for (char fd : closed)
			close(fd - '0');
		std::string seen = fileio::OpenStandardStreams().empty() ? "" : "refused ";
		for (int fd = 0; fd < 3; fd++) {
			char byte = 'x';
			errno = 0;
			bool unusable = fd == 0 ? read(fd, &byte, 1) < 0 : write(fd, &byte, 0) < 0;
			bool wasClosed = fileio::StandardStreamWasClosed(fd);
			seen += wasClosed && unusable && errno == EBADF ? 'c'
				: !wasClosed && fcntl(fd, F_GETFD) >= 0 ? 'o'
									: '?';
		}
		int next = open("/dev/null", O_RDONLY);
		seen += next > 2 ? " 3+" : " " + std::to_string(next);
		if (write(report, seen.data(), seen.size()) < 0)
			_exit(1);
		_exit(0);
	}
	close(report);
	std::string seen;
	char buffer[64];
	for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof(buffer))) > 0;)
		seen.append(buffer, static_cast<size_t>(n));
	close(pipeFds[0]);
	int status = 0;
	waitpid(child, &status, 0);
	return seen;
}

TEST(StandardStreams, ClosedOnesGetDevNullTheWrongWayRound)
{
	const struct {
		const char *closed;
		const char *seen;
	} cases[] = {
		{ "", "ooo 3+" },  { "0", "coo 3+" },  { "1", "oco 3+" },
		{ "2", "ooc 3+" }, { "12", "occ 3+" }, { "012", "ccc 3+" },
	};
	for (const auto &c : cases)
		EXPECT_EQ(Guarded(c.closed), c.seen) << "closed: " << c.closed;
}

} // namespace
