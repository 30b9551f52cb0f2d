// The report file: its line formats, and replacing it whole so that no reader sees a torn report.
#pragma once

#include "framework/afxwin.h"

// "2003/02/03 09:05:07" and a line feed.
CString FormatReportTime(const SYSTEMTIME& st);

// "key=value" and a line feed; each control character but the tab becomes a blank, so no reader sees a line
// end or a terminal command inside a value.
CString FormatReportLine(LPCSTR pszKey, const CString& strValue);

// The lines as one text, made in one buffer of its size; empty where a line is, or where memory ran out.
CString JoinReportLines(const CString* pLines, int nLines);

// Writes the text in text mode: a file is replaced whole, a device, a pipe or a mounted file is written in place,
// and anything this user could not open for writing is kept. 0 when written, -1 when nothing was.
int WriteReportFile(const CString& strPath, const CString& strText);
