// The collector dialog: one collection run, its report, and the close request queued before it is shown.
#include "collector/InventoryDlg.h"

#include "collector/ReportFile.h"
#include "collector/RunDeadline.h"
#include "ui/InventoryChrome.h"
#include "wmi/WmiClient.h"

namespace {

// A value read successfully loses its surrounding white space; a failed read leaves the value empty. Either is
// the value the report holds, which the watchdog is given too.
void TakeValue(int nResult, CString& value, CRunDeadline& deadline)
{
    if (nResult == 0)
    {
        value.TrimLeft();
        value.TrimRight();
    }
    deadline.PublishValue(value);
}

} // namespace

BEGIN_MESSAGE_MAP(CInventoryDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
END_MESSAGE_MAP()

CInventoryDlg::CInventoryDlg(CWnd* pParent)
    : CDialog(CInventoryDlg::IDD, pParent), m_pszReportPathW(NULL), m_nRunDeadline(kRunDeadline)
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

    // The run ends by its deadline whatever the service does: a value that has not come by then stays empty,
    // and a connection that has not, writes nothing.
    CRunDeadline deadline;
    deadline.Start(m_strReportPath, m_pszReportPathW, m_nRunDeadline);
    CWmiClient client;
    client.SetDeadline(deadline.GetDeadline());
    bool bOpen = client.Open();
    if (bOpen)
    {
        deadline.PublishOpen();
        TakeValue(client.GetModel(m_strModel), m_strModel, deadline);
        TakeValue(client.GetProductVersion(m_strNumber), m_strNumber, deadline);
        TakeValue(client.GetSerialNumber(m_strSerial), m_strSerial, deadline);
        TakeValue(client.GetBiosVersion(m_strBios), m_strBios, deadline);
        TakeValue(client.GetOsDescription(m_strOs), m_strOs, deadline);
    }
    if (deadline.Finish() && bOpen)
        WriteReport();

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
    const CString astrValues[] = { m_strModel, m_strNumber, m_strSerial, m_strBios, m_strOs };
    return WriteInventoryReport(m_strReportPath, m_pszReportPathW, astrValues);
}
