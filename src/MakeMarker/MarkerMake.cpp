// MarkerMake.cpp -- marker making: the consistency check, merging identical
// patterns, and splitting long patterns into shared sub-patterns started and
// stopped by markers.
//
// Marker making works pattern by pattern and keeps the style whole after
// each one: the new pattern records, the rewritten chord variations and the
// new reference table are all made in memory first, the growth they need is
// checked against the block's reserve, and only then are the chunks edited.
// A pattern whose plan cannot be made is left whole; a style whose reserve
// runs out stops making markers, so no reference is ever left half written.
#define QD_REPORT_FILE "MakeMarker/MakeMark"

#include "MakeMarker/MakeMark.h"

#include "Base/Report.h"
#include "ChunkNav/ChunkNav.h"
#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/RTEvents/EventList.h"
#include "Kernel/SeqBase/PropForm.h"
#include "MakeMarker/MakeMarkNav.h"
#include "MemCoder/MaEncoder.h"
#include "NlzdStyle/QdRecords.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Room beyond a pattern's event size for re-encoding part or all of it: the
// encoder asks for a record's worst case before writing it, a sub-pattern's
// first delta and track may take more bytes than in the source, and an end
// event is added.
constexpr DWORD REENCODE_MARGIN = 1024;
// More CV patterns than this in a chord variation is worth a warning.
constexpr int MANY_CV_PATTERNS = 31;

// A record's bytes, owned.
struct CRecordBytes
{
    std::unique_ptr<BYTE[]> m_pbyData;
    DWORD m_dwSize = 0;

    // CRecordBytes::Allocate -- qwSize bytes; false for more than 2 GB.
    bool Allocate(std::uint64_t qwSize)
    {
        if (qwSize > 0x7FFFFFFF)
            return false;
        m_pbyData = std::make_unique_for_overwrite<BYTE[]>(qwSize);
        m_dwSize = DWORD(qwSize);
        return true;
    }
    // CRecordBytes::Equals -- same size, same bytes.
    bool Equals(const CRecordBytes& rkoOther) const
    {
        return m_dwSize == rkoOther.m_dwSize && std::memcmp(m_pbyData.get(), rkoOther.m_pbyData.get(), m_dwSize) == 0;
    }
};

// dwfnCounts -- two counts of 16 bits each, in one result.
DWORD dwfnCounts(DWORD dwHigh, DWORD dwLow)
{
    return std::min<DWORD>(dwHigh, 0xFFFF) << 16 | std::min<DWORD>(dwLow, 0xFFFF);
}

} // namespace

namespace {

// OpenPatInfo -- goes to the style's pattern info and parses it. A style
// without one is reported and the navigator returns to the style: the
// caller does nothing more.
bool OpenPatInfo(CChunkNav& roStyleNav, WORD wStyleLevel, PatInfoData& roPatInfoData)
{
    if (MakeMarkGoToPatInfo(roStyleNav, wStyleLevel) &&
        roPatInfoData.Parse(roStyleNav.m_pbyfnData(), roStyleNav.m_dwfnDataLength()))
        return true;
    QD_REPORT_FALSE();
    MakeMarkToLevel(roStyleNav, wStyleLevel);
    return false;
}

} // namespace

// ---------------------------------------------------------------------------
// Consistency check
// ---------------------------------------------------------------------------

// MakeMarkConsistencyCheck -- the cleaned record is built in one work area
// (its events encoded at their offset in the record) and replaces the
// chunk's data in place. A
// pattern whose cleaning does not fit the usual margin is tried once more
// with a generous one.
DWORD MakeMarkConsistencyCheck(CChunkNav& roStyleNav)
{
    const WORD wStyleLevel = roStyleNav.m_wfnLevel();
    PatInfoData oPatInfoData;
    if (!OpenPatInfo(roStyleNav, wStyleLevel, oPatInfoData))
        return 0;

    CChannelState oChannelState;
    DWORD dwCount = 0;
    DWORD dwExamined = 0;
    DWORD dwReplaced = 0;
    while (roStyleNav.m_ofnNext())
    {
        ++dwCount;
        if (!MakeMarkIsPatternChunk(roStyleNav))
            continue;
        ++dwExamined;
        PatternData oPatternData(MakeMarkHeader(roStyleNav).m_byId);
        if (!oPatternData.Parse(roStyleNav.m_pbyfnData(), roStyleNav.m_dwfnDataLength(), true))
            continue;

        const std::uint64_t aqwRoom[] = {std::uint64_t(oPatternData.m_dwTotalEventsDim) + QDI_CLEAN_SPARE,
                                         2 * std::uint64_t(oPatternData.m_dwTotalEventsDim) + 4 * REENCODE_MARGIN};
        int iResult = MA_CLEAN_FAILED;
        CRecordBytes oRecord;
        PatternData oCleaned;
        for (std::uint64_t qwRoom : aqwRoom)
        {
            if (!oRecord.Allocate(qwRoom + MA_PATTERN_MAX_OVERHEAD))
                break;
            iResult = CleanPattern(oChannelState, oPatternData, oCleaned,
                                   oRecord.m_pbyData.get() + MA_PATTERN_EVENTS_OFFSET, DWORD(qwRoom), true);
            if (iResult != MA_CLEAN_FAILED)
                break;
        }
        if (iResult != MA_CLEAN_CHANGED)
            continue;
        const DWORD dwSize = oCleaned.Write(oRecord.m_pbyData.get(), oRecord.m_dwSize);
        if (dwSize && MakeMarkReplaceData(roStyleNav, oRecord.m_pbyData.get(), dwSize))
            ++dwReplaced;
    }
    QD_ASSERT_TEXT(dwCount == oPatInfoData.m_wTotalPatterns, "wPCount == wCount");
    MakeMarkToLevel(roStyleNav, wStyleLevel);
    return dwfnCounts(dwExamined, dwReplaced);
}

// ---------------------------------------------------------------------------
// Merging identical patterns
// ---------------------------------------------------------------------------

namespace {

// One pattern chunk as the merge sees it.
struct CMergeRecord
{
    const BYTE* m_pkbyData;
    DWORD m_dwLength;
    BYTE m_byId;
    int m_iFirst;    // the earlier identical chunk, -1 when none
    bool m_bDeleted; // removed by this merge
    int m_iNewIndex; // position among the chunks that remain
};

} // namespace

// MakeMarkMergePatterns -- all comparisons are made before any chunk is
// deleted (the records point into the chunks); the new numbering follows
// the deletions actually made.
DWORD MakeMarkMergePatterns(CChunkNav& roStyleNav)
{
    const WORD wStyleLevel = roStyleNav.m_wfnLevel();
    PatInfoData oPatInfoData;
    if (!OpenPatInfo(roStyleNav, wStyleLevel, oPatInfoData))
        return 0;

    std::vector<CMergeRecord> aoRecords;
    DWORD dwDuplicates = 0;
    while (roStyleNav.m_ofnNext())
    {
        if (!MakeMarkIsPatternChunk(roStyleNav))
            continue;
        CMergeRecord oRecord{
            roStyleNav.m_pbyfnData(), roStyleNav.m_dwfnDataLength(), MakeMarkHeader(roStyleNav).m_byId, -1, false, 0};
        for (std::size_t i = 0; i < aoRecords.size(); ++i)
        {
            const CMergeRecord& rkoEarlier = aoRecords[i];
            if (rkoEarlier.m_dwLength == oRecord.m_dwLength && rkoEarlier.m_byId == oRecord.m_byId &&
                std::memcmp(rkoEarlier.m_pkbyData, oRecord.m_pkbyData, oRecord.m_dwLength) == 0)
            {
                oRecord.m_iFirst = int(i);
                ++dwDuplicates;
                break;
            }
        }
        aoRecords.push_back(oRecord);
    }
    const DWORD dwCount = DWORD(aoRecords.size());
    QD_ASSERT_TEXT(dwCount == oPatInfoData.m_wTotalPatterns, "wPCount == wCount");
    if (!dwDuplicates)
    {
        MakeMarkToLevel(roStyleNav, wStyleLevel);
        return dwfnCounts(dwCount, 0);
    }

    // Delete the duplicates. After a deletion the following chunk is current.
    MakeMarkGoToPatInfo(roStyleNav, wStyleLevel);
    const WORD wInfoLevel = roStyleNav.m_wfnLevel();
    DWORD dwPatNum = 0;
    DWORD dwDeleted = 0;
    bool bMore = bool(roStyleNav.m_ofnNext());
    while (bMore)
    {
        if (MakeMarkIsPatternChunk(roStyleNav) && dwPatNum < dwCount)
        {
            CMergeRecord& roRecord = aoRecords[dwPatNum++];
            if (roRecord.m_iFirst >= 0)
            {
                if (!roStyleNav.m_ofnDelete())
                    break;
                roRecord.m_bDeleted = true;
                ++dwDeleted;
                bMore = roStyleNav.m_wfnLevel() == wInfoLevel;
                continue;
            }
        }
        bMore = bool(roStyleNav.m_ofnNext());
    }
    QD_ASSERT_TEXT(dwPatNum == dwCount, "wPatNum == wCount");

    int iNewIndex = 0;
    for (CMergeRecord& roRecord : aoRecords)
        roRecord.m_iNewIndex = roRecord.m_bDeleted ? -1 : iNewIndex++;
    oPatInfoData.m_wTotalPatterns = WORD(dwCount - dwDeleted);
    for (WORD& rwRef : oPatInfoData.m_awRefs)
    {
        int swP = -1;
        if (rwRef >= 1 && rwRef <= dwCount)
        {
            const CMergeRecord& rkoRecord = aoRecords[rwRef - 1];
            swP = rkoRecord.m_bDeleted ? aoRecords[rkoRecord.m_iFirst].m_iNewIndex : rkoRecord.m_iNewIndex;
        }
        if (QD_ASSERT(swP >= 0))
            rwRef = WORD(swP + 1);
    }
    // The table keeps its size: the rewrite cannot be refused.
    if (MakeMarkGoToPatInfo(roStyleNav, wStyleLevel))
        MakeMarkWritePatInfo(roStyleNav, oPatInfoData);
    MakeMarkToLevel(roStyleNav, wStyleLevel);
    return dwfnCounts(dwCount, dwDeleted);
}

// ---------------------------------------------------------------------------
// Making markers
// ---------------------------------------------------------------------------

namespace {

// CSplitPlan -- one pattern cut into sub-patterns: the split record (its
// sub-patterns carrying shared index and marker flags) and the stored record
// of each distinct sub-pattern, the first of which takes the pattern's place.
struct CSplitPlan
{
    PatternData m_oPatternData;
    std::vector<CRecordBytes> m_aoDistinct;

    DWORD Added() const { return DWORD(m_aoDistinct.size()) - 1; }
};

// CCvRewrite -- the new record of one chord variation that uses the split
// pattern, found again by its place among the style's chord variations.
struct CCvRewrite
{
    DWORD m_dwOrdinal;
    DWORD m_dwOldLength;
    int m_iNrPatterns;
    CRecordBytes m_oRecord;
};

// bfnPlanSplit -- splits the current pattern chunk and extracts every
// sub-pattern. Identical neighbours run on as one stretch: the later one
// needs no start marker, the earlier no end marker. False leaves the
// pattern whole: no cut, a split that does not end at the pattern's length,
// or an extraction that fails.
bool bfnPlanSplit(const CChunkNav& rkoNav, WORD wSigCode, int iTarget, CSplitPlan& roPlan)
{
    PatternData& roPatternData = roPlan.m_oPatternData;
    roPatternData.Init(MakeMarkHeader(rkoNav).m_byId);
    if (!roPatternData.Parse(rkoNav.m_pbyfnData(), rkoNav.m_dwfnDataLength(), true))
        return false;
    CChannelState oChannelState;
    if (SplitPattern(oChannelState, roPatternData, wSigCode, iTarget) <= 0)
        return false;
    const SubPattern& rkoLast = roPatternData.m_poSubPatterns[roPatternData.m_iNrSubPatterns - 1];
    if (rkoLast.m_dwStartTick + std::uint64_t(rkoLast.m_dwTicks) != roPatternData.m_dwTotalTicks)
        return false;

    const std::uint64_t qwRoom = std::uint64_t(roPatternData.m_dwTotalEventsDim) + REENCODE_MARGIN;
    for (int i = 0; i < roPatternData.m_iNrSubPatterns; ++i)
    {
        CRecordBytes oRecord;
        PatternData oSub;
        if (!oRecord.Allocate(qwRoom + MA_PATTERN_MAX_OVERHEAD) ||
            !ExtractSubPattern(roPatternData, i, oSub, oRecord.m_pbyData.get() + MA_PATTERN_EVENTS_OFFSET,
                               DWORD(qwRoom)))
            return false;
        oRecord.m_dwSize = oSub.Write(oRecord.m_pbyData.get(), oRecord.m_dwSize);
        if (!oRecord.m_dwSize)
            return false;

        SubPattern& roSub = roPatternData.m_poSubPatterns[i];
        roSub.m_dwSharedIndex = DWORD(roPlan.m_aoDistinct.size());
        roSub.m_dwStartMarker = 1;
        roSub.m_dwEndMarker = 1;
        for (std::size_t d = 0; d < roPlan.m_aoDistinct.size(); ++d)
            if (roPlan.m_aoDistinct[d].Equals(oRecord))
            {
                roSub.m_dwSharedIndex = DWORD(d);
                break;
            }
        if (roSub.m_dwSharedIndex == roPlan.m_aoDistinct.size())
            roPlan.m_aoDistinct.push_back(std::move(oRecord));
        if (i > 0 && roPatternData.m_poSubPatterns[i - 1].m_dwSharedIndex == roSub.m_dwSharedIndex)
        {
            roSub.m_dwStartMarker = 0;
            roPatternData.m_poSubPatterns[i - 1].m_dwEndMarker = 0;
        }
    }
    return true;
}

// CMarkerEmitter -- places the markers of the split pattern's sub-patterns
// for position byPosition, in order, as the re-encoding of the chord
// variation's events reaches their ticks.
class CMarkerEmitter
{
public:
    CMarkerEmitter(const PatternData& rkoPatternData, BYTE byPosition, TTICK tTotalTicks, CMemEncoder& roEncoder)
        : m_rkoPatternData(rkoPatternData), m_byPosition(byPosition), m_tTotalTicks(tTotalTicks), m_roEncoder(roEncoder)
    {
    }

    // CMarkerEmitter::EmitUpTo -- every start and end due by tTick; sub-patterns
    // follow one another, so what is due is always a run from the next one on.
    bool EmitUpTo(std::uint64_t qwTick)
    {
        for (; m_iSub < m_rkoPatternData.m_iNrSubPatterns; ++m_iSub, m_bStarted = false)
        {
            const SubPattern& rkoSub = m_rkoPatternData.m_poSubPatterns[m_iSub];
            if (!m_bStarted)
            {
                if (rkoSub.m_dwStartTick > qwTick)
                    return true;
                if (rkoSub.m_dwStartMarker && !Emit(rkoSub.m_dwStartTick, PROP_MARKER_START, rkoSub.m_dwSharedIndex))
                    return false;
                m_bStarted = true;
            }
            const std::uint64_t qwEnd = std::uint64_t(rkoSub.m_dwStartTick) + rkoSub.m_dwTicks;
            if (qwEnd > qwTick)
                return true;
            if (rkoSub.m_dwEndMarker && qwEnd < m_tTotalTicks &&
                !Emit(TTICK(qwEnd), PROP_MARKER_END, rkoSub.m_dwSharedIndex))
                return false;
        }
        return true;
    }

private:
    bool Emit(TTICK tTick, BYTE byKind, DWORD dwSharedIndex)
    {
        CLinkedEvent oMarker;
        PropFormSetMarker(oMarker, byKind, BYTE(m_byPosition + dwSharedIndex));
        return m_roEncoder.EncodeEventsAt(tTick, &oMarker);
    }

    const PatternData& m_rkoPatternData;
    BYTE m_byPosition;
    TTICK m_tTotalTicks;
    CMemEncoder& m_roEncoder;
    int m_iSub = 0;
    bool m_bStarted = false;
};

// bfnReencodeForPosition -- the chord variation's events from one work area
// into another, for the split pattern at position byPosition: its markers
// give way to those of the sub-patterns, markers of later positions move up
// by dwAdded, everything else is copied at its tick. False when the result
// does not fit the work area.
bool bfnReencodeForPosition(const BYTE* pkbyEvents, DWORD dwEventsDim, const CSplitPlan& rkoPlan, BYTE byPosition,
                            TTICK tTotalTicks, BYTE* pbyOut, DWORD& rdwOutDim)
{
    const DWORD dwAdded = rkoPlan.Added();
    CMemEncoder oEncoder(pbyOut, MA_CV_EVENTS_WORK_SIZE);
    oEncoder.Open();
    CMarkerEmitter oEmitter(rkoPlan.m_oPatternData, byPosition, tTotalTicks, oEncoder);
    bool bEncoded = true;
    CPatternReader oReader(pkbyEvents, dwEventsDim);
    CEventList oList;
    std::uint64_t qwTick = 0;
    while (bEncoded && oReader.Next(oList, qwTick))
    {
        bEncoded = oEmitter.EmitUpTo(qwTick);
        oList.KeepIf([byPosition, dwAdded](CLinkedEvent& roEvent) {
            BYTE byKind = 0;
            BYTE byMarkerPosition = 0;
            const bool bMarker = PropFormReadMarker(roEvent, byKind, byMarkerPosition);
            if ((bMarker && byMarkerPosition == byPosition) || roEvent.IsEndOfTrack())
                return false;
            if (bMarker && byMarkerPosition > byPosition)
                roEvent.GetMetaData()[1] = BYTE(byMarkerPosition + dwAdded);
            return true;
        });
        if (!oList.IsEmpty())
            bEncoded = bEncoded && oEncoder.EncodeEventsAt(TTICK(qwTick), oList.Get());
    }
    bEncoded = bEncoded && oEmitter.EmitUpTo(tTotalTicks) && oEncoder.SetEnd(tTotalTicks);
    if (!bEncoded)
        oEncoder.Reset();
    oEncoder.Close();
    rdwOutDim = oEncoder.GetBytesWritten();
    return bEncoded;
}

// bfnIsFlatFor -- the chord variation plays the pattern at these positions
// as the flat form does: its length is the pattern's, each position has one
// start marker, at tick 0, and no end marker, and no event lies past its
// end. Marker making relies on it: the sub-patterns' ticks are the pattern's.
bool bfnIsFlatFor(const ChordVarData& rkoChordVarData, const std::vector<BYTE>& rkabyPositions, TTICK tPatternTicks)
{
    if (rkoChordVarData.m_dwTotalTicks != tPatternTicks)
        return false;
    std::vector<int> aiStarts(rkabyPositions.size(), 0);
    bool bFlat = true;
    CPatternReader oReader(rkoChordVarData.m_pbyEvents, rkoChordVarData.m_dwEventsDim);
    CEventList oList;
    std::uint64_t qwTick = 0;
    while (oReader.Next(oList, qwTick))
    {
        bFlat = bFlat && qwTick <= rkoChordVarData.m_dwTotalTicks;
        for (const CLinkedEvent* pkoEvent = oList.Get(); pkoEvent; pkoEvent = pkoEvent->Next())
        {
            BYTE byKind = 0;
            BYTE byPosition = 0;
            if (!PropFormReadMarker(*pkoEvent, byKind, byPosition))
                continue;
            for (std::size_t i = 0; i < rkabyPositions.size(); ++i)
                if (byPosition == rkabyPositions[i])
                {
                    bFlat = bFlat && byKind == PROP_MARKER_START && qwTick == 0;
                    ++aiStarts[i];
                }
        }
    }
    return bFlat && !oReader.IsCorrupted() &&
           std::all_of(aiStarts.begin(), aiStarts.end(), [](int iStarts) { return iStarts == 1; });
}

// bfnPlanChordVar -- the new record of a chord variation whose positions
// rkabyPositions (ascending) use the split pattern: each such position is
// followed by one more CV pattern per further distinct sub-pattern, and its
// markers are those of the sub-patterns. False leaves the pattern whole.
bool bfnPlanChordVar(const ChordVarData& rkoChordVarData, const std::vector<BYTE>& rkabyPositions,
                     const CSplitPlan& rkoPlan, CCvRewrite& roRewrite)
{
    const PatternData& rkoPatternData = rkoPlan.m_oPatternData;
    const DWORD dwAdded = rkoPlan.Added();
    if (!bfnIsFlatFor(rkoChordVarData, rkabyPositions, rkoPatternData.m_dwTotalTicks))
        return false;
    for (int i = 0; i < rkoPatternData.m_iNrSubPatterns; ++i)
    {
        const SubPattern* poSub = &rkoPatternData.m_poSubPatterns[i];
        if (!QD_ASSERT_TEXT(std::uint64_t(poSub->m_dwStartTick) + poSub->m_dwTicks <= rkoChordVarData.m_dwTotalTicks,
                            "(poSub->m_dwStartTick + poSub->m_dwTicks) <= oChordVarData.m_dwTotalTicks"))
            return false;
    }
    const std::uint64_t qwNrPatterns = rkoChordVarData.m_byNrPatterns + std::uint64_t(dwAdded) * rkabyPositions.size();
    if (!QD_ASSERT_TEXT(qwNrPatterns <= MA_MAX_CVPATTERNS, "oChordVarData.m_byNrPatterns <= MA_MAX_CVPATTERNS") ||
        2 * qwNrPatterns > MA_CV_PATINFO_WORK_SIZE)
        return false;
    // Event data beyond the work area is not split: the pattern stays whole.
    if (rkoChordVarData.m_dwEventsDim > MA_CV_EVENTS_WORK_SIZE)
        return false;

    // Two work areas, re-encoded from one into the other per position.
    std::unique_ptr<BYTE[]> pbyAreas = std::make_unique_for_overwrite<BYTE[]>(2 * MA_CV_EVENTS_WORK_SIZE);
    BYTE* pbyCurrent = pbyAreas.get();
    BYTE* pbyNext = pbyAreas.get() + MA_CV_EVENTS_WORK_SIZE;
    DWORD dwCurrentDim = rkoChordVarData.m_dwEventsDim;
    if (dwCurrentDim)
        std::memcpy(pbyCurrent, rkoChordVarData.m_pbyEvents, dwCurrentDim);
    std::vector<CvPatInfo> aoInfo = rkoChordVarData.m_poCvPatInfo;

    DWORD dwShift = 0;
    for (BYTE byOriginal : rkabyPositions)
    {
        const BYTE byPosition = BYTE(byOriginal + dwShift);
        DWORD dwNextDim = 0;
        if (!bfnReencodeForPosition(pbyCurrent, dwCurrentDim, rkoPlan, byPosition, rkoChordVarData.m_dwTotalTicks,
                                    pbyNext, dwNextDim))
            return false;
        std::swap(pbyCurrent, pbyNext);
        dwCurrentDim = dwNextDim;
        const CvPatInfo oInfo = aoInfo[byPosition];
        aoInfo.insert(aoInfo.begin() + byPosition + 1, dwAdded, oInfo);
        dwShift += dwAdded;
    }

    ChordVarData oNew;
    oNew.m_dwTotalTicks = rkoChordVarData.m_dwTotalTicks;
    oNew.m_dwEventsDim = dwCurrentDim;
    oNew.m_pbyEvents = pbyCurrent;
    oNew.m_byNrPatterns = BYTE(aoInfo.size());
    oNew.m_poCvPatInfo = std::move(aoInfo);
    roRewrite.m_iNrPatterns = oNew.m_byNrPatterns;
    return roRewrite.m_oRecord.Allocate(oNew.Size()) &&
           oNew.Write(roRewrite.m_oRecord.m_pbyData.get(), roRewrite.m_oRecord.m_dwSize) == oNew.Size();
}

// CMakeMarkers -- the state of one marker making over a style.
class CMakeMarkers
{
public:
    CMakeMarkers(CChunkNav& roNav, WORD wSigCode, int iTarget)
        : m_roNav(roNav), m_wStyleLevel(roNav.m_wfnLevel()), m_wSigCode(wSigCode), m_iTarget(iTarget)
    {
    }

    // CMakeMarkers::Run -- every pattern chunk in turn; returns the chunks added.
    int Run();

private:
    // The navigator on child dwChild (0 = the first after the pattern info).
    bool GoToChild(DWORD dwChild);
    // Plans the chord variations and the reference table for pattern dwK.
    bool PlanReferences(DWORD dwK, const CSplitPlan& rkoPlan, std::vector<WORD>& rawRefs,
                        std::vector<CCvRewrite>& raoRewrites);
    // Edits the chunks; false when an edit was refused.
    bool Apply(DWORD dwChild, const CSplitPlan& rkoPlan, const std::vector<WORD>& rkawRefs,
               const std::vector<CCvRewrite>& rkaoRewrites);

    CChunkNav& m_roNav;
    WORD m_wStyleLevel;
    WORD m_wSigCode;
    int m_iTarget;
    PatInfoData m_oPatInfoData;
};

// CMakeMarkers::GoToChild -- from the pattern info, dwChild + 1 steps on.
bool CMakeMarkers::GoToChild(DWORD dwChild)
{
    if (!MakeMarkGoToPatInfo(m_roNav, m_wStyleLevel))
        return false;
    for (DWORD i = 0; i <= dwChild; ++i)
        if (!m_roNav.m_ofnNext())
            return false;
    return true;
}

// CMakeMarkers::PlanReferences -- walks the chord variations with their
// place in the reference table: each reference to pattern dwK is followed by
// references to the further distinct sub-patterns, later patterns move up.
bool CMakeMarkers::PlanReferences(DWORD dwK, const CSplitPlan& rkoPlan, std::vector<WORD>& rawRefs,
                                  std::vector<CCvRewrite>& raoRewrites)
{
    const std::vector<WORD>& rkawOld = m_oPatInfoData.m_awRefs;
    const DWORD dwAdded = rkoPlan.Added();
    const DWORD dwRefK = dwK + 1;
    bool bFits = true;
    auto Shifted = [&](WORD wRef) {
        const DWORD dwRef = wRef > dwRefK ? wRef + dwAdded : wRef;
        bFits = bFits && dwRef <= 0xFFFF;
        return WORD(dwRef);
    };

    rawRefs.clear();
    raoRewrites.clear();
    DWORD dwRefPos = 0;
    DWORD dwOrdinal = 0;
    MakeMarkToLevel(m_roNav, m_wStyleLevel);
    CChordVarWalk oWalk(m_roNav);
    while (oWalk.Next())
    {
        const DWORD dwThisOrdinal = dwOrdinal++;
        ChordVarData oChordVarData;
        if (!oChordVarData.Parse(m_roNav.m_pbyfnData(), m_roNav.m_dwfnDataLength(), false))
            continue;
        std::vector<BYTE> abyPositions;
        for (int p = 0; p < oChordVarData.m_byNrPatterns && dwRefPos < rkawOld.size(); ++p, ++dwRefPos)
        {
            rawRefs.push_back(Shifted(rkawOld[dwRefPos]));
            if (rkawOld[dwRefPos] != dwRefK)
                continue;
            abyPositions.push_back(BYTE(p));
            for (DWORD m = 1; m <= dwAdded; ++m)
                rawRefs.push_back(WORD(dwRefK + m));
        }
        if (abyPositions.empty())
            continue;
        CCvRewrite oRewrite;
        oRewrite.m_dwOrdinal = dwThisOrdinal;
        oRewrite.m_dwOldLength = m_roNav.m_dwfnDataLength();
        if (!bfnPlanChordVar(oChordVarData, abyPositions, rkoPlan, oRewrite))
            return false;
        raoRewrites.push_back(std::move(oRewrite));
    }
    for (; dwRefPos < rkawOld.size(); ++dwRefPos)
        rawRefs.push_back(Shifted(rkawOld[dwRefPos]));
    // A pattern that no chord variation plays is not worth splitting.
    return bFits && !raoRewrites.empty() && rawRefs.size() <= 0xFFFF &&
           m_oPatInfoData.m_wTotalPatterns + std::uint64_t(dwAdded) <= 0xFFFF;
}

// CMakeMarkers::Apply -- the pattern's chunk takes the first distinct
// sub-pattern, the others follow it with the same header, then the chord
// variations and the pattern info are rewritten.
bool CMakeMarkers::Apply(DWORD dwChild, const CSplitPlan& rkoPlan, const std::vector<WORD>& rkawRefs,
                         const std::vector<CCvRewrite>& rkaoRewrites)
{
    if (!GoToChild(dwChild) ||
        !MakeMarkReplaceData(m_roNav, rkoPlan.m_aoDistinct[0].m_pbyData.get(), rkoPlan.m_aoDistinct[0].m_dwSize))
        return false;
    for (std::size_t m = 1; m < rkoPlan.m_aoDistinct.size(); ++m)
    {
        const CRecordBytes& rkoRecord = rkoPlan.m_aoDistinct[m];
        if (!m_roNav.m_ofnDuplicate(rkoRecord.m_dwSize))
            return false;
        std::memcpy(m_roNav.m_pbyfnData(), rkoRecord.m_pbyData.get(), rkoRecord.m_dwSize);
    }

    MakeMarkToLevel(m_roNav, m_wStyleLevel);
    CChordVarWalk oWalk(m_roNav);
    DWORD dwOrdinal = 0;
    auto itRewrite = rkaoRewrites.begin();
    while (itRewrite != rkaoRewrites.end() && oWalk.Next())
    {
        if (dwOrdinal++ != itRewrite->m_dwOrdinal)
            continue;
        if (!MakeMarkReplaceData(m_roNav, itRewrite->m_oRecord.m_pbyData.get(), itRewrite->m_oRecord.m_dwSize))
            return false;
        if (itRewrite->m_iNrPatterns > MANY_CV_PATTERNS)
            QdReport("Warning! Many Cv Patterns %d", itRewrite->m_iNrPatterns);
        ++itRewrite;
    }
    if (itRewrite != rkaoRewrites.end())
        return false;

    m_oPatInfoData.m_wTotalPatterns = WORD(m_oPatInfoData.m_wTotalPatterns + rkoPlan.Added());
    m_oPatInfoData.m_awRefs = rkawRefs;
    m_oPatInfoData.m_wTotalCvPatterns = WORD(rkawRefs.size());
    return MakeMarkGoToPatInfo(m_roNav, m_wStyleLevel) && MakeMarkWritePatInfo(m_roNav, m_oPatInfoData);
}

// CMakeMarkers::Run -- dwChild counts the pattern container's children after
// the pattern info (the navigator finds its place again by it after every
// edit), dwK the pattern chunks among them (the references name those).
int CMakeMarkers::Run()
{
    if (!OpenPatInfo(m_roNav, m_wStyleLevel, m_oPatInfoData))
        return 0;
    const DWORD dwInfoLength = m_roNav.m_dwfnDataLength();
    std::int64_t sqwInfoLength = dwInfoLength;

    int iAdded = 0;
    DWORD dwK = 0;
    // The navigator stays on child dwChild unless a plan walked the style.
    bool bMoved = false;
    for (DWORD dwChild = 0;; ++dwChild)
    {
        if (bMoved && !GoToChild(dwChild - 1))
            break;
        bMoved = false;
        if (!m_roNav.m_ofnNext())
            break;
        if (!MakeMarkIsPatternChunk(m_roNav))
            continue;
        const DWORD dwThisK = dwK++;
        CSplitPlan oPlan;
        if (MakeMarkHeader(m_roNav).m_byParam2 != 0 || !bfnPlanSplit(m_roNav, m_wSigCode, m_iTarget, oPlan))
            continue;
        const std::int64_t sqwOldLength = m_roNav.m_dwfnDataLength();
        std::vector<WORD> awRefs;
        std::vector<CCvRewrite> aoRewrites;
        bMoved = true;
        if (!PlanReferences(dwThisK, oPlan, awRefs, aoRewrites))
            continue;

        // Room: the largest growth the edits reach, taken in the order Apply
        // makes them (the pattern's own chunk, which shrinks, first).
        const DWORD dwAdded = oPlan.Added();
        std::int64_t sqwGrowth = 0;
        std::int64_t sqwNeeded = 0;
        auto Grow = [&](std::int64_t sqwDelta) {
            sqwGrowth += sqwDelta;
            sqwNeeded = std::max(sqwNeeded, sqwGrowth);
        };
        Grow(std::int64_t(oPlan.m_aoDistinct[0].m_dwSize) - sqwOldLength);
        for (std::size_t m = 1; m < oPlan.m_aoDistinct.size(); ++m)
            Grow(std::int64_t(sizeof(CChunkHeader)) + oPlan.m_aoDistinct[m].m_dwSize);
        for (const CCvRewrite& rkoRewrite : aoRewrites)
            Grow(std::int64_t(rkoRewrite.m_oRecord.m_dwSize) - rkoRewrite.m_dwOldLength);
        const std::int64_t sqwNewInfoLength = std::int64_t(PatInfoData::SizeFor(awRefs.size()));
        Grow(sqwNewInfoLength - sqwInfoLength);
        if (!QD_ASSERT_TEXT(sqwNeeded <= m_roNav.m_sdwfnExtraLength(), "sqwNeeded <= m_roNav.m_sdwExtraLength"))
            break;

        const bool bApplied = Apply(dwChild, oPlan, awRefs, aoRewrites);
        if (!QD_ASSERT(bApplied))
            break;
        sqwInfoLength = sqwNewInfoLength;
        iAdded += int(dwAdded);
        dwK += dwAdded;
        dwChild += dwAdded;
    }
    MakeMarkToLevel(m_roNav, m_wStyleLevel);
    return iAdded;
}

} // namespace

// MakeMarkMakeMarkers -- the sub-patterns are cut at the measures of the
// first style element's time signature (its split code).
int MakeMarkMakeMarkers(CChunkNav& roStyleNav, int iTarget)
{
    const WORD wStyleLevel = roStyleNav.m_wfnLevel();
    StyleElementInfoData oElementInfo;
    bool bSignature = MakeMarkEnterChild(roStyleNav, QDI_ID_ELEMENT, typeNotFinal) &&
                      roStyleNav.m_ofnEnter(CChunkId(QDI_ID_ELEM_INFO), typeNotFinal, typeFinal) &&
                      oElementInfo.Parse(roStyleNav.m_pbyfnData(), roStyleNav.m_dwfnDataLength());
    MakeMarkToLevel(roStyleNav, wStyleLevel);
    const CNstTimeSig oTimeSig = QdTimeSigOfSignatureByte(oElementInfo.m_bySignature);
    if (!bSignature || !oTimeSig.m_byNumerator)
        return 0;
    return CMakeMarkers(roStyleNav, oTimeSig.GetSplitCode(), iTarget).Run();
}
