// The report: its line formats, the six lines as one text, and that text written at the report's path.
#pragma once

#include "framework/afxwin.h"

// "2003/02/03 09:05:07" and a line feed.
CString FormatReportTime(const SYSTEMTIME& st);

// "key=value" and a line feed; each control character but the tab becomes a blank, so no reader sees a line
// end or a terminal command inside a value.
CString FormatReportLine(LPCSTR pszKey, const CString& strValue);

// The lines as one text, made in one buffer of its size; empty where a line is, or where memory ran out.
CString JoinReportLines(const CString* pLines, int nLines);

// The time now and the five values (model, number, serial, bios, os) written at the path, in UTF-16 where the
// caller gave it so, else as an ANSI call would name it. -1 when there is no path, 0 after an attempt to write.
int WriteInventoryReport(const CString& strPath, LPCWSTR pszPathW, const CString* pValues);
