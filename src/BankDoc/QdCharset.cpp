// QdCharset.cpp -- Latin-1 to UTF-8 and back.
#include "BankDoc/QdCharset.h"

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
