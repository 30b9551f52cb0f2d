// Replacing the report on POSIX: each failing step through the stand-in's seam, the race for the temporary
// file, owners and modes, rights, links and dots, and the targets that are written in place.
#include <gtest/gtest.h>

#include "collector/InventoryDlg.h"
#include "compat/sys_probe.h"
#include "compat/wbem_probe.h"
#include "test_util.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using tavlen_test::TempDir;

// Linked in by the coverage build only: a child that ends with _exit writes its counts only when asked.
extern "C" void __gcov_dump() __attribute__((weak));

namespace {

const std::string kOld = "old report\n";
const uid_t kNobody = 65534;

// One report of fixed values, written as a run writes it once the values are read.
void WriteReport(const std::string& path)
{
    CInventoryDlg dlg;
    dlg.m_strReportPath = path.c_str();
    dlg.m_strModel = "Model 7";
    dlg.WriteReport();
}

::testing::AssertionResult IsWholeReport(const std::string& bytes)
{
    std::vector<std::string> lines = tavlen_test::SplitReportLines(bytes);
    if (lines.size() == 6 && tavlen_test::MatchesStampLayout(lines[0]) && lines[5].compare(0, 3, "os=") == 0 &&
        bytes.back() == '\n')
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "not a whole report: " << bytes;
}

std::vector<std::string> TempFiles(const std::string& dir)
{
    std::vector<std::string> found;
    for (const std::string& name : tavlen_test::ListFolder(dir))
        if (name.compare(0, 8, "~tavlen-") == 0)
            found.push_back(name);
    return found;
}

struct stat StatOf(const std::string& path)
{
    struct stat st = {};
    lstat(path.c_str(), &st);
    return st;
}

std::string Quoted(const std::string& text)
{
    return "'" + text + "'";
}

// The real program, as another user.
DWORD RunTavlenAsNobody(const std::string& path)
{
    return tavlen_test::RunProcess("setpriv --reuid=65534 --regid=65534 --clear-groups " +
                                   Quoted(tavlen_test::TavlenExe()) + " -f " + Quoted(path), "");
}

// Every step of the write can fail. A full disk, a quota, a size limit or an I/O error leaves the old report byte
// for byte, with its mode; anything else stops only the replacement, and the report is written in place, as a
// plain write would write it: a move across file systems, an owner or a mode the file system cannot give (a FAT
// stick through FUSE answers fchown with ENOSYS). No temporary file is left. The first open looks at the old
// report, the second names its folder, the third makes the temporary file. The report is another user's, so
// that its owner has to be given to the new one.
TEST(ReportSeam, EachFailingStepKeepsTheOldReportOrWritesInPlace)
{
    const struct { const char* pszCall; int nCall, nErrno; bool bWritten; } steps[] = {
        { "open", 3, ENOSPC, false }, { "write", 1, EIO, false },     { "write", 1, ENOSPC, false },
        { "write", 1, EDQUOT, false }, { "write", 1, EFBIG, false },   { "fsync", 1, EIO, false },
        { "fchown", 1, EIO, false },  { "fchmod", 1, EIO, false },     { "rename", 1, EXDEV, true },
        { "fchown", 1, ENOSYS, true }, { "fchmod", 1, EOPNOTSUPP, true },
    };
    TempDir dir;
    std::string path = dir.File("report.txt");
    for (const auto& step : steps)
    {
        SCOPED_TRACE(std::string(step.pszCall) + " fails with " + strerror(step.nErrno));
        tavlen_test::WriteFileBytes(path, kOld);
        ASSERT_EQ(0, chmod(path.c_str(), 0640));
        ASSERT_EQ(0, chown(path.c_str(), 65534, 65534));
        compat_sys_inject(step.pszCall, step.nCall, step.nErrno, NULL, NULL);
        WriteReport(path);
        compat_sys_clear();
        if (step.bWritten)
            EXPECT_TRUE(IsWholeReport(tavlen_test::ReadFileBytes(path)));
        else
            EXPECT_EQ(kOld, tavlen_test::ReadFileBytes(path));
        EXPECT_EQ(0640u, StatOf(path).st_mode & 07777);
        EXPECT_EQ(65534u, StatOf(path).st_uid);
        EXPECT_EQ(std::vector<std::string>{ "report.txt" }, dir.List());
    }
}

// On an SMB share the client turns a rename over a report that another program holds open into its deletion: the
// report is written in place there, the same file, and no temporary file stays. A new report is still made.
TEST(ReportSeam, AReportOnAnSmbShareIsWrittenInPlace)
{
    TempDir dir;
    std::string path = dir.File("report.txt");
    tavlen_test::WriteFileBytes(path, kOld);
    ino_t nInode = StatOf(path).st_ino;
    compat_sys_set_fs_type(0xFE534D42);
    WriteReport(path);
    WriteReport(dir.File("new.txt"));
    compat_sys_set_fs_type(0);
    EXPECT_TRUE(IsWholeReport(tavlen_test::ReadFileBytes(path)));
    EXPECT_EQ(nInode, StatOf(path).st_ino) << "not replaced";
    EXPECT_TRUE(IsWholeReport(tavlen_test::ReadFileBytes(dir.File("new.txt"))));
    std::vector<std::string> names = dir.List();
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{ "new.txt", "report.txt" }), names);
}

void SayReached(void* pv)
{
    write(*static_cast<int*>(pv), "!", 1);
}

// One collection run as the program makes it, in a process of its own with the named call's first failing
// (none for NULL); its exit status in nStatus, and true when that call was made.
bool RunFailing(const char* pszCall, const std::string& dir, const std::string& path, int& nStatus)
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    pid_t pid = fork();
    if (pid == 0)
    {
        close(fds[0]);
        if (chdir(dir.c_str()) == 0 && (pszCall == NULL || compat_sys_inject(pszCall, 1, EIO, SayReached, &fds[1])))
        {
            CInventoryDlg dlg;
            dlg.m_strReportPath = path.c_str();
            dlg.DoModal();
            if (__gcov_dump != NULL)
                __gcov_dump();
            _exit(0);
        }
        _exit(99);
    }
    close(fds[1]);
    nStatus = -1;
    waitpid(pid, &nStatus, 0);
    char ch;
    bool bReached = read(fds[0], &ch, 1) == 1;
    close(fds[0]);
    return bReached;
}

// Each system call the stand-in makes, failing once under the program, ends the run as usual: the old report
// stays whole, or a whole report is written whose values are the host's or, where one could not be read,
// empty. Over an old report, to a new one by a relative path, and in place over a longer one in a folder that
// refuses the move. No run reaches what only tests and timers call, nor what runs only once another call has
// failed: lstat where a folder has no hard links, realpath where /proc cannot name a folder, stat where statx
// cannot tell a mount point, nanosleep where the watchdog has no event to wait on.
// A host whose firmware gives each value as " V-" and its file's name.
void MakeHost(const TempDir& host)
{
    for (const char* pszName : { "product_name", "product_version", "product_serial", "bios_version" })
        tavlen_test::RunHostShell("mkdir -p sys/class/dmi/id etc && echo ' V-" + std::string(pszName) +
                                  "' > sys/class/dmi/id/" + pszName + " && echo 'NAME=Host' > etc/os-release",
                                  host.path());
    compat_wbem_set_root(host.path().c_str());
}

TEST(ReportSeam, EachSystemCallFailingOnceEndsTheRunAsUsual)
{
    TempDir host;
    MakeHost(host);
    const std::string kLongOld = std::string(400, '#') + "\n";
    // The first old report is another user's, so that its owner has to be given to the new one.
    const struct { bool bOld, bAppendOnly; const char* pszPath; bool bOthers; } scenes[] = {
        { true, false, "/report.txt", true }, { false, false, "report.txt", false }, { true, true, "/report.txt", false } };
    std::vector<std::string> usual;
    std::set<std::string> unreached;
    for (int i = 0; compat_sys_name(i) != NULL; i++)
        unreached.insert(compat_sys_name(i));
    std::set<std::string> expected = { "access", "chdir", "gettid", "lstat", "mkdir", "nanosleep", "realpath", "stat" };
    for (const auto& scene : scenes)
    {
        for (int i = -1; i < 0 || compat_sys_name(i) != NULL; i++)
        {
            const char* pszCall = i < 0 ? NULL : compat_sys_name(i);
            SCOPED_TRACE(std::string(pszCall != NULL ? pszCall : "nothing") + " fails, to " + scene.pszPath);
            TempDir dir;
            std::string path = scene.pszPath[0] == '/' ? dir.path() + scene.pszPath : scene.pszPath;
            if (scene.bOld)
                tavlen_test::WriteFileBytes(dir.File("report.txt"), kLongOld);
            if (scene.bOthers)
            {
                ASSERT_EQ(0, chown(dir.File("report.txt").c_str(), 65534, 65534));
            }
            if (scene.bAppendOnly && tavlen_test::RunHostShell("chattr +a . 2>/dev/null", dir.path()) != 0)
            {
                expected.insert({ "ftruncate", "lseek" });  // neither root nor a file system that keeps the flag
                break;
            }
            int nStatus;
            if (RunFailing(pszCall, dir.path(), path, nStatus))
                unreached.erase(pszCall);
            EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0) << nStatus;
            std::string bytes = tavlen_test::ReadFileBytes(dir.File("report.txt"));
            std::vector<std::string> lines = tavlen_test::SplitReportLines(bytes);
            if (pszCall == NULL && usual.empty())
                usual = lines;
            ASSERT_EQ(6u, usual.size()) << "the usual run writes its report";
            bool bWhole = IsWholeReport(bytes);
            for (size_t n = 1; bWhole && n < lines.size(); n++)
                bWhole = lines[n] == usual[n] || lines[n] == usual[n].substr(0, usual[n].find('=') + 1);
            EXPECT_TRUE(bWhole || bytes == (scene.bOld ? kLongOld : "")) << bytes;
            if (scene.bAppendOnly)
                tavlen_test::RunHostShell("chattr -a .", dir.path());
        }
    }
    compat_wbem_set_root(NULL);
    EXPECT_EQ(expected, unreached);
}

void SleepPastTheDeadline(void*)
{
    usleep(1500 * 1000);
}

// A provider that does not answer, here through the kernel's release, is abandoned at the deadline: the watchdog
// writes the values read by then and ends the process at once, with the status every run has.
TEST(ReportSeam, AStalledProviderIsAbandonedAtTheDeadline)
{
    TempDir host, dir;
    MakeHost(host);
    std::string path = dir.File("report.txt");
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t pid = fork();
    if (pid == 0)
    {
        compat_sys_inject("uname", 1, 0, SleepPastTheDeadline, NULL);
        CInventoryDlg dlg;
        dlg.m_strReportPath = path.c_str();
        dlg.m_nRunDeadline = 500;
        dlg.DoModal();
        _exit(99);
    }
    int nStatus = -1;
    waitpid(pid, &nStatus, 0);
    clock_gettime(CLOCK_MONOTONIC, &end);
    compat_wbem_set_root(NULL);
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0) << nStatus;
    EXPECT_LT((end.tv_sec - start.tv_sec) * 1000 + (end.tv_nsec - start.tv_nsec) / 1000000, 1400)
        << "ended before the provider answered";
    std::vector<std::string> lines = tavlen_test::SplitReportLines(tavlen_test::ReadFileBytes(path));
    ASSERT_EQ(6u, lines.size());
    EXPECT_EQ((std::vector<std::string>{ "model=V-product_name", "bios=V-bios_version", "os=" }),
              (std::vector<std::string>{ lines[1], lines[4], lines[5] }));
    EXPECT_EQ(std::vector<std::string>{ "report.txt" }, dir.List());
}

void RemoveFile(void* pv)
{
    unlink(static_cast<std::string*>(pv)->c_str());
}

// A name already taken is passed over for another, and an old report that went away while it was being
// replaced leaves its place to the new one.
TEST(ReportSeam, ANameClashOrAnOldReportGoneStillEndsInAWholeReport)
{
    TempDir dir;
    std::string path = dir.File("report.txt");
    for (const char* pszCall : { "open", "rename" })
    {
        SCOPED_TRACE(pszCall);
        tavlen_test::WriteFileBytes(path, kOld);
        if (std::string(pszCall) == "open")
            compat_sys_inject("open", 3, EEXIST, NULL, NULL);
        else
            compat_sys_inject("rename", 1, 0, RemoveFile, &path);
        WriteReport(path);
        compat_sys_clear();
        EXPECT_TRUE(IsWholeReport(tavlen_test::ReadFileBytes(path)));
        EXPECT_EQ(std::vector<std::string>{ "report.txt" }, dir.List());
    }
}

// Where only rights refuse the new file or the move, the report is rewritten in place, or made at the path
// where there was none; a failure of that write puts the old text back, or removes the file it made. An
// append-only folder refuses every move for real, and a file-size limit fails the write.
TEST(ReportSeam, WhereOnlyRightsRefuseTheMoveTheReportIsWrittenInPlace)
{
    struct Case { const char* pszCall; int nCall, nErrno; bool bOld, bAppendOnly; rlim_t nSizeLimit; bool bWritten; };
    const Case cases[] = {
        { "open", 3, EACCES, true, false, 0, true },   { "rename", 1, EPERM, true, false, 0, true },
        { "open", 3, EACCES, false, false, 0, true },  { "fsync", 2, EIO, true, true, 0, false },
        { "read", 1, EIO, true, true, 0, false },       { "open", 3, EACCES, false, false, 16, false },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.pszCall) + " fails, case " + std::to_string(&c - cases));
        TempDir dir;
        std::string path = dir.File("report.txt");
        if (c.bOld)
            tavlen_test::WriteFileBytes(path, kOld);
        if (c.bAppendOnly && tavlen_test::RunHostShell("chattr +a . 2>/dev/null", dir.path()) != 0)
            continue;  // neither root nor a file system that keeps the flag
        struct rlimit old;
        getrlimit(RLIMIT_FSIZE, &old);
        struct rlimit limit = { c.nSizeLimit != 0 ? c.nSizeLimit : old.rlim_cur, old.rlim_max };
        setrlimit(RLIMIT_FSIZE, &limit);
        compat_sys_inject(c.pszCall, c.nCall, c.nErrno, NULL, NULL);
        WriteReport(path);
        compat_sys_clear();
        setrlimit(RLIMIT_FSIZE, &old);
        std::string bytes = tavlen_test::ReadFileBytes(path);
        EXPECT_EQ(c.bWritten, static_cast<bool>(IsWholeReport(bytes))) << bytes;
        EXPECT_EQ(c.bWritten || !c.bOld ? "" : kOld, c.bWritten ? "" : bytes);
        if (c.bAppendOnly)
            tavlen_test::RunHostShell("chattr -a .", dir.path());
        else
            EXPECT_EQ(c.bWritten || c.bOld ? std::vector<std::string>{ "report.txt" } : std::vector<std::string>(),
                      dir.List());
    }
}

struct Swap
{
    std::string dir, victim;
    mode_t nTempMode = 0;
};

// As the folder's owner could, between the write and the move: the temporary file gives way to a link.
void SwapTempForLink(void* pv)
{
    Swap& swap = *static_cast<Swap*>(pv);
    for (const std::string& name : TempFiles(swap.dir))
    {
        std::string temp = swap.dir + "/" + name;
        swap.nTempMode = StatOf(temp).st_mode & 07777;
        if (rename(temp.c_str(), (swap.dir + "/taken-away").c_str()) == 0)
            symlink(swap.victim.c_str(), temp.c_str());
    }
}

// Nothing acts on the temporary file by its name once it is made: a link put in its place leads nowhere.
// The file is never wider than the old report's mode while it is written.
TEST(ReportRace, ALinkInPlaceOfTheTemporaryFileTouchesNothing)
{
    TempDir dir, elsewhere;
    Swap swap{ dir.path(), elsewhere.File("victim") };
    tavlen_test::WriteFileBytes(swap.victim, "secret");
    ASSERT_EQ(0, chmod(swap.victim.c_str(), 0600));
    std::string path = dir.File("report.txt");
    tavlen_test::WriteFileBytes(path, kOld);
    ASSERT_EQ(0, chmod(path.c_str(), 0604));
    if (geteuid() == 0)
    {
        ASSERT_EQ(0, chown(path.c_str(), kNobody, kNobody));
    }

    compat_sys_inject("fsync", 1, 0, SwapTempForLink, &swap);
    WriteReport(path);
    compat_sys_clear();
    struct stat st = StatOf(swap.victim);
    EXPECT_EQ(0600u, st.st_mode & 07777);
    EXPECT_EQ(geteuid(), st.st_uid);
    EXPECT_EQ("secret", tavlen_test::ReadFileBytes(swap.victim));
    EXPECT_EQ(0604u, swap.nTempMode);
}

// As another program could, between the write and the move: the report's name passes to another file.
void SwapReportForOther(void* pv)
{
    Swap& swap = *static_cast<Swap*>(pv);
    rename((swap.dir + "/report.txt").c_str(), (swap.dir + "/moved.txt").c_str());
    rename(swap.victim.c_str(), (swap.dir + "/report.txt").c_str());
}

// The name the report was found under must still reach the file opened there when the move comes; a file that
// took the name meanwhile was replaced by a move that trusted the name.
TEST(ReportRace, AFileThatTookTheReportsNameIsNotReplaced)
{
    TempDir dir;
    Swap swap{ dir.path(), dir.File("other.txt") };
    tavlen_test::WriteFileBytes(swap.victim, "another file\n");
    std::string path = dir.File("report.txt");
    tavlen_test::WriteFileBytes(path, kOld);

    compat_sys_inject("fsync", 1, 0, SwapReportForOther, &swap);
    WriteReport(path);
    EXPECT_FALSE(compat_sys_clear()) << "the temporary file is flushed before its move";
    EXPECT_EQ("another file\n", tavlen_test::ReadFileBytes(path));
    EXPECT_EQ(kOld, tavlen_test::ReadFileBytes(dir.File("moved.txt")));
    EXPECT_TRUE(TempFiles(dir.path()).empty());
}

// The new report has the old one's owner, group and mode, setuid and setgid bits too; a new one gets the
// mode the umask leaves. Giving a file away needs root.
TEST(ReportModes, TheNewReportHasTheOldOnesOwnerAndMode)
{
    const struct { mode_t nMode; uid_t nOwner; } cases[] = {
        { 0600, 0 }, { 06755, 0 }, { 0640, kNobody }, { 0444, kNobody } };
    TempDir dir;
    std::string path = dir.File("report.txt");
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.nMode);
        if (geteuid() != 0 && (c.nMode & 06000))
            continue;  // writing clears those bits for a process without CAP_FSETID, in place too
        tavlen_test::WriteFileBytes(path, kOld);
        if (geteuid() == 0)
        {
            ASSERT_EQ(0, chown(path.c_str(), c.nOwner, c.nOwner));
        }
        ASSERT_EQ(0, chmod(path.c_str(), c.nMode));
        struct stat before = StatOf(path);
        WriteReport(path);
        struct stat after = StatOf(path);
        if (geteuid() != 0 && c.nMode == 0444)
        {
            EXPECT_EQ(kOld, tavlen_test::ReadFileBytes(path)) << "a read-only report is kept";
            continue;
        }
        EXPECT_TRUE(IsWholeReport(tavlen_test::ReadFileBytes(path)));
        EXPECT_EQ(before.st_mode & 07777, after.st_mode & 07777);
        EXPECT_EQ(before.st_uid, after.st_uid);
        EXPECT_EQ(before.st_gid, after.st_gid);
    }

    unlink(path.c_str());
    mode_t nMask = umask(027);
    WriteReport(path);
    umask(nMask);
    EXPECT_EQ(0640u, StatOf(path).st_mode & 07777);
}

// A file this user could not open for writing is kept, whatever the folder allows; a file it could write,
// in a folder where no new file can be made beside it, is kept whole rather than rewritten in place.
TEST(ReportRights, AReportThisUserCouldNotReplaceIsKeptWhole)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run the program as another user";
    TempDir dir;
    ASSERT_EQ(0, chmod(dir.path().c_str(), 0755));
    struct Case { uid_t nFolderOwner; mode_t nFolderMode; uid_t nFileOwner; mode_t nFileMode; bool bWritten; };
    const Case cases[] = {
        { kNobody, 0755, kNobody, 0444, false },
        { 0, 0777, 0, 0644, false },
        { 0, 0755, 0, 0666, true },
        { kNobody, 0755, kNobody, 0644, true },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        std::string folder = dir.File(std::to_string(&c - cases));
        ASSERT_EQ(0, mkdir(folder.c_str(), 0700));
        ASSERT_EQ(0, chown(folder.c_str(), c.nFolderOwner, c.nFolderOwner));
        ASSERT_EQ(0, chmod(folder.c_str(), c.nFolderMode));
        std::string path = folder + "/report.txt";
        tavlen_test::WriteFileBytes(path, kOld);
        ASSERT_EQ(0, chown(path.c_str(), c.nFileOwner, c.nFileOwner));
        ASSERT_EQ(0, chmod(path.c_str(), c.nFileMode));
        EXPECT_EQ(0u, RunTavlenAsNobody(path));
        std::string bytes = tavlen_test::ReadFileBytes(path);
        EXPECT_EQ(c.bWritten ? 6u : 1u, tavlen_test::SplitReportLines(bytes).size());
        EXPECT_EQ(c.bWritten, bytes != kOld);
        EXPECT_EQ(c.nFileOwner, StatOf(path).st_uid);
    }
}

// A path means what opening it means: its folder as the file system resolves it, a link followed to the
// file it names, and nothing where open(2) would refuse the path; the same where /proc cannot name a folder.
TEST(ReportPaths, LinksAndDotsResolveAsTheSystemResolvesThem)
{
    TempDir dir;
    ASSERT_TRUE(::SetCurrentDirectoryA(dir.path().c_str()));
    for (const char* pszFolder : { "x", "a", "a/b", "real" })
        ASSERT_EQ(0, mkdir(pszFolder, 0755));
    ASSERT_EQ(0, symlink("../a/b", "x/lnk"));
    ASSERT_EQ(0, symlink("real/report.txt", "link"));
    ASSERT_EQ(0, symlink("real/new.txt", "dangling"));
    tavlen_test::WriteFileBytes("file", kOld);
    tavlen_test::WriteFileBytes("real/report.txt", kOld);

    // Each path, and the file that holds the report afterwards, or NULL for none.
    const struct { const char* pszPath; const char* pszWritten; } cases[] = {
        { "file/.", NULL }, { "file/../file", NULL }, { "nodir/../file", NULL },
        { "x/lnk/../r", "a/r" }, { "link", "real/report.txt" }, { "dangling", "real/new.txt" },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszPath);
        for (bool bNoProc : { false, true })
        {
            if (bNoProc && c.pszWritten != NULL)
                tavlen_test::WriteFileBytes(c.pszWritten, kOld);
            compat_sys_inject(bNoProc ? "readlink" : NULL, 1, ENOENT, NULL, NULL);
            WriteReport(c.pszPath);
            compat_sys_clear();
            EXPECT_TRUE(c.pszWritten == NULL || IsWholeReport(tavlen_test::ReadFileBytes(c.pszWritten))) << bNoProc;
        }
    }
    EXPECT_EQ(kOld, tavlen_test::ReadFileBytes("file"));
    EXPECT_FALSE(tavlen_test::FileExists("x/r"));
    EXPECT_TRUE(S_ISLNK(StatOf("link").st_mode) && S_ISLNK(StatOf("dangling").st_mode)) << "the links stay links";
    EXPECT_TRUE(TempFiles(dir.path()).empty() && TempFiles(dir.File("real")).empty() && TempFiles(dir.File("a")).empty());
    ASSERT_TRUE(::SetCurrentDirectoryA("/"));
}

// Without a working folder a relative path has no meaning, and must not be taken from the root.
TEST(ReportPaths, ARelativePathFromADeletedWorkingFolderWritesNothing)
{
    TempDir dir;
    std::string victim = dir.File("victim.txt");
    tavlen_test::WriteFileBytes(victim, kOld);
    ASSERT_EQ(0, mkdir(dir.File("gone").c_str(), 0755));
    ASSERT_TRUE(::SetCurrentDirectoryA(dir.File("gone").c_str()));
    ASSERT_EQ(0, rmdir(dir.File("gone").c_str()));
    WriteReport(victim.substr(1));
    ASSERT_TRUE(::SetCurrentDirectoryA("/"));
    EXPECT_EQ(kOld, tavlen_test::ReadFileBytes(victim));
}

void CloseReader(void* pv)
{
    close(*static_cast<int*>(pv));
}

// A pipe is written in place when someone reads it, and refused at once when no one does. A reader that
// leaves mid-write, or a file-size limit, makes the write fail; the program lives on and keeps the old report.
TEST(ReportInPlace, PipesAndLimitsFailWithoutHangingOrKilling)
{
    TempDir dir;
    std::string fifo = dir.File("fifo");
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    WriteReport(fifo);  // no reader: must return, not wait for one

    int fdReader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fdReader, 0);
    WriteReport(fifo);
    char buf[512] = {};
    ssize_t cb = read(fdReader, buf, sizeof(buf) - 1);
    EXPECT_TRUE(IsWholeReport(std::string(buf, cb > 0 ? (size_t)cb : 0)));
    compat_sys_inject("write", 1, 0, CloseReader, &fdReader);
    WriteReport(fifo);  // the reader is gone when the write comes
    compat_sys_clear();

    std::string path = dir.File("report.txt");
    struct rlimit old;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
    for (rlim_t nLimit : { 0, 30, 59 })  // the report is 60 bytes
    {
        SCOPED_TRACE(nLimit);
        tavlen_test::WriteFileBytes(path, kOld);
        struct rlimit small = { nLimit, old.rlim_max };
        ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
        WriteReport(path);
        ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &old));
        EXPECT_EQ(kOld, tavlen_test::ReadFileBytes(path));
        EXPECT_TRUE(TempFiles(dir.path()).empty());
    }
}

// A file bound over another, as one is bound into a container, cannot be renamed over: it is written in place.
TEST(ReportInPlace, AMountedFileIsWrittenInPlace)
{
    TempDir dir;
    std::string source = dir.File("host.txt"), target = dir.File("bound.txt");
    tavlen_test::WriteFileBytes(source, std::string(4000, '#'));
    tavlen_test::WriteFileBytes(target, kOld);
    std::string out;
    std::string scene = "unshare -m sh -c " +
        Quoted("mount --make-rprivate / && mount --bind \"$0\" \"$1\" && \"$2\" -f \"$1\"") + " " +
        Quoted(source) + " " + Quoted(target) + " " + Quoted(tavlen_test::TavlenExe());
    if (tavlen_test::RunProcess(scene + " 2>/dev/null", "", &out) != 0)
        GTEST_SKIP() << "no private mount namespace here";
    EXPECT_TRUE(IsWholeReport(tavlen_test::ReadFileBytes(source))) << "cut after the report";
    EXPECT_EQ(kOld, tavlen_test::ReadFileBytes(target));
}

} // namespace
