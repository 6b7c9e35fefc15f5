#include "handle_table.h"

namespace qxiic {

bool HandleTable::full() const
{
	for (const std::optional<Handle> &slot : slots_)
		if (!slot)
			return false;
	return true;
}

// The lowest free slot is reused, so handles stay small and predictable.
int HandleTable::open(int device, std::string bus, Opened opened)
{
	for (int i = 0; i < kMaxHandles; i++) {
		std::optional<Handle> &slot = slots_[i];
		if (slot)
			continue;
		slot.emplace();
		slot->device = device;
		slot->bus = std::move(bus);
		slot->backend = std::move(opened.backend);
		slot->failure = opened.status;
		slot->detail = std::move(opened.detail);
		return i + 1;
	}
	return -1;
}

Handle *HandleTable::find(int handle)
{
	if (handle < 1 || handle > kMaxHandles)
		return nullptr;
	std::optional<Handle> &slot = slots_[handle - 1];
	return slot ? &*slot : nullptr;
}

// Releasing the slot destroys the back end, which closes its bus.
bool HandleTable::close(int handle)
{
	if (find(handle) == nullptr)
		return false;
	slots_[handle - 1].reset();
	return true;
}

void HandleTable::closeAll()
{
	for (std::optional<Handle> &slot : slots_)
		slot.reset();
}

} // namespace qxiic
