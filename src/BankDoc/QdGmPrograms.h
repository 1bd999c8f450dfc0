// QdGmPrograms.h -- the voices a track's program number selects, in words:
// the 128 General MIDI program names, and "drum kit" for the Drum and
// Percussion tracks, whose program selects a kit rather than an instrument;
// and on those two tracks what each key plays, the General MIDI drum names.
//
// One table for every front end: qdstyle shows the names (show --tracks,
// set-track) and takes them (set-track --program NAME), the window can show
// them beside its track parameters. Program numbers are the bytes the bank
// and a MIDI program change hold, 0-127 (General MIDI counts the same
// voices 1-128: program 0 is the Acoustic Grand Piano).
#pragma once

#include "Base/QdTypes.h"

#include <string>
#include <vector>

inline constexpr int QD_GM_PROGRAMS = 128;

// QdGmProgramName -- the General MIDI name of a program ("Electric Bass
// (finger)" for 33); "" for a number above 127.
const char* QdGmProgramName(BYTE byProgram);

// QdIsDrumTrack -- Drum and Percussion: their program selects a drum kit.
bool QdIsDrumTrack(BYTE byTrack);

// The keys the General MIDI percussion map names.
inline constexpr BYTE QD_GM_FIRST_DRUM = 35;
inline constexpr BYTE QD_GM_LAST_DRUM = 81;

// QdGmDrumName -- the General MIDI name of a drum key ("Bass Drum 1" for
// 36); "" outside keys 35-81, which the map leaves to each kit.
const char* QdGmDrumName(BYTE byKey);

// QdVoiceName -- what the program plays on the track: "drum kit" on the
// Drum and Percussion tracks, else the General MIDI name.
std::string QdVoiceName(BYTE byTrack, BYTE byProgram);

// QdFindGmProgram -- the program a name gives: a General MIDI name, any
// letter case, blanks around it ignored, either whole or as the start of
// exactly one name ("fretless" is Fretless Bass). A whole name wins over
// the longer names it begins ("Flute" is not ambiguous). Returns the
// program, or -1 when the name gives none; for a start shared by several
// names raastrCandidates gets those names (else it is emptied).
int QdFindGmProgram(const std::string& rkstrName, std::vector<std::string>& rastrCandidates);
