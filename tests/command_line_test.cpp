// The real program's command line: which lines write a report, which leave the target alone, and the report's shape.
#include <gtest/gtest.h>

#include "test_util.h"

#include <stdio.h>

#include <string>
#include <vector>

using tavlen_test::LocalStamp;
using tavlen_test::MatchesStampLayout;
using tavlen_test::ReadFileBytes;
using tavlen_test::TempDir;
using tavlen_test::WriteFileBytes;

namespace {

// The program is started the way a user's shell would, so the runtime's own splitting and quoting apply.
DWORD RunTavlen(const std::string& args, const std::string& workDir)
{
    return tavlen_test::RunProcess("\"" + tavlen_test::TavlenExe() + "\" " + args, workDir);
}

// A complete report written between the two stamps: six lines, nothing before, between or after them.
void ExpectReport(const std::string& bytes, const std::string& before, const std::string& after)
{
    const std::string lineEnd = tavlen_test::kReportLineEnd;
    std::vector<std::string> lines = tavlen_test::SplitReportLines(bytes);
    ASSERT_EQ(6u, lines.size()) << bytes;
    ASSERT_GE(bytes.size(), lineEnd.size());
    EXPECT_EQ(lineEnd, bytes.substr(bytes.size() - lineEnd.size())) << "last line is not terminated";
    for (const std::string& line : lines)
        EXPECT_EQ(std::string::npos, line.find_first_of("\r\n")) << "stray line break in: " << line;

    EXPECT_TRUE(MatchesStampLayout(lines[0])) << lines[0];
    EXPECT_LE(before, lines[0]);
    EXPECT_GE(after, lines[0]);

    const char* const keys[] = { "model=", "number=", "serial=", "bios=", "os=" };
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(0u, lines[i + 1].find(keys[i])) << "line " << i + 2 << ": " << lines[i + 1];
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
    for (char& ch : args)
        if (ch == '/')
            ch = AFX_SWITCH_CHARS[0];
    return args;
}

struct RejectedLine
{
    const char* pszBefore;
    const char* pszAfter;
};

// Placed around one path, each of these must end the run before anything is written: a misplaced, repeated,
// extra or unknown argument, and switches that only resemble the report switch.
const RejectedLine kRejected[] = {
    { "", "" },
    { "/f ", " extra" },
    { "/f /f ", "" },
    { "/f ", " /f" },
    { "/x ", "" },
    { "/fo ", "" },
    { "/ ", "" },
    { "-FF ", "" },
    { "--f ", "" },
};

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
    struct Case
    {
        std::string strSwitch;
        const char* pszName;
        bool bQuoted;
        bool bRelative;
    };
    // Each switch after every character that begins one on this system.
    std::vector<Case> cases;
    for (const char* pch = AFX_SWITCH_CHARS; *pch != 0; ++pch)
    {
        cases.push_back(Case{ std::string(1, *pch) + "f", "report.txt", false, false });
        cases.push_back(Case{ std::string(1, *pch) + "F", "my report.txt", true, false });
        // Resolved against the working folder, where the temporary file must go too.
        cases.push_back(Case{ std::string(1, *pch) + "F", "report.txt", false, true });
    }
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
        ExpectReport(ReadFileBytes(target), before, after);
        // Only the report itself: no temporary file beside it, no name cut at the blank or keeping the quotes.
        EXPECT_EQ(std::vector<std::string>{ c.pszName }, work.List());
    }
}

TEST(CommandLine, RejectedLineCreatesNoFile)
{
    for (const RejectedLine& line : kRejected)
    {
        TempDir work;
        std::string args = Switched(line.pszBefore) + PlainPath(work, "report.txt") + Switched(line.pszAfter);
        SCOPED_TRACE("arguments: " + args);
        EXPECT_EQ(0u, RunTavlen(args, work.path()));
        EXPECT_TRUE(work.List().empty());
    }
}

TEST(CommandLine, RejectedLineKeepsExistingFile)
{
    // Not a report, so that neither a rewrite nor a partial write could go unnoticed.
    const std::string kept("kept as it was\r\nno trailing line break\n\x01\xff", 42);
    for (const RejectedLine& line : kRejected)
    {
        TempDir work;
        std::string target = PlainPath(work, "report.txt");
        WriteFileBytes(target, kept);
        std::string args = Switched(line.pszBefore) + target + Switched(line.pszAfter);
        SCOPED_TRACE("arguments: " + args);
        EXPECT_EQ(0u, RunTavlen(args, work.path()));
        EXPECT_EQ(kept, ReadFileBytes(target));
        EXPECT_EQ(std::vector<std::string>{ "report.txt" }, work.List());
    }
}
