// CDecProp.cpp -- decoder of the compact event format.
#define QD_REPORT_FILE "Kernel/SeqBase/CDecProp"

#include "Kernel/SeqBase/CDecProp.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/RTEvents/EvPool.h"
#include "Kernel/RTEvents/EventList.h"
#include "Kernel/SeqBase/PropForm.h"

#include <cstring>

namespace {

// Largest data length of an event (15 bits of m_dw1).
constexpr DWORD MAX_EVENT_LENGTH = 0x7FFF;

} // namespace

// CDecProp::CDecProp -- a null block counts as empty.
CDecProp::CDecProp(const BYTE* pbyData, unsigned long ulDataSize)
    : m_pbyStartData(pbyData), m_ulDataSize(pbyData ? ulDataSize : 0), m_pbyEndData(nullptr),
      m_pbyReadPos(pbyData), m_byTrack(0), m_bIsTerminated(true), m_poPending(nullptr), m_byPendingClass(EC_NONE)
{
    QD_ASSERT(pbyData || !ulDataSize);
    m_pbyEndData = m_pbyStartData + m_ulDataSize;
    Rewind();
}

CDecProp::~CDecProp()
{
    FreePending();
}

void CDecProp::FreePending()
{
    if (m_poPending)
    {
        FreeEventsList(m_poPending);
        m_poPending = nullptr;
    }
    m_byPendingClass = EC_NONE;
}

void CDecProp::SavePosition()
{
    QD_REPORT_FALSE();
}

void CDecProp::RestorePosition()
{
    QD_REPORT_FALSE();
}

// CDecProp::OnRewind -- back to the start of the block on track 0.
TDELTA CDecProp::OnRewind()
{
    m_pbyReadPos = m_pbyStartData;
    return Prepare(0);
}

// CDecProp::Prepare -- decodes the first event ahead as the pending event.
TDELTA CDecProp::Prepare(BYTE byTrack)
{
    m_bIsTerminated = (m_ulDataSize == 0);
    m_byTrack = BYTE(byTrack & PROP_DATA_MASK);
    FreePending();
    if (m_bIsTerminated)
        return NO_DELTA;

    DWORD dwDelta = 0;
    m_poPending = DecodeNext(dwDelta);
    if (!m_poPending)
    {
        QdReport("CDecProp::Prepare() - stream of events is corrupted");
        return NO_DELTA;
    }
    m_byPendingClass = m_poPending->GetClass();
    return TDELTA(dwDelta);
}

TDELTA CDecProp::OnExtractEvents(CLinkedEvent*& rpoList)
{
    return ExtractGroup(rpoList, false);
}

TDELTA CDecProp::OnExtractEventsWithFilter(CLinkedEvent*& rpoList)
{
    return ExtractGroup(rpoList, true);
}

bool CDecProp::AcceptEvent(const CEvent& rkoEvent)
{
    switch (rkoEvent.GetClass())
    {
    case EC_CHMSG:
        return AcceptChnEvent(rkoEvent);
    case EC_META:
        return AcceptMetaEvent(rkoEvent);
    case EC_SYSEX:
        return AcceptSysExEvent(rkoEvent);
    default:
        return false;
    }
}

// CDecProp::ExtractGroup -- hands out the pending event and every following
// event of the same tick and class; the first event that differs becomes the
// pending event and its delta is returned.
TDELTA CDecProp::ExtractGroup(CLinkedEvent*& rpoList, bool bFilter)
{
    rpoList = nullptr;
    if (!m_poPending)
    {
        if (m_bIsTerminated)
            QdReport(bFilter ? "CDecProp::OnExtractEventsWithFilter() - attempted to extract events after EOT"
                             : "CDecProp::OnExtractEvents() - attempted to extract events after EOT");
        else
            QdReport(bFilter ? "CDecProp::OnExtractEventsWithFilter() - attempted to extract events after error"
                             : "CDecProp::OnExtractEvents() - attempted to extract events after error");
        return NO_DELTA;
    }

    if (bFilter && !AcceptEvent(*m_poPending))
    {
        // The group keeps its tick: a null event stands in for the rejected one.
        m_poPending->Clear();
        m_poPending->SetNullEvent();
        m_byPendingClass = EC_META;
    }

    // The group is handed out when it is complete; until then it is owned
    // here, as decoding the next event may run out of memory.
    CEventList oList(m_poPending);
    CLinkedEvent* poTail = oList.Get();
    const BYTE byClass = m_byPendingClass;
    m_poPending = nullptr;
    m_byPendingClass = EC_NONE;

    for (;;)
    {
        DWORD dwDelta = 0;
        CLinkedEvent* poEvent = DecodeNext(dwDelta);
        if (!poEvent)
        {
            // The end of a terminated stream; anything else is an error.
            QD_ASSERT(m_bIsTerminated);
            rpoList = oList.Release();
            return NO_DELTA;
        }
        if (bFilter && dwDelta == 0 && !AcceptEvent(*poEvent))
        {
            FreeEventsList(poEvent);
            continue;
        }
        const BYTE byEventClass = poEvent->GetClass();
        if (dwDelta != 0 || byEventClass != byClass)
        {
            m_poPending = poEvent;
            m_byPendingClass = byEventClass;
            rpoList = oList.Release();
            return TDELTA(dwDelta);
        }
        poTail = poTail->SetNext(poEvent);
    }
}

// ---------------------------------------------------------------------------
// Record decoding
// ---------------------------------------------------------------------------

bool CDecProp::TakeByte(BYTE& rbyData)
{
    if (m_pbyReadPos >= m_pbyEndData)
        return false;
    rbyData = *m_pbyReadPos++;
    return true;
}

const BYTE* CDecProp::TakeBytes(DWORD dwCount)
{
    if (DWORD(m_pbyEndData - m_pbyReadPos) < dwCount)
        return nullptr;
    const BYTE* pbyField = m_pbyReadPos;
    m_pbyReadPos += dwCount;
    return pbyField;
}

void CDecProp::ChangeTrack(BYTE byTrackDelta)
{
    m_byTrack = BYTE((m_byTrack + byTrackDelta) & PROP_DATA_MASK);
}

bool CDecProp::SkipRecordBody()
{
    BYTE by = 0;
    do
    {
        if (!TakeByte(by))
            return false;
    } while (!(by & PROP_HIGH_BIT));
    return true;
}

// CDecProp::DecodeNext -- reads records until one yields an event. Private
// records are passed over; their deltas add up, capped at what a delta can
// hold (a longer run of them makes the stream corrupted).
CLinkedEvent* CDecProp::DecodeNext(DWORD& rdwDelta)
{
    rdwDelta = 0;
    if (m_bIsTerminated)
        return nullptr;

    for (;;)
    {
        DWORD dwDelta = 0;
        BYTE byType = 0;
        // Running out of data here means the end-of-track record is missing.
        if (!PropFormReadDelta(m_pbyReadPos, m_pbyEndData, dwDelta) || !TakeByte(byType))
            return nullptr;
        rdwDelta += dwDelta;
        if (rdwDelta > PROP_MAX_DELTA)
            return nullptr;

        if (byType & PROP_SHORT_NOTE)
            return DecodeShortNote(byType);

        if (byType & PROP_TRACK_CHANGE)
        {
            BYTE byTrackDelta = 0;
            if (!TakeByte(byTrackDelta))
                return nullptr;
            ChangeTrack(byTrackDelta);
        }

        const BYTE byCode = BYTE(byType & PROP_CODE_MASK);
        switch (byCode)
        {
        case EVSC_NOTEOFF:
        case EVSC_NOTEON:
        case EVSC_KEY_PRESSURE:
        case EVSC_CTRL_CHANGE:
        case EVSC_PRG_CHANGE:
        case EVSC_CHN_PRESSURE:
        case EVSC_PITCH_B_CHANGE:
        case EVSC_NOTE:
        case EVSC_MODE_MSG:
            return DecodeChnRecord(byCode);
        case EVSC_META:
            return DecodeMetaRecord();
        case EVSC_SYSEX:
            return DecodeSysExRecord();
        case PROP_CODE_PRIVATE:
            if (!AcceptPrivateRecord() && !SkipRecordBody())
                return nullptr;
            continue;
        case PROP_CODE_SKIP:
            // Never written by the encoder: skipped, and no event results, so
            // the stream ends here as corrupted.
            SkipRecordBody();
            return nullptr;
        default:
            QD_REPORT_FALSE();
            return nullptr;
        }
    }
}

// CDecProp::DecodeShortNote -- [T], velocity-on, duration (2), velocity-off.
// The key flag sits on the byte right after the type byte.
CLinkedEvent* CDecProp::DecodeShortNote(BYTE byType)
{
    BYTE byVelOn = 0;
    bool bLowKey = false;
    if (byType & PROP_TRACK_CHANGE)
    {
        BYTE byTrackDelta = 0;
        if (!TakeByte(byTrackDelta) || !TakeByte(byVelOn))
            return nullptr;
        bLowKey = (byTrackDelta & PROP_HIGH_BIT) != 0;
        ChangeTrack(byTrackDelta);
    }
    else
    {
        if (!TakeByte(byVelOn))
            return nullptr;
        bLowKey = (byVelOn & PROP_HIGH_BIT) != 0;
    }
    const BYTE* pbyTail = TakeBytes(PROP_DURATION_SIZE + 1);
    if (!pbyTail)
        return nullptr;

    CLinkedEvent* poEvent = EventsPool().GetNewEvent();
    if (!poEvent)
        return nullptr;
    poEvent->SetNoteEvent(m_byTrack, PropFormShortKey(byType, bLowKey), BYTE(byVelOn & PROP_DATA_MASK),
                          BYTE(pbyTail[PROP_DURATION_SIZE] & PROP_DATA_MASK), PropFormReadDuration(pbyTail));
    return poEvent;
}

// CDecProp::DecodeChnRecord -- the body after the track-delta byte. Data bytes
// are taken with 7 bits, so every event made is a well-formed channel message.
CLinkedEvent* CDecProp::DecodeChnRecord(BYTE byCode)
{
    DWORD dwBodySize = 2;
    if (byCode == EVSC_PRG_CHANGE || byCode == EVSC_CHN_PRESSURE)
        dwBodySize = 1;
    else if (byCode == EVSC_NOTE)
        dwBodySize = 3 + PROP_DURATION_SIZE;
    const BYTE* pbyBody = TakeBytes(dwBodySize);
    if (!pbyBody)
        return nullptr;

    CLinkedEvent* poEvent = EventsPool().GetNewEvent();
    if (!poEvent)
        return nullptr;
    const BYTE byData1 = BYTE(pbyBody[0] & PROP_DATA_MASK);
    switch (dwBodySize)
    {
    case 1:
        poEvent->SetChnMessage(byCode, m_byTrack, byData1);
        break;
    case 2:
        poEvent->SetChnMessage(byCode, m_byTrack, byData1, BYTE(pbyBody[1] & PROP_DATA_MASK));
        break;
    default:
        poEvent->SetNoteEvent(m_byTrack, byData1, BYTE(pbyBody[1] & PROP_DATA_MASK),
                              BYTE(pbyBody[2 + PROP_DURATION_SIZE] & PROP_DATA_MASK),
                              PropFormReadDuration(pbyBody + 2));
        break;
    }
    return poEvent;
}

// CDecProp::DecodeMetaRecord -- type, length (2), data. The stream ends after
// an end of track and after the end marker.
CLinkedEvent* CDecProp::DecodeMetaRecord()
{
    BYTE byMetaType = 0;
    if (!TakeByte(byMetaType))
        return nullptr;
    byMetaType &= PROP_DATA_MASK;
    const BYTE* pbyLength = TakeBytes(PROP_LENGTH_SIZE);
    if (!pbyLength)
        return nullptr;
    const WORD wLength = PropFormReadLength(pbyLength);
    const BYTE* pbyData = TakeBytes(wLength);
    if (!pbyData)
        return nullptr;

    // Owned while its data buffer is had: a long one comes from the heap.
    CEventList oEvent(EventsPool().GetNewEvent());
    if (oEvent.IsEmpty())
        return nullptr;
    BYTE* pbyEventData = oEvent.Get()->SetMetaEventBegin(byMetaType, wLength);
    if (!pbyEventData)
        return nullptr;
    if (wLength)
        std::memcpy(pbyEventData, pbyData, wLength);
    oEvent.Get()->SetMetaEventEnd();

    if (PropFormIsStreamEnd(byMetaType, pbyData, wLength))
        m_bIsTerminated = true;
    return oEvent.Release();
}

// CDecProp::DecodeSysExRecord -- packet type, length (2), payload; the framing
// bytes the packet type names are put back around the payload.
CLinkedEvent* CDecProp::DecodeSysExRecord()
{
    BYTE byPackType = 0;
    if (!TakeByte(byPackType))
        return nullptr;
    const BYTE* pbyLength = TakeBytes(PROP_LENGTH_SIZE);
    if (!pbyLength)
        return nullptr;
    const WORD wPayload = PropFormReadLength(pbyLength);
    const BYTE* pbyPayload = TakeBytes(wPayload);
    if (!pbyPayload)
        return nullptr;

    bool bHasF0 = false;
    bool bHasF7 = false;
    const BYTE ktPackType = byPackType;
    switch (ktPackType)
    {
    case EP_COMPLETE:
        bHasF0 = bHasF7 = true;
        break;
    case EP_BEGINMSG:
        bHasF0 = true;
        break;
    case EP_CONTMSG:
        break;
    default:
        // An unknown packet type is read as the end of a message.
        QD_ASSERT(ktPackType == EP_ENDMSG);
        bHasF7 = true;
        break;
    }
    const DWORD dwEventLength = DWORD(wPayload) + (bHasF0 ? 1 : 0) + (bHasF7 ? 1 : 0);
    if (dwEventLength > MAX_EVENT_LENGTH)
        return nullptr;

    CEventList oEvent(EventsPool().GetNewEvent());
    if (oEvent.IsEmpty())
        return nullptr;
    BYTE* pbyData = oEvent.Get()->SetSysExEventBegin(int(dwEventLength));
    if (!pbyData)
        return nullptr;
    BYTE* pbyWrite = pbyData;
    if (bHasF0)
        *pbyWrite++ = 0xF0;
    if (wPayload)
    {
        std::memcpy(pbyWrite, pbyPayload, wPayload);
        pbyWrite += wPayload;
        pbyWrite[-1] &= PROP_DATA_MASK;
    }
    if (bHasF7)
        *pbyWrite++ = 0xF7;
    oEvent.Get()->SetSysExEventEnd(int(dwEventLength));
    return oEvent.Release();
}
