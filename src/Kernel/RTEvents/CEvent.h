// CEvent.h -- the event record that every decoder, encoder and style
// operation exchanges.
//
// An event is packed into two 32-bit words. m_dw1 holds the event code in
// bits 0-7 and, by the class of the code:
//   channel message  code | track << 8 | data1 << 16 | data2 << 24
//                    (m_dw2 unused: it keeps what the empty record held)
//   note             7 | track << 8 | key << 16 | velocity-on << 24;
//                    m_dw2 = duration (bits 0-23) | note-off velocity << 24
//   meta             9 | type << 8 | length << 16 (bits 16-30); 0..4 data
//                    bytes lie in m_dw2 (first byte in bits 0-7, unused bytes
//                    0), 5 or more in a buffer and flagBuffer is set
//   system excl.     10 | length << 16 | flagBuffer, always buffered
//   empty record     m_dw1 == EVSC_INVALID, m_dw2 == EV_EMPTY_FILLER
//
// Buffer address on 64-bit: a data address does not fit in m_dw2, so a
// buffered event keeps it in m_pbyBuffer and holds 0 in m_dw2. m_pbyBuffer
// is non-null exactly for events that own a buffer reference (flagBuffer is
// then set too); every release goes by m_pbyBuffer, so a stray bit 31 in a
// channel message can never make the record release memory it does not own.
// m_dw1 reads as it always has.
//
// Buffers come from the global buffers pool with one reference; copies share
// the buffer and add a reference; Clear() and destruction drop it. A buffered
// meta or sysex event is locked between its Begin and End operations; its
// data may be read, and the event copied, only after the End operation.
//
// Every operation checks its preconditions through the assertion reporter
// (source Kernel/RTEvents/CEvent). A failed check reports and the operation
// goes on, except where going on would touch memory the record does not own:
// those operations refuse or clamp, as each one notes.
#pragma once

#include "Base/QdTypes.h"

// Event codes (byte 0 of m_dw1). Codes 0-6 are the channel-voice statuses
// 0x80-0xE0 in order: code = (status >> 4) - 8.
inline constexpr BYTE EVSC_NOTEOFF = 0;
inline constexpr BYTE EVSC_NOTEON = 1;
inline constexpr BYTE EVSC_KEY_PRESSURE = 2;
inline constexpr BYTE EVSC_CTRL_CHANGE = 3;
inline constexpr BYTE EVSC_PRG_CHANGE = 4;
inline constexpr BYTE EVSC_CHN_PRESSURE = 5;
inline constexpr BYTE EVSC_PITCH_B_CHANGE = 6;
inline constexpr BYTE EVSC_NOTE = 7;
inline constexpr BYTE EVSC_MODE_MSG = 8;
inline constexpr BYTE EVSC_META = 9;
inline constexpr BYTE EVSC_SYSEX = 10;
// Code 11 is unassigned and counts as a channel message.
inline constexpr BYTE EVSC_INVALID = 12;

// Event classes.
inline constexpr BYTE EC_CHMSG = 0;
inline constexpr BYTE EC_META = 1;
inline constexpr BYTE EC_SYSEX = 2;
inline constexpr BYTE EC_NONE = 0xFF;

// Highest meta type an event may carry.
inline constexpr BYTE META_SPECIFIC = 0x7F;
// Meta type of the end of track, the last event of every stream.
inline constexpr BYTE META_END_OF_TRACK = 0x2F;

// System exclusive packet types (GetSysExPackType).
inline constexpr BYTE EP_COMPLETE = 0; // F0 ... F7
inline constexpr BYTE EP_BEGINMSG = 1; // F0 ... (no F7)
inline constexpr BYTE EP_CONTMSG = 2;  // neither
inline constexpr BYTE EP_ENDMSG = 3;   // ... F7 (no F0)

// m_dw2 of an empty record.
inline constexpr DWORD EV_EMPTY_FILLER = 0xEEEEEEEE;

class CEvent
{
public:
    static constexpr DWORD flagBuffer = 0x80000000;

    // Fixed words of the two meta events with a meaning of their own.
    static constexpr DWORD END_OF_TRACK_DW1 = 0x00002F09;
    static constexpr DWORD NULL_EVENT_DW1 = 0x00017E09;

    CEvent();
    // Copies both words; a buffered event shares the buffer. When the buffer
    // already has its 63 references, the copy takes a buffer of its own with
    // the same data.
    CEvent(const CEvent& rkoOther);
    // Assignment into an empty record, with the copy's sharing rule. Into a
    // record that is not empty it reports, drops the old buffer reference and
    // then copies.
    CEvent& operator=(const CEvent& rkoOther);
    ~CEvent();

    // CEvent::GetClass -- class of the code; EC_NONE for code 12 and above.
    BYTE GetClass() const;

    // Setters fill an empty record. On a record that is not empty they report
    // and drop its buffer reference before filling it, so no buffer leaks.

    // CEvent::SetChnMessage -- program change or channel pressure (one data
    // byte); sets m_dw1 only.
    void SetChnMessage(BYTE byCode, BYTE byTrack, BYTE byData1);
    // CEvent::SetChnMessage -- channel message with two data bytes; sets
    // m_dw1 only.
    void SetChnMessage(BYTE byCode, BYTE byTrack, BYTE byData1, BYTE byData2);
    // CEvent::SetNoteEvent -- note with duration (velocity-on 1..127,
    // duration below 0x01000000 ticks).
    void SetNoteEvent(BYTE byTrack, BYTE byKey, BYTE byVelON, BYTE byVelOFF, DWORD dwDuration);

    // Byte 1, 2, 3 of a channel message. Refused on any other class: there
    // the bytes hold a meta type or a data length.
    void SetTrack(BYTE byTrack);
    void SetData1(BYTE byData);
    void SetData2(BYTE byData);

    // Channel message fields.
    DWORD GetRawChnMessage() const;
    BYTE GetCode() const;
    BYTE GetTrack() const;
    BYTE GetData1() const;
    BYTE GetData2() const;
    BYTE GetVelOff() const;
    DWORD GetDuration() const;
    // CEvent::SetDuration -- the duration of a note (below 0x01000000 ticks),
    // its note-off velocity kept. Refused on any other event.
    void SetDuration(DWORD dwDuration);
    // CEvent::SetVelOff -- the note-off velocity of a note (below 0x80), its
    // duration kept. Refused on any other event.
    void SetVelOff(BYTE byVelOff);

    // CEvent::SetMetaEventBegin -- starts a meta event of iDataLength bytes
    // and returns where the data are to be written: m_dw2 for up to 4 bytes,
    // else a locked buffer. From 128 bytes on a warning is reported. A length
    // outside 0..0x7FFF is refused: null, the record stays as it was.
    BYTE* SetMetaEventBegin(BYTE eType, int iDataLength);
    // CEvent::SetMetaEventEnd -- completes the meta event: unlocks its buffer
    // and returns it, or null for an unbuffered event.
    BYTE* SetMetaEventEnd();
    BYTE GetMetaType() const;
    int GetMetaLength() const;
    // CEvent::GetMetaData -- the buffer, or the bytes of m_dw2.
    const BYTE* GetMetaData() const;
    BYTE* GetMetaData();

    // CEvent::IsEndOfTrack -- meta type 0x2F without data.
    bool IsEndOfTrack() const;
    // CEvent::IsNullEvent -- meta type 0x7E with one data byte 0.
    bool IsNullEvent() const;
    // CEvent::SetNullEvent -- makes the null event (m_dw2 = 0).
    void SetNullEvent();

    // CEvent::SetSysExEventBegin -- starts a system exclusive event with a
    // locked buffer of iBufferLength bytes, returned for filling. A length
    // outside 0..0x7FFF is refused: null, the record stays as it was.
    BYTE* SetSysExEventBegin(int iBufferLength);
    // CEvent::SetSysExEventEnd -- sets the data length and unlocks the buffer.
    // A length beyond the buffer (or below 0) is reported and clamped to it;
    // an event without a buffer is left alone.
    void SetSysExEventEnd(int iDataLength);
    const BYTE* GetSysExData() const;
    // CEvent::GetSysExLength -- bits 16-30; 0 for an event without a buffer.
    int GetSysExLength() const;
    // CEvent::GetSysExPackType -- packet type from the first and last data
    // byte. A packet without data (a zero-length middle packet) has neither
    // F0 nor F7 and is EP_CONTMSG; nothing is read.
    BYTE GetSysExPackType() const;

    bool IsEmpty() const { return m_dw1 == EVSC_INVALID; }
    // CEvent::IsLocked -- the event holds a buffer whose lock flag is set.
    bool IsLocked() const;

    // CEvent::Clear -- drops the buffer reference, if any, and empties the
    // record.
    void Clear();

    DWORD m_dw1;
    DWORD m_dw2;

private:
    // Releases the buffer reference held, if any, and clears flagBuffer.
    void DropBuffer();
    // Takes rkoOther's words and a reference to its buffer (or a copy of it).
    void CopyFrom(const CEvent& rkoOther);

    // The buffer this event references, null when it holds none.
    BYTE* m_pbyBuffer;
};
