// CHeap.h -- binary min-heap of (priority, value) pairs.
//
// Holds the pending note-offs of the memory encoder and of the Standard MIDI
// File encoder: priority = absolute tick at which a note ends, value = track
// or channel << 16 | key << 8 | note-off velocity.
#pragma once

#include "Base/QdTypes.h"

#include <cstddef>
#include <vector>

class CHeap
{
public:
    CHeap();

    // Push -- adds an entry; equal priorities come out in no defined order.
    void Push(DWORD dwValue, DWORD dwPriority);
    // Pop -- removes the entry with the smallest priority and returns its value, 0 when empty.
    DWORD Pop();
    // GetHeadPriority -- smallest priority; reports and returns 0 when empty (callers test the count first).
    DWORD GetHeadPriority() const;
    int GetCount() const { return int(m_aEntries.size()); }
    void Clear() { m_aEntries.clear(); }

private:
    struct CEntry
    {
        DWORD m_dwPriority;
        DWORD m_dwValue;
    };

    static constexpr std::size_t INITIAL_CAPACITY = 16;
    static constexpr std::size_t GROWTH_STEP = 8;

    std::vector<CEntry> m_aEntries;
};
