// EvBuffer.cpp -- the buffers pool (CEventsHeap in its messages).
#define QD_REPORT_FILE "Kernel/RTEvents/EvBuffer"

#include "Kernel/RTEvents/EvBuffer.h"

#include "Base/Report.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// End of a free list.
constexpr DWORD NO_BLOCK = 0xFFFFFFFF;

// Header byte 1 of a fresh block: locked, one reference.
constexpr BYTE LOCKED_ONE_REFERENCE = 0x81;

std::size_t DwordsFor(int iBytes)
{
    return (static_cast<std::size_t>(iBytes) + sizeof(DWORD) - 1) / sizeof(DWORD);
}

DWORD ReadLink(const BYTE* pbyBlock, int iBlockSize)
{
    DWORD dwLink;
    std::memcpy(&dwLink, pbyBlock + iBlockSize - sizeof(DWORD), sizeof dwLink);
    return dwLink;
}

void WriteLink(BYTE* pbyBlock, int iBlockSize, DWORD dwLink)
{
    std::memcpy(pbyBlock + iBlockSize - sizeof(DWORD), &dwLink, sizeof dwLink);
}

} // namespace

static_assert(CEvBuffersPool::SMALL_BLOCK_SIZE == 24 && CEvBuffersPool::MEDIUM_BLOCK_SIZE == 136);
static_assert(CEvBuffersPool::SMALL_BLOCK_SIZE % sizeof(DWORD) == 0 &&
              CEvBuffersPool::MEDIUM_BLOCK_SIZE % sizeof(DWORD) == 0 && CEvBuffersPool::HDRSIZE % sizeof(DWORD) == 0,
              "blocks carved from DWORD arrays keep their data addresses 4-byte aligned");

// CEvBuffersPool::CEvBuffersPool -- allocates both arrays and chains their
// free lists in array order.
CEvBuffersPool::CEvBuffersPool()
    : m_iBlocksAllocatedDebug(0),
      m_pdwSmallBlocks(new DWORD[DwordsFor(NR_SMALL_BLOCKS * SMALL_BLOCK_SIZE)]),
      m_pdwMediumBlocks(new DWORD[DwordsFor(NR_MEDIUM_BLOCKS * MEDIUM_BLOCK_SIZE)]),
      m_dwSmallFree(NO_BLOCK),
      m_dwMediumFree(NO_BLOCK)
{
    BYTE* pbySmall = reinterpret_cast<BYTE*>(m_pdwSmallBlocks.get());
    BYTE* pbyMedium = reinterpret_cast<BYTE*>(m_pdwMediumBlocks.get());
    m_dwSmallFree = ChainBlocks(pbySmall, NR_SMALL_BLOCKS, SMALL_BLOCK_SIZE);
    m_dwMediumFree = ChainBlocks(pbyMedium, NR_MEDIUM_BLOCKS, MEDIUM_BLOCK_SIZE);
    for (int i = 0; i < NR_SMALL_BLOCKS; ++i)
        pbySmall[i * SMALL_BLOCK_SIZE] = SMALL_BLOCK_ID;
    for (int i = 0; i < NR_MEDIUM_BLOCKS; ++i)
        pbyMedium[i * MEDIUM_BLOCK_SIZE] = MEDIUM_BLOCK_ID;
}

CEvBuffersPool::~CEvBuffersPool() = default;

// CEvBuffersPool::ChainBlocks -- header cleared (ID set by the caller), each
// block linked to the next one, the last ending the list.
DWORD CEvBuffersPool::ChainBlocks(BYTE* pbyArray, int iNrBlocks, int iBlockSize)
{
    for (int i = 0; i < iNrBlocks; ++i) {
        BYTE* pbyBlock = pbyArray + i * iBlockSize;
        std::memset(pbyBlock, 0, iBlockSize);
        WriteLink(pbyBlock, iBlockSize, i + 1 < iNrBlocks ? DWORD(i + 1) : NO_BLOCK);
    }
    return iNrBlocks > 0 ? 0 : NO_BLOCK;
}

BYTE* CEvBuffersPool::PopBlock(BYTE* pbyArray, int iBlockSize, DWORD& rdwFreeHead)
{
    if (!pbyArray || rdwFreeHead == NO_BLOCK)
        return nullptr;
    BYTE* pbyBlock = pbyArray + static_cast<std::size_t>(rdwFreeHead) * iBlockSize;
    rdwFreeHead = ReadLink(pbyBlock, iBlockSize);
    return pbyBlock;
}

// CEvBuffersPool::IndexOfBlock -- compares addresses as integers, since the
// pointer may belong to no array at all.
int CEvBuffersPool::IndexOfBlock(const BYTE* pbyArray, int iNrBlocks, int iBlockSize, const BYTE* pbyBlock)
{
    if (!pbyArray)
        return -1;
    const std::uintptr_t uBegin = reinterpret_cast<std::uintptr_t>(pbyArray);
    const std::uintptr_t uBlock = reinterpret_cast<std::uintptr_t>(pbyBlock);
    if (uBlock < uBegin)
        return -1;
    const std::uintptr_t uOffset = uBlock - uBegin;
    if (uOffset % iBlockSize != 0 || uOffset / iBlockSize >= static_cast<std::uintptr_t>(iNrBlocks))
        return -1;
    return static_cast<int>(uOffset / iBlockSize);
}

BYTE* CEvBuffersPool::FindBlock(void* pvObject)
{
    BYTE* pbyBlock = static_cast<BYTE*>(pvObject) - HDRSIZE;
    const BYTE* pbySmall = reinterpret_cast<const BYTE*>(m_pdwSmallBlocks.get());
    const BYTE* pbyMedium = reinterpret_cast<const BYTE*>(m_pdwMediumBlocks.get());
    switch (pbyBlock[0]) {
    case SMALL_BLOCK_ID:
        return IndexOfBlock(pbySmall, NR_SMALL_BLOCKS, SMALL_BLOCK_SIZE, pbyBlock) >= 0 ? pbyBlock : nullptr;
    case MEDIUM_BLOCK_ID:
        return IndexOfBlock(pbyMedium, NR_MEDIUM_BLOCKS, MEDIUM_BLOCK_SIZE, pbyBlock) >= 0 ? pbyBlock : nullptr;
    case NEW_BLOCK_ID: {
        // A heap block never lies inside the arrays; such an address would
        // make the heap release a part of an array.
        const std::uintptr_t uBlock = reinterpret_cast<std::uintptr_t>(pbyBlock);
        const auto bInside = [uBlock](const BYTE* pbyArray, int iBytes) {
            const std::uintptr_t uBegin = reinterpret_cast<std::uintptr_t>(pbyArray);
            return pbyArray && uBlock >= uBegin && uBlock - uBegin < static_cast<std::uintptr_t>(iBytes);
        };
        if (bInside(pbySmall, NR_SMALL_BLOCKS * SMALL_BLOCK_SIZE) ||
            bInside(pbyMedium, NR_MEDIUM_BLOCKS * MEDIUM_BLOCK_SIZE))
            return nullptr;
        return pbyBlock;
    }
    default:
        return nullptr;
    }
}

// CEvBuffersPool::Alloc -- small block for up to 16 bytes, else medium block
// for up to 128 bytes (so a small request falls back to a medium block when
// the small ones are used up), else the general heap.
void* CEvBuffersPool::Alloc(int iSize)
{
    if (!QD_ASSERT((iSize >= 0) && (iSize <= MAX_BUFFER_SIZE)))
        return nullptr;

    Enter();
    BYTE* pbyBlock = nullptr;
    if (iSize <= SMALL_DATA_SIZE)
        pbyBlock = PopBlock(reinterpret_cast<BYTE*>(m_pdwSmallBlocks.get()), SMALL_BLOCK_SIZE, m_dwSmallFree);
    if (!pbyBlock && iSize <= MEDIUM_DATA_SIZE)
        pbyBlock = PopBlock(reinterpret_cast<BYTE*>(m_pdwMediumBlocks.get()), MEDIUM_BLOCK_SIZE, m_dwMediumFree);
    Leave();
    if (!pbyBlock) {
        // Outside the critical section: the heap may throw when memory runs out.
        QdReport("CEventsHeap::Alloc - 'new' used for %d bytes buffer", iSize + HDRSIZE);
        pbyBlock = reinterpret_cast<BYTE*>(new DWORD[DwordsFor(iSize + HDRSIZE)]);
        pbyBlock[0] = NEW_BLOCK_ID;
        pbyBlock[2] = BYTE(iSize);
        pbyBlock[3] = BYTE(iSize >> 8);
    }
    Enter();
    pbyBlock[1] = LOCKED_ONE_REFERENCE;
    ++m_iBlocksAllocatedDebug;
    Leave();

    BYTE* pbyData = pbyBlock + HDRSIZE;
    QD_ASSERT_TEXT((reinterpret_cast<std::uintptr_t>(pbyData) & 0x03) == 0, "((DWORD)pbyBlock & 0x03) == 0");
    return pbyData;
}

// CEvBuffersPool::Free -- the lock flag plays no part in the count, so a
// locked block with one reference goes back at one Free. A release that
// would take the count below zero (the block is already free) is refused.
void CEvBuffersPool::Free(void* pvObject)
{
    if (!QD_ASSERT(pvObject != NULL))
        return;
    QD_ASSERT(m_iBlocksAllocatedDebug > 0);

    BYTE* pbyBlock = FindBlock(pvObject);
    if (!pbyBlock) {
        QdReport("CEventsHeap::Free - Block ID unknown");
        return;
    }

    Enter();
    const BYTE byHeader = pbyBlock[1];
    pbyBlock[1] = BYTE(byHeader - 1);
    if (!QD_ASSERT(!(pbyBlock[1] & MASK_TEST))) {
        pbyBlock[1] = byHeader;
        Leave();
        return;
    }
    if (pbyBlock[1] & MASK_REFCOUNT) {
        // Other events still hold the buffer.
        Leave();
        return;
    }

    pbyBlock[1] = 0;
    switch (pbyBlock[0]) {
    case SMALL_BLOCK_ID: {
        const BYTE* pbySmall = reinterpret_cast<const BYTE*>(m_pdwSmallBlocks.get());
        WriteLink(pbyBlock, SMALL_BLOCK_SIZE, m_dwSmallFree);
        m_dwSmallFree = DWORD(IndexOfBlock(pbySmall, NR_SMALL_BLOCKS, SMALL_BLOCK_SIZE, pbyBlock));
        break;
    }
    case MEDIUM_BLOCK_ID: {
        const BYTE* pbyMedium = reinterpret_cast<const BYTE*>(m_pdwMediumBlocks.get());
        WriteLink(pbyBlock, MEDIUM_BLOCK_SIZE, m_dwMediumFree);
        m_dwMediumFree = DWORD(IndexOfBlock(pbyMedium, NR_MEDIUM_BLOCKS, MEDIUM_BLOCK_SIZE, pbyBlock));
        break;
    }
    default: // NEW_BLOCK_ID, the only other ID FindBlock lets through
        delete[] reinterpret_cast<DWORD*>(pbyBlock);
        break;
    }
    --m_iBlocksAllocatedDebug;
    Leave();
}

// CEvBuffersPool::GetBufferSize -- static, as the header alone tells the size.
int CEvBuffersPool::GetBufferSize(const void* pvObject)
{
    if (!QD_ASSERT(pvObject))
        return 0;
    const BYTE* pbyBlock = static_cast<const BYTE*>(pvObject) - HDRSIZE;
    if (*pbyBlock == SMALL_BLOCK_ID)
        return SMALL_DATA_SIZE;
    if (*pbyBlock == MEDIUM_BLOCK_ID)
        return MEDIUM_DATA_SIZE;
    if (!QD_ASSERT(*pbyBlock == NEW_BLOCK_ID))
        return 0;
    return pbyBlock[2] | (pbyBlock[3] << 8);
}

// CEvBuffersPool::AddReference -- a 64th reference would set the sentinel;
// it is reported and taken back, and the caller learns that it holds no
// reference.
bool CEvBuffersPool::AddReference(void* pvObject)
{
    if (!QD_ASSERT(pvObject))
        return false;
    Enter();
    ++*(static_cast<BYTE*>(pvObject) - HDRSIZE + 1);
    const bool bTaken = QD_ASSERT(! (*((BYTE *)pvObject - HDRSIZE + 1) & MASK_TEST));
    if (!bTaken)
        --*(static_cast<BYTE*>(pvObject) - HDRSIZE + 1);
    Leave();
    return bTaken;
}

void CEvBuffersPool::Unlock(void* pvObject)
{
    if (!QD_ASSERT(pvObject))
        return;
    *(static_cast<BYTE*>(pvObject) - HDRSIZE + 1) &= BYTE(~MASK_LOCK);
}

bool CEvBuffersPool::IsLocked(const void* pvObject) const
{
    if (!QD_ASSERT(pvObject))
        return false;
    return (*(static_cast<const BYTE*>(pvObject) - HDRSIZE + 1) & MASK_LOCK) != 0;
}

// CEvBuffersPool::Exit -- the leak check of the program's end. Returns 0
// when every block came back.
int CEvBuffersPool::Exit()
{
    if (!QD_ASSERT(!m_iBlocksAllocatedDebug))
        return 1;
    Enter();
    m_pdwSmallBlocks.reset();
    m_pdwMediumBlocks.reset();
    m_dwSmallFree = NO_BLOCK;
    m_dwMediumFree = NO_BLOCK;
    Leave();
    return 0;
}

CEvBuffersPool& EvBuffersPool()
{
    static CEvBuffersPool s_oBuffersPool;
    return s_oBuffersPool;
}

namespace {
// Constructs and registers the global pool during static initialisation.
[[maybe_unused]] CEvBuffersPool& s_roBuffersPoolAtStart = EvBuffersPool();
} // namespace
