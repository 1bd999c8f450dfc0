// StyleBuilder.h -- test fixtures: a style's chunk subtree assembled from a
// description, byte by byte, the way the instrument stores it. Flat forms
// (one pattern chunk per CV pattern, one start marker per position at tick
// 0) and stored forms (shared patterns, track groups switching at start
// markers, end markers, short patterns) are described the same way: the test
// says which pattern chunks exist, which 1-based pattern each CV pattern
// references, and what the chord variations' marker events are.
#pragma once

#include "NlzdStyle/QdRecords.h"
#include "PropStreams.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace StyleBuilder {

typedef std::vector<BYTE> Bytes;

// MakeCompactStream -- the events (in tick order) encoded as a compact stream
// whose end of track lies at tEnd. Events of one tick and class form one group.
Bytes MakeCompactStream(const std::vector<CEvRec>& raoEvents, TTICK tEnd);

// Marker meta events of a chord variation.
inline CEvRec StartMarker(TTICK tTick, BYTE byPosition) { return CEvRec::Meta(tTick, 0x7E, {3, byPosition, 0, 0}); }
inline CEvRec EndMarker(TTICK tTick, BYTE byPosition) { return CEvRec::Meta(tTick, 0x7E, {4, byPosition}); }
inline CEvRec KeptMarker(TTICK tTick, std::vector<BYTE> abyRest)
{
    abyRest.insert(abyRest.begin(), 2);
    return CEvRec::Meta(tTick, 0x7E, std::move(abyRest));
}

// A note with duration on track 0, as the compact decoder delivers it.
inline CEvRec Note(TTICK tTick, BYTE byKey, DWORD dwDuration, BYTE byVelocity = 100)
{
    return CEvRec::Note(tTick, 0, byKey, byVelocity, 64, dwDuration);
}

struct CTestPattern
{
    BYTE m_byChunkId = 2;   // pattern type + 2
    DWORD m_dwTicks = 1536;
    Bytes m_abyEvents;      // compact stream
    BYTE m_byAttr1 = 0;     // written only for chunk ids 3 and 4
    BYTE m_byAttr2 = 0;
    BYTE m_byParam2 = 0;    // chunk header parameter byte
};

struct CTestChordVar
{
    DWORD m_dwTicks = 1536;
    Bytes m_abyEvents;                // marker events, compact stream
    std::vector<CvPatInfo> m_aoPatterns;
};

struct CTestElement
{
    BYTE m_byMode = 1;
    BYTE m_bySignature = 0x22;        // 4/4
    Bytes m_abyChordTable = Bytes(22, 0);
    TrackParamData m_oParams;
    std::array<std::optional<CTestChordVar>, 6> m_aoCvs;
    // When set, replaces the mask computed from the present chord variations.
    std::optional<BYTE> m_obyCvMask;
};

struct CTestStyle
{
    std::string m_strName = "Test Style";
    WORD m_wTrackModes = 0xAAA0;      // Drum and Percussion 0, the others 2
    BYTE m_byTrackFlags = 0xF8;       // Acc. 1 to Acc. 5
    std::array<std::optional<CTestElement>, 10> m_aoElements;
    std::vector<CTestPattern> m_aoPatterns;
    std::vector<WORD> m_awRefs;       // one 1-based pattern position per CV pattern
    std::optional<WORD> m_owTotalPatterns; // replaces m_aoPatterns.size() when set
    std::optional<WORD> m_owElementMask;   // replaces the computed mask when set
};

// DefaultTrackParams -- the parameters a new element of the instrument holds.
TrackParamData DefaultTrackParams();

// BuildStyleChunk -- the style container chunk (id 1) with its subtree.
Bytes BuildStyleChunk(const CTestStyle& rkoStyle);

// Chunk -- one chunk: header (attribute flag clear) and data.
Bytes Chunk(BYTE byId, bool bFinal, const Bytes& rkoData, BYTE byParam2 = 0);

// A track's material for AddFlatChordVar: the events of its pattern.
struct CTestTrack
{
    BYTE m_byTrack = 0;
    std::vector<CEvRec> m_aoEvents;   // on track 0, ticks within the pattern
    DWORD m_dwTicks = 0;              // pattern length; 0 = the chord variation's
    BYTE m_byType = 0xFF;             // 0xFF = the track's default type
};

// DefaultPatternType -- 0 for Drum and Percussion, 1 for Bass, 2 for Acc. 1-5.
BYTE DefaultPatternType(BYTE byTrack);

// AddFlatChordVar -- adds a chord variation in flat form: one pattern chunk
// per track, references in order, one start marker per position at tick 0,
// plus any kept markers given. Creates the element (4/4) when absent. Call it
// in reading order (elements, then chord variations, ascending), since the
// pattern chunks are read in that order.
void AddFlatChordVar(CTestStyle& roStyle, int iSe, int iCv, DWORD dwTicks, const std::vector<CTestTrack>& raoTracks,
                     const std::vector<CEvRec>& raoKeptMarkers = {});

} // namespace StyleBuilder
