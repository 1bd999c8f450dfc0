// QdCopyPart.h -- copying musical content between styles: a whole style
// over another, a style element over an element, or a chord variation over
// a chord variation, all tracks or some, within a bank or between two.
//
// The copy works on the normalized style with its own CopyFrom and
// CopyTracksFrom (NlzdStyle.h), which judge whether a destination element
// or chord variation is empty once, before anything of it changes, and
// repair an element's chord table once, after all its chord variations;
// CQdBankDoc::CopyPart puts it into the open style of the document, from
// any other edit interface: the open style of a second document (another
// bank, opened only to be read), or a copy of a style of this one
// (CQdBankDoc::CopyOfStyle), which also serves a copy within one style.
//
// What a copy takes:
// - Without a track choice the destination part becomes the source part.
//   A whole style takes every element and the track modes and flags (its
//   name stays its own); elements the source lacks are deleted. An element
//   takes every chord variation, its time signature, mode, chord table and
//   the track parameters; chord variations the source lacks are deleted. A
//   chord variation takes all its tracks, its length and its markers; the
//   element around it takes the source element's settings only when it
//   held no events (CNstStyleElem::CopyTracksFrom).
// - With a track choice only those tracks change: each chord variation of
//   the source part gives them to the destination's of the same number
//   (created when absent), and in a destination chord variation that the
//   source part lacks they are cleared; nothing else is deleted. A whole
//   style also takes the chosen tracks' modes and flags, and an element
//   copy the chosen tracks' parameters (the voice belongs to the track's
//   patterns of the whole element); a chord variation takes the element's
//   parameters only into an element that held no events. A destination
//   chord variation that holds events keeps its length, so the source
//   chord variation's length must divide it (the tracks repeat in it);
//   otherwise the copy is refused rather than cut the tracks. It keeps its
//   length, time signature and markers also when all its events lay in
//   the chosen tracks, and so does an element its settings.
// - A destination style that held no events takes the source's track
//   modes and flags of all eight tracks, whatever part is copied.
// - A destination element that holds events keeps its time signature, so
//   a source of another time signature is refused with a message before
//   anything changes: a 3/4 part does not go into a 4/4 element silently.
//
// A chord variation copied beyond what its element keeps in the bank (a
// Variation 6, the others 2) is copied, but the write-back leaves it out;
// the report names it (CQdCopyReport::m_astrLeftOut).
//
// New styles in empty slots are not made: what the bank holds in an empty
// slot beyond what the tool reads is unknown, and a bank the instrument
// rejects is worse than none.
#pragma once

#include "Base/QdTypes.h"
#include "NlzdStyle/NlzdStyle.h"

#include <string>
#include <vector>

// CQdPart -- what a copy takes or replaces: a whole style (m_bySe at or
// beyond NST_NR_STE), an element (m_byCv at or beyond NST_NR_CV), or a
// chord variation.
struct CQdPart
{
    BYTE m_bySe = NST_NR_STE;
    BYTE m_byCv = NST_NR_CV;

    bool IsStyle() const { return m_bySe >= NST_NR_STE; }
    bool IsElement() const { return !IsStyle() && m_byCv >= NST_NR_CV; }
    bool IsChordVar() const { return !IsStyle() && m_byCv < NST_NR_CV; }
};

// CQdCopyRequest -- source part, destination part (of the same kind), the
// tracks (bit n: track n) and the source style's name for the messages.
struct CQdCopyRequest
{
    CQdPart m_oFrom;
    CQdPart m_oTo;
    BYTE m_byTracks = NST_ALL_TRACKS_MASK;
    std::string m_strSourceName;
};

// What happened to one chord variation of the destination.
enum EQdCopyStep : BYTE
{
    QD_COPY_COPIED = 0, // it took the source chord variation (the chosen tracks)
    QD_COPY_DELETED,    // the source part lacks it: deleted with the rest of the part
    QD_COPY_CLEARED,    // the source part lacks it: the chosen tracks cleared
};

struct CQdCopyStep
{
    EQdCopyStep m_eStep = QD_COPY_COPIED;
    BYTE m_bySeFrom = 0; // the source chord variation (the one it lacks for the others)
    BYTE m_byCvFrom = 0;
    BYTE m_bySeTo = 0;   // the destination chord variation
    BYTE m_byCvTo = 0;
};

// CQdCopyReport -- the steps in destination order, the tracks copied, and
// what the write-back will leave out: copied chord variations that hold
// events beyond what their element keeps (CNstQdIfc::ChordVarLimit), one
// line per element, "left out: v1cv4, v1cv5 (Ending 1 holds 2)", the
// source chord variations by name.
struct CQdCopyReport
{
    std::vector<CQdCopyStep> m_aoSteps;
    BYTE m_byTracks = NST_ALL_TRACKS_MASK;
    std::vector<std::string> m_astrLeftOut;
};

// QdChordVarName -- a chord variation's standard name ("v2cv3"), or, for
// one beyond its element's standard names, "<element> chord variation n".
std::string QdChordVarName(BYTE bySe, BYTE byCv);
