// fuzz_chunknav.cpp -- the chunk navigator walking and editing an arbitrary
// block.
//
// Input: one byte whose low four bits give the number of edits and whose
// high four bits the reserve behind the tree, then four bytes per edit, then
// the tree. The tree goes into an exact-size block (the sanitizer sees every
// access past its capacity). The whole tree is walked, the edits are made,
// and the tree is walked again. After every edit the used size and the
// reserve must still add up to the capacity, and a navigator must never
// leave its block.
#include "FuzzSupport.h"

#include "ChunkNav/ChunkNav.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr std::size_t EDIT_SIZE = 4;

struct CEdit
{
    BYTE m_byOp;
    BYTE m_byA;
    BYTE m_byB;
    BYTE m_byC;
};

// Touch -- reads every byte of a range, so that a range outside the block is
// seen by the sanitizer.
DWORD Touch(const BYTE* pby, DWORD dwLength)
{
    DWORD dwSum = 0;
    for (DWORD dw = 0; dw < dwLength; ++dw)
        dwSum += pby[dw];
    return dwSum;
}

void CheckBalance(const CChunkNav& rkoNav, DWORD dwCapacity)
{
    if (rkoNav.m_sdwfnExtraLength() >= 0)
        QdFuzz::Require(std::uint64_t(rkoNav.m_dwfnUsedSize()) + std::uint64_t(rkoNav.m_sdwfnExtraLength()) == dwCapacity,
                        "used size + reserve != capacity");
}

// Walk -- every chunk in pre-order, reading its header and data; a tree of
// n bytes holds at most n / 8 chunks, so a longer walk does not end.
DWORD Walk(CChunkNav& roNav, DWORD dwCapacity)
{
    DWORD dwSum = 0;
    roNav.m_ofnRewind();
    std::vector<CChunkPos> aoMarks;
    const DWORD dwMaxChunks = dwCapacity / 8 + 1;
    DWORD dwChunks = 0;
    do
    {
        QdFuzz::Require(++dwChunks <= dwMaxChunks, "walk visits more chunks than the block can hold");
        dwSum += Touch(roNav.m_pbyfnHeader(), 8);
        if (roNav.m_sdwfnExtraLength() >= 0)
        {
            QdFuzz::Require(roNav.m_dwfnOffset() + std::uint64_t(roNav.m_dwfnSize()) <= roNav.m_dwfnUsedSize(),
                            "a chunk reaches past the used tree");
            dwSum += Touch(roNav.m_pbyfnData(), roNav.m_dwfnDataLength());
        }
        dwSum += roNav.m_efnGetType() + roNav.m_bfnIsCompressed() + roNav.m_dwfnOffset();
        if (aoMarks.size() < 8)
            aoMarks.push_back(roNav.m_oPosition());
    } while (roNav.m_ofnFind(CChunkId(), typeAny, typeAny, 0, 0));

    // The walks of the bank: depth-1 slots with the attribute, the name table.
    roNav.m_ofnRewind();
    for (DWORD dw = 0; dw <= dwMaxChunks && roNav.m_ofnFind(CChunkId(), typeFinal, typeNotFinal, 0, 1); ++dw)
        dwSum += roNav.m_dwfnDataLength();
    roNav.m_ofnRewind();
    if (roNav.m_ofnFind(CChunkId(5), typeFinal, typeFinal, 0, 1))
        dwSum += roNav.m_dwfnDataLength();

    // Back to the bookmarks, in reverse.
    for (auto it = aoMarks.rbegin(); it != aoMarks.rend(); ++it)
        if (roNav.m_ofnGoTo(*it))
            QdFuzz::Require(roNav.m_pbyfnHeader() == reinterpret_cast<BYTE*>(it->m_poHeader),
                            "GoTo succeeded on another chunk");
    roNav.m_ofnRewind();
    return dwSum;
}

// GoToNth -- the n-th chunk of the pre-order walk (or the last one).
void GoToNth(CChunkNav& roNav, DWORD dwNth, DWORD dwCapacity)
{
    roNav.m_ofnRewind();
    for (DWORD dw = 0; dw < dwNth && dw <= dwCapacity / 8; ++dw)
        if (!roNav.m_ofnFind(CChunkId(), typeAny, typeAny, 0, 0))
            break;
}

EChunkType TypeOf(BYTE by)
{
    return EChunkType(by % 3);
}

void Edit(CChunkNavComp& roNav, const CEdit& rkoEdit, BYTE* pbyBlock, DWORD dwCapacity,
          const std::vector<BYTE>& rkabyOriginal)
{
    const DWORD dwLength = DWORD(rkoEdit.m_byB) | (DWORD(rkoEdit.m_byC & 0x0F) << 8);
    switch (rkoEdit.m_byOp % 16)
    {
    case 0:
        GoToNth(roNav, rkoEdit.m_byA, dwCapacity);
        break;
    case 1:
        roNav.m_ofnEnter(CChunkId(), TypeOf(rkoEdit.m_byA), TypeOf(rkoEdit.m_byB));
        break;
    case 2:
        roNav.m_ofnNext((rkoEdit.m_byA & 1) ? CChunkId(rkoEdit.m_byB) : CChunkId());
        break;
    case 3:
        roNav.m_ofnLeave();
        break;
    case 4:
        roNav.m_ofnDelete();
        break;
    case 5:
        roNav.m_ofnDuplicate(dwLength);
        break;
    case 6:
        roNav.m_ofnCreateChild(TypeOf(rkoEdit.m_byA), TypeOf(rkoEdit.m_byA / 3), CChunkId(rkoEdit.m_byC), 1, 2,
                               dwLength);
        break;
    case 7:
        roNav.m_ofnInsertAfter(TypeOf(rkoEdit.m_byA), TypeOf(rkoEdit.m_byA / 3), CChunkId(rkoEdit.m_byC), 3, 4,
                               dwLength);
        break;
    case 8:
    {
        // From another chunk of the same block.
        CChunkNav oSource(pbyBlock, dwCapacity);
        GoToNth(oSource, rkoEdit.m_byA, dwCapacity);
        roNav.m_ofnCopyInto(&oSource);
        break;
    }
    case 9:
    {
        // From a chunk of the input as it came in (another block).
        std::vector<BYTE> abyOther(rkabyOriginal);
        CChunkNav oSource(abyOther.data(), DWORD(abyOther.size()));
        GoToNth(oSource, rkoEdit.m_byA, DWORD(abyOther.size()));
        roNav.m_ofnCopyInto(&oSource);
        break;
    }
    case 10:
    {
        BYTE* pbyData = roNav.m_pbyfnFinalData(dwLength);
        if (pbyData != nullptr)
            std::memset(pbyData, rkoEdit.m_byA, dwLength);
        break;
    }
    case 11:
    {
        // A source inside the block itself, at the current chunk's header.
        const DWORD dwOffset = rkoEdit.m_byA;
        roNav.m_fnWriteData(roNav.m_pbyfnHeader(), rkoEdit.m_byB % 9, dwOffset);
        break;
    }
    case 12:
        roNav.m_bfnCompress(BYTE(2 + (rkoEdit.m_byA & 1)), BYTE(rkoEdit.m_byB % 3));
        break;
    case 13:
        roNav.m_bfnDecompress(rkoEdit.m_byA & 1);
        break;
    case 14:
        if (rkoEdit.m_byA & 1)
            roNav.m_fnSetFinalLength(dwLength);
        else
            roNav.m_fnSetDataLength(rkoEdit.m_byA & 2 ? 0xFFFFFFFF - dwLength : dwLength);
        break;
    case 15:
    {
        // The current chunk copied into a block of its own and walked there.
        // Room for the chunk as its header states it, but never more than
        // the block holds (a root longer than the block states anything).
        const DWORD dwRoom = dwLength + (rkoEdit.m_byA & 1 ? 0 : std::min(roNav.m_dwfnSize(), dwCapacity));
        std::unique_ptr<BYTE[]> pbyOther(new BYTE[dwRoom + (dwRoom == 0)]);
        CChunkNav oCopy(&roNav, pbyOther.get(), dwRoom);
        CheckBalance(oCopy, dwRoom);
        Walk(oCopy, dwRoom);
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QdFuzz::Start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbyInput, std::size_t uSize)
{
    if (uSize < 1 || uSize > (1u << 20))
        return 0;
    const std::size_t uEdits = std::min<std::size_t>(pbyInput[0] & 0x0F, (uSize - 1) / EDIT_SIZE);
    const DWORD dwReserveCode = pbyInput[0] >> 4;
    const DWORD dwReserve = dwReserveCode * dwReserveCode * 16;
    std::vector<CEdit> aoEdits(uEdits);
    for (std::size_t i = 0; i < uEdits; ++i)
        std::memcpy(&aoEdits[i], pbyInput + 1 + i * EDIT_SIZE, EDIT_SIZE);
    const std::uint8_t* pbyTree = pbyInput + 1 + uEdits * EDIT_SIZE;
    const DWORD dwTree = DWORD(uSize - 1 - uEdits * EDIT_SIZE);
    const std::vector<BYTE> abyOriginal(pbyTree, pbyTree + dwTree);

    const DWORD dwCapacity = dwTree + dwReserve;
    std::unique_ptr<BYTE[]> pbyBlock(new BYTE[dwCapacity + (dwCapacity == 0)]);
    if (dwTree != 0)
        std::memcpy(pbyBlock.get(), pbyTree, dwTree);
    std::memset(pbyBlock.get() + dwTree, 0xEE, dwReserve);

    CChunkNavComp oNav(pbyBlock.get(), dwCapacity);
    CheckBalance(oNav, dwCapacity);
    Walk(oNav, dwCapacity);
    for (const CEdit& rkoEdit : aoEdits)
    {
        Edit(oNav, rkoEdit, pbyBlock.get(), dwCapacity, abyOriginal);
        CheckBalance(oNav, dwCapacity);
        // Reading the current chunk after the edit must stay inside the block.
        (void)Touch(oNav.m_pbyfnHeader(), 8);
    }
    Walk(oNav, dwCapacity);
    return 0;
}
