// The application object: a rejected command line ends the run silently, an accepted one runs the collector.
#include "app/InventoryApp.h"

#include "app/InventoryCommandLineInfo.h"
#include "collector/InventoryDlg.h"

BEGIN_MESSAGE_MAP(CInventoryApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CInventoryApp::CInventoryApp()
{
}

CInventoryApp::~CInventoryApp()
{
}

CInventoryApp theApp;

// Always FALSE: the application has no message loop of its own, so the process ends here.
BOOL CInventoryApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControls();

    CInventoryCommandLineInfo cmdInfo;
    if (ParseCommandLine(cmdInfo) && cmdInfo.m_nParseError == 0)
    {
        CInventoryDlg dlg;
        dlg.m_strReportPath = cmdInfo.m_strReportPath;
        dlg.m_pszReportPathW = cmdInfo.m_pszReportPathW;
        m_pMainWnd = &dlg;
        dlg.DoModal();
    }
    return FALSE;
}
