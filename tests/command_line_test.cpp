// The real program's command line: which lines write a report, which leave the target alone, and the report's shape.
#include <gtest/gtest.h>

#include "test_util.h"

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

using tavlen_test::LocalStamp;
using tavlen_test::MatchesStampLayout;
using tavlen_test::ReadFileBytes;
using tavlen_test::TempDir;
using tavlen_test::WriteFileBytes;

// Not a report, so that neither a rewrite nor a partial write could go unnoticed.
const std::string kKept("kept as it was\r\nno trailing line break\n\x01\xff", 42);

namespace {

// The program is started the way a user's shell would, so the runtime's own splitting and quoting apply.
DWORD RunTavlen(const std::string& args, const std::string& workDir)
{
    return tavlen_test::RunProcess("\"" + tavlen_test::TavlenExe() + "\" " + args, workDir);
}

// A complete report written between the two stamps: six lines with their keys, each ended once, nothing before,
// between or after them.
::testing::AssertionResult IsReport(const std::string& bytes, const std::string& before, const std::string& after)
{
    const std::string lineEnd = tavlen_test::kReportLineEnd;
    const char* const keys[] = { "", "model=", "number=", "serial=", "bios=", "os=" };
    std::vector<std::string> lines = tavlen_test::SplitReportLines(bytes);
    bool bReport = lines.size() == 6 && bytes.size() >= lineEnd.size() &&
                   bytes.compare(bytes.size() - lineEnd.size(), lineEnd.size(), lineEnd) == 0 &&
                   MatchesStampLayout(lines[0]) && before <= lines[0] && lines[0] <= after;
    for (size_t i = 0; bReport && i < 6; i++)
        bReport = lines[i].find_first_of("\r\n") == std::string::npos && lines[i].find(keys[i]) == 0;
    if (bReport)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "not one report written between " << before << " and " << after << ":\n"
                                         << bytes;
}

// Plain paths go on the command line unquoted, which only holds while they contain no blank.
std::string PlainPath(const TempDir& dir, const std::string& name)
{
    std::string path = dir.File(name);
    EXPECT_EQ(std::string::npos, path.find(' ')) << "temporary folder has a blank: " << path;
    return path;
}

// Written with '/', the first character that begins a switch on this system takes its place.
std::string Switched(const char* pszArgs)
{
    std::string args = pszArgs;
    std::replace(args.begin(), args.end(), '/', AFX_SWITCH_CHARS[0]);
    return args;
}

// Each must end the run before anything is written. K stands for a file that must stay as it was, N for a path
// where nothing may appear, each where a parser that took the line would write: no switch, a path too many, a
// repeated switch, a switch after the path, an unknown switch before the report switch or in its place, and
// switches that only resemble the report switch.
const char* const kRejected[] = {
    "K N", "/f N K", "/f /f N", "/f K /f N", "/x /f N", "/x K", "/fo K", "/ K", "-FF K", "--f K",
};

// A line in Windows' notation, for a code page that maps characters it lacks to look-alikes.
struct LookAlikeLine
{
    UINT nCodePage;
    const char* pszArgs;
    // Below the top folder: the file the line names once each look-alike is taken for the character it resembles,
    // which must stay as it was; or, where the code page holds the line exactly, the file it must write.
    const char* pszFile;
    bool bExact;
};

// Run in the top folder's "work", which has a folder "sub": fullwidth, mathematical and dash forms of the switch
// and of the path's dots, separators and letters, and an ideographic blank, which on Windows, where the runtime
// splits the converted line, splits the path in two. In code page 932 the yen sign stands for '\', the soft
// hyphen for '-' and an accented letter for the plain one.
const LookAlikeLine kLookAlikes[] = {
    { 1252, "/f sub\\．．＼esc.txt", "work\\esc.txt", false },
    { 1252, "/f ．．\\esc.txt", "esc.txt", false },
    { 1252, "/f sub／..／esc.txt", "work\\esc.txt", false },
    { 1252, "/f sub∕..∕esc.txt", "work\\esc.txt", false },
    { 1252, "/f sub⁄..⁄esc.txt", "work\\esc.txt", false },
    { 1252, "/f sub\\ａｄｍｉｎ.txt", "work\\sub\\admin.txt", false },
    { 1252, "/f sub\\Ādmin.txt", "work\\sub\\Admin.txt", false },
    { 1252, "/f sub\\a　b.txt", "work\\sub\\a b.txt", false },
    { 1252, "/ｆ r.txt", "work\\r.txt", false },
    { 1252, "/Ｆ r.txt", "work\\r.txt", false },
    { 1252, "／f r.txt", "work\\r.txt", false },
    { 1252, "∕f r.txt", "work\\r.txt", false },
    { 1252, "⁄f r.txt", "work\\r.txt", false },
    { 1252, "－f r.txt", "work\\r.txt", false },
    { 1252, "‐f r.txt", "work\\r.txt", false },
    { 1252, "‑f r.txt", "work\\r.txt", false },
    { 1252, "−f r.txt", "work\\r.txt", false },
    { 1252, "/f ¥é.txt", "work\\¥é.txt", true },
    { 932, "/f sub¥..¥yen.txt", "work\\yen.txt", false },
    { 932, "/f ..¥yen.txt", "yen.txt", false },
    { 932, "/f sub\\ádmin.txt", "work\\sub\\admin.txt", false },
    { 932, "\xc2\xad" "f r.txt", "work\\r.txt", false },
    // Its second byte is the value of a backslash.
    { 932, "/f 表.txt", "work\\表.txt", true },
};

// Every name in the folders a look-alike path could reach, each with its folder.
std::vector<std::string> Reachable(const TempDir& top)
{
    std::vector<std::string> names;
    for (const char* pszFolder : { "", "work", "work\\sub" })
    {
        std::string folder = *pszFolder != 0 ? top.File(pszFolder) : top.path();
        for (const std::string& name : tavlen_test::ListFolder(folder))
            names.push_back(tavlen_test::JoinPath(folder, name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A look-alike must leave every file as it was and make none; the code page's own characters still name theirs.
// The lines are given in UTF-16, as a caller that names such files does.
void ExpectLookAlikesTouchNothing(UINT nCodePage)
{
    if (tavlen_test::AnsiCodePage() == CP_UTF8)
        GTEST_SKIP() << "the ANSI code page here is UTF-8, which holds every character";
    if (!tavlen_test::IsWine() && tavlen_test::AnsiCodePage() != nCodePage)
        GTEST_SKIP() << "this Windows runs in code page " << tavlen_test::AnsiCodePage();
    // Under Wine the locale gives the code page; one that is not installed leaves Wine's default.
    ASSERT_EQ(nCodePage, tavlen_test::AnsiCodePage()) << "the locale of code page " << nCodePage
                                                      << " is missing: tools/setup.sh all makes it";
    for (const LookAlikeLine& line : kLookAlikes)
    {
        if (line.nCodePage != nCodePage)
            continue;
        SCOPED_TRACE(std::string("arguments: ") + line.pszArgs);
        TempDir top;
        ASSERT_TRUE(::CreateDirectoryA(top.File("work").c_str(), NULL));
        ASSERT_TRUE(::CreateDirectoryA(top.File("work\\sub").c_str(), NULL));
        std::string file = top.File(tavlen_test::Utf16ToAnsi(tavlen_test::Utf8ToUtf16(line.pszFile)));
        if (!line.bExact)
            WriteFileBytes(file, kKept);
        std::vector<std::string> expected = Reachable(top);
        if (line.bExact)
        {
            expected.push_back(file);
            std::sort(expected.begin(), expected.end());
        }

        tavlen_test::WString exe = tavlen_test::AnsiToUtf16("\"" + tavlen_test::TavlenExe() + "\" ");
        EXPECT_EQ(0u, tavlen_test::RunProcess(exe + tavlen_test::Utf8ToUtf16(line.pszArgs), top.File("work")));
        EXPECT_EQ(expected, Reachable(top));
        EXPECT_TRUE(line.bExact || ReadFileBytes(file) == kKept) << "the file it resembles was rewritten";
    }
}

} // namespace

// Without a path the collection runs but has nowhere to go; nothing may appear in the working folder either.
TEST(CommandLine, WithoutPathWritesNothing)
{
    for (const char* pszArgs : { "", "/f" })
    {
        SCOPED_TRACE("arguments: '" + Switched(pszArgs) + "'");
        TempDir work;
        EXPECT_EQ(0u, RunTavlen(Switched(pszArgs), work.path()));
        EXPECT_TRUE(work.List().empty());
    }
}

TEST(CommandLine, AcceptedSwitchWritesReportAtPath)
{
    struct Case { std::string strSwitch; const char* pszName; bool bQuoted, bRelative; };
    // Each switch after every character that begins one on this system.
    std::vector<Case> cases;
    for (const char* pch = AFX_SWITCH_CHARS; *pch != 0; ++pch)
    {
        cases.push_back(Case{ std::string(1, *pch) + "f", "report.txt", false, false });
        cases.push_back(Case{ std::string(1, *pch) + "F", "my report.txt", true, false });
        // Resolved against the working folder, where the temporary file must go too.
        cases.push_back(Case{ std::string(1, *pch) + "F", "report.txt", false, true });
    }
    // No UTF-8, but letters of code pages 1252 and 932: the bytes name the file as they are.
    cases.push_back(Case{ std::string(1, AFX_SWITCH_CHARS[0]) + "f", "r\xb1\xc3.txt", false, false });
    for (const Case& c : cases)
    {
        TempDir work;
        std::string target = work.File(c.pszName);
        std::string arg = c.bQuoted     ? "\"" + target + "\""
                          : c.bRelative ? std::string(c.pszName)
                                        : PlainPath(work, c.pszName);
        std::string args = c.strSwitch + " " + arg;
        SCOPED_TRACE("arguments: " + args);

        std::string before = LocalStamp();
        EXPECT_EQ(0u, RunTavlen(args, work.path()));
        std::string after = LocalStamp();

        ASSERT_TRUE(tavlen_test::FileExists(target));
        EXPECT_TRUE(IsReport(ReadFileBytes(target), before, after));
        // Only the report itself: no temporary file beside it, no name cut at the blank or keeping the quotes.
        EXPECT_EQ(std::vector<std::string>{ c.pszName }, work.List());
    }
}

TEST(CommandLine, RejectedLineTouchesNothing)
{
    for (const char* pszLine : kRejected)
    {
        TempDir work;
        std::string kept = PlainPath(work, "kept.txt"), args;
        WriteFileBytes(kept, kKept);
        for (char ch : Switched(pszLine))
            args += ch == 'K' ? kept : ch == 'N' ? PlainPath(work, "new.txt") : std::string(1, ch);
        SCOPED_TRACE("arguments: " + args);
        EXPECT_EQ(0u, RunTavlen(args, work.path()));
        EXPECT_EQ(kKept, ReadFileBytes(kept));
        EXPECT_EQ(std::vector<std::string>{ "kept.txt" }, work.List());
    }
}

// Wine takes each code page from the locale its test runs in (tests/CMakeLists.txt), and the program inherits it.
TEST(CommandLine, LookAlikesInCodePage1252TouchNothing)
{
    ExpectLookAlikesTouchNothing(1252);
}

TEST(CommandLine, LookAlikesInCodePage932TouchNothing)
{
    ExpectLookAlikesTouchNothing(932);
}
