// EvBuffer.h -- the buffers pool: reference-counted data buffers of events.
//
// Long meta events and all system exclusive events keep their data in a
// buffer of this pool (its messages call it CEventsHeap). Buffers come from
// two free lists of fixed-size blocks (32 small blocks of 16 data bytes,
// 8 medium blocks of 128 data bytes) and, when the request is larger or the
// lists are empty, from the general heap.
//
// Every block starts with a header of HDRSIZE bytes directly in front of the
// data address that callers receive:
//   byte 0    block ID: SMALL_BLOCK_ID, MEDIUM_BLOCK_ID or NEW_BLOCK_ID (heap)
//   byte 1    bit 7 lock flag, bit 6 MASK_TEST (overflow sentinel, stays
//             clear), bits 0-5 reference count (1..63)
//   bytes 2-3 heap blocks only: the requested data size, 16-bit little-endian
// A free small or medium block keeps its free-list link in the 4 bytes after
// its data area (bytes 20-23 and 132-135), so the link never overlaps data.
// The link is the block's index in its array, which fits the 32-bit word on
// any platform.
//
// Data addresses are 4-byte aligned: blocks are carved from DWORD arrays and
// both block sizes are multiples of 4, so block + HDRSIZE is aligned too.
//
// Reference counting: a block comes locked with one reference. AddReference
// refuses a 64th reference (the count field holds 63 at most) and returns
// false; the event then copies the data into a buffer of its own, so the
// count can never wrap into a second release of a live block.
//
// One global instance, EvBuffersPool(), exists for the whole run; tests may
// construct their own. Single-threaded: the enter and leave hooks around the
// free lists and counters do nothing.
#pragma once

#include "Base/QdTypes.h"
#include "Kernel/Core/GlobalObj.h"

#include <memory>

class CEvBuffersPool : public CGlobalObjectBase
{
public:
    static constexpr int HDRSIZE = 4;

    static constexpr BYTE SMALL_BLOCK_ID = 0;
    static constexpr BYTE MEDIUM_BLOCK_ID = 1;
    static constexpr BYTE NEW_BLOCK_ID = 2;

    static constexpr BYTE MASK_LOCK = 0x80;
    static constexpr BYTE MASK_TEST = 0x40;
    static constexpr BYTE MASK_REFCOUNT = 0x3F;

    static constexpr int NR_SMALL_BLOCKS = 32;
    static constexpr int SMALL_DATA_SIZE = 16;
    static constexpr int SMALL_BLOCK_SIZE = HDRSIZE + SMALL_DATA_SIZE + 4;
    static constexpr int NR_MEDIUM_BLOCKS = 8;
    static constexpr int MEDIUM_DATA_SIZE = 128;
    static constexpr int MEDIUM_BLOCK_SIZE = HDRSIZE + MEDIUM_DATA_SIZE + 4;

    // Largest request the general heap can serve: the size must fit in the
    // 16-bit field of the header.
    static constexpr int MAX_BUFFER_SIZE = 0xFFFF;

    CEvBuffersPool();
    ~CEvBuffersPool() override;

    // CEvBuffersPool::Alloc -- data address of a locked block with one
    // reference that holds at least iSize bytes; null (after a report) for a
    // size outside 0..MAX_BUFFER_SIZE.
    void* Alloc(int iSize);

    // CEvBuffersPool::Free -- drops one reference; the last one returns the
    // block to where it came from. A pointer that is not a block of this pool
    // is reported and left alone.
    void Free(void* pvObject);

    // CEvBuffersPool::GetBufferSize -- data capacity of a block: 16, 128 or
    // the size requested from the heap; 0 for a null or unknown block.
    static int GetBufferSize(const void* pvObject);

    // CEvBuffersPool::AddReference -- one more reference; false when the
    // count is full (63) and the reference was not taken.
    bool AddReference(void* pvObject);

    // CEvBuffersPool::Unlock -- clears the lock flag (the data are complete).
    void Unlock(void* pvObject);

    // CEvBuffersPool::IsLocked -- the lock flag.
    bool IsLocked(const void* pvObject) const;

    // Exit notification: every block must have been freed. Only then are the
    // arrays released; with blocks still out they stay, so that the holders'
    // later Free finds valid memory.
    int Exit() override;

    int GetBlocksAllocated() const { return m_iBlocksAllocatedDebug; }

private:
    // Critical-section hooks of a threaded build; this program has one thread.
    void Enter() {}
    void Leave() {}

    // Chains the blocks of one array in array order; returns the head index.
    static DWORD ChainBlocks(BYTE* pbyArray, int iNrBlocks, int iBlockSize);
    // Pops the head of a free list; null when the list is empty.
    static BYTE* PopBlock(BYTE* pbyArray, int iBlockSize, DWORD& rdwFreeHead);
    // Index of pbyBlock in the array, or -1 when it is not one of its blocks.
    static int IndexOfBlock(const BYTE* pbyArray, int iNrBlocks, int iBlockSize, const BYTE* pbyBlock);
    // The block that holds the data address, or null when it does not look
    // like a block of this pool (unknown ID, or a pool ID outside the arrays).
    BYTE* FindBlock(void* pvObject);

    int m_iBlocksAllocatedDebug;

    std::unique_ptr<DWORD[]> m_pdwSmallBlocks;
    std::unique_ptr<DWORD[]> m_pdwMediumBlocks;
    // Free-list heads as block indices; NO_BLOCK ends a list.
    DWORD m_dwSmallFree;
    DWORD m_dwMediumFree;
};

// EvBuffersPool -- the global buffers pool. It is constructed and registered
// during static initialisation (and at the latest by the first call).
CEvBuffersPool& EvBuffersPool();
