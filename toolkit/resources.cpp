#include "resources.h"

namespace {

const ResourceTable *g_resources = nullptr;

template <typename T>
const T *findById(std::span<const T> items, UINT id)
{
	for (const T &item : items)
		if (item.id == id)
			return &item;
	return nullptr;
}

} // namespace

void AfxSetResourceTable(const ResourceTable *table)
{
	g_resources = table;
}

const DialogTemplate *AfxFindDialogTemplate(UINT id)
{
	return g_resources ? findById(g_resources->dialogs, id) : nullptr;
}

const char *AfxFindString(UINT id)
{
	const StringResource *s = g_resources ? findById(g_resources->strings, id) : nullptr;
	return s ? s->text : nullptr;
}

HICON AfxFindIcon(UINT id)
{
	return g_resources ? findById(g_resources->icons, id) : nullptr;
}

const ImageResource *AfxFindBitmap(UINT id)
{
	return g_resources ? findById(g_resources->bitmaps, id) : nullptr;
}
