// Standard input, output and error as every front end needs them before it
// opens anything: started with one closed (`>&-`), the next file opened
// would take its number, and a dump meant for standard output, or a
// message meant for standard error, would land in a report file or a
// database's socket.
#pragma once

#include <string>

namespace fileio {

// Opens /dev/null onto each of descriptors 0, 1 and 2 that is closed, the
// wrong way round (write-only for 0, read-only for 1 and 2), so that the
// program's own use of a closed stream fails as it would have, and nothing
// else can take its number. Call it first in main(). "" or why it could not.
std::string OpenStandardStreams();

// Whether descriptor fd (0, 1 or 2) was closed when OpenStandardStreams ran.
bool StandardStreamWasClosed(int fd);

} // namespace fileio
