// ChunkNavTest.cpp -- the chunk navigator against golden trees, a reference
// model of the tree under seeded random edits, and blocks whose lengths lie
// (exact-size blocks, so that the sanitizer build sees any stray access).
#include "ChunkNav/ChunkNav.h"
#include "ReportCapture.h"
#include "compression/COComp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <ostream>
#include <random>
#include <string>
#include <vector>

// Largest array allocation since the last reset: shows that a size read from
// a stream is checked before anything is allocated for it. Every array form
// goes through malloc and free, so allocation and release always match.
static std::size_t s_uLargestArrayNew = 0;

void* operator new[](std::size_t uSize, const std::nothrow_t&) noexcept
{
    s_uLargestArrayNew = std::max(s_uLargestArrayNew, uSize);
    return std::malloc(uSize != 0 ? uSize : 1);
}
void* operator new[](std::size_t uSize)
{
    void* pv = operator new[](uSize, std::nothrow);
    if (pv == nullptr)
        std::abort();
    return pv;
}
void operator delete[](void* pv) noexcept
{
    std::free(pv);
}
void operator delete[](void* pv, std::size_t) noexcept
{
    std::free(pv);
}
void operator delete[](void* pv, const std::nothrow_t&) noexcept
{
    std::free(pv);
}

void PrintTo(const CChunkId& rkoId, std::ostream* pOut)
{
    *pOut << (rkoId.m_bValid ? "id " + std::to_string(rkoId.m_byId) : std::string("invalid"));
}

namespace {

typedef std::vector<BYTE> CBytes;

std::string AssertText(const char* pszCondition, int iLine)
{
    return std::string("Assert ") + pszCondition + " File:ChunkNav/ChunkNav Line:" + std::to_string(iLine);
}

// A block of dwCapacity bytes (0xEE where no tree lies) and behind it dwGuard
// canary bytes that no edit may touch.
class CGuardedBlock
{
public:
    CGuardedBlock(const CBytes& abyTree, DWORD dwCapacity, DWORD dwGuard = 16)
        : m_dwCapacity(dwCapacity), m_aby(dwCapacity + dwGuard, 0xA5)
    {
        std::fill_n(m_aby.begin(), dwCapacity, BYTE(0xEE));
        std::copy(abyTree.begin(), abyTree.end(), m_aby.begin());
    }
    BYTE* Data() { return m_aby.data(); }
    DWORD Capacity() const { return m_dwCapacity; }
    CBytes Used(DWORD dwLength) const { return CBytes(m_aby.begin(), m_aby.begin() + dwLength); }
    bool GuardIntact() const
    {
        return std::all_of(m_aby.begin() + m_dwCapacity, m_aby.end(), [](BYTE by) { return by == 0xA5; });
    }

private:
    DWORD m_dwCapacity;
    CBytes m_aby;
};

// Reference model of a chunk: a plain container holds children, a final or
// compressed chunk holds bytes; a compressed chunk remembers itself as it was.
struct CModelChunk
{
    BYTE m_byId = 0, m_byParam1 = 0, m_byParam2 = 0, m_byFlags = 0;
    CBytes m_abyData;
    std::vector<CModelChunk> m_aoChildren;
    std::shared_ptr<const CModelChunk> m_poPlain;

    bool IsPlainContainer() const { return !(m_byFlags & (CNCF_FINAL | CNCF_COMPRESSED)); }
    void AppendData(CBytes& raby) const
    {
        raby.insert(raby.end(), m_abyData.begin(), m_abyData.end());
        for (const CModelChunk& rko : m_aoChildren)
            rko.Append(raby);
    }
    void Append(CBytes& raby) const
    {
        CBytes abyData;
        AppendData(abyData);
        raby.insert(raby.end(), {m_byId, m_byParam1, m_byParam2, m_byFlags, 0, 0, 0, 0});
        QdWriteBE32(&raby[raby.size() - 4], DWORD(abyData.size()));
        raby.insert(raby.end(), abyData.begin(), abyData.end());
    }
    CBytes Bytes() const
    {
        CBytes aby;
        Append(aby);
        return aby;
    }
};

// Strict parse of chunks laid end to end: every plain container's length must
// be exactly the sum of its children's sizes.
bool ParseChunks(const BYTE* pby, DWORD dwLength, std::vector<CModelChunk>& raoOut)
{
    while (dwLength > 0)
    {
        if (dwLength < 8 || QdReadBE32(pby + 4) > dwLength - 8)
            return false;
        CModelChunk o;
        o.m_byId = pby[0], o.m_byParam1 = pby[1], o.m_byParam2 = pby[2], o.m_byFlags = pby[3];
        const DWORD dwData = QdReadBE32(pby + 4);
        if (!o.IsPlainContainer())
            o.m_abyData.assign(pby + 8, pby + 8 + dwData);
        else if (!ParseChunks(pby + 8, dwData, o.m_aoChildren))
            return false;
        raoOut.push_back(std::move(o));
        pby += 8 + dwData;
        dwLength -= 8 + dwData;
    }
    return true;
}

CModelChunk Parse(const CBytes& aby)
{
    std::vector<CModelChunk> ao;
    EXPECT_TRUE(ParseChunks(aby.data(), DWORD(aby.size()), ao) && ao.size() == 1);
    return ao.at(0);
}

// The invariants every edit keeps: one root filling m_dwSize, consistent
// lengths at every depth, reserve + size = capacity.
::testing::AssertionResult TreeIsConsistent(const CChunkNav& rkoNav, DWORD dwCapacity)
{
    std::vector<CModelChunk> aoRoot;
    if (int64_t(rkoNav.m_dwfnUsedSize()) + rkoNav.m_sdwfnExtraLength() != dwCapacity)
        return ::testing::AssertionFailure() << "size + reserve != capacity";
    if (!ParseChunks(rkoNav.m_pbyfnBlock(), rkoNav.m_dwfnUsedSize(), aoRoot) || aoRoot.size() != 1)
        return ::testing::AssertionFailure() << "the used bytes are not exactly one consistent root chunk";
    return ::testing::AssertionSuccess();
}

// clang-format off
// Root 1 holding one final chunk 2 with AA BB CC.
const CBytes GOLDEN_TREE = {0x01, 0, 0, 0x00, 0, 0, 0, 0x0B, 0x02, 0, 0, 0x08, 0, 0, 0, 0x03, 0xAA, 0xBB, 0xCC};

// A small bank: file header chunk (8), name table (28), slot holding a style
// (40, style 48, final chunk 56), empty slot (66), slot holding an empty
// style (74, style 82), offset directory (90).
const CBytes BANK_TREE = {
    0x01, 0x00, 0x01, 0x14, 0x00, 0x00, 0x00, 0x5E,
    0x02, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x0C, 0, 0, 0, 0, 0, 0, 0, 'V', 'L', 'M', 'F', 0,
    0x05, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x04, 'S', 't', 'y', 0,
    0x06, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x12,
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0A,
    0x03, 0x01, 0x02, 0x08, 0x00, 0x00, 0x00, 0x02, 0x11, 0x22,
    0x07, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00,
    0x06, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x08,
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xFE, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x08};
// clang-format on

// Moves the navigator to the chunk at dwOffset by a full walk.
bool GoToOffset(CChunkNav& roNav, DWORD dwOffset)
{
    roNav.m_ofnRewind();
    while (roNav.m_dwfnOffset() != dwOffset)
        if (!roNav.m_ofnFind(CChunkId(), typeAny, typeAny, 0, 0))
            return false;
    return true;
}

TEST(ChunkNavGolden, NineteenByteTreeIsReadAndBuiltByteForByte)
{
    CGuardedBlock oBlock(GOLDEN_TREE, 32);
    CChunkNav oNav(oBlock.Data(), 32);
    EXPECT_EQ(oNav.m_dwfnUsedSize(), 19u);
    EXPECT_EQ(oNav.m_sdwfnExtraLength(), 13);
    EXPECT_EQ(oNav.m_ofnEnter(), CChunkId(2));
    EXPECT_EQ(oNav.m_dwfnOffset(), 8u);
    EXPECT_EQ(CBytes(oNav.m_pbyfnData(), oNav.m_pbyfnData() + oNav.m_dwfnDataLength()), CBytes({0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(oNav.m_ofnNext(), CChunkId());
    EXPECT_EQ(oNav.m_ofnLeave(), CChunkId(1));
    EXPECT_EQ(oNav.m_ofnLeave(), CChunkId());

    CGuardedBlock oEmpty({0x01, 0, 0, 0, 0, 0, 0, 0}, 32);
    CChunkNav oBuild(oEmpty.Data(), 32);
    ASSERT_EQ(oBuild.m_ofnCreateChild(typeAny, typeFinal, CChunkId(2), 0, 0, 3), CChunkId(2));
    oBuild.m_fnWriteData(&GOLDEN_TREE[16], 3, 0);
    EXPECT_EQ(oEmpty.Used(19), GOLDEN_TREE);
    EXPECT_EQ(oBuild.m_sdwfnExtraLength(), 13);
}

TEST(ChunkNavGolden, BankTreeBuiltWithCreateAndInsertFillsTheBlockExactly)
{
    CGuardedBlock oBlock({0x01, 0x00, 0x01, 0x14, 0, 0, 0, 0}, DWORD(BANK_TREE.size()));
    CChunkNav oNav(oBlock.Data(), oBlock.Capacity());
    ASSERT_TRUE(oNav.m_ofnCreateChild(typeFinal, typeFinal, CChunkId(2), 0, 0, 12));
    oNav.m_fnWriteData(&BANK_TREE[16], 12, 0);
    ASSERT_TRUE(oNav.m_ofnInsertAfter(typeFinal, typeFinal, CChunkId(5), 0, 0, 4));
    oNav.m_fnWriteData(&BANK_TREE[36], 4, 0);
    ASSERT_TRUE(oNav.m_ofnInsertAfter(typeFinal, typeNotFinal, CChunkId(6), 0, 0, 999)); // container: length 0
    ASSERT_TRUE(oNav.m_ofnCreateChild(typeNotFinal, typeNotFinal, CChunkId(1), 0, 0, 0));
    ASSERT_TRUE(oNav.m_ofnCreateChild(typeAny, typeFinal, CChunkId(3), 1, 2, 2));
    oNav.m_fnWriteData(&BANK_TREE[64], 2, 0);
    EXPECT_EQ(oNav.m_wfnLevel(), 3);
    oNav.m_ofnLeave();
    oNav.m_ofnLeave();
    ASSERT_TRUE(oNav.m_ofnInsertAfter(typeFinal, typeAny, CChunkId(7), 0, 0, 0));
    ASSERT_TRUE(oNav.m_ofnInsertAfter(typeFinal, typeNotFinal, CChunkId(6), 0, 0, 0));
    ASSERT_TRUE(oNav.m_ofnCreateChild(typeAny, typeAny, CChunkId(1), 0, 0, 5)); // eType 0: length forced 0
    oNav.m_ofnLeave();
    ASSERT_TRUE(oNav.m_ofnInsertAfter(typeFinal, typeFinal, CChunkId(0xFE), 0, 0, 4));
    oNav.m_fnWriteData(&BANK_TREE[98], 4, 0);
    EXPECT_EQ(oBlock.Used(DWORD(BANK_TREE.size())), BANK_TREE);
    EXPECT_EQ(oNav.m_sdwfnExtraLength(), 0);
    EXPECT_TRUE(oBlock.GuardIntact());
}

TEST(ChunkNavSearch, LevelWalksSlotWalkTableAndNthStyle)
{
    CGuardedBlock oBlock(BANK_TREE, 200);
    CChunkNav oNav(oBlock.Data(), 200);
    auto fnWalk = [&](CChunkId oId, EChunkType eAttr, EChunkType eType, WORD wStop, WORD wLevel) {
        std::vector<DWORD> adwOffsets;
        oNav.m_ofnRewind();
        while (oNav.m_ofnFind(oId, eAttr, eType, wStop, wLevel))
        {
            EXPECT_TRUE(wLevel == 0 || oNav.m_wfnLevel() == wLevel);
            adwOffsets.push_back(oNav.m_dwfnOffset());
        }
        EXPECT_EQ(oNav.m_wfnLevel(), 0) << "a failed search climbs back to its stop level";
        return adwOffsets;
    };
    EXPECT_EQ(fnWalk(CChunkId(), typeAny, typeAny, 0, 1), std::vector<DWORD>({8, 28, 40, 66, 74, 90}));
    EXPECT_EQ(fnWalk(CChunkId(), typeAny, typeAny, 0, 0), std::vector<DWORD>({8, 28, 40, 48, 56, 66, 74, 82, 90}));
    EXPECT_EQ(fnWalk(CChunkId(), typeFinal, typeNotFinal, 0, 1), std::vector<DWORD>({40, 66, 74}));
    EXPECT_EQ(fnWalk(CChunkId(5), typeFinal, typeFinal, 0, 1), std::vector<DWORD>({28}));
    EXPECT_EQ(fnWalk(CChunkId(6), typeFinal, typeNotFinal, 1, 1), std::vector<DWORD>({40, 74}));
    EXPECT_EQ(fnWalk(CChunkId(), typeNotFinal, typeFinal, 0, 0), std::vector<DWORD>({56})); // attr clear, final

    // From inside a slot a level-1 search goes on with the next slot, unless
    // its climb reaches the stop level first.
    ASSERT_TRUE(GoToOffset(oNav, 56));
    EXPECT_EQ(oNav.m_ofnFind(CChunkId(6), typeFinal, typeNotFinal, 0, 1), CChunkId(6));
    EXPECT_EQ(oNav.m_dwfnOffset(), 74u);
    ASSERT_TRUE(GoToOffset(oNav, 56));
    EXPECT_EQ(oNav.m_ofnFind(CChunkId(6), typeFinal, typeNotFinal, 1, 1), CChunkId());
    EXPECT_EQ(oNav.m_dwfnOffset(), 40u);
    EXPECT_EQ(oNav.m_wfnLevel(), 1);
}

TEST(ChunkNavSearch, StepsFailWithoutMovingAndGoToReturnsToBookmarks)
{
    CGuardedBlock oBlock(BANK_TREE, 200);
    CChunkNav oNav(oBlock.Data(), 200);
    EXPECT_EQ(oNav.m_ofnNext(), CChunkId()); // root
    EXPECT_EQ(oNav.m_ofnEnter(CChunkId(5)), CChunkId());
    EXPECT_EQ(oNav.m_ofnEnter(CChunkId(), typeNotFinal), CChunkId());
    EXPECT_EQ(oNav.m_ofnEnter(CChunkId(), typeAny, typeNotFinal), CChunkId());
    EXPECT_EQ(oNav.m_wfnLevel(), 0);
    EXPECT_EQ(oNav.m_dwfnOffset(), 0u);
    EXPECT_EQ(oNav.m_ofnEnter(CChunkId(2), typeFinal, typeFinal), CChunkId(2));
    EXPECT_EQ(oNav.m_ofnEnter(), CChunkId()) << "final chunk";
    EXPECT_EQ(oNav.m_ofnNext(CChunkId(6)), CChunkId()) << "next never skips the name table";
    EXPECT_EQ(oNav.m_dwfnOffset(), 8u);
    EXPECT_EQ(oNav.m_ofnNext(CChunkId(5)), CChunkId(5));
    ASSERT_TRUE(GoToOffset(oNav, 66));
    EXPECT_EQ(oNav.m_ofnEnter(), CChunkId()) << "empty container";

    ASSERT_TRUE(GoToOffset(oNav, 56));
    const CChunkPos oDeep = oNav.m_oPosition();
    ASSERT_TRUE(GoToOffset(oNav, 90));
    const CChunkPos oLate = oNav.m_oPosition();
    EXPECT_EQ(oNav.m_ofnGoTo(oDeep), CChunkId(3)); // backwards: climbs, then searches
    EXPECT_EQ(oNav.m_wfnLevel(), 3);
    EXPECT_EQ(oNav.m_dwfnOffset(), 56u);
    EXPECT_EQ(oNav.m_ofnGoTo(oLate), CChunkId(0xFE));
    EXPECT_EQ(oNav.m_wfnLevel(), 1);
    EXPECT_EQ(oNav.m_ofnGoTo(CChunkPos{reinterpret_cast<CChunkHeader*>(oBlock.Data() + 57), 3}), CChunkId());

    // A compressed container is never entered, whatever its data holds.
    oBlock.Data()[40 + 3] |= CNCF_COMPRESSED;
    ASSERT_TRUE(GoToOffset(oNav, 40));
    EXPECT_EQ(oNav.m_ofnEnter(), CChunkId());
    EXPECT_EQ(oNav.m_wfnLevel(), 1);
}

TEST(ChunkNavEdit, DeleteMakesFollowingSiblingOrParentCurrent)
{
    CGuardedBlock oBlock(BANK_TREE, 200);
    CChunkNav oNav(oBlock.Data(), 200);
    EXPECT_EQ(oNav.m_ofnDelete(), CChunkId()) << "root";
    ASSERT_TRUE(GoToOffset(oNav, 28));
    EXPECT_EQ(oNav.m_ofnDelete(), CChunkId(6)); // the slot moved down onto the name table's address
    EXPECT_EQ(oNav.m_dwfnOffset(), 28u);
    EXPECT_EQ(oNav.m_wfnLevel(), 1);
    ASSERT_TRUE(oNav.m_ofnEnter() && oNav.m_ofnEnter());
    EXPECT_EQ(oNav.m_ofnDelete(), CChunkId(1)); // last child: its style container becomes current
    EXPECT_EQ(oNav.m_wfnLevel(), 2);
    EXPECT_EQ(oNav.m_dwfnDataLength(), 0u);
    CModelChunk oExpected = Parse(BANK_TREE);
    oExpected.m_aoChildren.erase(oExpected.m_aoChildren.begin() + 1);
    oExpected.m_aoChildren[1].m_aoChildren[0].m_aoChildren.clear();
    EXPECT_EQ(oBlock.Used(oNav.m_dwfnUsedSize()), oExpected.Bytes());
    EXPECT_TRUE(TreeIsConsistent(oNav, 200));
}

TEST(ChunkNavEdit, GrowthUpToTheReserveSucceedsOneByteMoreIsRefused)
{
    CReportCapture oCapture;
    const DWORD dwCapacity = DWORD(BANK_TREE.size()) + 10;
    CGuardedBlock oBlock(BANK_TREE, dwCapacity);
    CChunkNav oNav(oBlock.Data(), dwCapacity);
    ASSERT_TRUE(GoToOffset(oNav, 56));
    BYTE* pbyData = oNav.m_pbyfnFinalData(12);
    ASSERT_NE(pbyData, nullptr);
    EXPECT_EQ(CBytes(pbyData, pbyData + 2), CBytes({0x11, 0x22})) << "kept data stays in front";
    std::fill(pbyData + 2, pbyData + 12, BYTE(0x33));
    EXPECT_EQ(oNav.m_sdwfnExtraLength(), 0);
    EXPECT_TRUE(oCapture.Empty());
    EXPECT_TRUE(TreeIsConsistent(oNav, dwCapacity));
    EXPECT_EQ(QdReadBE32(oBlock.Data() + 4), 0x5Eu + 10); // every enclosing length corrected
    EXPECT_EQ(QdReadBE32(oBlock.Data() + 44), 0x12u + 10);
    EXPECT_EQ(QdReadBE32(oBlock.Data() + 52), 0x0Au + 10);
    EXPECT_EQ(oBlock.Data()[76], 0x07) << "the tail moved by exactly the growth";

    const CBytes abyFull = oBlock.Used(dwCapacity);
    EXPECT_EQ(oNav.m_pbyfnFinalData(13), nullptr);
    oNav.m_fnSetDataLength(0xFFFFFFFF); // would wrap a 32-bit delta
    EXPECT_EQ(oNav.m_ofnInsertAfter(typeAny, typeNotFinal, CChunkId(9), 0, 0, 0), CChunkId());
    EXPECT_EQ(oNav.m_ofnDuplicate(0), CChunkId());
    EXPECT_EQ(oCapture.Texts(), std::vector<std::string>(4, AssertText("m_sdwExtraLength >= sdwDelta", 219)));
    EXPECT_EQ(oBlock.Used(dwCapacity), abyFull);
    EXPECT_EQ(oNav.m_dwfnOffset(), 56u);
    EXPECT_EQ(oNav.m_wfnLevel(), 3);
    EXPECT_TRUE(oBlock.GuardIntact());
}

TEST(ChunkNavEdit, DuplicateAndCopyIntoFromOtherAndSameBlock)
{
    CGuardedBlock oBlock(BANK_TREE, 400);
    CChunkNav oNav(oBlock.Data(), 400);
    CModelChunk oExpected = Parse(BANK_TREE);
    ASSERT_TRUE(GoToOffset(oNav, 56));
    EXPECT_EQ(oNav.m_ofnDuplicate(1), CChunkId(3));
    oNav.m_fnWriteData(&GOLDEN_TREE[16], 1, 0);
    EXPECT_EQ(oNav.m_dwfnOffset(), 66u);
    CModelChunk oDuplicate = oExpected.m_aoChildren[2].m_aoChildren[0].m_aoChildren[0];
    oDuplicate.m_abyData = {0xAA};
    oExpected.m_aoChildren[2].m_aoChildren[0].m_aoChildren.push_back(oDuplicate);
    EXPECT_EQ(oBlock.Used(oNav.m_dwfnUsedSize()), oExpected.Bytes());

    // From another block: the golden tree's root goes into the empty slot.
    CGuardedBlock oOther(GOLDEN_TREE, 19, 0);
    CChunkNav oSource(oOther.Data(), 19);
    ASSERT_TRUE(GoToOffset(oNav, 75));
    EXPECT_EQ(oNav.m_ofnCopyInto(&oSource), CChunkId(1));
    EXPECT_EQ(oNav.m_wfnLevel(), 2);
    oExpected.m_aoChildren[3].m_aoChildren.push_back(Parse(GOLDEN_TREE));
    EXPECT_EQ(oBlock.Used(oNav.m_dwfnUsedSize()), oExpected.Bytes());

    // From the same block: a source in the tail that the growth moves (the
    // directory), and an ancestor that grows during the edit (the root). The
    // copy is the source as it was before.
    for (DWORD dwSourceOffset : {DWORD(oNav.m_dwfnUsedSize() - 12), DWORD(0)})
    {
        oNav.m_ofnRewind(); // into the second style slot's empty style container
        ASSERT_TRUE(oNav.m_ofnFind(CChunkId(6), typeFinal, typeNotFinal, 1, 1));
        ASSERT_TRUE(oNav.m_ofnFind(CChunkId(6), typeFinal, typeNotFinal, 1, 1) && oNav.m_ofnEnter());
        CChunkNav oSame(oBlock.Data(), 400);
        ASSERT_TRUE(GoToOffset(oSame, dwSourceOffset));
        const CModelChunk oSourceModel = dwSourceOffset == 0 ? oExpected : oExpected.m_aoChildren.back();
        EXPECT_EQ(oNav.m_ofnCopyInto(&oSame), CChunkId(oSourceModel.m_byId));
        oExpected.m_aoChildren[4].m_aoChildren[0].m_aoChildren = {oSourceModel};
        EXPECT_EQ(oBlock.Used(oNav.m_dwfnUsedSize()), oExpected.Bytes());
        oNav.m_ofnDelete();
        oExpected.m_aoChildren[4].m_aoChildren[0].m_aoChildren.clear();
    }
    EXPECT_TRUE(TreeIsConsistent(oNav, 400));
    EXPECT_TRUE(oBlock.GuardIntact());
}

// Every check the navigator can be driven into, with its exact report. A
// check that guards memory refuses (block unchanged); the others go on.
TEST(ChunkNavReport, EachCheckReportsItsTextAndLine)
{
    typedef std::function<void(CChunkNav&, CGuardedBlock&)> CTrigger;
    struct CCase
    {
        const char* pszName;
        DWORD dwOffset; // chunk made current first
        CTrigger fnTrigger;
        std::vector<std::string> astrExpected;
        bool bRefused;
        bool bConsistent = true;
    };
    const std::string strFinal = AssertText("m_efnGetType() == typeNotFinal", 280);
    const std::string strEmpty = AssertText("m_dwfnDataLength() == 0", 281);
    const std::string strWrite = AssertText("(dwLength + dwOffset) <= m_dwfnDataLength()", 393);
    // clang-format off
    const std::vector<CCase> aoCases = {
        {"null block", 0, [](CChunkNav&, CGuardedBlock&) { CChunkNav oNull(nullptr, 32); },
         {AssertText("pbyData", 60), AssertText("m_sdwExtraLength >= 0", 65)}, true},
        {"root longer than block", 0, [](CChunkNav&, CGuardedBlock& ro) { CChunkNav oShort(ro.Data(), 101); },
         {AssertText("m_sdwExtraLength >= 0", 65)}, true},
        {"copy larger than block", 0, [](CChunkNav& ro, CGuardedBlock&) {
             CGuardedBlock oSmall({}, 101);
             CChunkNav oCopy(&ro, oSmall.Data(), 101);
             EXPECT_LT(oCopy.m_sdwfnExtraLength(), 0);
             EXPECT_EQ(oSmall.Used(101), CBytes(101, 0xEE)) << "nothing copied"; },
         {AssertText("poChunkNav->m_dwfnSize() <= dwLength", 73)}, true},
        {"growth", 56, [](CChunkNav& ro, CGuardedBlock&) { ro.m_fnSetDataLength(2 + 29); },
         {AssertText("m_sdwExtraLength >= sdwDelta", 219)}, true},
        {"duplicate container with data", 66, [](CChunkNav& ro, CGuardedBlock&) { ro.m_ofnDuplicate(4); },
         {AssertText("dwLength == 0 || m_poCurrent->m_poHeader->m_byFlags & CNCF_FINAL", 256)}, false, false},
        {"create child without id", 66, [](CChunkNav& ro, CGuardedBlock&) {
             EXPECT_EQ(ro.m_ofnCreateChild(typeAny, typeAny, CChunkId(), 0, 0, 0), CChunkId(0)); },
         {AssertText("oId", 279)}, false},
        {"create child in final data", 8, [](CChunkNav& ro, CGuardedBlock&) {
             EXPECT_EQ(ro.m_ofnCreateChild(typeAny, typeAny, CChunkId(9), 0, 0, 0), CChunkId()); },
         {strFinal, strEmpty}, true},
        {"create child before children", 40, [](CChunkNav& ro, CGuardedBlock&) {
             EXPECT_EQ(ro.m_ofnCreateChild(typeAny, typeAny, CChunkId(9), 0, 0, 0), CChunkId()); },
         {strEmpty}, true},
        {"insert without id", 8, [](CChunkNav& ro, CGuardedBlock&) {
             ro.m_ofnInsertAfter(typeAny, typeAny, CChunkId(), 0, 0, 0); },
         {AssertText("oId", 307)}, false},
        {"copy into final data", 8, [](CChunkNav& ro, CGuardedBlock&) { EXPECT_EQ(ro.m_ofnCopyInto(&ro), CChunkId()); },
         {AssertText("m_efnGetType() == typeNotFinal", 341), AssertText("m_dwfnDataLength() == 0", 342)}, true},
        {"copy into non-empty container", 40, [](CChunkNav& ro, CGuardedBlock&) { ro.m_ofnCopyInto(&ro); },
         {AssertText("m_dwfnDataLength() == 0", 342)}, true},
        {"final length of a container", 82, [](CChunkNav& ro, CGuardedBlock&) {
             ro.m_fnSetFinalLength(8);
             EXPECT_EQ(ro.m_dwfnDataLength(), 8u) << "reported, and resized all the same"; },
         {AssertText("m_poCurrent->m_poHeader->m_byFlags & CNCF_FINAL", 367)}, false, false},
        {"write past the data", 28, [](CChunkNav& ro, CGuardedBlock&) { ro.m_fnWriteData(&BANK_TREE[0], 3, 2); },
         {strWrite}, true},
        {"write whose end wraps to 0", 28, [](CChunkNav& ro, CGuardedBlock&) {
             ro.m_fnWriteData(&BANK_TREE[0], 2, 0xFFFFFFFE); },
         {strWrite}, true},
    };
    // clang-format on
    for (const CCase& rkoCase : aoCases)
    {
        SCOPED_TRACE(rkoCase.pszName);
        CGuardedBlock oBlock(BANK_TREE, 130);
        CChunkNav oNav(oBlock.Data(), 130);
        ASSERT_TRUE(GoToOffset(oNav, rkoCase.dwOffset));
        CReportCapture oCapture;
        rkoCase.fnTrigger(oNav, oBlock);
        EXPECT_EQ(oCapture.Texts(), rkoCase.astrExpected);
        if (rkoCase.bRefused)
        {
            EXPECT_EQ(oBlock.Used(130), CGuardedBlock(BANK_TREE, 130).Used(130));
        }
        EXPECT_TRUE(oBlock.GuardIntact());
        EXPECT_EQ(TreeIsConsistent(oNav, 130), rkoCase.bConsistent) << "only a container given undefined data";
    }
}

TEST(ChunkNavComp, SlotRoundTripNoOpsAndRefusedStreams)
{
    CGuardedBlock oBlock(BANK_TREE, 300);
    CChunkNavComp oNav(oBlock.Data(), 300);
    EXPECT_TRUE(oNav.m_bfnDecompress(true)) << "not compressed: nothing to do";
    ASSERT_TRUE(GoToOffset(oNav, 40));
    ASSERT_TRUE(oNav.m_bfnCompress(3, 2));
    EXPECT_TRUE(oNav.m_bfnIsCompressed());
    EXPECT_EQ(oNav.m_ofnEnter(), CChunkId());
    EXPECT_TRUE(TreeIsConsistent(oNav, 300));
    const CBytes abyCompressed = oBlock.Used(300);
    EXPECT_TRUE(oNav.m_bfnCompress(3, 2)) << "already compressed: nothing to do";
    EXPECT_EQ(oBlock.Used(300), abyCompressed);

    // A flipped check byte, and a stream claiming 4 GB, fail and leave the chunk as it was.
    BYTE* pbyStream = oNav.m_pbyfnData();
    pbyStream[oNav.m_dwfnDataLength() - 1] ^= 0x01;
    const CBytes abyCorrupt = oBlock.Used(300);
    EXPECT_FALSE(oNav.m_bfnDecompress(true));
    EXPECT_EQ(oBlock.Used(300), abyCorrupt);
    pbyStream[oNav.m_dwfnDataLength() - 1] ^= 0x01;
    std::fill(pbyStream + 4, pbyStream + 8, BYTE(0xFF));
    const CBytes abyHuge = oBlock.Used(300);
    s_uLargestArrayNew = 0;
    EXPECT_FALSE(oNav.m_bfnDecompress(true));
    EXPECT_LT(s_uLargestArrayNew, 1000u) << "nothing allocated for the claimed size";
    EXPECT_EQ(oBlock.Used(300), abyHuge);
    EXPECT_TRUE(oNav.m_bfnIsCompressed());

    std::copy(abyCompressed.begin(), abyCompressed.end(), oBlock.Data());
    ASSERT_TRUE(oNav.m_bfnDecompress(true));
    EXPECT_EQ(oBlock.Used(oNav.m_dwfnUsedSize()), BANK_TREE);
    EXPECT_EQ(oNav.m_ofnEnter(), CChunkId(1));

    // Data that grows when compressed and does not fit the reserve is refused.
    CReportCapture oCapture;
    std::mt19937 oRng(7);
    CBytes abyNoise = {1, 0, 0, 0, 0, 0, 0, 68, 2, 0, 0, 8, 0, 0, 0, 60};
    for (int i = 0; i < 60; ++i)
        abyNoise.push_back(BYTE(oRng()));
    CGuardedBlock oTight(abyNoise, DWORD(abyNoise.size()) + 2);
    CChunkNavComp oTightNav(oTight.Data(), oTight.Capacity());
    oTightNav.m_ofnEnter();
    EXPECT_FALSE(oTightNav.m_bfnCompress(3, 2));
    EXPECT_EQ(oCapture.Texts(), std::vector<std::string>{AssertText("m_sdwExtraLength >= sdwDelta", 219)});
    EXPECT_EQ(oTight.Used(DWORD(abyNoise.size())), abyNoise);
    EXPECT_FALSE(oTightNav.m_bfnIsCompressed());
    EXPECT_TRUE(oTight.GuardIntact());
}

// ---------------------------------------------------------------------------
// Seeded random edits against the reference model
// ---------------------------------------------------------------------------

typedef std::vector<size_t> CPath;

void CollectPaths(const CModelChunk& rkoChunk, CPath& raiPath, std::vector<CPath>& raoOut)
{
    raoOut.push_back(raiPath);
    for (size_t i = 0; i < rkoChunk.m_aoChildren.size(); ++i)
    {
        raiPath.push_back(i);
        CollectPaths(rkoChunk.m_aoChildren[i], raiPath, raoOut);
        raiPath.pop_back();
    }
}

class CRandomEditRun
{
public:
    static constexpr DWORD CAPACITY = 600;

    explicit CRandomEditRun(unsigned uSeed)
        : m_oRng(uSeed), m_oModel(Parse(BANK_TREE)), m_oBlock(BANK_TREE, CAPACITY), m_oNav(m_oBlock.Data(), CAPACITY),
          m_oOtherBlock(BANK_TREE, DWORD(BANK_TREE.size()), 0),
          m_oOtherNav(m_oOtherBlock.Data(), m_oOtherBlock.Capacity())
    {}

    // One random edit at a random chunk, then the whole block against the model.
    void Step()
    {
        m_aiPath = RandomPath(m_oModel);
        ASSERT_NO_FATAL_FAILURE(NavigateTo(m_oNav, m_aiPath));
        const CBytes abyBefore = m_oBlock.Used(CAPACITY);
        CReportCapture oCapture;
        m_bRefused = m_bReported = false;
        m_sdwReserve = m_oNav.m_sdwfnExtraLength();
        ASSERT_NO_FATAL_FAILURE(Edit(Rand(9)));
        if (m_bRefused)
        {
            EXPECT_EQ(m_oBlock.Used(CAPACITY), abyBefore) << "a refused edit changes nothing";
        }
        EXPECT_EQ(oCapture.Texts(),
                  std::vector<std::string>(m_bReported ? 1 : 0, AssertText("m_sdwExtraLength >= sdwDelta", 219)));
        ASSERT_EQ(m_oBlock.Used(m_oNav.m_dwfnUsedSize()), m_oModel.Bytes());
        ASSERT_TRUE(TreeIsConsistent(m_oNav, CAPACITY));
        ASSERT_EQ(m_oNav.m_wfnLevel(), m_aiPath.size());
        ASSERT_EQ(m_oNav.m_dwfnOffset(), ModelOffset(m_aiPath));
        ASSERT_TRUE(m_oBlock.GuardIntact());
    }

private:
    DWORD Rand(DWORD dwRange) { return std::uniform_int_distribution<DWORD>(0, dwRange - 1)(m_oRng); }
    // Half the time from four letters, so that compression has something to find.
    CBytes RandomBytes(DWORD dwLength)
    {
        CBytes aby(dwLength);
        const bool bNarrow = Rand(2);
        for (BYTE& rby : aby)
            rby = BYTE(bNarrow ? 'a' + Rand(4) : Rand(256));
        return aby;
    }
    CPath RandomPath(const CModelChunk& rkoRoot)
    {
        std::vector<CPath> aoPaths;
        CPath aiPath;
        CollectPaths(rkoRoot, aiPath, aoPaths);
        return aoPaths[Rand(DWORD(aoPaths.size()))];
    }
    static CModelChunk& At(CModelChunk& roRoot, const CPath& raiPath)
    {
        CModelChunk* po = &roRoot;
        for (size_t i : raiPath)
            po = &po->m_aoChildren[i];
        return *po;
    }
    DWORD ModelOffset(const CPath& raiPath)
    {
        DWORD dwOffset = 0;
        for (size_t iDepth = 0; iDepth < raiPath.size(); ++iDepth)
        {
            const CModelChunk& rkoParent = At(m_oModel, CPath(raiPath.begin(), raiPath.begin() + iDepth));
            dwOffset += 8;
            for (size_t k = 0; k < raiPath[iDepth]; ++k)
                dwOffset += DWORD(rkoParent.m_aoChildren[k].Bytes().size());
        }
        return dwOffset;
    }
    static void NavigateTo(CChunkNav& roNav, const CPath& raiPath)
    {
        roNav.m_ofnRewind();
        for (size_t i : raiPath)
        {
            ASSERT_TRUE(roNav.m_ofnEnter());
            for (size_t k = 0; k < i; ++k)
                ASSERT_TRUE(roNav.m_ofnNext());
        }
    }
    // Growth the reserve cannot take must be refused, with the report.
    bool Fits(std::int64_t lGrowth)
    {
        m_bRefused = m_bReported = lGrowth > m_sdwReserve;
        return !m_bRefused;
    }

    void Edit(DWORD dwOperation)
    {
        const bool bRoot = m_aiPath.empty();
        CModelChunk& roCur = At(m_oModel, m_aiPath);
        const bool bFinal = roCur.m_byFlags & CNCF_FINAL, bCompressed = roCur.m_byFlags & CNCF_COMPRESSED;
        const bool bEmptyContainer = roCur.IsPlainContainer() && roCur.m_aoChildren.empty();
        const CPath aiParent(m_aiPath.begin(), m_aiPath.end() - (bRoot ? 0 : 1));
        const DWORD dwLength = m_oNav.m_dwfnDataLength();
        switch (dwOperation)
        {
        case 0: // insert after, create the first child, duplicate: the new chunk becomes current
        case 1:
        case 2:
        {
            const DWORD dwKind = dwOperation;
            if (dwKind == 1 ? !bEmptyContainer : bRoot || (dwKind == 2 && bCompressed))
                return;
            CModelChunk oNew;
            const bool bNewFinal = dwKind == 2 ? bFinal : Rand(2);
            const EChunkType eAttr = EChunkType(Rand(3)), eType = bNewFinal ? typeFinal : EChunkType(Rand(2));
            const DWORD dwNew = Rand(49);
            CChunkId oResult;
            if (dwKind == 2)
            {
                oNew = roCur;
                oNew.m_aoChildren.clear();
                oNew.m_abyData = RandomBytes(bFinal ? dwNew : 0);
                oResult = m_oNav.m_ofnDuplicate(DWORD(oNew.m_abyData.size()));
            }
            else
            {
                oNew.m_byId = BYTE(Rand(256)), oNew.m_byParam1 = BYTE(Rand(256)), oNew.m_byParam2 = BYTE(Rand(256));
                oNew.m_byFlags = BYTE((eAttr == typeFinal ? CNCF_ATTR : 0) | (bNewFinal ? CNCF_FINAL : 0));
                oNew.m_abyData = RandomBytes(bNewFinal ? dwNew : 0);
                const CChunkId oId(oNew.m_byId);
                oResult = dwKind == 1
                              ? m_oNav.m_ofnCreateChild(eAttr, eType, oId, oNew.m_byParam1, oNew.m_byParam2, dwNew)
                              : m_oNav.m_ofnInsertAfter(eAttr, eType, oId, oNew.m_byParam1, oNew.m_byParam2, dwNew);
            }
            if (!Fits(8 + std::int64_t(oNew.m_abyData.size())))
            {
                EXPECT_EQ(oResult, CChunkId());
                return;
            }
            ASSERT_EQ(oResult, CChunkId(oNew.m_byId));
            ASSERT_EQ(m_oNav.m_dwfnDataLength(), oNew.m_abyData.size());
            m_oNav.m_fnWriteData(oNew.m_abyData.data(), DWORD(oNew.m_abyData.size()), 0);
            if (dwKind == 1)
                roCur.m_aoChildren.push_back(oNew), m_aiPath.push_back(0);
            else
                At(m_oModel, aiParent)
                    .m_aoChildren.insert(At(m_oModel, aiParent).m_aoChildren.begin() + ++m_aiPath.back(), oNew);
            return;
        }
        case 3: // delete: the following sibling, or else the parent, becomes current;
                // or delete the rest: the parent becomes current
        {
            if (bRoot)
                return;
            if (Rand(4) == 0)
            {
                const CChunkId oResult = m_oNav.m_ofnDeleteRest();
                std::vector<CModelChunk>& raoSiblings = At(m_oModel, aiParent).m_aoChildren;
                raoSiblings.erase(raoSiblings.begin() + m_aiPath.back(), raoSiblings.end());
                m_aiPath.pop_back();
                EXPECT_EQ(oResult, CChunkId(At(m_oModel, m_aiPath).m_byId));
                return;
            }
            const CChunkId oResult = m_oNav.m_ofnDelete();
            std::vector<CModelChunk>& raoSiblings = At(m_oModel, aiParent).m_aoChildren;
            raoSiblings.erase(raoSiblings.begin() + m_aiPath.back());
            if (m_aiPath.back() >= raoSiblings.size())
                m_aiPath.pop_back();
            EXPECT_EQ(oResult, CChunkId(At(m_oModel, m_aiPath).m_byId));
            return;
        }
        case 4: // resize final data: the kept part stays, the rest is filled through the returned address
        {
            if (!bFinal || bCompressed)
                return;
            const DWORD dwNew = Rand(65);
            BYTE* pbyData = m_oNav.m_pbyfnFinalData(dwNew);
            if (!Fits(std::int64_t(dwNew) - dwLength))
            {
                EXPECT_EQ(pbyData, nullptr);
                return;
            }
            ASSERT_NE(pbyData, nullptr);
            roCur.m_abyData.resize(std::min(dwNew, dwLength));
            ASSERT_TRUE(std::equal(roCur.m_abyData.begin(), roCur.m_abyData.end(), pbyData));
            const CBytes abyAdded = RandomBytes(dwNew - DWORD(roCur.m_abyData.size()));
            std::copy(abyAdded.begin(), abyAdded.end(), pbyData + roCur.m_abyData.size());
            roCur.m_abyData.insert(roCur.m_abyData.end(), abyAdded.begin(), abyAdded.end());
            return;
        }
        case 5: // write inside final data
        {
            if (!bFinal || bCompressed || dwLength == 0)
                return;
            const DWORD dwOffset = Rand(dwLength), dwCount = Rand(dwLength - dwOffset + 1);
            const CBytes aby = RandomBytes(dwCount);
            m_oNav.m_fnWriteData(aby.data(), dwCount, dwOffset);
            std::copy(aby.begin(), aby.end(), roCur.m_abyData.begin() + dwOffset);
            return;
        }
        case 6: // copy a chunk of another block, or of this one, into an empty container
        {
            if (!bEmptyContainer)
                return;
            const bool bSameBlock = Rand(2);
            CModelChunk oSourceRoot = bSameBlock ? m_oModel : Parse(BANK_TREE);
            const CPath aiSource = RandomPath(oSourceRoot);
            const CModelChunk oCopy = At(oSourceRoot, aiSource);
            CChunkNav oSame(m_oBlock.Data(), CAPACITY);
            CChunkNav& roSource = bSameBlock ? oSame : m_oOtherNav;
            ASSERT_NO_FATAL_FAILURE(NavigateTo(roSource, aiSource));
            const CChunkId oResult = m_oNav.m_ofnCopyInto(&roSource);
            if (!Fits(std::int64_t(oCopy.Bytes().size())))
            {
                EXPECT_EQ(oResult, CChunkId());
                return;
            }
            ASSERT_EQ(oResult, CChunkId(oCopy.m_byId));
            roCur.m_aoChildren.push_back(oCopy);
            m_aiPath.push_back(0);
            return;
        }
        case 7: // compress: any stream that decodes to the data is right
        {
            if (bCompressed)
                return;
            CBytes abyPlain;
            roCur.AppendData(abyPlain);
            if (!m_oNav.m_bfnCompress(3, 2))
            {
                CBytes abyStream(COComp::MaxEncodedSize(dwLength));
                const DWORD dwEncoded =
                    COComp().Encode(abyPlain.data(), dwLength, abyStream.data(), DWORD(abyStream.size()), 3, 2);
                EXPECT_FALSE(Fits(std::int64_t(dwEncoded) - dwLength)) << "compression failed with room left";
                return;
            }
            COComp oCodec;
            CBytes abyDecoded(oCodec.ReadHeader(m_oNav.m_pbyfnData(), m_oNav.m_dwfnDataLength()));
            ASSERT_EQ(oCodec.Decode(abyDecoded.data(), DWORD(abyDecoded.size()), true), abyPlain.size());
            ASSERT_EQ(abyDecoded, abyPlain);
            roCur.m_poPlain = std::make_shared<const CModelChunk>(roCur);
            roCur.m_byFlags |= CNCF_COMPRESSED;
            roCur.m_abyData.assign(m_oNav.m_pbyfnData(), m_oNav.m_pbyfnData() + m_oNav.m_dwfnDataLength());
            roCur.m_aoChildren.clear();
            return;
        }
        default: // decompress: refused without a report when the data would not fit or is empty
        {
            if (!bCompressed)
                return;
            const bool bDone = m_oNav.m_bfnDecompress(true);
            CBytes abyPlain;
            roCur.m_poPlain->AppendData(abyPlain);
            if (abyPlain.empty() || std::int64_t(abyPlain.size()) - dwLength > m_sdwReserve)
            {
                m_bRefused = true;
                EXPECT_FALSE(bDone);
                return;
            }
            ASSERT_TRUE(bDone);
            roCur = CModelChunk(*roCur.m_poPlain);
            return;
        }
        }
    }

    std::mt19937 m_oRng;
    CModelChunk m_oModel;
    CGuardedBlock m_oBlock;
    CChunkNavComp m_oNav;
    CGuardedBlock m_oOtherBlock;
    CChunkNav m_oOtherNav;
    CPath m_aiPath;
    bool m_bRefused = false, m_bReported = false;
    SDWORD m_sdwReserve = 0; // before the edit
};

TEST(ChunkNavModel, SeededRandomEditsMatchTheModelAfterEveryStep)
{
    for (unsigned uSeed = 1; uSeed <= 40; ++uSeed)
    {
        CRandomEditRun oRun(uSeed);
        for (int iStep = 0; iStep < 250; ++iStep)
        {
            oRun.Step();
            if (::testing::Test::HasFailure())
                FAIL() << "seed " << uSeed << " step " << iStep;
        }
    }
}

// ---------------------------------------------------------------------------
// Lengths that lie
// ---------------------------------------------------------------------------

TEST(ChunkNavBounds, ChunksThatDoNotFitEndTheirContainer)
{
    const std::vector<CBytes> aoTrees = {
        {1, 0, 0, 0, 0, 0, 0, 16, 2, 0, 0, 8, 0, 0, 0, 100, 0, 0, 0, 0, 0, 0, 0, 0}, // child past its parent
        {1, 0, 0, 0, 0, 0, 0, 4, 2, 0, 0, 8},                                        // header cut by the parent
        {1, 0, 0, 0, 0, 0, 0, 16, 2, 0, 0, 8, 0, 0, 0, 0, 3, 0, 0, 8, 0, 0, 0, 9},   // second child past its parent
    };
    for (size_t i = 0; i < aoTrees.size(); ++i)
    {
        SCOPED_TRACE(i);
        CBytes aby = aoTrees[i];
        CChunkNav oNav(aby.data(), DWORD(aby.size()));
        std::vector<DWORD> adwFound;
        while (oNav.m_ofnFind(CChunkId(), typeAny, typeAny, 0, 0))
            adwFound.push_back(oNav.m_dwfnOffset());
        EXPECT_EQ(adwFound, std::vector<DWORD>(i == 2 ? 1 : 0, 8));
        if (i == 2)
        {
            CBytes abyRest = aoTrees[i];
            CChunkNav oRest(abyRest.data(), DWORD(abyRest.size()));
            oNav.m_ofnEnter();
            EXPECT_EQ(oNav.m_ofnDelete(), CChunkId(1)) << "the bytes left behind are no sibling";
            oRest.m_ofnEnter();
            EXPECT_EQ(oRest.m_ofnDeleteRest(), CChunkId(1));
            EXPECT_EQ(abyRest, aby) << "the rest is what m_ofnDelete leaves";
        }
    }
}

TEST(ChunkNavBounds, RootThatDoesNotFitMakesAnUnusableNavigator)
{
    CReportCapture oCapture;
    CBytes aby = {1, 0, 0, 0, 0, 0, 0x03, 0xE8, 2, 0, 0, 8, 0, 0, 0, 0};
    const CBytes abyOriginal = aby;
    CChunkNavComp oNav(aby.data(), DWORD(aby.size()));
    EXPECT_EQ(oCapture.Texts(), std::vector<std::string>{AssertText("m_sdwExtraLength >= 0", 65)});
    EXPECT_LT(oNav.m_sdwfnExtraLength(), 0);
    EXPECT_EQ(oNav.m_ofnEnter(), CChunkId());
    EXPECT_EQ(oNav.m_ofnFind(CChunkId(), typeAny, typeAny, 0, 0), CChunkId());
    oNav.m_fnSetDataLength(0);
    oNav.m_fnWriteData(abyOriginal.data(), 16, 0);
    EXPECT_FALSE(oNav.m_bfnCompress(3, 2));
    CBytes abyTarget(2000);
    CChunkNav oCopy(&oNav, abyTarget.data(), 2000); // fits the target, but the source cannot be read
    EXPECT_LT(oCopy.m_sdwfnExtraLength(), 0);
    EXPECT_EQ(aby, abyOriginal);
    EXPECT_EQ(abyTarget, CBytes(2000));

    QdWriteBE32(aby.data() + 4, 0xFFFFFFFF);
    CChunkNav oWrapping(aby.data(), DWORD(aby.size()));
    EXPECT_EQ(oWrapping.m_dwfnSize(), 0xFFFFFFFFu) << "saturates instead of wrapping to 7";
    EXPECT_EQ(oWrapping.m_ofnEnter(), CChunkId());

    CBytes abyTiny = {1, 0, 0, 0};
    CChunkNav oTiny(abyTiny.data(), 4);
    EXPECT_LT(oTiny.m_sdwfnExtraLength(), 0);
    EXPECT_EQ(oTiny.m_ofnRewind(), CChunkId());
    EXPECT_EQ(oTiny.m_ofnEnter(), CChunkId());
}

TEST(ChunkNavBounds, EditsRefuseAPathWhoseHeadersWereOverwritten)
{
    CBytes aby = BANK_TREE;
    aby.resize(150);
    CChunkNav oNav(aby.data(), 150);
    ASSERT_TRUE(GoToOffset(oNav, 56));
    QdWriteBE32(aby.data() + 52, 0x7FFFFF00); // the style container now claims to run past the block
    const CBytes abyBefore = aby;
    oNav.m_fnSetDataLength(5);
    EXPECT_EQ(oNav.m_ofnDelete(), CChunkId());
    EXPECT_EQ(oNav.m_ofnInsertAfter(typeAny, typeFinal, CChunkId(4), 0, 0, 1), CChunkId());
    EXPECT_EQ(oNav.m_pbyfnFinalData(2), nullptr);
    EXPECT_EQ(aby, abyBefore);
    EXPECT_EQ(oNav.m_ofnLeave(), CChunkId(1));
    EXPECT_EQ(oNav.m_ofnEnter(), CChunkId(3)); // bounded by the used tree
}

// Random trees with a few bytes overwritten (lengths, flags, ids): walking and
// editing must stay inside the exact-size block, whatever the walk finds.
CModelChunk RandomTree(const std::function<DWORD(DWORD)>& fnRand, int iDepth)
{
    CModelChunk o;
    o.m_byId = BYTE(fnRand(4));
    for (DWORD i = fnRand(4); i > 0; --i)
    {
        o.m_aoChildren.push_back(iDepth < 3 && fnRand(2) ? RandomTree(fnRand, iDepth + 1) : CModelChunk());
        o.m_aoChildren.back().m_byFlags |= BYTE(fnRand(2) ? CNCF_ATTR : 0);
        if (o.m_aoChildren.back().m_aoChildren.empty() && fnRand(2))
            o.m_aoChildren.back().m_byFlags |= CNCF_FINAL, o.m_aoChildren.back().m_abyData = CBytes(fnRand(7), 0x5A);
    }
    return o;
}

TEST(ChunkNavBounds, DamagedTreesAreWalkedAndEditedInside)
{
    std::mt19937 oRng(2024);
    auto fnRand = [&](DWORD dwRange) { return std::uniform_int_distribution<DWORD>(0, dwRange - 1)(oRng); };
    int iSteps = 0;
    for (int iBlock = 0; iBlock < 5000; ++iBlock)
    {
        CBytes aby = RandomTree(fnRand, 0).Bytes();
        for (DWORD i = 1 + fnRand(3); i > 0; --i)
            aby[fnRand(DWORD(aby.size()))] = BYTE(fnRand(2) ? fnRand(256) : fnRand(64));
        aby.resize(aby.size() + fnRand(24));
        CReportCapture oCapture;
        CChunkNavComp oNav(aby.data(), DWORD(aby.size()));
        for (int iStep = 0; iStep < 100 && oNav.m_ofnFind(CChunkId(), typeAny, typeAny, 0, 0); ++iStep, ++iSteps)
        {
            const CBytes abyData(oNav.m_pbyfnData(), oNav.m_pbyfnData() + oNav.m_dwfnDataLength()); // read it all
            switch (fnRand(7))
            {
            case 0: oNav.m_ofnDelete(); break;
            case 1: oNav.m_ofnInsertAfter(typeAny, typeFinal, CChunkId(1), 0, 0, fnRand(8)); break;
            case 2: oNav.m_fnSetDataLength(fnRand(40)); break;
            case 3: oNav.m_bfnCompress(3, 2); break;
            case 4: oNav.m_bfnDecompress(true); break;
            case 5: oNav.m_ofnCreateChild(typeAny, typeAny, CChunkId(2), 0, 0, 0); break;
            default: oNav.m_ofnDuplicate(0); break;
            }
        }
        if (oNav.m_sdwfnExtraLength() >= 0) // a usable tree keeps its accounting through every edit
        {
            ASSERT_EQ(oNav.m_dwfnUsedSize() + DWORD(oNav.m_sdwfnExtraLength()), aby.size()) << "block " << iBlock;
        }
    }
    EXPECT_GT(iSteps, 6000) << "the damaged trees must still be walked";
}

} // namespace
