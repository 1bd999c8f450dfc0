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

// Text for a terminal or a text file, whatever bytes it comes from (a
// damaged name, a foreign MIDI file's text): always valid UTF-8, and no
// control character raw, so that a line break or an escape sequence in a
// name can neither split a line of output nor reach the terminal. Control
// characters (U+0000-U+001F, U+007F and the C1 controls U+0080-U+009F) are
// written as \n, \r, \t and \xHH (the code point in hex, upper case); a
// backslash stays as it is, so a name without control characters reads as
// it is (the JSON output gives every name exactly).
//
// QdShownLatin1 -- the bank's or a MIDI file's 8-bit text: each byte the
// character of its value (ISO-8859-1, as QdLatin1ToUtf8), controls escaped.
std::string QdShownLatin1(const std::string& rkstrLatin1);
// QdShownText -- a line that mixes such text with UTF-8 (a message with a
// path given on the command line): valid UTF-8 sequences stay, any other
// byte is taken as ISO-8859-1; controls escaped as above.
std::string QdShownText(const std::string& rkstrBytes);
