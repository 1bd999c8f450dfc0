// QdReportRecorder.cpp -- recording reports in a scope, and their one-line summary.
#include "BankDoc/QdReportRecorder.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <utility>

// CQdReportRecorder::CQdReportRecorder -- reports come here from now on.
// The sink holds only this object's address, so installing it allocates
// nothing.
CQdReportRecorder::CQdReportRecorder(bool bForward) : m_bForward(bForward)
{
    m_fnPrevious = QdSetReportSink([this](const char* pszText) { Record(pszText); });
}

// CQdReportRecorder::~CQdReportRecorder -- the sink before is back.
CQdReportRecorder::~CQdReportRecorder()
{
    QdSetReportSink(std::move(m_fnPrevious));
}

// CQdReportRecorder::Record -- marks, keeps and forwards one report. A text
// that finds no memory is lost here but still forwarded: the sink before
// may show it without keeping it.
void CQdReportRecorder::Record(const char* pszText)
{
    m_bReported = true;
    try
    {
        m_astrTexts.emplace_back(pszText ? pszText : "");
    }
    catch (const std::bad_alloc&)
    {
    }
    catch (const std::length_error&)
    {
    }
    if (m_bForward && m_fnPrevious)
        m_fnPrevious(pszText);
}

// QdReportSummary -- a damaged style repeats the same check many times
// (once per pattern reference, say); the count keeps the line short.
std::string QdReportSummary(const std::vector<std::string>& rkastrTexts)
{
    std::vector<std::pair<std::string, int>> aoDistinct;
    for (const std::string& rkstrText : rkastrTexts)
    {
        const auto it = std::find_if(aoDistinct.begin(), aoDistinct.end(),
                                     [&rkstrText](const auto& rkoEntry) { return rkoEntry.first == rkstrText; });
        if (it == aoDistinct.end())
            aoDistinct.emplace_back(rkstrText, 1);
        else
            ++it->second;
    }
    std::string strSummary;
    for (const auto& rkoEntry : aoDistinct)
    {
        if (!strSummary.empty())
            strSummary += "; ";
        strSummary += rkoEntry.first;
        if (rkoEntry.second > 1)
            strSummary += " (" + std::to_string(rkoEntry.second) + " times)";
    }
    return strSummary;
}
