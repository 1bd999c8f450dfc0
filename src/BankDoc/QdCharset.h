// QdCharset.h -- the bank's 8-bit text and Unicode.
//
// A style name is up to 23 bytes of the instrument's 8-bit character set;
// the bank says nothing of which one. Where a name has to become Unicode
// (JSON output, a name typed in UTF-8), each byte stands for the code point
// of the same value, U+0000-U+00FF: ISO-8859-1 (Latin-1). The mapping is
// one to one, so a name survives the round trip byte for byte, and no byte
// value makes invalid UTF-8. The names of the demo bank are plain ASCII,
// the same in every 8-bit set.
#pragma once

#include <string>

// QdLatin1ToUtf8 -- every byte as the code point of its value, in UTF-8.
std::string QdLatin1ToUtf8(const std::string& rkstrLatin1);

// QdUtf8ToLatin1 -- the reverse: false, rstrLatin1 unchanged, when the text
// is not valid UTF-8 or holds a code point above U+00FF.
bool QdUtf8ToLatin1(const std::string& rkstrUtf8, std::string& rstrLatin1);
