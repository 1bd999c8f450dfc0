// QdReportRecorder.h -- the reports made while a piece of work runs, kept
// for the bank document: a style whose loading reported problems is marked
// damaged with these texts, and the rescue tells per style what was
// reported.
#pragma once

#include "Base/Report.h"

#include <string>
#include <vector>

// CQdReportRecorder -- from construction to destruction every report is
// recorded, and with bForward also handed to the sink installed before (the
// console, the window's message, a test's capture), so that recording
// changes nothing of what the user sees. The sink before is back when the
// object goes, however the work ends.
class CQdReportRecorder
{
public:
    explicit CQdReportRecorder(bool bForward = true);
    ~CQdReportRecorder();
    CQdReportRecorder(const CQdReportRecorder&) = delete;
    CQdReportRecorder& operator=(const CQdReportRecorder&) = delete;

    // HasReports -- some report was made; true even when its text could not
    // be kept for want of memory, so that no damage goes unmarked.
    bool HasReports() const { return m_bReported; }
    // Texts -- the texts kept, in order.
    std::vector<std::string>& Texts() { return m_astrTexts; }

private:
    void Record(const char* pszText);

    QdReportSink m_fnPrevious;
    std::vector<std::string> m_astrTexts;
    bool m_bForward;
    bool m_bReported = false;
};

// QdReportSummary -- the texts on one line: each distinct text once, in
// the order first made, a repeated one with "(n times)", joined by "; ".
std::string QdReportSummary(const std::vector<std::string>& rkastrTexts);
