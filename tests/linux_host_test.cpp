// The native program on this Linux host: its report against the host's own tools, and the client over fixtures.
#include <gtest/gtest.h>

#include "wmi/WmiClient.h"
#include "compat/wbem_probe.h"
#include "fake_wbem.h"
#include "test_util.h"

#include <sys/stat.h>
#include <sys/utsname.h>

#include <filesystem>
#include <string>
#include <vector>

using tavlen_test::TempDir;

namespace {

// What sh and the host's own tools say, trimmed as the collector trims.
std::string Oracle(const std::string& script)
{
    std::string out;
    tavlen_test::RunProcess("sh -c '" + script + "'", "", &out);
    return tavlen_test::Trim(out);
}

void WriteTree(const std::string& root, const std::string& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(root + path).parent_path());
    tavlen_test::WriteFileBytes(root + path, bytes);
}

} // namespace

TEST(LinuxHost, ReportDescribesThisHost)
{
    TempDir work;
    std::string target = work.File("report.txt");
    ASSERT_EQ(0u, tavlen_test::RunProcess("\"" + tavlen_test::TavlenExe() + "\" -f " + target, work.path()));
    std::vector<std::string> lines = tavlen_test::SplitReportLines(tavlen_test::ReadFileBytes(target));
    ASSERT_EQ(6u, lines.size());

    const std::string dmi = "/sys/class/dmi/id/";
    std::string model = Oracle("cat " + dmi + "product_name 2>/dev/null || tr -d \"\\\\000\" "
                               "< /sys/firmware/devicetree/base/model 2>/dev/null");
    EXPECT_EQ("model=" + model, lines[1]);
    EXPECT_EQ("number=" + Oracle("cat " + dmi + "product_version 2>/dev/null"), lines[2]);
    EXPECT_EQ("serial=" + Oracle("cat " + dmi + "product_serial 2>/dev/null"), lines[3]);
    EXPECT_EQ("bios=" + Oracle("cat " + dmi + "bios_version 2>/dev/null"), lines[4]);

    // The shell reads os-release as the format defines it: it is shell syntax.
    std::string prettyName = Oracle("if [ -r /etc/os-release ]; then . /etc/os-release; "
                                    "elif [ -r /usr/lib/os-release ]; then . /usr/lib/os-release; fi; "
                                    "printf %s \"${PRETTY_NAME:-${NAME:-Linux}}\"");
    EXPECT_EQ("os=" + prettyName + "   " + Oracle("uname -r"), lines[5]);
}

TEST(LinuxHost, SlashIsNoSwitchHere)
{
    TempDir work;
    std::string target = work.File("report.txt");
    EXPECT_EQ(0u, tavlen_test::RunProcess("\"" + tavlen_test::TavlenExe() + "\" /f " + target, work.path()));
    EXPECT_TRUE(work.List().empty()) << "'/f' is a path before the switch, which rejects the line";
}

TEST(LinuxHost, ClientReadsAFixtureMachineOncePerConnectionAndReleasesEverything)
{
    TempDir root;
    WriteTree(root.path(), "/sys/class/dmi/id/product_name", "Model 7 \n");
    WriteTree(root.path(), "/sys/class/dmi/id/bios_version", "1.2.3\n");
    WriteTree(root.path(), "/usr/lib/os-release", "NAME=Example\nPRETTY_NAME=\"Example \\\"Linux\\\"\"\n");
    compat_wbem_set_root(root.path().c_str());
    fake_wbem::AllocationSpy::Install();
    long nBlocksBefore = fake_wbem::AllocationSpy::Live();
    struct utsname host;
    ASSERT_EQ(0, uname(&host));
    {
        CWmiClient client;
        ASSERT_TRUE(client.Open());
        CString model, number("old"), serial("old"), bios, os;
        EXPECT_EQ(0, client.GetModel(model));
        EXPECT_STREQ("Model 7 ", model) << "only the line end goes; the collector trims";
        EXPECT_EQ(0, client.GetProductVersion(number));
        EXPECT_TRUE(number.IsEmpty()) << "a missing source reads as null, which is empty text";
        EXPECT_EQ(0, client.GetSerialNumber(serial));
        EXPECT_TRUE(serial.IsEmpty());
        EXPECT_EQ(0, client.GetBiosVersion(bios));
        EXPECT_STREQ("1.2.3", bios);
        EXPECT_EQ(0, client.GetOsDescription(os));
        EXPECT_EQ("Example \"Linux\"   " + std::string(host.release), std::string(os));
        EXPECT_EQ(1, compat_wbem_live_objects()) << "only the connection is held";

        // A connection reads the host once; only a new one sees what changed since.
        WriteTree(root.path(), "/sys/class/dmi/id/bios_version", "2.0\n");
        EXPECT_EQ(0, client.GetBiosVersion(bios));
        EXPECT_STREQ("1.2.3", bios);
        EXPECT_EQ(0, client.Connect());
        EXPECT_EQ(0, client.GetBiosVersion(bios));
        EXPECT_STREQ("2.0", bios);
    }
    EXPECT_EQ(0, compat_wbem_live_objects());
    EXPECT_EQ(nBlocksBefore, fake_wbem::AllocationSpy::Live()) << "every BSTR made was freed";
    compat_wbem_set_root("/");
}
