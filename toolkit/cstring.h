// CString: the text type of the panel's members.
//
// A thin value type over std::string with the printf-style Format that the
// handlers use ("%x", "%2.2x", "%3.3x", "%1.1x").
#pragma once

#include "afxtypes.h"

#include <string>
#include <string_view>

class CString
{
public:
	CString() = default;
	CString(const char *text) : m_str(text ? text : "") {}
	CString(std::string text) : m_str(std::move(text)) {}

	void Format(const char *format, ...) __attribute__((format(printf, 2, 3)));
	BOOL LoadString(UINT id);

	int GetLength() const { return static_cast<int>(m_str.size()); }
	bool IsEmpty() const { return m_str.empty(); }
	void Empty() { m_str.clear(); }
	const char *GetString() const { return m_str.c_str(); }
	operator const char *() const { return m_str.c_str(); }
	const std::string &str() const { return m_str; }

	CString &operator+=(std::string_view more)
	{
		m_str += more;
		return *this;
	}
	friend CString operator+(const CString &a, std::string_view b)
	{
		return CString(a.m_str + std::string(b));
	}
	friend bool operator==(const CString &a, const CString &b) { return a.m_str == b.m_str; }
	friend bool operator==(const CString &a, const char *b) { return a.m_str == (b ? b : ""); }

private:
	std::string m_str;
};
