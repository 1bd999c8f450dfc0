// MarkerAlgTest.cpp -- the pattern record, the channel state, cleaning,
// splitting into sub-patterns and extracting them again.
#include "MarkerAlg/MarkerAlg.h"

#include "MemCoder/MaEncoder.h"
#include "PropStreams.h"
#include "ReportCapture.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

const std::string SOURCE = "MarkerAlg/MarkerAlg";

CEvRec Cc(TTICK tTick, BYTE byController, BYTE byValue)
{
    return CEvRec::Chn(tTick, EVSC_CTRL_CHANGE, 0, byController, byValue);
}

CEvRec Nt(TTICK tTick, DWORD dwDuration, BYTE byVelOff = 40)
{
    return CEvRec::Note(tTick, 0, 60, 90, byVelOff, dwDuration);
}

// One list per event, at the event's tick.
std::vector<CInputGroup> Lists(const std::vector<CEvRec>& raoEvents)
{
    std::vector<CInputGroup> aoGroups;
    for (const CEvRec& rkoRec : raoEvents)
        aoGroups.push_back({rkoRec.m_tTick, {rkoRec}});
    return aoGroups;
}

// iNrEvents lists of one unchecked controller each, from tFirst every tStep.
std::vector<CInputGroup> Spread(int iNrEvents, TTICK tFirst, TTICK tStep)
{
    std::vector<CEvRec> aoEvents;
    for (int i = 0; i < iNrEvents; ++i)
        aoEvents.push_back(Cc(tFirst + TTICK(i) * tStep, 2, BYTE(i & 0x7F)));
    return Lists(aoEvents);
}

// The groups at their ticks and the end event at tEnd (later when a note ends
// later); bPlainNotes writes notes as note-on and note-off records.
std::vector<BYTE> Encode(const std::vector<CInputGroup>& raoGroups, TTICK tEnd, bool bPlainNotes = false)
{
    CMemEncoder oEncoder;
    oEncoder.SetUseNoteDuration(!bPlainNotes);
    EXPECT_TRUE(oEncoder.Open() && EncodeGroups(oEncoder, raoGroups) && oEncoder.SetEnd(tEnd) && oEncoder.Close());
    return std::vector<BYTE>(oEncoder.GetBufferStart(), oEncoder.GetBufferStart() + oEncoder.GetBytesWritten());
}

std::vector<BYTE> Bytes(const PatternData& rkoData)
{
    return std::vector<BYTE>(rkoData.m_pbyEvents, rkoData.m_pbyEvents + rkoData.m_dwTotalEventsDim);
}

std::vector<CEvRec> Events(const PatternData& rkoData)
{
    return DecodeBlock(Bytes(rkoData)).Events();
}

// A type-1 pattern chunk (attribute bytes 0x5A, 0xA5) and its counted record.
struct CTestPattern
{
    CTestPattern(const std::vector<BYTE>& abyEvents, TTICK tTicks) : m_abyChunk(8), m_oData(3)
    {
        QdWriteBE32(&m_abyChunk[0], tTicks);
        QdWriteBE32(&m_abyChunk[4], DWORD(abyEvents.size()));
        m_abyChunk.insert(m_abyChunk.end(), abyEvents.begin(), abyEvents.end());
        m_abyChunk.insert(m_abyChunk.end(), {0x5A, 0xA5});
        EXPECT_TRUE(m_oData.Parse(m_abyChunk.data(), DWORD(m_abyChunk.size()), true));
    }
    std::vector<BYTE> m_abyChunk;
    PatternData m_oData;
};

// A cleaned or extracted pattern with the buffer it lies in.
struct COutput
{
    int m_iResult = 0;
    std::vector<BYTE> m_abyBuffer;
    PatternData m_oData;
};

COutput Clean(const PatternData& rkoSource, bool bAllowLastTick)
{
    COutput oOut;
    oOut.m_abyBuffer.resize(rkoSource.m_dwTotalEventsDim + 500);
    CChannelState oState;
    oOut.m_iResult = CleanPattern(oState, rkoSource, oOut.m_oData, oOut.m_abyBuffer.data(),
                                  DWORD(oOut.m_abyBuffer.size()), bAllowLastTick);
    return oOut;
}

int Split(PatternData& roData, int iTarget, WORD wSigCode = 4 * 256 + 4)
{
    CChannelState oState;
    return SplitPattern(oState, roData, wSigCode, iTarget);
}

std::vector<DWORD> Counts(const PatternData& rkoData)
{
    std::vector<DWORD> adwCounts;
    for (int i = 0; i < rkoData.m_iNrSubPatterns; ++i)
        adwCounts.push_back(rkoData.m_poSubPatterns[i].m_dwNrEvents);
    return adwCounts;
}

// A random pattern on track 0: notes (with durations, or as plain note-on and
// note-off records), controllers of every rule, pitch bends, program
// changes, key pressure and meta lists; its length lies near its end event.
// Controllers and pitch bend go back to rest in iRestPercent of their events.
CTestPattern RandomPattern(std::mt19937& roRng, int iNrLists, int iRestPercent, int iMaxDuration)
{
    auto Rand = [&](int iLow, int iHigh) { return std::uniform_int_distribution<int>(iLow, iHigh)(roRng); };
    static constexpr BYTE kabyControllers[] = {1, 2, 7, 10, 11, 64, 71, 74, 80, 91};
    const bool bPlainNotes = Rand(0, 3) == 0;
    std::vector<CInputGroup> aoGroups;
    TTICK tTick = 0;
    for (int iList = 0; iList < iNrLists; ++iList)
    {
        tTick += Rand(0, 3) ? Rand(1, 200) : 0;
        if (!Rand(0, 9))
        {
            aoGroups.push_back({tTick, {CEvRec::Meta(tTick, 0x01, {'x'})}});
            continue;
        }
        CInputGroup oGroup{tTick, {}};
        for (int i = Rand(1, 3); i > 0; --i)
        {
            const int iKind = Rand(0, 9);
            const BYTE byData = BYTE(Rand(0, 127));
            const bool bRest = Rand(1, 100) <= iRestPercent;
            const BYTE byController = kabyControllers[Rand(0, 9)];
            const int iRule = CChannelState::GetControllerRule(byController);
            if (iKind < 4)
                oGroup.m_aoEvents.push_back(CEvRec::Note(tTick, 0, BYTE(Rand(36, 84)), BYTE(Rand(1, 127)), byData,
                                                         DWORD(Rand(0, iMaxDuration))));
            else if (iKind < 7)
                oGroup.m_aoEvents.push_back(Cc(tTick, byController, bRest && iRule >= 0 ? BYTE(iRule) : byData));
            else if (iKind == 7)
                oGroup.m_aoEvents.push_back(CEvRec::Chn(tTick, EVSC_PITCH_B_CHANGE, 0, bRest ? 0 : byData, 64));
            else
                oGroup.m_aoEvents.push_back(
                    CEvRec::Chn(tTick, iKind == 8 ? EVSC_PRG_CHANGE : EVSC_KEY_PRESSURE, 0, byData, 1));
        }
        aoGroups.push_back(oGroup);
    }
    const TTICK tEnd = tTick + TTICK(Rand(0, 400));
    return CTestPattern(Encode(aoGroups, tEnd, bPlainNotes), TTICK(std::max(1, int(tEnd) + Rand(-300, 100))));
}

} // namespace

TEST(MarkerAlgRecord, StoredFormAndItsBounds)
{
    // 1536 ticks, 6 event bytes (the end event at 1536), attribute bytes.
    const std::vector<BYTE> abyChunk = {0, 0, 6, 0, 0, 0, 0, 6, 0x8C, 0x80, 0x09, 0x2F, 0, 0, 0x11, 0x22};
    PatternData oData(3);
    ASSERT_TRUE(oData.Parse(abyChunk.data(), 16, true));
    EXPECT_EQ(oData.m_dwTotalTicks, 1536u);
    EXPECT_EQ(oData.m_byAttr1 * 256 + oData.m_byAttr2, 0x1122);
    EXPECT_EQ(oData.m_dwNrEvents, 1u);
    std::vector<BYTE> abyOut(17, 0xCD);
    EXPECT_EQ(oData.Write(abyOut.data(), 15), 0u);
    EXPECT_EQ(oData.Write(abyOut.data(), 16), 16u);
    EXPECT_EQ(std::vector<BYTE>(abyOut.begin(), abyOut.end() - 1), abyChunk);
    EXPECT_EQ(abyOut.back(), 0xCD);
    PatternData oType0(2);
    ASSERT_TRUE(oType0.Parse(abyChunk.data(), 14, false));
    EXPECT_EQ(oType0.Size(), 14u);

    // An event size beyond the chunk is refused, never pointed past.
    CReportCapture oCapture;
    for (DWORD dwDim : {8u, 9u, 0xFFFFFFFFu})
    {
        std::vector<BYTE> abyDim = abyChunk;
        QdWriteBE32(&abyDim[4], dwDim);
        EXPECT_EQ(oType0.Parse(abyDim.data(), 16, true), dwDim == 8) << dwDim;
        EXPECT_EQ(oType0.m_dwTotalEventsDim, dwDim == 8 ? 8u : 0u);
        EXPECT_EQ(oType0.m_pbyEvents, dwDim == 8 ? abyDim.data() + 8 : nullptr);
    }
    EXPECT_FALSE(oData.Parse(abyChunk.data(), 15, false)) << "attribute bytes cut off";

    oData.m_poSubPatterns.reset(new SubPattern[2]());
    oData.m_iNrSubPatterns = 2;
    EXPECT_TRUE(oData.Parse(abyChunk.data(), 16, false));
    EXPECT_TRUE(oCapture.HasAssert("m_poSubPatterns == 0", SOURCE));
    EXPECT_TRUE(oData.m_iNrSubPatterns == 0 && !oData.m_poSubPatterns);
    oData.m_pbyEvents = nullptr;
    EXPECT_EQ(oData.Size(), 10u);
    EXPECT_TRUE(oCapture.HasAssert("m_pbyEvents || m_dwTotalEventsDim == 0", SOURCE));
    EXPECT_EQ(oData.Write(abyOut.data(), 16), 10u);
    EXPECT_TRUE(oCapture.HasAssert("m_pbyEvents && m_dwTotalEventsDim > 0", SOURCE));
}

// Damaged chunks (a pattern with bytes changed, or noise, with any event
// size, length, signature and target): every operation ends in order, reads
// and writes only its own memory and gives every pool record back.
TEST(MarkerAlgRecord, DamagedChunksEndInOrder)
{
    CReportCapture oCapture;
    for (std::uint32_t uSeed = 1; uSeed <= 1000; ++uSeed)
    {
        std::mt19937 oRng(uSeed);
        auto Rand = [&](int iLow, int iHigh) { return std::uniform_int_distribution<int>(iLow, iHigh)(oRng); };
        std::vector<BYTE> abyChunk(Rand(0, 308));
        for (BYTE& rby : abyChunk)
            rby = BYTE(Rand(0, 255));
        if (Rand(0, 1))
        {
            const std::vector<BYTE> abyEvents = Bytes(RandomPattern(oRng, Rand(1, 200), 90, 150).m_oData);
            abyChunk.resize(8);
            abyChunk.insert(abyChunk.end(), abyEvents.begin(), abyEvents.end());
            abyChunk.resize(abyChunk.size() + 2);
            QdWriteBE32(&abyChunk[4], DWORD(abyEvents.size()));
            for (int i = Rand(0, 4); i > 0; --i)
                abyChunk[Rand(8, int(abyChunk.size()) - 1)] = BYTE(Rand(0, 255));
        }
        PatternData oData(BYTE(Rand(2, 4)));
        oData.Parse(abyChunk.data(), DWORD(abyChunk.size()), true);
        std::vector<BYTE> abyBuffer(oData.m_dwTotalEventsDim + 500);
        PatternData oDest;
        CChannelState oState;
        CleanPattern(oState, oData, oDest, abyBuffer.data(), DWORD(Rand(0, 1) ? abyBuffer.size() : Rand(0, 50)),
                     Rand(0, 1));
        SplitPattern(oState, oData, WORD(Rand(0, 0xFFFF)), Rand(-1, 100));
        for (int i = -1; i <= oData.m_iNrSubPatterns; ++i)
            ExtractSubPattern(oData, i, oDest, abyBuffer.data(), DWORD(abyBuffer.size()));
    }
}

TEST(MarkerAlgChannelState, KeepOrDropAndResetEvents)
{
    CChannelState oState;
    CLinkedEvent* poReset = nullptr;
    EXPECT_EQ(oState.MakeResetEvents(poReset), 0) << "a reset state is at rest";
    EXPECT_EQ(poReset, nullptr);

    // Pitch bend 64, 0 is far off the centre 0, 64. Controller 2 is not
    // checked, 7 not allowed; a note-off without its note is dropped.
    CPoolList oIn({CEvRec::Chn(0, EVSC_PITCH_B_CHANGE, 3, 64, 0), CEvRec::Chn(0, EVSC_CTRL_CHANGE, 3, 74, 10),
                   CEvRec::Chn(0, EVSC_CTRL_CHANGE, 3, 1, 5), CEvRec::Chn(0, EVSC_CTRL_CHANGE, 3, 2, 9),
                   CEvRec::Chn(0, EVSC_NOTEON, 3, 70, 80), CEvRec::Chn(0, EVSC_NOTEON, 3, 40, 80),
                   CEvRec::Chn(0, EVSC_NOTEON, 3, 40, 80), CEvRec::Chn(0, EVSC_CTRL_CHANGE, 3, 7, 1),
                   CEvRec::Chn(0, EVSC_NOTEOFF, 3, 99, 0), CEvRec::Chn(0, EVSC_PRG_CHANGE, 3, 5)});
    std::vector<bool> abKept;
    for (const CLinkedEvent* pkoEvent = oIn.Get(); pkoEvent; pkoEvent = pkoEvent->Next())
        abKept.push_back(oState.Update(*pkoEvent, 0));
    EXPECT_EQ(abKept, (std::vector<bool>{true, true, true, true, true, true, true, false, false, false}));
    ASSERT_EQ(oState.MakeResetEvents(poReset), 6);
    std::vector<CEvRec> aoReset;
    for (const CLinkedEvent* pkoEvent = poReset; pkoEvent; pkoEvent = pkoEvent->Next())
    {
        aoReset.push_back(CEvRec::From(0, *pkoEvent));
        oState.Update(*pkoEvent, 0);
    }
    FreeEventsList(poReset);
    EXPECT_EQ(aoReset, (std::vector<CEvRec>{CEvRec::Chn(0, EVSC_PITCH_B_CHANGE, 0, 0, 64), Cc(0, 1, 0), Cc(0, 74, 64),
                                            CEvRec::Chn(0, EVSC_NOTEOFF, 0, 40, 64),
                                            CEvRec::Chn(0, EVSC_NOTEOFF, 0, 40, 64),
                                            CEvRec::Chn(0, EVSC_NOTEOFF, 0, 70, 64)}));
    EXPECT_TRUE(oState.IsClean());
}

TEST(MarkerAlgClean, DropsClosesAndMoves)
{
    CReportCapture oCapture;
    // Name, source events (one list each), its end event, the flag, the
    // result and the events before the end event at 1536.
    struct CCase
    {
        const char* m_pszName;
        std::vector<CEvRec> m_aoIn;
        TTICK m_tEnd;
        bool m_bAllowLastTick;
        int m_iResult;
        std::vector<CEvRec> m_aoOut;
    };
    const CEvRec oHeld = CEvRec::Chn(100, EVSC_NOTEON, 0, 60, 90);
    const CEvRec oBend = CEvRec::Chn(20, EVSC_PITCH_B_CHANGE, 0, 1, 64);
    const std::vector<CCase> aoCases = {
        {"clean", {Nt(0, 100), Cc(200, 1, 5), Cc(300, 1, 0)}, 1536, false, 1,
         {Nt(0, 100), Cc(200, 1, 5), Cc(300, 1, 0)}},
        {"program change", {Nt(0, 100), CEvRec::Chn(10, EVSC_PRG_CHANGE, 0, 5)}, 1536, true, 0, {Nt(0, 100)}},
        {"held plain note", {oHeld}, 1536, false, 0, {CEvRec::Note(100, 0, 60, 90, 64, 1435)}},
        {"reset at the last tick", {Cc(10, 64, 127), oBend}, 1536, true, 0,
         {Cc(10, 64, 127), oBend, CEvRec::Chn(1535, EVSC_PITCH_B_CHANGE, 0, 0, 64), Cc(1535, 64, 0)}},
        // A note sounding past the last allowed tick ends there, with the
        // reset's note-off velocity 64.
        {"note past, flag clear", {Nt(1400, 300)}, 1700, false, 0, {Nt(1400, 135, 64)}},
        {"note past, flag set", {Nt(1400, 300)}, 1700, true, 0, {Nt(1400, 136, 64)}},
        {"note to the end, flag clear", {Nt(1400, 136)}, 1536, false, 0, {Nt(1400, 135, 64)}},
        {"note to the end, flag set", {Nt(1400, 136)}, 1536, true, 1, {Nt(1400, 136)}},
        // A channel list at the length is moved one tick earlier, or left
        // out with everything after it.
        {"list at the length, flag set", {Cc(100, 2, 5), Cc(1536, 2, 6), Cc(1600, 2, 7)}, 1600, true, 0,
         {Cc(100, 2, 5), Cc(1535, 2, 6)}},
        {"list at the length, flag clear", {Cc(100, 2, 5), Cc(1536, 2, 6), Cc(1600, 2, 7)}, 1600, false, 0,
         {Cc(100, 2, 5)}},
    };
    for (const CCase& rkoCase : aoCases)
    {
        const bool bPlain = rkoCase.m_aoIn[0] == oHeld;
        const CTestPattern oSource(Encode(Lists(rkoCase.m_aoIn), rkoCase.m_tEnd, bPlain), 1536);
        const COutput oOut = Clean(oSource.m_oData, rkoCase.m_bAllowLastTick);
        std::vector<CEvRec> aoExpected = rkoCase.m_aoOut;
        aoExpected.push_back(CEvRec::EndOfTrack(1536));
        EXPECT_EQ(oOut.m_iResult, rkoCase.m_iResult) << rkoCase.m_pszName;
        EXPECT_EQ(Events(oOut.m_oData), aoExpected) << rkoCase.m_pszName;
        EXPECT_EQ(oOut.m_oData.m_dwNrEvents, aoExpected.size()) << rkoCase.m_pszName;
        EXPECT_EQ(oOut.m_oData.m_byAttr1 * 256 + oOut.m_oData.m_byAttr2, 0x5AA5);
    }
    EXPECT_TRUE(oCapture.Empty()) << oCapture.Texts().front();
}

// Only a buffer one byte short of the result is sure to fail (the encoder
// asks for a record's largest size first); it must fail writing nothing past.
TEST(MarkerAlgClean, FixedBufferOneShort)
{
    const CTestPattern oSource(Encode(Lists({Nt(0, 100), Nt(10, 1000), Cc(20, 11, 5)}), 1536), 1200);
    const DWORD dwNeeded = Clean(oSource.m_oData, false).m_oData.m_dwTotalEventsDim;
    CReportCapture oCapture;
    std::vector<BYTE> abyBuffer(dwNeeded + 3, 0xCD);
    PatternData oDest;
    CChannelState oState;
    EXPECT_EQ(CleanPattern(oState, oSource.m_oData, oDest, abyBuffer.data(), dwNeeded - 1, false), MA_CLEAN_FAILED);
    EXPECT_EQ(std::vector<BYTE>(abyBuffer.end() - 4, abyBuffer.end()), std::vector<BYTE>(4, 0xCD));
    EXPECT_TRUE(oDest.m_pbyEvents == nullptr && oDest.m_dwTotalEventsDim == 0);
}

// Cleaned once, a pattern is clean: cleaned again it gives 1 and the same
// bytes (so nothing is left past the last allowed tick, nothing off rest at
// the end). A source found clean comes out byte for byte as it went in.
TEST(MarkerAlgClean, RandomPatternsCleanOnce)
{
    CReportCapture oCapture;
    for (std::uint32_t uSeed = 1; uSeed <= 300; ++uSeed)
    {
        SCOPED_TRACE("seed " + std::to_string(uSeed));
        std::mt19937 oRng(uSeed);
        const CTestPattern oSource = RandomPattern(oRng, std::uniform_int_distribution<int>(1, 60)(oRng), 50, 600);
        for (bool bAllowLastTick : {false, true})
        {
            const COutput oOnce = Clean(oSource.m_oData, bAllowLastTick);
            ASSERT_NE(oOnce.m_iResult, MA_CLEAN_FAILED);
            EXPECT_TRUE(oOnce.m_iResult == MA_CLEAN_CHANGED || Bytes(oOnce.m_oData) == Bytes(oSource.m_oData));
            const std::vector<CEvRec> aoEvents = Events(oOnce.m_oData);
            EXPECT_EQ(oOnce.m_oData.m_dwNrEvents, aoEvents.size());
            EXPECT_EQ(aoEvents.back(), CEvRec::EndOfTrack(oSource.m_oData.m_dwTotalTicks));
            const COutput oTwice = Clean(oOnce.m_oData, bAllowLastTick);
            EXPECT_EQ(oTwice.m_iResult, MA_CLEAN_UNCHANGED);
            EXPECT_EQ(Bytes(oTwice.m_oData), Bytes(oOnce.m_oData));
        }
        ASSERT_TRUE(oCapture.Empty()) << oCapture.Texts().front();
    }
}

TEST(MarkerAlgSplit, BoundsFromTargetAndLength)
{
    // Target 80: 119 events stay whole (119 < 80 + 40); 120 are cut at the
    // measure boundary.
    for (int iNrEvents : {119, 120})
    {
        CTestPattern oPattern(Encode(Spread(iNrEvents - 1, 0, 26), 3072), 3072);
        EXPECT_EQ(Split(oPattern.m_oData, 80), iNrEvents - 119) << iNrEvents;
    }
    // 1000 events, target 80: the target becomes 260, lo 130, hi 390.
    for (const auto& [iPerMeasure, adwCounts] :
         {std::pair<int, std::vector<DWORD>>{130, {130, 130, 130, 130, 130, 130, 219}},
          {129, {258, 258, 258, 225}},
          {999, {390, 390, 219}}})
    {
        std::vector<CEvRec> aoEvents;
        for (int i = 0; i < 999; ++i)
            aoEvents.push_back(Cc(TTICK(i / iPerMeasure * 1536 + i % iPerMeasure), 2, BYTE(i & 0x7F)));
        CTestPattern oPattern(Encode(Lists(aoEvents), 12288), 12288);
        ASSERT_EQ(oPattern.m_oData.m_dwNrEvents, 1000u);
        EXPECT_EQ(Split(oPattern.m_oData, 80), int(adwCounts.size()) - 1);
        EXPECT_EQ(Counts(oPattern.m_oData), adwCounts) << iPerMeasure << " events per measure";
    }
    // Shorter than a measure: lo = hi = target, cut by count only; the same
    // events in a pattern of one measure are cut at hi = 120.
    for (TTICK tTicks : {1000u, 1536u})
    {
        CTestPattern oPattern(Encode(Spread(200, 0, 1), tTicks), tTicks);
        EXPECT_EQ(Split(oPattern.m_oData, 80), 1);
        const std::vector<DWORD> adwCounts = tTicks == 1000 ? std::vector<DWORD>{80, 120} : std::vector<DWORD>{120, 80};
        EXPECT_EQ(Counts(oPattern.m_oData), adwCounts);
    }
}

// The count cut before list 80 (tick 320) waits while something is off its
// rest, up to the first list at which all is clean again.
TEST(MarkerAlgSplit, NoCutUntilClean)
{
    // Name, events for list 75 (tick 300) and list 90 (tick 360), cut.
    struct CCase
    {
        const char* m_pszName;
        std::vector<CEvRec> m_aoAt75, m_aoAt90;
        DWORD m_dwCutAt;
    };
    std::vector<CCase> aoCases = {
        {"nothing", {}, {}, 80},
        {"note ends at list 90", {Nt(300, 60)}, {}, 90},
        {"note ends after list 90", {Nt(300, 61)}, {}, 91},
        {"plain note", {CEvRec::Chn(300, EVSC_NOTEON, 0, 60, 90)}, {CEvRec::Chn(360, EVSC_NOTEOFF, 0, 60, 0)}, 91},
        {"pitch bend", {CEvRec::Chn(300, EVSC_PITCH_B_CHANGE, 0, 64, 0)},
         {CEvRec::Chn(360, EVSC_PITCH_B_CHANGE, 0, 0, 64)}, 91},
        {"controller 2 is not checked", {Cc(300, 2, 127)}, {}, 80},
        {"controller 7 is dropped", {Cc(300, 7, 1)}, {}, 80},
    };
    for (const auto& [iController, iRest] : {std::pair{1, 0}, {10, 64}, {11, 100}, {64, 0}, {71, 64}, {74, 64}})
        aoCases.push_back({"checked controller", {Cc(300, BYTE(iController), BYTE(iRest ^ 1))},
                           {Cc(360, BYTE(iController), BYTE(iRest))}, 91});
    for (const CCase& rkoCase : aoCases)
    {
        std::vector<CInputGroup> aoGroups = Spread(200, 0, 4);
        if (!rkoCase.m_aoAt75.empty())
            aoGroups[75].m_aoEvents = rkoCase.m_aoAt75;
        if (!rkoCase.m_aoAt90.empty())
            aoGroups[90].m_aoEvents = rkoCase.m_aoAt90;
        // Plain records for the note whose note-off is given.
        CTestPattern oPattern(Encode(aoGroups, 1000, !rkoCase.m_aoAt90.empty()), 1000);
        EXPECT_EQ(Split(oPattern.m_oData, 80), 1) << rkoCase.m_pszName;
        const SubPattern& rkoSecond = oPattern.m_oData.m_poSubPatterns[1];
        EXPECT_EQ(rkoSecond.m_dwFirstEvent, rkoCase.m_dwCutAt) << rkoCase.m_pszName;
        EXPECT_EQ(rkoSecond.m_dwStartTick, rkoCase.m_dwCutAt * 4) << rkoCase.m_pszName;
    }
}

// 3/4, 1152 ticks a measure: 60 events in measure 1, 89 from tick 2500 on.
// The first sub-pattern ends at 2304, unless a note sounds across 2304.
TEST(MarkerAlgSplit, MeasureCutAndExtraction)
{
    CReportCapture oCapture;
    for (DWORD dwLastDuration : {1u, 514u, 515u})
    {
        std::vector<CInputGroup> aoGroups = Spread(60, 1200, 10);
        aoGroups.back() = Lists({Nt(1790, dwLastDuration)})[0];
        for (const CInputGroup& rkoGroup : Spread(89, 2500, 1))
            aoGroups.push_back(rkoGroup);
        CTestPattern oPattern(Encode(aoGroups, 3456), 3456);
        const int iCuts = Split(oPattern.m_oData, 80, 3 * 256 + 4);
        if (dwLastDuration == 515)
        {
            EXPECT_EQ(iCuts, 0) << "a cut at 2304 would cut the note ending at 2305";
            continue;
        }
        ASSERT_EQ(iCuts, 1);
        std::vector<DWORD> adwFields;
        for (int i = 0; i < 2; ++i)
        {
            const SubPattern& rkoSub = oPattern.m_oData.m_poSubPatterns[i];
            adwFields.insert(adwFields.end(), {rkoSub.m_dwStartTick, rkoSub.m_dwTicks, rkoSub.m_dwFirstOffset,
                                               rkoSub.m_dwFirstEvent, rkoSub.m_dwNrEvents});
        }
        EXPECT_EQ(adwFields, (std::vector<DWORD>{0, 2304, 1200, 0, 60, 2304, 1152, 196, 60, 89}));

        // The last sub-pattern leaves out the pattern's end event and gets
        // its own at its length.
        COutput oOut;
        oOut.m_abyBuffer.resize(oPattern.m_oData.m_dwTotalEventsDim);
        ASSERT_TRUE(ExtractSubPattern(oPattern.m_oData, 1, oOut.m_oData, oOut.m_abyBuffer.data(),
                                      DWORD(oOut.m_abyBuffer.size())));
        std::vector<CEvRec> aoExpected;
        for (int i = 0; i < 89; ++i)
            aoExpected.push_back(Cc(196 + TTICK(i), 2, BYTE(i)));
        aoExpected.push_back(CEvRec::EndOfTrack(1152));
        EXPECT_EQ(Events(oOut.m_oData), aoExpected);
        EXPECT_EQ(oOut.m_oData.m_dwTotalTicks, 1152u);
        EXPECT_EQ(oOut.m_oData.m_dwNrEvents, 90u);

        // A buffer one byte short, and indices that name no sub-pattern.
        const DWORD dwNeeded = oOut.m_oData.m_dwTotalEventsDim;
        std::vector<BYTE> abyShort(dwNeeded + 3, 0xCD);
        EXPECT_FALSE(ExtractSubPattern(oPattern.m_oData, 1, oOut.m_oData, abyShort.data(), dwNeeded - 1));
        EXPECT_EQ(std::vector<BYTE>(abyShort.end() - 4, abyShort.end()), std::vector<BYTE>(4, 0xCD));
        EXPECT_EQ(oOut.m_oData.m_pbyEvents, nullptr);
        for (int iIndex : {2, -1})
            EXPECT_FALSE(ExtractSubPattern(oPattern.m_oData, iIndex, oOut.m_oData, oOut.m_abyBuffer.data(),
                                           DWORD(oOut.m_abyBuffer.size())));
        EXPECT_TRUE(oCapture.HasAssert("iIndex < roPatternData.m_iNrSubPatterns && roPatternData.m_poSubPatterns",
                                       SOURCE));
    }
}

TEST(MarkerAlgSplit, RefusedSignaturesAndLengths)
{
    CReportCapture oCapture;
    CTestPattern oPattern(Encode(Spread(300, 0, 10), 3072), 3072);
    for (WORD wSigCode : {WORD(0), WORD(4 * 256), WORD(4)})
    {
        EXPECT_EQ(Split(oPattern.m_oData, 80, wSigCode), 0) << wSigCode;
        EXPECT_EQ(oPattern.m_oData.m_iNrSubPatterns, 0);
    }
    EXPECT_TRUE(oCapture.HasAssert("wSigCode", SOURCE));
    oPattern.m_oData.m_dwTotalTicks = 2000;
    EXPECT_EQ(Split(oPattern.m_oData, 80), 0);
    EXPECT_EQ(oPattern.m_oData.m_iNrSubPatterns, 0);
    EXPECT_TRUE(oCapture.HasAssert("tTick <= roPatternData.m_dwTotalTicks", SOURCE));
}

// The sub-patterns of a cleaned random pattern, extracted and laid at their
// start ticks, give back its events: none is lost, moved or cut short.
TEST(MarkerAlgSplit, RandomSplitsReassemble)
{
    CReportCapture oCapture;
    static constexpr WORD kawSigCodes[] = {4 * 256 + 4, 3 * 256 + 4, 6 * 256 + 8, 5 * 256 + 4, 2 * 256 + 2};
    int iSplits = 0;
    for (std::uint32_t uSeed = 1; uSeed <= 100; ++uSeed)
    {
        SCOPED_TRACE("seed " + std::to_string(uSeed));
        std::mt19937 oRng(uSeed);
        const CTestPattern oSource = RandomPattern(oRng, std::uniform_int_distribution<int>(60, 400)(oRng), 90, 150);
        COutput oClean = Clean(oSource.m_oData, false);
        PatternData& roData = oClean.m_oData;
        const std::vector<CEvRec> aoEvents = Events(roData);
        const int iTarget = std::uniform_int_distribution<int>(10, 80)(oRng);
        const int iCuts = Split(roData, iTarget, kawSigCodes[uSeed % 5]);
        iSplits += iCuts > 0;
        if (roData.m_dwNrEvents < DWORD(iTarget + iTarget / 2))
            continue;
        ASSERT_EQ(roData.m_iNrSubPatterns, iCuts + 1);

        std::vector<CEvRec> aoJoined;
        DWORD dwStart = 0;
        for (int i = 0; i < roData.m_iNrSubPatterns; ++i)
        {
            const SubPattern& rkoSub = roData.m_poSubPatterns[i];
            EXPECT_EQ(rkoSub.m_dwStartTick, dwStart);
            EXPECT_EQ(rkoSub.m_dwFirstEvent, DWORD(aoJoined.size()));
            dwStart += rkoSub.m_dwTicks;
            // Room for the encoder's look at a record's largest size.
            COutput oSub;
            oSub.m_abyBuffer.resize(roData.m_dwTotalEventsDim + 16);
            ASSERT_TRUE(ExtractSubPattern(roData, i, oSub.m_oData, oSub.m_abyBuffer.data(),
                                          DWORD(oSub.m_abyBuffer.size())));
            std::vector<CEvRec> aoSub = Events(oSub.m_oData);
            EXPECT_EQ(oSub.m_oData.m_dwNrEvents, aoSub.size());
            ASSERT_EQ(aoSub.back(), CEvRec::EndOfTrack(rkoSub.m_dwTicks));
            aoSub.pop_back();
            for (CEvRec& roRec : aoSub)
            {
                roRec.m_tTick += rkoSub.m_dwStartTick;
                aoJoined.push_back(roRec);
            }
        }
        aoJoined.push_back(CEvRec::EndOfTrack(dwStart));
        EXPECT_EQ(aoJoined, aoEvents);
        ASSERT_TRUE(oCapture.Empty()) << oCapture.Texts().front();
    }
    EXPECT_GT(iSplits, 50) << "most random patterns should be split";
}
