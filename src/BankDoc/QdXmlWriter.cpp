// QdXmlWriter.cpp -- XML elements, attributes and escaped text.
#include "BankDoc/QdXmlWriter.h"

#include <charconv>
#include <cmath>
#include <cstddef>

namespace {

constexpr const char* REPLACEMENT = "\xEF\xBF\xBD"; // U+FFFD
constexpr int INDENT = 2;

// IsXmlChar -- a code point XML 1.0 allows in a document.
bool IsXmlChar(char32_t cCode)
{
    return cCode == 0x9 || cCode == 0xA || cCode == 0xD || (cCode >= 0x20 && cCode <= 0xD7FF) ||
           (cCode >= 0xE000 && cCode <= 0xFFFD) || (cCode >= 0x10000 && cCode <= 0x10FFFF);
}

// DecodeUtf8 -- the code point of the UTF-8 sequence at uAt of rkstrText
// and its length in ruLength; false, with ruLength 1, for a byte that
// starts no well-formed sequence (a stray continuation byte, a sequence cut
// short by the end of the text, an overlong form).
bool DecodeUtf8(const std::string& rkstrText, std::size_t uAt, char32_t& rcCode, std::size_t& ruLength)
{
    ruLength = 1;
    const unsigned char byLead = static_cast<unsigned char>(rkstrText[uAt]);
    if (byLead < 0x80)
    {
        rcCode = byLead;
        return true;
    }
    std::size_t uCount = 0;
    char32_t cMin = 0;
    if ((byLead & 0xE0) == 0xC0)
    {
        uCount = 2;
        rcCode = byLead & 0x1F;
        cMin = 0x80;
    }
    else if ((byLead & 0xF0) == 0xE0)
    {
        uCount = 3;
        rcCode = byLead & 0x0F;
        cMin = 0x800;
    }
    else if ((byLead & 0xF8) == 0xF0)
    {
        uCount = 4;
        rcCode = byLead & 0x07;
        cMin = 0x10000;
    }
    else
        return false;
    if (rkstrText.size() - uAt < uCount)
        return false;
    for (std::size_t i = 1; i < uCount; ++i)
    {
        const unsigned char byNext = static_cast<unsigned char>(rkstrText[uAt + i]);
        if ((byNext & 0xC0) != 0x80)
            return false;
        rcCode = rcCode << 6 | (byNext & 0x3F);
    }
    if (rcCode < cMin)
        return false;
    ruLength = uCount;
    return true;
}

} // namespace

std::string QdXmlNumber(double dValue)
{
    const double dRounded = std::round(dValue * 100) / 100;
    if (dRounded == 0 || !std::isfinite(dRounded))
        return "0";
    char szNumber[64];
    const std::to_chars_result oResult =
        std::to_chars(szNumber, szNumber + sizeof szNumber, dRounded, std::chars_format::fixed, 2);
    std::string strNumber(szNumber, oResult.ptr);
    while (strNumber.back() == '0')
        strNumber.pop_back();
    if (strNumber.back() == '.')
        strNumber.pop_back();
    return strNumber;
}

std::string QdXmlEscape(const std::string& rkstrText, bool bAttribute)
{
    std::string strOut;
    strOut.reserve(rkstrText.size());
    for (std::size_t uAt = 0; uAt < rkstrText.size();)
    {
        char32_t cCode = 0;
        std::size_t uLength = 1;
        const bool bDecoded = DecodeUtf8(rkstrText, uAt, cCode, uLength);
        const std::size_t uStart = uAt;
        uAt += uLength;
        if (!bDecoded || !IsXmlChar(cCode))
        {
            strOut += REPLACEMENT;
            continue;
        }
        switch (cCode)
        {
        case '&':
            strOut += "&amp;";
            continue;
        case '<':
            strOut += "&lt;";
            continue;
        case '>':
            strOut += "&gt;";
            continue;
        default:
            break;
        }
        if (bAttribute)
        {
            // Tab, line feed and carriage return as references: a parser
            // turns them into blanks in a value otherwise.
            const char* pszReference = cCode == '"'    ? "&quot;"
                                       : cCode == '\'' ? "&apos;"
                                       : cCode == 0x9  ? "&#9;"
                                       : cCode == 0xA  ? "&#10;"
                                       : cCode == 0xD  ? "&#13;"
                                                       : nullptr;
            if (pszReference)
            {
                strOut += pszReference;
                continue;
            }
        }
        strOut.append(rkstrText, uStart, uLength);
    }
    return strOut;
}

CQdXmlWriter::CQdXmlWriter() : m_strOut("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") {}

void CQdXmlWriter::OpenTag(const char* pszName, const CQdXmlAttrs& rkaoAttrs)
{
    m_strOut.append(m_apszOpen.size() * INDENT, ' ');
    m_strOut += '<';
    m_strOut += pszName;
    for (const CQdXmlAttr& rkoAttr : rkaoAttrs)
    {
        m_strOut += ' ';
        m_strOut += rkoAttr.m_pszName;
        m_strOut += "=\"";
        m_strOut += QdXmlEscape(rkoAttr.m_strValue, true);
        m_strOut += '"';
    }
}

void CQdXmlWriter::Start(const char* pszName, const CQdXmlAttrs& rkaoAttrs)
{
    OpenTag(pszName, rkaoAttrs);
    m_strOut += ">\n";
    m_apszOpen.push_back(pszName);
}

void CQdXmlWriter::End()
{
    if (m_apszOpen.empty())
        return;
    const char* pszName = m_apszOpen.back();
    m_apszOpen.pop_back();
    m_strOut.append(m_apszOpen.size() * INDENT, ' ');
    m_strOut += "</";
    m_strOut += pszName;
    m_strOut += ">\n";
}

void CQdXmlWriter::Empty(const char* pszName, const CQdXmlAttrs& rkaoAttrs)
{
    OpenTag(pszName, rkaoAttrs);
    m_strOut += "/>\n";
}

void CQdXmlWriter::Text(const char* pszName, const CQdXmlAttrs& rkaoAttrs, const std::string& rkstrText)
{
    OpenTag(pszName, rkaoAttrs);
    m_strOut += '>';
    m_strOut += QdXmlEscape(rkstrText, false);
    m_strOut += "</";
    m_strOut += pszName;
    m_strOut += ">\n";
}

std::string CQdXmlWriter::Finish()
{
    while (!m_apszOpen.empty())
        End();
    std::string strDocument;
    strDocument.swap(m_strOut);
    return strDocument;
}
