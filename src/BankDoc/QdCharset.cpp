// QdCharset.cpp -- Latin-1 to UTF-8 and back, and text as it is shown.
#include "BankDoc/QdCharset.h"

#include <cstddef>

namespace {

// AppendShown -- one code point (below U+110000) as UTF-8, a control
// character escaped.
void AppendShown(std::string& rstrOut, unsigned long ulCode)
{
    static const char s_szHex[] = "0123456789ABCDEF";
    if (ulCode == '\n' || ulCode == '\r' || ulCode == '\t')
    {
        rstrOut += '\\';
        rstrOut += ulCode == '\n' ? 'n' : ulCode == '\r' ? 'r' : 't';
        return;
    }
    if (ulCode < 0x20 || (ulCode >= 0x7F && ulCode < 0xA0))
    {
        rstrOut += "\\x";
        rstrOut += s_szHex[ulCode >> 4];
        rstrOut += s_szHex[ulCode & 0xF];
        return;
    }
    if (ulCode < 0x80)
        rstrOut += char(ulCode);
    else if (ulCode < 0x800)
    {
        rstrOut += char(0xC0 | (ulCode >> 6));
        rstrOut += char(0x80 | (ulCode & 0x3F));
    }
    else if (ulCode < 0x10000)
    {
        rstrOut += char(0xE0 | (ulCode >> 12));
        rstrOut += char(0x80 | ((ulCode >> 6) & 0x3F));
        rstrOut += char(0x80 | (ulCode & 0x3F));
    }
    else
    {
        rstrOut += char(0xF0 | (ulCode >> 18));
        rstrOut += char(0x80 | ((ulCode >> 12) & 0x3F));
        rstrOut += char(0x80 | ((ulCode >> 6) & 0x3F));
        rstrOut += char(0x80 | (ulCode & 0x3F));
    }
}

// DecodeUtf8 -- the code point of the well-formed UTF-8 sequence at
// rkstr[uAt] and its length; 0 for a byte that starts none (a lone
// continuation byte, a sequence cut short, an overlong form, a surrogate,
// a code point above U+10FFFF). Reads only within the string.
std::size_t DecodeUtf8(const std::string& rkstr, std::size_t uAt, unsigned long& rulCode)
{
    const unsigned char ucLead = static_cast<unsigned char>(rkstr[uAt]);
    std::size_t uLength = 0;
    unsigned long ulMin = 0;
    if (ucLead < 0x80)
    {
        rulCode = ucLead;
        return 1;
    }
    if (ucLead >= 0xC2 && ucLead <= 0xDF)
    {
        uLength = 2;
        ulMin = 0x80;
        rulCode = ucLead & 0x1F;
    }
    else if (ucLead >= 0xE0 && ucLead <= 0xEF)
    {
        uLength = 3;
        ulMin = 0x800;
        rulCode = ucLead & 0x0F;
    }
    else if (ucLead >= 0xF0 && ucLead <= 0xF4)
    {
        uLength = 4;
        ulMin = 0x10000;
        rulCode = ucLead & 0x07;
    }
    else
        return 0;
    if (uLength > rkstr.size() - uAt)
        return 0;
    for (std::size_t i = 1; i < uLength; ++i)
    {
        const unsigned char uc = static_cast<unsigned char>(rkstr[uAt + i]);
        if ((uc & 0xC0) != 0x80)
            return 0;
        rulCode = (rulCode << 6) | (uc & 0x3F);
    }
    if (rulCode < ulMin || rulCode > 0x10FFFF || (rulCode >= 0xD800 && rulCode <= 0xDFFF))
        return 0;
    return uLength;
}

} // namespace

std::string QdShownLatin1(const std::string& rkstrLatin1)
{
    std::string strShown;
    strShown.reserve(rkstrLatin1.size());
    for (const char c : rkstrLatin1)
        AppendShown(strShown, static_cast<unsigned char>(c));
    return strShown;
}

std::string QdShownText(const std::string& rkstrBytes)
{
    std::string strShown;
    strShown.reserve(rkstrBytes.size());
    for (std::size_t i = 0; i < rkstrBytes.size();)
    {
        unsigned long ulCode = 0;
        const std::size_t uLength = DecodeUtf8(rkstrBytes, i, ulCode);
        if (uLength == 0)
        {
            AppendShown(strShown, static_cast<unsigned char>(rkstrBytes[i]));
            ++i;
            continue;
        }
        AppendShown(strShown, ulCode);
        i += uLength;
    }
    return strShown;
}

std::string QdLatin1ToUtf8(const std::string& rkstrLatin1)
{
    std::string strUtf8;
    strUtf8.reserve(rkstrLatin1.size());
    for (const char c : rkstrLatin1)
    {
        const unsigned char uc = static_cast<unsigned char>(c);
        if (uc < 0x80)
        {
            strUtf8 += c;
            continue;
        }
        // Two bytes: 110000xx 10xxxxxx for U+0080-U+00FF.
        strUtf8 += char(0xC0 | (uc >> 6));
        strUtf8 += char(0x80 | (uc & 0x3F));
    }
    return strUtf8;
}

// QdUtf8ToLatin1 -- only the one-byte forms and the two-byte forms of
// U+0080-U+00FF (lead byte C2 or C3) can map; any other lead byte is either
// invalid UTF-8 or a code point Latin-1 does not hold.
bool QdUtf8ToLatin1(const std::string& rkstrUtf8, std::string& rstrLatin1)
{
    std::string strLatin1;
    strLatin1.reserve(rkstrUtf8.size());
    const std::size_t uSize = rkstrUtf8.size();
    for (std::size_t i = 0; i < uSize; ++i)
    {
        const unsigned char uc = static_cast<unsigned char>(rkstrUtf8[i]);
        if (uc < 0x80)
        {
            strLatin1 += char(uc);
            continue;
        }
        if ((uc != 0xC2 && uc != 0xC3) || i + 1 >= uSize)
            return false;
        const unsigned char ucNext = static_cast<unsigned char>(rkstrUtf8[i + 1]);
        if ((ucNext & 0xC0) != 0x80)
            return false;
        strLatin1 += char(((uc & 0x03) << 6) | (ucNext & 0x3F));
        ++i;
    }
    rstrLatin1.swap(strLatin1);
    return true;
}
