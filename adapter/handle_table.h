// Open adapter handles. The program opens one per transfer and closes it
// straight after, so a small fixed table is plenty; handles are the slot
// number plus one, keeping 0 and negatives free to mean "not open".
// Callers hold the simulator lock.
#pragma once

#include "backend.h"

#include <memory>

namespace qxiic {

struct Handle {
	int device = 0;
	std::unique_ptr<Backend> backend; // null: slot free
};

constexpr int kMaxHandles = 16;

// Returns the new handle, or -1 when every slot is taken.
int OpenHandle(int device, std::unique_ptr<Backend> backend);
// nullptr when the handle is not open.
Handle *FindHandle(int handle);
bool CloseHandle(int handle);
void CloseAllHandles();

} // namespace qxiic
