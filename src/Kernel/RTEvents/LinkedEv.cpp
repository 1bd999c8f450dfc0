// LinkedEv.cpp -- linked events and the list operations over the events pool.
#define QD_REPORT_FILE "Kernel/RTEvents/LinkedEv"

#include "Kernel/RTEvents/LinkedEv.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/EvPool.h"
#include "Kernel/RTEvents/EventList.h"

CLinkedEvent* CLinkedEvent::SetNext(CLinkedEvent* poNext)
{
    m_poNext = poNext;
    CLinkedEvent* poTail = this;
    while (poTail->m_poNext)
        poTail = poTail->m_poNext;
    return poTail;
}

CLinkedEvent* CLinkedEvent::DetachNext()
{
    CLinkedEvent* poRest = m_poNext;
    m_poNext = nullptr;
    return poRest;
}

// FreeEventsList -- one pass clears and counts; the pool takes the chain in
// one splice.
int FreeEventsList(CLinkedEvent* poEventList)
{
    if (!QD_ASSERT(poEventList))
        return 0;
    int iCount = 0;
    CLinkedEvent* poLast = poEventList;
    for (CLinkedEvent* poNext = poEventList; poNext; poNext = poNext->Next()) {
        poNext->Clear();
        poLast = poNext;
        ++iCount;
    }
    return EventsPool().ReleaseList(poEventList, poLast, iCount);
}

// FreeChnEventsList -- channel messages hold no buffers; an event of another
// class is reported and still cleared properly, so its buffer is not lost.
int FreeChnEventsList(CLinkedEvent* poEventList)
{
    if (!QD_ASSERT(poEventList))
        return 0;
    int iCount = 0;
    CLinkedEvent* poLast = poEventList;
    for (CLinkedEvent* poNext = poEventList; poNext; poNext = poNext->Next()) {
        QD_ASSERT((poNext->IsEmpty()) || (poNext->GetClass() == EC_CHMSG));
        poNext->Clear();
        poLast = poNext;
        ++iCount;
    }
    return EventsPool().ReleaseList(poEventList, poLast, iCount);
}

int FreeEventsGroup(CLinkedEvent* poEventList)
{
    if (!QD_ASSERT(poEventList))
        return 0;
    if (!poEventList->IsEmpty() && poEventList->GetClass() == EC_CHMSG)
        return FreeChnEventsList(poEventList);
    return FreeEventsList(poEventList);
}

// DuplicateEventsList -- appends one pool record per source event. A record
// joins the copy before it is filled: a copy of the data (a buffer with its
// references used up) may run out of memory, and the copy is then freed
// whole.
CLinkedEvent* DuplicateEventsList(const CLinkedEvent* pkoSourceList, CLinkedEvent*& rpoLast)
{
    rpoLast = nullptr;
    if (!QD_ASSERT(pkoSourceList))
        return nullptr;
    CEventList oCopy;
    CLinkedEvent* poLast = nullptr;
    for (const CLinkedEvent* pkoSource = pkoSourceList; pkoSource; pkoSource = pkoSource->Next()) {
        poLast = oCopy.Add();
        if (!poLast)
            return nullptr;
        *poLast = *pkoSource;
    }
    rpoLast = poLast;
    return oCopy.Release();
}
