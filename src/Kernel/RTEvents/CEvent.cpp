// CEvent.cpp -- the event record: word layouts, buffer references and the
// checks of every operation.
#define QD_REPORT_FILE "Kernel/RTEvents/CEvent"

#include "Kernel/RTEvents/CEvent.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/EvBuffer.h"

#include <algorithm>
#include <bit>
#include <cstring>

// Short meta data are read and written through the address of m_dw2, first
// data byte in bits 0-7.
static_assert(std::endian::native == std::endian::little, "meta data bytes in m_dw2 need a little-endian host");

namespace {

// Class of each event code below EVSC_INVALID.
constexpr BYTE s_abyClassOfCode[EVSC_INVALID] = {
    EC_CHMSG, EC_CHMSG, EC_CHMSG, EC_CHMSG, EC_CHMSG, EC_CHMSG, // 0-5
    EC_CHMSG, EC_CHMSG, EC_CHMSG,                               // 6-8
    EC_META,  EC_SYSEX,                                         // 9, 10
    EC_CHMSG,                                                   // 11, unassigned
};

// Length field of meta and sysex events: bits 16-30 of m_dw1.
constexpr DWORD LENGTH_MASK = 0x7FFF0000;
constexpr int MAX_DATA_LENGTH = 0x7FFF;
// Meta data up to this length live in m_dw2.
constexpr int MAX_UNBUFFERED_META = 4;
// From this length on a meta event is worth a warning.
constexpr int LONG_META_LENGTH = 128;

// Class lookup without a report, for the refusals of the setters.
bool IsChnCode(BYTE byCode)
{
    return byCode < EVSC_INVALID && s_abyClassOfCode[byCode] == EC_CHMSG;
}

} // namespace

CEvent::CEvent() : m_dw1(EVSC_INVALID), m_dw2(EV_EMPTY_FILLER), m_pbyBuffer(nullptr) {}

CEvent::CEvent(const CEvent& rkoOther) : m_dw1(EVSC_INVALID), m_dw2(EV_EMPTY_FILLER), m_pbyBuffer(nullptr)
{
    QD_ASSERT(!rkoOther.IsLocked());
    CopyFrom(rkoOther);
}

CEvent& CEvent::operator=(const CEvent& rkoOther)
{
    QD_ASSERT(IsEmpty() && (!rkoOther.IsLocked()));
    if (this == &rkoOther)
        return *this;
    DropBuffer();
    CopyFrom(rkoOther);
    return *this;
}

CEvent::~CEvent()
{
    if (m_pbyBuffer)
        EvBuffersPool().Free(m_pbyBuffer);
}

// CEvent::CopyFrom -- the record must hold no buffer reference on entry. Its
// fields change only once the buffer is had: a buffer of its own may come
// from the heap, which may run out of memory.
void CEvent::CopyFrom(const CEvent& rkoOther)
{
    m_pbyBuffer = nullptr;
    if (!rkoOther.m_pbyBuffer) {
        m_dw1 = rkoOther.m_dw1;
        m_dw2 = rkoOther.m_dw2;
        return;
    }

    CEvBuffersPool& roPool = EvBuffersPool();
    BYTE* pbyBuffer = rkoOther.m_pbyBuffer;
    if (!roPool.AddReference(rkoOther.m_pbyBuffer)) {
        // The shared buffer counts no more references: this copy gets its own.
        const int iSize = CEvBuffersPool::GetBufferSize(rkoOther.m_pbyBuffer);
        pbyBuffer = static_cast<BYTE*>(roPool.Alloc(iSize));
        if (!pbyBuffer) {
            m_dw1 = EVSC_INVALID;
            m_dw2 = EV_EMPTY_FILLER;
            return;
        }
        std::memcpy(pbyBuffer, rkoOther.m_pbyBuffer, iSize);
        if (!roPool.IsLocked(rkoOther.m_pbyBuffer))
            roPool.Unlock(pbyBuffer);
    }
    m_dw1 = rkoOther.m_dw1;
    m_dw2 = rkoOther.m_dw2;
    m_pbyBuffer = pbyBuffer;
}

void CEvent::DropBuffer()
{
    if (m_pbyBuffer) {
        EvBuffersPool().Free(m_pbyBuffer);
        m_pbyBuffer = nullptr;
    }
    m_dw1 &= ~flagBuffer;
}

// CEvent::GetClass -- table lookup of the code.
BYTE CEvent::GetClass() const
{
    if (!QD_ASSERT((BYTE)m_dw1 < EVSC_INVALID))
        return EC_NONE;
    return s_abyClassOfCode[(BYTE)m_dw1];
}

// CEvent::SetChnMessage -- one data byte. A code of another class is
// refused: the record would read as a meta or sysex event without its data.
void CEvent::SetChnMessage(BYTE byCode, BYTE byTrack, BYTE byData1)
{
    if (!QD_ASSERT(IsEmpty() && ((byCode | byTrack | byData1) < 0x80) &&
                   ((byCode == EVSC_PRG_CHANGE) || (byCode == EVSC_CHN_PRESSURE)))) {
        if (!IsChnCode(byCode))
            return;
        DropBuffer();
    }
    m_dw1 = DWORD(byCode) | DWORD(byTrack) << 8 | DWORD(byData1) << 16;
}

// CEvent::SetChnMessage -- two data bytes; a code of another class is
// refused as above.
void CEvent::SetChnMessage(BYTE byCode, BYTE byTrack, BYTE byData1, BYTE byData2)
{
    if (!QD_ASSERT(IsEmpty() && (byCode < EVSC_META) && (byData2 < 0x80) && ((byCode | byTrack | byData1) < 0x80))) {
        if (!IsChnCode(byCode))
            return;
        DropBuffer();
    }
    m_dw1 = DWORD(byCode) | DWORD(byTrack) << 8 | DWORD(byData1) << 16 | DWORD(byData2) << 24;
}

// CEvent::SetNoteEvent -- note with duration and note-off velocity.
void CEvent::SetNoteEvent(BYTE byTrack, BYTE byKey, BYTE byVelON, BYTE byVelOFF, DWORD dwDuration)
{
    if (!QD_ASSERT(IsEmpty() && byVelON && (byVelON < 0x80) && (dwDuration < 0x01000000) &&
                   ((byVelOFF | byKey | byTrack) < 0x80)))
        DropBuffer();
    m_dw1 = DWORD(EVSC_NOTE) | DWORD(byTrack) << 8 | DWORD(byKey) << 16 | DWORD(byVelON) << 24;
    m_dw2 = dwDuration | DWORD(byVelOFF) << 24;
}

// CEvent::SetTrack -- byte 1 of a channel message.
void CEvent::SetTrack(BYTE byTrack)
{
    if (!QD_ASSERT((GetClass() == EC_CHMSG) && (!(byTrack & 0x80))) && !IsChnCode((BYTE)m_dw1))
        return;
    m_dw1 = (m_dw1 & 0xFFFF00FF) | DWORD(byTrack) << 8;
}

// CEvent::SetData1 -- byte 2 of a channel message.
void CEvent::SetData1(BYTE byData)
{
    if (!QD_ASSERT((GetClass() == EC_CHMSG) && (!(byData & 0x80))) && !IsChnCode((BYTE)m_dw1))
        return;
    m_dw1 = (m_dw1 & 0xFF00FFFF) | DWORD(byData) << 16;
}

// CEvent::SetData2 -- byte 3 of a channel message.
void CEvent::SetData2(BYTE byData)
{
    if (!QD_ASSERT((byData < 0x80) && (GetClass() == EC_CHMSG)) && !IsChnCode((BYTE)m_dw1))
        return;
    m_dw1 = (m_dw1 & 0x00FFFFFF) | DWORD(byData) << 24;
}

// CEvent::GetRawChnMessage -- code, track, data1 and data2 in one word.
DWORD CEvent::GetRawChnMessage() const
{
    QD_ASSERT((!(m_dw1 & flagBuffer)) && (GetClass() == EC_CHMSG));
    return m_dw1;
}

BYTE CEvent::GetCode() const
{
    QD_ASSERT((GetClass() == EC_CHMSG) && (!(m_dw1 & flagBuffer)));
    return BYTE(m_dw1);
}

BYTE CEvent::GetTrack() const
{
    QD_ASSERT(GetClass() == EC_CHMSG);
    return BYTE(m_dw1 >> 8);
}

BYTE CEvent::GetData1() const
{
    QD_ASSERT(GetClass() == EC_CHMSG);
    return BYTE(m_dw1 >> 16);
}

BYTE CEvent::GetData2() const
{
    QD_ASSERT((!(m_dw1 & flagBuffer)) && (GetClass() == EC_CHMSG));
    return BYTE(m_dw1 >> 24);
}

BYTE CEvent::GetVelOff() const
{
    QD_ASSERT((BYTE)m_dw1 == EVSC_NOTE);
    return BYTE(m_dw2 >> 24);
}

DWORD CEvent::GetDuration() const
{
    QD_ASSERT((BYTE)m_dw1 == EVSC_NOTE);
    return m_dw2 & 0x00FFFFFF;
}

// CEvent::SetDuration -- bits 0-23 of m_dw2; a longer duration is reported
// and its high bits dropped, so the note-off velocity in bits 24-31 stays.
void CEvent::SetDuration(DWORD dwDuration)
{
    if (!QD_ASSERT((BYTE)m_dw1 == EVSC_NOTE))
        return;
    QD_ASSERT(dwDuration < 0x01000000);
    m_dw2 = (m_dw2 & 0xFF000000) | (dwDuration & 0x00FFFFFF);
}

void CEvent::SetVelOff(BYTE byVelOff)
{
    if (!QD_ASSERT(((BYTE)m_dw1 == EVSC_NOTE) && (byVelOff < 0x80)))
        return;
    m_dw2 = (m_dw2 & 0x00FFFFFF) | DWORD(byVelOff) << 24;
}

// CEvent::SetMetaEventBegin -- up to 4 data bytes go into m_dw2 (cleared
// first), more into a locked buffer with one reference. The buffer is had
// before the record changes: it may come from the heap, which may run out
// of memory.
BYTE* CEvent::SetMetaEventBegin(BYTE eType, int iDataLength)
{
    const bool bChecked = QD_ASSERT(IsEmpty() && (iDataLength < 0x8000) && (eType <= META_SPECIFIC));
    if (!QD_ASSERT(iDataLength >= 0) || iDataLength > MAX_DATA_LENGTH)
        return nullptr;
    if (!bChecked)
        DropBuffer();
    if (iDataLength >= LONG_META_LENGTH)
        QdReport("CEvent::SetMetaEventBegin - Warning: a %d-bytes event created.", iDataLength);

    BYTE* pbyBuffer = nullptr;
    if (iDataLength > MAX_UNBUFFERED_META) {
        pbyBuffer = static_cast<BYTE*>(EvBuffersPool().Alloc(iDataLength));
        if (!pbyBuffer) {
            m_dw1 = EVSC_INVALID;
            m_dw2 = EV_EMPTY_FILLER;
            return nullptr;
        }
    }
    m_dw1 = DWORD(EVSC_META) | DWORD(eType) << 8 | DWORD(iDataLength) << 16;
    m_dw2 = 0;
    if (!pbyBuffer)
        return reinterpret_cast<BYTE*>(&m_dw2);
    m_dw1 |= flagBuffer;
    m_pbyBuffer = pbyBuffer;
    return pbyBuffer;
}

// CEvent::SetMetaEventEnd -- nothing more to do for an unbuffered event.
BYTE* CEvent::SetMetaEventEnd()
{
    QD_ASSERT((BYTE)m_dw1 == EVSC_META);
    if (!m_pbyBuffer)
        return nullptr;
    QD_ASSERT(IsLocked());
    EvBuffersPool().Unlock(m_pbyBuffer);
    return m_pbyBuffer;
}

BYTE CEvent::GetMetaType() const
{
    QD_ASSERT(((BYTE)m_dw1 == EVSC_META) && (!IsLocked()));
    return BYTE(m_dw1 >> 8);
}

int CEvent::GetMetaLength() const
{
    QD_ASSERT((!IsLocked()) && ((BYTE)m_dw1 == EVSC_META));
    return int((m_dw1 & LENGTH_MASK) >> 16);
}

const BYTE* CEvent::GetMetaData() const
{
    QD_ASSERT((!IsLocked()) && ((BYTE)m_dw1 == EVSC_META));
    return m_pbyBuffer ? m_pbyBuffer : reinterpret_cast<const BYTE*>(&m_dw2);
}

BYTE* CEvent::GetMetaData()
{
    return const_cast<BYTE*>(static_cast<const CEvent*>(this)->GetMetaData());
}

bool CEvent::IsEndOfTrack() const
{
    QD_ASSERT((!IsEmpty()) && (!IsLocked()));
    return m_dw1 == END_OF_TRACK_DW1;
}

// CEvent::IsNullEvent -- the end marker of the compact format differs only in
// its data byte (1).
bool CEvent::IsNullEvent() const
{
    QD_ASSERT((!IsEmpty()) && (!IsLocked()));
    return m_dw1 == NULL_EVENT_DW1 && (m_dw2 & 0xFF) == 0;
}

void CEvent::SetNullEvent()
{
    if (!QD_ASSERT(IsEmpty()))
        DropBuffer();
    m_dw1 = NULL_EVENT_DW1;
    m_dw2 = 0;
}

// CEvent::SetSysExEventBegin -- length 0 in m_dw1 until the End operation.
BYTE* CEvent::SetSysExEventBegin(int iBufferLength)
{
    const bool bChecked = QD_ASSERT(IsEmpty() && (iBufferLength < 0x8000));
    if (!QD_ASSERT(iBufferLength >= 0) || iBufferLength > MAX_DATA_LENGTH)
        return nullptr;
    if (!bChecked)
        DropBuffer();

    BYTE* pbyBuffer = static_cast<BYTE*>(EvBuffersPool().Alloc(iBufferLength));
    if (!pbyBuffer) {
        m_dw1 = EVSC_INVALID;
        m_dw2 = EV_EMPTY_FILLER;
        return nullptr;
    }
    m_dw1 = DWORD(EVSC_SYSEX) | flagBuffer;
    m_dw2 = 0;
    m_pbyBuffer = pbyBuffer;
    return pbyBuffer;
}

// CEvent::SetSysExEventEnd -- the length field is set, never merged, so that
// it cannot come to exceed the buffer even when End runs twice.
void CEvent::SetSysExEventEnd(int iDataLength)
{
    QD_ASSERT_TEXT(((BYTE)m_dw1 == EVSC_SYSEX) && IsLocked() &&
                       (iDataLength <= CEvBuffersPool::GetBufferSize(m_pbyBuffer)),
                   "((BYTE)m_dw1 == EVSC_SYSEX) && IsLocked() && "
                   "(iDataLength <= CEvBuffersPool::GetBufferSize((BYTE*)m_dw2))");
    if ((BYTE)m_dw1 != EVSC_SYSEX || !m_pbyBuffer)
        return;
    QD_ASSERT(iDataLength >= 0);
    const int iLength = std::clamp(iDataLength, 0, CEvBuffersPool::GetBufferSize(m_pbyBuffer));
    m_dw1 = (m_dw1 & ~LENGTH_MASK) | DWORD(iLength) << 16;
    EvBuffersPool().Unlock(m_pbyBuffer);
}

const BYTE* CEvent::GetSysExData() const
{
    QD_ASSERT((!IsLocked()) && ((BYTE)m_dw1 == EVSC_SYSEX));
    return m_pbyBuffer;
}

int CEvent::GetSysExLength() const
{
    QD_ASSERT((!IsLocked()) && ((BYTE)m_dw1 == EVSC_SYSEX));
    return m_pbyBuffer ? int((m_dw1 & LENGTH_MASK) >> 16) : 0;
}

// CEvent::GetSysExPackType -- reads only inside the buffer: the length is
// bounded by the buffer's size, and a packet without data is EP_CONTMSG.
BYTE CEvent::GetSysExPackType() const
{
    QD_ASSERT((!IsLocked()) && ((BYTE)m_dw1 == EVSC_SYSEX));
    if (!m_pbyBuffer)
        return EP_CONTMSG;
    const int iLength =
        std::min(int((m_dw1 & LENGTH_MASK) >> 16), CEvBuffersPool::GetBufferSize(m_pbyBuffer));
    if (iLength <= 0)
        return EP_CONTMSG;
    const bool bFirstF0 = m_pbyBuffer[0] == 0xF0;
    const bool bLastF7 = m_pbyBuffer[iLength - 1] == 0xF7;
    if (bLastF7)
        return bFirstF0 ? EP_COMPLETE : EP_ENDMSG;
    return bFirstF0 ? EP_BEGINMSG : EP_CONTMSG;
}

bool CEvent::IsLocked() const
{
    return m_pbyBuffer && (m_dw1 & flagBuffer) && EvBuffersPool().IsLocked(m_pbyBuffer);
}

void CEvent::Clear()
{
    DropBuffer();
    m_dw1 = EVSC_INVALID;
    m_dw2 = EV_EMPTY_FILLER;
}
