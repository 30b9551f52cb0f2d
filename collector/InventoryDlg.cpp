// The collector dialog: one collection run, its report, and the close request queued before it is shown.
#include "collector/InventoryDlg.h"

#include "collector/ReportFile.h"
#include "collector/SafeReplace.h"
#include "ui/InventoryChrome.h"
#include "wmi/WmiClient.h"

namespace {

// A value read successfully loses its surrounding white space; a failed read leaves the value empty.
void TrimIfRead(int nResult, CString& value)
{
    if (nResult != 0)
        return;
    value.TrimLeft();
    value.TrimRight();
}

} // namespace

BEGIN_MESSAGE_MAP(CInventoryDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
END_MESSAGE_MAP()

CInventoryDlg::CInventoryDlg(CWnd* pParent)
    : CDialog(CInventoryDlg::IDD, pParent), m_pszReportPathW(NULL)
{
    m_hIcon = ::LoadIconA(AfxFindResourceHandle(MAKEINTRESOURCEA(IDR_MAINFRAME), RT_GROUP_ICON),
                          MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CInventoryDlg::~CInventoryDlg()
{
}

void CInventoryDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}

BOOL CInventoryDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetUpChrome();

    CWmiClient client;
    if (client.Open())
    {
        TrimIfRead(client.GetModel(m_strModel), m_strModel);
        TrimIfRead(client.GetProductVersion(m_strNumber), m_strNumber);
        TrimIfRead(client.GetSerialNumber(m_strSerial), m_strSerial);
        TrimIfRead(client.GetBiosVersion(m_strBios), m_strBios);
        TrimIfRead(client.GetOsDescription(m_strOs), m_strOs);
        WriteReport();
    }

    // Queued before the modal loop starts, so the dialog ends before it is ever shown.
    PostMessage(WM_CLOSE);
    return TRUE;
}

void CInventoryDlg::SetUpChrome()
{
    SetUpInventoryChrome(*this, m_hIcon);
}

void CInventoryDlg::OnSysCommand(UINT nID, LPARAM)
{
    if (!RunAboutCommand(nID))
        Default();
}

void CInventoryDlg::OnPaint()
{
    if (!PaintMinimisedIcon(*this, m_hIcon))
        Default();
}

// Dragging the minimised window shows its icon.
HCURSOR CInventoryDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

int CInventoryDlg::WriteReport()
{
    if (m_strReportPath.IsEmpty())
        return -1;

    SYSTEMTIME st;
    ::GetLocalTime(&st);
    // A line that found no memory is empty: such a report would be torn, so none is written.
    const CString strLines[] = {
        FormatReportTime(st),
        FormatReportLine("model", m_strModel),
        FormatReportLine("number", m_strNumber),
        FormatReportLine("serial", m_strSerial),
        FormatReportLine("bios", m_strBios),
        FormatReportLine("os", m_strOs),
    };
    CString strReport = JoinReportLines(strLines, sizeof(strLines) / sizeof(strLines[0]));
    if (strReport.IsEmpty())
        return 0;
    BSTR bstrPath = m_pszReportPathW == NULL ? m_strReportPath.AllocSysString() : NULL;
    if (m_pszReportPathW != NULL || bstrPath != NULL)
        ReplaceFileWithText(m_pszReportPathW != NULL ? m_pszReportPathW : bstrPath, strReport);
    ::SysFreeString(bstrPath);
    return 0;
}
