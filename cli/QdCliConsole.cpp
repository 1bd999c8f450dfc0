// QdCliConsole.cpp -- stderr lines and the progress line.
#include "QdCliConsole.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr const char* PREFIX = "qdstyle: ";
// Moves to the line's start and erases it (a terminal only sees this).
constexpr const char* ERASE_LINE = "\r\033[K";

// OneLine -- line breaks and tabs become blanks.
std::string OneLine(std::string str)
{
    std::replace_if(str.begin(), str.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
    return str;
}

} // namespace

// CQdCliConsole::CQdCliConsole -- reports come here from now on.
CQdCliConsole::CQdCliConsole() : m_bTerminal(::isatty(STDERR_FILENO) == 1)
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

void CQdCliConsole::Report(const char* pszText)
{
    ++m_iReports;
    PrintLine(pszText ? pszText : "");
}

void CQdCliConsole::PrintLine(const std::string& rkstrLine)
{
    ClearProgress();
    std::fprintf(stderr, "%s%s\n", PREFIX, OneLine(rkstrLine).c_str());
    std::fflush(stderr);
}

void CQdCliConsole::Output(const std::string& rkstrLine, bool bWarning)
{
    if (bWarning)
        ++m_iWarnings;
    ClearProgress();
    std::printf("%s\n", OneLine(rkstrLine).c_str());
    std::fflush(stdout);
}

void CQdCliConsole::Progress(int iDone, int iTotal, const std::string& rkstrItem)
{
    if (!m_bTerminal)
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
