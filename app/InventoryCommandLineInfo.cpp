// The command-line parser's states: switch, then path, and any other argument rejects the whole line.
#include "app/InventoryCommandLineInfo.h"

#include <string.h>

CInventoryCommandLineInfo::CInventoryCommandLineInfo()
    : m_nParseState(stateNoSwitch), m_nParseError(0), m_pszReportPathW(NULL)
{
}

CInventoryCommandLineInfo::~CInventoryCommandLineInfo()
{
}

// The framework's own switches are deliberately not recognised, so the base is never called.
void CInventoryCommandLineInfo::ParseParam(const char* pszParam, BOOL bFlag, BOOL)
{
    if (bFlag)
    {
        bool bReportSwitch = strcmp(pszParam, "F") == 0 || strcmp(pszParam, "f") == 0;
        if (bReportSwitch && m_nParseState == stateNoSwitch)
            m_nParseState = statePathExpected;
        else
            m_nParseError = -1;
    }
    else if (m_nParseState == statePathExpected)
    {
        m_strReportPath = pszParam;
        m_pszReportPathW = m_pszParamW;
        m_nParseState = statePathTaken;
    }
    else
    {
        m_nParseError = -1;
    }
}
