// COCompTest.cpp -- the slot codec: exact bytes of the parse at its
// boundaries, seeded round trips, refusal of corrupt streams, and output
// bounds under capacity limits and random damage.
#include "compression/COComp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using CBytes = std::vector<BYTE>;

CBytes Text(const std::string& str)
{
    return CBytes(str.begin(), str.end());
}

CBytes Cat(std::initializer_list<CBytes> aParts)
{
    CBytes oAll;
    for (const CBytes& oPart : aParts)
        oAll.insert(oAll.end(), oPart.begin(), oPart.end());
    return oAll;
}

// "OC", version digit, method 2, little-endian length.
CBytes Header(char cVersion, DWORD dwLength)
{
    return {'O', 'C', BYTE(cVersion), '2', BYTE(dwLength), BYTE(dwLength >> 8), BYTE(dwLength >> 16),
            BYTE(dwLength >> 24)};
}

BYTE PlainXor(const CBytes& oData)
{
    BYTE by = 0;
    for (BYTE b : oData)
        by ^= b;
    return by;
}

CBytes Encode(const CBytes& oSource, BYTE byVersion = 3, BYTE byMethod = 2)
{
    CBytes oOut(COComp::MaxEncodedSize(DWORD(oSource.size())));
    COComp oCodec;
    oOut.resize(oCodec.Encode(oSource.data(), DWORD(oSource.size()), oOut.data(), DWORD(oOut.size()), byVersion,
                              byMethod));
    return oOut;
}

// Decodes a whole stream; false when ReadHeader or Decode refuses it.
bool Decode(const CBytes& oStream, CBytes& oOut, bool bCheck = true)
{
    COComp oCodec;
    const DWORD dwSize = oCodec.ReadHeader(oStream.data(), DWORD(oStream.size()));
    oOut.assign(dwSize, 0);
    return dwSize != 0 && oCodec.Decode(oOut.data(), dwSize, bCheck) == dwSize;
}

// Linear de Bruijn sequence of order 2 over all byte values: no two-byte
// pair, hence no three-byte string, occurs twice, so nothing in it matches.
CBytes NoRepeats(DWORD dwLength)
{
    CBytes oSeq;
    for (int a = 0; a < 256; ++a)
    {
        oSeq.push_back(BYTE(a));
        for (int b = a + 1; b < 256; ++b)
        {
            oSeq.push_back(BYTE(a));
            oSeq.push_back(BYTE(b));
        }
    }
    oSeq.push_back(0);
    oSeq.resize(dwLength);
    return oSeq;
}

// Literals mixed with copies of earlier stretches at every distance class,
// lengths from 3 to beyond 0xFFFF, and runs of one byte.
CBytes Repetitive(DWORD dwLength, std::mt19937& oRng)
{
    CBytes o;
    while (o.size() < dwLength)
    {
        const DWORD dwKind = oRng() % 8;
        if (dwKind < 3 || o.size() < 8)
            for (DWORD dw = oRng() % 20; dw > 0; --dw)
                o.push_back(BYTE(oRng() % 6 == 0 ? oRng() : 'a' + oRng() % 4));
        else if (dwKind == 3)
            o.insert(o.end(), oRng() % (oRng() % 16 == 0 ? 70000 : 300) + 1, BYTE(oRng()));
        else
        {
            static const DWORD s_adwReach[] = {64, 0x800, 0x4000, 0xC000, 0x10000};
            const DWORD dwDistance = 1 + oRng() % std::min<DWORD>(DWORD(o.size()), s_adwReach[oRng() % 5]);
            for (DWORD dw = 3 + oRng() % (oRng() % 8 == 0 ? 600 : 40); dw > 0; --dw)
                o.push_back(o[o.size() - dwDistance]);
        }
    }
    o.resize(dwLength);
    return o;
}

// Chunk headers and measures of note events, repeated with small changes,
// as style slots are.
CBytes StyleLike(DWORD dwLength, std::mt19937& oRng)
{
    CBytes o;
    CBytes oMeasure;
    for (int i = 0; i < 16; ++i)
        oMeasure.insert(oMeasure.end(), {BYTE(0x90 | (i & 1)), BYTE(36 + oRng() % 24), BYTE(oRng() % 128), 0x60});
    while (o.size() < dwLength)
    {
        o.insert(o.end(), {'P', BYTE(oRng() % 8), 0, 0x01, 0, 0, BYTE(oRng() % 4), BYTE(oRng())});
        for (int iBar = oRng() % 8; iBar >= 0; --iBar)
        {
            oMeasure[(oRng() % 16) * 4 + 2] = BYTE(oRng() % 128);
            o.insert(o.end(), oMeasure.begin(), oMeasure.end());
        }
    }
    o.resize(dwLength);
    return o;
}

void ExpectRoundTrip(const CBytes& oSource, BYTE byVersion)
{
    const CBytes oStream = Encode(oSource, byVersion);
    ASSERT_FALSE(oStream.empty());
    ASSERT_LE(oStream.size(), COComp::MaxEncodedSize(DWORD(oSource.size())));
    CBytes oBack;
    ASSERT_TRUE(Decode(oStream, oBack));
    ASSERT_TRUE(oBack == oSource);
}

} // namespace

TEST(COCompGolden, ShortBlocksAndEmptyBlock)
{
    EXPECT_EQ(Encode(Text("abc")), Cat({Header('3', 3), {0x01, 0x00, 0x03, 'a', 'b', 'c', 0x01, 0x00, 0x00, 0x60}}));
    EXPECT_EQ(Encode(Text("abc"), 2), Cat({Header('2', 3), {0x01, 0x00, 0x03, 'a', 'b', 'c', 0x01, 0x00, 0x00}}));
    EXPECT_EQ(Encode(CBytes(25, 'a')),
              Cat({Header('3', 25), {0x02, 'a', 'a', 'a', 'a', 0x33, 0x00, 0x00, 0x01, 0x00, 0x00, 0x61}}));
    EXPECT_EQ(Encode({}), Cat({Header('3', 0), {0x01, 0x00, 0x00, 0x00}}));
    EXPECT_EQ(Encode({}, 2), Cat({Header('2', 0), {0x01, 0x00, 0x00}}));
    EXPECT_EQ(Encode(Text("abc"), 3, 0)[3], '0');

    // Up to 17 bytes there is no parse at all, however repetitive; at 18 it starts.
    EXPECT_EQ(Encode(CBytes(17, 'a')), Cat({Header('3', 17), {0x0F}, CBytes(17, 'a'), {0x01, 0x00, 0x00, 0x61}}));
    EXPECT_EQ(Encode(CBytes(18, 'a')),
              Cat({Header('3', 18), {0x02, 'a', 'a', 'a', 'a', 0x2C, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}}));
    // 22 a's then xyz: the middle match ends at the x; three trailing literals
    // at the end of the block take the 01-count form.
    EXPECT_EQ(Encode(Cat({CBytes(22, 'a'), Text("xyz")})),
              Cat({Header('3', 25), {0x02, 'a', 'a', 'a', 'a', 0x30, 0x00, 0x00, 0x01, 0x00, 0x03, 'x', 'y', 'z'},
                   {0x01, 0x00, 0x00, 0x7B}}));
}

TEST(COCompGolden, LiteralRunHeaders)
{
    struct SRow
    {
        DWORD dwLength;
        CBytes oRunHeader;
    };
    for (const SRow& oRow : {SRow{17, {0x0F}}, SRow{18, {0x00, 0x00}}, SRow{271, {0x00, 0xFD}},
                             SRow{272, {0x01, 0x01, 0x10}}, SRow{0xFFFF, {0x01, 0xFF, 0xFF}}})
    {
        const CBytes oSource = NoRepeats(oRow.dwLength);
        EXPECT_EQ(Encode(oSource), Cat({Header('3', oRow.dwLength), oRow.oRunHeader, oSource,
                                        {0x01, 0x00, 0x00, PlainXor(oSource)}}))
            << oRow.dwLength;
    }
    // Beyond 16 bits the run goes out in pieces of 0xFFFC.
    const CBytes oSource = NoRepeats(0x10001);
    const CBytes oHead(oSource.begin(), oSource.begin() + 0xFFFC);
    const CBytes oRest(oSource.begin() + 0xFFFC, oSource.end());
    EXPECT_TRUE(Encode(oSource) == Cat({Header('3', 0x10001), {0x01, 0xFF, 0xFC}, oHead, {0x01, 0x00, 0x05}, oRest,
                                        {0x01, 0x00, 0x00, PlainXor(oSource)}}));
}

TEST(COCompGolden, MatchLengthsAndTrailingLiterals)
{
    // Middle match length 33 in the token byte, 34 with an extension byte of 0;
    // at 34 the lookahead's 33 gains as much, and a tie keeps the earlier match.
    EXPECT_EQ(Encode(CBytes(37, 'a')),
              Cat({Header('3', 37), {0x02, 'a', 'a', 'a', 'a', 0x3F, 0x00, 0x00, 0x01, 0x00, 0x00, 0x61}}));
    EXPECT_EQ(Encode(CBytes(38, 'a')),
              Cat({Header('3', 38), {0x02, 'a', 'a', 'a', 'a', 0x20, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}}));

    // Short matches (8 at distance 10); the two literals between them ride in
    // the low bits of the first match (E0 24 -> E0 26).
    const CBytes oSource = Text("abcdefghXYabcdefghQRabcdefgh0123456789!#$");
    EXPECT_EQ(Encode(oSource), Cat({Header('3', 41), {0x08}, Text("abcdefghXY"), {0xE0, 0x26, 'Q', 'R', 0xE0, 0x24},
                                    {0x0B}, Text("0123456789!#$"), {0x01, 0x00, 0x00, 0x2D}}));
}

TEST(COCompGolden, CandidateChoiceAndLookahead)
{
    const CBytes oTail = Text("0123456789+-=");
    // Nearer 33 bytes against farther 34: both gain 30, the nearer wins.
    const CBytes oLetters = Text("abcdefghijklmnopqrstuvwxyzABCDEFGH");
    const CBytes oNear(oLetters.begin(), oLetters.end() - 1);
    CBytes oSource = Cat({oLetters, Text("#"), oNear, Text("Q"), oLetters, Text("%"), oTail});
    EXPECT_EQ(Encode(oSource), Cat({Header('3', 117), {0x00, 0x11}, oLetters, Text("#"), {0x3F, 0x00, 0x89, 'Q'},
                                    {0x3F, 0x00, 0x84, 0x0D}, Text("H%"), oTail,
                                    {0x01, 0x00, 0x00, PlainXor(oSource)}}));

    // Three equal bytes make a match up to distance 0x800, not beyond.
    for (DWORD dwDistance : {0x800u, 0x801u})
    {
        const DWORD dwRun = dwDistance - 4;
        oSource = Cat({Text("ABCD"), CBytes(dwRun, 'z'), Text("ABCE"), oTail});
        const CBytes oAfterRun = dwDistance == 0x800 ? Cat({{0x5F, 0xFC, 0x0C}, Text("E"), oTail})
                                                     : Cat({{0x0F}, Text("ABCE"), oTail});
        EXPECT_EQ(Encode(oSource),
                  Cat({Header('3', DWORD(oSource.size())), {0x03}, Text("ABCDz"),
                       {0x21, BYTE((dwRun - 1) >> 8), BYTE(dwRun - 1), 0x00, 0x00}, oAfterRun,
                       {0x01, 0x00, 0x00, PlainXor(oSource)}}))
            << dwDistance;
    }

    // No match starts within the last 13 bytes.
    const CBytes oP = NoRepeats(20);
    oSource = Cat({oP, CBytes(oP.begin(), oP.begin() + 13)});
    EXPECT_EQ(Encode(oSource), Cat({Header('3', 33), {0x00, 0x0F}, oSource, {0x01, 0x00, 0x00, PlainXor(oSource)}}));
    oSource = Cat({oP, CBytes(oP.begin(), oP.begin() + 14)});
    EXPECT_EQ(Encode(oSource), Cat({Header('3', 34), {0x00, 0x02}, oP, {0x2C, 0x00, 0x4C, 0x01, 0x00, 0x00,
                                                                          PlainXor(oSource)}}));

    // A gain of exactly 0x800 still looks one byte ahead: at the second c,
    // 2053 bytes match at distance 2054 (gain 0x800), one byte later 2100
    // bytes at distance 4155, and the later match is taken.
    const CBytes oB = NoRepeats(2100);
    const CBytes oB2052(oB.begin(), oB.begin() + 2052);
    oSource = Cat({oB, {0xEE}, oB2052, {'#', 0xEE}, oB, oTail});
    EXPECT_EQ(Encode(oSource), Cat({Header('3', 6268), {0x01, 0x08, 0x35}, oB, {0xEE, 0x21, 0x08, 0x04, 0x20, 0xD2},
                                    {'#', 0xEE, 0x21, 0x08, 0x34, 0x40, 0xE8, 0x0B}, oTail,
                                    {0x01, 0x00, 0x00, PlainXor(oSource)}}));

    // After k pending literals "abc" matches 3 bytes (gain 1) and, one byte
    // later, "bcde" 4 bytes (gain 2). The later match wins unless k + 1
    // literals cost one more header byte than k (k = 3, 17, 273).
    struct SRow
    {
        DWORD dwPending;
        bool bLater;
        CBytes oRunHeader;
    };
    for (const SRow& oRow : {SRow{2, true, {}}, SRow{3, false, {}}, SRow{4, true, {0x03}}, SRow{17, false, {0x0F}},
                             SRow{18, true, {0x00, 0x01}}, SRow{271, true, {0x01, 0x01, 0x10}},
                             SRow{273, false, {0x01, 0x01, 0x11}}, SRow{274, true, {0x01, 0x01, 0x13}}})
    {
        const CBytes oFresh = NoRepeats(oRow.dwPending);
        const DWORD dwAt = 50 + oRow.dwPending;
        oSource = Cat({Text("XbcdeYabcZ"), CBytes(40, 'r'), oFresh, Text("abcdeW"), oTail});
        const DWORD dwLiterals = oRow.dwPending + (oRow.bLater ? 1 : 0);
        const DWORD dwToken = oRow.bLater ? 0x6000 | ((dwAt - 1) << 2) : 0x4000 | ((dwAt - 7) << 2);
        EXPECT_EQ(Encode(oSource),
                  Cat({Header('3', DWORD(oSource.size())), {0x09}, Text("XbcdeYabcZr"),
                       {0x20, 0x05, 0x00, BYTE(dwLiterals <= 3 ? dwLiterals : 0)}, oRow.oRunHeader, oFresh,
                       oRow.bLater ? Text("a") : CBytes{}, {BYTE(dwToken >> 8), BYTE(dwToken)},
                       oRow.bLater ? CBytes{0x0C} : Text("\x0E" "de"), Text("W"), oTail,
                       {0x01, 0x00, 0x00, PlainXor(oSource)}}))
            << oRow.dwPending;
    }
}

TEST(COCompGolden, DistanceClassBoundaries)
{
    // Ten letters, a run of z, the ten letters again at distance D, thirteen
    // final literals: the run is one long middle match at distance 1, the
    // repeat a 10-byte match whose class (or absence) follows from D.
    struct SRow
    {
        DWORD dwDistance;
        CBytes oToken;
    };
    for (const SRow& oRow : {SRow{0x4000, {0x28, 0xFF, 0xFC}}, SRow{0x4001, {0x10, 0x00, 0x00, 0x00}},
                             SRow{0x8001, {0x18, 0x00, 0x00, 0x00}}, SRow{0xC000, {0x18, 0x00, 0xFF, 0xFC}},
                             SRow{0xC001, {}}})
    {
        const DWORD dwRun = oRow.dwDistance - 10;
        const CBytes oSource = Cat({Text("ABCDEFGHIJ"), CBytes(dwRun, 'z'), Text("ABCDEFGHIJ0123456789abc")});
        const CBytes oTail = oRow.oToken.empty() ? Cat({{0x00, 0x05}, Text("ABCDEFGHIJ0123456789abc")})
                                                 : Cat({oRow.oToken, {0x0B}, Text("0123456789abc")});
        const CBytes oExpected = Cat({Header('3', DWORD(oSource.size())), {0x09}, Text("ABCDEFGHIJz"),
                                      {0x21, BYTE((dwRun - 1) >> 8), BYTE(dwRun - 1), 0x00, 0x00}, oTail,
                                      {0x01, 0x00, 0x00, PlainXor(oSource)}});
        EXPECT_EQ(Encode(oSource), oExpected) << std::hex << oRow.dwDistance;
        ExpectRoundTrip(oSource, 3);
    }
}

TEST(COCompRoundTrip, SeededBlocksOfEveryKindAndSize)
{
    const DWORD adwSizes[] = {1, 2, 3, 4, 13, 17, 18, 19, 31, 300, 2049, 0xFFFF, 0x10000, 0x10001, 150000};
    for (DWORD dwSeed = 1; dwSeed <= 6; ++dwSeed)
    {
        SCOPED_TRACE("seed " + std::to_string(dwSeed));
        std::mt19937 oRng(dwSeed);
        for (DWORD dwSize : adwSizes)
        {
            SCOPED_TRACE("size " + std::to_string(dwSize));
            CBytes oRandom(dwSize);
            for (BYTE& b : oRandom)
                b = BYTE(oRng());
            const BYTE byVersion = BYTE(2 + dwSeed % 2);
            ExpectRoundTrip(oRandom, byVersion);
            ExpectRoundTrip(Repetitive(dwSize, oRng), byVersion);
            ExpectRoundTrip(StyleLike(dwSize, oRng), byVersion);
        }
        ExpectRoundTrip(Repetitive(1000 + oRng() % 300000, oRng), 3);
    }
}

TEST(COCompRoundTrip, RepeatsBeyondTheShortAndMiddleWindowsAreFound)
{
    // Random bytes repeated only at a distance: the repeat can be coded as
    // matches of that distance class or not at all, so the stream shrinks
    // by about the repeat only when those matches are made.
    std::mt19937 oRng(7);
    for (DWORD dwGap : {3000u, 20000u, 40000u})
    {
        CBytes oBlock(4000), oGap(dwGap);
        for (BYTE& b : oBlock)
            b = BYTE(oRng());
        for (BYTE& b : oGap)
            b = BYTE(oRng());
        const CBytes oSource = Cat({oBlock, oGap, oBlock});
        EXPECT_LT(Encode(oSource).size(), oSource.size() - 3900) << dwGap;
        ExpectRoundTrip(oSource, 3);
    }
}

TEST(COCompEncode, CapacityAndParameterLimits)
{
    std::mt19937 oRng(11);
    CBytes oRandom(70000);
    for (BYTE& b : oRandom)
        b = BYTE(oRng());
    // The costliest pattern: runs of 18 literals, each followed by a 3-byte
    // match, 22 stream bytes for every 21 source bytes.
    CBytes oWorst;
    while (oWorst.size() < 60000)
    {
        for (int i = 0; i < 17; ++i)
            oWorst.push_back(BYTE(oRng()));
        const DWORD dwDistance = 1 + oRng() % std::min<DWORD>(DWORD(oWorst.size()), 2000);
        for (int i = 0; i < 3; ++i)
            oWorst.push_back(oWorst[oWorst.size() - dwDistance]);
        oWorst.push_back(BYTE(oRng()));
    }
    EXPECT_GT(Encode(oWorst).size(), oWorst.size() + oWorst.size() / 24);
    ExpectRoundTrip(oWorst, 3);

    for (const CBytes& oSource : {Text("abc"), CBytes(25, 'a'), oRandom, oWorst, StyleLike(30000, oRng)})
    {
        const CBytes oStream = Encode(oSource);
        const DWORD dwExact = DWORD(oStream.size());
        for (DWORD dwCapacity : {dwExact, dwExact - 1, dwExact / 2, 8u, 7u})
        {
            CBytes oOut(dwCapacity + 1, 0xA5);
            COComp oCodec;
            const DWORD dwWritten =
                oCodec.Encode(oSource.data(), DWORD(oSource.size()), oOut.data(), dwCapacity, 3, 2);
            EXPECT_EQ(dwWritten, dwCapacity == dwExact ? dwExact : 0u) << dwCapacity;
            EXPECT_EQ(oOut[dwCapacity], 0xA5) << dwCapacity;
        }
    }
    BYTE abyOut[64] = {};
    COComp oCodec;
    EXPECT_EQ(oCodec.Encode(abyOut, 4, abyOut + 8, 40, 1, 2), 0u);
    EXPECT_EQ(oCodec.Encode(abyOut, 4, abyOut + 8, 40, 4, 2), 0u);
    EXPECT_EQ(oCodec.Encode(abyOut, 4, abyOut + 8, 40, 3, 3), 0u);
    EXPECT_EQ(COComp::MaxEncodedSize(0xFFFFFFFF), 0xFFFFFFFFu);
}

TEST(COCompDecode, RefusesCorruptStreams)
{
    const CBytes abcd = Text("abcd");
    const CBytes oAbc = {0x01, 0x00, 0x03, 'a', 'b', 'c', 0x01, 0x00, 0x00}; // tokens of "abc"
    struct SCase
    {
        const char* pszWhat;
        CBytes oStream;
    };
    const SCase aCases[] = {
        {"distance before output start", Cat({Header('3', 7), {0x02}, abcd, {0x40, 0x10, 0x01, 0x00, 0x00, 0x00}})},
        {"first token a match", Cat({Header('2', 3), {0x40, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00}})},
        {"far match before output start", Cat({Header('2', 18), {0x0C}, CBytes(14, 'q'), {0x12, 0x00, 0x00}})},
        {"truncated length extension", Cat({Header('2', 40), {0x02}, abcd, {0x21, 0x00}})},
        {"truncated distance", Cat({Header('2', 40), {0x02}, abcd, {0x2A, 0x00}})},
        {"truncated literal run", Cat({Header('2', 12), {0x0A}, abcd, abcd})},
        {"literal run past output", Cat({Header('3', 3), {0x02}, abcd, {0x01, 0x00, 0x00, 0x04}})},
        {"match past output", Cat({Header('3', 6), {0x02}, abcd, {0x40, 0x04, 0x01, 0x00, 0x00, 0x00}})},
        {"trailing literal past output",
         Cat({Header('3', 7), {0x02}, abcd, {0x40, 0x05, 'x', 'y', 0x01, 0x00, 0x00, 0x00}})},
        {"trailing literal past input", Cat({Header('2', 14), {0x02}, abcd, {0x02}, abcd, {0x40, 0x07, 'x', 'y'}})},
        {"bytes after the end marker", Cat({Encode(Text("abc"), 2), {0x00}})},
        {"size larger than produced", Cat({Header('3', 4), oAbc, {0x60}})},
        {"size smaller than produced", Cat({Header('3', 2), oAbc, {0x60}})},
        {"wrong check byte", Cat({Header('3', 3), oAbc, {0x61}})},
        {"14 bytes", Cat({Header('2', 3), {0x01, 0x00, 0x03, 'a', 'b', 'c'}})},
        {"magic", Cat({{'O', 'D', '3', '2', 3, 0, 0, 0}, oAbc, {0x60}})},
    };
    for (const SCase& oCase : aCases)
    {
        CBytes oOut;
        EXPECT_FALSE(Decode(oCase.oStream, oOut)) << oCase.pszWhat;
    }
    for (BYTE byVersion : {'0', '1', '4', 'A'})
    {
        CBytes oStream = Encode(Text("abc"));
        oStream[2] = byVersion;
        COComp oCodec;
        EXPECT_EQ(oCodec.ReadHeader(oStream.data(), DWORD(oStream.size())), 0u) << byVersion;
        oStream[2] = '3';
        oStream[3] = BYTE(byVersion + 3);
        EXPECT_EQ(oCodec.ReadHeader(oStream.data(), DWORD(oStream.size())), 0u) << byVersion;
    }
}

TEST(COCompDecode, StreamEndsAndCheckByte)
{
    CBytes oOut;
    // Version 2: the last byte belongs to the token stream; a stream that
    // runs exactly to its end needs no end marker.
    EXPECT_TRUE(Decode(Encode(Text("abc"), 2), oOut));
    EXPECT_EQ(oOut, Text("abc"));
    EXPECT_TRUE(Decode(Cat({Header('2', 7), {0x05}, Text("abcdefg")}), oOut));
    EXPECT_EQ(oOut, Text("abcdefg"));
    // Methods 0 and 1 decode the same way.
    EXPECT_TRUE(Decode(Encode(Text("abcabcabc"), 3, 1), oOut));
    // A wrong check byte only fails when asked to check.
    const CBytes oBad = Cat({Header('3', 3), {0x01, 0x00, 0x03, 'a', 'b', 'c', 0x01, 0x00, 0x00, 0x61}});
    EXPECT_TRUE(Decode(oBad, oOut, false));
    // The empty block's stream is shorter than any stream ReadHeader takes.
    COComp oCodec;
    const CBytes oEmpty = Encode({});
    EXPECT_EQ(oCodec.ReadHeader(oEmpty.data(), DWORD(oEmpty.size())), 0u);

    // Too small an output, and a second Decode without ReadHeader, are refused.
    const CBytes oStream = Encode(CBytes(100, 'x'));
    BYTE abyOut[100];
    ASSERT_EQ(oCodec.ReadHeader(oStream.data(), DWORD(oStream.size())), 100u);
    EXPECT_EQ(oCodec.Decode(abyOut, 99, true), 0u);
    ASSERT_EQ(oCodec.ReadHeader(oStream.data(), DWORD(oStream.size())), 100u);
    EXPECT_EQ(oCodec.Decode(abyOut, 100, true), 100u);
    EXPECT_EQ(oCodec.Decode(abyOut, 100, true), 0u);
}

TEST(COCompDecode, DamagedStreamsStayInsideTheirBuffers)
{
    // Flipped, overwritten and cut bytes of valid streams: whatever the
    // decoder makes of them, it writes nothing past the decoded size
    // (guard bytes) and reads nothing past the stream (a separate copy of
    // exactly the stream's length, for the sanitizer build).
    std::mt19937 oRng(2024);
    const CBytes aStreams[] = {Encode(StyleLike(6000, oRng), 3), Encode(Repetitive(6000, oRng), 2)};
    constexpr DWORD GUARD = 64;
    for (DWORD dwRound = 0; dwRound < 6000; ++dwRound)
    {
        SCOPED_TRACE("round " + std::to_string(dwRound));
        CBytes oStream = aStreams[dwRound % 2];
        for (DWORD dw = 1 + oRng() % 4; dw > 0; --dw)
        {
            BYTE& by = oStream[8 + oRng() % (oStream.size() - 8)];
            by = oRng() % 2 ? BYTE(by ^ (1u << (oRng() % 8))) : BYTE(oRng());
        }
        if (oRng() % 4 == 0)
            oStream.resize(8 + oRng() % (oStream.size() - 8));
        if (oRng() % 8 == 0)
            oStream[4 + oRng() % 2] = BYTE(oRng());

        const std::unique_ptr<BYTE[]> pbyExact(new BYTE[oStream.size()]);
        std::memcpy(pbyExact.get(), oStream.data(), oStream.size());
        COComp oCodec;
        const DWORD dwSize = oCodec.ReadHeader(pbyExact.get(), DWORD(oStream.size()));
        if (dwSize == 0 || dwSize > 0x40000)
            continue;
        CBytes oOut(dwSize + GUARD, 0xA5);
        oCodec.Decode(oOut.data(), dwSize, dwRound % 3 != 0);
        for (DWORD dw = dwSize; dw < dwSize + GUARD; ++dw)
            ASSERT_EQ(oOut[dw], 0xA5);
    }
}
