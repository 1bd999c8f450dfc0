// MarkerAlg.h -- one pattern's record and the algorithms that work on its
// events: the channel state, cleaning, splitting into sub-patterns and
// extracting one sub-pattern as a pattern of its own.
//
// Patterns are compact event streams (PropForm.h). They are read with the
// compact decoder one event list at a time and written with a CMemEncoder on
// the caller's fixed buffer; every list taken from the decoder goes back to
// the events pool before the next one is taken. Nothing here writes outside
// the buffers it is given or reads outside the event bytes of a record.
//
// Notes. The compact decoder delivers a note as one event with its duration
// (EVSC_NOTE). The channel state reads such a note as its note-on at the
// list's tick and its note-off at tick + duration; a note-off that is due at
// or before a list's tick is applied before that list's events. So a note
// sounds from its start up to, but not including, its end tick. Plain
// note-on and note-off events (EVSC_NOTEON, EVSC_NOTEOFF) are counted as
// they come.
//
// Checks report through the assertion reporter under the source name
// MarkerAlg/MarkerAlg and the operation then goes on or refuses as each
// function says.
#pragma once

#include "Base/QdTypes.h"
#include "Kernel/RTEvents/EventList.h"
#include "Kernel/SeqBase/CDecProp.h"
#include "Kernel/SeqBase/CHeap.h"
#include "NlzdStyle/QdRecords.h"

#include <cstdint>
#include <memory>


// Stored form of a pattern record: its length in ticks and its event size
// (4 bytes each), the event bytes from MA_PATTERN_EVENTS_OFFSET on, then two
// attribute bytes unless it is a type-0 pattern (chunk id
// QDI_ID_PATTERN_BASE). MA_PATTERN_MAX_OVERHEAD: the bytes of a record
// besides its events, at the most.
inline constexpr DWORD MA_PATTERN_TICKS_OFFSET = 0;
inline constexpr DWORD MA_PATTERN_DIM_OFFSET = 4;
inline constexpr DWORD MA_PATTERN_EVENTS_OFFSET = 8;
inline constexpr DWORD MA_PATTERN_ATTR_SIZE = 2;
inline constexpr DWORD MA_PATTERN_MAX_OVERHEAD = MA_PATTERN_EVENTS_OFFSET + MA_PATTERN_ATTR_SIZE;

// Keys and controller numbers of the channel state.
inline constexpr int MA_NR_KEYS = 128;
inline constexpr int MA_NR_CONTROLLERS = 128;
// Rule table entries besides a rest value 0..127.
inline constexpr int MA_CTRL_UNCHECKED = -1;   // allowed, its value not checked
inline constexpr int MA_CTRL_NOT_ALLOWED = -2; // dropped from a pattern
// Pitch bend as first data byte * 256 + second data byte; the centre is
// first byte 0, second byte 64.
inline constexpr WORD MA_PITCH_BEND_CENTRE = 64;
// Velocity of the note-offs of the reset events, and of notes cut at a
// pattern's end.
inline constexpr BYTE MA_RESET_VELOCITY = 64;

// Room beyond the event size of a pattern for its cleaned form.
inline constexpr DWORD QDI_CLEAN_SPARE = 500;

// Results of CleanPattern.
inline constexpr int MA_CLEAN_UNCHANGED = 1; // the source was clean
inline constexpr int MA_CLEAN_CHANGED = 0;   // something was dropped, moved, shortened or added
inline constexpr int MA_CLEAN_FAILED = -1;   // the cleaned pattern did not fit the buffer

// SubPattern -- one piece of a split pattern.
struct SubPattern
{
    DWORD m_dwStartTick;   // ticks from the start of the pattern
    DWORD m_dwTicks;       // length
    DWORD m_dwFirstOffset; // ticks from m_dwStartTick to its first event list
    DWORD m_dwFirstEvent;  // index of its first event among all events of the pattern
    DWORD m_dwNrEvents;    // events it holds (its own end event not counted)
    DWORD m_dwSharedIndex; // marker making: the distinct sub-pattern it is stored as
    DWORD m_dwStartMarker; // marker making: 1 when a start marker is emitted for it
    DWORD m_dwEndMarker;   // marker making: 1 when an end marker is emitted for it
};

// PatternData -- a pattern chunk's record in memory.
//
// Stored form (big-endian): m_dwTotalTicks (4), m_dwTotalEventsDim (4), the
// event bytes, then the two attribute bytes unless the chunk ID is
// QDI_ID_PATTERN_BASE (see MA_PATTERN_EVENTS_OFFSET). The
// event bytes are not owned: they lie in the chunk the record was parsed
// from or in a caller's buffer. The sub-pattern array is owned; the record
// is movable, not copyable.
struct PatternData
{
    // PatternData::PatternData -- Init with chunk ID 0, or byChunkId.
    PatternData() { Init(0); }
    explicit PatternData(BYTE byChunkId) { Init(byChunkId); }

    // PatternData::Init -- the chunk ID, every other field zero, no
    // sub-patterns.
    void Init(BYTE byChunkId);

    // PatternData::Parse -- reads the record from dwLength chunk bytes at
    // pbyData, with the chunk ID set by Init; bCountEvents decodes the events
    // to fill m_dwNrEvents. Sub-patterns still held are reported
    // ("m_poSubPatterns == 0") and freed. A record whose event bytes (and
    // attribute bytes) do not fit the chunk is reported and refused: false,
    // and the record keeps its chunk ID and no events.
    bool Parse(const BYTE* pbyData, DWORD dwLength, bool bCountEvents);

    // PatternData::Size -- bytes of the stored form: the fixed fields (and
    // the attribute bytes but for type 0) + m_dwTotalEventsDim. An event size
    // without events is reported and counted as no events, as Write writes it.
    DWORD Size() const;

    // PatternData::Write -- the stored form into dwCapacity bytes at pbyData;
    // returns Size(), or 0 (nothing written) when it does not fit. The event
    // bytes may lie inside the destination (moved, not copied). A record
    // without events is reported and written with an event size of 0.
    DWORD Write(BYTE* pbyData, DWORD dwCapacity) const;

    // PatternData::Release -- frees the sub-pattern array; the event bytes
    // stay with their owner.
    void Release();

    BYTE m_byChunkId;             // QdPatternChunkId of the pattern type
    DWORD m_dwTotalTicks;         // length in ticks
    DWORD m_dwTotalEventsDim;     // size of the event bytes
    BYTE m_byAttr1;               // carried, not interpreted; 0 for chunk ID 2
    BYTE m_byAttr2;               // same
    const BYTE* m_pbyEvents;      // the event bytes; not owned
    DWORD m_dwNrEvents;           // events, the end event included; 0 when not counted
    int m_iNrSubPatterns;         // 0 when not split
    std::unique_ptr<SubPattern[]> m_poSubPatterns;
};

// CPatternReader -- a pattern's event lists in order, each with its tick
// from the start of the pattern. Ticks are counted in 64 bits, so the deltas
// of a damaged stream cannot wrap round to a tick inside the pattern.
class CPatternReader
{
public:
    CPatternReader(const BYTE* pbyEvents, DWORD dwEventsDim);

    // CPatternReader::Next -- the next list into roList (whose earlier events
    // go back to the pool) and its tick; false, roList empty, when no list
    // follows (end of stream or error).
    bool Next(CEventList& roList, std::uint64_t& rqwTick);

    // CPatternReader::IsCorrupted -- decoding stopped before the stream's end
    // event (the decoder has reported why).
    bool IsCorrupted() { return m_bDone && !m_oDecoder.IsEndOfStream(); }

private:
    CDecProp m_oDecoder;
    std::uint64_t m_qwTick;
    TDELTA m_sdwDelta;
    bool m_bStarted;
    bool m_bDone;
};

// CountEventsList -- number of events of a list.
DWORD CountEventsList(const CLinkedEvent* pkoList);

// CChannelState -- the running state of one pattern's channel messages.
//
// Notes with duration are counted at their start; their ends wait in
// m_oNotesOff until AdvanceTo reaches them. The track byte of events is not
// looked at: a pattern is one channel.
class CChannelState
{
public:
    CChannelState();

    // CChannelState::GetControllerRule -- the rule table: the rest value
    // 0..127 of a checked controller, MA_CTRL_UNCHECKED or
    // MA_CTRL_NOT_ALLOWED.
    static int GetControllerRule(BYTE byController);

    // CChannelState::Reset -- no note sounding, no note end waiting, every
    // controller at its rest value (0 for those without one), pitch bend at
    // the centre.
    void Reset();

    // CChannelState::AdvanceTo -- applies the note-offs of notes with
    // duration that end at or before tTick; call it before the events of a
    // list at tTick.
    void AdvanceTo(TTICK tTick);

    // CChannelState::Update -- one channel message of a list at tTick; true
    // keeps the message, false says it is to be dropped:
    //   note off      key's counter - 1; below 0 it stays 0 and is dropped
    //   note on       key's counter + 1; kept
    //   note          as a note on, with its note-off waiting at its end; kept
    //   control change  dropped when the controller is not allowed, else
    //                 its value is held; kept
    //   pitch bend    first data byte * 256 + second data byte held; kept
    //   other codes   dropped
    bool Update(const CEvent& rkoEvent, TTICK tTick);

    // CChannelState::IsClean -- pitch bend at the centre, no note sounding
    // (notes with duration count until AdvanceTo has passed their end), and
    // every checked controller at its rest value.
    bool IsClean() const;

    // CChannelState::MakeResetEvents -- appends to the list rpoList (null for
    // an empty one) the events that make the state clean: a pitch bend 0, 64
    // when off centre; a control change to the rest value for each checked
    // controller away from it, in ascending order; a note-off of velocity 64
    // for each count of each key's counter, keys ascending. All carry track
    // byte 0. Returns the number of events made (fewer when the events pool
    // runs dry, which the pool reports).
    int MakeResetEvents(CLinkedEvent*& rpoList) const;

    // CChannelState::GetLastNoteEnd -- latest end of a note with duration
    // applied since Reset (0 when none).
    TTICK GetLastNoteEnd() const { return m_tLastNoteEnd; }

    signed char m_asbyNotes[MA_NR_KEYS];      // notes sounding per key
    BYTE m_abyControllers[MA_NR_CONTROLLERS]; // value held per controller
    WORD m_wPitchBend;                        // first data byte * 256 + second

private:
    // Ends of sounding notes with duration: priority = end tick, value = key.
    CHeap m_oNotesOff;
    TTICK m_tLastNoteEnd;
};

// CleanPattern -- rewrites the source pattern as the instrument accepts it,
// encoded into the caller's buffer of dwSize bytes, and describes the result
// in roDest.
//
// The last allowed tick is m_dwTotalTicks - 1, or m_dwTotalTicks itself with
// bAllowLastTick (a pattern of length 0 allows none). Channel lists up to it
// are kept with the messages the channel state keeps; a channel list at
// m_dwTotalTicks (allowed only with bAllowLastTick) is written one tick
// earlier. Lists of other events are left out, and so is everything from the
// first list past the last allowed tick on. A note with duration that would
// sound past the last allowed tick is shortened to end there with note-off
// velocity MA_RESET_VELOCITY, as the reset closes a held key (a note's end
// is no event list of its own: with bAllowLastTick a note may sound up to
// m_dwTotalTicks). What is still sounding or off its rest value at the end
// is reset by the reset events at m_dwTotalTicks - 1. The end event goes at
// m_dwTotalTicks. A source that cannot be decoded to its end is cleaned as
// far as it decodes.
//
// roDest receives the chunk ID, length and attribute bytes of the source, the
// buffer as its events, their size and their event count (the kept events
// as the encoder writes them: a kept note-off completes its note and is no
// event of its own). roChannelState is reset first and holds the state at
// the end. The buffer must not overlap the source's event bytes.
//
// Result: MA_CLEAN_UNCHANGED when nothing was dropped, moved, shortened or
// added (the source's own end event at m_dwTotalTicks counts as kept),
// MA_CLEAN_CHANGED otherwise, MA_CLEAN_FAILED when the buffer is too small:
// nothing is written past it, roDest then holds no events and the caller
// keeps the source (a caller that tests the result for 0 to replace a
// pattern leaves it alone). The encoder reports what it finds on closing
// the abandoned stream.
int CleanPattern(CChannelState& roChannelState, const PatternData& rkoSource, PatternData& roDest, BYTE* pbyBuffer,
                 DWORD dwSize, bool bAllowLastTick);

// SplitPattern -- cuts a counted pattern (m_dwNrEvents) into sub-patterns of
// about iTarget events at clean measure boundaries. wSigCode is the time
// signature as numerator * 256 + denominator (the denominator itself, 4 for
// quarter notes). Any earlier sub-patterns are freed first. Returns the
// number of cuts (sub-patterns - 1); 0 leaves the pattern whole.
//
// A cut falls only before an event list at which the channel state is clean
// (after the earlier lists and the note ends due by then) and with more than
// the lower bound of events left. A measure cut ends the sub-pattern at the
// start of the list's measure; it is made only when no note sounds across
// that boundary, so no cut ever falls inside a note.
//
// A zero signature code ("wSigCode"), a zero numerator or denominator, and a
// target below 1 are reported and leave the pattern whole; so does a list
// past the pattern's length ("tTick <= roPatternData.m_dwTotalTicks") or a
// stream that cannot be decoded to its end.
int SplitPattern(CChannelState& roChannelState, PatternData& roPatternData, WORD wSigCode, int iTarget);

// ExtractSubPattern -- sub-pattern iIndex of a split pattern as a pattern of
// its own, encoded into the caller's buffer of dwSize bytes: its event lists
// from its first offset on, its end event at its length m_dwTicks. roDest
// receives the chunk ID and attribute bytes of the pattern, m_dwTicks as its
// length, the buffer as its events, their size and their event count (as
// encoded, the end event included). A note that would sound past m_dwTicks,
// or a list past it, means the sub-pattern does not fit its pattern: it is
// reported ("bWithinSubPattern") and cut off there.
// An index that names no sub-pattern is reported ("iIndex <
// roPatternData.m_iNrSubPatterns && roPatternData.m_poSubPatterns") and
// refused. Returns false, roDest then holding no events, when refused or
// when the buffer is too small.
bool ExtractSubPattern(const PatternData& rkoPatternData, int iIndex, PatternData& roDest, BYTE* pbyBuffer,
                       DWORD dwSize);
