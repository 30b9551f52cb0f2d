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
using tavlen_test::ReadFileBytesUtf8;
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
    // Below the top folder, NULL for none: the file the line names once each look-alike is taken for the character
    // it resembles, which must stay as it was; and the file of exactly the line's own name, which it must write.
    const char* pszKept;
    const char* pszWritten;
};

// Run in the top folder's "work", which has a folder "sub": fullwidth, mathematical and dash forms of the switch
// and of the path's dots, separators and letters, an ideographic blank, and names the code page lacks. In the
// switch a look-alike rejects the line; in the path it is just a character of the file's name, and the UTF-16
// line is split at real blanks only. In code page 932 the yen sign stands for '\', the soft hyphen for '-' and
// an accented letter for the plain one. A line that writes a name the code page lacks was rejected while the path
// went through the ANSI code page, as the name did not convert back.
const LookAlikeLine kLookAlikes[] = {
    { 1252, "/f sub\\．．＼esc.txt", "work\\esc.txt", "work\\sub\\．．＼esc.txt" },
    // No folder "．．" is there.
    { 1252, "/f ．．\\esc.txt", "esc.txt", NULL },
    { 1252, "/f sub／..／esc.txt", "work\\esc.txt", "work\\sub／..／esc.txt" },
    { 1252, "/f sub∕..∕esc.txt", "work\\esc.txt", "work\\sub∕..∕esc.txt" },
    { 1252, "/f sub⁄..⁄esc.txt", "work\\esc.txt", "work\\sub⁄..⁄esc.txt" },
    { 1252, "/f sub\\ａｄｍｉｎ.txt", "work\\sub\\admin.txt", "work\\sub\\ａｄｍｉｎ.txt" },
    { 1252, "/f sub\\Ādmin.txt", "work\\sub\\Admin.txt", "work\\sub\\Ādmin.txt" },
    { 1252, "/f sub\\a　b.txt", "work\\sub\\a b.txt", "work\\sub\\a　b.txt" },
    { 1252, "/ｆ r.txt", "work\\r.txt", NULL },
    { 1252, "/Ｆ r.txt", "work\\r.txt", NULL },
    { 1252, "／f r.txt", "work\\r.txt", NULL },
    { 1252, "∕f r.txt", "work\\r.txt", NULL },
    { 1252, "⁄f r.txt", "work\\r.txt", NULL },
    { 1252, "－f r.txt", "work\\r.txt", NULL },
    { 1252, "‐f r.txt", "work\\r.txt", NULL },
    { 1252, "‑f r.txt", "work\\r.txt", NULL },
    { 1252, "−f r.txt", "work\\r.txt", NULL },
    { 1252, "/f ¥é.txt", NULL, "work\\¥é.txt" },
    { 1252, "/f 山田.txt", NULL, "work\\山田.txt" },
    { 1252, "/f \"Şahin Łukasz.txt\"", "work\\Sahin Lukasz.txt", "work\\Şahin Łukasz.txt" },
    { 932, "/f sub¥..¥yen.txt", "work\\yen.txt", "work\\sub¥..¥yen.txt" },
    { 932, "/f ..¥yen.txt", "yen.txt", "work\\..¥yen.txt" },
    { 932, "/f sub\\ádmin.txt", "work\\sub\\admin.txt", "work\\sub\\ádmin.txt" },
    { 932, "\xc2\xad" "f r.txt", "work\\r.txt", NULL },
    // Its second byte is the value of a backslash.
    { 932, "/f 表.txt", NULL, "work\\表.txt" },
    { 932, "/f \"Şahin Łukasz.txt\"", NULL, "work\\Şahin Łukasz.txt" },
};

// Every name in the folders a look-alike path could reach, each with its folder, in UTF-8.
std::vector<std::string> Reachable(const std::string& top)
{
    std::vector<std::string> names;
    for (const char* pszFolder : { "", "work", "work\\sub" })
    {
        std::string folder = *pszFolder != 0 ? tavlen_test::JoinPath(top, pszFolder) : top;
        for (const std::string& name : tavlen_test::ListFolderUtf8(folder))
            names.push_back(tavlen_test::JoinPath(folder, name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A look-alike must leave the file it resembles as it was, and a line write only the file of its own name. The
// lines are given in UTF-16, as a caller that names such files does.
void ExpectLookAlikesNameOnlyTheirOwnFile(UINT nCodePage)
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
        const std::string topUtf8 = tavlen_test::AnsiToUtf8(top.path());
        ASSERT_TRUE(::CreateDirectoryA(top.File("work").c_str(), NULL));
        ASSERT_TRUE(::CreateDirectoryA(top.File("work\\sub").c_str(), NULL));
        std::string kept = line.pszKept != NULL ? tavlen_test::JoinPath(topUtf8, line.pszKept) : std::string();
        std::string written = line.pszWritten != NULL ? tavlen_test::JoinPath(topUtf8, line.pszWritten) : std::string();
        if (!kept.empty())
            tavlen_test::WriteFileBytesUtf8(kept, kKept);
        std::vector<std::string> expected = Reachable(topUtf8);
        if (!written.empty())
        {
            expected.push_back(written);
            std::sort(expected.begin(), expected.end());
        }

        tavlen_test::WString exe = tavlen_test::AnsiToUtf16("\"" + tavlen_test::TavlenExe() + "\" ");
        std::string before = LocalStamp();
        EXPECT_EQ(0u, tavlen_test::RunProcess(exe + tavlen_test::Utf8ToUtf16(line.pszArgs), top.File("work")));
        std::string after = LocalStamp();
        EXPECT_EQ(expected, Reachable(topUtf8));
        EXPECT_TRUE(kept.empty() || ReadFileBytesUtf8(kept) == kKept) << "the look-alike's file was rewritten";
        if (!written.empty())
        {
            EXPECT_TRUE(IsReport(ReadFileBytesUtf8(written), before, after));
        }
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
TEST(CommandLine, LookAlikesInCodePage1252NameOnlyTheirOwnFile)
{
    ExpectLookAlikesNameOnlyTheirOwnFile(1252);
}

TEST(CommandLine, LookAlikesInCodePage932NameOnlyTheirOwnFile)
{
    ExpectLookAlikesNameOnlyTheirOwnFile(932);
}
