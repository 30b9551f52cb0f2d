// The command-line parser: accepts exactly one report switch followed by one path.
#pragma once

#include "framework/afxwin.h"

class CInventoryCommandLineInfo : public CCommandLineInfo
{
public:
    CInventoryCommandLineInfo();
    virtual ~CInventoryCommandLineInfo();

    virtual void ParseParam(const char* pszParam, BOOL bFlag, BOOL bLast);

    enum { stateNoSwitch = 0, statePathExpected = 1, statePathTaken = 2 };

    CString m_strReportPath;
    int m_nParseState;
    int m_nParseError;
    // The report path exactly as the caller gave it, in UTF-16; NULL until one is taken.
    LPCWSTR m_pszReportPathW;
};
