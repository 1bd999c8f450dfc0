// EvPool.cpp -- the events pool.
#define QD_REPORT_FILE "Kernel/RTEvents/EvPool"

#include "Kernel/RTEvents/EvPool.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/EvBuffer.h"

// CEventsPool::CEventsPool -- the records start empty and are chained in
// array order, the last one ending the free list.
CEventsPool::CEventsPool()
    : m_poEvents(new CLinkedEvent[NR_EVENTS]), m_poFreeList(nullptr), m_iCount(0), m_iPeakCount(0)
{
    for (int i = 0; i + 1 < NR_EVENTS; ++i)
        m_poEvents[i].m_poNext = &m_poEvents[i + 1];
    m_poFreeList = &m_poEvents[0];
}

CEventsPool::~CEventsPool() = default;

// CEventsPool::GetNewEvent -- pops the head of the free list.
CLinkedEvent* CEventsPool::GetNewEvent()
{
    Enter();
    if (!m_poFreeList) {
        Leave();
        QD_ASSERT_TEXT(false, "FALSE");
        QdReport("CEventPool::GetNewEvent() - Pool of events is exhausted");
        return nullptr;
    }
    if (++m_iCount > m_iPeakCount)
        m_iPeakCount = m_iCount;
    CLinkedEvent* poEvent = m_poFreeList;
    m_poFreeList = poEvent->DetachNext();
    Leave();
    return poEvent;
}

// CEventsPool::ReleaseList -- walks the chain to its end checking each
// record, then splices poFirst..poLast in front of the free list.
int CEventsPool::ReleaseList(CLinkedEvent* poFirst, CLinkedEvent* poLast, int iCount)
{
    if (!QD_ASSERT(poFirst && poLast))
        return 0;
    for (CLinkedEvent* poScan = poFirst; poScan; poScan = poScan->Next()) {
        if (!QD_ASSERT(poScan->IsEmpty()))
            poScan->Clear();
    }
    Enter();
    poLast->m_poNext = m_poFreeList;
    m_poFreeList = poFirst;
    m_iCount -= iCount;
    Leave();
    return iCount;
}

// CEventsPool::Exit -- the leak check of the program's end. Returns 0 when
// every record came back.
int CEventsPool::Exit()
{
    if (!QD_ASSERT(m_iCount == 0))
        return 1;
    Enter();
    m_poFreeList = nullptr;
    m_poEvents.reset();
    Leave();
    return 0;
}

// EventsPool -- records may hold buffers, so the buffers pool must be there
// first: constructed (and registered) before this pool, it is notified at
// exit after it and destroyed after it.
CEventsPool& EventsPool()
{
    [[maybe_unused]] static CEvBuffersPool& s_roBuffersPool = EvBuffersPool();
    static CEventsPool s_oEventsPool;
    return s_oEventsPool;
}

namespace {
// Constructs and registers the global pool during static initialisation.
[[maybe_unused]] CEventsPool& s_roEventsPoolAtStart = EventsPool();
} // namespace
