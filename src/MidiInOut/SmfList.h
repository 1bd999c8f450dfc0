// SmfList.h -- every event of a MIDI file as plain data, and where it lies
// in bars of the file's own time signatures.
//
// The listing (qdstyle dump --format csv|json) shows a file as the file
// says it: every track chunk of a format-0, 1 or 2 file, each event at its
// tick in the file's own division, channel messages with running status
// resolved. It comes from the file scan's walk (SmfScanFile with a
// visitor), so it reads exactly what the scan and the import read, checked
// against the end of the block, and stops in a track where the scan finds
// its damage.
//
// Kinds are named as MIDI software commonly names them: note_on, note_off,
// polytouch, control_change, program_change, aftertouch, pitchwheel, sysex
// (F0), escape (F7), and for meta events their type's name (track_name,
// set_tempo, time_signature, end_of_track, ...) or "meta".
#pragma once

#include "MidiInOut/SmfScan.h"

#include <cstdint>
#include <string>
#include <vector>

// CSmfListedEvent -- one event.
struct CSmfListedEvent
{
    WORD m_wTrack = 0;          // 1-based, in the order of the track chunks
    std::uint64_t m_qwTick = 0; // from the track's start, in the file's ticks
    BYTE m_byChannel = 0;       // 1-16 for a channel message, 0 for any other event
    const char* m_pszKind = ""; // the kind's name (static text)
    // Note messages: the key (SmfNoteName names it); -1 otherwise.
    int m_iKey = -1;
    // The event's number: controller, program, meta type; -1 when it has none.
    int m_iNumber = -1;
    // Its value: velocity, pressure, controller value, pitch bend (-8192 to
    // 8191), tempo in microseconds per quarter note.
    bool m_bHasValue = false;
    long m_lValue = 0;
    // Text meta events (types 1-15): their text, bytes as given (m_bText).
    // Time signature: "n/d". Other meta and system exclusive events with
    // data: the data bytes in hex, "F0 7E 7F"; empty without data.
    std::string m_strData;
    bool m_bText = false;
};

// CSmfTimeSigAt -- a time signature and where it starts.
struct CSmfTimeSigAt
{
    std::uint64_t m_qwTick = 0;
    BYTE m_byNumerator = 4;
    BYTE m_byDenomExp = 2; // the denominator as a power of 2
};

// CSmfListing -- the file's scan and its events, track by track.
struct CSmfListing
{
    CSmfFileInfo m_oInfo;
    std::vector<CSmfListedEvent> m_aoEvents;
    // The time signatures (FF 58 with 2 data bytes or more) of all tracks,
    // by tick; at one tick the one listed last counts.
    std::vector<CSmfTimeSigAt> m_aoTimeSigs;
};

// SmfListFile -- the scan of the dwSize bytes at pkbyData with every event
// listed; true when no damage was found.
bool SmfListFile(const BYTE* pkbyData, DWORD dwSize, CSmfListing& roListing);

// SmfNoteName -- "C4" for key 60 (C4 = middle C = 60, sharps: C#4), "C-1"
// for key 0, "G9" for 127.
std::string SmfNoteName(int iKey);

// CSmfBarPosition -- bar and beat (both 1-based) and the tick in the beat.
struct CSmfBarPosition
{
    std::uint64_t m_qwBar = 1;
    std::uint64_t m_qwBeat = 1;
    std::uint64_t m_qwTick = 0;
};

// CSmfBarClock -- ticks to bar:beat:tick. 4/4 until the first time
// signature; a beat is the signature's denominator note. A time signature
// that does not fall on a bar line ends the bar there: the next bar starts
// with it.
class CSmfBarClock
{
public:
    // CSmfBarClock::CSmfBarClock -- the time signatures in ticks of
    // dwTicksPerQuarter (at least 1), sorted by tick.
    CSmfBarClock(const std::vector<CSmfTimeSigAt>& rkaoTimeSigs, DWORD dwTicksPerQuarter);

    CSmfBarPosition Locate(std::uint64_t qwTick) const;

private:
    struct CSegment
    {
        std::uint64_t m_qwStart;
        std::uint64_t m_qwFirstBar;
        std::uint64_t m_qwBarTicks;
        std::uint64_t m_qwBeatTicks;
    };
    std::vector<CSegment> m_aoSegments;
};
