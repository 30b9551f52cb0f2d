/* The least program that does tavlen's job on Linux: the same sources, fallbacks and report, written the same safe way,
 * within the same deadline. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

enum { kMaxHostFile = 64 * 1024 };

/* A regular file's first 64 KiB, with one trailing chEnd removed; NULL where it cannot be read. */
static char* ReadValue(const char* pszPath, char chEnd, size_t* pcb)
{
    int fd = open(pszPath, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return NULL;
    struct stat st;
    char* p = NULL;
    size_t cb = 0;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (p = malloc(kMaxHostFile + 1)) != NULL)
    {
        ssize_t n;
        while (cb < kMaxHostFile && ((n = read(fd, p + cb, kMaxHostFile - cb)) > 0 || (n < 0 && errno == EINTR)))
            cb += n > 0 ? (size_t)n : 0;
        if (cb > 0 && p[cb - 1] == chEnd)
            --cb;
        p[cb] = 0;
    }
    close(fd);
    *pcb = cb;
    return p;
}

/* The last assignment of the key, unquoted as the shell would. */
static void OsReleaseField(const char* pText, const char* pszKey, char* pOut)
{
    size_t nKey = strlen(pszKey);
    for (const char* p = pText; p != NULL && *p != 0; p = strchr(p, '\n'), p = p ? p + 1 : p)
    {
        p += strspn(p, " \t");
        if (strncmp(p, pszKey, nKey) != 0 || p[nKey] != '=')
            continue;
        char chQuote = 0, *q = pOut;
        for (p += nKey + 1; *p != 0 && *p != '\n' && (chQuote != 0 || !strchr(" \t\r", *p)); ++p)
        {
            if (chQuote == 0 && (*p == '"' || *p == '\''))
                chQuote = *p;
            else if (*p == chQuote)
                chQuote = 0;
            else if (*p == '\\' && chQuote != '\'' && p[1] != 0 && (chQuote == 0 || strchr("\"\\$`", p[1])))
                *q++ = *++p;
            else
                *q++ = *p;
        }
        *q = 0;
    }
}

/* Appends "key=value\n" with the value trimmed and its control characters blanked. */
static char* AppendLine(char* pOut, const char* pszKey, const char* pValue, size_t cb)
{
    while (cb > 0 && strchr(" \t\r\n\v\f", *pValue) && *pValue != 0)
        ++pValue, --cb;
    while (cb > 0 && strchr(" \t\r\n\v\f", pValue[cb - 1]) && pValue[cb - 1] != 0)
        --cb;
    pOut = stpcpy(pOut, pszKey);
    *pOut++ = '=';
    for (size_t i = 0; i < cb; i++)
    {
        unsigned char ch = (unsigned char)pValue[i];
        *pOut++ = (ch < ' ' && ch != '\t') || ch == 0x7F ? ' ' : (char)ch;
    }
    *pOut++ = '\n';
    return pOut;
}

/* The text written over an open file from its start, cut after it, and flushed where it is a file. */
static int WriteInPlace(int fd, int bFile, const char* pText, size_t cb)
{
    int bOk = write(fd, pText, cb) == (ssize_t)cb && (!bFile || (ftruncate(fd, (off_t)cb) == 0 && fsync(fd) == 0));
    return close(fd) == 0 && bOk ? 0 : -1;
}

/* CIFS, SMB2 and the old SMB, by their magic numbers. */
static int IsSmbShare(const struct statfs* pfs)
{
    unsigned nType = (unsigned)pfs->f_type;
    return nType == 0xFF534D42u || nType == 0xFE534D42u || nType == 0x517Bu;
}

/* Whether the name still reaches the file that was judged, and not another put in its place since. */
static int IsStillAtItsName(const char* pszPath, const struct statx* pstx)
{
    struct stat st;
    return lstat(pszPath, &st) == 0 && st.st_ino == pstx->stx_ino &&
           st.st_dev == makedev(pstx->stx_dev_major, pstx->stx_dev_minor);
}

/* A new file beside the old one, with its owner and mode, written, flushed and renamed over it while the name
 * still reaches the file that was judged; its folder is flushed too. A link at the name is followed to its file.
 * A device, a pipe, a file mounted over another, or one on an SMB share, whose client turns a rename over an open
 * file into its deletion, is written in place. */
static int WriteReport(const char* pszGiven, const char* pText, size_t cb)
{
    static char szLink[4096], szLinked[8192];
    const char* pszPath = pszGiven;
    ssize_t cbLink = readlink(pszGiven, szLink, sizeof(szLink));
    if (cbLink > 0 && cbLink < (ssize_t)sizeof(szLink))
    {
        const char* pszSlash = strrchr(pszGiven, '/');
        int nDir = pszSlash != NULL && szLink[0] != '/' ? (int)(pszSlash - pszGiven + 1) : 0;
        snprintf(szLinked, sizeof(szLinked), "%.*s%.*s", nDir, pszGiven, (int)cbLink, szLink);
        pszPath = szLinked;
    }
    struct statx stx;
    struct statfs fs;
    int fdOld = open(pszPath, O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fdOld < 0 && errno != ENOENT)
        return -1;
    int bOld = fdOld >= 0 && statx(fdOld, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &stx) == 0;
    if (bOld && !S_ISREG(stx.stx_mode))
        return fcntl(fdOld, F_SETFL, 0), WriteInPlace(fdOld, 0, pText, cb);
    if (bOld && ((stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) || (fstatfs(fdOld, &fs) == 0 && IsSmbShare(&fs))))
        return WriteInPlace(fdOld, 1, pText, cb);
    if (fdOld >= 0)
        close(fdOld);
    const char* pszSlash = strrchr(pszPath, '/');
    int nDir = pszSlash != NULL ? (int)(pszSlash - pszPath + 1) : 0;
    unsigned char ab[16];
    char szTemp[8192 + 64];
    if (getrandom(ab, sizeof(ab), 0) != sizeof(ab))
        return -1;
    int n = snprintf(szTemp, sizeof(szTemp), "%.*s~tavlen-", nDir, pszPath);
    for (int i = 0; i < 16; i++)
        n += snprintf(szTemp + n, sizeof(szTemp) - n, "%02X", ab[i]);
    strcat(szTemp, ".tmp");
    int fd = open(szTemp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, bOld ? 0600 : 0666);
    if (fd < 0)
        return -1;
    int bOk = !bOld || ((fchown(fd, stx.stx_uid, stx.stx_gid) == 0 || errno == EPERM) && fchmod(fd, stx.stx_mode & 07777) == 0);
    bOk = bOk && write(fd, pText, cb) == (ssize_t)cb && fsync(fd) == 0;
    bOk = close(fd) == 0 && bOk;
    bOk = bOk && (bOld ? IsStillAtItsName(pszPath, &stx) && rename(szTemp, pszPath) == 0 : link(szTemp, pszPath) == 0);
    if (!bOk || !bOld)
        unlink(szTemp);
    if (!bOk)
        return -1;
    char szDir[8192];
    snprintf(szDir, sizeof(szDir), "%.*s", nDir > 0 ? nDir : 1, nDir > 0 ? pszPath : ".");
    int fdDir = open(szDir, O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    if (fdDir >= 0)
        fsync(fdDir), close(fdDir);
    return 0;
}

/* The deadline: where the run has not finished within a minute, a watchdog writes the report with the values read
 * so far and ends the process; whichever of the two claims the report first writes it. */
enum { kRunning, kClaimedByRun, kClaimedByWatchdog };
static atomic_int s_nClaim;
static const char* s_pszReportPath;
static char* s_apValues[5];
static size_t s_acbValues[5];
static atomic_int s_nPublished;

static size_t FormatReport(char* pReport, size_t nValues);

static void* Watch(void* pv)
{
    (void)pv;
    struct timespec deadline = { 60, 0 };
    while (nanosleep(&deadline, &deadline) != 0 && errno == EINTR)
        continue;
    int nRunning = kRunning;
    if (atomic_compare_exchange_strong(&s_nClaim, &nRunning, kClaimedByWatchdog))
    {
        int nValues = atomic_load(&s_nPublished);
        size_t cb = 64;
        for (int i = 0; i < nValues; i++)
            cb += s_acbValues[i] + 8;
        char* pReport = malloc(cb);
        if (pReport != NULL)
            WriteReport(s_pszReportPath, pReport, FormatReport(pReport, (size_t)nValues));
        _exit(0);
    }
    return NULL;
}

static void Publish(int i, char* pValue, size_t cb)
{
    s_apValues[i] = pValue;
    s_acbValues[i] = cb;
    atomic_store(&s_nPublished, i + 1);
}

/* The time, then a line for each key, empty for a value not published. */
static size_t FormatReport(char* pReport, size_t nValues)
{
    static const char* const s_apszKeys[] = { "model", "number", "serial", "bios", "os" };
    time_t now = time(NULL);
    struct tm local;
    localtime_r(&now, &local);
    char* p = pReport + strftime(pReport, 32, "%Y/%m/%d %H:%M:%S\n", &local);
    for (size_t i = 0; i < 5; i++)
    {
        int bHas = i < nValues && s_apValues[i] != NULL;
        p = AppendLine(p, s_apszKeys[i], bHas ? s_apValues[i] : "", bHas ? s_acbValues[i] : 0);
    }
    return (size_t)(p - pReport);
}

int main(int argc, char** argv)
{
    static const char* const s_apszDmi[] = { "product_name", "product_version", "product_serial", "bios_version" };
    if (argc != 3 || strcmp(argv[1], "-f") != 0)
        return 0;
    s_pszReportPath = argv[2];
    struct sigaction ignore = { .sa_handler = SIG_IGN };
    sigaction(SIGXFSZ, &ignore, NULL);
    pthread_t watchdog;
    if (pthread_create(&watchdog, NULL, Watch, NULL) == 0)
        pthread_detach(watchdog);
    for (int i = 0; i < 4; i++)
    {
        char szPath[64];
        size_t cb = 0;
        snprintf(szPath, sizeof(szPath), "/sys/class/dmi/id/%s", s_apszDmi[i]);
        char* pValue = ReadValue(szPath, '\n', &cb);
        if (i == 0 && pValue == NULL)
            pValue = ReadValue("/sys/firmware/devicetree/base/model", 0, &cb);
        Publish(i, pValue, cb);
    }

    size_t cbOs;
    char* pOsRelease = ReadValue("/etc/os-release", 0, &cbOs);
    if (pOsRelease == NULL)
        pOsRelease = ReadValue("/usr/lib/os-release", 0, &cbOs);
    char* pCaption = malloc(cbOs + 8);
    struct utsname name;
    if (pCaption == NULL || uname(&name) != 0)
        return 0;
    pCaption[0] = 0;
    OsReleaseField(pOsRelease, "NAME", pCaption);
    char* pPretty = malloc(cbOs + 8);
    if (pPretty == NULL)
        return 0;
    pPretty[0] = 0;
    OsReleaseField(pOsRelease, "PRETTY_NAME", pPretty);
    const char* pszCaption = pPretty[0] ? pPretty : pCaption[0] ? pCaption : "Linux";
    char* pOs = malloc(strlen(pszCaption) + sizeof(name.release) + 4);
    if (pOs == NULL)
        return 0;
    Publish(4, pOs, (size_t)sprintf(pOs, "%s   %s", pszCaption, name.release));

    size_t cbReport = 64;
    for (int i = 0; i < 5; i++)
        cbReport += s_acbValues[i] + 8;
    char* pReport = malloc(cbReport);
    int nRunning = kRunning;
    if (pReport == NULL || !atomic_compare_exchange_strong(&s_nClaim, &nRunning, kClaimedByRun))
        for (;;)
            pause();  /* the watchdog writes the report and ends the process */
    WriteReport(s_pszReportPath, pReport, FormatReport(pReport, 5));
    return 0;
}
