// QdXmlWriter.h -- a small writer of XML documents (the SVG pictures of
// QdRollSvg.h): elements, attributes and text, each text escaped, into one
// string.
//
// The output is deterministic: the same calls give the same bytes. Each
// element starts on a line of its own, indented two blanks per level; a
// text stays inside its element's line. Numbers are written with at most
// two decimals, without a locale. Element and attribute names are the
// caller's constants and are written as given; every text and attribute
// value is escaped (& < > in text, also " ' and tab, line feed, carriage
// return in attributes), and whatever is not a character XML 1.0 allows
// (control characters, bytes that are not UTF-8, U+FFFE and U+FFFF, UTF-16
// surrogates) becomes U+FFFD, so that any text gives a well-formed
// document.
#pragma once

#include <concepts>
#include <string>
#include <utility>
#include <vector>

// QdXmlNumber -- "12.5", "3", "-0.25": rounded to two decimals, trailing
// zeros and a trailing point left out; "0" for what rounds to zero.
std::string QdXmlNumber(double dValue);

// QdXmlEscape -- the text as XML text (bAttribute: as an attribute value
// between double quotes).
std::string QdXmlEscape(const std::string& rkstrText, bool bAttribute);

// CQdXmlAttr -- an attribute: its name and its value, unescaped.
struct CQdXmlAttr
{
    CQdXmlAttr(const char* pszName, std::string strValue) : m_pszName(pszName), m_strValue(std::move(strValue)) {}
    CQdXmlAttr(const char* pszName, const char* pszValue) : m_pszName(pszName), m_strValue(pszValue) {}
    CQdXmlAttr(const char* pszName, double dValue) : m_pszName(pszName), m_strValue(QdXmlNumber(dValue)) {}
    template <std::integral TValue>
    CQdXmlAttr(const char* pszName, TValue tValue) : m_pszName(pszName), m_strValue(std::to_string(tValue))
    {
    }

    const char* m_pszName;
    std::string m_strValue;
};

typedef std::vector<CQdXmlAttr> CQdXmlAttrs;

class CQdXmlWriter
{
public:
    // CQdXmlWriter::CQdXmlWriter -- starts with the XML declaration (UTF-8).
    CQdXmlWriter();

    // CQdXmlWriter::Start -- an element that holds others, until End.
    void Start(const char* pszName, const CQdXmlAttrs& rkaoAttrs = {});
    // CQdXmlWriter::End -- ends the element Start began last.
    void End();
    // CQdXmlWriter::Empty -- an element without content.
    void Empty(const char* pszName, const CQdXmlAttrs& rkaoAttrs = {});
    // CQdXmlWriter::Text -- an element holding the text.
    void Text(const char* pszName, const CQdXmlAttrs& rkaoAttrs, const std::string& rkstrText);

    // CQdXmlWriter::Finish -- ends the elements still open and hands the
    // document over; the writer is empty afterwards.
    std::string Finish();

private:
    void OpenTag(const char* pszName, const CQdXmlAttrs& rkaoAttrs);

    std::string m_strOut;
    std::vector<const char*> m_apszOpen;
};
