#include "handle_table.h"

#include <array>

namespace qxiic {
namespace {

std::array<Handle, kMaxHandles> &Table()
{
	static std::array<Handle, kMaxHandles> table;
	return table;
}

} // namespace

// The lowest free slot is reused, so handles stay small and predictable.
int OpenHandle(int device, std::unique_ptr<Backend> backend)
{
	auto &table = Table();
	for (int i = 0; i < kMaxHandles; i++) {
		if (table[i].backend)
			continue;
		table[i].device = device;
		table[i].backend = std::move(backend);
		return i + 1;
	}
	return -1;
}

Handle *FindHandle(int handle)
{
	if (handle < 1 || handle > kMaxHandles)
		return nullptr;
	Handle &h = Table()[handle - 1];
	return h.backend ? &h : nullptr;
}

bool CloseHandle(int handle)
{
	Handle *h = FindHandle(handle);
	if (h == nullptr)
		return false;
	h->backend.reset();
	h->device = 0;
	return true;
}

void CloseAllHandles()
{
	for (Handle &h : Table())
		h.backend.reset();
}

} // namespace qxiic
