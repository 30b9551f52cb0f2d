// The Linux provider's reading of the host, against fixture trees built under /tmp.
#include <gtest/gtest.h>

#include "provider.h"
#include "test_util.h"

#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using compat_wbem::ClassDef;
using compat_wbem::Row;

namespace {

// A host tree of its own per test, gone with the test.
class Fixture
{
public:
    const std::string& Root() const { return m_strRoot; }

    void Write(const std::string& strPath, const std::string& text) const
    {
        std::filesystem::create_directories(std::filesystem::path(m_strRoot + strPath).parent_path());
        std::ofstream(m_strRoot + strPath, std::ios::binary) << text;
    }
    void Dir(const std::string& strPath) const { std::filesystem::create_directories(m_strRoot + strPath); }
    void Dmi(const std::string& strName, const std::string& text) const { Write("/sys/class/dmi/id/" + strName, text); }

    static constexpr const char* kLocked = "/sys/class/dmi/id/product_serial";

private:
    tavlen_test::TempDir m_dir;
    std::string m_strRoot = m_dir.path();
};

const ClassDef* Find(const std::string& strClass)
{
    for (const ClassDef& def : compat_wbem::Classes())
        if (strClass == def.pszName)
            return &def;
    return nullptr;
}

// The one instance of the class, read from `strRoot`.
Row Fill(const std::string& strClass, const std::string& strRoot)
{
    std::vector<Row> rows;
    const ClassDef* pDef = Find(strClass);
    if (pDef == nullptr)
        return Row();
    pDef->pfnFill(strRoot, rows);
    EXPECT_EQ(rows.size(), 1u) << strClass;
    return rows.empty() ? Row() : rows[0];
}

// The property as text, or kNull; a property the fill leaves out reads as null, as the service reads it.
const std::string kNull("\0null", 5);
std::string Get(const std::string& strClass, const char* pszColumn, const std::string& strRoot)
{
    Row row = Fill(strClass, strRoot);
    Row::const_iterator it = row.find(pszColumn);
    return it == row.end() || it->second.bNull ? kNull : it->second.text;
}

std::string Caption(const Fixture& fx) { return Get("Win32_OperatingSystem", "Caption", fx.Root()); }

} // namespace

TEST(LinuxProvider, ClassesHaveTheirColumnsAndOneRowEvenOnAnEmptyHost)
{
    const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
        { "Win32_ComputerSystem", { "Model" } },
        { "Win32_ComputerSystemProduct", { "Version" } },
        { "Win32_BIOS", { "SerialNumber", "SMBIOSBIOSVersion" } },
        { "Win32_OperatingSystem", { "Caption", "Version", "CSDVersion" } },
    };
    ASSERT_EQ(compat_wbem::Classes().size(), expected.size());
    Fixture fx;
    for (const auto& cls : expected)
    {
        SCOPED_TRACE(cls.first);
        const ClassDef* pDef = Find(cls.first);
        ASSERT_NE(pDef, nullptr);
        EXPECT_EQ(std::vector<std::string>(pDef->columns.begin(), pDef->columns.end()), cls.second);
        for (const auto& property : Fill(cls.first, fx.Root()))
            EXPECT_NE(std::find(cls.second.begin(), cls.second.end(), property.first), cls.second.end()) << property.first;
    }
}

TEST(LinuxProvider, DmiValuesLoseOnlyTheirOneLineEnd)
{
    Fixture fx;
    fx.Dmi("product_name", "ThinkPad X1 Carbon\n");
    fx.Dmi("product_version", "ThinkPad X1 Carbon Gen 9   \n");
    fx.Dmi("product_serial", "  PF2ABCDE\n\n");
    fx.Dmi("bios_version", "N32ET75W (1.51 )");
    fx.Write("/sys/firmware/devicetree/base/model", std::string("Not this one", 13));
    EXPECT_EQ(Get("Win32_ComputerSystem", "Model", fx.Root()), "ThinkPad X1 Carbon");
    EXPECT_EQ(Get("Win32_ComputerSystemProduct", "Version", fx.Root()), "ThinkPad X1 Carbon Gen 9   ");
    EXPECT_EQ(Get("Win32_BIOS", "SerialNumber", fx.Root()), "  PF2ABCDE\n");
    EXPECT_EQ(Get("Win32_BIOS", "SMBIOSBIOSVersion", fx.Root()), "N32ET75W (1.51 )");

    fx.Dmi("product_name", "\n");
    EXPECT_EQ(Get("Win32_ComputerSystem", "Model", fx.Root() + "/"), "");
}

// Only regular files are read: a device never ends, and a pipe without a writer would block for ever.
TEST(LinuxProvider, DmiMissingOrNotARegularFileIsNull)
{
    Fixture fx;
    fx.Dir("/sys/class/dmi/id/bios_version");  // opens, but does not read, whoever the test runs as
    std::filesystem::create_symlink("/dev/zero", fx.Root() + "/sys/class/dmi/id/product_version");
    ASSERT_EQ(mkfifo((fx.Root() + Fixture::kLocked).c_str(), 0600), 0);
    for (const auto& property : { std::make_pair("Win32_ComputerSystem", "Model"),
                                  std::make_pair("Win32_ComputerSystemProduct", "Version"),
                                  std::make_pair("Win32_BIOS", "SerialNumber"),
                                  std::make_pair("Win32_BIOS", "SMBIOSBIOSVersion") })
        EXPECT_EQ(Get(property.first, property.second, fx.Root()), kNull) << property.second;
}

TEST(LinuxProvider, HostFilesAreReadUpTo64KiB)
{
    Fixture fx;
    fx.Dmi("product_name", std::string(100 * 1024, 'm') + "\n");
    EXPECT_EQ(Get("Win32_ComputerSystem", "Model", fx.Root()), std::string(64 * 1024, 'm'));
    fx.Write("/etc/os-release", "PRETTY_NAME=" + std::string(100 * 1024, 'p') + "\n");
    EXPECT_EQ(Caption(fx), std::string(64 * 1024 - 12, 'p'));
}

TEST(LinuxProvider, SerialOnlyRootMayReadIsNull)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads a file of mode 000";
    Fixture fx;
    fx.Dmi("product_serial", "PF2ABCDE\n");
    ASSERT_EQ(chmod((fx.Root() + Fixture::kLocked).c_str(), 0), 0);
    EXPECT_EQ(Get("Win32_BIOS", "SerialNumber", fx.Root()), kNull);
}

TEST(LinuxProvider, DeviceTreeNamesTheModelWhereDmiCannot)
{
    Fixture fx;
    fx.Write("/sys/firmware/devicetree/base/model", std::string("Raspberry Pi 4 Model B Rev 1.4\0", 31));
    EXPECT_EQ(Get("Win32_ComputerSystem", "Model", fx.Root()), "Raspberry Pi 4 Model B Rev 1.4");
    fx.Dir("/sys/class/dmi/id/product_name");
    EXPECT_EQ(Get("Win32_ComputerSystem", "Model", fx.Root()), "Raspberry Pi 4 Model B Rev 1.4");
    EXPECT_EQ(Get("Win32_ComputerSystemProduct", "Version", fx.Root()), kNull);
}

TEST(LinuxProvider, OsReleaseFallsBackWholeFileNeverFieldByField)
{
    Fixture fx;
    EXPECT_EQ(Caption(fx), "Linux");
    fx.Write("/usr/lib/os-release", "NAME=Vendor\nPRETTY_NAME=\"Vendor OS 1\"\n");
    EXPECT_EQ(Caption(fx), "Vendor OS 1");
    fx.Dir("/etc/os-release");
    EXPECT_EQ(Caption(fx), "Vendor OS 1");
    std::filesystem::remove(fx.Root() + "/etc/os-release");
    ASSERT_EQ(mkfifo((fx.Root() + "/etc/os-release").c_str(), 0600), 0) << "a pipe that no one writes";
    EXPECT_EQ(Caption(fx), "Vendor OS 1");
    std::filesystem::remove(fx.Root() + "/etc/os-release");
    fx.Write("/etc/os-release", "NAME=\"Local\"\nID=local\n");
    EXPECT_EQ(Caption(fx), "Local");
    fx.Write("/etc/os-release", "ID=local\n");
    EXPECT_EQ(Caption(fx), "Linux");
    fx.Write("/etc/os-release", "");
    EXPECT_EQ(Caption(fx), "Linux");
}

TEST(LinuxProvider, OsReleaseQuotingIsTheShells)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        { "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"", "Debian GNU/Linux 12 (bookworm)" },
        { "PRETTY_NAME='Single \"quoted\" \\$x'", "Single \"quoted\" \\$x" },
        { "PRETTY_NAME=\"a \\\"q\\\" \\\\ \\$ \\` \\n\"", "a \"q\" \\ $ ` \\n" },
        { "PRETTY_NAME=Plain\\ Name\\'s", "Plain Name's" },
        { "PRETTY_NAME=\"Deb\"ian' 12'\\!", "Debian 12!" },
        { "PRETTY_NAME=Arch # rolling", "Arch" },
        { "PRETTY_NAME=\"Fedora\"\r", "Fedora" },
        { "#PRETTY_NAME=Commented\n\nNOT_PRETTY_NAME=Other\nPRETTY_NAME_X=Longer\n  PRETTY_NAME=Indented", "Indented" },
        { "PRETTY_NAME=First\nPRETTY_NAME=Last", "Last" },
        { "NAME='Only Name'\nPRETTY_NAME=\"\"", "Only Name" },
    };
    Fixture fx;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.first);
        fx.Write("/etc/os-release", "ID=x\n" + c.first + "\nVERSION_ID=1\n");
        EXPECT_EQ(Caption(fx), c.second);
    }
}

TEST(LinuxProvider, VersionIsTheKernelReleaseAndThereIsNoServicePack)
{
    struct utsname name;
    ASSERT_EQ(uname(&name), 0);
    Fixture fx;
    EXPECT_EQ(Get("Win32_OperatingSystem", "Version", fx.Root()), name.release);
    EXPECT_EQ(Get("Win32_OperatingSystem", "CSDVersion", fx.Root()), kNull);
}
