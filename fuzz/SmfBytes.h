// SmfBytes.h -- small hand-made Standard MIDI Files for the MIDI import
// target and its seeds: a format-0 file around track bytes written out by
// hand (deltas and events as they lie in the file).
#pragma once

#include "Base/QdTypes.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace QdFuzz {

// SmfFile -- "MThd" (format 0, one track, wDivision ticks per quarter) and
// one "MTrk" chunk holding the track bytes as given.
inline std::vector<BYTE> SmfFile(WORD wDivision, const std::vector<BYTE>& rkabyTrack)
{
    // Sized once and copied into: gcc 12 takes the growth of this vector
    // by insert for a write out of bounds (-Warray-bounds).
    const BYTE kabyHeaders[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, BYTE(wDivision >> 8), BYTE(wDivision),
                                'M', 'T', 'r', 'k', 0, 0, 0, 0};
    std::vector<BYTE> aby(sizeof kabyHeaders + rkabyTrack.size());
    std::copy(std::begin(kabyHeaders), std::end(kabyHeaders), aby.begin());
    QdWriteBE32(&aby[sizeof kabyHeaders - 4], DWORD(rkabyTrack.size()));
    std::copy(rkabyTrack.begin(), rkabyTrack.end(), aby.begin() + sizeof kabyHeaders);
    return aby;
}

// Track bytes of a two-beat pattern on the drum channel (9) and the bass
// channel (8): tempo, time signature, program, notes, end of track.
inline std::vector<BYTE> DrumAndBassTrack()
{
    return {
        0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,       // tempo 120
        0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, // 4/4
        0x00, 0xC8, 0x20,                               // bass program
        0x00, 0x99, 0x24, 0x64,                         // kick
        0x00, 0x98, 0x28, 0x50,                         // bass note
        0x83, 0x00, 0x89, 0x24, 0x40,                   // 384 later: kick off
        0x00, 0x88, 0x28, 0x40,                         // bass off
        0x00, 0x99, 0x26, 0x64,                         // snare
        0x83, 0x00, 0x89, 0x26, 0x40,
        0x00, 0xFF, 0x2F, 0x00,
    };
}

} // namespace QdFuzz
