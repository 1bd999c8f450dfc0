// QdCliConsole.cpp -- stderr lines, the progress line and stdout.
#include "QdCliConsole.h"

#include "BankDoc/QdCharset.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr const char* PREFIX = "qdstyle: ";
// Moves to the line's start and erases it (a terminal only sees this).
constexpr const char* ERASE_LINE = "\r\033[K";

// OneLine -- line breaks and tabs become blanks; what else is no text is
// escaped (QdShownText).
std::string OneLine(std::string str)
{
    std::replace_if(str.begin(), str.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
    return QdShownText(str);
}

// OneRow -- line breaks become blanks; tabs stay, they part the fields of
// an output line, each of which is escaped on its own.
std::string OneRow(std::string str)
{
    std::replace_if(str.begin(), str.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    std::string strRow;
    std::size_t uStart = 0;
    for (std::size_t uTab = str.find('\t'); uTab != std::string::npos; uTab = str.find('\t', uStart))
    {
        strRow += QdShownText(str.substr(uStart, uTab - uStart)) + '\t';
        uStart = uTab + 1;
    }
    return strRow + QdShownText(str.substr(uStart));
}

} // namespace

// CQdCliConsole::CQdCliConsole -- reports come here from now on.
CQdCliConsole::CQdCliConsole(EQdVerbosity eVerbosity)
    : m_eVerbosity(eVerbosity), m_bTerminal(::isatty(STDERR_FILENO) == 1)
{
    m_fnPreviousSink = QdSetReportSink([this](const char* pszText) { Report(pszText); });
}

// CQdCliConsole::~CQdCliConsole -- the sink before it is back.
CQdCliConsole::~CQdCliConsole()
{
    ClearProgress();
    QdSetReportSink(m_fnPreviousSink);
}

void CQdCliConsole::Message(const std::string& rkstrCaption, const std::string& rkstrText)
{
    ++m_iMessages;
    PrintLine(rkstrCaption.empty() ? rkstrText : rkstrCaption + ": " + rkstrText);
}

void CQdCliConsole::Detail(const std::string& rkstrText)
{
    if (m_eVerbosity != QD_VERBOSE)
        return;
    ClearProgress();
    std::fprintf(stderr, "%s%s\n", PREFIX, OneLine(rkstrText).c_str());
    std::fflush(stderr);
}

void CQdCliConsole::Report(const char* pszText)
{
    ++m_iReports;
    if (m_eVerbosity == QD_VERBOSE)
        PrintLine(pszText ? pszText : "");
}

void CQdCliConsole::TellUnshownReports()
{
    if (m_eVerbosity == QD_VERBOSE || m_iReports == 0)
        return;
    PrintLine(std::to_string(m_iReports) + (m_iReports == 1 ? " internal report" : " internal reports") +
              " not shown (-v shows them)");
}

// CQdCliConsole::PrintLine -- held back with -q.
void CQdCliConsole::PrintLine(const std::string& rkstrLine)
{
    if (m_eVerbosity == QD_QUIET)
    {
        m_astrHeld.push_back(OneLine(rkstrLine));
        return;
    }
    ClearProgress();
    std::fprintf(stderr, "%s%s\n", PREFIX, OneLine(rkstrLine).c_str());
    std::fflush(stderr);
}

void CQdCliConsole::ReleaseHeld()
{
    for (const std::string& rkstrLine : m_astrHeld)
        std::fprintf(stderr, "%s%s\n", PREFIX, rkstrLine.c_str());
    std::fflush(stderr);
    m_astrHeld.clear();
}

void CQdCliConsole::Output(const std::string& rkstrLine, bool bWarning)
{
    if (bWarning)
        ++m_iWarnings;
    if (m_eVerbosity == QD_QUIET)
        return;
    ClearProgress();
    std::printf("%s\n", OneRow(rkstrLine).c_str());
    std::fflush(stdout);
}

void CQdCliConsole::Print(const std::string& rkstrText)
{
    ClearProgress();
    std::fwrite(rkstrText.data(), 1, rkstrText.size(), stdout);
    std::fflush(stdout);
}

void CQdCliConsole::Progress(int iDone, int iTotal, const std::string& rkstrItem)
{
    if (m_eVerbosity == QD_VERBOSE)
    {
        if (iDone < iTotal)
            Detail(std::to_string(iDone + 1) + "/" + std::to_string(iTotal) + " " + rkstrItem);
        return;
    }
    if (!m_bTerminal || m_eVerbosity == QD_QUIET)
        return;
    if (iDone >= iTotal)
    {
        ClearProgress();
        return;
    }
    std::fprintf(stderr, "%s%s%d/%d %s", ERASE_LINE, PREFIX, iDone + 1, iTotal, OneLine(rkstrItem).c_str());
    std::fflush(stderr);
    m_bProgressShown = true;
}

void CQdCliConsole::ClearProgress()
{
    if (!m_bProgressShown)
        return;
    std::fputs(ERASE_LINE, stderr);
    std::fflush(stderr);
    m_bProgressShown = false;
}
