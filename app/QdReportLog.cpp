// QdReportLog.cpp -- the desktop's report log and its sink.
#include "QdReportLog.h"

#include "Base/Report.h"

#include <cstdio>

CQdReportLog& CQdReportLog::Instance()
{
    static CQdReportLog s_oLog;
    return s_oLog;
}

void CQdReportLog::Add(const std::string& rkstrText)
{
    if (m_bEcho)
    {
        std::fprintf(stderr, "%s\n", rkstrText.c_str());
        std::fflush(stderr);
    }
    if (m_astrLines.size() >= MAX_LINES)
    {
        m_astrLines.pop_front();
        ++m_uDropped;
    }
    m_astrLines.push_back(rkstrText);
}

void CQdReportLog::Clear()
{
    m_astrLines.clear();
    m_uDropped = 0;
}

std::string CQdReportLog::Text() const
{
    std::string strText;
    if (m_uDropped > 0)
        strText = "(" + std::to_string(m_uDropped) + " earlier reports no longer kept)";
    for (const std::string& rkstrLine : m_astrLines)
        strText += (strText.empty() ? "" : "\n") + rkstrLine;
    return strText;
}

void QdInstallGuiReportSink(bool bEcho)
{
    CQdReportLog::Instance().SetEcho(bEcho);
    QdSetReportSink([](const char* pszText) { CQdReportLog::Instance().Add(pszText ? pszText : ""); });
}
