// The collector dialog's window furniture, as helpers over any dialog window: its handlers call these.
#pragma once

#include "framework/afxwin.h"

// Adds the system menu's About entry, where there is a text for it, and sets the big and small icons.
void SetUpInventoryChrome(CWnd& wnd, HICON hIcon);

// Runs the About box for the About entry's command: TRUE when the command was that one.
BOOL RunAboutCommand(UINT nID);

// Paints a minimised window as its icon, centred: FALSE, and nothing painted, when it is not minimised.
BOOL PaintMinimisedIcon(CWnd& wnd, HICON hIcon);
