// The runtime's start of a program: the arguments are kept for the framework, then WinMain runs.
#include <windows.h>

#include <string>

int main(int argc, char** argv)
{
    __argc = argc;
    __argv = argv;
    // What follows the program's name, as Windows passes it; the framework reads the split arguments instead.
    std::string strCmdLine;
    for (int i = 1; i < argc; i++)
        strCmdLine += (i > 1 ? " " : "") + std::string(argv[i]);
    return WinMain(GetModuleHandleA(NULL), NULL, &strCmdLine[0], SW_SHOWDEFAULT);
}
