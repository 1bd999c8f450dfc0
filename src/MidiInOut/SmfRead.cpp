// SmfRead.cpp -- chunk headers and track events of a MIDI file in memory.
#include "MidiInOut/SmfRead.h"

#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/SeqBase/SmfForm.h"

#include <cstring>

using namespace SmfForm;

namespace {

constexpr BYTE NOTE_OFF_STATUS = 0x80;
constexpr BYTE PROGRAM_STATUS = 0xC0;
constexpr BYTE CHANNEL_PRESSURE_STATUS = 0xD0;
// The velocity the decoder gives a note-off whose velocity is a status byte.
constexpr BYTE NOTE_OFF_VELOCITY = 64;

} // namespace

bool CSmfChunk::IsTrack() const
{
    return std::memcmp(m_abyId, "MTrk", 4) == 0;
}

// SmfReadChunk -- the data length is cut to what the block holds, so that
// GetEnd() never passes dwSize.
bool SmfReadChunk(const BYTE* pkbyData, DWORD dwSize, DWORD dwOffset, CSmfChunk& roChunk)
{
    if (!pkbyData || dwOffset > dwSize || dwSize - dwOffset < SmfRead::CHUNK_HEADER_SIZE)
        return false;
    const BYTE* pkbyHeader = pkbyData + dwOffset;
    roChunk.m_dwOffset = dwOffset;
    std::memcpy(roChunk.m_abyId, pkbyHeader, 4);
    roChunk.m_dwLength = QdReadBE32(pkbyHeader + 4);
    roChunk.m_dwDataOffset = dwOffset + SmfRead::CHUNK_HEADER_SIZE;
    const DWORD dwLeft = dwSize - roChunk.m_dwDataOffset;
    roChunk.m_dwDataLength = roChunk.m_dwLength < dwLeft ? roChunk.m_dwLength : dwLeft;
    return true;
}

// CSmfTrackReader::CSmfTrackReader -- a chunk from elsewhere is kept within
// the block too.
CSmfTrackReader::CSmfTrackReader(const BYTE* pkbyData, DWORD dwSize, const CSmfChunk& rkoChunk)
    : m_pkbyData(pkbyData), m_dwPos(0), m_dwEnd(0), m_qwTick(0), m_byRunningStatus(0), m_bEndOfTrack(false),
      m_bStopped(false), m_eStopResult(TR_END), m_eProblem(SMFP_NONE), m_dwProblemOffset(0)
{
    if (!pkbyData || rkoChunk.m_dwDataOffset > dwSize)
        return;
    m_dwPos = rkoChunk.m_dwDataOffset;
    const DWORD dwLeft = dwSize - m_dwPos;
    m_dwEnd = m_dwPos + (rkoChunk.m_dwDataLength < dwLeft ? rkoChunk.m_dwDataLength : dwLeft);
}

bool CSmfTrackReader::ReadByte(BYTE& rby)
{
    if (BytesLeft() == 0)
        return false;
    rby = m_pkbyData[m_dwPos++];
    return true;
}

void CSmfTrackReader::Note(ESmfProblem eProblem, DWORD dwOffset)
{
    if (m_eProblem == SMFP_NONE)
    {
        m_eProblem = eProblem;
        m_dwProblemOffset = dwOffset;
    }
}

CSmfTrackReader::EStep CSmfTrackReader::Damage(ESmfProblem eProblem, DWORD dwOffset)
{
    Note(eProblem, dwOffset);
    return STEP_ERROR;
}

// CSmfTrackReader::ReadVarLen -- 7 bits a byte, most significant first, bit 7
// set on every byte but the last; a cut number is an event past the end.
bool CSmfTrackReader::ReadVarLen(DWORD dwEventOffset, DWORD& rdwValue)
{
    const DWORD dwStart = m_dwPos;
    DWORD dwValue = 0;
    for (int i = 0; i < VARLEN_MAX_BYTES; ++i)
    {
        BYTE by = 0;
        if (!ReadByte(by))
        {
            Note(SMFP_EVENT_PAST_END, dwEventOffset);
            return false;
        }
        dwValue = dwValue << 7 | (by & 0x7F);
        if (!(by & 0x80))
        {
            rdwValue = dwValue;
            return true;
        }
    }
    Note(SMFP_LONG_NUMBER, dwStart);
    return false;
}

// CSmfTrackReader::Next -- messages the decoder leaves out are passed over
// here, their time kept: the next event's tick counts their delta.
ETrackRead CSmfTrackReader::Next(CSmfEvent& roEvent)
{
    while (!m_bStopped)
    {
        if (BytesLeft() == 0)
            return Stop(TR_END);

        const DWORD dwEventOffset = m_dwPos;
        DWORD dwDelta = 0;
        BYTE byStatus = 0;
        EStep eStep = STEP_ERROR;
        if (!ReadVarLen(dwEventOffset, dwDelta))
            eStep = STEP_ERROR;
        else if (!ReadByte(byStatus))
            eStep = Damage(SMFP_EVENT_PAST_END, dwEventOffset);
        else if (byStatus < SYSEX_INTRODUCER)
            eStep = ReadChannelMessage(byStatus, dwEventOffset, roEvent);
        else if (byStatus == META_INTRODUCER || byStatus == SYSEX_INTRODUCER || byStatus == SYSEX_ESCAPE)
            eStep = ReadDataEvent(byStatus, dwEventOffset, roEvent);
        else
            eStep = Damage(SMFP_MISPLACED_STATUS, m_dwPos - 1);

        // The decoder stops at damage too; nothing after it is read.
        if (eStep == STEP_ERROR)
            return Stop(TR_ERROR);
        m_qwTick += dwDelta;
        if (eStep == STEP_SKIP)
            continue;
        roEvent.m_qwTick = m_qwTick;
        roEvent.m_dwOffset = dwEventOffset;
        if (roEvent.IsMeta(META_END_OF_TRACK) && roEvent.m_dwDataLength == 0)
        {
            m_bEndOfTrack = true;
            return Stop(TR_END);
        }
        return TR_EVENT;
    }
    return m_eStopResult;
}

ETrackRead CSmfTrackReader::Stop(ETrackRead eResult)
{
    m_bStopped = true;
    m_eStopResult = eResult;
    return eResult;
}

// CSmfTrackReader::ReadChannelMessage -- byFirst is a status or, under
// running status, the first data byte; the decoder's rules for status bytes
// among the data.
CSmfTrackReader::EStep CSmfTrackReader::ReadChannelMessage(BYTE byFirst, DWORD dwEventOffset, CSmfEvent& roEvent)
{
    BYTE byData1 = byFirst;
    if (byFirst & 0x80)
    {
        m_byRunningStatus = byFirst;
        if (!ReadByte(byData1))
            return Damage(SMFP_EVENT_PAST_END, dwEventOffset);
        if (byData1 & 0x80)
        {
            Note(SMFP_MISPLACED_STATUS, m_dwPos - 1);
            return STEP_SKIP;
        }
    }
    else if (!m_byRunningStatus)
        return Damage(SMFP_NO_STATUS, m_dwPos - 1);

    const BYTE byStatus = m_byRunningStatus;
    const BYTE byKind = BYTE(byStatus & 0xF0);
    BYTE byData2 = 0;
    if (byKind != PROGRAM_STATUS && byKind != CHANNEL_PRESSURE_STATUS)
    {
        if (!ReadByte(byData2))
            return Damage(SMFP_EVENT_PAST_END, dwEventOffset);
        if (byData2 & 0x80)
        {
            Note(SMFP_MISPLACED_STATUS, m_dwPos - 1);
            if (byKind != NOTE_OFF_STATUS)
                return STEP_SKIP;
            byData2 = NOTE_OFF_VELOCITY;
        }
    }
    roEvent = CSmfEvent();
    roEvent.m_byStatus = byStatus;
    roEvent.m_abyChannelData[0] = byData1;
    roEvent.m_abyChannelData[1] = byData2;
    return STEP_EVENT;
}

// CSmfTrackReader::ReadDataEvent -- a meta or system exclusive event whose
// status has been read; its length must fit in the bytes left. Meta events
// leave the running status as it is, system exclusive events end it.
CSmfTrackReader::EStep CSmfTrackReader::ReadDataEvent(BYTE byStatus, DWORD dwEventOffset, CSmfEvent& roEvent)
{
    const DWORD dwRawStart = m_dwPos - 1;
    BYTE byType = 0;
    if (byStatus == META_INTRODUCER)
    {
        if (!ReadByte(byType))
            return Damage(SMFP_EVENT_PAST_END, dwEventOffset);
    }
    else
        m_byRunningStatus = 0;
    DWORD dwLength = 0;
    if (!ReadVarLen(dwEventOffset, dwLength))
        return STEP_ERROR;
    if (dwLength > BytesLeft())
        return Damage(SMFP_EVENT_PAST_END, dwEventOffset);

    roEvent = CSmfEvent();
    roEvent.m_byStatus = byStatus;
    roEvent.m_byMetaType = byType;
    roEvent.m_pkbyData = m_pkbyData + m_dwPos;
    roEvent.m_dwDataLength = dwLength;
    m_dwPos += dwLength;
    roEvent.m_pkbyRaw = m_pkbyData + dwRawStart;
    roEvent.m_dwRawLength = m_dwPos - dwRawStart;
    return STEP_EVENT;
}
