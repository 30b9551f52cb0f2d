// The provider table on Linux: the machine's identity as sysfs, the device tree, os-release and uname tell it.
#include "provider.h"
#include "seam.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace compat_wbem {

namespace {

// No value of the host's is longer; a file that goes on, such as a link to /dev/zero, is cut here.
const size_t kMaxHostFile = 64 * 1024;

// Every read of the host passes here, so that a fixture tree under strRoot can stand in for the whole host.
// Only regular files are read, sysfs attributes among them: a pipe or a device could block or never end.
bool ReadHostFile(const std::string& strRoot, const char* pszFolder, const char* pszName, std::string& text)
{
    size_t nRoot = strRoot.size();
    while (nRoot > 0 && strRoot[nRoot - 1] == '/')
        --nRoot;
    std::string strFull;
    strFull.reserve(nRoot + strlen(pszFolder) + strlen(pszName));
    strFull.append(strRoot, 0, nRoot).append(pszFolder).append(pszName);
    int fd = compat__sys::open(strFull.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0);
    if (fd < 0)
        return false;
    struct stat st;
    bool bRead = compat__sys::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    text.clear();
    char buf[4096];
    while (bRead && text.size() < kMaxHostFile)
    {
        ssize_t cb = compat__sys::read(fd, buf, std::min(sizeof(buf), kMaxHostFile - text.size()));
        if (cb < 0 && errno == EINTR)
            continue;
        if (cb <= 0)
        {
            bRead = cb == 0;
            break;
        }
        text.append(buf, (size_t)cb);
    }
    compat__sys::close(fd);
    return bRead;
}

// Text read from the file with one trailing char removed where it is `chEnd`; null where the file cannot be read.
Value FileValue(const std::string& strRoot, const char* pszFolder, const char* pszName, char chEnd)
{
    std::string text;
    if (!ReadHostFile(strRoot, pszFolder, pszName, text))
        return Value::Null();
    if (!text.empty() && text.back() == chEnd)
        text.pop_back();
    return Value::Text(std::move(text));
}

// sysfs ends each value with one line end of its own; anything else, trailing blanks too, is the firmware's.
Value DmiValue(const std::string& strRoot, const char* pszName)
{
    return FileValue(strRoot, "/sys/class/dmi/id/", pszName, '\n');
}

// Reads one shell-like value from `p`: quotes and backslashes as os-release(5) gives them, up to an unquoted blank.
std::string ParseValue(const char* p)
{
    std::string value;
    char chQuote = 0;
    for (; *p != 0; ++p)
    {
        if (chQuote == 0 && (*p == ' ' || *p == '\t' || *p == '\r'))
            break;
        if (chQuote == 0 && (*p == '"' || *p == '\''))
            chQuote = *p;
        else if (*p == chQuote)
            chQuote = 0;
        else if (*p == '\\' && chQuote == 0 && p[1] != 0)
            value += *++p;
        else if (*p == '\\' && chQuote == '"' && p[1] != 0 && std::string("\"\\$`").find(p[1]) != std::string::npos)
            value += *++p;
        else
            value += *p;
    }
    return value;
}

// The last assignment of `pszKey` in os-release text, as the shell that sources the file would leave it.
std::string OsReleaseField(const std::string& text, const char* pszKey)
{
    std::string value;
    size_t nKey = strlen(pszKey);
    for (size_t pos = 0; pos < text.size();)
    {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        size_t first = text.find_first_not_of(" \t", pos);
        if (first < end && text.compare(first, nKey, pszKey) == 0 && text[first + nKey] == '=')
            value = ParseValue(text.substr(first + nKey + 1, end - first - nKey - 1).c_str());
        pos = end + 1;
    }
    return value;
}

// /usr/lib/os-release is the vendor's fallback, so it is read only where /etc/os-release cannot be.
Value OsCaption(const std::string& strRoot)
{
    std::string text;
    if (!ReadHostFile(strRoot, "/etc/os-release", "", text))
        ReadHostFile(strRoot, "/usr/lib/os-release", "", text);
    std::string caption = OsReleaseField(text, "PRETTY_NAME");
    if (caption.empty())
        caption = OsReleaseField(text, "NAME");
    return Value::Text(caption.empty() ? "Linux" : caption);  // os-release(5) gives "Linux" for a NAME unset
}

Value KernelRelease()
{
    struct utsname name;
    return compat__sys::uname(&name) == 0 ? Value::Text(name.release) : Value::Null();
}

void FillComputerSystem(const std::string& strRoot, std::vector<Row>& rows)
{
    Value model = DmiValue(strRoot, "product_name");
    if (model.bNull)  // boards without SMBIOS, ARM ones mostly, name themselves in the device tree, NUL-terminated
        model = FileValue(strRoot, "/sys/firmware/devicetree/base/model", "", '\0');
    rows.push_back(Row{ { "Model", model } });
}

void FillComputerSystemProduct(const std::string& strRoot, std::vector<Row>& rows)
{
    rows.push_back(Row{ { "Version", DmiValue(strRoot, "product_version") } });
}

void FillBios(const std::string& strRoot, std::vector<Row>& rows)
{
    rows.push_back(Row{ { "SerialNumber", DmiValue(strRoot, "product_serial") },
                        { "SMBIOSBIOSVersion", DmiValue(strRoot, "bios_version") } });
}

void FillOperatingSystem(const std::string& strRoot, std::vector<Row>& rows)
{
    rows.push_back(Row{ { "Caption", OsCaption(strRoot) },
                        { "Version", KernelRelease() },
                        { "CSDVersion", Value::Null() } });  // Linux has no service packs
}

} // namespace

const std::vector<ClassDef>& Classes()
{
    static const std::vector<ClassDef> s_classes = {
        { "Win32_ComputerSystem", { "Model" }, FillComputerSystem },
        { "Win32_ComputerSystemProduct", { "Version" }, FillComputerSystemProduct },
        { "Win32_BIOS", { "SerialNumber", "SMBIOSBIOSVersion" }, FillBios },
        { "Win32_OperatingSystem", { "Caption", "Version", "CSDVersion" }, FillOperatingSystem },
    };
    return s_classes;
}

} // namespace compat_wbem
