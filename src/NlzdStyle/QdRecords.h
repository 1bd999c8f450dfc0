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
#include "NlzdStyle/NstTimeSig.h"

#include <cstdint>
#include <string>
#include <vector>

// Chunk ids of a style's subtree. The style container holds the style info,
// the pattern container and one container per present style element. The
// pattern container holds the pattern info and the pattern chunks, whose id
// is their pattern type + QDI_ID_PATTERN_BASE. An element container holds
// its element info, its track parameters and its chord variations.
inline constexpr BYTE QDI_ID_STYLE = 1;
inline constexpr BYTE QDI_ID_STYLE_INFO = 1;
inline constexpr BYTE QDI_ID_PATTERNS = 2;
inline constexpr BYTE QDI_ID_ELEMENT = 3;
inline constexpr BYTE QDI_ID_PAT_INFO = 1;
inline constexpr BYTE QDI_ID_PATTERN_BASE = 2;
inline constexpr BYTE QDI_ID_ELEM_INFO = 1;
inline constexpr BYTE QDI_ID_TRACK_PARAMS = 2;
inline constexpr BYTE QDI_ID_CHORD_VAR = 3;
// Largest pattern type; the pattern chunk ids are 2 to 4.
inline constexpr BYTE QDI_MAX_PATTERN_TYPE = 2;

// QdPatternChunkId -- the chunk id of a pattern of type byType.
inline constexpr BYTE QdPatternChunkId(BYTE byType)
{
    return BYTE(byType + QDI_ID_PATTERN_BASE);
}
// QdPatternType -- the pattern type of a pattern chunk id.
inline constexpr BYTE QdPatternType(BYTE byChunkId)
{
    return BYTE(byChunkId - QDI_ID_PATTERN_BASE);
}
// QdIsPatternChunkId -- the id of a pattern chunk (types 0 to
// QDI_MAX_PATTERN_TYPE).
inline constexpr bool QdIsPatternChunkId(BYTE byId)
{
    return byId >= QDI_ID_PATTERN_BASE && byId <= QdPatternChunkId(QDI_MAX_PATTERN_TYPE);
}

// Signature byte of the element info: numerator in bits 7-3, denominator
// exponent in bits 2-0. The largest time signature parts it holds:
inline constexpr BYTE QDI_SIG_MAX_NUMERATOR = 31;
inline constexpr BYTE QDI_SIG_MAX_DENOM_EXP = 7;

// QdSignatureFits -- the signature byte holds the time signature whole.
inline constexpr bool QdSignatureFits(const CNstTimeSig& rkoTimeSig)
{
    return rkoTimeSig.m_byNumerator <= QDI_SIG_MAX_NUMERATOR && rkoTimeSig.m_byDenomExp <= QDI_SIG_MAX_DENOM_EXP;
}
// QdSignatureByte -- the signature byte of a time signature; parts beyond
// QdSignatureFits lose their high bits.
inline constexpr BYTE QdSignatureByte(const CNstTimeSig& rkoTimeSig)
{
    return BYTE((rkoTimeSig.m_byNumerator << 3) | (rkoTimeSig.m_byDenomExp & QDI_SIG_MAX_DENOM_EXP));
}
// QdTimeSigOfSignatureByte -- the time signature a signature byte holds.
inline constexpr CNstTimeSig QdTimeSigOfSignatureByte(BYTE bySignature)
{
    return CNstTimeSig{BYTE(bySignature >> 3), BYTE(bySignature & QDI_SIG_MAX_DENOM_EXP)};
}

// Largest number of CV patterns one chord variation may reference.
inline constexpr int MA_MAX_CVPATTERNS = 64;
// Number of tracks whose parameters an element holds.
inline constexpr int QDI_NR_TRACKS = 8;
// Bytes of one track's parameters.
inline constexpr int QDI_TRACK_PARAM_SIZE = 6;

// Style info (QDI_ID_STYLE_INFO of the style): name, per-track mode and flag bits,
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
    // PatInfoData::SizeFor -- the size of a record of qwRefs references.
    static std::uint64_t SizeFor(std::uint64_t qwRefs) { return 4 + 2 * qwRefs; }
};

// Style element info (chunk id 1 of an element): chord variation mask,
// element mode byte, time signature byte, chord-to-CV table.
struct StyleElementInfoData
{
    BYTE m_byCvMask = 0;
    BYTE m_byMode = 0;
    BYTE m_bySignature = 0;      // QdSignatureByte of the element's time signature
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
