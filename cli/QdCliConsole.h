// QdCliConsole.h -- everything qdstyle tells the user, on stderr and stdout.
//
// Messages of the bank document, warnings and assertion reports, refusals
// of the tool itself and the progress line of long commands all go through
// one console, and so does every line of a command's output on stdout, so
// that nothing lands in the middle of the progress line: the progress line
// is finished (erased) before anything else is written, also when stdout
// is the same terminal. Each message is one line: line breaks inside a
// report become blanks, and every line is valid UTF-8 with its control
// characters escaped (QdShownText), whatever bytes a name or a path holds.
// The console also counts the reports and messages (`check` needs the
// count) and the warnings given on stdout (an import's report of what it
// left out): anything of these makes a command that did its work end with
// exit status 3.
//
// Reports (the core's developer messages: "Assert ... File: ... Line: ...")
// are printed with -v only; otherwise they are counted, and one line at
// the end says how many were not shown (TellUnshownReports), so that an
// exit status 3 never comes without a word.
//
// How much is said (-q, -v): quiet holds the messages and reports back
// (they still count) for main to print should the command fail, shows no
// progress and leaves out the lines that only tell what was written; the
// data a command is asked for still goes to stdout. Verbose adds detail
// lines on stderr and shows progress as one lasting line per item,
// terminal or not.
#pragma once

#include "Base/Report.h"

#include <string>
#include <vector>

enum EQdVerbosity
{
    QD_QUIET = 0,
    QD_NORMAL = 1,
    QD_VERBOSE = 2,
};

class CQdCliConsole
{
public:
    explicit CQdCliConsole(EQdVerbosity eVerbosity = QD_NORMAL);
    // Installs the console as the report sink until it goes.
    ~CQdCliConsole();
    CQdCliConsole(const CQdCliConsole&) = delete;
    CQdCliConsole& operator=(const CQdCliConsole&) = delete;

    EQdVerbosity GetVerbosity() const { return m_eVerbosity; }

    // CQdCliConsole::Message -- "qdstyle: <text>", or "qdstyle: <caption>:
    // <text>" when a caption is given.
    void Message(const std::string& rkstrCaption, const std::string& rkstrText);
    // CQdCliConsole::Detail -- "qdstyle: <text>" with -v only; not counted.
    void Detail(const std::string& rkstrText);
    // CQdCliConsole::Progress -- "n/total item" on one line that is
    // rewritten, only when stderr is a terminal; iDone == iTotal clears it.
    // With -v a lasting line per item instead; with -q nothing.
    void Progress(int iDone, int iTotal, const std::string& rkstrItem);

    // CQdCliConsole::Output -- one line on stdout that tells what the
    // command did (a file written, an import's report), made one line
    // (tabs stay);
    // bWarning counts it as a warning. Left out with -q (still counted).
    void Output(const std::string& rkstrLine, bool bWarning);
    // CQdCliConsole::Print -- the data the command was asked for (a list,
    // a document, a dump), written to stdout as it is.
    void Print(const std::string& rkstrText);

    // CQdCliConsole::TellUnshownReports -- without -v, a line with the
    // number of reports not printed (-q holds it back as a message).
    void TellUnshownReports();
    // CQdCliConsole::ReleaseHeld -- the messages -q held back, printed now
    // (the command failed).
    void ReleaseHeld();

    // Reports (warnings and assertions, printed or not) and messages so far.
    int GetReportCount() const { return m_iReports; }
    int GetMessageCount() const { return m_iMessages; }
    // CQdCliConsole::HasWarned -- a report came, or a message or an output
    // line counted as a warning was printed.
    bool HasWarned() const { return m_iReports + m_iMessages + m_iWarnings > 0; }

private:
    void Report(const char* pszText);
    void PrintLine(const std::string& rkstrLine);
    void ClearProgress();

    EQdVerbosity m_eVerbosity;
    QdReportSink m_fnPreviousSink;
    bool m_bTerminal;
    bool m_bProgressShown = false;
    std::vector<std::string> m_astrHeld;
    int m_iReports = 0;
    int m_iMessages = 0;
    int m_iWarnings = 0;
};
