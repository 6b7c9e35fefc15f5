// The busy cursor of a blocking operation: shown for the object's lifetime,
// so a window that does not answer while a handler runs says why.
#pragma once

class CWaitCursor
{
public:
	CWaitCursor();
	~CWaitCursor();
	CWaitCursor(const CWaitCursor &) = delete;
	CWaitCursor &operator=(const CWaitCursor &) = delete;
};
