// NstEditIfc.h -- the style edit interface: the one object through which the
// main window works on the selected style.
//
// CNstEditIfc owns the style (a CNstQdIfc) and the tempo. It is built from a
// style container's chunk data (a style in flat or stored form), answers the
// questions of the element view, deletes elements and chord variations,
// renames the style, moves chord variations to and from Standard MIDI Files
// and turns the style back into bank chunk data.
//
// Chord variations and MIDI events (ExportChordVar, ImportChordVar): a chord
// variation's tracks go out on the MIDI channels of a track-to-channel table
// (NST_TRACK_CHANNELS: Drum 9, Percussion 10, Bass 8, Acc. 1 to Acc. 5 11 to
// 15, 0-based), with the element's time signature, the tempo and each
// track's parameters (Expression, bank select MSB and LSB, program) as
// events at tick 0; an import takes them back from tick 0 when the element
// holds no events yet, and splits the channels into the tracks' patterns.
//
// Blocks handed out: ExportToSmf and BuildBankData return a newly allocated
// block that the caller owns from then on (std::unique_ptr<BYTE[]>), with
// its size in bytes; a null block has size 0.
//
// Indices: every element, chord variation and track number coming from the
// caller is checked; a number beyond its limit is reported (by the model:
// "bySeNr < NST_NR_STE", "byCvNr < NST_NR_CV", "byPNr < NST_NR_TRK") and the
// operation refuses: queries give 0, changes change nothing.
//
// Reports of the export go out under the source NlzdStyle/NlzdStyle, those of
// the import and of the edit interface itself under NlzdStyle/NstEditIfc.
#pragma once

#include "Base/QdTypes.h"
#include "MemCoder/PatMerge.h"
#include "NlzdStyle/NlzdStyle.h"

#include <algorithm>
#include <iterator>
#include <memory>

class CDecBase;
class CEncoderBase;
class CNstQdIfc;

// Track-to-channel table of the export and import (0-based MIDI channels).
inline constexpr BYTE NST_TRACK_CHANNELS[NST_NR_TRK] = {9, 10, 8, 11, 12, 13, 14, 15};
// A track number that stands for all tracks of a chord variation.
inline constexpr BYTE NST_ALL_TRACKS = 255;
// Tempo of a new edit interface, in beats per minute.
inline constexpr SDWORD NST_DEFAULT_TEMPO = 120;
// Lowest tempo the export writes as a Set Tempo event.
inline constexpr SDWORD NST_MIN_EXPORT_TEMPO = 20;
// An import takes at most this many measures of a file.
inline constexpr TTICK NST_IMPORT_MAX_MEASURES = 16;

// Element, chord variation and pattern states of the queries.
inline constexpr int NST_STATE_ABSENT = 0;
inline constexpr int NST_STATE_EMPTY = 1;
inline constexpr int NST_STATE_EVENTS = 2;

// CStyleMsgFilter -- the import's filter: drops Expression (control change
// 11) at tick 0, which the import takes into the track parameters instead,
// and every channel message at or after tEndTick: the un-merge still takes
// the list at its maximum tick, which is the first tick of the measure after
// the import's last one, and a note starting there would be cut to nothing.
// Keeps every other channel message.
class CStyleMsgFilter : public CFilterOut
{
public:
    explicit CStyleMsgFilter(TTICK tEndTick = 0xFFFFFFFF) : m_tEndTick(tEndTick) {}
    bool IsFilteredOut(const CEvent& rkoEvent, TTICK tTick) override;

private:
    TTICK m_tEndTick;
};

// CNstImportStats -- what an import of all tracks stored, and what of the
// stream it left out. "Events" are channel messages other than note-offs:
// a note counts once, by its note-on, and a note held across the cut, which
// the import ends at the cut, is not counted as left out.
struct CNstImportStats
{
    // Notes stored in each track's pattern.
    DWORD m_adwNotes[NST_NR_TRK] = {};
    // Events before the cut on channels that no imported track takes, per
    // channel (0-based).
    DWORD m_adwNoTrack[PM_NR_CHANNELS] = {};
    // Events at or after the cut (NST_IMPORT_MAX_MEASURES), on any channel.
    DWORD m_dwPastCut = 0;
    // Notes the note tracer refused because 64 were held at once.
    DWORD m_dwNotesNotHeld = 0;
    // Bit per track: the stream's tick-0 parameters of the track differ from
    // the element's, which the element kept because it held events.
    BYTE m_byParamsKept = 0;
    // Bit per chosen track of a track-limited import that the stream gave
    // nothing to store: its pattern stayed as it was.
    BYTE m_byTracksKept = 0;
    // The chord variation's measures after the import.
    BYTE m_byMeasures = 0;
};

// CNstPatternCounts -- what a stored pattern holds, counted as
// CNstImportStats counts: notes, and events (channel messages other than
// note-offs, a note once).
struct CNstPatternCounts
{
    DWORD m_dwNotes = 0;
    DWORD m_dwEvents = 0;
};

// NstCountPattern -- one pass over the pattern's stream: its own measures,
// not repeated to the chord variation's length as an export repeats it.
// Damaged data are counted as far as the decoder reads them.
CNstPatternCounts NstCountPattern(const CNstPattern& rkoPattern);

// CNstImportOptions -- what ImportChordVar takes from a stream and where it
// puts it.
//
// A track-limited import (m_byPNr NST_ALL_TRACKS, m_byTracks not all eight)
// replaces the chosen tracks of a chord variation and nothing else, so that
// a track exported alone comes back in its place and the tracks of several
// files can go into one chord variation:
//   - only the chosen tracks' channels are read; the events of the others
//     are left out (counted as events without a track);
//   - a chosen track the stream gives nothing to store keeps its pattern
//     (CNstImportStats::m_byTracksKept): a track is never deleted by a
//     file that does not hold it;
//   - the chord variation's other tracks, its meta pattern (markers) and
//     its length stay; only a longer stream lengthens it to the stream's
//     measures, over which the shorter patterns repeat as they do in an
//     export (m_bFitLength and m_bWithMeta do not apply);
//   - a stored track keeps the stream's own measures, rounded up to a
//     divisor of the chord variation's with silence (as FitPatternMeasures
//     rounds), so a track exported alone (its own measures) comes back as
//     it was, and a shorter one repeats over the chord variation;
//   - the tick-0 parameters of a chosen track come from the stream when no
//     chord variation of the element holds events on that track yet, or
//     with m_bTakeParams; the element's time signature only changes when
//     the element holds no events at all, as for a whole chord variation.
struct CNstImportOptions
{
    CNstImportOptions() { std::copy(std::begin(NST_TRACK_CHANNELS), std::end(NST_TRACK_CHANNELS), m_abyChannels); }

    // The track to import, or NST_ALL_TRACKS (any number from NST_NR_TRK on).
    BYTE m_byPNr = NST_ALL_TRACKS;
    // With NST_ALL_TRACKS: the tracks to import, bit n for track n; fewer
    // than all make a track-limited import (above). None imports nothing.
    BYTE m_byTracks = NST_ALL_TRACKS_MASK;
    // A track-limited import: every stored track takes the stream's tick-0
    // parameters, also where the element holds events on it (the answer
    // "Initialize", which for a whole chord variation deletes it first).
    bool m_bTakeParams = false;
    // Track-to-channel table: channel c goes to the track whose entry is c.
    // (NST_TRACK_CHANNELS unless the caller says otherwise).
    BYTE m_abyChannels[NST_NR_TRK];
    // Every channel goes to track m_byPNr instead ("byPNr < 8 ||
    // !bFromAnyTrack").
    bool m_bFromAnyTrack = false;
    // With all tracks, the chord variation's meta pattern too.
    bool m_bWithMeta = false;
    // The chord variation's length follows the file, and shorter tracks are
    // padded with silence.
    bool m_bFitLength = true;
    // When given (all tracks or some, not one by m_byPNr), the import
    // counts into it what it stored and left out; what it stores is the
    // same either way.
    CNstImportStats* m_poStats = nullptr;
};

class CNstEditIfc
{
public:
    // CNstEditIfc::CNstEditIfc -- tempo 120 and the style of dwLength bytes
    // of style container chunk data (a stored-form style is flattened first);
    // without data (null or 0 bytes) the empty "New Style". The data are
    // copied and stay the caller's. Damaged data load as far as they safely
    // can; what was found is reported.
    CNstEditIfc(const BYTE* pkbyChunkData, DWORD dwLength);
    ~CNstEditIfc();
    CNstEditIfc(const CNstEditIfc&) = delete;
    CNstEditIfc& operator=(const CNstEditIfc&) = delete;

    // CNstEditIfc::Clone -- a new edit interface with the same tempo and a
    // deep copy of the style (CNstStyle::CopyFrom of everything; chord
    // tables come repaired, as the bank writer would make them anyway),
    // which a caller keeps to put back should an edit not complete.
    std::unique_ptr<CNstEditIfc> Clone() const;

    // Tempo in beats per minute, used by the export.
    SDWORD GetTempo() const { return m_sdwTempo; }
    void SetTempo(SDWORD sdwTempo) { m_sdwTempo = sdwTempo; }

    // The style itself, for whole-style operations of the main window.
    CNstQdIfc& GetStyle() { return *m_poStyle; }
    const CNstQdIfc& GetStyle() const { return *m_poStyle; }

    // CNstEditIfc::GetStyleElemState -- 0 absent, 1 present but empty, 2
    // holding events.
    int GetStyleElemState(BYTE bySeNr) const;
    // CNstEditIfc::GetChordVarState -- the same for a chord variation; 0 also
    // when its element is absent. Creates nothing.
    int GetChordVarState(BYTE bySeNr, BYTE byCvNr) const;
    // CNstEditIfc::GetPatternState -- 0 when the chord variation is absent or
    // the pattern not in use, 1 in use but empty, 2 holding events. Creates
    // nothing.
    int GetPatternState(BYTE bySeNr, BYTE byCvNr, BYTE byPNr) const;
    // CNstEditIfc::GetPackedSignature -- the element's time signature in its
    // display code; creates the element when absent.
    BYTE GetPackedSignature(BYTE bySeNr);
    // CNstEditIfc::GetMeasures -- the chord variation's number of measures;
    // creates element and chord variation when absent.
    BYTE GetMeasures(BYTE bySeNr, BYTE byCvNr);
    // CNstEditIfc::GetPatternAttribute -- the pattern's first attribute byte;
    // creates element and chord variation and puts the pattern in use.
    BYTE GetPatternAttribute(BYTE bySeNr, BYTE byCvNr, BYTE byPNr);
    // CNstEditIfc::GetName -- copies at most iMaxLength characters of the
    // style name and a terminating zero (pszBuffer holds iMaxLength + 1).
    void GetName(char* pszBuffer, int iMaxLength) const;
    // CNstEditIfc::SetName -- takes at most 31 characters.
    void SetName(const char* pszName);

    // No effect when absent.
    void DeleteStyleElem(BYTE bySeNr);
    void DeleteChordVar(BYTE bySeNr, BYTE byCvNr);

    // CNstEditIfc::ExportToSmf -- the chord variation (byPNr 8 or more: all
    // tracks and the meta pattern) or one of its tracks as a complete
    // format-0 Standard MIDI File, in a new block for the caller; its size
    // in rdwSize. Null and 0 when an index is refused or the file could not
    // be written.
    std::unique_ptr<BYTE[]> ExportToSmf(BYTE bySeNr, BYTE byCvNr, BYTE byPNr, DWORD& rdwSize);

    // CNstEditIfc::ImportFromSmf -- replaces the chord variation (byPNr 8 or
    // more: all tracks and the meta pattern) or one of its tracks with the
    // dwSize bytes of a MIDI file; a tempo found at tick 0 becomes the
    // tempo. False, with the style unchanged, when the file's header is not
    // accepted; true otherwise, whatever the decoding of the track found.
    bool ImportFromSmf(const BYTE* pkbyFile, DWORD dwSize, BYTE bySeNr, BYTE byCvNr, BYTE byPNr, bool bFromAnyTrack);

    // CNstEditIfc::BuildBankData -- the style as bank chunk data (its style
    // container) in a new block of exactly rdwSize bytes for the caller; with
    // bMakeMarkers in the instrument's stored form (identical patterns
    // shared, long ones split into sub-patterns with markers). Tidies the
    // style as the writer does. Null and 0 when the writer fails.
    std::unique_ptr<BYTE[]> BuildBankData(bool bMakeMarkers, DWORD& rdwSize);

    // CNstEditIfc::ExportChordVar -- writes the chord variation (byPNr 8 or
    // more: all tracks; bWithMeta also its meta pattern) or one track to the
    // open roEncoder: at tick 0 the Set Tempo (tempo 20 or more), the time
    // signature and the parameters of each track in use, then the patterns,
    // each track on its channel of rkabyChannels, lengthened by repetition
    // and cut to its measures, and the end of track. The encoder is closed.
    // A missing chord variation or pattern is created. False when an index is
    // refused (the encoder is then closed on an empty track).
    bool ExportChordVar(CEncoderBase& roEncoder, bool bWithMeta, BYTE bySeNr, BYTE byCvNr, BYTE byPNr,
                        const BYTE (&rkabyChannels)[NST_NR_TRK], SDWORD sdwTempo);

    // CNstEditIfc::ImportChordVar -- the events of roDecoder (rewound here)
    // become the chord variation's patterns, at most 16 measures of them,
    // as rkoOptions say (CNstImportOptions). When the element holds no
    // events yet, the tick-0 time signature and track parameters of the file
    // become the element's. Returns the tempo found at tick 0, or -1. With
    // m_poStats the import of all tracks also says what it stored and what
    // it left out (CNstImportStats); the tick-0 reading and the lists beyond
    // the cut then take extra passes over the decoder. A stream that gives
    // the imported tracks (all, or those of a track-limited import) nothing
    // for their patterns but has setup at tick 0 for some of them (program
    // change, bank select, expression: what an export writes for a track in
    // use that plays nothing) still puts those tracks in use, each with a
    // pitch bend at the centre at tick 0 that sounds like nothing, and
    // gives them the setup as their parameters where it gives any: the
    // chord variation stays one (the bank keeps none without events).
    SDWORD ImportChordVar(CDecBase& roDecoder, BYTE bySeNr, BYTE byCvNr, const CNstImportOptions& rkoOptions);

    // CNstEditIfc::FitPatternMeasures -- sets the measures of a pattern in
    // use to a divisor of the chord variation's, starting from byTrLength (at
    // least 1: "*pkbyTrLength > 0", else nothing changes) and moving in the
    // direction of the change: a request at or above the chord variation's
    // measures gives them, a request below the pattern's rounds down, any
    // other request rounds up. Returns the pattern's measures; 0, with
    // nothing created, for an absent chord variation, a pattern not in use
    // or a refused index.
    BYTE FitPatternMeasures(BYTE bySeNr, BYTE byCvNr, BYTE byPNr, BYTE byTrLength);

private:
    SDWORD m_sdwTempo;
    std::unique_ptr<CNstQdIfc> m_poStyle;
};
