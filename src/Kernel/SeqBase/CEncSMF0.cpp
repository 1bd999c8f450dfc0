// CEncSMF0.cpp -- Standard MIDI File format-0 writer.
#include "Kernel/SeqBase/CEncSMF0.h"

#include "Base/Report.h"
#include "Kernel/SeqBase/SmfForm.h"
#include "Kernel/RTEvents/CEvent.h"
#include "Wrap/Kernel/Stream/Stream.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#define QD_REPORT_FILE "Kernel/SeqBase/CEncSMF0"

using namespace SmfForm;

namespace {

constexpr BYTE STATUS_NOTEOFF = 0x80;
constexpr BYTE STATUS_NOTEON = 0x90;


// Channel statuses by event code 0-6 and 8 (mode messages are control changes).
BYTE StatusOfCode(BYTE byCode)
{
    return byCode == EVSC_MODE_MSG ? BYTE(0xB0) : BYTE(0x80 + (byCode << 4));
}

} // namespace

// CEncoderSMF0::CEncoderSMF0 -- closed, both options on, no stream yet.
CEncoderSMF0::CEncoderSMF0()
    : m_byLastStatus(0), m_abyHeader{}, m_bRunningStatus(true), m_bNoteOffAsNoteOn(true), m_poOutStream(nullptr)
{
    FillHeader();
}

// CEncoderSMF0::~CEncoderSMF0 -- the stream is the owner's and is not touched.
CEncoderSMF0::~CEncoderSMF0()
{
    m_oWaitingNotesOff.Clear();
}

// CEncoderSMF0::FillHeader -- "MThd", length 6, format 0, one track, 384 ticks per quarter note.
void CEncoderSMF0::FillHeader()
{
    std::memcpy(m_abyHeader, "MThd", 4);
    QdWriteBE32(m_abyHeader + 4, 6);
    QdWriteBE16(m_abyHeader + 8, 0);
    QdWriteBE16(m_abyHeader + 10, 1);
    QdWriteBE16(m_abyHeader + 12, SMF_DIVISION);
}

// CEncoderSMF0::WriteBytes -- a write that the stream cuts short, or an
// error the stream reports, fails.
bool CEncoderSMF0::WriteBytes(const BYTE* pkbyData, DWORD dwBytes)
{
    if (!m_poOutStream)
        return false;
    if (dwBytes == 0)
        return true;
    m_poOutStream->Write(pkbyData, dwBytes);
    return m_poOutStream->GetLastCount() == dwBytes && !m_poOutStream->IsError();
}

// CEncoderSMF0::WriteVarLen -- 1 to 4 bytes (CEncoderBase::VarLenNum).
bool CEncoderSMF0::WriteVarLen(DWORD dwValue)
{
    BYTE abyNumber[VARLEN_MAX_BYTES];
    const int iLength = VarLenNum(dwValue, abyNumber);
    return WriteBytes(abyNumber, DWORD(iLength));
}

// CEncoderSMF0::WriteHeaders -- from the start of the stream.
bool CEncoderSMF0::WriteHeaders(DWORD dwTrackLength)
{
    BYTE abyTrackHeader[SMF_TRACK_HEADER_SIZE];
    std::memcpy(abyTrackHeader, "MTrk", 4);
    QdWriteBE32(abyTrackHeader + 4, dwTrackLength);

    m_poOutStream->Seek(0, CStream::originBegin);
    if (m_poOutStream->GetPosition() != 0 || m_poOutStream->IsError())
        return false;
    return WriteBytes(m_abyHeader, SMF_HEADER_SIZE) && WriteBytes(abyTrackHeader, SMF_TRACK_HEADER_SIZE);
}

// CEncoderSMF0::Open -- the encoder is open only when the headers are written.
bool CEncoderSMF0::Open()
{
    if (!CEncoderBase::Open())
        return false;
    m_byLastStatus = 0;
    FillHeader();
    m_oWaitingNotesOff.Clear();
    // The stream is opened afresh, so that a stream written before holds
    // nothing of the old file beyond the end of the new one.
    if (!QD_ASSERT(m_poOutStream != NULL) || !m_poOutStream->Open(CStream::modeWrite) || !WriteHeaders(0))
    {
        CEncoderBase::Close();
        return false;
    }
    return true;
}

// CEncoderSMF0::Close -- the track length is all that follows the track header.
bool CEncoderSMF0::Close()
{
    if (!CEncoderBase::Close())
        return false;
    m_byLastStatus = 0;
    // Notes still sounding cannot be ended after the end of track.
    QD_ASSERT(m_oWaitingNotesOff.GetCount() == 0);
    m_oWaitingNotesOff.Clear();
    if (!m_poOutStream)
        return false;

    const std::int64_t iChunkLen = std::int64_t(m_poOutStream->GetSize()) - SMF_TRACK_DATA_OFFSET;
    if (!QD_ASSERT(iChunkLen>=0))
        return false;
    return WriteHeaders(DWORD(iChunkLen));
}

// CEncoderSMF0::EncodeDelta -- a variable-length number.
bool CEncoderSMF0::EncodeDelta(DWORD dwDelta)
{
    return WriteVarLen(dwDelta);
}

// CEncoderSMF0::PrepareTick -- every note-off due up to tAbsTick goes out at
// its own tick before the events of tAbsTick.
bool CEncoderSMF0::PrepareTick(TTICK tAbsTick)
{
    while (m_oWaitingNotesOff.GetCount() > 0 && m_oWaitingNotesOff.GetHeadPriority() <= tAbsTick)
    {
        const TTICK tTick = m_oWaitingNotesOff.GetHeadPriority();
        const DWORD dwNote = m_oWaitingNotesOff.Pop();
        QD_ASSERT(tTick >= GetLastEncodedTick());

        CEvent oNoteOff;
        oNoteOff.SetChnMessage(EVSC_NOTEOFF, BYTE((dwNote >> 16) & 0x0F), BYTE((dwNote >> 8) & 0x7F),
                               BYTE(dwNote & 0x7F));
        if (!EncodeChnEvent(tTick, oNoteOff))
            return false;
    }
    return true;
}

// CEncoderSMF0::WriteChnMessage -- running status leaves out a status equal
// to the last one written.
bool CEncoderSMF0::WriteChnMessage(BYTE byStatus, BYTE byData1, BYTE byData2, int iNrData)
{
    BYTE abyMessage[3];
    DWORD dwLength = 0;
    if (!m_bRunningStatus || byStatus != m_byLastStatus)
        abyMessage[dwLength++] = byStatus;
    abyMessage[dwLength++] = byData1;
    if (iNrData > 1)
        abyMessage[dwLength++] = byData2;
    if (!WriteBytes(abyMessage, dwLength))
    {
        // What the stream holds now is unknown: the next message carries its status.
        m_byLastStatus = 0;
        return false;
    }
    m_byLastStatus = byStatus;
    return true;
}

// CEncoderSMF0::WriteNoteOff -- 9n key 00, or 8n key velocity with the option off.
bool CEncoderSMF0::WriteNoteOff(BYTE byChannel, BYTE byKey, BYTE byVelocity)
{
    if (m_bNoteOffAsNoteOn)
        return WriteChnMessage(BYTE(STATUS_NOTEON | byChannel), byKey, 0, 2);
    return WriteChnMessage(BYTE(STATUS_NOTEOFF | byChannel), byKey, byVelocity, 2);
}

// CEncoderSMF0::EncodeChnEvent -- the track byte is the MIDI channel; a note
// with duration is split into its note-on and a note-off at tick + duration.
bool CEncoderSMF0::EncodeChnEvent(TTICK tAbsTick, const CEvent& kroEvent)
{
    QD_ASSERT(kroEvent.GetTrack() < 16);
    const BYTE byChannel = BYTE(kroEvent.GetTrack() & 0x0F);
    const BYTE byCode = kroEvent.GetCode();
    if (byCode > EVSC_MODE_MSG)
        return false;
    if (!EncodeDeltaAt(tAbsTick))
        return false;

    const BYTE byData1 = kroEvent.GetData1();
    switch (byCode)
    {
    case EVSC_NOTEOFF:
        return WriteNoteOff(byChannel, byData1, kroEvent.GetData2());

    case EVSC_PRG_CHANGE:
    case EVSC_CHN_PRESSURE:
        return WriteChnMessage(BYTE(StatusOfCode(byCode) | byChannel), byData1, 0, 1);

    case EVSC_NOTE:
    {
        if (!WriteChnMessage(BYTE(STATUS_NOTEON | byChannel), byData1, kroEvent.GetData2(), 2))
            return false;
        const DWORD dwDuration = kroEvent.GetDuration();
        const BYTE byVelOff = kroEvent.GetVelOff();
        if (dwDuration == 0)
            return EncodeDeltaAt(tAbsTick) && WriteNoteOff(byChannel, byData1, byVelOff);
        // A note cannot end beyond the last tick there is.
        const TTICK tEnd = tAbsTick > 0xFFFFFFFFu - dwDuration ? 0xFFFFFFFFu : tAbsTick + dwDuration;
        m_oWaitingNotesOff.Push(DWORD(byChannel) << 16 | DWORD(byData1) << 8 | byVelOff, tEnd);
        return true;
    }

    default:
        // Note on, key pressure, control change, pitch bend and mode
        // messages: status and both data bytes as they stand.
        return WriteChnMessage(BYTE(StatusOfCode(byCode) | byChannel), byData1, kroEvent.GetData2(), 2);
    }
}

// CEncoderSMF0::EncodeMetaEvent -- FF type length data; the marker meta event
// travels as FF 7F (length + 2) 42 60 data.
bool CEncoderSMF0::EncodeMetaEvent(TTICK tAbsTick, const CEvent& kroEvent)
{
    const BYTE byType = kroEvent.GetMetaType();
    const DWORD dwLength = DWORD(kroEvent.GetMetaLength());
    const BYTE* pkbyData = kroEvent.GetMetaData();

    m_byLastStatus = 0;
    if (!EncodeDeltaAt(tAbsTick))
        return false;
    if (byType == PROP_META_MARKER)
    {
        const BYTE abyIntro[2] = {META_INTRODUCER, MARKER_FILE_TYPE};
        const BYTE abyId[2] = {MARKER_ID_1, MARKER_ID_2};
        return WriteBytes(abyIntro, 2) && WriteVarLen(dwLength + 2) && WriteBytes(abyId, 2) &&
               WriteBytes(pkbyData, dwLength);
    }
    const BYTE abyIntro[2] = {META_INTRODUCER, byType};
    return WriteBytes(abyIntro, 2) && WriteVarLen(dwLength) && WriteBytes(pkbyData, dwLength);
}

// CEncoderSMF0::EncodeSysExEvent -- a message or its first packet as
// F0 (length - 1) data-without-F0; a continuation or escape packet as
// F7 length data.
bool CEncoderSMF0::EncodeSysExEvent(TTICK tAbsTick, const CEvent& kroEvent)
{
    const DWORD dwLength = DWORD(kroEvent.GetSysExLength());
    const BYTE* pkbySysEx = kroEvent.GetSysExData();
    const BYTE byPackType = kroEvent.GetSysExPackType();

    m_byLastStatus = 0;
    if (!EncodeDeltaAt(tAbsTick))
        return false;
    if (byPackType == EP_CONTMSG || byPackType == EP_ENDMSG)
    {
        const BYTE byIntro = SYSEX_ESCAPE;
        return WriteBytes(&byIntro, 1) && WriteVarLen(dwLength) && WriteBytes(pkbySysEx, dwLength);
    }
    // Complete messages and first packets begin with F0 (their pack type says so).
    QD_ASSERT(*pkbySysEx == 0xF0);
    const BYTE byIntro = SYSEX_INTRODUCER;
    return WriteBytes(&byIntro, 1) && WriteVarLen(dwLength - 1) && WriteBytes(pkbySysEx + 1, dwLength - 1);
}
