// OLE start-up: a single-threaded apartment for the calling thread.
#pragma once

#include "objbase.h"
#include "oleauto.h"

HRESULT WINAPI OleInitialize(LPVOID pvReserved);
void WINAPI OleUninitialize();
