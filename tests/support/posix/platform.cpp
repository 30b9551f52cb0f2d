// Test helpers for POSIX hosts: scratch folders, the program's path, processes through sh, and permission bits.
#include "test_util.h"

#include "compat/sys_probe.h"
#include "compat/user_probe.h"

#include <errno.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

namespace tavlen_test {

const char kPathSeparator = '/';
const char* const kReportLineEnd = "\n";
const char* const kNullDevice = "/dev/null";

std::vector<std::string> ListFolder(const std::string& path)
{
    std::vector<std::string> names;
    DIR* pDir = opendir(path.c_str());
    if (pDir == NULL)
        return names;
    while (struct dirent* pEntry = readdir(pDir))
    {
        std::string name = pEntry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(pDir);
    return names;
}

// Paths here are bytes, which a UTF-8 path is already.
std::vector<std::string> ListFolderUtf8(const std::string& path)
{
    return ListFolder(path);
}

std::string ReadFileBytesUtf8(const std::string& path)
{
    return ReadFileBytes(path);
}

void WriteFileBytesUtf8(const std::string& path, const std::string& bytes)
{
    WriteFileBytes(path, bytes);
}

bool MakeFolderUtf8(const std::string& path)
{
    return mkdir(path.c_str(), 0755) == 0;
}

namespace {

// Distinct from anything a umask leaves on a new file.
const mode_t kMarkMode = 0604;

void RemoveTree(const std::string& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode))
    {
        chmod(path.c_str(), 0700);
        for (const std::string& name : ListFolder(path))
            RemoveTree(path + "/" + name);
        rmdir(path.c_str());
    }
    else
        unlink(path.c_str());
}

} // namespace

TempDir::TempDir()
{
    const char* pszBase = getenv("TMPDIR");
    std::string strTemplate = std::string(pszBase != NULL && *pszBase != 0 ? pszBase : "/tmp") + "/tavlen-test-XXXXXX";
    if (mkdtemp(&strTemplate[0]) != NULL)
        m_path = strTemplate;
}

TempDir::~TempDir()
{
    if (!m_path.empty())
        RemoveTree(m_path);
}

// A pseudo-terminal, raw so that line ends pass as they are; the test holds its near end open too, so that the
// far end keeps what was written after the program closes its own.
Terminal::Terminal()
{
    m_far = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    const char* pszName = m_far >= 0 && grantpt(m_far) == 0 && unlockpt(m_far) == 0 ? ptsname(m_far) : NULL;
    struct termios raw;
    if (pszName != NULL && (m_near = open(pszName, O_RDWR | O_NOCTTY)) >= 0 && tcgetattr(m_near, &raw) == 0)
    {
        cfmakeraw(&raw);
        if (tcsetattr(m_near, TCSANOW, &raw) == 0)
            m_path = pszName;
    }
}

Terminal::~Terminal()
{
    close(m_near);
    close(m_far);
}

// The terminal passes text on a moment after it was written; the report fits one read.
std::string Terminal::Take()
{
    char buf[4096];
    struct pollfd poller = { m_far, POLLIN, 0 };
    ssize_t n = poll(&poller, 1, 1000) > 0 ? read(m_far, buf, sizeof(buf)) : 0;
    return std::string(buf, n > 0 ? (size_t)n : 0);
}

std::string TavlenExe()
{
    return TAVLEN_EXE;
}

// The command line goes through sh, which splits and unquotes it as a user's shell would.
DWORD RunProcess(const std::string& commandLine, const std::string& workDir, std::string* pStdout)
{
    int fds[2] = { -1, -1 };
    if (pStdout != NULL && pipe(fds) != 0)
        return (DWORD)-1;
    pid_t pid = fork();
    if (pid == 0)
    {
        if (!workDir.empty() && chdir(workDir.c_str()) != 0)
            _exit(127);
        if (pStdout != NULL)
        {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
        }
        execl("/bin/sh", "sh", "-c", commandLine.c_str(), (char*)NULL);
        _exit(127);
    }
    if (pStdout != NULL)
    {
        close(fds[1]);
        char buf[4096];
        ssize_t n;
        while ((n = read(fds[0], buf, sizeof(buf))) > 0)
            pStdout->append(buf, (size_t)n);
        close(fds[0]);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return (DWORD)-1;
    return WIFEXITED(status) ? (DWORD)WEXITSTATUS(status) : (DWORD)(128 + WTERMSIG(status));
}

void* HoldAgainstDeletion(const std::string&)
{
    return NULL;
}

long long SizeWithoutOpening(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? (long long)st.st_size : -1;
}

std::string ShortPathOf(const std::string&)
{
    return std::string();
}

int RunHostShell(const std::string& script, const std::string& workDir)
{
    return (int)RunProcess(script, workDir);
}

// The same bytes, as the program's ANSI code page takes them.
DWORD RunProcess(const WString& commandLine, const std::string& workDir, std::string* pStdout)
{
    return RunProcess(Utf16ToUtf8(commandLine), workDir, pStdout);
}

UINT AnsiCodePage()
{
    return CP_UTF8;
}

void MarkFile(const std::string& path)
{
    chmod(path.c_str(), kMarkMode);
}

bool IsMarked(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && (st.st_mode & 07777) == kMarkMode;
}

bool MakeReadOnly(const std::string& path)
{
    return chmod(path.c_str(), 0444) == 0 && access(path.c_str(), W_OK) != 0;
}

// Files here have no share modes, so the stand-in refuses the next open, as Windows refuses a locked file's.
void* LockExclusively(const std::string& path)
{
    compat_sys_inject("open", 1, EBUSY, NULL, NULL);
    return const_cast<std::string*>(&path);
}

void Unlock(void*)
{
    compat_sys_clear();
}

std::string TakeHelpRequest(HWND* phWnd, UINT* puCommand)
{
    LPCSTR pszFile = compat_user_take_help_request(phWnd, puCommand);
    return pszFile != NULL ? pszFile : "";
}

// The stand-in keeps no pixels, but remembers which icon was drawn where.
RECT FindDrawnIcon(HWND hWnd, HICON hIcon)
{
    RECT client, found = { 0, 0, 0, 0 };
    HICON hDrawn;
    POINT at;
    if (!compat_user_take_drawn_icon(hWnd, &hDrawn, &at) || hDrawn != hIcon || !::GetClientRect(hWnd, &client))
        return found;
    LONG right = std::min<LONG>(at.x + ::GetSystemMetrics(SM_CXICON), client.right);
    LONG bottom = std::min<LONG>(at.y + ::GetSystemMetrics(SM_CYICON), client.bottom);
    LONG left = std::max<LONG>(at.x, 0), top = std::max<LONG>(at.y, 0);
    if (left < right && top < bottom)
        found = RECT{ left, top, right, bottom };
    return found;
}

} // namespace tavlen_test
