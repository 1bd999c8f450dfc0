// NstQdIfc.cpp -- CNstQdIfc: the bank's defaults of a style, the reader of a
// style's chunk subtree in flat form, and the writer of that form.
//
// Reading goes on after each damage it reports, as far as it can without
// guessing: a chunk that has no number left in its presence mask, or whose
// record does not parse, is left out; the chunks after it are still read.
// The pattern chunks are taken in chunk order, one per CV pattern of every
// chord variation whose record parses, also where the CV pattern itself is
// not used (a ninth CV pattern, a track number above 7, a chord variation
// that has no number), so that the chord variations after it still get
// their own patterns.
#define QD_REPORT_FILE "NlzdStyle/NstQdIfc"

#include "NlzdStyle/NstQdIfc.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/EventList.h"
#include "Kernel/SeqBase/CDecProp.h"
#include "Kernel/SeqBase/PropForm.h"
#include "MarkerAlg/MarkerAlg.h"
#include "MemCoder/MaEncoder.h"
#include "NlzdStyle/QdRecords.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace {

// Defaults of the bank, by track 0-7 and by style element 0-9.
constexpr BYTE QDI_DEFAULT_TRACK_MODE[NST_NR_TRK] = {0, 0, 2, 2, 2, 2, 2, 2};
constexpr BYTE QDI_DEFAULT_TRACK_FLAG[NST_NR_TRK] = {0, 0, 0, 1, 1, 1, 1, 1};
constexpr BYTE QDI_DEFAULT_BANK_MSB[NST_NR_TRK] = {120, 120, 121, 121, 121, 121, 121, 121};
constexpr BYTE QDI_DEFAULT_BANK_LSB = 0;
constexpr BYTE QDI_DEFAULT_PROGRAM[NST_NR_TRK] = {0, 64, 32, 0, 0, 0, 0, 0};
constexpr BYTE QDI_DEFAULT_PATTERN_TYPE[NST_NR_TRK] = {0, 0, 1, 2, 2, 2, 2, 2};
constexpr BYTE QDI_DEFAULT_ELEM_MODE[NST_NR_STE] = {1, 1, 1, 1, 3, 1, 1, 1, 3, 1};
constexpr BYTE QDI_DEFAULT_ELEM_MEASURES[NST_NR_STE] = {2, 2, 2, 2, 2, 2, 1, 1, 2, 2};
constexpr const char* QDI_NEW_STYLE_NAME = "New Style";

// Elements 0-3 are the Variations, which may hold all chord variations; the
// other elements hold at most QDI_NR_CV_OTHER.
constexpr BYTE QDI_NR_VARIATIONS = 4;
constexpr BYTE QDI_NR_CV_OTHER = 2;
// Largest buffer the writer asks for: the navigator counts its reserve in a
// signed 32-bit value.
constexpr std::uint64_t QDI_MAX_BUFFER = 0x7FFFFFFF;
// A whole bank lives in a block of this size, so a style that can be stored
// never holds more pattern event bytes once its patterns are lengthened to
// their chord variations.
constexpr std::uint64_t QDI_MAX_STYLE_DATA = 0x300000;
// The longest chord variation there can be: 255 measures of 16/1 at 384
// ticks per quarter note. A longer one is damaged; lengthening patterns to
// it would take the writer minutes over a few repeated events.
constexpr std::uint64_t QDI_MAX_CV_TICKS = 255ull * 16 * 4 * 384;

// NextPresent -- the number of the chunk that follows number iNr: the next
// set bit of the presence mask, which is shifted past that bit. A mask
// without a further set bit below iLimit gives iLimit or more, so a chunk
// for which the mask has no bit never gets a number inside the limit.
int NextPresent(int iNr, DWORD& rdwMask, int iLimit)
{
    ++iNr;
    while (!(rdwMask & 1) && iNr < iLimit)
    {
        ++iNr;
        rdwMask >>= 1;
    }
    rdwMask >>= 1;
    return iNr;
}

// ---------------------------------------------------------------------------
// CNstQdReader -- one reading of a style subtree into a normalized style.
// ---------------------------------------------------------------------------
class CNstQdReader
{
public:
    CNstQdReader(CNstStyle& roStyle, CChunkNav& roChunkNav) : m_roStyle(roStyle), m_roNav(roChunkNav) {}

    void Read();

private:
    bool ReadStyleInfo(WORD& rwElementMask);
    void OpenPatterns();
    void ReadElement(int iCurSe);
    void ReadChordVar(CNstStyleElem* poStyleElem, int iCurCv);
    void ReadPatterns(const ChordVarData& rkoChordVarData, CNstChordVar* poChordVar);
    bool NextPatternChunk(CChunkId& roId);

    CNstStyle& m_roStyle;
    CChunkNav& m_roNav;
    // The pattern navigator, rooted at the pattern container; its current
    // chunk is the pattern chunk read last (the pattern info at first).
    std::unique_ptr<CChunkNav> m_poPatternNav;
    // Pattern chunks may still follow; cleared when a search found none, so
    // that a style short of pattern chunks is reported once.
    bool m_bPatternsLeft = false;
};

// CNstQdReader::Read -- the style info, the pattern container, then the
// elements in chunk order. The main navigator ends where it started.
void CNstQdReader::Read()
{
    const WORD wStartLevel = m_roNav.m_wfnLevel();
    CChunkId oId = m_roNav.m_ofnEnter(CChunkId(QDI_ID_STYLE_INFO), typeNotFinal, typeFinal);
    if (!QD_ASSERT(oId))
        return;

    // Without its element mask no element chunk can be numbered: the style
    // is read no further.
    WORD wElementMask = 0;
    if (ReadStyleInfo(wElementMask))
    {
        oId = m_roNav.m_ofnNext(CChunkId(QDI_ID_PATTERNS), typeNotFinal, typeNotFinal);
        // The elements are searched from the pattern container on: without it
        // nothing more is read.
        if (QD_ASSERT(oId))
        {
            OpenPatterns();
            DWORD dwMask = wElementMask;
            int iCurSe = -1;
            int iElementsRead = 0;
            while (m_roNav.m_ofnNext(CChunkId(QDI_ID_ELEMENT), typeNotFinal, typeNotFinal))
            {
                iCurSe = NextPresent(iCurSe, dwMask, NST_NR_STE);
                // No later element chunk can have a number either: stop.
                if (!QD_ASSERT_TEXT(iCurSe < NST_NR_STE, "iCurSe < 10"))
                    break;
                ReadElement(iCurSe);
                ++iElementsRead;
            }
            // An element the mask names without a chunk of its own (a chunk
            // whose id was damaged is passed over by the search) is lost:
            // reported, so that the style counts as damaged.
            const int iElementsInMask = std::popcount(unsigned(wElementMask & ((1u << NST_NR_STE) - 1)));
            QD_ASSERT(iElementsRead >= iElementsInMask);
            m_poPatternNav.reset();
        }
    }
    while (m_roNav.m_wfnLevel() > wStartLevel && m_roNav.m_ofnLeave())
    {
    }
}

// CNstQdReader::ReadStyleInfo -- name and track style bytes into the style;
// false when the record does not parse.
bool CNstQdReader::ReadStyleInfo(WORD& rwElementMask)
{
    StyleInfoData oStyleInfoData;
    const bool bStyleInfoParsed = oStyleInfoData.Parse(m_roNav.m_pbyfnData(), m_roNav.m_dwfnDataLength());
    if (!QD_ASSERT(bStyleInfoParsed))
        return false;
    // SetName keeps the first 31 characters of a longer name.
    m_roStyle.SetName(oStyleInfoData.m_strName.c_str());
    WORD wModes = oStyleInfoData.m_wTrackModes;
    BYTE byFlags = oStyleInfoData.m_byTrackFlags;
    for (BYTE byPNr = 0; byPNr < NST_NR_TRK; ++byPNr)
    {
        CNstTrackStyle* poTrackStyle = m_roStyle.GetTrackStyle(byPNr);
        poTrackStyle->m_byMode = BYTE(wModes & 0x03);
        poTrackStyle->m_byFlag = BYTE(byFlags & 0x01);
        wModes = WORD(wModes >> 2);
        byFlags = BYTE(byFlags >> 1);
    }
    rwElementMask = oStyleInfoData.m_wElementMask;
    return true;
}

// CNstQdReader::OpenPatterns -- the pattern navigator on the main
// navigator's current chunk, the pattern container, standing on the pattern
// info. A pattern info that does not parse still stands in front of the
// patterns; without one there are no patterns to read.
void CNstQdReader::OpenPatterns()
{
    m_poPatternNav = std::make_unique<CChunkNav>(m_roNav.m_pbyfnHeader(), m_roNav.m_dwfnSize());
    const CChunkId oId = m_poPatternNav->m_ofnEnter(CChunkId(QDI_ID_PAT_INFO), typeNotFinal, typeFinal);
    m_bPatternsLeft = QD_ASSERT(oId);
    if (!m_bPatternsLeft)
        return;
    PatInfoData oPatInfoData;
    const bool bPatInfoParsed = oPatInfoData.Parse(m_poPatternNav->m_pbyfnData(), m_poPatternNav->m_dwfnDataLength());
    if (QD_ASSERT(bPatInfoParsed))
        QD_ASSERT(oPatInfoData.m_wTotalPatterns == oPatInfoData.m_wTotalCvPatterns);
}

// CNstQdReader::ReadElement -- the current chunk is the element container of
// element iCurSe (0-9). An element whose info does not parse is not created,
// but its chord variations' patterns are still taken.
void CNstQdReader::ReadElement(int iCurSe)
{
    CChunkId oId = m_roNav.m_ofnEnter(CChunkId(QDI_ID_ELEM_INFO), typeNotFinal, typeFinal);
    if (!QD_ASSERT(oId))
        return;

    StyleElementInfoData oStyleElementInfoData;
    const bool bElemInfoParsed =
        oStyleElementInfoData.Parse(m_roNav.m_pbyfnData(), m_roNav.m_dwfnDataLength());
    CNstStyleElem* poStyleElem = nullptr;
    if (QD_ASSERT(bElemInfoParsed))
    {
        poStyleElem = m_roStyle.GetStyleElem(BYTE(iCurSe));
        poStyleElem->SetTimeSig(QdTimeSigOfSignatureByte(oStyleElementInfoData.m_bySignature));
        poStyleElem->SetMode(oStyleElementInfoData.m_byMode);
        // Only the model's 22 entries are taken from a longer table; the
        // entries a shorter one lacks repeat its entry 0 (0 for an empty one).
        QD_ASSERT(oStyleElementInfoData.m_byCVTabLength <= QDI_MAX_CHORD);
        const BYTE byLength = std::min(oStyleElementInfoData.m_byCVTabLength, QDI_MAX_CHORD);
        const BYTE* pbyTable = oStyleElementInfoData.m_abyChordTable.data();
        const BYTE byFill = byLength ? pbyTable[0] : BYTE(0);
        for (BYTE byChord = 0; byChord < QDI_MAX_CHORD; ++byChord)
            poStyleElem->SetChordEntry(byChord, byChord < byLength ? pbyTable[byChord] : byFill);
    }

    // Without the track parameters the element keeps its defaults; the chord
    // variations are looked for from where the navigator stands.
    oId = m_roNav.m_ofnNext(CChunkId(QDI_ID_TRACK_PARAMS), typeNotFinal, typeFinal);
    if (QD_ASSERT(oId))
    {
        TrackParamData oTrackParamData;
        const bool bTrackParamsParsed = oTrackParamData.Parse(m_roNav.m_pbyfnData(), m_roNav.m_dwfnDataLength());
        if (QD_ASSERT(bTrackParamsParsed) && poStyleElem)
            for (BYTE byPNr = 0; byPNr < NST_NR_TRK; ++byPNr)
            {
                const BYTE* pbyParams = oTrackParamData.m_aabyParams[byPNr];
                *poStyleElem->GetTrackParam(byPNr) = {pbyParams[0], pbyParams[1], pbyParams[2],
                                                      pbyParams[3], pbyParams[4], pbyParams[5]};
            }
    }

    DWORD dwCvMask = oStyleElementInfoData.m_byCvMask;
    int iCurCv = -1;
    int iChordVarsRead = 0;
    while (m_roNav.m_ofnNext(CChunkId(QDI_ID_CHORD_VAR), typeNotFinal, typeFinal))
    {
        if (poStyleElem)
        {
            iCurCv = NextPresent(iCurCv, dwCvMask, NST_NR_CV);
            QD_ASSERT_TEXT(iCurCv < NST_NR_CV, "iCurCv < 6");
        }
        ReadChordVar(poStyleElem, iCurCv);
        ++iChordVarsRead;
    }
    // As with the elements: a chord variation the mask names without a
    // chunk of its own is lost, and reported.
    if (poStyleElem)
    {
        const int iChordVarsInMask = std::popcount(unsigned(oStyleElementInfoData.m_byCvMask & ((1u << NST_NR_CV) - 1)));
        QD_ASSERT(iChordVarsRead >= iChordVarsInMask);
    }
    m_roNav.m_ofnLeave();
}

// CNstQdReader::ReadChordVar -- the current chunk is a chord variation data
// chunk; it is stored as chord variation iCurCv of the element when there is
// an element and the number lies within the limit. A record that does not
// parse tells nothing of its CV patterns: none of the pattern chunks is
// taken for it.
void CNstQdReader::ReadChordVar(CNstStyleElem* poStyleElem, int iCurCv)
{
    ChordVarData oChordVarData;
    // The events are not counted: their number is not used here.
    const bool bChordVarParsed = oChordVarData.Parse(m_roNav.m_pbyfnData(), m_roNav.m_dwfnDataLength(), false);
    if (!QD_ASSERT(bChordVarParsed))
        return;

    CNstChordVar* poChordVar = nullptr;
    if (poStyleElem && iCurCv >= 0 && iCurCv < NST_NR_CV)
    {
        poChordVar = poStyleElem->GetChordVar(BYTE(iCurCv));
        poChordVar->SetMetaPattern(oChordVarData.m_pbyEvents, oChordVarData.m_dwEventsDim);
        poChordVar->SetLength(oChordVarData.m_dwTotalTicks);
        poChordVar->SetTimeSig(poStyleElem->GetTimeSig());
        // A signature without a measure length (numerator 0) counts no measure.
        const TTICK tTicksPerMeasure = poChordVar->GetTicksPerMeasure();
        poChordVar->SetMeasures(tTicksPerMeasure ? BYTE(oChordVarData.m_dwTotalTicks / tTicksPerMeasure) : 0);
    }
    ReadPatterns(oChordVarData, poChordVar);
}

// CNstQdReader::ReadPatterns -- one pattern chunk per CV pattern, in chunk
// order. A CV pattern beyond the eighth or with a track number above 7 uses
// its chunk up without storing it. A chunk whose id is not the CV pattern's
// type + 2 is reported and stored with the type its id says, when its id is
// a pattern chunk's id at all.
void CNstQdReader::ReadPatterns(const ChordVarData& rkoChordVarData, CNstChordVar* poChordVar)
{
    bool bExcessReported = false;
    for (int i = 0; i < int(rkoChordVarData.m_poCvPatInfo.size()); ++i)
    {
        CChunkId oId;
        if (!NextPatternChunk(oId))
            return;
        if (i >= NST_NR_TRK)
        {
            // Reported once for the chord variation.
            if (!bExcessReported)
                bExcessReported = !QD_ASSERT_TEXT(i < NST_NR_TRK, "i < 8");
            continue;
        }
        const CvPatInfo& rkoCvPatInfo = rkoChordVarData.m_poCvPatInfo[i];
        const BYTE byTrackNr = rkoCvPatInfo.m_byTrack;
        if (!QD_ASSERT_TEXT(byTrackNr < NST_NR_TRK, "byTrackNr < 8"))
            continue;
        QD_ASSERT_TEXT(oId.m_byId == QdPatternChunkId(rkoCvPatInfo.m_byType),
                       "oId.ID() == (oChordVarData.m_poCvPatInfo[i].m_byType + 2)");
        if (!QD_ASSERT_TEXT(QdIsPatternChunkId(oId.m_byId), "IsPatternChunkId(oId.m_byId)"))
            continue;
        PatternData oPatternData(oId.m_byId);
        // A record that does not fit its chunk is reported by the record.
        if (!oPatternData.Parse(m_poPatternNav->m_pbyfnData(), m_poPatternNav->m_dwfnDataLength(), false))
            continue;
        if (!poChordVar)
            continue;
        CNstPattern* poPattern = poChordVar->GetPattern(byTrackNr);
        poPattern->SetType(QdPatternType(oId.m_byId));
        poPattern->SetAttributes(oPatternData.m_byAttr1, oPatternData.m_byAttr2);
        poPattern->SetTimeSig(poChordVar->GetTimeSig());
        poPattern->SetMeasures(poChordVar->GetMeasures());
        poPattern->SetData(oPatternData.m_pbyEvents, oPatternData.m_dwTotalEventsDim, oPatternData.m_dwTotalTicks);
    }
}

// CNstQdReader::NextPatternChunk -- the next data chunk of the pattern
// container, whatever its id. The first search that finds none is
// reported; later ones are not made.
bool CNstQdReader::NextPatternChunk(CChunkId& roId)
{
    if (!m_bPatternsLeft)
        return false;
    CChunkId oId = m_poPatternNav->m_ofnNext(CChunkId(), typeNotFinal, typeFinal);
    m_bPatternsLeft = QD_ASSERT(oId);
    roId = oId;
    return m_bPatternsLeft;
}

// ---------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------

// Outcome of one writing attempt into a buffer.
enum EQdWriteResult
{
    qdWriteDone,   // the subtree is complete
    qdWriteNoRoom, // the buffer is too small: try a larger one
    qdWriteFailed  // the style cannot be written (reported)
};

// HasAnyChordVar -- the element is there and holds a chord variation.
bool HasAnyChordVar(const CNstStyle& rkoStyle, BYTE bySeNr)
{
    for (BYTE byCvNr = 0; byCvNr < NST_NR_CV; ++byCvNr)
        if (rkoStyle.HasChordVar(bySeNr, byCvNr))
            return true;
    return false;
}

// TidyStyle -- removes what the bank is not to receive, in three steps per
// element: an empty element goes; then its empty chord variations and
// those beyond what the element holds (CNstQdIfc::ChordVarLimit), and no
// empty pattern stays in use; then the chord table is repaired. An element
// that held events only in chord variations beyond its limit thus stays and
// is written without chord variations (its table all 0): only an element
// without events goes as a whole. Every pattern in use gets a type the bank
// has a chunk for. Variation 1 always has a chord variation (chord
// variation 0 with a Drum pattern when it has none).
void TidyStyle(CNstStyle& roStyle)
{
    for (BYTE bySeNr = 0; bySeNr < NST_NR_STE; ++bySeNr)
    {
        if (!roStyle.HasStyleElem(bySeNr))
            continue;
        CNstStyleElem* poStyleElem = roStyle.GetStyleElem(bySeNr);
        if (poStyleElem->IsEmpty())
        {
            roStyle.DeleteStyleElem(bySeNr);
            continue;
        }
        const BYTE byNrCv = CNstQdIfc::ChordVarLimit(bySeNr);
        for (BYTE byCvNr = 0; byCvNr < NST_NR_CV; ++byCvNr)
        {
            if (!poStyleElem->HasChordVar(byCvNr))
                continue;
            CNstChordVar* poChordVar = poStyleElem->GetChordVar(byCvNr);
            if (poChordVar->IsEmpty() || byCvNr >= byNrCv)
            {
                poStyleElem->DeleteChordVar(byCvNr);
                continue;
            }
            for (BYTE byPNr = 0; byPNr < NST_NR_TRK; ++byPNr)
            {
                if (!poChordVar->IsPatternInUse(byPNr))
                    continue;
                CNstPattern* poPattern = poChordVar->GetPattern(byPNr);
                if (poPattern->IsEmpty())
                    poChordVar->ClearPattern(byPNr);
                // A type the bank has no pattern chunk for becomes the
                // track's own default type.
                else if (!QD_ASSERT(poPattern->GetType() <= QDI_MAX_PATTERN_TYPE))
                    poPattern->SetType(QDI_DEFAULT_PATTERN_TYPE[byPNr]);
            }
        }
        poStyleElem->RepairChordTable();
    }

    if (!HasAnyChordVar(roStyle, 0))
        roStyle.GetStyleElem(0)->GetChordVar(0)->GetPattern(0);
}

// CNstQdWriter -- one attempt to write a tidied style into a navigator on an
// empty root container.
class CNstQdWriter
{
public:
    CNstQdWriter(CNstStyle& roStyle, CChunkNav& roChunkNav) : m_roStyle(roStyle), m_roNav(roChunkNav) {}

    EQdWriteResult Write();

private:
    EQdWriteResult WriteStyleInfo();
    EQdWriteResult WritePatterns();
    EQdWriteResult WritePattern(const CNstChordVar& rkoChordVar, BYTE byPNr);
    EQdWriteResult WriteElement(const CNstStyleElem& rkoStyleElem);
    EQdWriteResult WriteChordVar(const CNstChordVar& rkoChordVar);

    // NewChunk -- a new chunk with parameter bytes 0 and CNCF_ATTR clear:
    // as the first child of the current, empty container or behind the
    // current chunk. A data chunk (bFinal) of dwSize bytes returns its data
    // in rpbyData. The room is checked first, so a buffer that is too small
    // ends the attempt without a report.
    EQdWriteResult NewChunk(bool bFirstChild, bool bFinal, BYTE byId, DWORD dwSize, BYTE*& rpbyData);
    // WriteRecord -- a data chunk holding the record.
    template <class TRecord> EQdWriteResult WriteRecord(bool bFirstChild, BYTE byId, const TRecord& rkoRecord)
    {
        const DWORD dwSize = rkoRecord.Size();
        BYTE* pbyData = nullptr;
        const EQdWriteResult eResult = NewChunk(bFirstChild, true, byId, dwSize, pbyData);
        if (eResult != qdWriteDone)
            return eResult;
        return rkoRecord.Write(pbyData, dwSize) == dwSize ? qdWriteDone : qdWriteFailed;
    }

    CNstStyle& m_roStyle;
    CChunkNav& m_roNav;
    // Event bytes of the lengthened patterns written so far.
    std::uint64_t m_qwExpandedTotal = 0;
};

EQdWriteResult CNstQdWriter::NewChunk(bool bFirstChild, bool bFinal, BYTE byId, DWORD dwSize, BYTE*& rpbyData)
{
    rpbyData = nullptr;
    const std::uint64_t qwGrowth = sizeof(CChunkHeader) + std::uint64_t(bFinal ? dwSize : 0);
    if (m_roNav.m_sdwfnExtraLength() < 0 || qwGrowth > std::uint64_t(m_roNav.m_sdwfnExtraLength()))
        return qdWriteNoRoom;
    const EChunkType eType = bFinal ? typeFinal : typeNotFinal;
    const CChunkId oId =
        bFirstChild ? m_roNav.m_ofnCreateChild(typeNotFinal, eType, CChunkId(byId), 0, 0, bFinal ? dwSize : 0)
                    : m_roNav.m_ofnInsertAfter(typeNotFinal, eType, CChunkId(byId), 0, 0, bFinal ? dwSize : 0);
    if (!oId)
        return qdWriteFailed; // the navigator has reported why
    if (bFinal)
    {
        rpbyData = m_roNav.m_pbyfnFinalData(dwSize);
        if (!rpbyData)
            return qdWriteFailed;
    }
    return qdWriteDone;
}

// CNstQdWriter::Write -- the style info, the pattern container with all
// patterns, then the elements, each behind the one before.
EQdWriteResult CNstQdWriter::Write()
{
    EQdWriteResult eResult = WriteStyleInfo();
    if (eResult == qdWriteDone)
        eResult = WritePatterns();
    for (BYTE bySeNr = 0; eResult == qdWriteDone && bySeNr < NST_NR_STE; ++bySeNr)
        if (const CNstStyleElem* pkoStyleElem = m_roStyle.FindStyleElem(bySeNr))
            eResult = WriteElement(*pkoStyleElem);
    return eResult;
}

EQdWriteResult CNstQdWriter::WriteStyleInfo()
{
    StyleInfoData oStyleInfoData;
    oStyleInfoData.m_strName = m_roStyle.GetName();
    for (int iPNr = NST_NR_TRK - 1; iPNr >= 0; --iPNr)
    {
        const CNstTrackStyle* pkoTrackStyle = m_roStyle.GetTrackStyle(BYTE(iPNr));
        oStyleInfoData.m_wTrackModes = WORD((oStyleInfoData.m_wTrackModes << 2) | (pkoTrackStyle->m_byMode & 0x03));
        oStyleInfoData.m_byTrackFlags = BYTE((oStyleInfoData.m_byTrackFlags << 1) | (pkoTrackStyle->m_byFlag & 0x01));
    }
    for (int iSeNr = NST_NR_STE - 1; iSeNr >= 0; --iSeNr)
        oStyleInfoData.m_wElementMask =
            WORD((oStyleInfoData.m_wElementMask << 1) | (m_roStyle.HasStyleElem(BYTE(iSeNr)) ? 1 : 0));
    return WriteRecord(true, QDI_ID_STYLE_INFO, oStyleInfoData);
}

// CNstQdWriter::WritePatterns -- one pattern chunk for every pattern in use,
// by element, chord variation and track; the navigator ends on the pattern
// container.
EQdWriteResult CNstQdWriter::WritePatterns()
{
    BYTE* pbyUnused = nullptr;
    EQdWriteResult eResult = NewChunk(false, false, QDI_ID_PATTERNS, 0, pbyUnused);
    if (eResult != qdWriteDone)
        return eResult;

    PatInfoData oPatInfoData;
    for (BYTE bySeNr = 0; bySeNr < NST_NR_STE; ++bySeNr)
        for (BYTE byCvNr = 0; byCvNr < NST_NR_CV; ++byCvNr)
            if (m_roStyle.HasChordVar(bySeNr, byCvNr))
            {
                const CNstChordVar* pkoChordVar = m_roStyle.FindStyleElem(bySeNr)->FindChordVar(byCvNr);
                for (BYTE byPNr = 0; byPNr < NST_NR_TRK; ++byPNr)
                    if (pkoChordVar->IsPatternInUse(byPNr))
                        oPatInfoData.m_awRefs.push_back(WORD(oPatInfoData.m_awRefs.size() + 1));
            }
    oPatInfoData.m_wTotalPatterns = oPatInfoData.m_wTotalCvPatterns = WORD(oPatInfoData.m_awRefs.size());
    eResult = WriteRecord(true, QDI_ID_PAT_INFO, oPatInfoData);

    for (BYTE bySeNr = 0; eResult == qdWriteDone && bySeNr < NST_NR_STE; ++bySeNr)
        for (BYTE byCvNr = 0; eResult == qdWriteDone && byCvNr < NST_NR_CV; ++byCvNr)
        {
            if (!m_roStyle.HasChordVar(bySeNr, byCvNr))
                continue;
            const CNstChordVar* pkoChordVar = m_roStyle.FindStyleElem(bySeNr)->FindChordVar(byCvNr);
            for (BYTE byPNr = 0; eResult == qdWriteDone && byPNr < NST_NR_TRK; ++byPNr)
                if (pkoChordVar->IsPatternInUse(byPNr))
                    eResult = WritePattern(*pkoChordVar, byPNr);
        }
    if (eResult == qdWriteDone)
        m_roNav.m_ofnLeave();
    return eResult;
}

// CNstQdWriter::WritePattern -- the pattern as long as its chord variation:
// a working copy repeated whole up to at least that length, then cleaned
// (no event at the last tick) to exactly that length. The model's pattern is
// not changed.
EQdWriteResult CNstQdWriter::WritePattern(const CNstChordVar& rkoChordVar, BYTE byPNr)
{
    const CNstPattern& rkoPattern = *rkoChordVar.FindPattern(byPNr);
    const TTICK tCvLength = rkoChordVar.GetLength();
    CNstPattern oWork(rkoPattern);
    const TTICK tPatternLength = oWork.GetNrTicks();
    if (tPatternLength < tCvLength)
    {
        if (!QD_ASSERT(tCvLength <= QDI_MAX_CV_TICKS))
            return qdWriteFailed;
        // The smallest whole number of repeats that reaches the chord
        // variation's length; a pattern of length 0 just takes that length.
        std::uint64_t qwTarget = tCvLength;
        if (tPatternLength)
        {
            const std::uint64_t qwRepeats = (std::uint64_t(tCvLength) + tPatternLength - 1) / tPatternLength;
            qwTarget = qwRepeats * tPatternLength;
            // A damaged length (billions of ticks over a short pattern) would
            // repeat the events far beyond anything a bank can hold, and
            // take as long to do it: such a style is refused instead.
            if (!oWork.IsEmpty())
                m_qwExpandedTotal += qwRepeats * oWork.GetDataLength();
            if (!QD_ASSERT(m_qwExpandedTotal <= QDI_MAX_STYLE_DATA))
                return qdWriteFailed;
        }
        oWork.SetLength(TTICK(std::min<std::uint64_t>(qwTarget, 0xFFFFFFFF)), false);
    }

    PatternData oSource(QdPatternChunkId(rkoPattern.GetType()));
    oSource.m_dwTotalTicks = tCvLength;
    oSource.m_dwTotalEventsDim = oWork.GetDataLength();
    oSource.m_pbyEvents = oWork.GetData();
    oSource.m_byAttr1 = oWork.GetAttribute1();
    oSource.m_byAttr2 = oWork.GetAttribute2();

    // The cleaned pattern may outgrow the usual room only where a pattern
    // holds plain note-ons, which become note records of up to twice their
    // size: a second attempt has room for that.
    CChannelState oChannelState;
    PatternData oClean;
    std::vector<BYTE> abyClean;
    int iCleanResult = MA_CLEAN_FAILED;
    for (int iAttempt = 1; iAttempt <= 2 && iCleanResult == MA_CLEAN_FAILED; ++iAttempt)
    {
        const std::uint64_t qwRoom = iAttempt * std::uint64_t(oSource.m_dwTotalEventsDim) + QDI_CLEAN_SPARE;
        if (qwRoom > QDI_MAX_BUFFER)
            break;
        abyClean.assign(std::size_t(qwRoom), 0);
        iCleanResult = CleanPattern(oChannelState, oSource, oClean, abyClean.data(), DWORD(qwRoom), false);
    }
    // Only a length the compact format cannot hold is left: the style cannot
    // be written.
    if (!QD_ASSERT(iCleanResult != MA_CLEAN_FAILED))
        return qdWriteFailed;
    return WriteRecord(false, oClean.m_byChunkId, oClean);
}

// CNstQdWriter::WriteElement -- the element container behind the current
// chunk, with its info, track parameters and chord variations.
EQdWriteResult CNstQdWriter::WriteElement(const CNstStyleElem& rkoStyleElem)
{
    BYTE* pbyUnused = nullptr;
    EQdWriteResult eResult = NewChunk(false, false, QDI_ID_ELEMENT, 0, pbyUnused);
    if (eResult != qdWriteDone)
        return eResult;

    StyleElementInfoData oStyleElementInfoData;
    for (int iCvNr = NST_NR_CV - 1; iCvNr >= 0; --iCvNr)
        oStyleElementInfoData.m_byCvMask =
            BYTE((oStyleElementInfoData.m_byCvMask << 1) | (rkoStyleElem.HasChordVar(BYTE(iCvNr)) ? 1 : 0));
    oStyleElementInfoData.m_byMode = rkoStyleElem.GetMode();
    // The byte holds numerators up to 31 and exponents up to 7; a larger
    // value keeps its low bits.
    const CNstTimeSig& rkoTimeSig = rkoStyleElem.GetTimeSig();
    QD_ASSERT_TEXT(QdSignatureFits(rkoTimeSig),
                   "rkoTimeSig.m_byNumerator <= QDI_SIG_MAX_NUMERATOR && rkoTimeSig.m_byDenomExp <= QDI_SIG_EXP_MASK");
    oStyleElementInfoData.m_bySignature = QdSignatureByte(rkoTimeSig);
    oStyleElementInfoData.m_byCVTabLength = QDI_MAX_CHORD;
    oStyleElementInfoData.m_abyChordTable.assign(rkoStyleElem.GetChordTable(),
                                                 rkoStyleElem.GetChordTable() + QDI_MAX_CHORD);
    eResult = WriteRecord(true, QDI_ID_ELEM_INFO, oStyleElementInfoData);

    TrackParamData oTrackParamData;
    for (BYTE byPNr = 0; byPNr < NST_NR_TRK; ++byPNr)
        std::memcpy(oTrackParamData.m_aabyParams[byPNr], rkoStyleElem.GetTrackParam(byPNr), NST_TRKPAR_SIZE);
    if (eResult == qdWriteDone)
        eResult = WriteRecord(false, QDI_ID_TRACK_PARAMS, oTrackParamData);

    for (BYTE byCvNr = 0; eResult == qdWriteDone && byCvNr < NST_NR_CV; ++byCvNr)
        if (const CNstChordVar* pkoChordVar = rkoStyleElem.FindChordVar(byCvNr))
            eResult = WriteChordVar(*pkoChordVar);
    if (eResult == qdWriteDone)
        m_roNav.m_ofnLeave();
    return eResult;
}

// CNstQdWriter::WriteChordVar -- one CV pattern per pattern in use, in track
// order, each with the type of the pattern chunk written for it (the
// pattern's own type, so that every pattern chunk's id is its CV pattern's
// type + 2 and the style reads back without a type warning, whatever type
// the track's pattern has).
//
// The event data go into a buffer of the meta pattern's length + 80 bytes.
// That is enough: at most 8 start markers of 8 bytes, the meta pattern's
// markers in the same bytes as in the meta pattern, and an end of at most 8
// bytes in place of the meta pattern's own end of at least 4. The encoder
// checks its room before each record and never writes past the buffer; an
// encoding that fails nonetheless (a length the compact format cannot hold)
// is reported and the style is not written.
EQdWriteResult CNstQdWriter::WriteChordVar(const CNstChordVar& rkoChordVar)
{
    ChordVarData oChordVarData;
    oChordVarData.m_dwTotalTicks = rkoChordVar.GetLength();
    for (BYTE byPNr = 0; byPNr < NST_NR_TRK; ++byPNr)
        if (rkoChordVar.IsPatternInUse(byPNr))
            oChordVarData.m_poCvPatInfo.push_back({rkoChordVar.FindPattern(byPNr)->GetType(), byPNr});
    oChordVarData.m_byNrPatterns = BYTE(oChordVarData.m_poCvPatInfo.size());

    std::vector<BYTE> abyEvents(std::size_t(rkoChordVar.GetMetaPatternLength()) + QDI_CV_EVENTS_SPARE);
    CMemEncoder oEncoder(abyEvents.data(), DWORD(abyEvents.size()));
    const bool bCvEventsEncoded =
        CNstQdIfc::EncodeChordVarEvents(oEncoder, rkoChordVar, oChordVarData.m_byNrPatterns);
    if (!QD_ASSERT(bCvEventsEncoded))
        return qdWriteFailed;
    oChordVarData.m_dwEventsDim = oEncoder.GetBytesWritten();
    oChordVarData.m_pbyEvents = oEncoder.GetBufferStart();
    return WriteRecord(false, QDI_ID_CHORD_VAR, oChordVarData);
}

} // namespace

// ---------------------------------------------------------------------------
// CNstBankData
// ---------------------------------------------------------------------------

// CNstBankData::CNstBankData -- the navigator stands on the root.
CNstBankData::CNstBankData(std::unique_ptr<BYTE[]> pbyBuffer, DWORD dwCapacity)
    : m_pbyBuffer(std::move(pbyBuffer)), m_dwCapacity(m_pbyBuffer ? dwCapacity : 0),
      m_poNav(std::make_unique<CChunkNav>(m_pbyBuffer.get(), m_dwCapacity))
{
}

DWORD CNstBankData::GetUsedSize() const
{
    return m_poNav ? m_poNav->m_dwfnUsedSize() : 0;
}

std::unique_ptr<BYTE[]> CNstBankData::TakeBuffer(DWORD& rdwUsedSize)
{
    rdwUsedSize = GetUsedSize();
    m_poNav.reset();
    m_dwCapacity = 0;
    return std::move(m_pbyBuffer);
}

// ---------------------------------------------------------------------------
// CNstQdIfc
// ---------------------------------------------------------------------------

CNstQdIfc::CNstQdIfc(CChunkNav* poChunkNav)
{
    SetName(QDI_NEW_STYLE_NAME);
    for (BYTE byPNr = 0; byPNr < NST_NR_TRK; ++byPNr)
        *GetTrackStyle(byPNr) = {QDI_DEFAULT_TRACK_MODE[byPNr], QDI_DEFAULT_TRACK_FLAG[byPNr]};
    if (poChunkNav)
        ReadStyle(*poChunkNav);
}

CNstQdIfc::~CNstQdIfc() = default;

// CNstQdIfc::OnNewStyleElem -- mode byte, measures, bank select and program
// of the bank's new elements; expression and note numbers keep the model's.
void CNstQdIfc::OnNewStyleElem(CNstStyleElem& roStyleElem, BYTE bySeNr)
{
    if (bySeNr >= NST_NR_STE)
        return;
    roStyleElem.SetMode(QDI_DEFAULT_ELEM_MODE[bySeNr]);
    roStyleElem.SetMeasures(QDI_DEFAULT_ELEM_MEASURES[bySeNr]);
    for (BYTE byPNr = 0; byPNr < NST_NR_TRK; ++byPNr)
    {
        CNstTrackParam* poTrackParam = roStyleElem.GetTrackParam(byPNr);
        poTrackParam->m_byBankMsb = QDI_DEFAULT_BANK_MSB[byPNr];
        poTrackParam->m_byBankLsb = QDI_DEFAULT_BANK_LSB;
        poTrackParam->m_byProgram = QDI_DEFAULT_PROGRAM[byPNr];
    }
}

// CNstQdIfc::OnNewPattern -- the pattern type that goes with the track.
void CNstQdIfc::OnNewPattern(CNstPattern& roPattern, BYTE byPNr)
{
    if (byPNr < NST_NR_TRK)
        roPattern.SetType(QDI_DEFAULT_PATTERN_TYPE[byPNr]);
}

// CNstQdIfc::ReadStyle -- see CNstQdReader.
void CNstQdIfc::ReadStyle(CChunkNav& roChunkNav)
{
    CNstQdReader(*this, roChunkNav).Read();
}

// CNstQdIfc::EncodeChordVarEvents -- the start markers as one list at tick
// 0, then the meta pattern's kept markers list by list.
bool CNstQdIfc::EncodeChordVarEvents(CMemEncoder& roEncoder, const CNstChordVar& rkoChordVar, BYTE byNrPatterns)
{
    if (!roEncoder.Open())
        return false;
    const TTICK tLength = rkoChordVar.GetLength();

    // The start markers; an exhausted events pool (reported) leaves the
    // chord variation unwritten.
    bool bEncoded = true;
    {
        CEventList oStartMarkers;
        for (BYTE byPosition = 0; bEncoded && byPosition < byNrPatterns; ++byPosition)
        {
            CLinkedEvent* poMarker = oStartMarkers.Add();
            bEncoded = poMarker != nullptr;
            if (poMarker)
                PropFormSetMarker(*poMarker, PROP_MARKER_START, byPosition);
        }
        if (!oStartMarkers.IsEmpty())
            bEncoded = bEncoded && roEncoder.EncodeEventsAt(0, oStartMarkers.Get());
    }

    if (rkoChordVar.GetMetaPatternLength())
    {
        CDecProp oDecoder(rkoChordVar.GetMetaPatternData(), rkoChordVar.GetMetaPatternLength());
        TDELTA sdwDelta = oDecoder.Rewind();
        CEventList oList;
        while (bEncoded && !oDecoder.IsEndOfStream() && sdwDelta != NO_DELTA)
        {
            sdwDelta = oDecoder.ExtractEvents(oList);
            if (oDecoder.GetTick() >= tLength)
                break;
            // The meta pattern's own end of track is not written.
            oList.KeepIf([](const CLinkedEvent& rkoEvent) { return PropFormIsMarker(rkoEvent, PROP_MARKER_KEPT); });
            if (!oList.IsEmpty())
                bEncoded = roEncoder.EncodeEventsAt(oDecoder.GetTick(), oList.Get());
        }
    }

    bEncoded = bEncoded && roEncoder.SetEnd(tLength);
    if (!bEncoded)
        roEncoder.Reset();
    roEncoder.Close();
    return bEncoded;
}

BYTE CNstQdIfc::ChordVarLimit(BYTE bySeNr)
{
    return bySeNr < QDI_NR_VARIATIONS ? NST_NR_CV : QDI_NR_CV_OTHER;
}

// CNstQdIfc::WriteStyle -- tidies, sizes the buffer from the style's size
// estimate, the written chord variations and tracks and the spare room, and
// writes. The estimate counts a pattern once per doubling of its length
// within its chord variation, which is less than its repeats where a
// pattern is repeated 3, 5, 6 or 7 times: when the subtree does not fit, it
// is written again into a buffer twice the size, until it fits with the
// spare room left over.
std::unique_ptr<CNstBankData> CNstQdIfc::WriteStyle(CNstStyle& roStyle)
{
    TidyStyle(roStyle);

    std::uint64_t qwChordVars = 0;
    std::uint64_t qwTracks = 0;
    for (BYTE bySeNr = 0; bySeNr < NST_NR_STE; ++bySeNr)
        for (BYTE byCvNr = 0; byCvNr < NST_NR_CV; ++byCvNr)
            if (roStyle.HasChordVar(bySeNr, byCvNr))
            {
                ++qwChordVars;
                const CNstChordVar* pkoChordVar = roStyle.FindStyleElem(bySeNr)->FindChordVar(byCvNr);
                for (BYTE byPNr = 0; byPNr < NST_NR_TRK; ++byPNr)
                    qwTracks += pkoChordVar->IsPatternInUse(byPNr) ? 1 : 0;
            }
    std::uint64_t qwCapacity = std::uint64_t(roStyle.SizeEstimate(true)) + QDI_SIZE_PER_CV * qwChordVars +
                               QDI_SIZE_PER_TRACK * qwTracks + QDI_SIZE_SPARE;

    for (bool bFirstAttempt = true;; bFirstAttempt = false)
    {
        if (qwCapacity > QDI_MAX_BUFFER)
            return nullptr;
        std::unique_ptr<BYTE[]> pbyBuffer = std::make_unique_for_overwrite<BYTE[]>(std::size_t(qwCapacity));
        // The root: an empty style container.
        CChunkHeader oRoot{QDI_ID_STYLE, 0, 0, 0, {}};
        oRoot.m_dwLength = 0;
        std::memcpy(pbyBuffer.get(), &oRoot, sizeof(oRoot));

        auto poBankData = std::make_unique<CNstBankData>(std::move(pbyBuffer), DWORD(qwCapacity));
        CChunkNav& roNav = *poBankData->GetNav();
        const EQdWriteResult eResult = CNstQdWriter(roStyle, roNav).Write();
        if (eResult == qdWriteFailed)
            return nullptr;
        // A larger buffer of our own choosing also keeps the spare room.
        if (eResult == qdWriteDone && (bFirstAttempt || roNav.m_sdwfnExtraLength() >= SDWORD(QDI_SIZE_SPARE)))
        {
            roNav.m_ofnRewind();
            return poBankData;
        }
        qwCapacity *= 2;
    }
}
