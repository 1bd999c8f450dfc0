// SmfScan.h -- what a MIDI file holds and the first damage in it, from one
// walk through the whole file.
//
// SmfScanFile reads the header, every chunk up to the last declared track
// and every event of every track, each read checked against the end of the
// block. It decodes nothing and reports nothing: the caller (the import,
// the dump) decides what to tell the user, with SmfProblemText.
//
// The walk goes on past damage where it can, so that the tracks after it
// are described too: a track ends at its damage, and the next chunk is
// found by the lengths of the chunk headers. It stops at a file that is not
// a MIDI file and at the end of the block; bytes after the last declared
// track are not looked at. Chunks that are not tracks are passed over.
#pragma once

#include "MidiInOut/SmfRead.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// CSmfTrackInfo -- one track chunk.
struct CSmfTrackInfo
{
    DWORD m_dwOffset = 0;   // of its chunk header
    std::string m_strName;  // the data of its first track name (FF 03), bytes as given
    WORD m_wNoteChannels = 0; // bit n: channel n (0-15) has note-on or note-off messages
    // bit n: channel n has channel messages of any kind: notes, controllers,
    // program changes, pitch bend, pressure (a track's setup at tick 0 too)
    WORD m_wEventChannels = 0;
    DWORD m_dwNotes = 0;    // note-ons with velocity above 0
    bool m_bEndOfTrack = false;
    // The tick of its end of track, else of its last whole event, in the file's ticks.
    std::uint64_t m_qwTicks = 0;
};

// CSmfFileInfo -- the whole file.
struct CSmfFileInfo
{
    WORD m_wFormat = 0;
    // The header's division field as given: ticks per quarter note while
    // bit 15 is clear (else time code, SMFP_DIVISION).
    WORD m_wDivision = 0;
    WORD m_wTracksDeclared = 0;
    WORD m_wTracksFound = 0;
    std::vector<CSmfTrackInfo> m_aoTracks;

    WORD m_wNoteChannels = 0; // over all tracks
    // The first set tempo (FF 51, 3 data bytes or more) at tick 0, in
    // microseconds per quarter note.
    bool m_bHasTempo = false;
    DWORD m_dwTempo = 0;
    // The first time signature (FF 58, 2 data bytes or more) at tick 0:
    // numerator, denominator as a power of 2, clocks per click, 32nds per
    // quarter (0 where the event is shorter).
    bool m_bHasTimeSig = false;
    BYTE m_abyTimeSig[4] = {};
    std::uint64_t m_qwLastTick = 0; // the latest track end

    // The first damage found and where, as a byte offset into the file:
    //   SMFP_NOT_MIDI                    0, or 4 (the header's length field)
    //   format, track count, division    8, 10, 12 (the header field)
    //   SMFP_TRUNCATED, SMFP_MISSING_TRACK   the file's size
    //   SMFP_EMPTY_TRACK                 the track's chunk header
    //   SMFP_NO_END_OF_TRACK             the end of the track's data
    //   damage in events                 as CSmfTrackReader::GetProblemOffset
    // m_wProblemTrack: the index in m_aoTracks of the track it is in.
    ESmfProblem m_eProblem = SMFP_NONE;
    DWORD m_dwProblemOffset = 0;
    WORD m_wProblemTrack = 0;
};

// SmfScanFile -- walks the dwSize bytes at pkbyData and fills roInfo afresh;
// true when no damage was found (roInfo.m_eProblem is SMFP_NONE).
bool SmfScanFile(const BYTE* pkbyData, DWORD dwSize, CSmfFileInfo& roInfo);

// SmfEventVisitor -- called with each event of the walk, in file order, and
// the index of its track in CSmfFileInfo::m_aoTracks, a track's end of track
// (FF 2F 00) last; the event's pointers are valid during the call only.
using SmfEventVisitor = std::function<void(WORD wTrack, const CSmfEvent& rkoEvent)>;
// SmfScanFile -- the same walk, handing every event to rkfnVisit as well
// (a listing of the file sees exactly what the scan sees).
bool SmfScanFile(const BYTE* pkbyData, DWORD dwSize, CSmfFileInfo& roInfo, const SmfEventVisitor& rkfnVisit);

// SmfProblemText -- the file's problem as one short English phrase, tracks
// counted from 1 (for example "track 2 has no end of track"); empty when
// there is none.
std::string SmfProblemText(const CSmfFileInfo& rkoInfo);
