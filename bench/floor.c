/* The least program that does tavlen's job on Linux: the same sources, fallbacks and report, written the same safe way. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/random.h>
#include <sys/stat.h>
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

/* A new file beside the old one, with its mode, written, flushed and renamed over it; its folder is flushed too. */
static int WriteReport(const char* pszPath, const char* pText, size_t cb)
{
    struct stat st;
    int fdOld = open(pszPath, O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fdOld < 0 && errno != ENOENT)
        return -1;
    mode_t mode = fdOld >= 0 && fstat(fdOld, &st) == 0 ? st.st_mode & 07777 : 0666;
    if (fdOld >= 0)
        close(fdOld);
    const char* pszSlash = strrchr(pszPath, '/');
    int nDir = pszSlash != NULL ? (int)(pszSlash - pszPath + 1) : 0;
    unsigned char ab[16];
    char szTemp[4096 + 64];
    if (getrandom(ab, sizeof(ab), 0) != sizeof(ab))
        return -1;
    int n = snprintf(szTemp, sizeof(szTemp), "%.*s~tavlen-", nDir, pszPath);
    for (int i = 0; i < 16; i++)
        n += snprintf(szTemp + n, sizeof(szTemp) - n, "%02X", ab[i]);
    strcat(szTemp, ".tmp");
    int fd = open(szTemp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
    if (fd < 0)
        return -1;
    int bOk = write(fd, pText, cb) == (ssize_t)cb && fsync(fd) == 0;
    bOk = close(fd) == 0 && bOk && rename(szTemp, pszPath) == 0;
    if (!bOk)
        return unlink(szTemp), -1;
    char szDir[4096];
    snprintf(szDir, sizeof(szDir), "%.*s", nDir > 0 ? nDir : 1, nDir > 0 ? pszPath : ".");
    int fdDir = open(szDir, O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    if (fdDir >= 0)
        fsync(fdDir), close(fdDir);
    return 0;
}

int main(int argc, char** argv)
{
    static const char* const s_apszDmi[] = { "product_name", "product_version", "product_serial", "bios_version" };
    static const char* const s_apszKeys[] = { "model", "number", "serial", "bios" };
    if (argc != 3 || strcmp(argv[1], "-f") != 0)
        return 0;
    char* apValues[4];
    size_t acb[4];
    for (int i = 0; i < 4; i++)
    {
        char szPath[64];
        snprintf(szPath, sizeof(szPath), "/sys/class/dmi/id/%s", s_apszDmi[i]);
        apValues[i] = ReadValue(szPath, '\n', &acb[i]);
    }
    if (apValues[0] == NULL)
        apValues[0] = ReadValue("/sys/firmware/devicetree/base/model", 0, &acb[0]);

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
    size_t cbOsLine = (size_t)sprintf(pOs, "%s   %s", pszCaption, name.release);

    size_t cbReport = 32 + cbOsLine + 8;
    for (int i = 0; i < 4; i++)
        cbReport += acb[i] + 8;
    char* pReport = malloc(cbReport);
    if (pReport == NULL)
        return 0;
    time_t now = time(NULL);
    struct tm local;
    localtime_r(&now, &local);
    char* p = pReport + strftime(pReport, 32, "%Y/%m/%d %H:%M:%S\n", &local);
    for (int i = 0; i < 4; i++)
        p = AppendLine(p, s_apszKeys[i], apValues[i] != NULL ? apValues[i] : "", apValues[i] != NULL ? acb[i] : 0);
    p = AppendLine(p, "os", pOs, cbOsLine);
    WriteReport(argv[2], pReport, (size_t)(p - pReport));
    return 0;
}
