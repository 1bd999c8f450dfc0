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
    // When set, replaces the event size written in the record (a record
    // that lies about its events).
    std::optional<DWORD> m_odwEventsDim;
};

struct CTestChordVar
{
    DWORD m_dwTicks = 1536;
    Bytes m_abyEvents;                // marker events, compact stream
    std::vector<CvPatInfo> m_aoPatterns;
    // When set, replaces the event size written in the record.
    std::optional<DWORD> m_odwEventsDim;
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

// ResizeChunk -- the style chunk with one chunk of its subtree set to a new
// data length (cut at its end, or grown by zero bytes), every enclosing
// length corrected. raiPath gives the chunk by child positions from the
// root: {1, 0} is the first child of the root's second child.
Bytes ResizeChunk(const Bytes& rkoStyleChunk, const std::vector<int>& raiPath, DWORD dwNewLength);

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

// AddPattern -- appends a pattern chunk holding the events (in tick order,
// end of track at dwTicks) and returns its 1-based position, the value a
// reference to it holds.
WORD AddPattern(CTestStyle& roStyle, BYTE byChunkId, DWORD dwTicks, const std::vector<CEvRec>& raoEvents,
                BYTE byAttr1 = 0, BYTE byAttr2 = 0);

// AddStoredChordVar -- adds a chord variation in any form: its CV patterns,
// the references they hold (appended to the table; call it in reading
// order) and its marker events (in tick order). Creates the element (4/4)
// when absent.
void AddStoredChordVar(CTestStyle& roStyle, int iSe, int iCv, DWORD dwTicks, const std::vector<CvPatInfo>& raoInfo,
                       const std::vector<WORD>& rawRefs, const std::vector<CEvRec>& raoMarkers);

// --- Bank images -------------------------------------------------------------
// A whole bank file as the instrument writes it: the root (01 00 01 14), the
// bank info chunk (02 00 00 18, "VLMF" and a zero at data bytes 7-11), the
// style-name table (id 5, one 24-byte record per slot), the style slots in
// slot order (id 6 around a style container; empty slots another id), any
// further bank chunks, and the chunk-offset directory (id 0xFE). Every
// depth-1 chunk carries CNCF_ATTR.

// One style slot; a slot with m_byVersion 2 or 3 is compressed with that
// version and m_byMethod.
struct CTestSlot
{
    BYTE m_byId = 6;    // 6 holds a style; any other id is an empty slot
    Bytes m_abyContent; // the slot's children (for id 6 the style container chunk)
    BYTE m_byVersion = 0;
    BYTE m_byMethod = 2;
};

struct CTestBank
{
    Bytes m_abyInfo = BankInfoData();       // data of the bank info chunk
    bool m_bNameTable = true;
    std::vector<std::string> m_astrNames;   // one record text per slot; missing ones are empty
    std::optional<int> m_oiNameRecords;     // records in the table; one per slot when not set
    std::vector<CTestSlot> m_aoSlots;
    std::vector<Bytes> m_aoMoreChunks;      // whole depth-1 chunks between the slots and the directory
    bool m_bDirectory = true;
    DWORD m_dwDirectoryLength = 4 + 4 * 100; // data bytes of the directory chunk

    static Bytes BankInfoData();
};

// Fill bytes of the directory: its first four data bytes and the list room.
inline constexpr BYTE BANK_DIRECTORY_HEAD[4] = {0x11, 0x22, 0x33, 0x44};
inline constexpr BYTE BANK_DIRECTORY_FILL = 0xEE;
// NameRecordFill -- byte i of a name record behind the name's zero.
inline BYTE NameRecordFill(int i) { return BYTE(0xA0 + i); }

// BankChunk -- a depth-1 chunk: CNCF_ATTR set, CNCF_FINAL as given.
Bytes BankChunk(BYTE byId, bool bFinal, const Bytes& rkoData);
// StyleSlot -- the slot of a style (the container built from the description).
CTestSlot StyleSlot(const CTestStyle& rkoStyle, BYTE byVersion = 0, BYTE byMethod = 2);
// EmptySlot -- an empty slot (id 7) holding a few bytes of its own.
CTestSlot EmptySlot();
// BuildBankImage -- the bank file's bytes.
Bytes BuildBankImage(const CTestBank& rkoBank);

} // namespace StyleBuilder
