// EventList.h -- CEventList, a list of events that gives its events back to
// the events pool when it goes, and FilterEventsList, which keeps the events
// a predicate accepts and gives the others back.
//
// Lists handed between the coders stay plain chains of CLinkedEvent (named by
// their first event); a CEventList owns one such chain for as long as a
// function works on it, so no path out of the function can leak it.
#pragma once

#include "Kernel/RTEvents/LinkedEv.h"

// FilterEventsList -- keeps, in their order, the events of the list for which
// fnKeep(CLinkedEvent&) is true (it may change them on the way) and gives the
// others back to the events pool in one splice. Returns the kept list (null
// when none is kept).
template <class TKeep>
CLinkedEvent* FilterEventsList(CLinkedEvent* poList, TKeep fnKeep)
{
    CLinkedEvent* poKept = nullptr;
    CLinkedEvent* poKeptLast = nullptr;
    CLinkedEvent* poDropped = nullptr;
    CLinkedEvent* poDroppedLast = nullptr;
    while (poList)
    {
        CLinkedEvent* poNext = poList->DetachNext();
        const bool bKeep = fnKeep(*poList);
        CLinkedEvent*& rpoFirst = bKeep ? poKept : poDropped;
        CLinkedEvent*& rpoLast = bKeep ? poKeptLast : poDroppedLast;
        rpoLast = rpoFirst ? rpoLast->SetNext(poList) : (rpoFirst = poList);
        poList = poNext;
    }
    if (poDropped)
        FreeEventsList(poDropped);
    return poKept;
}

class CEventList
{
public:
    CEventList() = default;
    // CEventList::CEventList -- takes the whole chain poList (may be null).
    explicit CEventList(CLinkedEvent* poList) : m_poFirst(poList) {}
    ~CEventList() { Reset(); }
    CEventList(CEventList&& rroOther) noexcept : m_poFirst(rroOther.Release()) {}
    CEventList& operator=(CEventList&& rroOther) noexcept;
    CEventList(const CEventList&) = delete;
    CEventList& operator=(const CEventList&) = delete;

    CLinkedEvent* Get() const { return m_poFirst; }
    bool IsEmpty() const { return m_poFirst == nullptr; }

    // CEventList::Reset -- gives the events held back to the pool and takes
    // the chain poList instead.
    void Reset(CLinkedEvent* poList = nullptr);
    // CEventList::Release -- hands the chain out; the list is empty after.
    CLinkedEvent* Release();

    // CEventList::Append -- links the chain poList (may be null) after the
    // last event; the list owns it from now on.
    void Append(CLinkedEvent* poList);
    // CEventList::Add -- a new empty event from the pool at the end, or null
    // when the pool is exhausted (the pool has reported).
    CLinkedEvent* Add();
    // Events made at the end by Add; an exhausted pool leaves them out.
    void AddMeta(BYTE byType, const BYTE* pkbyData, int iLength);
    void AddControl(BYTE byChannel, BYTE byController, BYTE byValue);
    void AddProgram(BYTE byChannel, BYTE byProgram);

    // CEventList::KeepIf -- FilterEventsList on the list held.
    template <class TKeep>
    void KeepIf(TKeep fnKeep)
    {
        m_poFirst = FilterEventsList(m_poFirst, fnKeep);
        m_poLast = nullptr;
    }

private:
    // The last event: remembered after appending, found again after the
    // chain was taken whole.
    CLinkedEvent* Tail();

    CLinkedEvent* m_poFirst = nullptr;
    // The last event when known, null when it must be looked for.
    CLinkedEvent* m_poLast = nullptr;
};
