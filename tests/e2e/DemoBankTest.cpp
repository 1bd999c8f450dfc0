// DemoBankTest.cpp -- the bundled demo bank (examples/demo.sty) has the
// instrument's bank layout and holds its styles in stored form; the MIDI
// files the demo styles are composed with are well formed.
#include "DemoBank.h"
#include "DemoSmf.h"
#include "DemoStyles.h"

#include "ChunkNav/ChunkNav.h"
#include "compression/COComp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

typedef std::vector<BYTE> Bytes;

constexpr int NR_SLOTS = 64;
constexpr int NAME_RECORD = 24;
// Slots (0-based) that hold the demo styles, in the order of DemoStyle().
const int s_aiStyleSlots[] = {0, 2, 3, 7, 12};

Bytes ReadDemoBank()
{
    std::ifstream oFile(QD_DEMO_BANK, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(oFile), std::istreambuf_iterator<char>());
}

struct CTopChunk
{
    DWORD m_dwOffset;
    BYTE m_byId;
    BYTE m_byFlags;
    DWORD m_dwLength;
};

// TopChunks -- the root's children, read straight from the bytes.
std::vector<CTopChunk> TopChunks(const Bytes& rkabyBank)
{
    std::vector<CTopChunk> aoChunks;
    DWORD dwOffset = 8;
    while (dwOffset + 8 <= rkabyBank.size())
    {
        const CTopChunk oChunk{dwOffset, rkabyBank[dwOffset], rkabyBank[dwOffset + 3],
                               QdReadBE32(&rkabyBank[dwOffset + 4])};
        aoChunks.push_back(oChunk);
        dwOffset += 8 + oChunk.m_dwLength;
    }
    EXPECT_EQ(dwOffset, rkabyBank.size()) << "the children fill the root exactly";
    return aoChunks;
}

// Decompressed -- a slot's compressed data, decoded with its check byte.
Bytes Decompressed(const Bytes& rkabyBank, const CTopChunk& rkoSlot)
{
    COComp oCodec;
    const DWORD dwSize = oCodec.ReadHeader(&rkabyBank[rkoSlot.m_dwOffset + 8], rkoSlot.m_dwLength);
    Bytes abyData(dwSize);
    if (dwSize == 0 || oCodec.Decode(abyData.data(), dwSize, true) != dwSize)
        return Bytes();
    return abyData;
}

// PatternChunks -- the pattern chunks (ids 2 to 4) in the pattern container
// (the style container's second child, id 2).
int PatternChunks(const Bytes& rkabyStyle)
{
    Bytes abyCopy = rkabyStyle;
    CChunkNav oNav(abyCopy.data(), DWORD(abyCopy.size()));
    if (!oNav.m_ofnEnter() || !oNav.m_ofnNext(CChunkId(2), typeAny, typeNotFinal) || !oNav.m_ofnEnter())
        return -1;
    int iCount = 0;
    do
    {
        const BYTE byId = oNav.m_pbyfnHeader()[0];
        iCount += byId >= 2 && byId <= 4 && oNav.m_efnGetType() == typeFinal;
    } while (oNav.m_ofnNext());
    return iCount;
}

} // namespace

TEST(DemoBank, HasTheBankLayout)
{
    const Bytes abyBank = ReadDemoBank();
    ASSERT_GT(abyBank.size(), 32u);
    // The file check: root header, first child's header, "VLMF" and a zero.
    EXPECT_EQ(Bytes(abyBank.begin(), abyBank.begin() + 4), (Bytes{0x01, 0x00, 0x01, 0x14}));
    EXPECT_EQ(QdReadBE32(&abyBank[4]) + 8, abyBank.size());
    EXPECT_EQ(Bytes(abyBank.begin() + 8, abyBank.begin() + 12), (Bytes{0x02, 0x00, 0x00, 0x18}));
    EXPECT_EQ(std::memcmp(&abyBank[23], "VLMF", 5), 0);

    const std::vector<CTopChunk> aoChunks = TopChunks(abyBank);
    ASSERT_EQ(aoChunks.size(), 2u + NR_SLOTS + 1);
    EXPECT_EQ(aoChunks[1].m_byId, 5);
    EXPECT_EQ(aoChunks[1].m_byFlags, CNCF_ATTR | CNCF_FINAL);
    EXPECT_EQ(aoChunks[1].m_dwLength, DWORD(NR_SLOTS * NAME_RECORD));

    const std::vector<CDemoSlot> aoSlots = DemoBankSlots();
    for (int k = 0; k < NR_SLOTS; ++k)
    {
        SCOPED_TRACE("slot " + std::to_string(k + 1));
        const CTopChunk& rkoSlot = aoChunks[std::size_t(k) + 2];
        const bool bStyle =
            std::find(std::begin(s_aiStyleSlots), std::end(s_aiStyleSlots), k) != std::end(s_aiStyleSlots);
        ASSERT_EQ(aoSlots[std::size_t(k)].m_iStyle >= 0, bStyle);
        const char* pkszRecord = reinterpret_cast<const char*>(&abyBank[aoChunks[1].m_dwOffset + 8 + k * NAME_RECORD]);
        if (!bStyle)
        {
            EXPECT_EQ(rkoSlot.m_byId, 7);
            EXPECT_EQ(rkoSlot.m_byFlags, CNCF_ATTR);
            EXPECT_STREQ(pkszRecord, "");
            continue;
        }
        EXPECT_EQ(rkoSlot.m_byId, 6);
        EXPECT_EQ(rkoSlot.m_byFlags, CNCF_ATTR | CNCF_COMPRESSED);
        EXPECT_EQ(std::memcmp(&abyBank[rkoSlot.m_dwOffset + 8], "OC32", 4), 0) << "version 3, method 2";
        EXPECT_EQ(std::string(pkszRecord), aoSlots[std::size_t(k)].m_strName);
    }

    // The directory lists the file offsets of every chunk from the name table
    // on, in file order, behind its four leading bytes.
    const CTopChunk& rkoDirectory = aoChunks.back();
    EXPECT_EQ(rkoDirectory.m_byId, 0xFE);
    ASSERT_EQ(rkoDirectory.m_dwLength, 4u + 4 * 100);
    const BYTE* pkbyList = &abyBank[rkoDirectory.m_dwOffset + 8 + 4];
    for (std::size_t i = 1; i + 1 < aoChunks.size(); ++i)
        EXPECT_EQ(QdReadBE32(pkbyList + 4 * (i - 1)), aoChunks[i].m_dwOffset) << "entry " << i - 1;
    EXPECT_EQ(QdReadBE32(pkbyList + 4 * (aoChunks.size() - 2)), 0u) << "nothing listed beyond";
}

// Each style slot holds the stored form that marker making gives the style:
// identical patterns shared, long grooves split into shared sub-patterns.
TEST(DemoBank, HoldsTheStylesInStoredForm)
{
    const Bytes abyBank = ReadDemoBank();
    const std::vector<CTopChunk> aoChunks = TopChunks(abyBank);
    ASSERT_EQ(aoChunks.size(), 2u + NR_SLOTS + 1);
    const std::vector<CDemoSlot> aoSlots = DemoBankSlots();
    DWORD dwSubPatterns = 0;
    for (int iStyle = 0; iStyle < DemoStyleCount(); ++iStyle)
    {
        const CDemoStyle oStyle = DemoStyle(iStyle);
        SCOPED_TRACE(oStyle.m_strName);
        const int iSlot = s_aiStyleSlots[iStyle];
        Bytes abyFlat;
        Bytes abyStored;
        ASSERT_TRUE(DemoBuildStyleChunk(oStyle, aoSlots[std::size_t(iSlot)].m_strName, false, abyFlat));
        ASSERT_TRUE(DemoBuildStyleChunk(oStyle, aoSlots[std::size_t(iSlot)].m_strName, true, abyStored));
        EXPECT_EQ(Decompressed(abyBank, aoChunks[std::size_t(iSlot) + 2]), abyStored);

        const CDemoStyleStats oStats = DemoMarkerStats(abyFlat);
        EXPECT_EQ(PatternChunks(abyFlat), int(oStats.m_dwFlatPatterns));
        EXPECT_EQ(PatternChunks(abyStored), int(oStats.m_dwStoredPatterns));
        EXPECT_GT(oStats.m_dwShared, 0u) << "drum parts are the same for every chord type";
        EXPECT_EQ(oStats.m_dwStoredPatterns, oStats.m_dwFlatPatterns - oStats.m_dwShared + oStats.m_dwSubPatterns);
        dwSubPatterns += oStats.m_dwSubPatterns;
    }
    EXPECT_GE(dwSubPatterns, 2u) << "the long grooves are stored as sub-patterns";
}

// Golden bytes of a composed file: header, time signature, program at tick
// 0, notes as note-on and note-off (no running status), end of track at the
// measure's end.
TEST(DemoSmf, WritesAFormat0File)
{
    CDemoSmf oSmf(3, 2);
    EXPECT_EQ(oSmf.MeasureTicks(), 1152u);
    oSmf.Note(9, 384, 38, 90, 48);
    oSmf.Note(9, 0, 36, 100, 48);
    oSmf.Program(8, 32);
    const Bytes abyExpected = {
        'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0x80, 'M', 'T', 'r', 'k', 0, 0, 0, 33,
        0x00, 0xFF, 0x58, 0x04, 3, 2, 24, 8,   // 3/4
        0x00, 0xC8, 32,                        // program first
        0x00, 0x99, 36, 100, 0x30, 0x89, 36, 64,
        0x82, 0x50, 0x99, 38, 90, 0x30, 0x89, 38, 64,
        0x85, 0x50, 0xFF, 0x2F, 0x00};         // at 1152
    EXPECT_EQ(oSmf.Bytes(1152), abyExpected);
    // A note that sounds past the end moves the end of track behind it.
    const Bytes abyLate = oSmf.Bytes(400);
    EXPECT_EQ(Bytes(abyLate.end() - 4, abyLate.end()), (Bytes{0x00, 0xFF, 0x2F, 0x00}));
}
