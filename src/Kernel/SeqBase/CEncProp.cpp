// CEncProp.cpp -- encoder of the compact event format.
#define QD_REPORT_FILE "Kernel/SeqBase/CEncProp"

#include "Kernel/SeqBase/CEncProp.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/SeqBase/NoteInfoPool.h"
#include "Kernel/SeqBase/PropForm.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Room a channel record may take: delta, type, track delta, key, velocity,
// duration (2) and note-off velocity.
constexpr DWORD MAX_CHN_RECORD = 11;
// Room a meta or system exclusive record takes beside its data: delta, type,
// meta type or packet type, length (2).
constexpr DWORD META_RECORD_OVERHEAD = 8;

// Velocity-off byte of a note record before its note-off arrived, and of a
// note shut at the end of a pattern.
constexpr BYTE VELOFF_PLACEHOLDER = PROP_HIGH_BIT;
constexpr BYTE VELOFF_SHUT = 0xFF;

// Fields of a raw channel message (m_dw1).
BYTE RawCode(DWORD dwRaw)
{
    return BYTE(dwRaw);
}
BYTE RawTrack(DWORD dwRaw)
{
    return BYTE((dwRaw >> 8) & PROP_DATA_MASK);
}
BYTE RawData1(DWORD dwRaw)
{
    return BYTE((dwRaw >> 16) & PROP_DATA_MASK);
}
BYTE RawData2(DWORD dwRaw)
{
    return BYTE((dwRaw >> 24) & PROP_DATA_MASK);
}
// Track in the low byte, key in the high byte.
WORD RawKeyWord(DWORD dwRaw)
{
    return WORD(RawTrack(dwRaw) | RawData1(dwRaw) << 8);
}

} // namespace

CEncoderProp::CEncoderProp()
    : m_pbyStartBuffer(nullptr), m_pbyCurrPtr(nullptr), m_pbyLimit(nullptr), m_tLastNoteEnd(0),
      m_tMaxNoteAbsTick(NOTE_NO_TICK), m_byTrack(0), m_bUseNoteDuration(true), m_bUseNoteEvent(true), m_bEndOfTrackLast(false),
      m_poNoteTracer(nullptr)
{
}

// CEncoderProp::~CEncoderProp -- notes still open go back to the pool; the
// base reports an encoder destroyed open.
CEncoderProp::~CEncoderProp()
{
    ReleaseTracer();
}

void CEncoderProp::SetBuffer(BYTE* pbyBuff, BYTE* pbyEndBuff)
{
    if (!QD_ASSERT(pbyBuff < pbyEndBuff))
        pbyEndBuff = pbyBuff;
    m_pbyStartBuffer = pbyBuff;
    m_pbyCurrPtr = pbyBuff;
    m_pbyLimit = pbyEndBuff;
    m_bEndOfTrackLast = false;
}

void CEncoderProp::SetBuffer(BYTE* pbyBuff, DWORD dwLength)
{
    SetBuffer(pbyBuff, pbyBuff ? pbyBuff + dwLength : pbyBuff);
}

DWORD CEncoderProp::GetBytesWritten() const
{
    QD_ASSERT(m_pbyStartBuffer <= m_pbyCurrPtr);
    return DWORD(m_pbyCurrPtr - m_pbyStartBuffer);
}

DWORD CEncoderProp::GetFreeSize() const
{
    QD_ASSERT(m_pbyLimit >= m_pbyCurrPtr);
    return DWORD(m_pbyLimit - m_pbyCurrPtr);
}

bool CEncoderProp::EnsureSpace(DWORD dwBytes)
{
    if (GetFreeSize() >= dwBytes)
        return true;
    return GrowBuffer(dwBytes) && GetFreeSize() >= dwBytes;
}

// ---------------------------------------------------------------------------
// Lifecycle
// ---------------------------------------------------------------------------

bool CEncoderProp::Open()
{
    if (!CEncoderBase::Open())
        return false;
    m_byTrack = 0;
    ReleaseTracer();
    NoteInfoPool().ChainAfresh();
    m_tLastNoteEnd = 0;
    m_tMaxNoteAbsTick = NOTE_NO_TICK;
    return true;
}

bool CEncoderProp::Close()
{
    if (!CEncoderBase::Close())
        return false;
    if (m_poNoteTracer)
    {
        QdReport("CEncoderProp::OnClose() - Note Tracer is not empty");
        ReleaseTracer();
    }
    if (!m_bEndOfTrackLast)
        QdReport("CEncoderProp::Close() - EOT not found");
    return true;
}

void CEncoderProp::Reset()
{
    ReleaseTracer();
    CEncoderBase::Reset();
}

void CEncoderProp::ReleaseTracer()
{
    CNoteInfoPool& roPool = NoteInfoPool();
    while (m_poNoteTracer)
    {
        CNoteInfo* poNote = m_poNoteTracer;
        m_poNoteTracer = poNote->m_poNext;
        roPool.ReleaseNote(poNote);
    }
}

TTICK CEncoderProp::GetEndTick()
{
    return std::max(GetLastEncodedTick(), m_tLastNoteEnd);
}

void CEncoderProp::ShiftTicks(TTICK tShift)
{
    CEncoderBase::ShiftTicks(tShift);
    for (CNoteInfo* poNote = m_poNoteTracer; poNote; poNote = poNote->m_poNext)
    {
        poNote->m_tNoteOnTick += tShift;
        if (poNote->m_tNoteOffTick != NOTE_NO_TICK)
            poNote->m_tNoteOffTick += tShift;
    }
}

// CEncoderProp::ShutNotes -- a tick beyond m_tMaxNoteAbsTick is lowered to it
// and stays lowered for the remaining notes. The end of a shut note counts
// for the end of track like that of any closed note.
void CEncoderProp::ShutNotes(TTICK tAbsTick)
{
    QD_ASSERT(m_bUseNoteEvent);
    while (m_poNoteTracer)
    {
        CNoteInfo* poNote = m_poNoteTracer;
        m_poNoteTracer = poNote->m_poNext;

        const int tTickOffset = poNote->m_swTickOffset;
        if (std::int64_t(tAbsTick) + tTickOffset > std::int64_t(m_tMaxNoteAbsTick))
        {
            QD_ASSERT((tTickOffset >= 0) && (m_tMaxNoteAbsTick >= (TTICK)tTickOffset));
            tAbsTick = m_tMaxNoteAbsTick - TTICK(tTickOffset);
        }
        const TTICK tNoteOnAbsTick = poNote->m_tNoteOnTick;
        const DWORD dwDuration = QD_ASSERT(tAbsTick >= tNoteOnAbsTick) ? tAbsTick - tNoteOnAbsTick : 0;
        if (m_bReportShutNotes)
            QdReport("CEncoderProp::ShutNotes() - Shut key=%X start=%d  end = %d  duration = %d",
                     unsigned(poNote->m_wKey >> 8), int(tNoteOnAbsTick), int(tAbsTick), int(dwDuration));
        CompleteNote(*poNote, dwDuration, VELOFF_SHUT);
        m_tLastNoteEnd = std::max(m_tLastNoteEnd, TTICK(std::int64_t(tNoteOnAbsTick) + dwDuration + tTickOffset));
        NoteInfoPool().ReleaseNote(poNote);
    }
}

// ---------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------

bool CEncoderProp::EncodeDelta(DWORD dwDelta)
{
    if (!QD_ASSERT(GetFreeSize() >= MAX_DELTA_LEN))
        return false;
    return PropFormEncodeDelta(m_pbyCurrPtr, m_pbyLimit, dwDelta);
}

// CEncoderProp::BeginRecord -- the caller has ensured the room of the record.
BYTE* CEncoderProp::BeginRecord(TTICK tAbsTick, BYTE byType, BYTE byTrack)
{
    if (!EncodeDeltaAt(tAbsTick))
        return nullptr;
    BYTE* pbyType = m_pbyCurrPtr++;
    *pbyType = byType;
    if (byTrack != m_byTrack)
    {
        *pbyType |= PROP_TRACK_CHANGE;
        *m_pbyCurrPtr++ = BYTE((byTrack - m_byTrack) & PROP_DATA_MASK);
        m_byTrack = byTrack;
    }
    m_bEndOfTrackLast = false;
    return pbyType;
}

void CEncoderProp::WriteDuration(BYTE* pbyField, DWORD dwDuration)
{
    if (!QD_ASSERT(dwDuration <= (DUR_DATA_MASK << DUR_RES_FACTOR)))
        dwDuration = DUR_DATA_MASK << DUR_RES_FACTOR;
    PropFormWriteDuration(pbyField, dwDuration);
}

bool CEncoderProp::EncodeChnEvent(TTICK tAbsTick, const CEvent& rkoEvent)
{
    return EncodeChnEventAt(tAbsTick, GetArrivalTick(), rkoEvent);
}

// CEncoderProp::EncodeChnEventAt -- note-on and note-off go to the tracer;
// every other code is one record: type, [T], data1, and data2, or for a note
// with duration velocity-on, duration and note-off velocity (always the long
// form). The last byte carries the terminator. A note-off of the tracer only
// completes bytes already written, so it needs no room: a full window never
// leaves a note without its duration.
bool CEncoderProp::EncodeChnEventAt(TTICK tAbsTick, TTICK tArrivalTick, const CEvent& rkoEvent)
{
    const DWORD dwRaw = rkoEvent.GetRawChnMessage();
    const BYTE kbyCode = RawCode(dwRaw);
    if (!QD_ASSERT(kbyCode <= EVSC_MODE_MSG))
        return false;

    if (m_bUseNoteDuration && kbyCode == EVSC_NOTEOFF)
        return OnNoteOff(tArrivalTick, dwRaw);
    if (m_bUseNoteDuration && kbyCode == EVSC_NOTEON)
        return OnNoteOn(tAbsTick, tArrivalTick, dwRaw, NOTE_NO_TICK, 0);

    if (!EnsureSpace(MAX_CHN_RECORD))
        return false;
    if (!BeginRecord(tAbsTick, kbyCode, RawTrack(dwRaw)))
        return false;
    *m_pbyCurrPtr++ = RawData1(dwRaw);
    switch (kbyCode)
    {
    case EVSC_PRG_CHANGE:
    case EVSC_CHN_PRESSURE:
        m_pbyCurrPtr[-1] |= PROP_HIGH_BIT;
        break;
    case EVSC_NOTE:
    {
        QD_ASSERT(m_bUseNoteDuration);
        const DWORD dwDuration = rkoEvent.GetDuration();
        *m_pbyCurrPtr++ = RawData2(dwRaw);
        WriteDuration(m_pbyCurrPtr, dwDuration);
        m_pbyCurrPtr += PROP_DURATION_SIZE;
        *m_pbyCurrPtr++ = BYTE(rkoEvent.GetVelOff() | PROP_HIGH_BIT);
        // A note written whole is closed: its end counts for the end of track.
        m_tLastNoteEnd = std::max(m_tLastNoteEnd, TTICK(std::min<std::uint64_t>(
                                                      std::uint64_t(tAbsTick) + dwDuration, NOTE_NO_TICK - 1)));
        break;
    }
    default:
        *m_pbyCurrPtr++ = BYTE(RawData2(dwRaw) | PROP_HIGH_BIT);
        break;
    }
    return true;
}

bool CEncoderProp::EncodeNoteOnUntil(TTICK tAbsTick, TTICK tArrivalTick, const CEvent& rkoNoteOn, TTICK tNoteOffTick,
                                     BYTE byVelOff)
{
    const DWORD dwRaw = rkoNoteOn.GetRawChnMessage();
    if (!QD_ASSERT(RawCode(dwRaw) == EVSC_NOTEON))
        return false;
    if (!m_bUseNoteDuration)
        return EncodeChnEventAt(tAbsTick, tArrivalTick, rkoNoteOn);
    return OnNoteOn(tAbsTick, tArrivalTick, dwRaw, tNoteOffTick, byVelOff);
}

// CEncoderProp::OnNoteOn -- the note record with duration 0 and the
// note-off velocity placeholder; the tracer remembers where the duration
// lies. Without a free note-info record nothing is written.
bool CEncoderProp::OnNoteOn(TTICK tAbsTick, TTICK tArrivalTick, DWORD dwRaw, TTICK tNoteOffTick, BYTE byVelOff)
{
    if (!EnsureSpace(MAX_CHN_RECORD))
        return false;
    CNoteInfo* poNote = NoteInfoPool().GetNewNote();
    if (!poNote)
        return false;
    BYTE* pbyType = BeginRecord(tAbsTick, 0, RawTrack(dwRaw));
    if (!pbyType)
    {
        NoteInfoPool().ReleaseNote(poNote);
        return false;
    }

    const BYTE byKey = RawData1(dwRaw);
    if (m_bUseNoteEvent && PropFormIsShortKey(byKey))
    {
        *pbyType |= BYTE(PropFormShortKeyBits(byKey) | PROP_SHORT_NOTE);
        *m_pbyCurrPtr++ = RawData2(dwRaw);
        if (byKey < SHORT_NOTE_MID_KEY)
            pbyType[1] |= PROP_HIGH_BIT;
    }
    else
    {
        *pbyType |= EVSC_NOTE;
        *m_pbyCurrPtr++ = byKey;
        *m_pbyCurrPtr++ = RawData2(dwRaw);
    }

    poNote->m_sdwDurationPos = SDWORD(GetBytesWritten());
    *m_pbyCurrPtr++ = 0;
    *m_pbyCurrPtr++ = 0;
    *m_pbyCurrPtr++ = VELOFF_PLACEHOLDER;

    poNote->m_wKey = RawKeyWord(dwRaw);
    poNote->m_swTickOffset = std::int16_t(std::clamp<std::int64_t>(std::int64_t(tAbsTick) - tArrivalTick, INT16_MIN,
                                                                    INT16_MAX));
    poNote->m_tNoteOnTick = tArrivalTick;
    poNote->m_tNoteOffTick = tNoteOffTick;
    poNote->m_byVelOff = byVelOff;
    poNote->m_poNext = m_poNoteTracer;
    m_poNoteTracer = poNote;
    return true;
}

// CEncoderProp::TakeOpenNote -- a note whose note-off was announced for this
// tick and velocity comes first; else the most recent note of the key and
// track without an announced note-off; else the most recent one of them.
CNoteInfo* CEncoderProp::TakeOpenNote(WORD wKey, TTICK tArrivalTick, BYTE byVelOff)
{
    CNoteInfo** ppoAnnounced = nullptr;
    CNoteInfo** ppoUnannounced = nullptr;
    CNoteInfo** ppoNewest = nullptr;
    for (CNoteInfo** ppoLink = &m_poNoteTracer; *ppoLink; ppoLink = &(*ppoLink)->m_poNext)
    {
        const CNoteInfo& rkoNote = **ppoLink;
        if (rkoNote.m_wKey != wKey)
            continue;
        if (!ppoNewest)
            ppoNewest = ppoLink;
        if (rkoNote.m_tNoteOffTick == NOTE_NO_TICK)
        {
            if (!ppoUnannounced)
                ppoUnannounced = ppoLink;
        }
        else if (rkoNote.m_tNoteOffTick == tArrivalTick && rkoNote.m_byVelOff == byVelOff)
        {
            ppoAnnounced = ppoLink;
            break;
        }
    }
    CNoteInfo** ppoFound = ppoAnnounced ? ppoAnnounced : (ppoUnannounced ? ppoUnannounced : ppoNewest);
    if (!ppoFound)
        return nullptr;
    CNoteInfo* poNote = *ppoFound;
    *ppoFound = poNote->m_poNext;
    poNote->m_poNext = nullptr;
    return poNote;
}

// CEncoderProp::OnNoteOff -- completes the note's record; writes nothing of
// its own. A note-off without note-on is reported and dropped.
bool CEncoderProp::OnNoteOff(TTICK tArrivalTick, DWORD dwRaw)
{
    CNoteInfo* poNote = TakeOpenNote(RawKeyWord(dwRaw), tArrivalTick, RawData2(dwRaw));
    if (!poNote)
    {
        QdReport("CEncoderProp::OnNoteOff - Note on not found");
        return true;
    }

    const int tTickOffset = poNote->m_swTickOffset;
    if (std::int64_t(tArrivalTick) + tTickOffset > std::int64_t(m_tMaxNoteAbsTick))
    {
        QD_ASSERT((tTickOffset <= 0) || (m_tMaxNoteAbsTick >= (TTICK)tTickOffset));
        tArrivalTick = TTICK(std::int64_t(m_tMaxNoteAbsTick) - tTickOffset);
    }
    const TTICK tTick = poNote->m_tNoteOnTick;
    const DWORD dwDuration = QD_ASSERT(tArrivalTick >= tTick) ? tArrivalTick - tTick : 0;
    CompleteNote(*poNote, dwDuration, BYTE(RawData2(dwRaw) | PROP_HIGH_BIT));
    const TTICK tNoteEnd = TTICK(std::max<std::int64_t>(std::int64_t(tTick) + dwDuration + tTickOffset, 0));
    m_tLastNoteEnd = std::max(m_tLastNoteEnd, tNoteEnd);
    NoteInfoPool().ReleaseNote(poNote);
    return true;
}

// CEncoderProp::CompleteNote -- the duration bytes and the velocity byte
// after them must lie inside what has been written.
void CEncoderProp::CompleteNote(const CNoteInfo& rkoNote, DWORD dwDuration, BYTE byVelOffByte)
{
    const SDWORD sdwDurationPos = rkoNote.m_sdwDurationPos;
    if (!QD_ASSERT((sdwDurationPos >= 0) && (DWORD(sdwDurationPos) + PROP_DURATION_SIZE + 1 <= GetBytesWritten())))
        return;
    BYTE* pbyField = m_pbyStartBuffer + sdwDurationPos;
    WriteDuration(pbyField, dwDuration);
    pbyField[PROP_DURATION_SIZE] = byVelOffByte;
}

// CEncoderProp::EncodeMetaEvent -- 0x09, meta type, length (2), data.
bool CEncoderProp::EncodeMetaEvent(TTICK tAbsTick, const CEvent& rkoEvent)
{
    if (!QD_ASSERT(rkoEvent.GetClass() == EC_META))
        return false;
    const WORD wLen = WORD(rkoEvent.GetMetaLength());
    if (!QD_ASSERT(wLen < (1L << 14)))
        return false;
    if (!EnsureSpace(wLen + META_RECORD_OVERHEAD))
        return false;
    if (!BeginRecord(tAbsTick, EVSC_META, m_byTrack))
        return false;
    const BYTE byMetaType = BYTE(rkoEvent.GetMetaType() & PROP_DATA_MASK);
    *m_pbyCurrPtr++ = byMetaType;
    PropFormWriteLength(m_pbyCurrPtr, wLen);
    m_pbyCurrPtr += PROP_LENGTH_SIZE;
    if (wLen)
        std::memcpy(m_pbyCurrPtr, rkoEvent.GetMetaData(), wLen);
    m_pbyCurrPtr += wLen;
    m_bEndOfTrackLast = (byMetaType == META_END_OF_TRACK && wLen == 0);
    return true;
}

// CEncoderProp::EncodeSysExEvent -- 0x0A, packet type, payload length (2),
// payload; the framing bytes the packet type names are left out, and bit 7
// goes on the last byte written (the length's low byte when there is no
// payload).
bool CEncoderProp::EncodeSysExEvent(TTICK tAbsTick, const CEvent& rkoEvent)
{
    if (!QD_ASSERT(rkoEvent.GetClass() == EC_SYSEX))
        return false;
    const int iLength = rkoEvent.GetSysExLength();
    const BYTE byPackType = rkoEvent.GetSysExPackType();
    const BYTE* pbyPayload = rkoEvent.GetSysExData();
    int iPayload = iLength;
    if (byPackType == EP_COMPLETE || byPackType == EP_BEGINMSG)
    {
        ++pbyPayload;
        --iPayload;
    }
    if (byPackType == EP_COMPLETE || byPackType == EP_ENDMSG)
        --iPayload;
    const WORD wLen = WORD(iPayload);
    if (!QD_ASSERT(wLen < (1L << 14)))
        return false;
    if (!EnsureSpace(DWORD(iLength) + META_RECORD_OVERHEAD))
        return false;
    if (!BeginRecord(tAbsTick, EVSC_SYSEX, m_byTrack))
        return false;
    *m_pbyCurrPtr++ = byPackType;
    PropFormWriteLength(m_pbyCurrPtr, wLen);
    m_pbyCurrPtr += PROP_LENGTH_SIZE;
    if (wLen)
        std::memcpy(m_pbyCurrPtr, pbyPayload, wLen);
    m_pbyCurrPtr += wLen;
    m_pbyCurrPtr[-1] |= PROP_HIGH_BIT;
    return true;
}
