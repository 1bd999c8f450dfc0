// MaEncoder.cpp -- the memory encoder.
#define QD_REPORT_FILE "MemCoder/MaEncoder"

#include "MemCoder/MaEncoder.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/RTEvents/LinkedEv.h"
#include "Kernel/SeqBase/NoteInfoPool.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace {

// Heap value of a pending note-off.
DWORD NoteOffValue(BYTE byTrack, BYTE byKey, BYTE byVelOff)
{
    return DWORD(byTrack & 0x7F) << 16 | DWORD(byKey & 0x7F) << 8 | DWORD(byVelOff & 0x7F);
}

} // namespace

CMemEncoder::CMemEncoder(BYTE* pbyBuffer, DWORD dwSize, bool bKeepDurations)
    : m_dwOwnSize(0), m_pbyFixedBuffer(pbyBuffer), m_dwFixedSize(pbyBuffer ? dwSize : 0),
      m_bKeepDurations(bKeepDurations), m_tLatestNoteOff(0)
{
    SetBuffer(m_pbyFixedBuffer, m_dwFixedSize);
}

CMemEncoder::CMemEncoder(bool bKeepDurations)
    : m_pbyOwnBuffer(std::make_unique_for_overwrite<BYTE[]>(MEMENC_INITIAL_SIZE)), m_dwOwnSize(MEMENC_INITIAL_SIZE),
      m_pbyFixedBuffer(nullptr), m_dwFixedSize(0), m_bKeepDurations(bKeepDurations), m_tLatestNoteOff(0)
{
    SetBuffer(m_pbyOwnBuffer.get(), m_dwOwnSize);
}

CMemEncoder::~CMemEncoder()
{
    if (IsOpen())
        Close();
}

bool CMemEncoder::Open()
{
    if (!CEncoderProp::Open())
        return false;
    if (m_pbyOwnBuffer)
        SetBuffer(m_pbyOwnBuffer.get(), m_dwOwnSize);
    else
        SetBuffer(m_pbyFixedBuffer, m_dwFixedSize);
    m_oWaitingNotesOff.Clear();
    m_tLatestNoteOff = 0;
    return true;
}

bool CMemEncoder::Close()
{
    if (!CEncoderProp::Close())
        return false;
    QD_ASSERT(m_oWaitingNotesOff.GetCount() == 0);
    m_oWaitingNotesOff.Clear();
    return true;
}

// CMemEncoder::Reset -- an abandoned encoding closes without its notes: the
// queued note-offs belong to the notes the tracer forgets, and left queued
// they would make Close report them as a fault of the encoder.
void CMemEncoder::Reset()
{
    m_oWaitingNotesOff.Clear();
    m_tLatestNoteOff = 0;
    CEncoderProp::Reset();
}

TTICK CMemEncoder::GetEndTick()
{
    return std::max(CEncoderProp::GetEndTick(), m_tLatestNoteOff);
}

// CMemEncoder::ShutNotes -- a note-off left in the queue would later find no
// open note, and would keep the end of track at its tick.
void CMemEncoder::ShutNotes(TTICK tAbsTick)
{
    FlushNotesOff(tAbsTick);
    m_oWaitingNotesOff.Clear();
    m_tLatestNoteOff = std::min(m_tLatestNoteOff, tAbsTick);
    CEncoderProp::ShutNotes(tAbsTick);
}

// CMemEncoder::ShiftTicks -- the queued note-offs move with the open notes.
void CMemEncoder::ShiftTicks(TTICK tShift)
{
    CEncoderProp::ShiftTicks(tShift);
    if (m_oWaitingNotesOff.GetCount())
        m_tLatestNoteOff += tShift;
    std::vector<std::pair<DWORD, DWORD>> aoPending;
    while (m_oWaitingNotesOff.GetCount())
    {
        const DWORD dwTick = m_oWaitingNotesOff.GetHeadPriority();
        aoPending.emplace_back(dwTick + tShift, m_oWaitingNotesOff.Pop());
    }
    for (const auto& [dwTick, dwValue] : aoPending)
        m_oWaitingNotesOff.Push(dwValue, dwTick);
}

bool CMemEncoder::SetEnd(TTICK tEndTick)
{
    CLinkedEvent oEndOfTrack;
    oEndOfTrack.SetMetaEventBegin(META_END_OF_TRACK, 0);
    oEndOfTrack.SetMetaEventEnd();
    return EncodeEventsAt(tEndTick, &oEndOfTrack);
}

bool CMemEncoder::PrepareTick(TTICK tAbsTick)
{
    return FlushNotesOff(tAbsTick);
}

// CMemEncoder::FlushNotesOff -- each note-off is encoded at its own tick,
// which is also its arrival tick for the note tracer.
bool CMemEncoder::FlushNotesOff(TTICK tAbsTick)
{
    while (m_oWaitingNotesOff.GetCount() && m_oWaitingNotesOff.GetHeadPriority() <= tAbsTick)
    {
        const TTICK tTick = m_oWaitingNotesOff.GetHeadPriority();
        const DWORD dwValue = m_oWaitingNotesOff.Pop();
        QD_ASSERT(tTick >= GetLastEncodedTick());
        CEvent oNoteOff;
        oNoteOff.SetChnMessage(EVSC_NOTEOFF, BYTE(dwValue >> 16), BYTE(dwValue >> 8), BYTE(dwValue));
        if (!EncodeChnEventAt(tTick, tTick, oNoteOff))
            return false;
    }
    return true;
}

// CMemEncoder::EncodeChnEvent -- a note with duration becomes a note-on now
// and a note-off at tick + duration (at once for duration 0).
bool CMemEncoder::EncodeChnEvent(TTICK tAbsTick, const CEvent& rkoEvent)
{
    if (m_bKeepDurations || rkoEvent.GetClass() != EC_CHMSG || rkoEvent.GetCode() != EVSC_NOTE)
        return CEncoderProp::EncodeChnEvent(tAbsTick, rkoEvent);

    const BYTE byTrack = rkoEvent.GetTrack();
    const BYTE byKey = rkoEvent.GetData1();
    const BYTE byVelOff = rkoEvent.GetVelOff();
    const DWORD dwDuration = rkoEvent.GetDuration();
    const TTICK tNoteOff = TTICK(std::min<std::uint64_t>(std::uint64_t(tAbsTick) + dwDuration, NOTE_NO_TICK - 1));

    CEvent oNoteOn;
    oNoteOn.SetChnMessage(EVSC_NOTEON, byTrack, byKey, BYTE(rkoEvent.GetData2() & 0x7F));
    if (!EncodeNoteOnUntil(tAbsTick, GetArrivalTick(), oNoteOn, tNoteOff, byVelOff))
        return false;

    if (tNoteOff == tAbsTick)
    {
        CEvent oNoteOff;
        oNoteOff.SetChnMessage(EVSC_NOTEOFF, byTrack, byKey, byVelOff);
        return EncodeChnEventAt(tAbsTick, tAbsTick, oNoteOff);
    }
    m_oWaitingNotesOff.Push(NoteOffValue(byTrack, byKey, byVelOff), tNoteOff);
    m_tLatestNoteOff = std::max(m_tLatestNoteOff, tNoteOff);
    return true;
}

// CMemEncoder::EncodeMetaEvent -- an end of track moved to a later note's end
// comes after the note-offs due by then.
bool CMemEncoder::EncodeMetaEvent(TTICK tAbsTick, const CEvent& rkoEvent)
{
    if (!FlushNotesOff(tAbsTick))
        return false;
    return CEncoderProp::EncodeMetaEvent(tAbsTick, rkoEvent);
}

// CMemEncoder::GrowBuffer -- only the own buffer grows, to used + needed +
// the larger of MEMENC_GROWTH and half the used bytes; the write position stays at the same offset, and so
// do the duration positions of the open notes. A window written up to its
// last byte is the common reason to grow, so the write position may equal
// the limit here.
bool CMemEncoder::GrowBuffer(DWORD dwBytes)
{
    if (!m_pbyOwnBuffer || m_pbyStartBuffer != m_pbyOwnBuffer.get())
        return false;
    if (!QD_ASSERT_TEXT(m_pbyStartBuffer != nullptr, "m_pbyStartBuffer != NULL") || !QD_ASSERT(m_pbyStartBuffer <= m_pbyCurrPtr) ||
        !QD_ASSERT(m_pbyLimit >= m_pbyCurrPtr))
        return false;
    const DWORD dwUsed = DWORD(m_pbyCurrPtr - m_pbyStartBuffer);
    // At least MEMENC_GROWTH more, and half of what is used: growing by a
    // fixed step would copy a long pattern (a short one repeated over many
    // measures) again for every step, quadratic in its length.
    const std::uint64_t qwSize = std::uint64_t(dwUsed) + dwBytes + std::max<DWORD>(MEMENC_GROWTH, dwUsed / 2);
    if (qwSize > 0xFFFFFFFF)
        return false;
    std::unique_ptr<BYTE[]> pbyNew = std::make_unique_for_overwrite<BYTE[]>(qwSize);
    if (dwUsed)
        std::memcpy(pbyNew.get(), m_pbyStartBuffer, dwUsed);
    m_pbyOwnBuffer = std::move(pbyNew);
    m_dwOwnSize = DWORD(qwSize);
    m_pbyStartBuffer = m_pbyOwnBuffer.get();
    m_pbyCurrPtr = m_pbyStartBuffer + dwUsed;
    m_pbyLimit = m_pbyStartBuffer + m_dwOwnSize;
    return true;
}
