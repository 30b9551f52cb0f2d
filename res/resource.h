// Identifiers of the program's resources and of its system-menu command.
#pragma once

#define IDD_ABOUTBOX            100
#define IDS_ABOUTBOX            101
#define IDD_INVENTORY_DIALOG    102
#define IDR_MAINFRAME           128

// System-menu commands keep their low four bits clear: the system uses them.
#define IDM_ABOUTBOX            0x0010

// Controls the program never addresses.
#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif
