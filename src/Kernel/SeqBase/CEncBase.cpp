// CEncBase.cpp -- group dispatch and delta bookkeeping shared by all encoders.
#include "Kernel/SeqBase/CEncBase.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/RTEvents/LinkedEv.h"

#define QD_REPORT_FILE "Kernel/SeqBase/CEncBase"

CEncoderBase::CEncoderBase() : m_tInputTick(0), m_tLastEncodedTick(0), m_tArrivalTick(0), m_bIsOpen(false) {}

CEncoderBase::~CEncoderBase()
{
    QD_ASSERT(! m_bIsOpen);
}

bool CEncoderBase::Open()
{
    if (m_bIsOpen)
        return false;
    m_tInputTick = 0;
    m_tLastEncodedTick = 0;
    m_tArrivalTick = 0;
    m_bIsOpen = true;
    return true;
}

bool CEncoderBase::Close()
{
    if (!m_bIsOpen)
        return false;
    m_bIsOpen = false;
    return true;
}

// CEncoderBase::EncodeEventsAt -- a tick before the previous group would make a
// negative delta; such a group is placed at the previous group's tick.
bool CEncoderBase::EncodeEventsAt(TTICK tAbsTick, const CLinkedEvent* poList)
{
    QD_ASSERT(tAbsTick >= m_tInputTick);
    return EncodeEvents(tAbsTick >= m_tInputTick ? tAbsTick - m_tInputTick : 0, poList);
}

// CEncoderBase::EncodeEvents -- dispatches the group by the class of its first event.
bool CEncoderBase::EncodeEvents(TTICK tDelta, const CLinkedEvent* poList)
{
    m_tInputTick += tDelta;
    m_tArrivalTick = m_tInputTick;
    if (!poList)
        return false;

    TTICK tAbsTick = m_tArrivalTick;
    switch (poList->GetClass())
    {
    case EC_CHMSG:
        if (!PrepareTick(tAbsTick))
            return false;
        for (const CLinkedEvent* poEvent = poList; poEvent; poEvent = poEvent->Next())
            if (!EncodeChnEvent(tAbsTick, *poEvent))
                return false;
        return true;

    case EC_META:
        if (!PrepareTick(tAbsTick))
            return false;
        for (const CLinkedEvent* poEvent = poList; poEvent; poEvent = poEvent->Next())
        {
            if (poEvent->IsNullEvent())
                continue;
            // The end of track never comes before the end of a note the
            // subclass has closed; later events of the group follow it there.
            if (poEvent->IsEndOfTrack() && GetEndTick() > tAbsTick)
            {
                tAbsTick = GetEndTick();
                QD_ASSERT(tAbsTick>=GetArrivalTick());
            }
            if (!EncodeMetaEvent(tAbsTick, *poEvent))
                return false;
        }
        return true;

    case EC_SYSEX:
        if (!PrepareTick(tAbsTick))
            return false;
        for (const CLinkedEvent* poEvent = poList; poEvent; poEvent = poEvent->Next())
            if (!EncodeSysExEvent(tAbsTick, *poEvent))
                return false;
        return true;

    default:
        return false;
    }
}

// CEncoderBase::EncodeDeltaAt -- a tick before the last written record cannot
// be expressed as a delta; the record is then written at the last tick (delta
// 0) rather than dropped or sent far into the future by a wrapped delta.
bool CEncoderBase::EncodeDeltaAt(TTICK tAbsTick)
{
    if (!QD_ASSERT(m_tLastEncodedTick <= tAbsTick))
        tAbsTick = m_tLastEncodedTick;
    if (!EncodeDelta(tAbsTick - m_tLastEncodedTick))
        return false;
    m_tLastEncodedTick = tAbsTick;
    return true;
}

// CEncoderBase::VarLenNum -- 7-bit groups, most significant first, bit 7 set on all but the last.
int CEncoderBase::VarLenNum(DWORD dwValue, BYTE* pbyBuffer)
{
    if (dwValue >= (DWORD(1) << 28))
    {
        QdReport("CEncoderBase::VarLenNum - dwValue >= 2^28");
        dwValue = 0x0FFFFFFF;
    }
    int iLength = 0;
    for (int iShift = 21; iShift >= 7; iShift -= 7)
    {
        const BYTE byGroup = BYTE((dwValue >> iShift) & 0x7F);
        if (byGroup || iLength)
            pbyBuffer[iLength++] = BYTE(byGroup | 0x80);
    }
    pbyBuffer[iLength++] = BYTE(dwValue & 0x7F);
    return iLength;
}
