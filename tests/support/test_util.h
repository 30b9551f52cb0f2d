// Helpers shared by the tests: scratch folders, whole-file reads and writes, and running the real program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tavlen_test {

// How this system writes what differs between hosts: the path separator, the line end of a text file,
// the device that swallows everything, and the characters that begin a switch.
extern const char kPathSeparator;
extern const char* const kReportLineEnd;
extern const char* const kNullDevice;

std::string JoinPath(const std::string& dir, const std::string& name);

// Names of the entries of a folder, without "." and "..".
std::vector<std::string> ListFolder(const std::string& path);

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return m_path; }
    std::string File(const std::string& name) const { return JoinPath(m_path, name); }
    std::vector<std::string> List() const { return ListFolder(m_path); }

private:
    std::string m_path;
};

// A character device of the test's own: a terminal whose far end the test reads, where the system makes one;
// the null device on Windows, which reads as nothing.
class Terminal
{
public:
    Terminal();
    ~Terminal();
    const std::string& path() const { return m_path; }
    // What reached the far end, as it was written.
    std::string Take();

private:
    std::string m_path;
    int m_far = -1, m_near = -1;
};

bool FileExists(const std::string& path);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Splits on the separator; text after the last one (an unterminated line) is returned as a last element.
std::vector<std::string> SplitLines(const std::string& text, const std::string& separator);
inline std::vector<std::string> SplitReportLines(const std::string& text) { return SplitLines(text, kReportLineEnd); }

// Gives a file a mark that a replacement must carry over: hidden on Windows, unusual permission bits elsewhere.
void MarkFile(const std::string& path);
bool IsMarked(const std::string& path);

// Makes a file read-only: the read-only attribute on Windows, no write bits elsewhere. True when this user
// may then no longer write it (root still may).
bool MakeReadOnly(const std::string& path);

// Holds a file open so that no one else may replace or rewrite it; NULL where it cannot be held.
void* LockExclusively(const std::string& path);
// Holds a file open as a program that shares its reading and writing but not its deletion would: it may be
// rewritten but not replaced on Windows; elsewhere nothing stops either.
void* HoldAgainstDeletion(const std::string& path);
void Unlock(void* lock);

// The size of the file at the path, found without opening it, as an open handle would stand in a replacement's
// way on Windows; -1 when nothing is there.
long long SizeWithoutOpening(const std::string& path);

// The path under its short name, where the file system gives it one that differs; empty elsewhere.
std::string ShortPathOf(const std::string& path);

// Runs a script, in UTF-8, in the Linux host's own shell, in the folder: natively, and under Wine, which starts
// Linux programs too; so tests can make what Windows cannot, such as symbolic links. Its exit status, or -1 where
// there is no such shell (Windows itself).
int RunHostShell(const std::string& script, const std::string& workDir);

// Without the white space at its ends that the collector trims: blanks, tabs, line breaks and form feeds.
std::string Trim(const std::string& text);

// The local time in the report's timestamp layout; fixed width, so text order is time order.
std::string LocalStamp();
// True when the line has exactly the layout "####/##/## ##:##:##".
bool MatchesStampLayout(const std::string& line);

// The built program, as a path of this system.
std::string TavlenExe();

// UTF-16 text of the system's 16-bit WCHAR, written without wide literals so the same tests build everywhere.
typedef std::basic_string<WCHAR> WString;

// Runs a command line to its end in the given folder; its standard output is returned when asked for. Windows
// passes every command line on as UTF-16; given one in the ANSI code page, it converts it first.
DWORD RunProcess(const WString& commandLine, const std::string& workDir, std::string* pStdout = NULL);
DWORD RunProcess(const std::string& commandLine, const std::string& workDir, std::string* pStdout = NULL);

// The code page of the program's ANSI text: the system's on Windows, and elsewhere UTF-8, which holds every
// character.
UINT AnsiCodePage();

// A dialog that never ends must fail its test, not hang the run: the watchdog ends it after ten seconds with a
// result no dialog gives on its own. It takes timer 1 of the dialog.
const INT_PTR kTimedOut = 0x7105;
void StartWatchdog(HWND hDlg);

// Wine stands in for Windows here; a few of its behaviours differ and tests say where.
bool IsWine();

// A check that Wine fails where Windows passes, marked as Wine's own todo_wine marks one: on Wine it must
// fail, so a Wine that has caught up fails the test until the mark is taken away.
#define TODO_WINE_EXPECT_TRUE(condition) \
    EXPECT_EQ(!tavlen_test::IsWine(), static_cast<bool>(condition)) \
        << (tavlen_test::IsWine() ? "todo_wine, and Wine now does as Windows does: " : "") << #condition

// The part of a drawn icon's square that lies inside the window's client area, found by what painting left
// behind: the tests draw only their solid magenta icon, so on a screen its pixels show where it went.
// Empty when that icon was not drawn there since the window was last painted.
RECT FindDrawnIcon(HWND hWnd, HICON hIcon);

// The help file of the last help request since, with the window and command it was made for; empty when there
// was none. They are caught, where Windows would start its help program, from the first call on.
std::string TakeHelpRequest(HWND* phWnd, UINT* puCommand);

// UTF-16 text to and from the bytes of a code page: UTF-8, or the ANSI code page, which maps a character it
// lacks to a look-alike or its default character.
std::string FromUtf16(const WString& text, UINT nCodePage);
WString ToUtf16(const std::string& text, UINT nCodePage);
inline std::string Utf16ToUtf8(const WString& text) { return FromUtf16(text, CP_UTF8); }
inline WString Utf8ToUtf16(const std::string& text) { return ToUtf16(text, CP_UTF8); }
inline std::string Utf16ToAnsi(const WString& text) { return FromUtf16(text, CP_ACP); }
inline WString AnsiToUtf16(const std::string& text) { return ToUtf16(text, CP_ACP); }
inline std::string AnsiToUtf8(const std::string& text) { return Utf16ToUtf8(AnsiToUtf16(text)); }

// Folders and files by paths in UTF-8, for names the ANSI code page lacks and paths longer than MAX_PATH: Windows
// is given them in UTF-16, a full path in its long form "\\?\C:\..."; elsewhere they are the path's bytes.
std::vector<std::string> ListFolderUtf8(const std::string& path);
std::string ReadFileBytesUtf8(const std::string& path);
void WriteFileBytesUtf8(const std::string& path, const std::string& bytes);
bool MakeFolderUtf8(const std::string& path);

} // namespace tavlen_test
