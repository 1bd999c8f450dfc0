// CHeap.cpp -- binary min-heap of (priority, value) pairs.
#include "Kernel/SeqBase/CHeap.h"

#include "Base/Report.h"

#include <utility>

CHeap::CHeap()
{
    m_aEntries.reserve(INITIAL_CAPACITY);
}

// CHeap::Push -- append, then move up while the parent's priority is strictly greater.
void CHeap::Push(DWORD dwValue, DWORD dwPriority)
{
    // The heap grows in small fixed steps: it holds a handful of sounding notes.
    if (m_aEntries.size() == m_aEntries.capacity())
        m_aEntries.reserve(m_aEntries.capacity() + GROWTH_STEP);
    m_aEntries.push_back({dwPriority, dwValue});

    std::size_t i = m_aEntries.size() - 1;
    while (i > 0)
    {
        const std::size_t iParent = (i - 1) / 2;
        if (m_aEntries[iParent].m_dwPriority <= m_aEntries[i].m_dwPriority)
            break;
        std::swap(m_aEntries[iParent], m_aEntries[i]);
        i = iParent;
    }
}

// CHeap::Pop -- take the root, move the last entry to the root and sift it down.
DWORD CHeap::Pop()
{
    if (m_aEntries.empty())
        return 0;
    const DWORD dwValue = m_aEntries.front().m_dwValue;
    m_aEntries.front() = m_aEntries.back();
    m_aEntries.pop_back();

    const std::size_t n = m_aEntries.size();
    std::size_t i = 0;
    for (;;)
    {
        std::size_t iChild = 2 * i + 1;
        if (iChild >= n)
            break;
        if (iChild + 1 < n && m_aEntries[iChild].m_dwPriority > m_aEntries[iChild + 1].m_dwPriority)
            ++iChild;
        if (m_aEntries[iChild].m_dwPriority >= m_aEntries[i].m_dwPriority)
            break;
        std::swap(m_aEntries[iChild], m_aEntries[i]);
        i = iChild;
    }
    return dwValue;
}

DWORD CHeap::GetHeadPriority() const
{
    if (m_aEntries.empty())
    {
        QdReport("CHeap::GetHeadPriority() - Heap is empty");
        return 0;
    }
    return m_aEntries.front().m_dwPriority;
}
