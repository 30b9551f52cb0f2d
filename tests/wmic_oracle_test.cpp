// The real program's report checked against Wine's own wmic, which reads the same management service independently.
#include <gtest/gtest.h>

#include "test_util.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

bool IsAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char ch) { return (unsigned char)ch < 0x80; });
}

// wmic prints a header line with the property's name, then the first instance's value padded with blanks: Wine 8
// in UTF-16LE with a byte-order mark, Wine 10 in the console's code page, which agrees with ASCII as it stands.
void QueryWmic(const std::string& strClass, const std::string& strProperty, std::string* pValue)
{
    std::string out;
    DWORD dwExit = tavlen_test::RunProcess("wmic path " + strClass + " get " + strProperty, "", &out);
    ASSERT_EQ(0u, dwExit) << "wmic could not be run or failed";
    ASSERT_GE(out.size(), 2u) << "wmic printed nothing";
    std::string text = out;
    if (out.compare(0, 2, "\xff\xfe") == 0)
    {
        ASSERT_EQ(0u, out.size() % 2) << "odd byte count for UTF-16";
        tavlen_test::WString wide;
        for (size_t i = 2; i < out.size(); i += 2)
            wide.push_back((WCHAR)((unsigned char)out[i] | ((unsigned char)out[i + 1] << 8)));
        text = tavlen_test::Utf16ToUtf8(wide);
    }
    std::vector<std::string> lines = tavlen_test::SplitLines(text, "\r\n");
    ASSERT_GE(lines.size(), 2u) << "no instance of " << strClass;
    ASSERT_EQ(strProperty, tavlen_test::Trim(lines[0]));
    *pValue = tavlen_test::Trim(lines[1]);
}

} // namespace

TEST(WmicOracle, ReportAgreesWithWmic)
{
    tavlen_test::TempDir work;
    std::string target = work.File("report.txt");
    ASSERT_EQ(std::string::npos, target.find(' ')) << target;
    ASSERT_EQ(0u, tavlen_test::RunProcess("\"" + tavlen_test::TavlenExe() + "\" /f " + target, work.path()));

    std::vector<std::string> lines = tavlen_test::SplitReportLines(tavlen_test::ReadFileBytes(target));
    ASSERT_EQ(6u, lines.size()) << "no complete report at " << target;

    // The values of the report's first four keys, in their order.
    const char* const plain[][2] = {
        { "Win32_ComputerSystem", "Model" },
        { "Win32_ComputerSystemProduct", "Version" },
        { "Win32_BIOS", "SerialNumber" },
        { "Win32_BIOS", "SMBIOSBIOSVersion" },
    };
    std::vector<std::string> expected;
    for (const auto& p : plain)
    {
        std::string value;
        ASSERT_NO_FATAL_FAILURE(QueryWmic(p[0], p[1], &value)) << p[0] << "." << p[1];
        expected.push_back(value);
    }

    // wmic's padding hides any blanks at the end of each part, so the parts are joined already trimmed.
    std::string caption, version, servicePack;
    ASSERT_NO_FATAL_FAILURE(QueryWmic("Win32_OperatingSystem", "Caption", &caption));
    ASSERT_NO_FATAL_FAILURE(QueryWmic("Win32_OperatingSystem", "Version", &version));
    ASSERT_NO_FATAL_FAILURE(QueryWmic("Win32_OperatingSystem", "CSDVersion", &servicePack));
    std::string os = caption + "   " + version;
    if (!servicePack.empty())
        os += "   " + servicePack;
    expected.push_back(tavlen_test::Trim(os));

    const char* const keys[] = { "model", "number", "serial", "bios", "os" };
    for (int i = 0; i < 5; i++)
    {
        SCOPED_TRACE(keys[i]);
        std::string prefix = std::string(keys[i]) + "=";
        ASSERT_EQ(0u, lines[i + 1].find(prefix)) << lines[i + 1];
        std::string value = lines[i + 1].substr(prefix.size());
        // The report is in the ANSI code page and wmic's text is UTF-16; the two agree byte for byte only on ASCII.
        ASSERT_TRUE(IsAscii(expected[i])) << expected[i];
        ASSERT_TRUE(IsAscii(value)) << value;
        EXPECT_EQ(expected[i], value);
    }
}
