// QdReportLog.h -- where the desktop puts the core's reports.
//
// Reports are the core's developer messages ("Assert <condition> File:...
// Line:...", "CDecSMF0::OnExtract() - Unexpected end of file reached").
// What a user needs to know of them reaches the user through the commands'
// own messages (a refused file, a damaged style and its info line), so the
// window never shows a report as a dialog: it is kept in this log, the
// latest MAX_LINES of them, which Help > Report Log shows, and written to
// stderr as well when the program was started with -v.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

class CQdReportLog
{
public:
    static constexpr std::size_t MAX_LINES = 1000;

    // The process's one log: reports come from anywhere in the core.
    static CQdReportLog& Instance();

    // Add -- one report; the oldest goes when the log is full.
    void Add(const std::string& rkstrText);
    const std::deque<std::string>& Lines() const { return m_astrLines; }
    // The reports that went for room since the log was cleared.
    std::size_t Dropped() const { return m_uDropped; }
    void Clear();
    // Text -- the lines, one per report, after a line about those that
    // went; empty for none.
    std::string Text() const;

    // Each report also to stderr.
    void SetEcho(bool bEcho) { m_bEcho = bEcho; }

private:
    std::deque<std::string> m_astrLines;
    std::size_t m_uDropped = 0;
    bool m_bEcho = false;
};

// QdInstallGuiReportSink -- reports go to the log (and with bEcho to stderr).
void QdInstallGuiReportSink(bool bEcho);
