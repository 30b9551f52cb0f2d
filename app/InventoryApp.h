// The application object: parses the command line and runs one collection.
#pragma once

#include "framework/afxwin.h"

class CInventoryApp : public CWinApp
{
public:
    CInventoryApp();
    virtual ~CInventoryApp();

    virtual BOOL InitInstance();

    DECLARE_MESSAGE_MAP()
};
