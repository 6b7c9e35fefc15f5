// Open adapter handles. The program opens one per transfer and closes it
// straight after, so a small fixed table is plenty; handles are the slot
// number plus one, keeping 0 and negatives free to mean "not open".
// Callers hold the library lock.
#pragma once

#include "backend.h"

#include <array>
#include <optional>
#include <string>

namespace qxiic {

struct Handle {
	int device = 0;
	std::string bus;                  // where it leads, for the trace
	std::shared_ptr<Backend> backend; // null: the bus could not be opened
	unsigned short failure = 0;       // then every transfer returns this
	std::string detail;               // and this says why
};

constexpr int kMaxHandles = 16;

class HandleTable
{
public:
	bool full() const;
	// Returns the new handle, or -1 when every slot is taken.
	int open(int device, std::string bus, Opened opened);
	// nullptr when the handle is not open.
	Handle *find(int handle);
	bool close(int handle);
	void closeAll();

private:
	std::array<std::optional<Handle>, kMaxHandles> slots_;
};

} // namespace qxiic
