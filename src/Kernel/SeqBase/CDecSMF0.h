// CDecSMF0.h -- decodes the events of one Standard MIDI File track chunk.
//
// CDecStream asks for one event at a time; this class reads it from the
// track stream it owns (set once with SetChunk) and fills the event record:
//   8n k v            note off, velocity v
//   9n k v            note on; with v = 0 a note off with velocity 64
//   An, Cn, Dn, En    key pressure, program, channel pressure, pitch bend
//   Bn c v            control change; c >= 120 a channel mode message
//   FF t len data     meta event of type t (t below 0x7E)
//   FF 7F len 42 60 kind ...   the instrument's marker meta event (type 0x7E)
//   FF 7F len other   meta event of type 0x7F; FF 7E len ... is skipped
//   F0 len data       system exclusive event F0 data
//   F7 len data       system exclusive packet data
// Running status is kept across meta events and cleared by system
// exclusive events. A record that carries nothing for the system (FF 7E,
// a message with a misplaced status byte) is left empty, so that CDecStream
// keeps its delta with a null event.
//
// The track bytes are input from a file and are not trusted: every read is
// checked against what the stream delivered, variable-length numbers have
// at most 4 bytes, and a declared length beyond the bytes left in the
// stream ends decoding with "Unexpected end of file reached" before
// anything is allocated for it. Data longer than an event record holds
// (SMF_MAX_EVENT_DATA bytes): a meta event keeps its first
// SMF_MAX_EVENT_DATA bytes and the rest is skipped (with a report); a
// system exclusive message is handed out as a first packet and continuation
// packets of at most SMF_MAX_EVENT_DATA bytes each, all at the same tick, as
// the encoder writes them back. Meta types of 0x80 and above do not exist
// in the format; such an event is skipped like FF 7E.
#pragma once

#include "Kernel/SeqBase/CDecStrm.h"

#include <memory>

class CIn;

class CDecSMF0 : public CDecStream
{
public:
    // Most data bytes one meta or system exclusive event record holds.
    static constexpr DWORD SMF_MAX_EVENT_DATA = 0x7FFF;

    // dwDivision: the file's ticks per quarter note.
    explicit CDecSMF0(DWORD dwDivision);
    ~CDecSMF0() override;

    // CDecSMF0::SetChunk -- takes over the track stream and opens it for
    // reading; false (and the stream deleted) when a stream is already set
    // or the stream does not open.
    bool SetChunk(std::unique_ptr<CIn> poStream);

protected:
    int OnExtractEvent(TTICK& rtDelta, CLinkedEvent& roEvent) override;
    bool OnRewindSource() override;

private:
    enum EReadState
    {
        RS_IDLE,
        RS_WAITING_DATA, // the header of a meta or sysex event is read, its data not yet there
    };

    // Reads exactly dwBytes; false when the stream delivers fewer.
    bool ReadBytes(BYTE* pbyBuffer, DWORD dwBytes);
    // Skips exactly dwBytes; false when fewer are left.
    bool SkipBytes(DWORD dwBytes);
    // Reads a variable-length number of at most 4 bytes; reports and returns
    // EXTRACT_ERROR when it is cut short or longer.
    int ReadVarLen(DWORD& rdwValue);
    int UnexpectedEnd();

    int DecodeChnMessage(BYTE byFirst, CLinkedEvent& roEvent);
    // The meta or sysex event whose header has been read.
    int DecodeDataEvent(CLinkedEvent& roEvent);
    // Meta event of byType from dwPrefix bytes already read and the rest of
    // dwTotal bytes from the stream; data beyond the record's limit skipped.
    int FillMetaEvent(CLinkedEvent& roEvent, BYTE byType, const BYTE* pkbyPrefix, DWORD dwPrefix, DWORD dwTotal);
    // Meta types 0x7E and 0x7F: the marker rule.
    int DecodeMarkerOrSpecific(CLinkedEvent& roEvent);
    // The next packet of a system exclusive message, bIntroducer: starts with F0.
    int FillSysExPacket(CLinkedEvent& roEvent, bool bIntroducer);

    std::unique_ptr<CIn> m_poTrackStream;
    BYTE m_byRunningStatus;
    // Delta of the event being read, kept while its data are read.
    TTICK m_tEventDelta;
    bool m_bMeta;
    // Meta type, or the system exclusive introducer (F0 or F7).
    BYTE m_byEventType;
    DWORD m_dwDataLength;
    EReadState m_eReadState;
    // Bytes of a long system exclusive message still to hand out as packets.
    DWORD m_dwSysExLeft;
};
