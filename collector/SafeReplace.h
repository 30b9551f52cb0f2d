// How a file is replaced safely: whole through a temporary file beside it, or written in place, never left torn.
#pragma once

#include "framework/afxwin.h"

// Writes the text in text mode to the file the UTF-16 path names: a file is replaced whole, a device, a pipe or a
// mounted file is written in place, and anything this user could not open for writing is kept. 0 when written,
// -1 when nothing was.
int ReplaceFileWithText(LPCWSTR pszPath, const CString& strText);
