// LinkedEv.h -- events linked into lists, and the operations on whole lists.
//
// A list is named by its first event; an empty list is a null pointer. Lists
// own their events: the records come from the global events pool, and
// freeing a list clears every record and returns the whole chain to the pool
// in one splice. A CLinkedEvent may also be held by value, for example as the
// head of a list of queued events.
#pragma once

#include "Kernel/RTEvents/CEvent.h"

#include <memory>

class CLinkedEvent : public CEvent
{
public:
    CLinkedEvent() : m_poNext(nullptr) {}
    // Copies the event (sharing its buffer); the copy belongs to no list.
    CLinkedEvent(const CLinkedEvent& rkoOther) : CEvent(rkoOther), m_poNext(nullptr) {}
    // Assigns the event only; the link of this record stays as it is.
    CLinkedEvent& operator=(const CLinkedEvent& rkoOther)
    {
        CEvent::operator=(rkoOther);
        return *this;
    }
    using CEvent::operator=;

    CLinkedEvent* Next() const { return m_poNext; }

    // CLinkedEvent::SetNext -- links poNext (an event or a whole chain) after
    // this event and returns the new tail: the last event of the chain, or
    // this event when poNext is null. Appending reads
    // poTail = poTail->SetNext(poEvent); only the appended chain is walked.
    // Whatever followed this event before is no longer linked; the caller
    // keeps track of it.
    CLinkedEvent* SetNext(CLinkedEvent* poNext);

    // CLinkedEvent::DetachNext -- returns the rest of the list and ends the
    // list at this event.
    CLinkedEvent* DetachNext();

private:
    // The pool splices whole chains onto its free list without walking it.
    friend class CEventsPool;

    CLinkedEvent* m_poNext;
};

// FreeEventsList -- clears every event of the list (dropping buffer
// references) and returns the chain to the events pool. Returns the number
// of events released.
int FreeEventsList(CLinkedEvent* poEventList);

// COwnedEventsList -- owns a list (its first event) and frees it when it
// goes. A list held across work that may run out of memory (an encoder
// that grows its buffer, a data buffer from the heap) is held by one, so
// that it goes back to the pool however the work ends.
struct CFreeEventsList
{
    void operator()(CLinkedEvent* poEventList) const { FreeEventsList(poEventList); }
};
using COwnedEventsList = std::unique_ptr<CLinkedEvent, CFreeEventsList>;

// FreeChnEventsList -- the same for a list of channel messages, each of them
// checked to be one.
int FreeChnEventsList(CLinkedEvent* poEventList);

// FreeEventsGroup -- frees a group (one tick, one class) by the class of its
// first event: FreeChnEventsList for channel messages, else FreeEventsList.
int FreeEventsGroup(CLinkedEvent* poEventList);

// DuplicateEventsList -- a new list, from the events pool, of copies of the
// source events in their order (buffers shared, one more reference each).
// Returns its first event and sets rpoLast to its last. When the pool runs
// out, the events taken so far are returned and the result is null.
CLinkedEvent* DuplicateEventsList(const CLinkedEvent* pkoSourceList, CLinkedEvent*& rpoLast);
