// The collector dialog's run against a stand-in service: what the report holds, and when it is not written.
#include <gtest/gtest.h>

#include "collector/InventoryDlg.h"
#include "collector/ReportFile.h"
#include "collector/RunDeadline.h"
#include "collector/SafeReplace.h"
#include "fake_wbem.h"
#include "test_util.h"

#include <algorithm>
#include <atomic>
#include <thread>

using fake_wbem::Value;
using tavlen_test::ReadFileBytes;
using tavlen_test::TempDir;
typedef std::vector<std::string> Lines;

// Not a report, so that a run that kept it is told from one that wrote.
const std::string kOld = "old report\r\n";

namespace {

class ReportTest : public ::testing::Test
{
protected:
    void SetUp() override { fake_wbem::FillTypicalMachine(fake_wbem::Install()); }
    void TearDown() override { fake_wbem::Uninstall(); }

    fake_wbem::Service& Service() { return fake_wbem::Current(); }

    // One whole run of the collector dialog, as the application starts it.
    INT_PTR RunCollector(const std::string& path)
    {
        CInventoryDlg dlg;
        dlg.m_strReportPath = path.c_str();
        INT_PTR nResult = dlg.DoModal();
        EXPECT_EQ(fake_wbem::LiveObjects(), 0);
        return nResult;
    }

    Lines ReportLines(const std::string& path)
    {
        return tavlen_test::SplitReportLines(ReadFileBytes(path));
    }

    // The five value lines of a whole run's report, after its time stamp.
    Lines CollectValues()
    {
        RunCollector(m_path);
        Lines lines = ReportLines(m_path);
        EXPECT_TRUE(lines.size() == 6 && tavlen_test::MatchesStampLayout(lines[0])) << ReadFileBytes(m_path);
        return lines.size() == 6 ? Lines(lines.begin() + 1, lines.end()) : lines;
    }

    // A report of fixed values, written as a run writes it once they are read: a process has one run.
    static void WriteReport(const std::string& path)
    {
        CInventoryDlg dlg;
        dlg.m_strReportPath = path.c_str();
        dlg.m_strModel = "Model 7";
        dlg.WriteReport();
    }

    // The report whole under the name in the folder, a path in UTF-8, and no temporary file left beside it.
    ::testing::AssertionResult IsWholeReportAlone(const std::string& folder, const std::string& name)
    {
        std::string bytes = tavlen_test::ReadFileBytesUtf8(tavlen_test::JoinPath(folder, name));
        Lines lines = tavlen_test::SplitReportLines(bytes);
        if (lines.size() != 6 || !tavlen_test::MatchesStampLayout(lines[0]))
            return ::testing::AssertionFailure() << tavlen_test::JoinPath(folder, name) << " holds: " << bytes;
        for (const std::string& entry : tavlen_test::ListFolderUtf8(folder))
            if (entry.compare(0, 8, "~tavlen-") == 0)
                return ::testing::AssertionFailure() << "left behind: " << entry;
        return ::testing::AssertionSuccess();
    }

    TempDir m_dir;
    // Where a run writes its report, unless a test names another path.
    const std::string m_path = m_dir.File("report.txt");
    // The folder in UTF-8, for the helpers that take names the ANSI code page lacks.
    const std::string m_dirUtf8 = tavlen_test::AnsiToUtf8(m_dir.path());
};

} // namespace

TEST_F(ReportTest, ReportHoldsTheLocalTimeAndTheFiveValuesInOrder)
{
    std::string before = tavlen_test::LocalStamp();
    EXPECT_EQ(RunCollector(m_path), IDCANCEL) << "the queued close ends the dialog";
    std::string after = tavlen_test::LocalStamp();

    std::string bytes = ReadFileBytes(m_path);
    Lines lines = tavlen_test::SplitReportLines(bytes);
    ASSERT_EQ(lines.size(), 6u) << bytes;
    const std::string lineEnd = tavlen_test::kReportLineEnd;
    ASSERT_GE(bytes.size(), lineEnd.size() + 1);
    EXPECT_EQ(bytes.substr(bytes.size() - lineEnd.size()), lineEnd);
    if (lineEnd == "\n")
    {
        EXPECT_EQ(bytes.find('\r'), std::string::npos) << "a text file here has bare line feeds";
    }
    EXPECT_TRUE(tavlen_test::MatchesStampLayout(lines[0])) << lines[0];
    EXPECT_LE(before, lines[0]);
    EXPECT_GE(after, lines[0]);
    EXPECT_EQ(Lines(lines.begin() + 1, lines.end()), (Lines{ "model=Model 7", "number=Rev B", "serial=SN-0042",
                                                             "bios=BIOS 2.1", "os=Example OS   10.0.19045" }));
    EXPECT_EQ(m_dir.List(), std::vector<std::string>{ "report.txt" }) << "no temporary file is left";
}

TEST(ReportTime, EveryFieldButTheYearHasTwoDigitsAtLeast)
{
    const struct { SYSTEMTIME st; const char* pszLine; } cases[] = {
        { { 2003, 2, 1, 3, 9, 5, 7, 0 }, "2003/02/03 09:05:07\n" },
        { { 987, 12, 0, 31, 23, 59, 59, 999 }, "987/12/31 23:59:59\n" },
        { { 65535, 0, 0, 0, 0, 0, 0, 0 }, "65535/00/00 00:00:00\n" },
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.pszLine, FormatReportTime(c.st));
}

TEST_F(ReportTest, ValuesAreTrimmedAtTheirEndsOnly)
{
    Service().Set("Win32_ComputerSystem", "Model", Value::Text(" \t Model  7 \r\n"));
    Service().Set("Win32_ComputerSystemProduct", "Version", Value::Text("\v\fRev B\f\v"));
    Service().Set("Win32_OperatingSystem", "Caption", Value::Text("  Example OS"));
    Service().Set("Win32_OperatingSystem", "CSDVersion", Value::Text("Service Pack 2\t"));
    EXPECT_EQ(CollectValues(), (Lines{ "model=Model  7", "number=Rev B", "serial=SN-0042", "bios=BIOS 2.1",
                                      "os=Example OS   10.0.19045   Service Pack 2" }));
}

TEST_F(ReportTest, ValuesThatCouldNotBeReadOrAreEmptyLeaveJustTheKey)
{
    Service().classes.erase("Win32_ComputerSystem");
    Service().Set("Win32_ComputerSystemProduct", "Version", Value::Text("   "));
    Service().Set("Win32_BIOS", "SerialNumber", Value::Null());
    Service().hrEnumerate["Win32_BIOS"] = WBEM_E_ACCESS_DENIED;
    Service().Set("Win32_OperatingSystem", "Version", Value::Text(""));
    EXPECT_EQ(CollectValues(), (Lines{ "model=", "number=", "serial=", "bios=", "os=" }));
}

TEST_F(ReportTest, LongValuesAreWrittenWhole)
{
    std::string longSerial(300, 'S');
    longSerial[0] = 'A';
    longSerial[299] = 'Z';
    std::string longOs(5000, 'o');
    Service().Set("Win32_BIOS", "SerialNumber", Value::Text(longSerial));
    Service().Set("Win32_OperatingSystem", "Caption", Value::Text(longOs));
    EXPECT_EQ(CollectValues(), (Lines{ "model=Model 7", "number=Rev B", "serial=" + longSerial, "bios=BIOS 2.1",
                                      "os=" + longOs + "   10.0.19045" }));
}

// Whatever a reader takes for a line end, and whatever a terminal takes for a command, is a blank: CR, LF,
// VT, FF, NEL and the Unicode separators, the other control characters and DEL. Tabs stay. They are blanks
// before the value is trimmed, so none leaves a blank at either end.
TEST_F(ReportTest, NoCharacterInsideAValueCanEndALineOrCommandATerminal)
{
    Service().Set("Win32_ComputerSystem", "Model", Value::Text("first\nserial=forged; sixteen clean bytes\x1B" "and\x7F"));
    Service().Set("Win32_ComputerSystemProduct", "Version",
                  Value::Text("\xC2\x85" "a\xC2\x85serial=X\xE2\x80\xA8y\xE2\x80\xA9z\xE2\x80\xA9"));
    Service().Set("Win32_BIOS", "SerialNumber", Value::Text("\x1B[31mred\x7F\x1C\x1D\x1E\xC2\x9B" "0m\tend"));
    Service().Set("Win32_BIOS", "SMBIOSBIOSVersion", Value::Text("  \t \x01" "a\r\nb\rc\vd\fe\x01" "f\x1A"));
    Service().Set("Win32_OperatingSystem", "CSDVersion", Value::Text("\x07"));
    EXPECT_EQ(CollectValues(), (Lines{ "model=first serial=forged; sixteen clean bytes and", "number=a serial=X y z",
                                      "serial=[31mred     0m\tend", "bios=a  b c d e f",
                                      "os=Example OS   10.0.19045" }));
}

// The whole run ends by its deadline, shortened here, whichever call of the service stalls: a value that has not
// come by then is empty, a connection that has not writes nothing, and an answer that comes in time is there. The
// watchdog writes what a stalled run could not and ends the process; here it only notes when.
TEST_F(ReportTest, AStalledServiceEndsTheRunByItsDeadline)
{
    const DWORD kDeadline = 1000, kStall = 3000;
    const struct { const char* pszCall; const char* pszClass; DWORD nDelay; int nValues; } stalls[] = {
        { "connect", "", kStall, -1 },
        { "enumerate", "Win32_BIOS", kStall, 2 },
        { "next", "Win32_OperatingSystem", kStall, 4 },
        { "enumerate", "Win32_BIOS", 200, 5 },
    };
    const Lines all = { "model=Model 7", "number=Rev B", "serial=SN-0042", "bios=BIOS 2.1",
                        "os=Example OS   10.0.19045" };
    static DWORD s_dwEnded;
    CRunDeadline::s_pfnEndProcess = [] { s_dwEnded = ::GetTickCount(); };
    for (const auto& stall : stalls)
    {
        SCOPED_TRACE(std::string(stall.pszCall) + " " + stall.pszClass + " takes " + std::to_string(stall.nDelay));
        fake_wbem::Service& service = fake_wbem::Install();
        fake_wbem::FillTypicalMachine(service);
        if (std::string(stall.pszCall) == "connect")
            service.connectDelay = stall.nDelay;
        else
            (std::string(stall.pszCall) == "next" ? service.nextDelay : service.enumerateDelay)[stall.pszClass] =
                stall.nDelay;
        tavlen_test::WriteFileBytes(m_path, kOld);
        s_dwEnded = 0;
        DWORD dwStart = ::GetTickCount();
        CInventoryDlg dlg;
        dlg.m_strReportPath = m_path.c_str();
        dlg.m_nRunDeadline = kDeadline;
        dlg.DoModal();
        DWORD dwEnded = s_dwEnded != 0 ? s_dwEnded : ::GetTickCount();
        EXPECT_LT(dwEnded - dwStart, kDeadline + 500) << "the run ended in time";
        if (stall.nValues < 0)
        {
            EXPECT_EQ(kOld, ReadFileBytes(m_path));
            EXPECT_EQ(std::vector<std::string>{ "report.txt" }, m_dir.List());
            continue;
        }
        Lines expected = all;
        for (size_t i = stall.nValues; i < expected.size(); i++)
            expected[i] = expected[i].substr(0, expected[i].find('=') + 1);
        EXPECT_TRUE(IsWholeReportAlone(m_dir.path(), "report.txt"));
        Lines lines = ReportLines(m_path);
        EXPECT_EQ(expected, Lines(lines.begin() + std::min<size_t>(1, lines.size()), lines.end()));
    }
}

TEST_F(ReportTest, AnEmptyPathOrAMissingFolderWritesNothing)
{
    {
        CInventoryDlg dlg;
        EXPECT_EQ(dlg.WriteReport(), -1);
    }
    RunCollector("");
    EXPECT_EQ(Service().enumerated.size(), 7u) << "the values are still read";
    EXPECT_TRUE(m_dir.List().empty());

    CInventoryDlg dlg;
    dlg.m_strReportPath = tavlen_test::JoinPath(m_dir.File("missing"), "report.txt").c_str();
    EXPECT_EQ(dlg.WriteReport(), 0) << "an attempt was made";
    EXPECT_TRUE(m_dir.List().empty());
}

TEST_F(ReportTest, AFailedWriteLeavesTheOldReportIntact)
{
    const std::string old = "2001/01/01 00:00:00\r\nmodel=old\r\n";
    tavlen_test::WriteFileBytes(m_path, old);
    // Held open without sharing, the old report can be neither replaced nor rewritten.
    void* pLock = tavlen_test::LockExclusively(m_path);
    ASSERT_NE(pLock, nullptr);
    RunCollector(m_path);
    tavlen_test::Unlock(pLock);

    EXPECT_EQ(ReadFileBytes(m_path), old);
    // Wine's ReplaceFile leaves a file of its own behind on this failure; ours must be gone.
    for (const std::string& name : m_dir.List())
        EXPECT_NE(name.substr(0, 8), "~tavlen-") << "the temporary file is removed";
}

TEST_F(ReportTest, AReadOnlyReportIsKeptWhereThisUserMayNotWriteIt)
{
    tavlen_test::WriteFileBytes(m_path, kOld);
    bool bDenied = tavlen_test::MakeReadOnly(m_path);
    RunCollector(m_path);

    if (bDenied)
    {
        EXPECT_EQ(ReadFileBytes(m_path), kOld);
    }
    else
    {
        EXPECT_EQ(ReportLines(m_path).size(), 6u) << "whoever may write any file may replace this one";
    }
    EXPECT_EQ(m_dir.List(), std::vector<std::string>{ "report.txt" });
}

TEST_F(ReportTest, AClientThatCannotOpenLeavesTheOldReportIntact)
{
    Service().hrConnect = WBEM_E_ACCESS_DENIED;
    tavlen_test::WriteFileBytes(m_path, kOld);
    EXPECT_EQ(RunCollector(m_path), IDCANCEL) << "the dialog still closes";
    EXPECT_EQ(ReadFileBytes(m_path), kOld);
}

// Memory may run out at any allocation of the report's writing: each pass fails one more, until the writing
// needs no more. Every pass leaves the old report or the whole new one, never one with a line lost.
TEST_F(ReportTest, MemoryThatRunsOutNeverTearsTheReport)
{
    CInventoryDlg dlg;
    dlg.m_strReportPath = m_path.c_str();
    dlg.m_strModel = "Model\n7";
    dlg.m_strNumber = "Rev B";
    dlg.m_strOs = "Example OS   10.0.19045";
    const Lines want = { "model=Model 7", "number=Rev B", "serial=", "bios=", "os=Example OS   10.0.19045" };
    for (int nBefore = 0;; nBefore++)
    {
        tavlen_test::WriteFileBytes(m_path, kOld);
        AfxFailAllocation(nBefore);
        dlg.WriteReport();
        bool bFailed = AfxFailAllocation(-1);

        std::string bytes = ReadFileBytes(m_path);
        Lines lines = tavlen_test::SplitReportLines(bytes);
        if (bytes != kOld || !bFailed)
        {
            ASSERT_EQ(lines.size(), 6u) << "allocation " << nBefore << " failed: " << bytes;
            EXPECT_TRUE(tavlen_test::MatchesStampLayout(lines[0])) << lines[0];
            EXPECT_EQ(Lines(lines.begin() + 1, lines.end()), want);
        }
        EXPECT_EQ(m_dir.List(), std::vector<std::string>{ "report.txt" }) << "no temporary file is left";
        if (!bFailed)
            break;
    }
}

TEST_F(ReportTest, ALaterRunReplacesTheWholeReport)
{
    // Longer than the report by far, and in lines of its own form, so no part of it may pass for the new one.
    std::string old;
    while (old.size() < 64 * 1024)
        old += "model=# old line that must go\r\n";
    tavlen_test::WriteFileBytes(m_path, old);
    RunCollector(m_path);

    EXPECT_EQ(ReportLines(m_path).size(), 6u);
    EXPECT_EQ(ReadFileBytes(m_path).find('#'), std::string::npos);
    EXPECT_EQ(m_dir.List(), std::vector<std::string>{ "report.txt" });
}

TEST_F(ReportTest, AReplacedReportKeepsItsAttributes)
{
    tavlen_test::WriteFileBytes(m_path, "old\r\n");
    tavlen_test::MarkFile(m_path);
    RunCollector(m_path);

    EXPECT_EQ(ReportLines(m_path).size(), 6u);
    EXPECT_TRUE(tavlen_test::IsMarked(m_path));
}

TEST_F(ReportTest, AFolderAtThePathIsLeftAlone)
{
    ASSERT_TRUE(::CreateDirectoryA(m_path.c_str(), NULL));
    tavlen_test::WriteFileBytes(tavlen_test::JoinPath(m_path, "inside.txt"), "kept");
    RunCollector(m_path);

    EXPECT_EQ(ReadFileBytes(tavlen_test::JoinPath(m_path, "inside.txt")), "kept");
    EXPECT_EQ(m_dir.List(), std::vector<std::string>{ "report.txt" }) << "the temporary file is removed";
}

TEST_F(ReportTest, ARelativePathIsReplacedInTheWorkingFolder)
{
    std::string old = std::string(300, '#');
    tavlen_test::WriteFileBytes(m_path, old);
    ASSERT_TRUE(::SetCurrentDirectoryA(m_dir.path().c_str()));
    RunCollector("report.txt");

    EXPECT_EQ(ReportLines(m_path).size(), 6u);
    EXPECT_EQ(m_dir.List(), std::vector<std::string>{ "report.txt" });
}

TEST_F(ReportTest, ATargetDeepInFoldersIsReplacedWhole)
{
    // At 250 characters the target's path fits the ANSI path limit but a temporary name beside it does not; at 381
    // neither does. Through the ANSI calls both were kept, as no temporary file could be made or no path opened.
    const size_t kLengths[] = { 250, 381 };
    const std::string name = "report.txt", old(500, '#');
    for (size_t nLength : kLengths)
    {
        SCOPED_TRACE(nLength);
        std::string dir = m_dirUtf8;
        for (size_t nLeft; (nLeft = nLength - name.size() - 1 - dir.size()) > 0;)
        {
            // At most 60 characters a folder, and at least two left for the next, its separator and name.
            size_t nFolder = nLeft <= 61 ? nLeft - 1 : std::min<size_t>(60, nLeft - 3);
            dir += tavlen_test::kPathSeparator + std::string(nFolder, nLength == 250 ? 'd' : 'e');
            ASSERT_TRUE(tavlen_test::MakeFolderUtf8(dir)) << dir;
        }
        std::string path = tavlen_test::JoinPath(dir, name);
        ASSERT_EQ(nLength, path.size());
        tavlen_test::WriteFileBytesUtf8(path, old);
        WriteReport(path);
        EXPECT_TRUE(IsWholeReportAlone(dir, name));
    }
}

// A device takes the report as it comes and stays a device. Taken for a file, one in a folder that takes files
// would be renamed over, and one among the terminals, where no file can be made, refused. The node is made by
// the Linux host, under Wine too, where this user may make one.
TEST_F(ReportTest, ADeviceIsWrittenInPlace)
{
    const CString strText = "2026/12/08 09:05:07\nmodel=Model 7\nnumber=\nserial=\nbios=\nos=Example OS\n";
    tavlen_test::Terminal terminal;
    ASSERT_FALSE(terminal.path().empty());
    EXPECT_EQ(0, ReplaceFileWithText(tavlen_test::AnsiToUtf16(terminal.path()).c_str(), strText));
    EXPECT_EQ(terminal.path() == tavlen_test::kNullDevice ? "" : std::string(strText), terminal.Take());

    if (tavlen_test::RunHostShell("mknod null c 1 3", m_dir.path()) == 0)
    {
        EXPECT_EQ(0, ReplaceFileWithText(tavlen_test::AnsiToUtf16(m_dir.File("null")).c_str(), strText));
        EXPECT_EQ(0, tavlen_test::RunHostShell("test -c null", m_dir.path())) << "still a device";
    }
    for (const std::string& name : m_dir.List())
        EXPECT_EQ("null", name) << "nothing but the node is in its folder";
}

// A reader that looks at the report throughout many replacements, two at a time, finds it there and whole at
// every moment. It looks without opening the file, as an open file cannot be replaced on Windows. A writer whose
// report the other replaced after it was opened replaces nothing, as the name no longer reaches the file it
// opened; each such write overlaps one of the other's that succeeded, so at least half succeed.
TEST_F(ReportTest, AReaderNeverFindsTheReportMissingOrTorn)
{
    const CString strText = "2026/12/08 09:05:07\nmodel=Model 7\nnumber=\nserial=\nbios=\nos=Example OS\n";
    ASSERT_EQ(0, ReplaceFileWithText(tavlen_test::AnsiToUtf16(m_path).c_str(), strText));
    const long long nSize = tavlen_test::SizeWithoutOpening(m_path);
    std::atomic<int> nWritersLeft(2), nWritten(0), nMissing(0), nTorn(0), nLooks(0);
    auto write = [&] {
        for (int i = 0; i < 150; i++)
            nWritten += ReplaceFileWithText(tavlen_test::AnsiToUtf16(m_path).c_str(), strText) == 0;
        --nWritersLeft;
    };
    std::thread first(write), second(write);
    while (nWritersLeft > 0)
    {
        long long nNow = tavlen_test::SizeWithoutOpening(m_path);
        ++(nNow < 0 ? nMissing : nNow != nSize ? nTorn : nLooks);
    }
    first.join();
    second.join();
    EXPECT_EQ(0, nMissing.load()) << "of " << nLooks.load() << " looks";
    EXPECT_EQ(0, nTorn.load());
    EXPECT_GE(nWritten.load(), 150);
    EXPECT_EQ(std::vector<std::string>{ "report.txt" }, m_dir.List());
}

// A link is followed to the file it names, which is replaced in its own folder, and the link stays a link; a
// link to nowhere yet makes the file it names. Links are made by the Linux host, under Wine too.
TEST_F(ReportTest, ALinkIsFollowedToItsFileAndStaysALink)
{
    TempDir other;
    const std::string otherName = other.path().substr(other.path().find_last_of(tavlen_test::kPathSeparator) + 1);
    const std::string there = tavlen_test::AnsiToUtf8(other.path());
    // Folders whose names code page 1252 lacks, and a look-alike of the first, whose file must stay as it was.
    for (const char* pszFolder : { "Ł", "L", "表" })
        ASSERT_TRUE(tavlen_test::MakeFolderUtf8(tavlen_test::JoinPath(there, pszFolder)));
    const std::string lookAlike = tavlen_test::JoinPath(tavlen_test::JoinPath(there, "L"), "r.txt");
    tavlen_test::WriteFileBytesUtf8(lookAlike, kOld);
    const struct { const char* pszName; std::string target, folder; const char* pszFile; bool bExists; } cases[] = {
        { "here.txt", "r.txt", m_dirUtf8, "r.txt", true },
        { "there.txt", "../" + otherName + "/r.txt", there, "r.txt", true },
        { "nowhere.txt", "../" + otherName + "/new.txt", there, "new.txt", false },
        // Code page 1252 named the opened file "L\r.txt", and the look-alike's report was replaced instead.
        { "pl.txt", "../" + otherName + "/Ł/r.txt", tavlen_test::JoinPath(there, "Ł"), "r.txt", true },
        // Code page 1252 named the opened file "?\r.txt", and nothing was written.
        { "cjk.txt", "../" + otherName + "/表/r.txt", tavlen_test::JoinPath(there, "表"), "r.txt", true },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        if (c.bExists)
            tavlen_test::WriteFileBytesUtf8(tavlen_test::JoinPath(c.folder, c.pszFile), kOld);
        if (tavlen_test::RunHostShell("ln -s " + c.target + " " + c.pszName, m_dir.path()) != 0)
            GTEST_SKIP() << "no symbolic links can be made here";
        WriteReport(m_dir.File(c.pszName));
        EXPECT_TRUE(IsWholeReportAlone(c.folder, c.pszFile));
        EXPECT_EQ(0, tavlen_test::RunHostShell(std::string("test -L ") + c.pszName, m_dir.path())) << "still a link";
    }
    EXPECT_EQ(kOld, tavlen_test::ReadFileBytesUtf8(lookAlike)) << "the look-alike's file is not replaced";
    EXPECT_EQ(6u, m_dir.List().size()) << "the five links and one file, and no temporary file";
}

// A short name reaches the file under its long one, which stays the report's name.
TEST_F(ReportTest, AShortNameReplacesTheFileUnderItsLongName)
{
    std::string path = m_dir.File("a long report name.txt");
    tavlen_test::WriteFileBytes(path, kOld);
    std::string shortPath = tavlen_test::ShortPathOf(path);
    if (shortPath.empty())
        GTEST_SKIP() << "no short names here";
    WriteReport(shortPath);
    EXPECT_TRUE(IsWholeReportAlone(m_dirUtf8, "a long report name.txt"));
    EXPECT_EQ(std::vector<std::string>{ "a long report name.txt" }, m_dir.List());
}

// Where the report may be written but not replaced, it is rewritten in place: another program shares it but
// not its deletion, or the folder lets files be made but none renamed or removed.
TEST_F(ReportTest, AReportThatMayBeWrittenButNotReplacedIsWrittenInPlace)
{
    tavlen_test::WriteFileBytes(m_path, kOld);
    void* pHold = tavlen_test::HoldAgainstDeletion(m_path);
    WriteReport(m_path);
    tavlen_test::Unlock(pHold);
    EXPECT_TRUE(IsWholeReportAlone(m_dirUtf8, "report.txt"));

    TempDir appendOnly;
    std::string kept = appendOnly.File("kept.txt");
    tavlen_test::WriteFileBytes(kept, kOld);
    if (tavlen_test::RunHostShell("chattr +a .", appendOnly.path()) != 0)
        GTEST_SKIP() << "no append-only folder can be made here";
    WriteReport(kept);
    WriteReport(appendOnly.File("new.txt"));
    tavlen_test::RunHostShell("chattr -a .", appendOnly.path());
    for (const std::string& written : { kept, appendOnly.File("new.txt") })
        EXPECT_EQ(6u, ReportLines(written).size()) << written;
}
