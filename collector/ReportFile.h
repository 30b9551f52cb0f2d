// The report's text: its line formats and the six lines as one text.
#pragma once

#include "framework/afxwin.h"

// "2003/02/03 09:05:07" and a line feed.
CString FormatReportTime(const SYSTEMTIME& st);

// "key=value" and a line feed; each control character but the tab becomes a blank, so no reader sees a line
// end or a terminal command inside a value.
CString FormatReportLine(LPCSTR pszKey, const CString& strValue);

// The lines as one text, made in one buffer of its size; empty where a line is, or where memory ran out.
CString JoinReportLines(const CString* pLines, int nLines);
