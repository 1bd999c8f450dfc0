// EvPool.h -- the events pool: every CLinkedEvent of every list comes from it.
//
// 1024 records in one array, allocated at construction and chained into a
// free list in array order through their next links. At most 1024 records
// are in use at once; a caller asking for more gets null and a report.
// Lists come back in one splice (ReleaseList), already cleared by the list
// operations of LinkedEv.
//
// One global instance, EventsPool(), exists for the whole run; tests may
// construct their own. Single-threaded: the enter and leave hooks around the
// free list and the counters do nothing.
#pragma once

#include "Kernel/Core/GlobalObj.h"
#include "Kernel/RTEvents/LinkedEv.h"

#include <memory>

class CEventsPool : public CGlobalObjectBase
{
public:
    static constexpr int NR_EVENTS = 1024;

    CEventsPool();
    ~CEventsPool() override;

    // CEventsPool::GetNewEvent -- an empty record with its link cleared, or
    // null (after a report) when the pool is exhausted.
    CLinkedEvent* GetNewEvent();

    // CEventsPool::ReleaseList -- takes back the chain poFirst..poLast of
    // iCount records and returns iCount. Each record should be empty; one
    // that is not is reported and cleared, so that the pool never hands out
    // a filled record and no buffer reference is lost.
    int ReleaseList(CLinkedEvent* poFirst, CLinkedEvent* poLast, int iCount);

    // Exit notification: every record must have come back. Only then is the
    // array released; with records still out it stays, so that their holders
    // keep valid memory.
    int Exit() override;

    int GetCount() const { return m_iCount; }
    int GetPeakCount() const { return m_iPeakCount; }

private:
    // Critical-section hooks of a threaded build; this program has one thread.
    void Enter() {}
    void Leave() {}

    std::unique_ptr<CLinkedEvent[]> m_poEvents;
    CLinkedEvent* m_poFreeList;
    int m_iCount;
    int m_iPeakCount;
};

// EventsPool -- the global events pool. It is constructed and registered
// during static initialisation (and at the latest by the first call), after
// the buffers pool, so that it is notified at exit before the buffers pool.
CEventsPool& EventsPool();
