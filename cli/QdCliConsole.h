// QdCliConsole.h -- everything qdstyle tells the user on stderr.
//
// Messages of the bank document, warnings and assertion reports, refusals
// of the tool itself and the progress line of long commands all go through
// one console, so that a message never lands in the middle of the progress
// line. Each message is one line: line breaks inside a report become blanks.
// The console also counts the reports and messages it printed (`check`
// needs the count) and the warnings given on stdout (an import's report of
// what it left out): anything of these makes a command that did its work
// end with exit status 3.
#pragma once

#include "Base/Report.h"

#include <string>

class CQdCliConsole
{
public:
    CQdCliConsole();
    // Installs the console as the report sink until it goes.
    ~CQdCliConsole();
    CQdCliConsole(const CQdCliConsole&) = delete;
    CQdCliConsole& operator=(const CQdCliConsole&) = delete;

    // CQdCliConsole::Message -- "qdstyle: <text>", or "qdstyle: <caption>:
    // <text>" when a caption is given.
    void Message(const std::string& rkstrCaption, const std::string& rkstrText);
    // CQdCliConsole::Progress -- "n/total item" on one line that is
    // rewritten, only when stderr is a terminal; iDone == iTotal clears it.
    void Progress(int iDone, int iTotal, const std::string& rkstrItem);

    // CQdCliConsole::Output -- one line of the command's output on stdout,
    // after the progress line is cleared; bWarning counts it as a warning.
    void Output(const std::string& rkstrLine, bool bWarning);

    // Reports (warnings and assertions) and messages printed so far.
    int GetReportCount() const { return m_iReports; }
    int GetMessageCount() const { return m_iMessages; }
    // CQdCliConsole::HasWarned -- a report, a message or an output line
    // counted as a warning was printed.
    bool HasWarned() const { return m_iReports + m_iMessages + m_iWarnings > 0; }

private:
    void Report(const char* pszText);
    void PrintLine(const std::string& rkstrLine);
    void ClearProgress();

    QdReportSink m_fnPreviousSink;
    bool m_bTerminal;
    bool m_bProgressShown = false;
    int m_iReports = 0;
    int m_iMessages = 0;
    int m_iWarnings = 0;
};
