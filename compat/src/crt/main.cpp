// The runtime's start of a program: the arguments are kept for the framework, then WinMain runs.
#include <windows.h>

int main(int argc, char** argv)
{
    __argc = argc;
    __argv = argv;
    // The framework reads the split arguments, never the line Windows would pass.
    char szNoLine[] = "";
    return WinMain(GetModuleHandleA(NULL), NULL, szNoLine, SW_SHOWDEFAULT);
}
