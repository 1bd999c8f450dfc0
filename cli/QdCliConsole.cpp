// QdCliConsole.cpp -- stderr lines, the progress line and stdout.
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

// OneRow -- line breaks become blanks; tabs stay, they part the fields of
// an output line.
std::string OneRow(std::string str)
{
    std::replace_if(str.begin(), str.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return str;
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
    PrintLine(pszText ? pszText : "");
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
