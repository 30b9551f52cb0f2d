// The report: its time stamp, its key=value lines and the six lines joined, each made in one buffer, then written.
#include "collector/ReportFile.h"

#include "collector/SafeReplace.h"

#include <stdint.h>
#include <string.h>

namespace {

// The number's digits in the base, with leading zeros up to nMinDigits. The report's few numbers are made
// here rather than by the runtime's formatter, which would cost more than the rest of the report.
char* AppendNumber(char* pch, unsigned long nValue, unsigned long nBase, int nMinDigits)
{
    char szDigits[32];
    int nDigits = 0;
    do
    {
        szDigits[nDigits++] = "0123456789ABCDEF"[nValue % nBase];
        nValue /= nBase;
    } while (nValue != 0 || nDigits < nMinDigits);
    while (nDigits > 0)
        *pch++ = szDigits[--nDigits];
    return pch;
}

// Whether any of the eight bytes is a control character or DEL; most words of a value hold neither.
bool HasControl(uint64_t nWord)
{
    const uint64_t kOnes = 0x0101010101010101ull;
    const uint64_t nDel = nWord ^ (kOnes * 0x7F);
    return ((((nWord - kOnes * ' ') & ~nWord) | ((nDel - kOnes) & ~nDel)) & (kOnes * 0x80)) != 0;
}

// The client has made every control character a blank already; this guards the six lines against any such
// byte that still reaches a value. No ANSI code page uses these bytes inside a character.
void CopyOneLine(char* pchTo, LPCSTR pszValue, int nLength)
{
    memcpy(pchTo, pszValue, nLength);
    for (int i = 0; i < nLength;)
    {
        uint64_t nWord;
        if (i + 8 <= nLength && (memcpy(&nWord, pchTo + i, 8), !HasControl(nWord)))
        {
            i += 8;
            continue;
        }
        unsigned char ch = (unsigned char)pchTo[i];
        if ((ch < ' ' && ch != '\t') || ch == 0x7F)
            pchTo[i] = ' ';
        ++i;
    }
}

} // namespace


CString FormatReportTime(const SYSTEMTIME& st)
{
    const WORD awFields[] = { st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond };
    const char achAfter[] = "// ::\n";
    char szLine[48];
    char* pch = szLine;
    for (int i = 0; i < 6; i++)
    {
        pch = AppendNumber(pch, awFields[i], 10, i == 0 ? 1 : 2);
        *pch++ = achAfter[i];
    }
    return CString(szLine, (int)(pch - szLine));
}

// Where memory runs out the line is empty, as no whole line could be made.
CString FormatReportLine(LPCSTR pszKey, const CString& strValue)
{
    int nKey = (int)strlen(pszKey);
    int nValue = strValue.GetLength();
    CString strLine;
    char* pch = strLine.GetBufferSetLength(nKey + 1 + nValue + 1);
    if (pch == NULL)
        return CString();
    memcpy(pch, pszKey, nKey);
    pch[nKey] = '=';
    CopyOneLine(pch + nKey + 1, strValue, nValue);
    pch[nKey + 1 + nValue] = '\n';
    return strLine;
}

CString JoinReportLines(const CString* pLines, int nLines)
{
    int nLength = 0;
    for (int i = 0; i < nLines; i++)
    {
        if (pLines[i].IsEmpty())
            return CString();
        nLength += pLines[i].GetLength();
    }
    CString strReport;
    char* pch = strReport.GetBufferSetLength(nLength);
    for (int i = 0; pch != NULL && i < nLines; i++)
    {
        memcpy(pch, pLines[i], pLines[i].GetLength());
        pch += pLines[i].GetLength();
    }
    return strReport;
}

int WriteInventoryReport(const CString& strPath, LPCWSTR pszPathW, const CString* pValues)
{
    if (strPath.IsEmpty())
        return -1;
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    // A line that found no memory is empty: such a report would be torn, so none is written.
    const CString strLines[] = {
        FormatReportTime(st),
        FormatReportLine("model", pValues[0]),
        FormatReportLine("number", pValues[1]),
        FormatReportLine("serial", pValues[2]),
        FormatReportLine("bios", pValues[3]),
        FormatReportLine("os", pValues[4]),
    };
    CString strReport = JoinReportLines(strLines, sizeof(strLines) / sizeof(strLines[0]));
    if (strReport.IsEmpty())
        return 0;
    BSTR bstrPath = pszPathW == NULL ? strPath.AllocSysString() : NULL;
    if (pszPathW != NULL || bstrPath != NULL)
        ReplaceFileWithText(pszPathW != NULL ? pszPathW : bstrPath, strReport);
    ::SysFreeString(bstrPath);
    return 0;
}
