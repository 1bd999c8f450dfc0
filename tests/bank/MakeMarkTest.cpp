// MakeMarkTest.cpp -- marker building (a stored style resolved into flat
// form on loading) and marker making (patterns cleaned, shared and stored as
// sub-patterns with markers on saving), with a seeded round trip over random
// styles and damaged stored forms.
#include "MakeMarker/MakeMark.h"

#include "ChunkNav/ChunkNav.h"
#include "MarkerAlg/MarkerAlg.h"
#include "MemCoder/MaEncoder.h"
#include "NlzdStyle/NstQdIfc.h"
#include "NlzdStyle/QdRecords.h"
#include "PropStreams.h"
#include "ReportCapture.h"
#include "StyleBuilder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace StyleBuilder;

namespace {

const std::string SOURCE = "MakeMarker/MakeMark";
const std::string WARN_CV_LENGTH = "Warning! Uncorrect CV length found!\nForced to Pattern length.";
const std::string WARN_PATTERN_LENGTH = "Warning! Uncorrect Pattern length(s) found!\nForced to CV length.";
const std::string WARN_TYPE = "Warning! Pattern type && use in CV are inconsistent!";

// ---------------------------------------------------------------------------
// Fixtures
// ---------------------------------------------------------------------------

// A style chunk at the start of a block with spare room, and a navigator on it.
struct CStyleBlock
{
    CStyleBlock(const Bytes& rkabyStyle, DWORD dwSpare) : m_abyBlock(rkabyStyle.size() + dwSpare)
    {
        std::copy(rkabyStyle.begin(), rkabyStyle.end(), m_abyBlock.begin());
        m_poNav = std::make_unique<CChunkNav>(m_abyBlock.data(), DWORD(m_abyBlock.size()));
    }
    Bytes Used() const { return Bytes(m_abyBlock.begin(), m_abyBlock.begin() + m_poNav->m_dwfnUsedSize()); }

    Bytes m_abyBlock;
    std::unique_ptr<CChunkNav> m_poNav;
};

// A style as the tests look at it, read with a navigator of its own.
struct CViewPattern
{
    BYTE m_byId = 0;
    BYTE m_byParam2 = 0;
    DWORD m_dwTicks = 0;
    BYTE m_byAttr1 = 0;
    BYTE m_byAttr2 = 0;
    Bytes m_abyEvents;
    Bytes m_abyData; // the whole chunk data
};

struct CViewCv
{
    DWORD m_dwTicks = 0;
    std::vector<CvPatInfo> m_aoInfo;
    std::vector<CEvRec> m_aoEvents; // marker events, without the end of track
    Bytes m_abyEvents;
};

struct CStyleView
{
    PatInfoData m_oPatInfo;
    std::vector<CViewPattern> m_aoPatterns;
    std::vector<CViewCv> m_aoCvs;
    int m_iElements = 0;
};

std::vector<CEvRec> WithoutEnd(std::vector<CEvRec> aoEvents)
{
    if (!aoEvents.empty() && aoEvents.back() == CEvRec::EndOfTrack(aoEvents.back().m_tTick))
        aoEvents.pop_back();
    return aoEvents;
}

CStyleView ReadView(Bytes abyStyle)
{
    CStyleView oView;
    CChunkNav oNav(abyStyle.data(), DWORD(abyStyle.size()));
    EXPECT_TRUE(oNav.m_ofnEnter());
    while (oNav.m_ofnNext())
    {
        const BYTE byId = oNav.m_pbyfnHeader()[0];
        if (byId == 2 && oNav.m_ofnEnter())
        {
            EXPECT_TRUE(oView.m_oPatInfo.Parse(oNav.m_pbyfnData(), oNav.m_dwfnDataLength()));
            while (oNav.m_ofnNext())
            {
                CViewPattern oPattern;
                oPattern.m_byId = oNav.m_pbyfnHeader()[0];
                oPattern.m_byParam2 = oNav.m_pbyfnHeader()[2];
                PatternData oData(oPattern.m_byId);
                EXPECT_TRUE(oData.Parse(oNav.m_pbyfnData(), oNav.m_dwfnDataLength(), false));
                oPattern.m_dwTicks = oData.m_dwTotalTicks;
                oPattern.m_byAttr1 = oData.m_byAttr1;
                oPattern.m_byAttr2 = oData.m_byAttr2;
                oPattern.m_abyEvents.assign(oData.m_pbyEvents, oData.m_pbyEvents + oData.m_dwTotalEventsDim);
                oPattern.m_abyData.assign(oNav.m_pbyfnData(), oNav.m_pbyfnData() + oNav.m_dwfnDataLength());
                oView.m_aoPatterns.push_back(std::move(oPattern));
            }
            oNav.m_ofnLeave();
        }
        else if (byId == 3 && oNav.m_ofnEnter())
        {
            ++oView.m_iElements;
            while (oNav.m_ofnNext())
            {
                if (oNav.m_pbyfnHeader()[0] != 3)
                    continue;
                ChordVarData oData;
                EXPECT_TRUE(oData.Parse(oNav.m_pbyfnData(), oNav.m_dwfnDataLength(), false));
                CViewCv oCv;
                oCv.m_dwTicks = oData.m_dwTotalTicks;
                oCv.m_aoInfo = oData.m_poCvPatInfo;
                oCv.m_abyEvents.assign(oData.m_pbyEvents, oData.m_pbyEvents + oData.m_dwEventsDim);
                oCv.m_aoEvents = WithoutEnd(DecodeBlock(oCv.m_abyEvents).Events());
                oView.m_aoCvs.push_back(std::move(oCv));
            }
            oNav.m_ofnLeave();
        }
    }
    return oView;
}

// The pattern a position of a chord variation names, and the events it
// plays when the view is flat.
const CViewPattern& PositionPattern(const CStyleView& rkoView, std::size_t nCv, std::size_t nPosition)
{
    std::size_t nRef = nPosition;
    for (std::size_t i = 0; i < nCv; ++i)
        nRef += rkoView.m_aoCvs[i].m_aoInfo.size();
    return rkoView.m_aoPatterns.at(rkoView.m_oPatInfo.m_awRefs.at(nRef) - 1);
}

std::vector<CEvRec> PositionEvents(const CStyleView& rkoView, std::size_t nCv, std::size_t nPosition)
{
    return WithoutEnd(DecodeBlock(PositionPattern(rkoView, nCv, nPosition).m_abyEvents).Events());
}

// The marker events of kinds 3 and 4 as (tick, kind, position), in order.
struct CMark
{
    TTICK m_tTick;
    BYTE m_byKind;
    BYTE m_byPosition;
    bool operator==(const CMark&) const = default;
};
std::ostream& operator<<(std::ostream& roOut, const CMark& rkoMark)
{
    return roOut << "{" << rkoMark.m_tTick << " " << int(rkoMark.m_byKind) << " " << int(rkoMark.m_byPosition) << "}";
}

std::vector<CMark> Marks(const CViewCv& rkoCv)
{
    std::vector<CMark> aoMarks;
    for (const CEvRec& rkoEvent : rkoCv.m_aoEvents)
        if (rkoEvent.m_byClass == EC_META && rkoEvent.m_dwWord1 == 0x7E && rkoEvent.m_abyData.size() >= 2 &&
            (rkoEvent.m_abyData[0] == 3 || rkoEvent.m_abyData[0] == 4))
            aoMarks.push_back({rkoEvent.m_tTick, rkoEvent.m_abyData[0], rkoEvent.m_abyData[1]});
    return aoMarks;
}

std::vector<CEvRec> KeptMarkers(const CViewCv& rkoCv)
{
    std::vector<CEvRec> aoKept;
    for (const CEvRec& rkoEvent : rkoCv.m_aoEvents)
        if (!(rkoEvent.m_byClass == EC_META && rkoEvent.m_dwWord1 == 0x7E && !rkoEvent.m_abyData.empty() &&
              (rkoEvent.m_abyData[0] == 3 || rkoEvent.m_abyData[0] == 4)))
            aoKept.push_back(rkoEvent);
    return aoKept;
}

// Loading: prepare, then flatten when the style is not flat.
struct CLoaded
{
    DWORD m_dwPrepared = 0;
    bool m_bFlattened = false;
    CStyleView m_oView;
};

// bRead also reads the flat form with the style reader.
CLoaded Load(CStyleBlock& roBlock, bool bRead = false)
{
    CLoaded oLoaded;
    CPatternTable oTable;
    const WORD wLevel = roBlock.m_poNav->m_wfnLevel();
    oLoaded.m_dwPrepared = MakeMarkPrepareStyle(*roBlock.m_poNav, oTable);
    EXPECT_EQ(roBlock.m_poNav->m_wfnLevel(), wLevel);
    if (!oLoaded.m_dwPrepared)
    {
        EXPECT_FALSE(oTable.m_poPatternData);
        if (bRead)
            CNstQdIfc oStyle(roBlock.m_poNav.get());
        oLoaded.m_oView = ReadView(roBlock.Used());
        return oLoaded;
    }
    Bytes abyFlat(oLoaded.m_dwPrepared);
    std::unique_ptr<CChunkNav> poFlat =
        MakeMarkFlattenStyle(oTable, *roBlock.m_poNav, abyFlat.data(), DWORD(abyFlat.size()));
    EXPECT_FALSE(oTable.m_poPatternData);
    EXPECT_TRUE(poFlat);
    if (!poFlat)
        return oLoaded;
    EXPECT_EQ(poFlat->m_wfnLevel(), 0);
    if (bRead)
        CNstQdIfc oStyle(poFlat.get());
    oLoaded.m_bFlattened = true;
    oLoaded.m_oView = ReadView(Bytes(abyFlat.begin(), abyFlat.begin() + poFlat->m_dwfnUsedSize()));
    return oLoaded;
}

// RunWithDeadline -- a step that must end: a hang fails the whole run
// instead of stalling it.
template <class TFunction> void RunWithDeadline(TFunction fnStep)
{
    std::packaged_task<void()> oTask(fnStep);
    std::future<void> oDone = oTask.get_future();
    std::thread oThread(std::move(oTask));
    if (oDone.wait_for(std::chrono::seconds(60)) != std::future_status::ready)
    {
        std::fprintf(stderr, "FATAL: the step did not end within 60 s\n");
        std::fflush(stderr);
        std::_Exit(3);
    }
    oThread.join();
}

// Note on track 0 at tTick.
CEvRec Nt(TTICK tTick, BYTE byKey, DWORD dwDuration = 100)
{
    return Note(tTick, byKey, dwDuration);
}

// Events of a pattern placed at tOffset.
std::vector<CEvRec> Shifted(std::vector<CEvRec> aoEvents, TTICK tOffset)
{
    for (CEvRec& roEvent : aoEvents)
        roEvent.m_tTick += tOffset;
    return aoEvents;
}

std::vector<CEvRec> Concat(std::initializer_list<std::vector<CEvRec>> aaoParts)
{
    std::vector<CEvRec> aoAll;
    for (const std::vector<CEvRec>& rkaoPart : aaoParts)
        aoAll.insert(aoAll.end(), rkaoPart.begin(), rkaoPart.end());
    return aoAll;
}

// iCount notes every tStep ticks from tFirst, keys from byKey on.
std::vector<CEvRec> Notes(int iCount, TTICK tFirst, TTICK tStep, BYTE byKey, DWORD dwDuration = 10)
{
    std::vector<CEvRec> aoNotes;
    for (int i = 0; i < iCount; ++i)
        aoNotes.push_back(Nt(tFirst + TTICK(i) * tStep, BYTE(byKey + i % 12), dwDuration));
    return aoNotes;
}

// ---------------------------------------------------------------------------
// Marker building
// ---------------------------------------------------------------------------

// A flat style is read as it is, wherever the style lies in the tree; a
// stored one is flattened with the size its estimate gives.
TEST(MakeMarkBuild, FlatStyleIsReadAsItIsAndStoredStyleGetsEstimatePlusMargin)
{
    CTestStyle oFlat;
    AddFlatChordVar(oFlat, 0, 0, 6144, {{0, {Nt(0, 36)}}, {2, {Nt(0, 40, 200), Nt(3000, 41)}}}, {KeptMarker(100, {7})});
    AddFlatChordVar(oFlat, 4, 1, 1536, {{3, {Nt(10, 60, 20)}}});
    // The style inside a slot of a bank: the navigator stands on it at depth 2.
    const Bytes abyBank = Chunk(1, false, Chunk(6, false, BuildStyleChunk(oFlat)));
    CStyleBlock oBlock(abyBank, 100);
    oBlock.m_poNav->m_ofnEnter();
    oBlock.m_poNav->m_ofnEnter();
    CReportCapture oReports;
    const CLoaded oLoaded = Load(oBlock);
    EXPECT_EQ(oLoaded.m_dwPrepared, 0u);
    EXPECT_TRUE(oReports.Empty());
    EXPECT_EQ(oBlock.Used(), abyBank);

    // A 1536-tick Bass pattern in a chord variation of 6144 ticks: four copies.
    CTestStyle oStored;
    const WORD wBass = AddPattern(oStored, 3, 1536, {Nt(0, 36), Nt(768, 43)}, 0x11, 0x22);
    AddStoredChordVar(oStored, 0, 0, 6144, {{1, 2}}, {wBass}, {StartMarker(0, 0)});
    const Bytes abyStored = BuildStyleChunk(oStored);
    CStyleBlock oStoredBlock(abyStored, 0);
    const DWORD dwPatternChunk = 8 + 10 + DWORD(oStored.m_aoPatterns[0].m_abyEvents.size());
    const CLoaded oFlattened = Load(oStoredBlock);
    EXPECT_EQ(oFlattened.m_dwPrepared, abyStored.size() - dwPatternChunk + 4 * (dwPatternChunk - 8) + 8 + 20000);
    EXPECT_TRUE(oReports.Empty());
    EXPECT_EQ(oStoredBlock.Used(), abyStored);

    const CStyleView& rkoView = oFlattened.m_oView;
    ASSERT_EQ(rkoView.m_aoPatterns.size(), 1u);
    const CViewPattern& rkoPattern = rkoView.m_aoPatterns[0];
    EXPECT_EQ(rkoPattern.m_byId, 3);
    EXPECT_EQ(rkoPattern.m_dwTicks, 6144u);
    EXPECT_EQ(rkoPattern.m_byAttr1, 0x11);
    EXPECT_EQ(rkoPattern.m_byAttr2, 0x22);
    std::vector<CEvRec> aoExpected;
    for (TTICK t : {0u, 1536u, 3072u, 4608u})
        aoExpected = Concat({aoExpected, {Nt(t, 36), Nt(t + 768, 43)}});
    EXPECT_EQ(WithoutEnd(DecodeBlock(rkoPattern.m_abyEvents).Events()), aoExpected);
    EXPECT_EQ(DecodeBlock(rkoPattern.m_abyEvents).Events().back(), CEvRec::EndOfTrack(6144));
}

// Shared patterns are copied per chord variation; a group's patterns take
// turns at the start markers, and end markers do not shorten a stretch.
TEST(MakeMarkBuild, SharedPatternsAreCopiedAndGroupsSwitchAtStartMarkers)
{
    CTestStyle oStyle;
    const WORD wDrum = AddPattern(oStyle, 2, 1536, {Nt(0, 36), Nt(384, 38)});
    const WORD wA = AddPattern(oStyle, 4, 1536, {Nt(0, 60), Nt(384, 62)});
    const WORD wB = AddPattern(oStyle, 4, 1536, {Nt(100, 70)});
    AddStoredChordVar(oStyle, 0, 0, 1536, {{0, 0}}, {wDrum}, {StartMarker(0, 0)});
    AddStoredChordVar(
        oStyle, 0, 1, 6144, {{0, 0}, {2, 3}, {2, 3}}, {wDrum, wA, wB},
        {StartMarker(0, 0), StartMarker(0, 1), KeptMarker(200, {9, 9}), EndMarker(1536, 1), StartMarker(3072, 2)});
    CStyleBlock oBlock(BuildStyleChunk(oStyle), 0);
    CReportCapture oReports;
    const CLoaded oLoaded = Load(oBlock);
    EXPECT_TRUE(oLoaded.m_bFlattened);
    EXPECT_TRUE(oReports.Empty()) << oReports.Texts().front();

    const CStyleView& rkoView = oLoaded.m_oView;
    ASSERT_EQ(rkoView.m_aoCvs.size(), 2u);
    EXPECT_EQ(rkoView.m_aoPatterns.size(), 3u);
    EXPECT_EQ(rkoView.m_oPatInfo.m_wTotalPatterns, 3);
    EXPECT_EQ(rkoView.m_oPatInfo.m_awRefs, (std::vector<WORD>{1, 2, 3}));
    EXPECT_EQ(PositionEvents(rkoView, 0, 0), (std::vector<CEvRec>{Nt(0, 36), Nt(384, 38)}));
    EXPECT_EQ(PositionEvents(rkoView, 1, 0),
              (std::vector<CEvRec>{Nt(0, 36), Nt(384, 38), Nt(1536, 36), Nt(1920, 38), Nt(3072, 36), Nt(3456, 38),
                                   Nt(4608, 36), Nt(4992, 38)}));
    // A from 0 to 3072 (twice, despite its end marker at 1536), then B.
    EXPECT_EQ(PositionEvents(rkoView, 1, 1),
              (std::vector<CEvRec>{Nt(0, 60), Nt(384, 62), Nt(1536, 60), Nt(1920, 62), Nt(3172, 70), Nt(4708, 70)}));
    EXPECT_EQ(rkoView.m_aoCvs[1].m_aoInfo, (std::vector<CvPatInfo>{{0, 0}, {2, 3}}));
    EXPECT_EQ(Marks(rkoView.m_aoCvs[1]), (std::vector<CMark>{{0, 3, 0}, {0, 3, 1}}));
    EXPECT_EQ(KeptMarkers(rkoView.m_aoCvs[1]), (std::vector<CEvRec>{KeptMarker(200, {9, 9})}));
}

// Lengths: a sounding time that is no whole number of pattern lengths sets
// the pattern's length (one warning for the style); one shorter than the
// pattern sets the chord variation's; a position that sounds short by its
// markers does so once and loading ends.
TEST(MakeMarkBuild, LengthCorrectionsAreMadeOnceAndEnd)
{
    {
        CTestStyle oStyle;
        const WORD wBass = AddPattern(oStyle, 3, 1536, {Nt(0, 36)});
        AddStoredChordVar(oStyle, 0, 0, 3000, {{1, 2}}, {wBass}, {StartMarker(0, 0)});
        AddStoredChordVar(oStyle, 0, 1, 3000, {{1, 2}}, {wBass}, {StartMarker(0, 0)});
        CStyleBlock oBlock(BuildStyleChunk(oStyle), 0);
        CReportCapture oReports;
        const CLoaded oLoaded = Load(oBlock);
        EXPECT_EQ(std::count(oReports.Texts().begin(), oReports.Texts().end(), WARN_PATTERN_LENGTH), 1);
        EXPECT_TRUE(oReports.HasAssert("!bPatTicksError", SOURCE));
        EXPECT_FALSE(oReports.Has(WARN_CV_LENGTH));
        EXPECT_EQ(ReadView(oBlock.Used()).m_aoPatterns[0].m_dwTicks, 3000u);
        for (std::size_t nCv : {0u, 1u})
        {
            EXPECT_EQ(PositionPattern(oLoaded.m_oView, nCv, 0).m_dwTicks, 3000u);
            EXPECT_EQ(PositionEvents(oLoaded.m_oView, nCv, 0), (std::vector<CEvRec>{Nt(0, 36)}));
        }
    }
    {
        CTestStyle oStyle;
        const WORD wBass = AddPattern(oStyle, 3, 1536, {Nt(0, 36), Nt(1200, 40)});
        AddStoredChordVar(oStyle, 0, 0, 1000, {{1, 2}}, {wBass}, {StartMarker(0, 0)});
        CStyleBlock oBlock(BuildStyleChunk(oStyle), 0);
        CReportCapture oReports;
        const CLoaded oLoaded = Load(oBlock);
        EXPECT_EQ(oReports.Texts(), std::vector<std::string>{WARN_CV_LENGTH});
        // Corrected, the style is flat and is read as it is.
        EXPECT_EQ(oLoaded.m_dwPrepared, 0u);
        EXPECT_EQ(oLoaded.m_oView.m_aoCvs[0].m_dwTicks, 1536u);
    }
    // Late start, and an early end marker: the chord variation is already
    // as long as the pattern, so a correction changes nothing.
    for (const std::vector<CEvRec>& rkaoMarkers :
         {std::vector<CEvRec>{StartMarker(1000, 0)}, std::vector<CEvRec>{StartMarker(0, 0), EndMarker(500, 0)}})
    {
        CTestStyle oStyle;
        const WORD wBass = AddPattern(oStyle, 3, 1536, {Nt(0, 36), Nt(1200, 40)});
        AddStoredChordVar(oStyle, 0, 0, 1536, {{1, 2}}, {wBass}, rkaoMarkers);
        CStyleBlock oBlock(BuildStyleChunk(oStyle), 0);
        CReportCapture oReports;
        CLoaded oLoaded;
        RunWithDeadline([&] { oLoaded = Load(oBlock); });
        EXPECT_EQ(std::count(oReports.Texts().begin(), oReports.Texts().end(), WARN_CV_LENGTH), 1);
        EXPECT_TRUE(oReports.HasAssert("!bCVTicksError", SOURCE));
        ASSERT_TRUE(oLoaded.m_bFlattened);
        EXPECT_EQ(oLoaded.m_oView.m_aoCvs[0].m_dwTicks, 1536u);
        // Late: the stretch from 1000 holds the pattern's first note only.
        const std::vector<CEvRec> aoExpected =
            rkaoMarkers.size() == 1 ? std::vector<CEvRec>{Nt(1000, 36)} : std::vector<CEvRec>{Nt(0, 36), Nt(1200, 40)};
        EXPECT_EQ(PositionEvents(oLoaded.m_oView, 0, 0), aoExpected);
        // The late stretch (536 ticks) is no whole pattern length.
        EXPECT_EQ(oReports.HasAssert("tAbsTick == tRecStop", SOURCE), rkaoMarkers.size() == 1);
    }
}

// Stored forms that break the rules load as far as is safe, with reports.
TEST(MakeMarkBuild, DamagedReferencesAndPatternsLoadSilentWithReports)
{
    CTestStyle oStyle;
    const WORD wDrum = AddPattern(oStyle, 2, 1536, {Nt(0, 36)});
    const WORD wEmpty = AddPattern(oStyle, 3, 0, {});
    // CV 0: a group without any start marker, and a started one.
    AddStoredChordVar(oStyle, 0, 0, 3072, {{0, 0}, {0, 1}}, {wDrum, wDrum}, {StartMarker(0, 1)});
    // CV 1: a pattern of length 0, and a reference to a pattern that is not there.
    AddStoredChordVar(oStyle, 0, 1, 1536, {{1, 2}, {0, 0}}, {wEmpty, 9}, {StartMarker(0, 0), StartMarker(0, 1)});
    // CV 2: more positions than the table has references.
    AddStoredChordVar(oStyle, 0, 2, 1536, {{0, 0}, {0, 1}}, {wDrum}, {StartMarker(0, 0), StartMarker(0, 1)});
    oStyle.m_owTotalPatterns = 3;
    CStyleBlock oBlock(BuildStyleChunk(oStyle), 0);
    CReportCapture oReports;
    CLoaded oLoaded;
    RunWithDeadline([&] { oLoaded = Load(oBlock); });
    EXPECT_TRUE(oReports.HasAssert("wCount == wPCount", SOURCE));
    EXPECT_TRUE(oReports.HasAssert("poPatternData->m_dwTotalTicks > 0", SOURCE));
    EXPECT_TRUE(oReports.HasAssert("wRef >= 1 && wRef <= oPatInfoData.m_wTotalPatterns", SOURCE));
    EXPECT_TRUE(oReports.HasAssert("wCvRefStart + i <= oPatInfoData.m_wTotalCvPatterns", SOURCE));

    // Every group still has its pattern chunk, so the flat form reads on.
    const CStyleView& rkoView = oLoaded.m_oView;
    ASSERT_EQ(rkoView.m_aoPatterns.size(), 6u);
    EXPECT_EQ(rkoView.m_oPatInfo.m_awRefs, (std::vector<WORD>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(PositionEvents(rkoView, 0, 0), std::vector<CEvRec>{});
    EXPECT_EQ(PositionPattern(rkoView, 0, 0).m_dwTicks, 3072u);
    EXPECT_EQ(PositionEvents(rkoView, 0, 1), (std::vector<CEvRec>{Nt(0, 36), Nt(1536, 36)}));
    EXPECT_EQ(PositionEvents(rkoView, 1, 0), std::vector<CEvRec>{});
    EXPECT_EQ(PositionEvents(rkoView, 1, 1), std::vector<CEvRec>{});
    EXPECT_EQ(PositionEvents(rkoView, 2, 0), (std::vector<CEvRec>{Nt(0, 36)}));
    EXPECT_EQ(PositionEvents(rkoView, 2, 1), std::vector<CEvRec>{});
    for (const CViewCv& rkoCv : rkoView.m_aoCvs)
        EXPECT_EQ(Marks(rkoCv), (std::vector<CMark>{{0, 3, 0}, {0, 3, 1}}));

    // Flattening asked without a table.
    CPatternTable oNoTable;
    Bytes abyBuffer(100000);
    oReports.Clear();
    EXPECT_FALSE(MakeMarkFlattenStyle(oNoTable, *oBlock.m_poNav, abyBuffer.data(), DWORD(abyBuffer.size())));
    EXPECT_TRUE(oReports.HasAssert("m_poPatternData", SOURCE));
}

// Chord-variation event data of any size goes through; a buffer too small
// for the rendering gives a silent group, never a write past it.
TEST(MakeMarkBuild, LargeEventDataAndShortBuffers)
{
    CTestStyle oStyle;
    const WORD wBass = AddPattern(oStyle, 3, 1536, Notes(60, 0, 24, 40));
    std::vector<CEvRec> aoMarkers = {StartMarker(0, 0)};
    for (int i = 0; i < 600; ++i)
        aoMarkers.push_back(KeptMarker(TTICK(i * 10), {BYTE(i & 0x7F), 1, 2, 3, 4, 5}));
    AddStoredChordVar(oStyle, 0, 0, 61440, {{1, 2}}, {wBass}, aoMarkers);
    CStyleBlock oBlock(BuildStyleChunk(oStyle), 0);
    const CLoaded oLoaded = Load(oBlock);
    ASSERT_TRUE(oLoaded.m_bFlattened);
    EXPECT_EQ(KeptMarkers(oLoaded.m_oView.m_aoCvs[0]).size(), 600u);
    EXPECT_EQ(PositionEvents(oLoaded.m_oView, 0, 0).size(), 40u * 60u);

    // The same style flattened into much less than it asked for.
    CPatternTable oTable;
    const DWORD dwSize = MakeMarkPrepareStyle(*oBlock.m_poNav, oTable);
    const DWORD dwSmall = DWORD(oBlock.Used().size()) + 2000;
    ASSERT_GT(dwSize, dwSmall);
    Bytes abyFlat(dwSmall + 64, 0xA5);
    CReportCapture oReports;
    std::unique_ptr<CChunkNav> poFlat = MakeMarkFlattenStyle(oTable, *oBlock.m_poNav, abyFlat.data(), dwSmall);
    EXPECT_TRUE(std::all_of(abyFlat.end() - 64, abyFlat.end(), [](BYTE by) { return by == 0xA5; }));
    EXPECT_TRUE(oReports.HasAssert("bFits", SOURCE));
    ASSERT_TRUE(poFlat);
    const CStyleView oView = ReadView(Bytes(abyFlat.begin(), abyFlat.begin() + poFlat->m_dwfnUsedSize()));
    EXPECT_EQ(PositionEvents(oView, 0, 0), std::vector<CEvRec>{});
    EXPECT_EQ(PositionPattern(oView, 0, 0).m_dwTicks, 61440u);
}

// The rendering on its own: whole repeats from the start tick, cut at the
// stop tick; a pattern of length 0 renders nothing and ends.
TEST(MakeMarkBuild, RenderRepeatsWholeAndStopsAtTheStopTick)
{
    const Bytes abyEvents =
        MakeCompactStream({Nt(0, 60, 50), Nt(1000, 62, 1000), CEvRec::Meta(1100, 0x01, {65})}, 1536);
    PatternData oPattern(2);
    oPattern.m_dwTotalTicks = 1536;
    oPattern.m_pbyEvents = abyEvents.data();
    oPattern.m_dwTotalEventsDim = DWORD(abyEvents.size());
    auto Render = [&](TTICK tStart, TTICK tStop) {
        CMemEncoder oEncoder;
        oEncoder.Open();
        EXPECT_TRUE(MakeMarkRenderPattern(oPattern, oEncoder, tStart, tStop));
        oEncoder.SetEnd(tStop);
        oEncoder.Close();
        return WithoutEnd(
            DecodeBlock(Bytes(oEncoder.GetBufferStart(), oEncoder.GetBufferStart() + oEncoder.GetBytesWritten()))
                .Events());
    };
    CReportCapture oReports;
    // The meta list and the list at the pattern's length are left out; the
    // last note is cut at the stop tick.
    EXPECT_EQ(Render(100, 100 + 3072),
              (std::vector<CEvRec>{Nt(100, 60, 50), Nt(1100, 62, 1000), Nt(1636, 60, 50), Nt(2636, 62, 536)}));
    EXPECT_TRUE(oReports.Empty());
    // A stretch of 1.5 lengths: the note sounding over the stop is cut there.
    EXPECT_EQ(Render(0, 2304), (std::vector<CEvRec>{Nt(0, 60, 50), Nt(1000, 62, 1000), Nt(1536, 60, 50)}));
    EXPECT_EQ(Render(0, 1500), (std::vector<CEvRec>{Nt(0, 60, 50), Nt(1000, 62, 500)}));
    EXPECT_TRUE(oReports.HasAssert("tAbsTick == tRecStop", SOURCE));

    oReports.Clear();
    oPattern.m_dwTotalTicks = 0;
    EXPECT_EQ(Render(0, 6144), std::vector<CEvRec>{});
    EXPECT_TRUE(oReports.HasAssert("roPatternData.m_dwTotalTicks > 0", SOURCE));
}

// ---------------------------------------------------------------------------
// Marker making
// ---------------------------------------------------------------------------

// The consistency check cleans every pattern and replaces the changed ones in
// place, keeping their headers.
TEST(MakeMarkSave, ConsistencyCheckCountsAndReplacesChangedPatterns)
{
    CTestStyle oStyle;
    AddFlatChordVar(oStyle, 0, 0, 1536,
                    {{0, {Nt(0, 36)}},
                     {2, {Nt(0, 40), CEvRec::Chn(100, EVSC_PRG_CHANGE, 0, 5)}},
                     {3, {Nt(10, 60), CEvRec::Chn(20, EVSC_CTRL_CHANGE, 0, 11, 50)}}});
    oStyle.m_aoPatterns[1].m_byParam2 = 7;
    CStyleBlock oBlock(BuildStyleChunk(oStyle), 1000);
    CReportCapture oReports;
    EXPECT_EQ(MakeMarkConsistencyCheck(*oBlock.m_poNav), 3u << 16 | 2u);
    EXPECT_TRUE(oReports.Empty());
    EXPECT_EQ(oBlock.m_poNav->m_wfnLevel(), 0);
    const CStyleView oView = ReadView(oBlock.Used());
    EXPECT_EQ(oView.m_aoPatterns[1].m_byParam2, 7);
    EXPECT_EQ(PositionEvents(oView, 0, 1), (std::vector<CEvRec>{Nt(0, 40)}));
    EXPECT_EQ(PositionEvents(oView, 0, 2),
              (std::vector<CEvRec>{Nt(10, 60), CEvRec::Chn(20, EVSC_CTRL_CHANGE, 0, 11, 50),
                                   CEvRec::Chn(1535, EVSC_CTRL_CHANGE, 0, 11, 100)}));
    EXPECT_EQ(MakeMarkConsistencyCheck(*oBlock.m_poNav), 3u << 16);

    oStyle.m_owTotalPatterns = 4;
    CStyleBlock oWrongCount(BuildStyleChunk(oStyle), 1000);
    MakeMarkConsistencyCheck(*oWrongCount.m_poNav);
    EXPECT_TRUE(oReports.HasAssert("wPCount == wCount", SOURCE));
}

// Identical pattern chunks (same ID, same bytes) are stored once.
TEST(MakeMarkSave, MergeSharesEqualChunksOnlyWithTheSameId)
{
    CTestStyle oStyle;
    const std::vector<CEvRec> aoDrum = {Nt(0, 36), Nt(768, 38)};
    const std::vector<CEvRec> aoAcc = {Nt(0, 60), Nt(384, 64)};
    AddFlatChordVar(oStyle, 0, 0, 1536, {{0, aoDrum}, {3, aoAcc}});
    AddFlatChordVar(oStyle, 0, 1, 1536, {{0, aoDrum}, {4, aoAcc, 0, 1}, {5, aoAcc}});
    CStyleBlock oBlock(BuildStyleChunk(oStyle), 0);
    const CStyleView oBefore = ReadView(oBlock.Used());
    CReportCapture oReports;
    // Drum of CV 2 and the second Acc. 3 go; Acc. 2 is type 1 (chunk ID 3): not the same.
    EXPECT_EQ(MakeMarkMergePatterns(*oBlock.m_poNav), 5u << 16 | 2u);
    EXPECT_TRUE(oReports.Empty());
    const CStyleView oAfter = ReadView(oBlock.Used());
    EXPECT_EQ(oAfter.m_oPatInfo.m_wTotalPatterns, 3);
    EXPECT_EQ(oAfter.m_oPatInfo.m_awRefs, (std::vector<WORD>{1, 2, 1, 3, 2}));
    EXPECT_EQ(oAfter.m_aoPatterns.size(), 3u);
    EXPECT_EQ(oAfter.m_aoPatterns[2].m_byId, 3);
    EXPECT_EQ(oAfter.m_aoPatterns[2].m_abyEvents, oAfter.m_aoPatterns[1].m_abyEvents);
    EXPECT_EQ(MakeMarkMergePatterns(*oBlock.m_poNav), 3u << 16);

    // Loading gives every chord variation its patterns back.
    const CLoaded oLoaded = Load(oBlock);
    ASSERT_TRUE(oLoaded.m_bFlattened);
    for (std::size_t nCv = 0; nCv < 2; ++nCv)
        for (std::size_t p = 0; p < oBefore.m_aoCvs[nCv].m_aoInfo.size(); ++p)
            EXPECT_EQ(PositionPattern(oLoaded.m_oView, nCv, p).m_abyData, PositionPattern(oBefore, nCv, p).m_abyData);
}

// A four-measure pattern A A B C at position 0, before two other tracks.
CTestStyle SplitStyle(std::vector<CEvRec>* paoPattern = nullptr)
{
    const std::vector<CEvRec> aoA = Notes(50, 0, 30, 60, 20);
    const std::vector<CEvRec> aoB = Notes(50, 5, 30, 48, 20);
    const std::vector<CEvRec> aoC = Notes(50, 10, 30, 72, 20);
    const std::vector<CEvRec> aoPattern = Concat({aoA, Shifted(aoA, 1536), Shifted(aoB, 3072), Shifted(aoC, 4608)});
    if (paoPattern)
        *paoPattern = aoPattern;
    CTestStyle oStyle;
    AddFlatChordVar(oStyle, 0, 0, 6144, {{3, aoPattern}, {4, {Nt(0, 50)}}, {5, {Nt(10, 52)}}},
                    {KeptMarker(1536, {2, 5})});
    return oStyle;
}

// Splitting: each distinct sub-pattern is stored once in the pattern's
// place, and the chord variation starts and stops them with markers.
TEST(MakeMarkSave, SplitStoresDistinctSubPatternsWithTheirMarkers)
{
    std::vector<CEvRec> aoPattern;
    const CTestStyle oStyle = SplitStyle(&aoPattern);
    CStyleBlock oBlock(BuildStyleChunk(oStyle), 10000);
    const CStyleView oBefore = ReadView(oBlock.Used());
    CReportCapture oReports;
    EXPECT_EQ(MakeMarkMakeMarkers(*oBlock.m_poNav, MA_SUBPATTERN_TARGET), 2);
    EXPECT_TRUE(oReports.Empty());
    EXPECT_EQ(oBlock.m_poNav->m_wfnLevel(), 0);

    const CStyleView oMade = ReadView(oBlock.Used());
    ASSERT_EQ(oMade.m_aoPatterns.size(), 5u);
    EXPECT_EQ(oMade.m_oPatInfo.m_wTotalPatterns, 5);
    EXPECT_EQ(oMade.m_oPatInfo.m_awRefs, (std::vector<WORD>{1, 2, 3, 4, 5}));
    const TTICK atStarts[] = {0, 3072, 4608};
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(oMade.m_aoPatterns[i].m_dwTicks, 1536u);
        std::vector<CEvRec> aoExpected;
        for (const CEvRec& rkoEvent : aoPattern)
            if (rkoEvent.m_tTick >= atStarts[i] && rkoEvent.m_tTick < atStarts[i] + 1536)
                aoExpected.push_back(rkoEvent);
        EXPECT_EQ(Shifted(WithoutEnd(DecodeBlock(oMade.m_aoPatterns[i].m_abyEvents).Events()), atStarts[i]),
                  aoExpected);
    }
    const CViewCv& rkoCv = oMade.m_aoCvs[0];
    EXPECT_EQ(rkoCv.m_aoInfo, (std::vector<CvPatInfo>{{2, 3}, {2, 3}, {2, 3}, {2, 4}, {2, 5}}));
    // A runs on over two measures; C ends with the chord variation; the
    // other tracks' markers moved up by 2.
    EXPECT_EQ(
        Marks(rkoCv),
        (std::vector<CMark>{{0, 3, 0}, {0, 3, 3}, {0, 3, 4}, {3072, 4, 0}, {3072, 3, 1}, {4608, 4, 1}, {4608, 3, 2}}));
    EXPECT_EQ(KeptMarkers(rkoCv), (std::vector<CEvRec>{KeptMarker(1536, {2, 5})}));

    // Loaded again, the style is the one that was split.
    const CLoaded oLoaded = Load(oBlock);
    EXPECT_TRUE(oReports.Empty()) << oReports.Texts().front();
    for (std::size_t p = 0; p < 3; ++p)
        EXPECT_EQ(PositionPattern(oLoaded.m_oView, 0, p).m_abyData, PositionPattern(oBefore, 0, p).m_abyData);
    EXPECT_EQ(oLoaded.m_oView.m_aoCvs[0].m_abyEvents, oBefore.m_aoCvs[0].m_abyEvents);
}

// What is left whole: few events, a marked chunk, no signature, chord
// variations whose data or CV patterns would not fit, a reserve that runs
// out (markers stop there, the style stays whole and loads as before).
TEST(MakeMarkSave, PatternsThatCannotBeSplitAreLeftWhole)
{
    auto Unchanged = [](const CTestStyle& rkoStyle, DWORD dwSpare, int iExpected = 0) {
        const Bytes abyStyle = BuildStyleChunk(rkoStyle);
        CStyleBlock oBlock(abyStyle, dwSpare);
        EXPECT_EQ(MakeMarkMakeMarkers(*oBlock.m_poNav, MA_SUBPATTERN_TARGET), iExpected);
        return oBlock.Used() == abyStyle;
    };
    CReportCapture oReports;
    {
        // 118 notes and the end event: 119 events, one short of a split.
        CTestStyle oStyle;
        AddFlatChordVar(oStyle, 0, 0, 6144, {{3, Notes(118, 0, 50, 40, 20)}});
        EXPECT_TRUE(Unchanged(oStyle, 10000));
        CTestStyle oSplit;
        AddFlatChordVar(oSplit, 0, 0, 6144, {{3, Notes(119, 0, 50, 40, 20)}});
        EXPECT_FALSE(Unchanged(oSplit, 10000, 1));
    }
    {
        CTestStyle oStyle = SplitStyle();
        oStyle.m_aoPatterns[0].m_byParam2 = 1;
        EXPECT_TRUE(Unchanged(oStyle, 10000));
    }
    {
        CTestStyle oStyle = SplitStyle();
        oStyle.m_aoElements[0]->m_bySignature = 0x02; // numerator 0
        EXPECT_TRUE(Unchanged(oStyle, 10000));
        oStyle.m_aoElements[0].reset();
        EXPECT_TRUE(Unchanged(oStyle, 10000));
    }
    {
        // Marker data beyond the 2000-byte work area.
        CTestStyle oStyle = SplitStyle();
        std::vector<CEvRec> aoMarkers = {StartMarker(0, 0), StartMarker(0, 1), StartMarker(0, 2)};
        for (int i = 0; i < 300; ++i)
            aoMarkers.push_back(KeptMarker(TTICK(i), {1, 2, 3, 4, 5}));
        oStyle.m_aoElements[0]->m_aoCvs[0]->m_abyEvents = MakeCompactStream(aoMarkers, 6144);
        EXPECT_TRUE(Unchanged(oStyle, 10000));
    }
    EXPECT_TRUE(oReports.Empty());
    {
        // 62 + 2 CV patterns are allowed (with a warning), 63 + 2 are not.
        for (int iOthers : {61, 62})
        {
            CTestStyle oStyle = SplitStyle();
            CTestChordVar& roCv = *oStyle.m_aoElements[0]->m_aoCvs[0];
            const WORD wDrum = AddPattern(oStyle, 2, 6144, {Nt(0, 36)});
            std::vector<CEvRec> aoMarkers;
            for (int i = 0; i <= iOthers; ++i)
                aoMarkers.push_back(StartMarker(0, BYTE(i)));
            roCv.m_aoPatterns.resize(1);
            roCv.m_aoPatterns.resize(iOthers + 1, CvPatInfo{0, 0});
            roCv.m_abyEvents = MakeCompactStream(aoMarkers, 6144);
            oStyle.m_awRefs.resize(1);
            oStyle.m_awRefs.resize(iOthers + 1, wDrum);
            oReports.Clear();
            EXPECT_EQ(Unchanged(oStyle, 10000, iOthers == 61 ? 2 : 0), iOthers == 62);
            EXPECT_EQ(oReports.Has("Warning! Many Cv Patterns 64"), iOthers == 61);
            EXPECT_EQ(oReports.HasAssert("oChordVarData.m_byNrPatterns <= MA_MAX_CVPATTERNS", SOURCE), iOthers == 62);
        }
    }
    {
        // Two long patterns of four distinct measures, whose splits make the
        // style grow, and a reserve from none up to room for both: every
        // split is made whole or not at all, and the style loads as it was
        // written whatever the reserve.
        std::vector<CEvRec> aoPattern;
        for (TTICK t = 0; t < 6144; t += 1536)
            aoPattern = Concat({aoPattern, Notes(50, t + t / 512, 30, BYTE(30 + t / 256), 20)});
        CTestStyle oStyle;
        AddFlatChordVar(oStyle, 0, 0, 6144, {{3, aoPattern}});
        AddFlatChordVar(oStyle, 0, 1, 6144, {{3, Shifted(aoPattern, 1)}});
        const Bytes abyStyle = BuildStyleChunk(oStyle);
        const CStyleView oBefore = ReadView(abyStyle);
        std::set<int> aiSeen;
        for (DWORD dwSpare = 0; !aiSeen.count(6); dwSpare += 4)
        {
            ASSERT_LT(dwSpare, 10000u);
            CStyleBlock oBlock(abyStyle, dwSpare);
            oReports.Clear();
            const int iAdded = MakeMarkMakeMarkers(*oBlock.m_poNav, MA_SUBPATTERN_TARGET);
            aiSeen.insert(iAdded);
            ASSERT_TRUE(iAdded == 0 || iAdded == 3 || iAdded == 6) << iAdded;
            EXPECT_EQ(oReports.HasAssert("sqwNeeded <= m_roNav.m_sdwExtraLength", SOURCE), iAdded < 6) << dwSpare;
            const CLoaded oLoaded = Load(oBlock);
            for (std::size_t nCv = 0; nCv < 2; ++nCv)
                ASSERT_EQ(PositionEvents(oLoaded.m_oView, nCv, 0), PositionEvents(oBefore, nCv, 0)) << dwSpare;
        }
        EXPECT_EQ(aiSeen, (std::set<int>{0, 3, 6}));
    }
}

// ---------------------------------------------------------------------------
// Round trip over random styles
// ---------------------------------------------------------------------------

// Time signature bytes and the ticks of their measures.
struct CSignature
{
    BYTE m_byCode;
    TTICK m_tMeasure;
};
constexpr CSignature SIGNATURES[] = {{0x22, 1536}, {0x22, 1536}, {0x1A, 1152}, {0x33, 1152}, {0x12, 768}};

// CStyleGenerator -- random styles in flat form as the writer leaves them:
// clean patterns whose notes end inside their measure, built from a few
// measures that repeat, some patterns used by several chord variations.
class CStyleGenerator
{
public:
    explicit CStyleGenerator(std::uint32_t uSeed) : m_oRng(uSeed) {}

    CTestStyle Generate()
    {
        CTestStyle oStyle;
        m_aoPool.clear();
        for (int iSe = 0; iSe < 10; ++iSe)
        {
            if (Rand(0, 9) >= 3 && !(iSe == 9 && !oStyle.m_aoPatterns.size()))
                continue;
            const CSignature& rkoSig = SIGNATURES[Rand(0, int(std::size(SIGNATURES)) - 1)];
            for (int iCv = 0; iCv < 6; ++iCv)
            {
                if (Rand(0, 9) >= 4)
                    continue;
                const int iMeasures = Rand(1, 5);
                const DWORD dwTicks = DWORD(iMeasures) * rkoSig.m_tMeasure;
                std::vector<CTestTrack> aoTracks;
                for (BYTE byTrack = 0; byTrack < 8; ++byTrack)
                    if (Rand(0, 9) < 4)
                        aoTracks.push_back({byTrack, Pattern(byTrack, dwTicks, rkoSig.m_tMeasure), 0, 0xFF});
                if (aoTracks.empty())
                    aoTracks.push_back({0, Pattern(0, dwTicks, rkoSig.m_tMeasure), 0, 0xFF});
                std::vector<CEvRec> aoKept;
                for (int i = Rand(0, 2); i > 0; --i)
                    aoKept.push_back(KeptMarker(TTICK(Rand(0, int(dwTicks) - 1)), {BYTE(Rand(0, 127))}));
                std::stable_sort(aoKept.begin(), aoKept.end(),
                                 [](const CEvRec& a, const CEvRec& b) { return a.m_tTick < b.m_tTick; });
                AddFlatChordVar(oStyle, iSe, iCv, dwTicks, aoTracks, aoKept);
                oStyle.m_aoElements[iSe]->m_bySignature = rkoSig.m_byCode;
                // Now and then a chunk that must stay whole.
                if (Rand(0, 19) == 0)
                    oStyle.m_aoPatterns.back().m_byParam2 = 1;
            }
        }
        return oStyle;
    }

private:
    int Rand(int iLow, int iHigh) { return std::uniform_int_distribution<int>(iLow, iHigh)(m_oRng); }

    // One measure: notes that end inside it, a controller that comes back to
    // rest, an unchecked controller, a pitch bend back to the centre.
    std::vector<CEvRec> Measure(TTICK tMeasure)
    {
        std::vector<CEvRec> aoEvents;
        const int iNotes = Rand(0, 3) ? Rand(20, 60) : Rand(0, 6);
        for (int i = 0; i < iNotes; ++i)
        {
            const TTICK tTick = TTICK(Rand(0, int(tMeasure) - 2));
            aoEvents.push_back(Nt(tTick, BYTE(Rand(30, 90)), DWORD(Rand(1, int(tMeasure - 1 - tTick)))));
        }
        if (Rand(0, 2) == 0)
        {
            const TTICK tTick = TTICK(Rand(0, int(tMeasure) / 2));
            aoEvents.push_back(CEvRec::Chn(tTick, EVSC_CTRL_CHANGE, 0, 11, BYTE(Rand(0, 127))));
            aoEvents.push_back(CEvRec::Chn(tTick + tMeasure / 4, EVSC_CTRL_CHANGE, 0, 11, 100));
            aoEvents.push_back(CEvRec::Chn(TTICK(Rand(0, int(tMeasure) - 2)), EVSC_CTRL_CHANGE, 0, 2, 5));
            aoEvents.push_back(CEvRec::Chn(tTick + 1, EVSC_PITCH_B_CHANGE, 0, 0, BYTE(Rand(0, 127))));
            aoEvents.push_back(CEvRec::Chn(tTick + 2, EVSC_PITCH_B_CHANGE, 0, 0, 64));
        }
        std::stable_sort(aoEvents.begin(), aoEvents.end(),
                         [](const CEvRec& a, const CEvRec& b) { return a.m_tTick < b.m_tTick; });
        return aoEvents;
    }

    // A track's pattern: one used before with the same length and track
    // kind, or measures drawn from two or three that repeat.
    std::vector<CEvRec> Pattern(BYTE byTrack, DWORD dwTicks, TTICK tMeasure)
    {
        const std::pair<DWORD, BYTE> oKey(dwTicks, DefaultPatternType(byTrack));
        auto it = m_aoPool.find(oKey);
        if (it != m_aoPool.end() && Rand(0, 9) < 4)
            return it->second[Rand(0, int(it->second.size()) - 1)];
        std::vector<std::vector<CEvRec>> aoMeasures;
        for (int i = Rand(1, 3); i > 0; --i)
            aoMeasures.push_back(Measure(tMeasure));
        std::vector<CEvRec> aoPattern;
        for (TTICK t = 0; t < dwTicks; t += tMeasure)
            aoPattern = Concat({aoPattern, Shifted(aoMeasures[Rand(0, int(aoMeasures.size()) - 1)], t)});
        m_aoPool[oKey].push_back(aoPattern);
        return aoPattern;
    }

    std::mt19937 m_oRng;
    std::map<std::pair<DWORD, BYTE>, std::vector<std::vector<CEvRec>>> m_aoPool;
};

// Ticks a position of a stored chord variation sounds by its markers, and
// whether one stretch plays its pattern more than once.
bool PlaysAPieceRepeatedly(const CStyleView& rkoView)
{
    std::size_t nRef = 0;
    for (const CViewCv& rkoCv : rkoView.m_aoCvs)
    {
        std::map<BYTE, TTICK> aoStart;
        std::map<BYTE, TTICK> aoSounding;
        for (const CMark& rkoMark : Marks(rkoCv))
        {
            if (aoStart.count(rkoMark.m_byPosition))
                aoSounding[rkoMark.m_byPosition] += rkoMark.m_tTick - aoStart[rkoMark.m_byPosition];
            aoStart.erase(rkoMark.m_byPosition);
            if (rkoMark.m_byKind == 3)
                aoStart[rkoMark.m_byPosition] = rkoMark.m_tTick;
        }
        for (const auto& [byPosition, tStart] : aoStart)
            aoSounding[byPosition] += rkoCv.m_dwTicks - tStart;
        for (const auto& [byPosition, tSounding] : aoSounding)
        {
            const WORD wRef = rkoView.m_oPatInfo.m_awRefs.at(nRef + byPosition);
            if (tSounding > rkoView.m_aoPatterns.at(wRef - 1).m_dwTicks)
                return true;
        }
        nRef += rkoCv.m_aoInfo.size();
    }
    return false;
}

// Hundreds of random styles: check, merge, make markers, merge, then load
// again; every chord variation's tracks must play what they played before.
TEST(MakeMarkRoundTrip, RandomStylesComeBackEventForEvent)
{
    constexpr int NR_STYLES = 300;
    int iSplit = 0;
    int iShared = 0;
    int iRepeated = 0;
    int iAddedTotal = 0;
    CReportCapture oReports;
    for (int iStyle = 0; iStyle < NR_STYLES; ++iStyle)
    {
        const std::uint32_t uSeed = 0x5EED0000u + std::uint32_t(iStyle);
        SCOPED_TRACE("seed " + std::to_string(uSeed));
        CStyleGenerator oGenerator(uSeed);
        const Bytes abyStyle = BuildStyleChunk(oGenerator.Generate());
        CStyleBlock oBlock(abyStyle, DWORD(abyStyle.size()) + 50000);
        CChunkNav& roNav = *oBlock.m_poNav;
        const CStyleView oWritten = ReadView(abyStyle);

        CPatternTable oTable;
        ASSERT_EQ(MakeMarkPrepareStyle(roNav, oTable), 0u);
        ASSERT_EQ(MakeMarkConsistencyCheck(roNav) & 0xFFFF, 0u) << "the generator writes clean patterns";
        const DWORD dwFirstMerge = MakeMarkMergePatterns(roNav);
        const int iAdded = MakeMarkMakeMarkers(roNav, MA_SUBPATTERN_TARGET);
        const DWORD dwSecondMerge = MakeMarkMergePatterns(roNav);
        ASSERT_TRUE(oReports.Empty()) << oReports.Texts().front();
        const CStyleView oMade = ReadView(oBlock.Used());
        iSplit += iAdded > 0;
        iShared += (dwFirstMerge & 0xFFFF) + (dwSecondMerge & 0xFFFF) > 0;
        iRepeated += PlaysAPieceRepeatedly(oMade);
        iAddedTotal += iAdded;

        // The style reader takes the flat copy without a word.
        const CLoaded oLoaded = Load(oBlock, true);
        ASSERT_TRUE(oReports.Empty()) << oReports.Texts().front();
        const CStyleView& rkoFlat = oLoaded.m_oView;
        ASSERT_EQ(rkoFlat.m_aoCvs.size(), oWritten.m_aoCvs.size());
        EXPECT_EQ(rkoFlat.m_oPatInfo.m_awRefs, oWritten.m_oPatInfo.m_awRefs);
        for (std::size_t nCv = 0; nCv < oWritten.m_aoCvs.size(); ++nCv)
        {
            const CViewCv& rkoBefore = oWritten.m_aoCvs[nCv];
            const CViewCv& rkoAfter = rkoFlat.m_aoCvs[nCv];
            ASSERT_EQ(rkoAfter.m_aoInfo, rkoBefore.m_aoInfo) << "chord variation " << nCv;
            EXPECT_EQ(rkoAfter.m_dwTicks, rkoBefore.m_dwTicks);
            EXPECT_EQ(Marks(rkoAfter), Marks(rkoBefore));
            EXPECT_EQ(KeptMarkers(rkoAfter), KeptMarkers(rkoBefore));
            for (std::size_t p = 0; p < rkoBefore.m_aoInfo.size(); ++p)
            {
                const CViewPattern& rkoOld = PositionPattern(oWritten, nCv, p);
                const CViewPattern& rkoNew = PositionPattern(rkoFlat, nCv, p);
                EXPECT_EQ(rkoNew.m_byId, rkoOld.m_byId);
                EXPECT_EQ(rkoNew.m_dwTicks, rkoOld.m_dwTicks);
                ASSERT_EQ(PositionEvents(rkoFlat, nCv, p), PositionEvents(oWritten, nCv, p))
                    << "chord variation " << nCv << " position " << p;
            }
        }
    }
    std::printf("[ info ] %d styles: %d split (%d chunks added), %d with shared chunks, %d playing a stored piece "
                "repeatedly\n",
                NR_STYLES, iSplit, iAddedTotal, iShared, iRepeated);
    EXPECT_GT(iSplit, NR_STYLES / 3);
    EXPECT_GT(iShared, NR_STYLES / 3);
    EXPECT_GT(iRepeated, NR_STYLES / 5);
}

// ---------------------------------------------------------------------------
// Damaged stored forms
// ---------------------------------------------------------------------------

// Loading and saving a damaged style end, stay inside their memory and
// leave a style that loads again.
void LoadAndSaveDamaged(const Bytes& rkabyStyle)
{
    {
        CStyleBlock oBlock(rkabyStyle, 20000);
        CPatternTable oTable;
        const DWORD dwSize = MakeMarkPrepareStyle(*oBlock.m_poNav, oTable);
        ASSERT_LE(dwSize, MA_MAX_FLAT_SIZE);
        if (dwSize)
        {
            Bytes abyFlat(dwSize);
            std::unique_ptr<CChunkNav> poFlat = MakeMarkFlattenStyle(oTable, *oBlock.m_poNav, abyFlat.data(), dwSize);
            if (poFlat)
                MakeMarkPrepareStyle(*poFlat, oTable);
        }
    }
    CStyleBlock oBlock(rkabyStyle, 20000);
    MakeMarkConsistencyCheck(*oBlock.m_poNav);
    MakeMarkMergePatterns(*oBlock.m_poNav);
    MakeMarkMakeMarkers(*oBlock.m_poNav, MA_SUBPATTERN_TARGET);
    MakeMarkMergePatterns(*oBlock.m_poNav);
    CPatternTable oTable;
    MakeMarkPrepareStyle(*oBlock.m_poNav, oTable);
}

// RecordFields -- offsets of the bytes that say how long, how many and which
// in a style's records: the first 12 and last 4 data bytes of every data
// chunk (lengths and sizes, counts, CV pattern entries, references).
std::vector<std::size_t> RecordFields(Bytes abyStyle)
{
    std::vector<std::size_t> anFields;
    CChunkNav oNav(abyStyle.data(), DWORD(abyStyle.size()));
    while (oNav.m_ofnFind(CChunkId(), typeAny, typeFinal, 0, 0))
    {
        const std::size_t nData = oNav.m_pbyfnData() - abyStyle.data();
        const std::size_t nLength = oNav.m_dwfnDataLength();
        for (std::size_t i = 0; i < nLength; ++i)
            if (i < 12 || i + 4 >= nLength)
                anFields.push_back(nData + i);
    }
    return anFields;
}

// Damage of each kind to stored styles made from random ones, then bytes
// flipped at random: every run ends, reports what it finds and stays in
// bounds (run under AddressSanitizer to see the last).
TEST(MakeMarkDamaged, DamagedStoredFormsLoadAsFarAsSafe)
{
    CReportCapture oReports;
    int iReported = 0;
    for (int iStyle = 0; iStyle < 60; ++iStyle)
    {
        const std::uint32_t uSeed = 0xDA000000u + std::uint32_t(iStyle);
        SCOPED_TRACE("seed " + std::to_string(uSeed));
        std::mt19937 oRng(uSeed);
        auto Rand = [&](int iLow, int iHigh) { return std::uniform_int_distribution<int>(iLow, iHigh)(oRng); };
        CTestStyle oStyle = CStyleGenerator(uSeed).Generate();

        // One kind of damage in the description.
        switch (iStyle % 6)
        {
        case 0:
            oStyle.m_awRefs[Rand(0, int(oStyle.m_awRefs.size()) - 1)] = WORD(Rand(0, 1) ? 0 : 900);
            break;
        case 1:
            oStyle.m_owTotalPatterns = WORD(oStyle.m_aoPatterns.size() + Rand(1, 3));
            oStyle.m_awRefs.pop_back();
            break;
        case 2:
            oStyle.m_aoPatterns[Rand(0, int(oStyle.m_aoPatterns.size()) - 1)].m_dwTicks = 0;
            break;
        default:
            for (std::optional<CTestElement>& roElement : oStyle.m_aoElements)
                for (std::size_t nCv = 0; roElement && nCv < roElement->m_aoCvs.size(); ++nCv)
                {
                    std::optional<CTestChordVar>& roCv = roElement->m_aoCvs[nCv];
                    if (!roCv || Rand(0, 1))
                        continue;
                    std::vector<CEvRec> aoMarkers;
                    if (iStyle % 6 == 4)
                        for (int i = 0; i < 700; ++i)
                            aoMarkers.push_back(KeptMarker(TTICK(i), {1, 2, 3, 4, 5}));
                    if (iStyle % 6 == 5)
                        aoMarkers = {StartMarker(TTICK(Rand(0, int(roCv->m_dwTicks))), BYTE(Rand(0, 70))),
                                     EndMarker(TTICK(Rand(0, int(roCv->m_dwTicks))), BYTE(Rand(0, 3)))};
                    std::stable_sort(aoMarkers.begin(), aoMarkers.end(),
                                     [](const CEvRec& a, const CEvRec& b) { return a.m_tTick < b.m_tTick; });
                    roCv->m_abyEvents = MakeCompactStream(aoMarkers, roCv->m_dwTicks);
                }
            break;
        }
        Bytes abyStyle = BuildStyleChunk(oStyle);
        oReports.Clear();
        RunWithDeadline([&] { LoadAndSaveDamaged(abyStyle); });
        iReported += !oReports.Empty();

        // Then the stored form made from it, with bytes flipped.
        {
            CStyleBlock oBlock(abyStyle, DWORD(abyStyle.size()) + 50000);
            MakeMarkMergePatterns(*oBlock.m_poNav);
            MakeMarkMakeMarkers(*oBlock.m_poNav, MA_SUBPATTERN_TARGET);
            abyStyle = oBlock.Used();
        }
        const std::vector<std::size_t> anFields = RecordFields(abyStyle);
        for (int iRound = 0; iRound < 8; ++iRound)
        {
            Bytes abyDamaged = abyStyle;
            for (int i = Rand(1, 6); i > 0; --i)
            {
                const std::size_t nAt = Rand(0, 1) ? anFields[Rand(0, int(anFields.size()) - 1)]
                                                   : std::size_t(Rand(0, int(abyDamaged.size()) - 1));
                abyDamaged[nAt] ^= BYTE(1 << Rand(0, 7));
            }
            RunWithDeadline([&] { LoadAndSaveDamaged(abyDamaged); });
        }
    }
    EXPECT_GT(iReported, 20);
}

} // namespace
