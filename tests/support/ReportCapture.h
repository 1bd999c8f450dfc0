// ReportCapture.h -- collects the reporter's texts for the lifetime of the object.
#pragma once

#include "Base/Report.h"

#include <algorithm>
#include <string>
#include <vector>

class CReportCapture
{
public:
    CReportCapture()
    {
        m_fnPrevious = QdSetReportSink([this](const char* pszText) { m_aTexts.emplace_back(pszText); });
    }
    ~CReportCapture() { QdSetReportSink(std::move(m_fnPrevious)); }
    CReportCapture(const CReportCapture&) = delete;
    CReportCapture& operator=(const CReportCapture&) = delete;

    const std::vector<std::string>& Texts() const { return m_aTexts; }
    bool Empty() const { return m_aTexts.empty(); }
    void Clear() { m_aTexts.clear(); }

    // True when some report equals the text exactly.
    bool Has(const std::string& strText) const
    {
        return std::find(m_aTexts.begin(), m_aTexts.end(), strText) != m_aTexts.end();
    }

    // True when some report is the assertion of this condition in this source,
    // whatever its line.
    bool HasAssert(const std::string& strCondition, const std::string& strFile) const
    {
        const std::string strPrefix = "Assert " + strCondition + " File:" + strFile + " Line:";
        return std::any_of(m_aTexts.begin(), m_aTexts.end(),
                           [&](const std::string& s) { return s.rfind(strPrefix, 0) == 0; });
    }

private:
    QdReportSink m_fnPrevious;
    std::vector<std::string> m_aTexts;
};
