// QdImportReport.h -- what the import of one MIDI file did: where it went,
// what the chord variation holds now, and what of the file was left out.
//
// The import commands give one report per file to the prompt when they end
// (CQdDocPrompt::ShowImportReports): qdstyle prints a line per imported file
// (QdImportReportLine), the desktop shows them after the import. What was
// left out is counted by the import itself (CNstImportStats): events on
// channels that no track takes, events past the 16-measure cut, notes beyond
// the 64 the encoder holds at once, the file's tick-0 parameters that an
// element holding events does not take, a time signature that differs from
// the element's (which stays), and for a damaged file imported in part the
// damage after which nothing was read.
#pragma once

#include "Base/QdTypes.h"

#include <array>
#include <string>

enum EQdImportOutcome : BYTE
{
    QD_IMPORT_REFUSED = 0, // nothing changed; m_strCause says why (told already)
    QD_IMPORT_SKIPPED,     // the user chose to skip it ("Skip CV"): nothing changed
    QD_IMPORT_DONE,        // the file went in
    QD_IMPORT_PARTIAL,     // a damaged file's part before its damage went in; m_strCause names the damage
};

struct CQdImportReport
{
    std::string m_strPath;
    EQdImportOutcome m_eOutcome = QD_IMPORT_REFUSED;
    std::string m_strCause;

    // Where it went: the standard name's index (-1 while none is known),
    // and the tracks it replaced there (bits; all eight: the whole chord
    // variation).
    int m_iChordVar = -1;
    BYTE m_byTracks = 0xFF;

    // What the chord variation holds now.
    int m_iMeasures = 0;
    std::array<DWORD, 8> m_adwNotes{};

    // What was left out (CNstImportStats): events per channel (0-based)
    // without a track, events past the cut, notes beyond the 64 held, and
    // the tracks (bits) whose tick-0 parameters in the file were not taken.
    std::array<DWORD, 16> m_adwNoTrack{};
    DWORD m_dwPastCut = 0;
    DWORD m_dwNotesNotHeld = 0;
    BYTE m_byParamsKept = 0;
    // The tracks of m_byTracks the file gave nothing for: they stayed as
    // they were.
    BYTE m_byTracksKept = 0;
    // The chord variation holds no events after the import (a file whose
    // events on the tracks' channels are none a pattern holds, such as a
    // volume change alone; setup at tick 0 keeps a chord variation): the
    // bank keeps no chord variation without events, so it goes when the
    // style is written back.
    bool m_bNoEvents = false;

    // The file's time signature at tick 0, when it has one, and the
    // element's, which the chord variation follows.
    bool m_bFileTimeSig = false;
    BYTE m_byFileNumerator = 0;
    BYTE m_byFileDenomExp = 0;
    BYTE m_byNumerator = 4;
    BYTE m_byDenomExp = 2;

    // The file's tempo at tick 0 in beats per minute (0: none), and the
    // open style's tempo after the import, which its exports use (the
    // desktop's playback sets its own); a bank holds no tempo.
    int m_iFileTempo = 0;
    int m_iTempo = 0;

    bool IsImported() const { return m_eOutcome == QD_IMPORT_DONE || m_eOutcome == QD_IMPORT_PARTIAL; }
    // CQdImportReport::TimeSigDiffers -- the file's time signature is not the element's.
    bool TimeSigDiffers() const;
    // CQdImportReport::HasLosses -- something of an imported file was left
    // out, or a track it was to replace stayed.
    bool HasLosses() const;
};

// QdImportReportLine -- an imported file's report as one line: "v1cv1, 4
// measures, notes: Drum 32, Bass 8; left out: 3 events on channel 1 (no
// track), ...", for a file that replaced some tracks "v1cv1 (Bass), ..."
// with the tracks it did not hold ("; kept: Drum (nothing for it in the
// file)"). Without the path and the tempo, which each front end words for
// itself (QdImportTempoText).
std::string QdImportReportLine(const CQdImportReport& rkoReport);

// QdTimeSigText -- "3/4" from the numerator and the denominator's exponent.
std::string QdTimeSigText(BYTE byNumerator, BYTE byDenomExp);

// QdImportTempoText -- the desktop's words for the tempo: which tempo the
// open style's export uses after the import of a file that holds one;
// empty for a file without a tempo.
std::string QdImportTempoText(const CQdImportReport& rkoReport);
