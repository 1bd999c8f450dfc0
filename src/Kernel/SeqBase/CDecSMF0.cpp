// CDecSMF0.cpp -- Standard MIDI File track decoder.
#include "Kernel/SeqBase/CDecSMF0.h"

#include "Base/Report.h"
#include "Kernel/SeqBase/SmfForm.h"
#include "Kernel/RTEvents/LinkedEv.h"
#include "Wrap/Kernel/Stream/Stream.h"

#include <algorithm>
#include <cstring>

#define QD_REPORT_FILE "Kernel/SeqBase/CDecSMF0"

using namespace SmfForm;

namespace {

// Bytes in front of the kind of a marker: 42 60.
constexpr DWORD MARKER_ID_BYTES = 2;
constexpr BYTE NOTE_OFF_VELOCITY = 64;
constexpr BYTE FIRST_MODE_CONTROLLER = 120;
// Marker kinds that take every byte that follows.
constexpr DWORD MARKER_ALL_REMAINING = 0xFFFFFFFF;
constexpr DWORD MARKER_NOT_A_MARKER = 0xFFFFFFFE;

const char* const kpszUnexpectedEnd = "\nCDecSMF0::OnExtract() - Unexpected end of file reached";

// MarkerFurtherBytes -- the bytes a marker of this kind holds after the kind.
DWORD MarkerFurtherBytes(BYTE byKind)
{
    switch (byKind)
    {
    case 2:
    case 7:
        return MARKER_ALL_REMAINING;
    case 5:
    case 6:
        return 0;
    case 9:
    case 11:
        return 1;
    case 10:
        return 3;
    case 8:
        return 4;
    default:
        return MARKER_NOT_A_MARKER;
    }
}

DWORD BytesLeft(const CIn& rkoIn)
{
    return rkoIn.GetPosition() < rkoIn.GetSize() ? rkoIn.GetSize() - rkoIn.GetPosition() : 0;
}

} // namespace

// CDecSMF0::CDecSMF0 -- no track stream until SetChunk.
CDecSMF0::CDecSMF0(DWORD dwDivision)
    : CDecStream(dwDivision), m_byRunningStatus(0), m_tEventDelta(0), m_bMeta(false), m_byEventType(0),
      m_dwDataLength(0), m_eReadState(RS_IDLE), m_dwSysExLeft(0)
{
}

// CDecSMF0::~CDecSMF0 -- closes and deletes the track stream.
CDecSMF0::~CDecSMF0()
{
    if (m_poTrackStream)
        m_poTrackStream->Close();
}

// CDecSMF0::SetChunk -- one track stream for the decoder's lifetime.
bool CDecSMF0::SetChunk(std::unique_ptr<CIn> poStream)
{
    if (m_poTrackStream)
    {
        QdReport("\nCDecSMF0::SetChunk() - Cannot decode more than one chunk");
        return false;
    }
    // A memory stream is ready as soon as it is open.
    if (poStream && poStream->Open(CStream::modeRead) && poStream->GetStatus() != CStream::statusClosed &&
        !poStream->IsError())
    {
        m_poTrackStream = std::move(poStream);
        OnRewindSource();
        return true;
    }
    QdReport("\nCDecSMF0::SetChunk() - Failed to open CIn");
    if (poStream)
        poStream->Close();
    return false;
}

// CDecSMF0::OnRewindSource -- back to the first byte of the track.
bool CDecSMF0::OnRewindSource()
{
    m_byRunningStatus = 0;
    m_tEventDelta = 0;
    m_bMeta = false;
    m_byEventType = 0;
    m_dwDataLength = 0;
    m_eReadState = RS_IDLE;
    m_dwSysExLeft = 0;
    if (!m_poTrackStream)
        return false;
    return m_poTrackStream->Seek(0, CStream::originBegin) == 0;
}

// CDecSMF0::UnexpectedEnd -- the report of a track cut short; the error result.
int CDecSMF0::UnexpectedEnd()
{
    QdReport("%s", kpszUnexpectedEnd);
    return EXTRACT_ERROR;
}

// CDecSMF0::ReadBytes -- the count the stream delivered decides.
bool CDecSMF0::ReadBytes(BYTE* pbyBuffer, DWORD dwBytes)
{
    if (dwBytes == 0)
        return true;
    m_poTrackStream->Read(pbyBuffer, dwBytes);
    return m_poTrackStream->GetLastCount() == dwBytes;
}

// CDecSMF0::SkipBytes -- checked against the bytes left, so that a seek
// that the stream stops at its end is not taken for a skip.
bool CDecSMF0::SkipBytes(DWORD dwBytes)
{
    if (dwBytes == 0)
        return true;
    if (dwBytes > BytesLeft(*m_poTrackStream))
        return false;
    const DWORD dwTarget = m_poTrackStream->GetPosition() + dwBytes;
    return m_poTrackStream->Seek(long(dwBytes), CStream::originCurrent) == dwTarget;
}

// CDecSMF0::ReadVarLen -- 7 bits a byte, most significant first; bit 7 set
// on every byte but the last, and at most 4 bytes.
int CDecSMF0::ReadVarLen(DWORD& rdwValue)
{
    DWORD dwValue = 0;
    for (int i = 0; i < VARLEN_MAX_BYTES; ++i)
    {
        BYTE by = 0;
        if (!ReadBytes(&by, 1))
            return UnexpectedEnd();
        dwValue = dwValue << 7 | (by & 0x7F);
        if (!(by & 0x80))
        {
            rdwValue = dwValue;
            return EXTRACT_EVENT;
        }
    }
    QdReport("\nCDecSMF0::OnExtractEvent() - Variable-length number longer than 4 bytes");
    return EXTRACT_ERROR;
}

// CDecSMF0::OnExtractEvent -- one event, its delta in the file's ticks.
int CDecSMF0::OnExtractEvent(TTICK& rtDelta, CLinkedEvent& roEvent)
{
    if (!QD_ASSERT(m_poTrackStream))
        return EXTRACT_ERROR;
    CIn& roIn = *m_poTrackStream;

    // The rest of a long system exclusive message follows at the same tick.
    if (m_dwSysExLeft)
    {
        rtDelta = 0;
        return FillSysExPacket(roEvent, false);
    }

    if (roIn.GetPosition() >= roIn.GetSize())
        return UnexpectedEnd();

    if (m_eReadState != RS_WAITING_DATA)
    {
        DWORD dwDelta = 0;
        const int iResult = ReadVarLen(dwDelta);
        if (iResult != EXTRACT_EVENT)
            return iResult;
        BYTE byStatus = 0;
        if (!ReadBytes(&byStatus, 1))
            return UnexpectedEnd();

        if (byStatus < SYSEX_INTRODUCER)
        {
            rtDelta = dwDelta;
            return DecodeChnMessage(byStatus, roEvent);
        }
        if (byStatus == META_INTRODUCER)
        {
            // Meta events leave the running status as it is.
            m_tEventDelta = dwDelta;
            m_bMeta = true;
            if (!ReadBytes(&m_byEventType, 1))
                return UnexpectedEnd();
        }
        else if (byStatus == SYSEX_INTRODUCER || byStatus == SYSEX_ESCAPE)
        {
            m_byRunningStatus = 0;
            m_tEventDelta = dwDelta;
            m_bMeta = false;
            m_byEventType = byStatus;
        }
        else
        {
            QdReport("\nCDecSMF0::OnExtractEvent() - Illegal status code");
            return EXTRACT_ERROR;
        }
        const int iLengthResult = ReadVarLen(m_dwDataLength);
        if (iLengthResult != EXTRACT_EVENT)
            return iLengthResult;
    }

    rtDelta = m_tEventDelta;
    if (roIn.WouldBlock(m_dwDataLength))
    {
        m_eReadState = RS_WAITING_DATA;
        return EXTRACT_NOTHING;
    }
    m_eReadState = RS_IDLE;
    // A length that the track does not hold is never allocated.
    if (m_dwDataLength > BytesLeft(roIn))
        return UnexpectedEnd();

    const int iResult = DecodeDataEvent(roEvent);
    m_bMeta = false;
    return iResult;
}

// CDecSMF0::DecodeChnMessage -- byFirst is a status or, under running
// status, the first data byte.
int CDecSMF0::DecodeChnMessage(BYTE byFirst, CLinkedEvent& roEvent)
{
    BYTE byData1 = byFirst;
    if (byFirst & 0x80)
    {
        m_byRunningStatus = byFirst;
        if (!ReadBytes(&byData1, 1))
            return UnexpectedEnd();
        // A status where data should be: the message is dropped.
        if (byData1 & 0x80)
            return EXTRACT_EVENT;
    }
    else if (!m_byRunningStatus)
    {
        QdReport("\nCDecSMF0::OnExtractEvent() - Missing status byte");
        return EXTRACT_ERROR;
    }

    const BYTE byStatus = m_byRunningStatus;
    BYTE byCode = BYTE((byStatus >> 4) & 7);
    const BYTE byChannel = BYTE(byStatus & 0x0F);
    if (byCode == EVSC_PRG_CHANGE || byCode == EVSC_CHN_PRESSURE)
    {
        roEvent.SetChnMessage(byCode, byChannel, byData1);
        return EXTRACT_EVENT;
    }

    BYTE byData2 = 0;
    if (!ReadBytes(&byData2, 1))
        return UnexpectedEnd();
    if (byData2 & 0x80)
    {
        if (byCode != EVSC_NOTEOFF)
            return EXTRACT_EVENT;
        byData2 = NOTE_OFF_VELOCITY;
    }
    if (byCode == EVSC_NOTEON && byData2 == 0)
    {
        byCode = EVSC_NOTEOFF;
        byData2 = NOTE_OFF_VELOCITY;
    }
    else if (byCode == EVSC_CTRL_CHANGE && byData1 >= FIRST_MODE_CONTROLLER)
        byCode = EVSC_MODE_MSG;
    roEvent.SetChnMessage(byCode, byChannel, byData1, byData2);
    return EXTRACT_EVENT;
}

// CDecSMF0::DecodeDataEvent -- the data of the meta or sysex event whose
// header was read; the stream holds all m_dwDataLength bytes.
int CDecSMF0::DecodeDataEvent(CLinkedEvent& roEvent)
{
    if (!m_bMeta)
    {
        m_dwSysExLeft = m_dwDataLength;
        return FillSysExPacket(roEvent, m_byEventType == SYSEX_INTRODUCER);
    }
    if (m_byEventType < PROP_META_MARKER)
        return FillMetaEvent(roEvent, m_byEventType, nullptr, 0, m_dwDataLength);
    if (m_byEventType <= MARKER_FILE_TYPE)
        return DecodeMarkerOrSpecific(roEvent);
    return SkipBytes(m_dwDataLength) ? EXTRACT_EVENT : UnexpectedEnd();
}

// CDecSMF0::FillMetaEvent -- dwPrefix bytes of the data are already read
// (dwPrefix <= dwTotal); the rest comes from the stream.
int CDecSMF0::FillMetaEvent(CLinkedEvent& roEvent, BYTE byType, const BYTE* pkbyPrefix, DWORD dwPrefix,
                            DWORD dwTotal)
{
    const DWORD dwKeep = std::min(dwTotal, SMF_MAX_EVENT_DATA);
    if (dwTotal > dwKeep)
        QdReport("\nCDecSMF0::OnExtractEvent() - Meta event of %lu bytes cut to %lu bytes",
                 static_cast<unsigned long>(dwTotal), static_cast<unsigned long>(dwKeep));
    BYTE* pbyData = roEvent.SetMetaEventBegin(byType, int(dwKeep));
    if (!pbyData)
        return EXTRACT_ERROR;
    const DWORD dwCopied = std::min(dwPrefix, dwKeep);
    if (dwCopied)
        std::memcpy(pbyData, pkbyPrefix, dwCopied);
    const bool bRead = ReadBytes(pbyData + dwCopied, dwKeep - dwCopied) && SkipBytes(dwTotal - dwKeep);
    roEvent.SetMetaEventEnd();
    if (bRead)
        return EXTRACT_EVENT;
    roEvent.Clear();
    return UnexpectedEnd();
}

// CDecSMF0::DecodeMarkerOrSpecific -- FF 7F len 42 60 kind ... is the
// instrument's marker; its kind fixes how many bytes it holds after the
// kind (missing ones are 0, extra ones skipped). Any other FF 7F is a
// sequencer-specific meta event kept whole; FF 7E is skipped.
int CDecSMF0::DecodeMarkerOrSpecific(CLinkedEvent& roEvent)
{
    const DWORD dwLength = m_dwDataLength;
    if (m_byEventType == PROP_META_MARKER || dwLength == 0)
        return SkipBytes(dwLength) ? EXTRACT_EVENT : UnexpectedEnd();

    BYTE abyHead[MARKER_ID_BYTES + 1];
    const DWORD dwHead = std::min<DWORD>(dwLength, sizeof abyHead);
    if (!ReadBytes(abyHead, dwHead))
        return UnexpectedEnd();
    DWORD dwFurther = MARKER_NOT_A_MARKER;
    if (dwHead == sizeof abyHead && abyHead[0] == MARKER_ID_1 && abyHead[1] == MARKER_ID_2)
        dwFurther = MarkerFurtherBytes(abyHead[2]);
    if (dwFurther == MARKER_NOT_A_MARKER)
        return FillMetaEvent(roEvent, MARKER_FILE_TYPE, abyHead, dwHead, dwLength);

    const DWORD dwRemaining = dwLength - dwHead;
    if (dwFurther == MARKER_ALL_REMAINING)
    {
        dwFurther = std::min(dwRemaining, SMF_MAX_EVENT_DATA - 1);
        if (dwFurther < dwRemaining)
            QdReport("\nCDecSMF0::OnExtractEvent() - Meta event of %lu bytes cut to %lu bytes",
                     static_cast<unsigned long>(dwRemaining + 1), static_cast<unsigned long>(dwFurther + 1));
    }
    BYTE* pbyData = roEvent.SetMetaEventBegin(PROP_META_MARKER, int(dwFurther + 1));
    if (!pbyData)
        return EXTRACT_ERROR;
    pbyData[0] = abyHead[2];
    const DWORD dwRead = std::min(dwFurther, dwRemaining);
    std::memset(pbyData + 1 + dwRead, 0, dwFurther - dwRead);
    const bool bRead = ReadBytes(pbyData + 1, dwRead) && SkipBytes(dwRemaining - dwRead);
    roEvent.SetMetaEventEnd();
    if (bRead)
        return EXTRACT_EVENT;
    roEvent.Clear();
    return UnexpectedEnd();
}

// CDecSMF0::FillSysExPacket -- at most SMF_MAX_EVENT_DATA bytes of the
// m_dwSysExLeft still to come; a packet that starts the message begins with F0.
int CDecSMF0::FillSysExPacket(CLinkedEvent& roEvent, bool bIntroducer)
{
    const DWORD dwLead = bIntroducer ? 1 : 0;
    const DWORD dwData = std::min(m_dwSysExLeft, SMF_MAX_EVENT_DATA - dwLead);
    BYTE* pbyData = roEvent.SetSysExEventBegin(int(dwData + dwLead));
    if (!pbyData)
    {
        m_dwSysExLeft = 0;
        return EXTRACT_ERROR;
    }
    if (bIntroducer)
        pbyData[0] = SYSEX_INTRODUCER;
    const bool bRead = ReadBytes(pbyData + dwLead, dwData);
    roEvent.SetSysExEventEnd(int(dwData + dwLead));
    if (!bRead)
    {
        m_dwSysExLeft = 0;
        roEvent.Clear();
        return UnexpectedEnd();
    }
    m_dwSysExLeft -= dwData;
    return EXTRACT_EVENT;
}
