// The report file: its line formats, and replacing it whole so that no reader sees a torn report.
#pragma once

#include "afxwin.h"

// "2003/02/03 09:05:07" and a line feed.
CString FormatReportTime(const SYSTEMTIME& st);

// "key=value" and a line feed; a line break inside the value becomes a blank, so it cannot add a line.
CString FormatReportLine(LPCSTR pszKey, const CString& strValue);

// Writes the text in text mode, replacing the file whole; 0 when written, -1 when the old file was kept.
int WriteReportFile(const CString& strPath, const CString& strText);
