// MakeMark.h -- shared patterns, sub-patterns and markers of a stored style.
//
// The instrument stores a style compactly: a pattern chunk may be used by
// several chord variations, and one track of a chord variation may be played
// by several patterns in turn, each started (and stopped) by the marker meta
// events of the chord variation's own event data. The normalized style knows
// one pattern per track of each chord variation: the flat form.
//
// Marker building (loading): MakeMarkPrepareStyle builds the pattern table of
// a stored style, checks the chord variations' references against it,
// corrects inconsistent lengths with a warning and tells whether the style is
// flat already; MakeMarkFlattenStyle then writes a flat copy in which every
// track of every chord variation has a pattern chunk of its own, rendered
// from the stretches its markers give.
//
// Marker making (saving): on the flat form that the writer produced,
// MakeMarkConsistencyCheck cleans every pattern, MakeMarkMergePatterns lets
// chord variations share identical pattern chunks, and MakeMarkMakeMarkers
// splits long patterns into sub-patterns, stores each distinct one once and
// places start and end markers in the chord variations that use them.
//
// Every function works on the style container that the navigator's current
// chunk is, edits it in place inside the navigator's block, and leaves the
// navigator on that container again. Nothing here reads or writes outside a
// chunk's data, a work area or the block: lengths, counts and references are
// file contents and are checked before they are used. Problems are reported
// under the source name MakeMarker/MakeMark and the step goes on or refuses
// as each function says; a chunk edit that the navigator refuses never
// leaves references half written.
#pragma once

#include "Base/QdTypes.h"
#include "MarkerAlg/MarkerAlg.h"

#include <memory>

class CChunkNav;
class CMemEncoder;

// Target number of events per sub-pattern when a style is saved.
inline constexpr int MA_SUBPATTERN_TARGET = 80;
// Work areas of marker making: a chord variation's event data must fit
// (before and after re-encoding), and so must its CV pattern entries.
inline constexpr DWORD MA_CV_EVENTS_WORK_SIZE = 2000;
inline constexpr DWORD MA_CV_PATINFO_WORK_SIZE = 1000;
// Room added to the estimate of a flat copy.
inline constexpr DWORD MA_FLAT_SIZE_MARGIN = 20000;
// Largest estimate handed out for a flat copy. A damaged style (a tiny
// pattern repeated over a huge chord variation) could ask for gigabytes;
// what does not fit a copy of this size is rendered silent, with a report.
inline constexpr DWORD MA_MAX_FLAT_SIZE = 0x1000000;

// CPatternTable -- the pattern records of a style, one per pattern chunk in
// chunk order: record i is the pattern that reference i + 1 names. The
// records' event bytes lie in the style's chunks, so the table is valid only
// while those chunks stay where they were when it was built. It owns the
// records (and through them their sub-pattern arrays).
class CPatternTable
{
public:
    CPatternTable() = default;
    CPatternTable(const CPatternTable&) = delete;
    CPatternTable& operator=(const CPatternTable&) = delete;

    // CPatternTable::Allocate -- wNrPatterns records naming no pattern yet
    // (chunk ID 0); any earlier records are released. True.
    bool Allocate(WORD wNrPatterns);

    // CPatternTable::Release -- releases the records; the table is empty.
    void Release();

    // CPatternTable::GetPattern -- the record that the 1-based reference
    // wRef names, or null when it names none (0, beyond the table, or a
    // record whose chunk could not be parsed).
    const PatternData* GetPattern(WORD wRef) const;
    PatternData* GetPattern(WORD wRef);

    std::unique_ptr<PatternData[]> m_poPatternData; // null when released
    WORD m_wNrPatterns = 0;
};

// MakeMarkPrepareStyle -- builds roTable from the stored style that is the
// navigator's current chunk, checks every chord variation's sounding CV
// patterns against it and corrects lengths in place:
//   - a CV pattern sounding shorter than one length of its pattern sets the
//     chord variation's length to the pattern's, once per chord variation
//     ("Warning! Uncorrect CV length found!\nForced to Pattern length.");
//   - a sounding time that is not a whole number of pattern lengths sets the
//     pattern's length to it ("Warning! Uncorrect Pattern length(s) found!
//     \nForced to CV length.", once for the style).
// Returns 0 when the style is flat already (roTable is released), otherwise
// the number of bytes to reserve for its flat copy (estimate + 20000, at
// most MA_MAX_FLAT_SIZE). A style without pattern container or pattern info
// is reported ("FALSE") and returned as flat, for the reader to refuse.
DWORD MakeMarkPrepareStyle(CChunkNav& roStyleNav, CPatternTable& roTable);

// MakeMarkFlattenStyle -- writes the flat copy of the prepared style into
// pbyBuffer (dwSize bytes, the size MakeMarkPrepareStyle returned) and
// returns a navigator on it, standing on its root; roTable is released. The
// caller releases the navigator, then the buffer. Null (reported) without a
// table ("m_poPatternData") or when the copy does not fit the buffer. A
// group of CV patterns whose stretches do not fit the room left is written
// silent, with a report.
std::unique_ptr<CChunkNav> MakeMarkFlattenStyle(CPatternTable& roTable, CChunkNav& roStyleNav, BYTE* pbyBuffer,
                                                DWORD dwSize);

// MakeMarkRenderPattern -- plays the pattern from tStart, repeated every
// m_dwTotalTicks, up to tStop into the open encoder: each list that begins
// with a channel message is written at its tick; other lists, lists at or
// past the pattern's length and everything from tStop on are left out, and
// notes are cut to end by tStop. A stretch that is not a whole number of
// pattern lengths is reported ("tAbsTick == tRecStop"); a pattern of length
// 0 is reported and renders nothing. False when the encoder refused a list
// (its buffer is full).
bool MakeMarkRenderPattern(const PatternData& rkoPattern, CMemEncoder& roEncoder, TTICK tStart, TTICK tStop);

// MakeMarkConsistencyCheck -- cleans every pattern of the style (events at
// the last tick allowed) and replaces each pattern chunk that changed, in
// place with its header kept. Returns the number of patterns examined << 16
// | the number replaced (each count at most 0xFFFF); the caller reports the
// replaced ones ("Warning! Consistence Check Errors %ld"). A pattern whose
// replacement does not fit the block's reserve is left as it was.
DWORD MakeMarkConsistencyCheck(CChunkNav& roStyleNav);

// MakeMarkMergePatterns -- pattern chunks with the same ID and byte-for-byte
// equal data are stored once: every later one is deleted and the reference
// table renumbered. Returns the number of pattern chunks << 16 | the number
// removed.
DWORD MakeMarkMergePatterns(CChunkNav& roStyleNav);

// MakeMarkMakeMarkers -- splits each long pattern (about iTarget events per
// sub-pattern, at measure boundaries of the first style element's time
// signature), stores every distinct sub-pattern once in its place, and
// gives the chord variations that use the pattern one CV pattern per
// distinct sub-pattern with start and end markers. Returns the number of
// pattern chunks added.
//
// A pattern is left whole when its chunk's m_byParam2 is not 0, when a chord
// variation that uses it is not in flat form for it (other length, start
// marker not at tick 0, end marker), when a chord variation's event data
// does not fit the work areas before or after re-encoding, when more than
// MA_MAX_CVPATTERNS CV patterns would result, or when no chord variation
// plays it. A style without a style element (no signature) makes no
// markers. Each pattern's edits are made only when the largest growth they
// reach fits the block's reserve; when it does not, this is reported and
// marker making stops there, the style whole and consistent.
int MakeMarkMakeMarkers(CChunkNav& roStyleNav, int iTarget);
