// PropForm.h -- coding helpers of the compact event format.
//
// A compact stream is a sequence of records without a header; its length is
// known from outside and it ends with the end-of-track meta record. Each
// record is:
//   delta     0 to MAX_DELTA_LEN bytes with bit 7 set, 7 bits each, most
//             significant group first; a delta of 0 takes no byte
//   type      the first byte with bit 7 clear: bit 6 track change, bit 5
//             short note, bits 0-4 record code (or key offset of a short note)
//   body      by record code; in note, channel-message and system exclusive
//             records the last byte carries bit 7 (the terminator)
//
// Running track: a channel record on another track than the current one has
// bit 6 in its type byte and the track delta (new - current) & 0x7F as its
// first body byte.
//
// The helpers here code single fields. Writers get the end of their window
// and readers the end of their block, and neither goes past it.
#pragma once

#include "Base/QdTypes.h"

class CEvent;

// Delta times.
inline constexpr int MAX_DELTA_LEN = 4;
inline constexpr DWORD PROP_MAX_DELTA = 0x0FFFFFFF;

// Bits of the type byte.
inline constexpr BYTE PROP_TRACK_CHANGE = 0x40;
inline constexpr BYTE PROP_SHORT_NOTE = 0x20;
inline constexpr BYTE PROP_CODE_MASK = 0x1F;
// Bit 7: set on every delta byte and on the last byte of note, channel
// message and system exclusive records; never set on a type byte.
inline constexpr BYTE PROP_HIGH_BIT = 0x80;
inline constexpr BYTE PROP_DATA_MASK = 0x7F;

// Record codes beyond the event codes 0-10: a private record (skipped unless
// the decoder reads it through) and a record to skip.
inline constexpr BYTE PROP_CODE_PRIVATE = 30;
inline constexpr BYTE PROP_CODE_SKIP = 31;

// Short note records: keys 28 to 91. The type byte holds (key - 60) & 0x1F;
// keys below 60 set bit 7 of the byte that directly follows the type byte.
inline constexpr BYTE SHORT_NOTE_MIN_KEY = 28;
inline constexpr BYTE SHORT_NOTE_MAX_KEY = 91;
inline constexpr BYTE SHORT_NOTE_MID_KEY = 60;

// Duration field: two 7-bit bytes, v = high << 7 | low. With DUR_LONG_FLAG
// clear v is the duration (0..8191); with it set the duration is
// (v & DUR_DATA_MASK) << DUR_RES_FACTOR, multiples of 16 up to 0x1FFF0.
inline constexpr DWORD DUR_DATA_MASK = 0x1FFF;
inline constexpr int DUR_RES_FACTOR = 4;
inline constexpr DWORD DUR_LONG_FLAG = 0x2000;
inline constexpr int PROP_DURATION_SIZE = 2;

// Length field of meta and system exclusive records: two 7-bit bytes.
inline constexpr int PROP_LENGTH_SIZE = 2;
inline constexpr DWORD PROP_MAX_LENGTH = (DWORD(1) << 14) - 1;

// Fixed bytes of the end-of-track record after its delta.
inline constexpr BYTE PROP_END_OF_TRACK[] = {0x09, 0x2F, 0x00, 0x00};

// Marker meta events: meta type PROP_META_MARKER, the kind in the first data
// byte. The null event (kind 0) and the end marker (kind 1, which ends a
// stream like the end of track) belong to every compact stream; the other
// kinds belong to a chord variation's own events: kept markers travel with
// its meta pattern, start markers (kind, position, 0, 0) start the CV pattern
// at a position and end markers (kind, position) stop it.
inline constexpr BYTE PROP_META_MARKER = 0x7E;
inline constexpr BYTE PROP_MARKER_NULL = 0;
inline constexpr BYTE PROP_MARKER_END_OF_STREAM = 1;
inline constexpr BYTE PROP_MARKER_KEPT = 2;
inline constexpr BYTE PROP_MARKER_START = 3;
inline constexpr BYTE PROP_MARKER_END = 4;
inline constexpr int PROP_MARKER_START_LENGTH = 4;
inline constexpr int PROP_MARKER_END_LENGTH = 2;

// PropFormIsMarker -- a marker meta event of kind byKind (at least its kind
// byte).
bool PropFormIsMarker(const CEvent& rkoEvent, BYTE byKind);

// PropFormIsStreamEnd -- the meta type and data of a meta record after which
// a compact stream holds nothing more: the end of track or the end marker.
bool PropFormIsStreamEnd(BYTE byMetaType, const BYTE* pkbyData, int iLength);

// PropFormReadMarker -- a start or end marker with its position byte; its
// kind and position then. Other kinds, and a start or end marker without a
// position, are no marker of a CV pattern: false, nothing set.
bool PropFormReadMarker(const CEvent& rkoEvent, BYTE& rbyKind, BYTE& rbyPosition);

// PropFormSetMarker -- makes the empty event a start marker (kind, position,
// 0, 0) or an end marker (kind, position).
void PropFormSetMarker(CEvent& roEvent, BYTE byKind, BYTE byPosition);

// PropFormDeltaLength -- bytes that a delta takes (0 to MAX_DELTA_LEN), or -1
// when it is above PROP_MAX_DELTA.
int PropFormDeltaLength(DWORD dwDelta);

// PropFormEncodeDelta -- writes the delta at rpbyPos and advances it. A delta
// above PROP_MAX_DELTA is reported ("Tick out of range"); it and a delta that
// does not fit before pbyLimit write nothing and fail.
bool PropFormEncodeDelta(BYTE*& rpbyPos, const BYTE* pbyLimit, DWORD dwDelta);

// PropFormReadDelta -- reads the delta bytes at rpbyPos and leaves it on the
// type byte that follows them. Fails when the block ends before a type byte
// or more than MAX_DELTA_LEN bytes carry bit 7; rpbyPos is then undefined
// within [start, pbyEnd].
bool PropFormReadDelta(const BYTE*& rpbyPos, const BYTE* pbyEnd, DWORD& rdwDelta);

// PropFormDurationCode -- the 14-bit value v of a duration of at most
// DUR_DATA_MASK << DUR_RES_FACTOR ticks; durations from 8192 on lose their
// low 4 bits.
WORD PropFormDurationCode(DWORD dwDuration);
// PropFormDurationTicks -- the duration of a 14-bit value v.
DWORD PropFormDurationTicks(WORD wCode);

// PropFormWriteDuration / PropFormReadDuration -- the two duration bytes.
// The reader takes 7 bits of each.
void PropFormWriteDuration(BYTE* pbyField, DWORD dwDuration);
DWORD PropFormReadDuration(const BYTE* pbyField);

// PropFormWriteLength / PropFormReadLength -- the two length bytes of a meta
// or system exclusive record (length at most PROP_MAX_LENGTH). The reader
// masks bit 7 off the low byte only: there it may be the terminator of a
// system exclusive record without payload.
void PropFormWriteLength(BYTE* pbyField, WORD wLength);
WORD PropFormReadLength(const BYTE* pbyField);

// PropFormIsShortKey -- the key can be written as a short note.
inline bool PropFormIsShortKey(BYTE byKey)
{
    return byKey >= SHORT_NOTE_MIN_KEY && byKey <= SHORT_NOTE_MAX_KEY;
}

// PropFormShortKeyBits -- bits 0-4 of the type byte of a short note.
inline BYTE PropFormShortKeyBits(BYTE byKey)
{
    return BYTE((byKey - SHORT_NOTE_MID_KEY) & PROP_CODE_MASK);
}

// PropFormShortKey -- the key of a short note from its type bits and the key
// flag (bit 7 of the byte after the type byte).
inline BYTE PropFormShortKey(BYTE byTypeBits, bool bLowKey)
{
    return BYTE((byTypeBits & PROP_CODE_MASK) + (bLowKey ? SHORT_NOTE_MIN_KEY : SHORT_NOTE_MID_KEY));
}
