#include "cstring.h"

#include "resources.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

void CString::Format(const char *format, ...)
{
	va_list args;
	va_start(args, format);
	va_list copy;
	va_copy(copy, args);
	int length = std::vsnprintf(nullptr, 0, format, copy);
	va_end(copy);
	if (length < 0) {
		m_str.clear();
	} else {
		std::vector<char> buffer(static_cast<size_t>(length) + 1);
		std::vsnprintf(buffer.data(), buffer.size(), format, args);
		m_str.assign(buffer.data(), static_cast<size_t>(length));
	}
	va_end(args);
}

BOOL CString::LoadString(UINT id)
{
	const char *text = AfxFindString(id);
	m_str = text ? text : "";
	return text != nullptr;
}
