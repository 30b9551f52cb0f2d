// The Win32 API subset the program and its tests use, for hosts without Windows.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "winbase.h"
#include "winnls.h"
#include "winuser.h"
#include "crt_compat.h"
