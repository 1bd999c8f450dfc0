// DemoStyles.h -- the musical content of the demo bank: a handful of styles,
// each a set of chord variations written as Standard MIDI Files.
//
// Chord variations follow the instrument's convention: patterns are written
// in C, chord variation 1 for major chords, 2 for minor, 3 for seventh
// chords. Drum and percussion parts are the same for every chord type, so
// the bank shares their patterns; long grooves repeat phrases, so the bank
// stores them as shared sub-patterns.
#pragma once

#include "Base/QdTypes.h"

#include <string>
#include <vector>

// One chord variation: element and chord variation (0-based) and its file.
struct CDemoChordVar
{
    BYTE m_bySe;
    BYTE m_byCv;
    std::vector<BYTE> m_abySmf;
};

struct CDemoStyle
{
    std::string m_strName;
    std::vector<CDemoChordVar> m_aoChordVars;
};

// DemoStyleCount -- the number of demo styles.
int DemoStyleCount();

// DemoStyle -- demo style iIndex (0 .. DemoStyleCount() - 1), its chord
// variations in element and chord-variation order.
CDemoStyle DemoStyle(int iIndex);
