// The client of the management service: one connection, single-property reads and the inventory getters.
#pragma once

#include "framework/afxwin.h"

#include <wbemcli.h>

class CWmiClient
{
public:
    CWmiClient();
    virtual ~CWmiClient();

    bool Open();
    bool InitSecurity();
    int Connect();

    // The tick count by which every answer must have come; until it is set, answers are awaited without limit.
    void SetDeadline(DWORD dwDeadline);

    // Reads one property of the first instance of a class; 0 on success, -1 with *pValue unchanged.
    // A value leaves the client as one line of ANSI text, untrimmed: every control character but the tab
    // (C0, DEL, C1), and U+2028 and U+2029, is already a blank, so trimming it leaves no blank at either end.
    // A null or empty property is empty text.
    int GetProperty(CString strClass, CString strProperty, CString* pValue);

    int GetModel(CString& value);
    int GetProductVersion(CString& value);
    int GetSerialNumber(CString& value);
    int GetBiosVersion(CString& value);
    int GetOsCaption(CString& value);
    int GetOsVersion(CString& value);
    int GetOsServicePack(CString& value);

    // Caption, version and, when there is one, the service pack, each separated by three blanks.
    int GetOsDescription(CString& value);

    bool m_bConnected;
    IWbemServices* m_pServices;
    bool m_bDeadline;
    DWORD m_dwDeadline;

private:
    CWmiClient(const CWmiClient&);
    void operator=(const CWmiClient&);

    int GetFixedProperty(LPCSTR pszClass, LPCSTR pszProperty, CString& value);
    LONG TimeLeft() const;
};
