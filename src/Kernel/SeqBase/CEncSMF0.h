// CEncSMF0.h -- writes event groups as one Standard MIDI File of format 0.
//
// The file goes to an output stream that the owner sets before Open and
// keeps alive while the encoder is open. Open writes the 14 header bytes
// ("MThd", length 6, format 0, one track, 384 ticks per quarter note) and
// the track header with length 0; the groups follow as track events, each a
// variable-length delta and the event bytes; Close writes the header again
// and fills in the track length (stream size - 22).
//
// Notes with duration are written as a note-on and a note-off that waits in
// m_oWaitingNotesOff until the groups reach its tick. Note-offs go out as
// note-on with velocity 0 and channel messages use running status, both
// unless switched off. Meta and system exclusive events end running status.
//
// Every write checks what the stream took; a short write fails the
// operation, and the framework stops the group.
#pragma once

#include "Kernel/SeqBase/CEncBase.h"
#include "Kernel/SeqBase/CHeap.h"

class COut;

class CEncoderSMF0 : public CEncoderBase
{
public:
    static constexpr int SMF_HEADER_SIZE = 14;
    static constexpr int SMF_TRACK_HEADER_SIZE = 8;
    // Offset of the first track event: header and track header.
    static constexpr int SMF_TRACK_DATA_OFFSET = SMF_HEADER_SIZE + SMF_TRACK_HEADER_SIZE;
    static constexpr WORD SMF_DIVISION = 384;

    CEncoderSMF0();
    ~CEncoderSMF0() override;

    // CEncoderSMF0::SetOutStream -- the stream the file goes to (not owned).
    void SetOutStream(COut* poOutStream) { m_poOutStream = poOutStream; }
    COut* GetOutStream() const { return m_poOutStream; }

    // Running status: a channel message with the status of the previous one
    // is written without its status byte. On by default.
    void SetRunningStatus(bool bOn) { m_bRunningStatus = bOn; }
    bool IsRunningStatus() const { return m_bRunningStatus; }
    // Note-off as note-on: a note-off is written as 9n key 00 instead of
    // 8n key velocity. On by default.
    void SetNoteOffAsNoteOn(bool bOn) { m_bNoteOffAsNoteOn = bOn; }
    bool IsNoteOffAsNoteOn() const { return m_bNoteOffAsNoteOn; }

    // CEncoderSMF0::Open -- opens the stream for writing (a memory stream
    // starts empty again) and writes the header and an empty track header
    // at its start; false when already open, without a stream, or when the
    // stream does not take the bytes (the encoder then stays closed).
    bool Open() override;
    // CEncoderSMF0::Close -- rewrites the header and fills in the track
    // length; false when not open or when a write fails. Note-offs still
    // waiting are reported and dropped.
    bool Close() override;

protected:
    bool PrepareTick(TTICK tAbsTick) override;
    bool EncodeChnEvent(TTICK tAbsTick, const CEvent& kroEvent) override;
    bool EncodeMetaEvent(TTICK tAbsTick, const CEvent& kroEvent) override;
    bool EncodeSysExEvent(TTICK tAbsTick, const CEvent& kroEvent) override;
    bool EncodeDelta(DWORD dwDelta) override;

private:
    void FillHeader();
    // Writes the header image and the track header with the given length.
    bool WriteHeaders(DWORD dwTrackLength);
    // Writes all dwBytes or fails.
    bool WriteBytes(const BYTE* pkbyData, DWORD dwBytes);
    bool WriteVarLen(DWORD dwValue);
    // Status and iNrData data bytes, the status left out under running status.
    bool WriteChnMessage(BYTE byStatus, BYTE byData1, BYTE byData2, int iNrData);
    // Note-off bytes in the form the note-off option asks for.
    bool WriteNoteOff(BYTE byChannel, BYTE byKey, BYTE byVelocity);

    BYTE m_byLastStatus;
    BYTE m_abyHeader[SMF_HEADER_SIZE];
    bool m_bRunningStatus;
    bool m_bNoteOffAsNoteOn;
    // Pending note-offs: priority = tick at which the note ends,
    // value = channel << 16 | key << 8 | note-off velocity.
    CHeap m_oWaitingNotesOff;
    COut* m_poOutStream;
};
