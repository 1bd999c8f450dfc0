// NlzdStyle.h -- the normalized style: the in-memory model of one style.
//
// A three-level tree, independent of how the bank stores it: a style
// (CNstStyle) owns up to NST_NR_STE style elements (CNstStyleElem), an
// element owns up to NST_NR_CV chord variations (CNstChordVar), and a chord
// variation holds exactly NST_NR_TRK track patterns (CNstPattern) by value.
// Pattern data and the chord variation's meta pattern stay compact event
// streams; the model decodes them only to find the end of track, to lengthen
// a pattern and to filter the meta pattern.
//
// Ownership: every object owns what lies below it. Elements and chord
// variations are held by std::unique_ptr (an empty slot = absent) and are
// created lazily by the Get operations; patterns and their data blocks are
// values. Every copy is deep. Elements and chord variations keep a
// non-owning back-pointer to their style, through which the creation hooks
// of the style are called; they are not copyable (CopyFrom copies content).
//
// Bad indices: an index at or beyond its limit is reported with the texts
// "bySeNr < NST_NR_STE", "byCvNr < NST_NR_CV", "byPNr < NST_NR_TRK" (and
// "byChord < QDI_MAX_CHORD" for the chord table), source
// NlzdStyle/NlzdStyle, and refused: nothing is touched, Has/IsInUse give
// false, byte getters give 0, and every Get/Find that hands out an object
// gives nullptr. Callers that forward user-chosen indices check the pointer.
// CopyFrom takes no such reports: there an index at or beyond its limit
// means "all items" (see CNstCopyRange).
//
// Single-threaded; the edit interface owns one style at a time.
#pragma once

#include "Base/QdTypes.h"
#include "NlzdStyle/NstTimeSig.h"

#include <memory>
#include <vector>

// Limits of the normalized style.
inline constexpr BYTE NST_NR_STE = 10;    // style elements per style
inline constexpr BYTE NST_NR_CV = 6;      // chord variations per style element
inline constexpr BYTE NST_NR_TRK = 8;     // patterns (tracks) per chord variation
inline constexpr BYTE QDI_MAX_CHORD = 22; // entries of an element's chord-to-CV table

// Size of the style name field: 31 characters and the terminating zero.
inline constexpr int NST_NAME_SIZE = 32;
// Bytes of one track parameter record.
inline constexpr int NST_TRKPAR_SIZE = 6;
// Length of a pattern in its initial state.
inline constexpr TTICK NST_INITIAL_TICKS = NST_TICKS_PER_QUARTER;
// End tick of a stored meta pattern: 999 quarter notes.
inline constexpr TTICK NST_META_END_TICK = 999 * NST_TICKS_PER_QUARTER;

// Allowances of SizeEstimate, per object, besides the data it holds.
inline constexpr DWORD NST_SIZE_STYLE = 92;
inline constexpr DWORD NST_SIZE_STE = 102;
inline constexpr DWORD NST_SIZE_CV = 227;

class CNstStyle;
class CNstStyleElem;
class CNstChordVar;
class CNstPattern;

// CNstTrackParam -- a style element's parameters of one track, in the byte
// order in which the bank holds them. The export and import turn the first
// four into the events at tick 0 of the track; the two note numbers are
// carried, not interpreted.
struct CNstTrackParam
{
    BYTE m_byExpression = 100; // controller 11
    BYTE m_byBankMsb = 0;      // controller 0
    BYTE m_byBankLsb = 0;      // controller 32
    BYTE m_byProgram = 0;
    BYTE m_byNoteLow = 21;
    BYTE m_byNoteHigh = 108;

    bool operator==(const CNstTrackParam& rkoOther) const = default;
};
static_assert(sizeof(CNstTrackParam) == NST_TRKPAR_SIZE);

// CNstTrackStyle -- the style's pair of bytes for one track: the bank's track
// mode (0-3) and track flag (0-1), stored and copied only.
struct CNstTrackStyle
{
    BYTE m_byMode = 0;
    BYTE m_byFlag = 0;

    bool operator==(const CNstTrackStyle& rkoOther) const = default;
};

// A set of tracks for CopyTracksFrom: bit n stands for track n; this one
// holds every track.
inline constexpr BYTE NST_ALL_TRACKS_MASK = 0xFF;
// NstHasTrack -- the set holds the track.
inline bool NstHasTrack(BYTE byTracks, BYTE byPNr) { return (byTracks >> byPNr) & 1u; }

// CNstCopyRange -- which items a CopyFrom covers at one level. A source index
// at or beyond the limit stands for all items, paired in order from 0 (the
// destination index is then ignored); a single source item goes to the
// destination index, or to the same index when that is at or beyond the limit.
struct CNstCopyRange
{
    CNstCopyRange(BYTE bySrc, BYTE byDst, BYTE byLimit)
        : m_bAll(bySrc >= byLimit), m_bySrc(m_bAll ? 0 : bySrc), m_byDst(m_bAll ? 0 : (byDst < byLimit ? byDst : bySrc)),
          m_byCount(m_bAll ? byLimit : 1)
    {
    }

    bool m_bAll;
    BYTE m_bySrc;
    BYTE m_byDst;
    BYTE m_byCount;
};

// ---------------------------------------------------------------------------
// CNstPattern -- the pattern of one track of a chord variation.
//
// Initial state (after construction and Clear): type 0, attributes 0 and 0,
// 4/4, 1 measure, m_tNrTicks 384, data = an encoded stream holding only the
// end of track at tick 384, m_bEmpty set, untouched. SetData puts it in use.
// Copies (copy construction, assignment, CopyFrom) are deep.
// ---------------------------------------------------------------------------
class CNstPattern
{
public:
    CNstPattern();

    // CNstPattern::CopyFrom -- all fields, the data duplicated.
    void CopyFrom(const CNstPattern& rkoOther);
    // CNstPattern::Clear -- back to the initial state.
    void Clear();

    // Which variant of the compact format the data is in; the bank's pattern
    // chunk id is m_byType + 2.
    BYTE GetType() const { return m_byType; }
    void SetType(BYTE byType) { m_byType = byType; }
    // The two attribute bytes, carried to and from the bank unchanged.
    BYTE GetAttribute1() const { return m_byAttr1; }
    BYTE GetAttribute2() const { return m_byAttr2; }
    void SetAttributes(BYTE byAttr1, BYTE byAttr2)
    {
        m_byAttr1 = byAttr1;
        m_byAttr2 = byAttr2;
    }
    const CNstTimeSig& GetTimeSig() const { return m_oTimeSig; }
    void SetTimeSig(const CNstTimeSig& rkoTimeSig) { m_oTimeSig = rkoTimeSig; }
    TTICK GetTicksPerMeasure() const { return m_oTimeSig.GetTicksPerMeasure(); }
    BYTE GetMeasures() const { return m_byMeasures; }
    void SetMeasures(BYTE byMeasures) { m_byMeasures = byMeasures; }

    // Length in ticks; the data's end of track lies there.
    TTICK GetNrTicks() const { return m_tNrTicks; }
    // The compact stream (not null terminated; may be null when its length is 0).
    DWORD GetDataLength() const { return DWORD(m_abyData.size()); }
    const BYTE* GetData() const { return m_abyData.data(); }
    // m_bEmpty: the data holds nothing but its end of track.
    bool IsEmpty() const { return m_bEmpty; }
    // In the initial, never used state.
    bool IsUntouched() const { return m_bUntouched; }

    // CNstPattern::SetData -- stores a copy of dwLength bytes of compact
    // stream and its length in ticks, recomputes m_bEmpty from the first
    // event list and puts the pattern in use. Data whose first list cannot be
    // decoded (the decoder reports) hold nothing usable and count as empty.
    void SetData(const BYTE* pbyData, DWORD dwLength, TTICK tNrTicks);

    // CNstPattern::SetLength -- lengthens the pattern to tNrTicks. Without
    // bNoRepeat the events are repeated, as many whole copies as fit; with it
    // they appear once and the rest is silence. An empty pattern just gets
    // the new length. Shortening a pattern that holds events is reported
    // ("m_bEmpty || tNrTicks >= m_tNrTicks") and refused (false). Corrupt
    // data end the copying where the decoder stops; the result is still a
    // valid stream of the new length. The untouched flag is kept.
    bool SetLength(TTICK tNrTicks, bool bNoRepeat);

private:
    friend class CNstChordVar;

    // The initial data: the end of track at tick 384, encoded afresh.
    void InitData();

    BYTE m_byType;
    BYTE m_byAttr1;
    BYTE m_byAttr2;
    CNstTimeSig m_oTimeSig;
    BYTE m_byMeasures;
    TTICK m_tNrTicks;
    std::vector<BYTE> m_abyData;
    bool m_bEmpty;
    bool m_bUntouched;
};

// ---------------------------------------------------------------------------
// CNstChordVar -- one chord variation: NST_NR_TRK patterns and a meta pattern
// holding the chord variation's marker meta events of kind 2.
//
// Created by CNstStyleElem::GetChordVar, which gives it the element's time
// signature and measures and the matching length. One built on its own
// (poStyle null) calls no hooks.
// ---------------------------------------------------------------------------
class CNstChordVar
{
public:
    // 4/4, 1 measure, length 384, patterns in their initial state, no meta pattern.
    explicit CNstChordVar(CNstStyle* poStyle = nullptr);
    CNstChordVar(const CNstChordVar&) = delete;
    CNstChordVar& operator=(const CNstChordVar&) = delete;

    CNstStyle* GetStyle() const { return m_poStyle; }

    const CNstTimeSig& GetTimeSig() const { return m_oTimeSig; }
    void SetTimeSig(const CNstTimeSig& rkoTimeSig) { m_oTimeSig = rkoTimeSig; }
    TTICK GetTicksPerMeasure() const { return m_oTimeSig.GetTicksPerMeasure(); }
    BYTE GetMeasures() const { return m_byMeasures; }
    void SetMeasures(BYTE byMeasures) { m_byMeasures = byMeasures; }
    // Length of the chord variation in ticks.
    TTICK GetLength() const { return m_tLength; }
    void SetLength(TTICK tLength) { m_tLength = tLength; }

    // CNstChordVar::IsPatternInUse -- the pattern's untouched flag is clear.
    bool IsPatternInUse(BYTE byPNr) const;
    // CNstChordVar::GetPattern -- the pattern, put in use first: an untouched
    // pattern takes the chord variation's time signature and measures and
    // is handed to the style's OnNewPattern. nullptr for a bad index.
    CNstPattern* GetPattern(BYTE byPNr);
    // CNstChordVar::FindPattern -- the pattern as it is, not put in use.
    // nullptr for a bad index.
    const CNstPattern* FindPattern(BYTE byPNr) const;
    // CNstChordVar::ClearPattern -- the pattern back to its initial state.
    void ClearPattern(BYTE byPNr);

    // CNstChordVar::IsEmpty -- every pattern holds only its end of track.
    bool IsEmpty() const;

    // CNstChordVar::CopyFrom -- copies tracks (see CNstCopyRange). When this
    // chord variation is empty or all tracks are copied, its length, time
    // signature, measures and meta pattern are taken first. A source pattern
    // in use is copied whole into the destination pattern (put in use); an
    // unused one clears the destination pattern.
    void CopyFrom(const CNstChordVar& rkoSource, BYTE byPNrSrc, BYTE byPNrDst);
    // CNstChordVar::CopyTracksFrom -- copies a set of tracks (bit n: track
    // n), each into the same track, as CopyFrom copies one. Whether this
    // chord variation is empty is judged once, before any track changes:
    // when it is, or the set holds every track, its length, time signature,
    // measures and meta pattern are taken first; otherwise they stay, even
    // when every event it held lay in the tracks of the set.
    void CopyTracksFrom(const CNstChordVar& rkoSource, BYTE byTracks);

    // CNstChordVar::SizeEstimate -- NST_SIZE_CV + meta pattern length + the
    // data length of each pattern, with bExpand once more for each doubling
    // of the pattern length that still does not exceed the chord variation's.
    DWORD SizeEstimate(bool bExpand) const;

    // The meta pattern: a compact stream, or none (length 0, data null).
    DWORD GetMetaPatternLength() const { return DWORD(m_abyMetaPattern.size()); }
    const BYTE* GetMetaPatternData() const { return m_abyMetaPattern.empty() ? nullptr : m_abyMetaPattern.data(); }
    // CNstChordVar::SetMetaPattern -- keeps the marker meta events of kind 2
    // (type 0x7E, first data byte 2) of the given stream, each at its tick,
    // ended at NST_META_END_TICK; none kept = no meta pattern. Returns the
    // tick total of the decoded input.
    TTICK SetMetaPattern(const BYTE* pbyData, DWORD dwLength);

private:
    friend class CNstStyleElem;

    // Length, time signature, measures and meta pattern of the source.
    void TakeFieldsFrom(const CNstChordVar& rkoSource);
    // One track: a source pattern in use is copied whole, an unused one
    // clears the destination pattern.
    void CopyPatternFrom(const CNstChordVar& rkoSource, BYTE byPNrSrc, BYTE byPNrDst);

    CNstTimeSig m_oTimeSig;
    BYTE m_byMeasures;
    TTICK m_tLength;
    CNstPattern m_aoPatterns[NST_NR_TRK];
    std::vector<BYTE> m_abyMetaPattern;
    CNstStyle* m_poStyle;
};

// ---------------------------------------------------------------------------
// CNstStyleElem -- one style element: track parameters, time signature, mode
// byte, chord-to-CV table, the measures of new chord variations, and up to
// NST_NR_CV chord variations.
// ---------------------------------------------------------------------------
class CNstStyleElem
{
public:
    // Track parameters at their defaults, 4/4, mode 0, chord table all 0,
    // 1 measure, no chord variation.
    explicit CNstStyleElem(CNstStyle* poStyle = nullptr);
    ~CNstStyleElem();
    CNstStyleElem(const CNstStyleElem&) = delete;
    CNstStyleElem& operator=(const CNstStyleElem&) = delete;

    CNstStyle* GetStyle() const { return m_poStyle; }

    // CNstStyleElem::GetTrackParam -- the track's parameter record; nullptr
    // for a bad index.
    CNstTrackParam* GetTrackParam(BYTE byPNr);
    const CNstTrackParam* GetTrackParam(BYTE byPNr) const;

    const CNstTimeSig& GetTimeSig() const { return m_oTimeSig; }
    void SetTimeSig(const CNstTimeSig& rkoTimeSig) { m_oTimeSig = rkoTimeSig; }
    TTICK GetTicksPerMeasure() const { return m_oTimeSig.GetTicksPerMeasure(); }
    // The display code of the time signature (CNstTimeSig::GetPacked).
    BYTE GetPackedSignature() const { return m_oTimeSig.GetPacked(); }

    // The element mode byte, stored and copied only.
    BYTE GetMode() const { return m_byMode; }
    void SetMode(BYTE byMode) { m_byMode = byMode; }

    // The chord-to-CV table: QDI_MAX_CHORD chord variation numbers.
    const BYTE* GetChordTable() const { return m_abyChordTable; }
    // 0 for a bad index.
    BYTE GetChordEntry(BYTE byChord) const;
    // Stores the value as given (the repair below fixes values that name no
    // present chord variation); refused for a bad index.
    void SetChordEntry(BYTE byChord, BYTE byCvNr);
    // CNstStyleElem::RepairChordTable -- every entry that names an absent
    // chord variation names the lowest present one instead (0 when none).
    void RepairChordTable();

    // Number of measures that new chord variations take.
    BYTE GetMeasures() const { return m_byMeasures; }
    void SetMeasures(BYTE byMeasures) { m_byMeasures = byMeasures; }

    // CNstStyleElem::HasChordVar -- false for an absent chord variation.
    bool HasChordVar(BYTE byCvNr) const;
    // CNstStyleElem::GetChordVar -- the chord variation, created when absent:
    // it takes the element's time signature and measures, is handed to the
    // style's OnNewChordVar and gets the length ticks per measure x measures.
    // nullptr for a bad index.
    CNstChordVar* GetChordVar(BYTE byCvNr);
    // CNstStyleElem::FindChordVar -- the chord variation, nullptr when absent
    // (nothing is created) or for a bad index.
    const CNstChordVar* FindChordVar(BYTE byCvNr) const;
    // CNstStyleElem::DeleteChordVar -- no effect when absent.
    void DeleteChordVar(BYTE byCvNr);

    // CNstStyleElem::IsEmpty -- every present chord variation is empty (true
    // without chord variations).
    bool IsEmpty() const;

    // CNstStyleElem::CopyFrom -- copies chord variations and tracks (see
    // CNstCopyRange). When this element is empty, or all chord variations and
    // all tracks are copied, its time signature, measures, mode byte, chord
    // table and the track parameter records of the copied tracks are taken
    // first. A present source chord variation is copied into the destination
    // (created when absent); an absent one deletes the destination. The
    // chord table is repaired at the end.
    void CopyFrom(const CNstStyleElem& rkoSource, BYTE byCvSrc, BYTE byPNrSrc, BYTE byCvDst, BYTE byPNrDst);
    // CNstStyleElem::CopyTracksFrom -- copies a set of tracks (bit n: track
    // n) of chord variations (byCvSrc, byCvDst as in CopyFrom), each track
    // into the same track. Whether this element is empty is judged once,
    // before anything changes: when it is, or all chord variations and every
    // track are copied, its own fields and the parameter records of the
    // set's tracks are taken first, as CopyFrom takes them. A present source
    // chord variation goes into the destination one (created when absent)
    // with CNstChordVar::CopyTracksFrom; an absent one deletes the
    // destination when the set holds every track, and otherwise clears the
    // set's tracks there (its other tracks are not the copy's). The chord
    // table is repaired once, after every chord variation in range is there.
    void CopyTracksFrom(const CNstStyleElem& rkoSource, BYTE byCvSrc, BYTE byCvDst, BYTE byTracks);

    // CNstStyleElem::SizeEstimate -- NST_SIZE_STE + the present chord variations'.
    DWORD SizeEstimate(bool bExpand) const;

private:
    // Time signature, measures, mode byte and chord table of the source.
    void TakeFieldsFrom(const CNstStyleElem& rkoSource);

    CNstTrackParam m_aoTrackParams[NST_NR_TRK];
    CNstTimeSig m_oTimeSig;
    BYTE m_byMode;
    BYTE m_abyChordTable[QDI_MAX_CHORD];
    BYTE m_byMeasures;
    std::unique_ptr<CNstChordVar> m_apoChordVars[NST_NR_CV];
    CNstStyle* m_poStyle;
};

// ---------------------------------------------------------------------------
// CNstStyle -- one style: its name, the per-track style byte pairs and up to
// NST_NR_STE style elements. The bank-backed style derives from it and gives
// new elements and patterns their bank defaults through the hooks.
// ---------------------------------------------------------------------------
class CNstStyle
{
public:
    // Empty name, track style bytes 0, no element.
    CNstStyle();
    // Deletes every present element and everything below it.
    virtual ~CNstStyle();
    CNstStyle(const CNstStyle&) = delete;
    CNstStyle& operator=(const CNstStyle&) = delete;

protected:
    // Creation hooks, called by the model; empty here.
    // CNstStyle::OnNewStyleElem -- once, right after an element has been
    // created with its defaults and stored, before it is handed out.
    virtual void OnNewStyleElem(CNstStyleElem& /*roStyleElem*/, BYTE /*bySeNr*/) {}
    // CNstStyle::OnNewChordVar -- once, right after a chord variation has
    // been created and given the element's time signature and measures.
    virtual void OnNewChordVar(CNstChordVar& /*roChordVar*/, BYTE /*byCvNr*/) {}
    // CNstStyle::OnNewPattern -- once, when a pattern is first put in use.
    virtual void OnNewPattern(CNstPattern& /*roPattern*/, BYTE /*byPNr*/) {}

public:
    // The name, at most NST_NAME_SIZE - 1 characters.
    const char* GetName() const { return m_szName; }
    // CNstStyle::GetName -- copies at most iMaxLength characters and a
    // terminating zero, so pszBuffer needs iMaxLength + 1 bytes.
    void GetName(char* pszBuffer, int iMaxLength) const;
    // CNstStyle::SetName -- takes at most 31 characters (null = empty name).
    void SetName(const char* pszName);

    // CNstStyle::GetTrackStyle -- the track's style byte pair; nullptr for a
    // bad index.
    CNstTrackStyle* GetTrackStyle(BYTE byPNr);
    const CNstTrackStyle* GetTrackStyle(BYTE byPNr) const;

    // CNstStyle::HasStyleElem -- false for an absent element.
    bool HasStyleElem(BYTE bySeNr) const;
    // CNstStyle::GetStyleElem -- the element, created with its defaults and
    // handed to OnNewStyleElem when absent. nullptr for a bad index.
    CNstStyleElem* GetStyleElem(BYTE bySeNr);
    // CNstStyle::FindStyleElem -- the element, nullptr when absent (nothing
    // is created) or for a bad index.
    const CNstStyleElem* FindStyleElem(BYTE bySeNr) const;
    // CNstStyle::DeleteStyleElem -- no effect when absent.
    void DeleteStyleElem(BYTE bySeNr);
    // CNstStyle::HasChordVar -- false when the element is absent; creates nothing.
    bool HasChordVar(BYTE bySeNr, BYTE byCvNr) const;

    // CNstStyle::IsEmpty -- every present element is empty.
    bool IsEmpty() const;

    // CNstStyle::CopyFrom -- copies elements, chord variations and tracks of
    // rkoSource (see CNstCopyRange at each level). When this style is empty
    // or all elements are copied, the name and track style bytes are taken
    // first. A present source element is copied into the destination one
    // (created when absent); an absent one deletes the destination.
    void CopyFrom(const CNstStyle& rkoSource, BYTE bySeSrc, BYTE byCvSrc, BYTE byPNrSrc, BYTE bySeDst, BYTE byCvDst,
                  BYTE byPNrDst);

    // CNstStyle::SizeEstimate -- NST_SIZE_STYLE + the present elements'; the
    // bank writer sizes its buffer with it (bExpand set).
    DWORD SizeEstimate(bool bExpand) const;

private:
    friend class CNstStyleElem;
    friend class CNstChordVar;

    char m_szName[NST_NAME_SIZE];
    CNstTrackStyle m_aoTrackStyles[NST_NR_TRK];
    std::unique_ptr<CNstStyleElem> m_apoStyleElems[NST_NR_STE];
};
