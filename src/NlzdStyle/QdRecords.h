// QdRecords.h -- the records of a style's chunks, parsed into plain
// structures and written back, one set of functions per record.
//
// All multi-byte fields are big-endian. Parse reads only the given bytes and
// refuses a record that does not fit them; Size gives the written size and
// Write writes exactly that many bytes into a buffer that must hold them
// (it refuses a smaller one). No record owns chunk memory: event data of a
// chord variation point into the chunk they were parsed from.
#pragma once

#include "Base/QdTypes.h"

#include <string>
#include <vector>

// Largest number of CV patterns one chord variation may reference.
inline constexpr int MA_MAX_CVPATTERNS = 64;
// Number of tracks whose parameters an element holds.
inline constexpr int QDI_NR_TRACKS = 8;
// Bytes of one track's parameters.
inline constexpr int QDI_TRACK_PARAM_SIZE = 6;

// Style info (chunk id 1 of the style): name, per-track mode and flag bits,
// element presence mask.
struct StyleInfoData
{
    std::string m_strName;   // at most 255 characters, no terminator stored
    WORD m_wTrackModes = 0;  // 2 bits per track, track 0 in bits 0-1
    BYTE m_byTrackFlags = 0; // 1 bit per track, track 0 in bit 0
    WORD m_wElementMask = 0; // bit i: style element i present

    bool Parse(const BYTE* pbyData, DWORD dwLength);
    DWORD Size() const;
    DWORD Write(BYTE* pbyData, DWORD dwCapacity) const;
};

// Pattern info (chunk id 1 of the pattern container): pattern count and the
// table of 1-based pattern positions, one per CV pattern reference.
struct PatInfoData
{
    WORD m_wTotalPatterns = 0;
    WORD m_wTotalCvPatterns = 0;
    std::vector<WORD> m_awRefs; // m_wTotalCvPatterns entries

    bool Parse(const BYTE* pbyData, DWORD dwLength);
    DWORD Size() const;
    DWORD Write(BYTE* pbyData, DWORD dwCapacity) const;
};

// Style element info (chunk id 1 of an element): chord variation mask,
// element mode byte, time signature byte, chord-to-CV table.
struct StyleElementInfoData
{
    BYTE m_byCvMask = 0;
    BYTE m_byMode = 0;
    BYTE m_bySignature = 0;      // numerator << 3 | denominator exponent
    BYTE m_byCVTabLength = 0;
    std::vector<BYTE> m_abyChordTable; // m_byCVTabLength entries

    bool Parse(const BYTE* pbyData, DWORD dwLength);
    DWORD Size() const;
    DWORD Write(BYTE* pbyData, DWORD dwCapacity) const;
};

// Track parameters (chunk id 2 of an element): 8 records of expression, bank
// select MSB, bank select LSB, program and two carried note numbers.
struct TrackParamData
{
    BYTE m_aabyParams[QDI_NR_TRACKS][QDI_TRACK_PARAM_SIZE] = {};

    bool Parse(const BYTE* pbyData, DWORD dwLength);
    DWORD Size() const { return QDI_NR_TRACKS * QDI_TRACK_PARAM_SIZE; }
    DWORD Write(BYTE* pbyData, DWORD dwCapacity) const;
};

// One CV pattern of a chord variation: the pattern type and the track it plays.
struct CvPatInfo
{
    BYTE m_byType = 0;
    BYTE m_byTrack = 0;

    bool operator==(const CvPatInfo&) const = default;
};

// Chord variation data (chunk id 3 of an element): length, the chord
// variation's own marker events, and its CV patterns.
struct ChordVarData
{
    DWORD m_dwTotalTicks = 0;
    DWORD m_dwEventsDim = 0;
    const BYTE* m_pbyEvents = nullptr; // inside the parsed chunk; not owned
    DWORD m_dwNrEvents = 0;            // counted on request, end event included
    BYTE m_byNrPatterns = 0;
    std::vector<CvPatInfo> m_poCvPatInfo; // m_byNrPatterns entries

    // bCountEvents decodes the event data to fill m_dwNrEvents.
    bool Parse(const BYTE* pbyData, DWORD dwLength, bool bCountEvents);
    DWORD Size() const;
    DWORD Write(BYTE* pbyData, DWORD dwCapacity) const;
};

// QdCountEvents -- number of events of a compact stream, its end event
// included (0 for an empty block).
DWORD QdCountEvents(const BYTE* pbyData, DWORD dwLength);
