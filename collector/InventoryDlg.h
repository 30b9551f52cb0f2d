// The collector dialog: during its initialisation it reads the inventory and writes the report, then closes.
#pragma once

#include "framework/afxwin.h"
#include "res/resource.h"

class CInventoryDlg : public CDialog
{
public:
    CInventoryDlg(CWnd* pParent = NULL);
    virtual ~CInventoryDlg();

    enum { IDD = IDD_INVENTORY_DIALOG };

    // 0 after an attempt to write, -1 when there is no path.
    int WriteReport();

    CString m_strReportPath;
    // The same path exactly as the caller gave it, in UTF-16; where it is NULL, the ANSI path names the file that
    // an ANSI call would open.
    LPCWSTR m_pszReportPathW;
    // Milliseconds the run may take from its start; shorter only in tests.
    DWORD m_nRunDeadline;

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual BOOL OnInitDialog();

    // The window's furniture, added before the run: the system menu's About entry and the icons. It and
    // the handlers that draw and answer for it pass to the helpers in ui/InventoryChrome.h.
    void SetUpChrome();
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();

    HICON m_hIcon;

public:
    // The inventory record: each value empty until it has been read.
    CString m_strModel;
    CString m_strNumber;
    CString m_strSerial;
    CString m_strBios;
    CString m_strOs;

    DECLARE_MESSAGE_MAP()
};
