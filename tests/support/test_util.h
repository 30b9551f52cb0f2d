// Helpers shared by the tests: scratch folders, whole-file reads and writes, and running the real program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tavlen_test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "\\" + name; }
    // Names of the entries, without "." and "..".
    std::vector<std::string> List() const;

private:
    std::string m_path;
};

bool FileExists(const std::string& path);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Splits on CRLF; text after the last CRLF (an unterminated line) is returned as a last element.
std::vector<std::string> SplitCrlfLines(const std::string& text);

// The local time in the report's timestamp layout; fixed width, so text order is time order.
std::string LocalStamp();
// True when the line has exactly the layout "####/##/## ##:##:##".
bool MatchesStampLayout(const std::string& line);

// The built Tavlen.exe, as a Windows path.
std::string TavlenExe();

// Runs a command line to its end in the given folder; its standard output is returned when asked for.
DWORD RunProcess(const std::string& commandLine, const std::string& workDir, std::string* pStdout = NULL);

// Wine stands in for Windows here; a few of its behaviours differ and tests say where.
bool IsWine();

// UTF-16 text of the system's 16-bit WCHAR, written without wide literals so the same tests build everywhere.
typedef std::basic_string<WCHAR> WString;
std::string Utf16ToUtf8(const WString& text);
WString Utf8ToUtf16(const std::string& text);

} // namespace tavlen_test
