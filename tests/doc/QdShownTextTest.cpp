// QdShownTextTest.cpp -- text shown on a terminal is valid UTF-8 without a
// raw control character, whatever bytes it comes from.
#include "BankDoc/QdCharset.h"

#include <gtest/gtest.h>

#include <string>

TEST(QdShownText, EveryByteBecomesValidUtf8WithControlsEscaped)
{
    using namespace std::string_literals;
    const struct
    {
        std::string m_strBytes;
        const char* m_pszLatin1; // QdShownLatin1: every byte a character
        const char* m_pszText;   // QdShownText: UTF-8 kept, other bytes as Latin-1
    } akoCases[] = {
        {"Pop 8Beat", "Pop 8Beat", "Pop 8Beat"},
        {"back\\slash \"q\"", "back\\slash \"q\"", "back\\slash \"q\""},
        {"Caf\xE9", "Caf\xC3\xA9", "Caf\xC3\xA9"},
        {"Caf\xC3\xA9", "Caf\xC3\x83\xC2\xA9", "Caf\xC3\xA9"},
        {"a\nb\tc\r", "a\\nb\\tc\\r", "a\\nb\\tc\\r"},
        {"\x1B[31mred\x07", "\\x1B[31mred\\x07", "\\x1B[31mred\\x07"},
        {"nul\0end"s, "nul\\x00end", "nul\\x00end"},
        {"\x7F\x85\x9F\xA0", "\\x7F\\x85\\x9F\xC2\xA0", "\\x7F\\x85\\x9F\xC2\xA0"},
        // U+0085 in UTF-8 is a C1 control too.
        {"\xC2\x85", "\xC3\x82\\x85", "\\x85"},
        {"\xE2\x82\xAC", "\xC3\xA2\\x82\xC2\xAC", "\xE2\x82\xAC"},
        {"\xF0\x9F\x8E\xB9", "\xC3\xB0\\x9F\\x8E\xC2\xB9", "\xF0\x9F\x8E\xB9"},
        // Not UTF-8: overlong, a surrogate, above U+10FFFF, cut short at the end.
        {"\xC0\xAF", "\xC3\x80\xC2\xAF", "\xC3\x80\xC2\xAF"},
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\\x80", "\xC3\xAD\xC2\xA0\\x80"},
        {"\xF4\x90\x80\x80", "\xC3\xB4\\x90\\x80\\x80", "\xC3\xB4\\x90\\x80\\x80"},
        {"ab\xE2\x82", "ab\xC3\xA2\\x82", "ab\xC3\xA2\\x82"},
    };
    for (const auto& rkoCase : akoCases)
    {
        EXPECT_EQ(QdShownLatin1(rkoCase.m_strBytes), rkoCase.m_pszLatin1) << rkoCase.m_pszText;
        EXPECT_EQ(QdShownText(rkoCase.m_strBytes), rkoCase.m_pszText) << rkoCase.m_pszText;
    }
}
