// CDecBase.h -- the one interface through which every event source is read.
//
// Protocol: Rewind, then ExtractEvents while IsEndOfStream is false. Each
// call hands out one group (a list of events of one tick and one class, owned
// by the caller afterwards) and returns the delta to the next group, or -1
// when none follows. -1 while IsEndOfStream is still false means the source
// stopped with an error.
#pragma once

#include "Base/QdTypes.h"

#include <cstddef>
#include <functional>

class CEventList;
class CLinkedEvent;

// Delta result of the decoders: ticks to the next group, or -1 for none.
typedef SDWORD TDELTA;
constexpr TDELTA NO_DELTA = -1;

class CDecBase
{
public:
    CDecBase();
    virtual ~CDecBase();
    CDecBase(const CDecBase&) = delete;
    CDecBase& operator=(const CDecBase&) = delete;

    // GetPendingClass -- event class of the next group, 0xFF when none.
    virtual BYTE GetPendingClass() { return 0xFF; }
    virtual bool IsEndOfStream() = 0;
    // GetLengthInTicks -- length of the source when known, -1 otherwise.
    virtual SDWORD GetLengthInTicks() { return -1; }
    // SetWaitForEvents -- for sources that may have nothing to give yet.
    virtual void SetWaitForEvents(bool /*bWait*/) {}

    // PrintAllEvents -- writes a text description of every event to a file
    // (a debugging aid); bChnMsgOnly leaves out groups that are not channel
    // messages; bNumberLines prefixes a line counter. Rewinds the decoder.
    bool PrintAllEvents(const char* pszFileName, bool bChnMsgOnly, bool bNumberLines);
    // DescribeAllEvents -- the lines PrintAllEvents writes, each handed to
    // fnLine as it is made (its bytes, a line break first; EventDump.h);
    // false when the decoder stopped with an error (the last line says so).
    using TEventLineSink = std::function<void(const char* pszLine, std::size_t nLength)>;
    virtual bool DescribeAllEvents(const TEventLineSink& fnLine, bool bChnMsgOnly, bool bNumberLines);

    virtual void SavePosition();
    virtual void RestorePosition();
    virtual bool IsPositionSaveSupported() { return true; }

    // Rewind -- restarts at tick 0; returns the delta of the first group or -1.
    TDELTA Rewind();
    // ExtractEvents -- hands out the next group into rpoList (null when none)
    // and returns the delta to the group after it, or -1.
    TDELTA ExtractEvents(CLinkedEvent*& rpoList);
    // ExtractEvents -- the same into a list that owns the group: the events
    // roList held go back to the pool first, so a loop needs no more than
    // one group at a time.
    TDELTA ExtractEvents(CEventList& roList);
    // GetTick -- tick of the group last handed out, from the start of the stream.
    TTICK GetTick() const { return m_tTick; }

protected:
    virtual TDELTA OnExtractEvents(CLinkedEvent*& rpoList) = 0;
    virtual TDELTA OnRewind() = 0;

private:
    TDELTA m_sdwDelta;
    TTICK m_tTick;
    TDELTA m_sdwSavedDelta;
    TTICK m_tSavedTick;
};
