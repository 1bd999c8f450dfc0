// CDecStrm.cpp -- grouping, tick conversion and end-of-track tracking for
// single-event sources.
#include "Kernel/SeqBase/CDecStrm.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/EvPool.h"
#include "Kernel/RTEvents/EventList.h"

#define QD_REPORT_FILE "Kernel/SeqBase/CDecStrm"

namespace {

// Largest delta the system's formats can carry; a converted delta is capped
// there so that it never collides with the -1 of "no further group".
constexpr std::uint64_t MAX_CONVERTED_DELTA = 0x0FFFFFFF;
constexpr std::uint64_t SYSTEM_RESOLUTION = 384;

} // namespace

CDecStream::CDecStream(DWORD dwResolution)
    : m_eStatus(DS_OK), m_poPending(nullptr), m_dwResolution(dwResolution), m_dwRemainder(0), m_tFillerTicks(0),
      m_bWaitForEvents(false), m_tNullDelta(dwResolution * 10 / 200)
{
}

CDecStream::~CDecStream()
{
    FreePending();
}

void CDecStream::FreePending()
{
    if (m_poPending)
    {
        FreeEventsList(m_poPending);
        m_poPending = nullptr;
    }
}

BYTE CDecStream::GetPendingClass()
{
    return m_poPending ? m_poPending->GetClass() : BYTE(0xFF);
}

bool CDecStream::IsEndOfStream()
{
    return m_eStatus == DS_EOTRACK && !m_poPending;
}

// CDecStream::ExtractEvent -- one event from the source, its delta converted to 384 ticks per quarter.
bool CDecStream::ExtractEvent(TTICK& rtDelta, CLinkedEvent& roEvent)
{
    QD_ASSERT(m_eStatus != DS_EOTRACK && m_eStatus != DS_CORRUPTED);

    int iResult;
    do
    {
        rtDelta = 0;
        iResult = OnExtractEvent(rtDelta, roEvent);
    } while (iResult == EXTRACT_NOTHING && m_bWaitForEvents);

    if (iResult == EXTRACT_NOTHING)
    {
        // Nothing to give now: a null event keeps time moving, and the filler
        // ticks are taken off the next real deltas so that no time is added.
        roEvent.Clear();
        roEvent.SetNullEvent();
        rtDelta = m_tNullDelta;
        m_tFillerTicks += m_tNullDelta;
        return true;
    }
    if (iResult != EXTRACT_EVENT)
    {
        m_eStatus = DS_CORRUPTED;
        return false;
    }

    // A record the source skipped (a foreign marker, a malformed message)
    // still carries its delta: a null event keeps that time in the stream.
    if (roEvent.IsEmpty())
        roEvent.SetNullEvent();

    if (m_tFillerTicks)
    {
        if (rtDelta >= m_tFillerTicks)
        {
            rtDelta -= m_tFillerTicks;
            m_tFillerTicks = 0;
        }
        else
        {
            m_tFillerTicks -= rtDelta;
            rtDelta = 0;
        }
    }

    if (m_dwResolution && rtDelta)
    {
        const std::uint64_t qwScaled = std::uint64_t(rtDelta) * SYSTEM_RESOLUTION + m_dwRemainder;
        std::uint64_t qwDelta = qwScaled / m_dwResolution;
        m_dwRemainder = DWORD(qwScaled % m_dwResolution);
        if (qwDelta > MAX_CONVERTED_DELTA)
            qwDelta = MAX_CONVERTED_DELTA;
        rtDelta = TTICK(qwDelta);
    }

    if (roEvent.IsEndOfTrack())
        m_eStatus = DS_EOTRACK;
    return true;
}

// CDecStream::OnRewind -- restarts the source and reads the first event ahead.
TDELTA CDecStream::OnRewind()
{
    if (m_eStatus == DS_CORRUPTED)
        return NO_DELTA;

    m_eStatus = DS_OK;
    m_dwRemainder = 0;
    m_tFillerTicks = 0;
    if (m_poPending)
        m_poPending->Clear();
    else
        m_poPending = EventsPool().GetNewEvent();

    TTICK tDelta = 0;
    if (m_poPending && OnRewindSource() && ExtractEvent(tDelta, *m_poPending))
        return TDELTA(tDelta);

    QdReport("CDecStream::OnRewind () - Failed");
    FreePending();
    return NO_DELTA;
}

// CDecStream::OnExtractEvents -- the pending event and every following event
// of the same tick and class form the group handed out.
TDELTA CDecStream::OnExtractEvents(CLinkedEvent*& rpoList)
{
    rpoList = nullptr;
    if (m_eStatus == DS_CORRUPTED)
    {
        FreePending();
        return NO_DELTA;
    }
    if (m_eStatus == DS_EOTRACK || !m_poPending)
    {
        rpoList = m_poPending;
        m_poPending = nullptr;
        return NO_DELTA;
    }

    // The group and the event being read are owned here until they are
    // handed out: reading an event with long data may run out of memory.
    CEventList oList(m_poPending);
    CLinkedEvent* poTail = oList.Get();
    m_poPending = nullptr;
    const BYTE byClass = oList.Get()->GetClass();

    for (;;)
    {
        CEventList oEvent(EventsPool().GetNewEvent());
        TTICK tDelta = 0;
        if (oEvent.IsEmpty() || !ExtractEvent(tDelta, *oEvent.Get()))
        {
            QdReport("CDecStream::ExtractEvent(...) - Extraction failed");
            // The stream ends here (an exhausted events pool ends it in order
            // as well). The events of this tick were read correctly, so the
            // group is still handed out with -1: the caller keeps everything
            // decoded before the damage, and tells the error from a normal
            // end by IsEndOfStream().
            m_eStatus = DS_CORRUPTED;
            rpoList = oList.Release();
            return NO_DELTA;
        }
        if (tDelta != 0 || oEvent.Get()->GetClass() != byClass)
        {
            m_poPending = oEvent.Release();
            rpoList = oList.Release();
            return TDELTA(tDelta);
        }
        poTail = poTail->SetNext(oEvent.Release());
        if (m_eStatus == DS_EOTRACK)
            break;
    }

    // The end of track closed this group: nothing follows.
    rpoList = oList.Release();
    return NO_DELTA;
}

// CDecStream::DescribeAllEvents -- a dump must see every event, so waiting is on meanwhile.
bool CDecStream::DescribeAllEvents(const TEventLineSink& fnLine, bool bChnMsgOnly, bool bNumberLines)
{
    const bool bWasWaiting = m_bWaitForEvents;
    m_bWaitForEvents = true;
    const bool bResult = CDecBase::DescribeAllEvents(fnLine, bChnMsgOnly, bNumberLines);
    m_bWaitForEvents = bWasWaiting;
    return bResult;
}

// Position save and restore are not supported for single-event sources.
void CDecStream::SavePosition()
{
    QD_REPORT_FALSE();
}

void CDecStream::RestorePosition()
{
    QD_REPORT_FALSE();
}
