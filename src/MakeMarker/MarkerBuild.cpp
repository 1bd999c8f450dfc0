// MarkerBuild.cpp -- marker building: preparing a stored style for loading,
// writing its flat copy and rendering a pattern over a stretch of ticks.
//
// How a stored chord variation sounds. Its CV patterns (positions 0 to
// m_byNrPatterns - 1) name patterns through the reference table from
// wCvRefStart on. A run of consecutive positions with the same type and
// track is a group: it plays one track, its patterns taking turns. A start
// marker (3, position, 0, 0) starts a position's pattern, which then plays
// repeated, from its start, until the next start marker of its group; end
// markers (4, position) only count in the checks of the sounding time. A
// position without any start marker never sounds: its group stays silent
// until one of its positions is started, and a group with no start marker
// at all is written as a silent pattern of the chord variation's length.
// Stretches end at the chord variation's length m_dwTotalTicks: a marker at
// or past it starts nothing, and each flat pattern is exactly that long.
//
// Damaged references (beyond the table, or to a chunk that could not be
// parsed) and patterns of length 0 are reported once by the preparation and
// sound silent: a pattern is repeated every m_dwTotalTicks, and a length of
// 0 would never end.
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
#include <vector>

namespace {

// Positions of one chord variation.
constexpr int NR_POSITIONS = MA_MAX_CVPATTERNS;
// Room a flat pattern chunk needs besides its rendered events: header,
// record fields, attribute bytes and an end event.
constexpr SDWORD MIN_PATTERN_ROOM = sizeof(CChunkHeader) + MA_PATTERN_MAX_OVERHEAD + 16;

// qwfnSaturatedAdd -- sizes beyond the largest flat copy stay just beyond it.
std::uint64_t qwfnSaturatedAdd(std::uint64_t qwA, std::uint64_t qwB)
{
    return qwA > MA_MAX_FLAT_SIZE || qwB > MA_MAX_FLAT_SIZE ? MA_MAX_FLAT_SIZE + 1 : qwA + qwB;
}

// CCvSounding -- what the markers of one chord variation make its CV
// patterns sound, and what keeps it from the flat form.
struct CCvSounding
{
    // Ticks each position sounds: the stretches from each start marker to
    // the position's next start or end marker, or to the end.
    std::uint64_t m_aqwSounding[NR_POSITIONS];
    // A start marker not at tick 0, an end marker, or a marker naming a
    // position the chord variation does not have.
    bool m_bNotFlat;
    // A marker naming a position beyond the chord variation's.
    bool m_bStrayPosition;
};

// CollectSounding -- one walk over the chord variation's marker events. A
// start marker for a position that already sounds ends that stretch first,
// so every stretch counts once however the markers are placed.
void CollectSounding(const ChordVarData& rkoChordVarData, CCvSounding& roSounding)
{
    std::int64_t asqwStart[NR_POSITIONS];
    std::fill(std::begin(asqwStart), std::end(asqwStart), -1);
    std::fill(std::begin(roSounding.m_aqwSounding), std::end(roSounding.m_aqwSounding), 0);
    roSounding.m_bNotFlat = false;
    roSounding.m_bStrayPosition = false;

    CPatternReader oReader(rkoChordVarData.m_pbyEvents, rkoChordVarData.m_dwEventsDim);
    CEventList oList;
    std::uint64_t qwTick = 0;
    std::uint64_t qwLastTick = 0;
    while (oReader.Next(oList, qwTick))
    {
        qwLastTick = qwTick;
        for (const CLinkedEvent* pkoEvent = oList.Get(); pkoEvent; pkoEvent = pkoEvent->Next())
        {
            BYTE byKind = 0;
            BYTE byPosition = 0;
            if (!PropFormReadMarker(*pkoEvent, byKind, byPosition))
                continue;
            if (byPosition >= rkoChordVarData.m_byNrPatterns || byPosition >= NR_POSITIONS)
            {
                roSounding.m_bStrayPosition = true;
                continue;
            }
            std::int64_t& rsqwStart = asqwStart[byPosition];
            if (rsqwStart >= 0)
                roSounding.m_aqwSounding[byPosition] += qwTick - std::uint64_t(rsqwStart);
            rsqwStart = -1;
            if (byKind == PROP_MARKER_START)
            {
                rsqwStart = std::int64_t(qwTick);
                roSounding.m_bNotFlat = roSounding.m_bNotFlat || qwTick != 0;
            }
            else
                roSounding.m_bNotFlat = true;
        }
    }
    const std::uint64_t qwEnd = std::max<std::uint64_t>(qwLastTick, rkoChordVarData.m_dwTotalTicks);
    for (int i = 0; i < NR_POSITIONS; ++i)
        if (asqwStart[i] >= 0)
            roSounding.m_aqwSounding[i] += qwEnd - std::uint64_t(asqwStart[i]);
    roSounding.m_bNotFlat = roSounding.m_bNotFlat || roSounding.m_bStrayPosition;
}

// bfnHasEqualNeighbours -- two consecutive CV patterns of the same type and
// track: a group of more than one position.
bool bfnHasEqualNeighbours(const ChordVarData& rkoChordVarData)
{
    const std::vector<CvPatInfo>& rkaoInfo = rkoChordVarData.m_poCvPatInfo;
    return std::adjacent_find(rkaoInfo.begin(), rkaoInfo.end()) != rkaoInfo.end();
}

// CPrepareState -- what the walk over the chord variations gathers.
struct CPrepareState
{
    std::uint64_t m_qwEstimate = 0;
    bool m_bFlatten = false;
    bool m_bPatTicksError = false;
    bool m_bCVTicksError = false;
};

// PrepareChordVar -- checks the sounding CV patterns of the chord variation
// the navigator stands on against the table, corrects lengths and adds its
// share of the flat size. A chord variation too short for one of its
// patterns is set to that pattern's length at most once and then checked
// again; were it corrected again, a position that sounds short because it
// starts late, or stops at an end marker, would ask for the same correction
// for ever. The second check reports only what the first did not reach.
void PrepareChordVar(CChunkNav& roStyleNav, const PatInfoData& rkoPatInfoData, CPatternTable& roTable,
                     DWORD dwCvRefStart, CPrepareState& roState, ChordVarData& roChordVarData)
{
    if (roChordVarData.m_byNrPatterns > 8 || bfnHasEqualNeighbours(roChordVarData))
        roState.m_bFlatten = true;

    bool bCvCorrected = false;
    int iReportFrom = 0;
    for (;;)
    {
        CCvSounding oSounding;
        CollectSounding(roChordVarData, oSounding);
        if (!bCvCorrected)
            QD_ASSERT_TEXT(!oSounding.m_bStrayPosition, "byPosition < oChordVarData.m_byNrPatterns");
        roState.m_bFlatten = roState.m_bFlatten || oSounding.m_bNotFlat;

        std::uint64_t qwShare = 0;
        bool bRestart = false;
        const int iNrPositions = std::min<int>(roChordVarData.m_byNrPatterns, NR_POSITIONS);
        for (int i = 0; i < iNrPositions && !bRestart; ++i)
        {
            const bool bReport = i >= iReportFrom;
            const std::uint64_t qwSounding = oSounding.m_aqwSounding[i];
            if (qwSounding < 1)
            {
                // Never started: the flat form starts every position at 0.
                roState.m_bFlatten = true;
                continue;
            }
            const bool bInTable = dwCvRefStart + i < rkoPatInfoData.m_awRefs.size();
            PatternData* poPatternData =
                bInTable ? roTable.GetPattern(rkoPatInfoData.m_awRefs[dwCvRefStart + i]) : nullptr;
            if (!bInTable || !poPatternData)
            {
                if (bReport && !bInTable)
                    QD_ASSERT_TEXT(bInTable, "wCvRefStart + i <= oPatInfoData.m_wTotalCvPatterns");
                else if (bReport)
                    QD_ASSERT_TEXT(poPatternData, "wRef >= 1 && wRef <= oPatInfoData.m_wTotalPatterns");
                roState.m_bFlatten = true;
                continue;
            }
            if (bReport && poPatternData->m_byChunkId != QdPatternChunkId(roChordVarData.m_poCvPatInfo[i].m_byType))
                QdReport("Warning! Pattern type && use in CV are inconsistent!");
            // A pattern of length 0 would repeat without end: the flat copy
            // renders nothing for it.
            const DWORD dwLength = poPatternData->m_dwTotalTicks;
            if (!dwLength)
            {
                if (bReport)
                    QD_ASSERT_TEXT(dwLength > 0, "poPatternData->m_dwTotalTicks > 0");
                roState.m_bFlatten = true;
                continue;
            }

            std::uint64_t qwRepeats = qwSounding / dwLength;
            if (qwRepeats < 1)
            {
                if (!bCvCorrected)
                {
                    QdReport("Warning! Uncorrect CV length found!\nForced to Pattern length.");
                    roChordVarData.m_dwTotalTicks = dwLength;
                    BYTE abyTicks[4];
                    QdWriteBE32(abyTicks, dwLength);
                    roStyleNav.m_fnWriteData(abyTicks, 4, 0);
                    roState.m_bCVTicksError = true;
                    bCvCorrected = true;
                    bRestart = true;
                    iReportFrom = i + 1;
                    continue;
                }
                // Corrected once already: the position sounds short by its
                // markers, not by the chord variation's length.
                qwRepeats = 1;
                roState.m_bFlatten = true;
            }
            else if (qwSounding % dwLength)
            {
                roState.m_bPatTicksError = true;
                qwRepeats = 1;
                poPatternData->m_dwTotalTicks = DWORD(std::min<std::uint64_t>(qwSounding, 0xFFFFFFFF));
            }
            const std::uint64_t qwCopies = std::min<std::uint64_t>(qwRepeats, MA_MAX_FLAT_SIZE);
            qwShare = qwfnSaturatedAdd(qwShare, qwCopies * poPatternData->Size() + sizeof(CChunkHeader));
        }
        if (!bRestart)
        {
            roState.m_qwEstimate = qwfnSaturatedAdd(roState.m_qwEstimate, qwShare);
            return;
        }
    }
}

// RewritePatternLengths -- every parsed pattern chunk gets the length its
// table record now holds; only the length field changes, in place, so the
// records' event addresses stay valid.
void RewritePatternLengths(CChunkNav& roStyleNav, WORD wStyleLevel, const CPatternTable& rkoTable)
{
    if (!MakeMarkGoToPatInfo(roStyleNav, wStyleLevel))
        return;
    DWORD dwPattern = 0;
    while (roStyleNav.m_ofnNext())
    {
        if (!MakeMarkIsPatternChunk(roStyleNav))
            continue;
        if (dwPattern < rkoTable.m_wNrPatterns)
        {
            const PatternData& rkoPattern = rkoTable.m_poPatternData[dwPattern];
            if (rkoPattern.m_byChunkId && roStyleNav.m_dwfnDataLength() >= MA_PATTERN_DIM_OFFSET)
            {
                BYTE abyTicks[4];
                QdWriteBE32(abyTicks, rkoPattern.m_dwTotalTicks);
                roStyleNav.m_fnWriteData(abyTicks, sizeof abyTicks, MA_PATTERN_TICKS_OFFSET);
            }
        }
        ++dwPattern;
    }
}

// bfnParseChordVar -- the record of the current chunk; a damaged one is
// reported and passed over by every step.
bool bfnParseChordVar(const CChunkNav& rkoNav, ChordVarData& roChordVarData)
{
    const bool bChordVarParsed = roChordVarData.Parse(rkoNav.m_pbyfnData(), rkoNav.m_dwfnDataLength(), true);
    return QD_ASSERT(bChordVarParsed);
}

} // namespace

// ---------------------------------------------------------------------------
// Preparing
// ---------------------------------------------------------------------------

// MakeMarkPrepareStyle -- the estimate starts from the style's size without
// its pattern chunks and adds, per sounding CV pattern, the copies of its
// pattern that the flat copy will hold.
DWORD MakeMarkPrepareStyle(CChunkNav& roStyleNav, CPatternTable& roTable)
{
    roTable.Release();
    const WORD wStyleLevel = roStyleNav.m_wfnLevel();
    const DWORD dwStyleSize = roStyleNav.m_dwfnSize();
    CPrepareState oState;
    oState.m_qwEstimate = dwStyleSize;

    // The pattern table, one record per pattern chunk.
    PatInfoData oPatInfoData;
    if (!MakeMarkGoToPatInfo(roStyleNav, wStyleLevel) ||
        !oPatInfoData.Parse(roStyleNav.m_pbyfnData(), roStyleNav.m_dwfnDataLength()))
    {
        QD_REPORT_FALSE();
        MakeMarkToLevel(roStyleNav, wStyleLevel);
        return 0;
    }
    if (!roTable.Allocate(oPatInfoData.m_wTotalPatterns))
    {
        QD_REPORT_FALSE();
        MakeMarkToLevel(roStyleNav, wStyleLevel);
        return 0;
    }
    DWORD dwCount = 0;
    DWORD dwPatterns = 0;
    while (roStyleNav.m_ofnNext())
    {
        ++dwCount;
        oState.m_qwEstimate -= std::min<std::uint64_t>(oState.m_qwEstimate, roStyleNav.m_dwfnSize());
        if (!MakeMarkIsPatternChunk(roStyleNav))
            continue;
        if (dwPatterns < roTable.m_wNrPatterns)
        {
            PatternData& roPattern = roTable.m_poPatternData[dwPatterns];
            roPattern.Init(MakeMarkHeader(roStyleNav).m_byId);
            if (!roPattern.Parse(roStyleNav.m_pbyfnData(), roStyleNav.m_dwfnDataLength(), false))
                roPattern.Init(0);
        }
        ++dwPatterns;
    }
    QD_ASSERT_TEXT(dwCount == oPatInfoData.m_wTotalPatterns, "wCount == wPCount");

    // The flat form: one pattern chunk per reference, named in order.
    oState.m_bFlatten = dwCount != dwPatterns || dwCount != oPatInfoData.m_wTotalPatterns ||
                        oPatInfoData.m_wTotalPatterns != oPatInfoData.m_awRefs.size();
    for (std::size_t i = 0; i < oPatInfoData.m_awRefs.size(); ++i)
        oState.m_bFlatten = oState.m_bFlatten || oPatInfoData.m_awRefs[i] != i + 1;

    // The chord variations.
    MakeMarkToLevel(roStyleNav, wStyleLevel);
    DWORD dwCvRefStart = 0;
    CChordVarWalk oWalk(roStyleNav);
    while (oWalk.Next())
    {
        ChordVarData oChordVarData;
        if (!bfnParseChordVar(roStyleNav, oChordVarData))
            continue;
        PrepareChordVar(roStyleNav, oPatInfoData, roTable, dwCvRefStart, oState, oChordVarData);
        dwCvRefStart += oChordVarData.m_byNrPatterns;
    }
    oState.m_bFlatten = oState.m_bFlatten || dwCvRefStart != oPatInfoData.m_awRefs.size();

    if (oState.m_bPatTicksError)
    {
        QdReport("Warning! Uncorrect Pattern length(s) found!\nForced to CV length.");
        RewritePatternLengths(roStyleNav, wStyleLevel, roTable);
    }
    MakeMarkToLevel(roStyleNav, wStyleLevel);

    if (!oState.m_bFlatten && oState.m_qwEstimate == dwStyleSize)
    {
        roTable.Release();
        return 0;
    }
    const bool bPatTicksError = oState.m_bPatTicksError;
    const bool bCVTicksError = oState.m_bCVTicksError;
    QD_ASSERT(!bPatTicksError);
    QD_ASSERT(!bCVTicksError);
    return DWORD(std::min<std::uint64_t>(oState.m_qwEstimate + MA_FLAT_SIZE_MARGIN, MA_MAX_FLAT_SIZE));
}

// ---------------------------------------------------------------------------
// Rendering
// ---------------------------------------------------------------------------

// MakeMarkRenderPattern -- one pass per pattern length. A pass that writes
// nothing means that every later pass writes nothing either (the pattern has
// no channel list before its length, or it cannot be decoded): the stretch
// is then silent to its end and no further pass is made.
bool MakeMarkRenderPattern(const PatternData& rkoPattern, CMemEncoder& roEncoder, TTICK tStart, TTICK tStop)
{
    if (tStart >= tStop)
        return true;
    const DWORD dwLength = rkoPattern.m_dwTotalTicks;
    if (!QD_ASSERT_TEXT(dwLength > 0, "roPatternData.m_dwTotalTicks > 0"))
        return true;

    std::uint64_t qwAbsTick = tStart;
    bool bEncoded = true;
    while (bEncoded && qwAbsTick < tStop)
    {
        CPatternReader oReader(rkoPattern.m_pbyEvents, rkoPattern.m_pbyEvents ? rkoPattern.m_dwTotalEventsDim : 0);
        CEventList oList;
        std::uint64_t qwTick = 0;
        bool bWritten = false;
        while (bEncoded && oReader.Next(oList, qwTick))
        {
            const std::uint64_t qwAt = qwAbsTick + qwTick;
            if (qwTick >= dwLength || qwAt >= tStop)
                break;
            if (oList.Get()->GetClass() == EC_CHMSG)
            {
                // Notes end by the stop tick: the next stretch is another
                // pattern's.
                for (CLinkedEvent* poEvent = oList.Get(); poEvent; poEvent = poEvent->Next())
                    if (poEvent->GetCode() == EVSC_NOTE && qwAt + poEvent->GetDuration() > tStop)
                        poEvent->SetDuration(DWORD(tStop - qwAt));
                bEncoded = roEncoder.EncodeEventsAt(TTICK(qwAt), oList.Get());
                bWritten = true;
            }
        }
        if (!bWritten)
        {
            const std::uint64_t qwPasses = (std::uint64_t(tStop) - qwAbsTick + dwLength - 1) / dwLength;
            qwAbsTick += qwPasses * dwLength;
            break;
        }
        qwAbsTick += dwLength;
    }
    if (bEncoded)
        QD_ASSERT_TEXT(qwAbsTick == tStop, "tAbsTick == tRecStop");
    return bEncoded;
}

// ---------------------------------------------------------------------------
// Flattening
// ---------------------------------------------------------------------------

namespace {

// FlattenGroup -- the pattern chunk of the group of positions byFirst to
// byLast, inserted after the flat navigator's current chunk. The chunk is
// made as large as all the room left, the stretches are rendered straight
// into it, and it is cut to what was written. Stretches that do not fit are
// reported and the group is written silent. False when not even that fits.
bool bfnFlattenGroup(const CPatternTable& rkoTable, const PatInfoData& rkoPatInfoData,
                     const ChordVarData& rkoChordVarData, DWORD dwCvRefStart, int iFirst, int iLast,
                     CChunkNav& roFlatNav)
{
    auto PatternAt = [&](int iPosition) -> const PatternData* {
        const DWORD dwRef = dwCvRefStart + DWORD(iPosition);
        return dwRef < rkoPatInfoData.m_awRefs.size() ? rkoTable.GetPattern(rkoPatInfoData.m_awRefs[dwRef]) : nullptr;
    };
    const PatternData* pkoFirst = PatternAt(iFirst);
    const BYTE byType = rkoChordVarData.m_poCvPatInfo[iFirst].m_byType;
    const BYTE byChunkId =
        pkoFirst ? pkoFirst->m_byChunkId : QdPatternChunkId(byType <= QDI_MAX_PATTERN_TYPE ? byType : 0);
    const TTICK tEnd = rkoChordVarData.m_dwTotalTicks;

    if (roFlatNav.m_sdwfnExtraLength() < MIN_PATTERN_ROOM)
        return QD_ASSERT_TEXT(roFlatNav.m_sdwfnExtraLength() >= MIN_PATTERN_ROOM,
                              "roFlatNav.m_sdwExtraLength >= MIN_PATTERN_ROOM");
    const DWORD dwData = DWORD(roFlatNav.m_sdwfnExtraLength()) - sizeof(CChunkHeader);
    if (!roFlatNav.m_ofnInsertAfter(typeNotFinal, typeFinal, CChunkId(byChunkId), 0, 0, dwData))
        return false;
    BYTE* pbyData = roFlatNav.m_pbyfnData();
    CMemEncoder oEncoder(pbyData + MA_PATTERN_EVENTS_OFFSET, dwData - MA_PATTERN_MAX_OVERHEAD);
    oEncoder.Open();

    // The stretches: from each start marker of the group to the next one,
    // the last to the chord variation's end.
    bool bFits = true;
    int iPending = -1;
    TTICK tPendingStart = 0;
    auto Render = [&](TTICK tStop) {
        const PatternData* pkoPattern = iPending >= 0 ? PatternAt(iPending) : nullptr;
        if (bFits && pkoPattern)
            bFits = MakeMarkRenderPattern(*pkoPattern, oEncoder, tPendingStart, tStop);
    };
    CPatternReader oReader(rkoChordVarData.m_pbyEvents, rkoChordVarData.m_dwEventsDim);
    CEventList oList;
    std::uint64_t qwTick = 0;
    while (oReader.Next(oList, qwTick))
    {
        const TTICK tTick = TTICK(std::min<std::uint64_t>(qwTick, tEnd));
        for (const CLinkedEvent* pkoEvent = oList.Get(); pkoEvent; pkoEvent = pkoEvent->Next())
        {
            BYTE byKind = 0;
            BYTE byPosition = 0;
            if (!PropFormReadMarker(*pkoEvent, byKind, byPosition) || byKind != PROP_MARKER_START ||
                byPosition < iFirst || byPosition > iLast)
                continue;
            Render(tTick);
            iPending = byPosition;
            tPendingStart = tTick;
        }
    }
    Render(tEnd);

    bool bEncoded = bFits && oEncoder.SetEnd(tEnd);
    QD_ASSERT(bFits);
    if (!bEncoded)
    {
        // Abandoned (the encoder reports the stream it closes unfinished):
        // the group is written silent.
        oEncoder.Reset();
        oEncoder.Close();
        bEncoded = oEncoder.Open() && oEncoder.SetEnd(tEnd);
    }
    oEncoder.Close();
    if (!bEncoded)
        return false;

    PatternData oFlat(byChunkId);
    oFlat.m_dwTotalTicks = tEnd;
    oFlat.m_pbyEvents = pbyData + MA_PATTERN_EVENTS_OFFSET;
    oFlat.m_dwTotalEventsDim = oEncoder.GetBytesWritten();
    if (pkoFirst)
    {
        oFlat.m_byAttr1 = pkoFirst->m_byAttr1;
        oFlat.m_byAttr2 = pkoFirst->m_byAttr2;
    }
    if (!oFlat.Write(pbyData, dwData))
        return false;
    roFlatNav.m_fnSetFinalLength(oFlat.Size());
    return roFlatNav.m_dwfnDataLength() == oFlat.Size();
}

// bfnFlattenChordVar -- the copy's chord variation: one CV pattern per
// group, one start marker at tick 0 per position, then its other marker
// meta events (kind 2 and any but 3 and 4) before its end; nothing else.
bool bfnFlattenChordVar(CChunkNav& roFlatNav)
{
    ChordVarData oChordVarData;
    if (!oChordVarData.Parse(roFlatNav.m_pbyfnData(), roFlatNav.m_dwfnDataLength(), false))
        return true;
    std::vector<CvPatInfo> aoGroups;
    for (const CvPatInfo& rkoInfo : oChordVarData.m_poCvPatInfo)
        if (aoGroups.empty() || !(aoGroups.back() == rkoInfo))
            aoGroups.push_back(rkoInfo);

    const TTICK tEnd = oChordVarData.m_dwTotalTicks;
    CMemEncoder oEncoder;
    bool bEncoded = oEncoder.Open();
    for (std::size_t i = 0; bEncoded && i < aoGroups.size(); ++i)
    {
        CLinkedEvent oMarker;
        PropFormSetMarker(oMarker, PROP_MARKER_START, BYTE(i));
        bEncoded = oEncoder.EncodeEventsAt(0, &oMarker);
    }
    CPatternReader oReader(oChordVarData.m_pbyEvents, oChordVarData.m_dwEventsDim);
    CEventList oList;
    std::uint64_t qwTick = 0;
    while (bEncoded && oReader.Next(oList, qwTick))
    {
        oList.KeepIf([qwTick, tEnd](const CLinkedEvent& rkoEvent) {
            const bool bMarker = rkoEvent.GetClass() == EC_META && rkoEvent.GetMetaType() == PROP_META_MARKER &&
                                 rkoEvent.GetMetaLength() >= 1;
            const BYTE byKind = bMarker ? rkoEvent.GetMetaData()[0] : 0;
            return bMarker && byKind >= PROP_MARKER_KEPT && byKind != PROP_MARKER_START &&
                   byKind != PROP_MARKER_END && qwTick < tEnd;
        });
        if (!oList.IsEmpty())
            bEncoded = oEncoder.EncodeEventsAt(TTICK(qwTick), oList.Get());
    }
    bEncoded = bEncoded && oEncoder.SetEnd(tEnd);
    oEncoder.Close();
    if (!bEncoded)
        return false;

    oChordVarData.m_pbyEvents = oEncoder.GetBufferStart();
    oChordVarData.m_dwEventsDim = oEncoder.GetBytesWritten();
    oChordVarData.m_poCvPatInfo = aoGroups;
    oChordVarData.m_byNrPatterns = BYTE(aoGroups.size());
    std::vector<BYTE> abyRecord(oChordVarData.Size());
    return oChordVarData.Write(abyRecord.data(), DWORD(abyRecord.size())) &&
           MakeMarkReplaceData(roFlatNav, abyRecord.data(), DWORD(abyRecord.size()));
}

} // namespace

// MakeMarkFlattenStyle -- copy, drop the copy's patterns, insert one
// rendered pattern per group in reading order, renumber, and rewrite each
// chord variation for its groups.
std::unique_ptr<CChunkNav> MakeMarkFlattenStyle(CPatternTable& roTable, CChunkNav& roStyleNav, BYTE* pbyBuffer,
                                                DWORD dwSize)
{
    if (!QD_ASSERT_TEXT(roTable.m_poPatternData, "m_poPatternData"))
        return nullptr;
    const WORD wStyleLevel = roStyleNav.m_wfnLevel();
    auto poFlatNav = std::make_unique<CChunkNav>(&roStyleNav, pbyBuffer, dwSize);
    auto Fail = [&]() -> std::unique_ptr<CChunkNav> {
        roTable.Release();
        MakeMarkToLevel(roStyleNav, wStyleLevel);
        return nullptr;
    };
    if (poFlatNav->m_sdwfnExtraLength() < 0)
        return Fail();

    PatInfoData oPatInfoData;
    if (!MakeMarkGoToPatInfo(roStyleNav, wStyleLevel) ||
        !oPatInfoData.Parse(roStyleNav.m_pbyfnData(), roStyleNav.m_dwfnDataLength()) ||
        !MakeMarkGoToPatInfo(*poFlatNav, 0))
    {
        QD_REPORT_FALSE();
        roTable.Release();
        MakeMarkToLevel(roStyleNav, wStyleLevel);
        poFlatNav->m_ofnRewind();
        return poFlatNav;
    }

    // The copy keeps its pattern info and nothing after it (in one move of
    // the rest of the tree: chunk by chunk, each would move it again).
    if (poFlatNav->m_ofnNext())
    {
        if (!poFlatNav->m_ofnDeleteRest())
            return Fail();
        if (!poFlatNav->m_ofnEnter(CChunkId(QDI_ID_PAT_INFO), typeNotFinal, typeFinal))
            return Fail();
    }

    // One pattern per group, rendered from the stored chord variations.
    MakeMarkToLevel(roStyleNav, wStyleLevel);
    DWORD dwCvRefStart = 0;
    DWORD dwNewPatterns = 0;
    CChordVarWalk oWalk(roStyleNav);
    while (oWalk.Next())
    {
        // A damaged record was reported by the preparation.
        ChordVarData oChordVarData;
        if (!oChordVarData.Parse(roStyleNav.m_pbyfnData(), roStyleNav.m_dwfnDataLength(), false))
            continue;
        const int iNrPositions = oChordVarData.m_byNrPatterns;
        for (int iFirst = 0; iFirst < iNrPositions;)
        {
            int iLast = iFirst;
            while (iLast + 1 < iNrPositions &&
                   oChordVarData.m_poCvPatInfo[iLast + 1] == oChordVarData.m_poCvPatInfo[iFirst])
                ++iLast;
            if (!bfnFlattenGroup(roTable, oPatInfoData, oChordVarData, dwCvRefStart, iFirst, iLast, *poFlatNav))
                return Fail();
            ++dwNewPatterns;
            iFirst = iLast + 1;
        }
        dwCvRefStart += oChordVarData.m_byNrPatterns;
    }
    if (!QD_ASSERT(dwNewPatterns <= 0xFFFF))
        return Fail();

    // References 1 to n, in order.
    PatInfoData oFlatInfo;
    oFlatInfo.m_wTotalPatterns = WORD(dwNewPatterns);
    oFlatInfo.m_wTotalCvPatterns = WORD(dwNewPatterns);
    for (DWORD i = 0; i < dwNewPatterns; ++i)
        oFlatInfo.m_awRefs.push_back(WORD(i + 1));
    if (!MakeMarkGoToPatInfo(*poFlatNav, 0) || !MakeMarkWritePatInfo(*poFlatNav, oFlatInfo))
        return Fail();

    poFlatNav->m_ofnRewind();
    CChordVarWalk oFlatWalk(*poFlatNav);
    while (oFlatWalk.Next())
        if (!bfnFlattenChordVar(*poFlatNav))
            return Fail();

    roTable.Release();
    MakeMarkToLevel(roStyleNav, wStyleLevel);
    poFlatNav->m_ofnRewind();
    return poFlatNav;
}
