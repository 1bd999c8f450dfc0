// QdRoll.h -- a chord variation, or one of its tracks, as a piano roll: every
// note with its track, key, velocity, start and end, the controllers and the
// pitch bend of each track as lanes, and the grid of the element's time
// signature, as plain data for the window's roll pane and `qdstyle roll`.
//
// The roll is read from the MIDI file the export writes (CNstEditIfc::
// ExportToSmf), not from the patterns, so that what is drawn is exactly what
// is exported: the patterns repeated to the chord variation's length and cut
// there, every note ended, the track parameters at tick 0. The file is read
// with the bounds-checked scan of the MIDI coders (SmfScanFile), channels
// back to tracks by NST_TRACK_CHANNELS.
//
// Notes are paired per channel and key first in, first out: a note-off (or a
// note-on of velocity 0) ends the earliest note of its key that still
// sounds on its channel, so overlapping notes of one key keep their order. A
// note still sounding at the end of the file ends there; a note-off without
// a sounding note is counted and left out.
//
// Ticks are the file's (the export writes 384 per quarter note); bars and
// beats count from 1, a beat being the time signature's denominator note, as
// the MIDI listing counts them (CSmfBarClock). Note names: C4 = 60 (middle
// C), sharps; on the Drum and Percussion tracks the General MIDI drum names.
#pragma once

#include "Base/QdTypes.h"
#include "MidiInOut/SmfList.h"
#include "NlzdStyle/NlzdStyle.h"
#include "NlzdStyle/NstTimeSig.h"

#include <string>
#include <vector>

class CNstEditIfc;

// QdRollKeyName -- the key as the track plays it: on the Drum and Percussion
// tracks its General MIDI drum name ("Key 30" outside the drum map), on the
// others its note name ("C4" for 60).
std::string QdRollKeyName(BYTE byTrack, BYTE byKey);

// CQdRollNote -- one note.
struct CQdRollNote
{
    BYTE m_byTrack = 0;   // 0-7: Drum, Percussion, Bass, Acc. 1 ... Acc. 5
    BYTE m_byChannel = 0; // 0-based MIDI channel
    BYTE m_byKey = 0;
    BYTE m_byVelocity = 0;
    TTICK m_tStart = 0;
    TTICK m_tEnd = 0; // at or after m_tStart

    TTICK GetLength() const { return m_tEnd - m_tStart; }
    // CQdRollNote::GetKeyName -- "Bass Drum 1", "C4" (QdRollKeyName).
    std::string GetKeyName() const { return QdRollKeyName(m_byTrack, m_byKey); }
    bool operator==(const CQdRollNote& rkoOther) const = default;
};

// What a lane shows.
enum EQdRollLaneKind : BYTE
{
    QD_LANE_CONTROLLER = 0, // a controller's values, 0-127
    QD_LANE_PITCH_BEND = 1, // -8192 to 8191, 0 the centre
    QD_LANE_PRESSURE = 2,   // channel pressure (aftertouch), 0-127
};

// CQdRollPoint -- a value set at a tick.
struct CQdRollPoint
{
    TTICK m_tTick = 0;
    int m_iValue = 0;
    bool operator==(const CQdRollPoint& rkoOther) const = default;
};

// CQdRollLane -- the values of one controller, of the pitch bend or of the
// channel pressure on one track, in the file's order.
struct CQdRollLane
{
    BYTE m_byTrack = 0;
    EQdRollLaneKind m_eKind = QD_LANE_CONTROLLER;
    BYTE m_byController = 0; // QD_LANE_CONTROLLER only
    std::vector<CQdRollPoint> m_aoPoints;

    // CQdRollLane::ChangesAfterStart -- a value is set after tick 0: the
    // lane is more than the track parameters the export puts at tick 0.
    bool ChangesAfterStart() const;
    // The range of the lane's values.
    int GetMinValue() const { return m_eKind == QD_LANE_PITCH_BEND ? -8192 : 0; }
    int GetMaxValue() const { return m_eKind == QD_LANE_PITCH_BEND ? 8191 : 127; }
};

// CQdRollGrid -- time signature, measures and the pattern's length.
struct CQdRollGrid
{
    // The element's; 4/4 for one without ticks per measure (numerator 0).
    CNstTimeSig m_oTimeSig;
    TTICK m_tTicksPerQuarter = NST_TICKS_PER_QUARTER;
    TTICK m_tTicksPerMeasure = NST_TICKS_PER_WHOLE;
    TTICK m_tTicksPerBeat = NST_TICKS_PER_QUARTER;
    // The pattern's length: the tick of the file's end of track.
    TTICK m_tLength = 0;
    // Measures begun within the length (a last measure cut short counts).
    DWORD m_dwMeasures = 0;

    // CQdRollGrid::Locate -- bar, beat (both 1-based) and tick in the beat.
    CSmfBarPosition Locate(TTICK tTick) const;
    // CQdRollGrid::PositionText -- "bar:beat:tick", "1:1:0" for tick 0.
    std::string PositionText(TTICK tTick) const;
    // CQdRollGrid::LoopTick -- where in the pattern a player is that has
    // played lTick ticks of it looping: lTick within the length (a player
    // that starts each pass at tick 0 needs no wrap; one that counts on does).
    // 0 for a negative tick or a roll of length 0.
    TTICK LoopTick(long lTick) const;
};

// CQdRoll -- the roll.
struct CQdRoll
{
    // The chord variation, as the document names it.
    BYTE m_bySe = 0;
    BYTE m_byCv = 0;
    // The track shown alone, or NST_ALL_TRACKS.
    BYTE m_byTrack = 0xFF;
    // The track drawn in full colour while the others are drawn faint, or
    // NST_ALL_TRACKS: all in full colour. The window's roll of a track node
    // shows the whole chord variation with the track picked out this way, so
    // that the track is seen against the others.
    BYTE m_byHighlight = 0xFF;
    CQdRollGrid m_oGrid;
    // In the order of their note-ons in the file: by start tick.
    std::vector<CQdRollNote> m_aoNotes;
    // By track, then in the order the file first sets them.
    std::vector<CQdRollLane> m_aoLanes;
    // Per track, the program its tick-0 program change selects; -1 without.
    int m_aiProgram[NST_NR_TRK] = {-1, -1, -1, -1, -1, -1, -1, -1};
    // Per track, its notes.
    DWORD m_adwNotes[NST_NR_TRK] = {};
    // What the pairing met: note-offs without a sounding note (left out),
    // notes still sounding at the end (ended there), and channel messages on
    // channels of no track (left out). An export gives none of them.
    DWORD m_dwStrayNoteOffs = 0;
    DWORD m_dwNotesEndedAtEnd = 0;
    DWORD m_dwOtherChannels = 0;
};

// QdRollFromSmf -- the roll of the dwSize bytes of an exported MIDI file
// into roRoll (filled afresh), its grid in rkoTimeSig; byTrack as exported
// (NST_ALL_TRACKS or 0-7). False when the file is damaged (the roll then
// holds what came before the damage) or its division is not in ticks.
bool QdRollFromSmf(const BYTE* pkbyFile, DWORD dwSize, const CNstTimeSig& rkoTimeSig, BYTE byTrack,
                   CQdRoll& roRoll);

// QdBuildRoll -- the roll of the chord variation (byTrack NST_ALL_TRACKS)
// or one of its tracks: exported through roEditIfc (which fits the
// patterns' measures in place, as every export does), read back with the
// element's time signature. False when the chord variation is absent or
// the export gives no file (roRoll empty) or one that does not read clean
// (QdRollFromSmf).
bool QdBuildRoll(CNstEditIfc& roEditIfc, BYTE bySe, BYTE byCv, BYTE byTrack, CQdRoll& roRoll);

// QdRollNoteText -- the note as the SVG's <title> and the window's tool tip
// name it: "Bass: E2 (40), velocity 100, start 1:1:0, length 192".
std::string QdRollNoteText(const CQdRollGrid& rkoGrid, const CQdRollNote& rkoNote);

// QdRollLegendText -- a track's legend line: "Bass: 40 notes, Electric
// Bass (finger)" (the voice of its tick-0 program, when it has one).
std::string QdRollLegendText(const CQdRoll& rkoRoll, BYTE byTrack);

// QdRollLaneName -- "Expression (CC 11)", "CC 74", "Pitch bend", "Pressure".
std::string QdRollLaneName(const CQdRollLane& rkoLane);
