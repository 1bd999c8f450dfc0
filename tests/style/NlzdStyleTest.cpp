// NlzdStyleTest.cpp -- the normalized style: creation defaults and hooks,
// refused indices, pattern lengthening, the meta pattern, the copy rules at
// three levels with the chord-table repair, and the size estimate.
#include "MemCoder/MaEncoder.h"
#include "NlzdStyle/NlzdStyle.h"
#include "PropStreams.h"
#include "ReportCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

const char* const kpszSource = "NlzdStyle/NlzdStyle";

// A style with hooks as the bank-backed one has them, recording each call.
class CHookedStyle : public CNstStyle
{
public:
    std::vector<std::pair<char, int>> m_aoCalls;
    CNstTimeSig m_oSigSeenByChordVar;

protected:
    void OnNewStyleElem(CNstStyleElem& roStyleElem, BYTE bySeNr) override
    {
        m_aoCalls.emplace_back('E', bySeNr);
        roStyleElem.SetMeasures(bySeNr == 6 ? 1 : 2);
    }
    void OnNewChordVar(CNstChordVar& roChordVar, BYTE byCvNr) override
    {
        m_aoCalls.emplace_back('C', byCvNr);
        m_oSigSeenByChordVar = roChordVar.GetTimeSig();
    }
    void OnNewPattern(CNstPattern& roPattern, BYTE byPNr) override
    {
        static constexpr BYTE kabyTypes[NST_NR_TRK] = {0, 0, 1, 2, 2, 2, 2, 2};
        m_aoCalls.emplace_back('P', byPNr);
        roPattern.SetType(kabyTypes[byPNr]);
    }
};

// A compact stream of the events, one group each, ended at tEnd.
std::vector<BYTE> MakeStream(const std::vector<CEvRec>& raoEvents, TTICK tEnd)
{
    CMemEncoder oEncoder;
    EXPECT_TRUE(oEncoder.Open());
    for (const CEvRec& rkoRec : raoEvents)
    {
        CPoolList oList({rkoRec});
        EXPECT_TRUE(oEncoder.EncodeEventsAt(rkoRec.m_tTick, oList.Get()));
    }
    EXPECT_TRUE(oEncoder.SetEnd(tEnd));
    EXPECT_TRUE(oEncoder.Close());
    return std::vector<BYTE>(oEncoder.GetBufferStart(), oEncoder.GetBufferStart() + oEncoder.GetBytesWritten());
}

void SetEvents(CNstPattern& roPattern, const std::vector<CEvRec>& raoEvents, TTICK tEnd)
{
    const std::vector<BYTE> abyStream = MakeStream(raoEvents, tEnd);
    roPattern.SetData(abyStream.data(), DWORD(abyStream.size()), tEnd);
}

std::vector<BYTE> Bytes(const BYTE* pbyData, DWORD dwLength)
{
    return pbyData ? std::vector<BYTE>(pbyData, pbyData + dwLength) : std::vector<BYTE>();
}

std::vector<BYTE> Data(const CNstPattern& rkoPattern)
{
    return Bytes(rkoPattern.GetData(), rkoPattern.GetDataLength());
}

// The pattern's events; the stream must end properly.
std::vector<CEvRec> Events(const CNstPattern& rkoPattern)
{
    const CDecodedStream oDecoded = DecodeBlock(Data(rkoPattern));
    EXPECT_TRUE(oDecoded.m_bEnded);
    return oDecoded.Events();
}

const CEvRec kNote0 = CEvRec::Note(0, 0, 60, 100, 64, 96);
const CEvRec kCtrl768 = CEvRec::Chn(768, EVSC_CTRL_CHANGE, 0, 1, 50);
const CEvRec kText1536 = CEvRec::Meta(1536, 0x01, {'e', 'n', 'd'});

CEvRec At(CEvRec oRec, TTICK tTick)
{
    oRec.m_tTick = tTick;
    return oRec;
}

TEST(NstModel, CreationDefaultsAndHooks)
{
    CHookedStyle oStyle;
    EXPECT_FALSE(oStyle.HasChordVar(3, 1));
    EXPECT_FALSE(oStyle.HasStyleElem(3)) << "HasChordVar creates nothing";

    CNstStyleElem* poStyleElem = oStyle.GetStyleElem(3);
    ASSERT_NE(poStyleElem, nullptr);
    EXPECT_EQ(*poStyleElem->GetTrackParam(7), (CNstTrackParam{100, 0, 0, 0, 21, 108}));

    // A new chord variation of a 3/4 element of 2 measures.
    poStyleElem->SetTimeSig({3, 2});
    CNstChordVar* poChordVar = poStyleElem->GetChordVar(1);
    ASSERT_NE(poChordVar, nullptr);
    EXPECT_EQ(poChordVar->GetLength(), 2304u);
    EXPECT_EQ(poChordVar->GetTimeSig(), (CNstTimeSig{3, 2}));
    EXPECT_EQ(poChordVar->GetMeasures(), 2) << "measures set by the element hook";
    EXPECT_EQ(oStyle.m_oSigSeenByChordVar, (CNstTimeSig{3, 2}));
    EXPECT_EQ(poStyleElem->GetPackedSignature(), 0x22);

    // Putting the Bass pattern in use: type from the hook, signature and
    // measures from the chord variation; the second call leaves it alone.
    EXPECT_FALSE(poChordVar->IsPatternInUse(2));
    CNstPattern* poPattern = poChordVar->GetPattern(2);
    ASSERT_NE(poPattern, nullptr);
    EXPECT_EQ(poPattern->GetType(), 1);
    EXPECT_EQ(poPattern->GetTimeSig(), (CNstTimeSig{3, 2}));
    EXPECT_EQ(poPattern->GetMeasures(), 2);
    EXPECT_EQ(poChordVar->GetPattern(2), poPattern);
    EXPECT_TRUE(poChordVar->IsPatternInUse(2));

    const std::vector<std::pair<char, int>> kaoCalls = {{'E', 3}, {'C', 1}, {'P', 2}};
    EXPECT_EQ(oStyle.m_aoCalls, kaoCalls);

    // Cleared, the pattern is initial again and the hook runs anew.
    poChordVar->ClearPattern(2);
    const CNstPattern* pkoCleared = poChordVar->FindPattern(2);
    EXPECT_TRUE(pkoCleared->IsUntouched());
    EXPECT_EQ(pkoCleared->GetType(), 0);
    EXPECT_EQ(pkoCleared->GetNrTicks(), 384u);
    EXPECT_EQ(Data(*pkoCleared), (std::vector<BYTE>{0x83, 0x80, 0x09, 0x2F, 0x00, 0x00}));
    poChordVar->GetPattern(2);
    EXPECT_EQ(oStyle.m_aoCalls.size(), 4u);
}

TEST(NstModel, BadIndicesAreRefused)
{
    CNstStyle oStyle;
    CNstStyleElem* poStyleElem = oStyle.GetStyleElem(0);
    CNstChordVar* poChordVar = poStyleElem->GetChordVar(0);
    SetEvents(*poChordVar->GetPattern(0), {kNote0}, 1536);
    const DWORD dwSize = oStyle.SizeEstimate(true);

    CReportCapture oCapture;
    EXPECT_EQ(oStyle.GetStyleElem(NST_NR_STE), nullptr);
    EXPECT_EQ(oStyle.FindStyleElem(255), nullptr);
    EXPECT_FALSE(oStyle.HasChordVar(NST_NR_STE, 0));
    oStyle.DeleteStyleElem(NST_NR_STE);
    EXPECT_EQ(oCapture.Texts().size(), 4u);
    EXPECT_TRUE(oCapture.HasAssert("bySeNr < NST_NR_STE", kpszSource));

    oCapture.Clear();
    EXPECT_EQ(poStyleElem->GetChordVar(NST_NR_CV), nullptr);
    EXPECT_FALSE(oStyle.HasChordVar(0, NST_NR_CV));
    poStyleElem->DeleteChordVar(NST_NR_CV);
    EXPECT_TRUE(oCapture.HasAssert("byCvNr < NST_NR_CV", kpszSource));

    oCapture.Clear();
    EXPECT_EQ(poChordVar->GetPattern(NST_NR_TRK), nullptr);
    EXPECT_FALSE(poChordVar->IsPatternInUse(NST_NR_TRK));
    poChordVar->ClearPattern(NST_NR_TRK);
    EXPECT_EQ(poStyleElem->GetTrackParam(NST_NR_TRK), nullptr);
    EXPECT_EQ(oStyle.GetTrackStyle(NST_NR_TRK), nullptr);
    EXPECT_TRUE(oCapture.HasAssert("byPNr < NST_NR_TRK", kpszSource));

    oCapture.Clear();
    poStyleElem->SetChordEntry(QDI_MAX_CHORD, 3);
    EXPECT_TRUE(oCapture.HasAssert("byChord < QDI_MAX_CHORD", kpszSource));

    // Nothing was created, deleted or cleared.
    for (BYTE by = 1; by < NST_NR_STE; ++by)
        EXPECT_FALSE(oStyle.HasStyleElem(by));
    EXPECT_TRUE(poStyleElem->HasChordVar(0));
    EXPECT_FALSE(poChordVar->IsEmpty());
    EXPECT_EQ(oStyle.SizeEstimate(true), dwSize);
}

TEST(NstModel, NameIsCutAt31Characters)
{
    CNstStyle oStyle;
    EXPECT_STREQ(oStyle.GetName(), "");
    const std::string strLong(40, 'x');
    oStyle.SetName(strLong.c_str());
    EXPECT_EQ(std::string(oStyle.GetName()), strLong.substr(0, 31));

    oStyle.SetName("Bossa Nova");
    char achBuffer[8];
    std::memset(achBuffer, '#', sizeof achBuffer);
    oStyle.GetName(achBuffer, 5);
    EXPECT_STREQ(achBuffer, "Bossa");
    EXPECT_EQ(achBuffer[6], '#');
    oStyle.SetName(oStyle.GetName() + 6);
    EXPECT_STREQ(oStyle.GetName(), "Nova");
}

// Emptiness: a pattern is empty when its first event is the end of track,
// whether it is in use or not; a chord variation when all its patterns are.
TEST(NstModel, EmptinessFollowsTheEndOfTrack)
{
    CNstStyle oStyle;
    CNstChordVar* poChordVar = oStyle.GetStyleElem(4)->GetChordVar(0);
    for (BYTE by = 0; by < NST_NR_TRK; ++by)
        SetEvents(*poChordVar->GetPattern(by), {}, 1536);
    EXPECT_TRUE(poChordVar->IsEmpty());
    EXPECT_TRUE(oStyle.IsEmpty());

    // A meta event at tick 0 before the end is content.
    SetEvents(*poChordVar->GetPattern(5), {CEvRec::Meta(0, 0x01, {'a'})}, 0);
    EXPECT_FALSE(poChordVar->FindPattern(5)->IsEmpty());
    EXPECT_FALSE(oStyle.IsEmpty());

    // A further chord variation in its initial state adds nothing.
    poChordVar->ClearPattern(5);
    oStyle.GetStyleElem(4)->GetChordVar(3);
    EXPECT_TRUE(oStyle.IsEmpty());
}

TEST(NstPattern, SetLengthRepeatsWholeCopies)
{
    CNstPattern oPattern;
    SetEvents(oPattern, {kNote0, kCtrl768, kText1536}, 1536);
    ASSERT_FALSE(oPattern.IsEmpty());
    CNstPattern oOnce(oPattern);

    // Copies at 0 and 1536; a third from 3072 would end at 4608.
    ASSERT_TRUE(oPattern.SetLength(4000, false));
    EXPECT_EQ(oPattern.GetNrTicks(), 4000u);
    EXPECT_FALSE(oPattern.IsUntouched());
    const std::vector<CEvRec> kaoTwice = {kNote0,           kCtrl768,         kText1536,
                                          At(kNote0, 1536), At(kCtrl768, 2304), At(kText1536, 3072),
                                          CEvRec::EndOfTrack(4000)};
    EXPECT_EQ(Events(oPattern), kaoTwice);

    ASSERT_TRUE(oOnce.SetLength(4000, true));
    const std::vector<CEvRec> kaoOnce = {kNote0, kCtrl768, kText1536, CEvRec::EndOfTrack(4000)};
    EXPECT_EQ(Events(oOnce), kaoOnce);
}

// A copy that ends exactly at the new length is made; one tick less and it
// is not.
TEST(NstPattern, SetLengthCopyBoundary)
{
    for (const TTICK tNewLength : {TTICK(2304), TTICK(2303)})
    {
        SCOPED_TRACE(tNewLength);
        CNstPattern oPattern;
        SetEvents(oPattern, {At(kNote0, 100)}, 768);
        ASSERT_TRUE(oPattern.SetLength(tNewLength, false));
        std::vector<CEvRec> aoExpected = {At(kNote0, 100), At(kNote0, 868)};
        if (tNewLength == 2304)
            aoExpected.push_back(At(kNote0, 1636));
        aoExpected.push_back(CEvRec::EndOfTrack(tNewLength));
        EXPECT_EQ(Events(oPattern), aoExpected);
    }
}

TEST(NstPattern, SetLengthOfEmptyAndShorter)
{
    // An untouched pattern gets the new length, silent, and stays untouched;
    // an empty one may also be shortened.
    CNstPattern oPattern;
    ASSERT_TRUE(oPattern.SetLength(1536, false));
    EXPECT_TRUE(oPattern.IsUntouched());
    EXPECT_TRUE(oPattern.IsEmpty());
    EXPECT_EQ(Events(oPattern), (std::vector<CEvRec>{CEvRec::EndOfTrack(1536)}));
    ASSERT_TRUE(oPattern.SetLength(192, true));
    EXPECT_EQ(Events(oPattern), (std::vector<CEvRec>{CEvRec::EndOfTrack(192)}));

    // A pattern with events is not shortened.
    SetEvents(oPattern, {kNote0}, 1536);
    const std::vector<BYTE> abyBefore = Data(oPattern);
    CReportCapture oCapture;
    EXPECT_FALSE(oPattern.SetLength(1000, false));
    EXPECT_TRUE(oCapture.HasAssert("m_bEmpty || tNrTicks >= m_tNrTicks", kpszSource));
    EXPECT_EQ(oPattern.GetNrTicks(), 1536u);
    EXPECT_EQ(Data(oPattern), abyBefore);
}

// Corrupt data end in order: no hang, no crash, and a valid stream of the
// new length with what could be decoded.
TEST(NstPattern, CorruptDataEndInOrder)
{
    CReportCapture oCapture;

    // A stream that stops in the middle (no end of track).
    std::vector<BYTE> abyCut = MakeStream({kNote0, kCtrl768}, 1536);
    abyCut.resize(abyCut.size() - 4);
    CNstPattern oCut;
    oCut.SetData(abyCut.data(), DWORD(abyCut.size()), 1536);
    EXPECT_FALSE(oCut.IsEmpty());
    ASSERT_TRUE(oCut.SetLength(4000, false));
    EXPECT_FALSE(oCapture.Empty()) << "the decoder reports";
    EXPECT_EQ(Events(oCut), (std::vector<CEvRec>{kNote0, kCtrl768, CEvRec::EndOfTrack(4000)}));

    // An invalid first record: nothing usable, counted as empty.
    const BYTE kabyBad[] = {0x0B, 0x00, 0x80};
    CNstPattern oBad;
    oBad.SetData(kabyBad, sizeof kabyBad, 384);
    EXPECT_TRUE(oBad.IsEmpty());
    ASSERT_TRUE(oBad.SetLength(768, false));
    EXPECT_EQ(Events(oBad), (std::vector<CEvRec>{CEvRec::EndOfTrack(768)}));

    // A stream that ends at tick 0 after an event would repeat at the same
    // tick forever.
    CNstPattern oZero;
    SetEvents(oZero, {At(kCtrl768, 0)}, 0);
    ASSERT_FALSE(oZero.IsEmpty());
    ASSERT_TRUE(oZero.SetLength(1536, false));
    EXPECT_EQ(Events(oZero), (std::vector<CEvRec>{At(kCtrl768, 0), CEvRec::EndOfTrack(1536)}));
}

TEST(NstChordVar, MetaPatternKeepsKindTwoMarkers)
{
    const CEvRec oMarkA = CEvRec::Meta(0, 0x7E, {2, 9});
    const CEvRec oMarkB = CEvRec::Meta(1536, 0x7E, {2, 1, 2, 3, 4, 5, 6});
    const std::vector<BYTE> abyInput =
        MakeStream({CEvRec::Meta(0, 0x7E, {3, 0, 0, 0}), oMarkA, CEvRec::Meta(384, 0x7E, {4, 0}), kCtrl768,
                    CEvRec::Meta(768, 0x01, {2}), oMarkB},
                   6144);

    CNstChordVar oChordVar;
    EXPECT_EQ(oChordVar.SetMetaPattern(abyInput.data(), DWORD(abyInput.size())), 6144u);
    const std::vector<BYTE> abyMeta = Bytes(oChordVar.GetMetaPatternData(), oChordVar.GetMetaPatternLength());
    const CDecodedStream oDecoded = DecodeBlock(abyMeta);
    EXPECT_TRUE(oDecoded.m_bEnded);
    EXPECT_EQ(oDecoded.Events(), (std::vector<CEvRec>{oMarkA, oMarkB, CEvRec::EndOfTrack(383616)}));

    // Nothing to keep: the meta pattern goes.
    const std::vector<BYTE> abyNone = MakeStream({CEvRec::Meta(0, 0x7E, {3, 0, 0, 0}), kNote0}, 1536);
    EXPECT_EQ(oChordVar.SetMetaPattern(abyNone.data(), DWORD(abyNone.size())), 1536u);
    EXPECT_EQ(oChordVar.GetMetaPatternLength(), 0u);
    EXPECT_EQ(oChordVar.GetMetaPatternData(), nullptr);
    EXPECT_EQ(oChordVar.SetMetaPattern(nullptr, 0), 0u);
}

TEST(NstChordVar, CopySingleTrackOrAllTracks)
{
    CNstChordVar oSource;
    oSource.SetTimeSig({6, 3});
    oSource.SetMeasures(2);
    oSource.SetLength(2304);
    const std::vector<BYTE> abyMeta = MakeStream({CEvRec::Meta(0, 0x7E, {2, 7})}, 2304);
    oSource.SetMetaPattern(abyMeta.data(), DWORD(abyMeta.size()));
    CNstPattern& roSourcePattern = *oSource.GetPattern(1);
    SetEvents(roSourcePattern, {kNote0, kCtrl768}, 2304);
    roSourcePattern.SetAttributes(5, 6);

    CNstChordVar oDest;
    SetEvents(*oDest.GetPattern(0), {kCtrl768}, 1536);
    oDest.SetLength(1536);

    // One track into a chord variation with events: its own fields stay.
    oDest.CopyFrom(oSource, 1, NST_NR_TRK);
    EXPECT_EQ(oDest.GetLength(), 1536u);
    EXPECT_EQ(oDest.GetTimeSig(), CNstTimeSig{});
    EXPECT_EQ(oDest.GetMetaPatternLength(), 0u);
    const CNstPattern* pkoCopied = oDest.FindPattern(1);
    EXPECT_EQ(Data(*pkoCopied), Data(roSourcePattern));
    EXPECT_EQ(pkoCopied->GetNrTicks(), 2304u);
    EXPECT_EQ(pkoCopied->GetAttribute2(), 6);
    EXPECT_TRUE(oDest.IsPatternInUse(0));

    // The copy is deep; a track goes to another track when asked to.
    SetEvents(roSourcePattern, {}, 2304);
    EXPECT_FALSE(oDest.FindPattern(1)->IsEmpty());
    oDest.CopyFrom(oSource, 1, 4);
    EXPECT_TRUE(oDest.FindPattern(4)->IsEmpty());
    EXPECT_TRUE(oDest.IsPatternInUse(4));

    // All tracks: the fields follow the source, unused tracks are cleared.
    oDest.CopyFrom(oSource, NST_NR_TRK, 3);
    EXPECT_EQ(oDest.GetLength(), 2304u);
    EXPECT_EQ(oDest.GetTimeSig(), (CNstTimeSig{6, 3}));
    EXPECT_EQ(Bytes(oDest.GetMetaPatternData(), oDest.GetMetaPatternLength()),
              Bytes(oSource.GetMetaPatternData(), oSource.GetMetaPatternLength()));
    EXPECT_NE(oDest.GetMetaPatternData(), oSource.GetMetaPatternData());
    for (BYTE by = 0; by < NST_NR_TRK; ++by)
        EXPECT_EQ(oDest.IsPatternInUse(by), by == 1) << int(by);
}

// Copying an element whose chord table names chord variations it does not
// have: every such entry names the lowest chord variation of the copy.
TEST(NstStyleElem, CopyRepairsTheChordTable)
{
    CNstStyle oSource;
    oSource.SetName("Source");
    oSource.GetTrackStyle(3)->m_byMode = 2;
    CNstStyleElem* poSourceElem = oSource.GetStyleElem(2);
    poSourceElem->SetTimeSig({3, 2});
    poSourceElem->GetTrackParam(5)->m_byProgram = 33;
    SetEvents(*poSourceElem->GetChordVar(2)->GetPattern(0), {kNote0}, 1152);
    SetEvents(*poSourceElem->GetChordVar(4)->GetPattern(6), {kCtrl768}, 1152);
    poSourceElem->SetChordEntry(1, 4);
    poSourceElem->SetChordEntry(2, 2);
    poSourceElem->SetChordEntry(3, 9);

    // A single element into a style that has events keeps the style's name.
    CHookedStyle oDest;
    oDest.SetName("Dest");
    SetEvents(*oDest.GetStyleElem(0)->GetChordVar(0)->GetPattern(0), {kNote0}, 1536);
    oDest.CopyFrom(oSource, 2, NST_NR_CV, NST_NR_TRK, 7, NST_NR_CV, NST_NR_TRK);
    EXPECT_STREQ(oDest.GetName(), "Dest");
    ASSERT_TRUE(oDest.HasStyleElem(7));
    const CNstStyleElem* pkoCopy = oDest.FindStyleElem(7);
    EXPECT_EQ(pkoCopy->GetTimeSig(), (CNstTimeSig{3, 2}));
    EXPECT_EQ(pkoCopy->GetTrackParam(5)->m_byProgram, 33);
    for (BYTE by = 0; by < NST_NR_CV; ++by)
        EXPECT_EQ(pkoCopy->HasChordVar(by), by == 2 || by == 4) << int(by);
    std::vector<BYTE> abyTable(QDI_MAX_CHORD, 2);
    abyTable[1] = 4;
    EXPECT_EQ(Bytes(pkoCopy->GetChordTable(), QDI_MAX_CHORD), abyTable);
    EXPECT_EQ(oDest.m_aoCalls.front(), (std::pair<char, int>('E', 0)));
    EXPECT_EQ(std::count(oDest.m_aoCalls.begin(), oDest.m_aoCalls.end(), std::pair<char, int>('E', 7)), 1);

    // All elements: name and track styles come along, absent elements go.
    oDest.CopyFrom(oSource, NST_NR_STE, NST_NR_CV, NST_NR_TRK, 0, 0, 0);
    EXPECT_STREQ(oDest.GetName(), "Source");
    EXPECT_EQ(oDest.GetTrackStyle(3)->m_byMode, 2);
    for (BYTE by = 0; by < NST_NR_STE; ++by)
        EXPECT_EQ(oDest.HasStyleElem(by), by == 2) << int(by);
    EXPECT_EQ(oDest.SizeEstimate(true), oSource.SizeEstimate(true));
}

// A single track copied into an element with events leaves the element's own
// fields alone but still repairs its table.
TEST(NstStyleElem, CopyOneTrackIntoElementWithEvents)
{
    CNstStyleElem oSource;
    oSource.GetTrackParam(2)->m_byProgram = 40;
    SetEvents(*oSource.GetChordVar(1)->GetPattern(2), {kNote0}, 1536);

    CNstStyleElem oDest;
    SetEvents(*oDest.GetChordVar(3)->GetPattern(0), {kNote0}, 1536);
    oDest.SetChordEntry(0, 5);
    oDest.CopyFrom(oSource, 1, 2, NST_NR_CV, NST_NR_TRK);
    EXPECT_EQ(oDest.GetTrackParam(2)->m_byProgram, 0);
    ASSERT_TRUE(oDest.HasChordVar(1));
    EXPECT_TRUE(oDest.FindChordVar(1)->IsPatternInUse(2));
    EXPECT_EQ(oDest.GetChordEntry(0), 1);

    // A chord variation the source lacks is deleted at the destination.
    oDest.CopyFrom(oSource, 3, NST_NR_TRK, NST_NR_CV, NST_NR_TRK);
    EXPECT_FALSE(oDest.HasChordVar(3));
}

TEST(NstModel, SizeEstimateCountsDoublings)
{
    CNstStyle oStyle;
    CNstStyleElem* poStyleElem = oStyle.GetStyleElem(0);
    poStyleElem->SetMeasures(4);
    CNstChordVar* poChordVar = poStyleElem->GetChordVar(0);
    ASSERT_EQ(poChordVar->GetLength(), 6144u);
    CNstPattern* poPattern = poChordVar->GetPattern(0);
    SetEvents(*poPattern, {kNote0, kCtrl768}, 1536);
    const DWORD dwData = poPattern->GetDataLength();
    const std::vector<BYTE> abyMeta = MakeStream({CEvRec::Meta(0, 0x7E, {2, 7})}, 100);
    poChordVar->SetMetaPattern(abyMeta.data(), DWORD(abyMeta.size()));
    const DWORD dwMeta = poChordVar->GetMetaPatternLength();
    ASSERT_GT(dwMeta, 0u);

    // 1536 in 6144: once, then for 3072 and 6144. The seven initial patterns
    // of 6 bytes and 384 ticks: once, then for 768, 1536, 3072 and 6144.
    EXPECT_EQ(poChordVar->SizeEstimate(false), 227 + dwMeta + dwData + 7 * 6);
    EXPECT_EQ(poChordVar->SizeEstimate(true), 227 + dwMeta + 3 * dwData + 7 * 5 * 6);
    EXPECT_EQ(oStyle.SizeEstimate(true), 92 + 102 + poChordVar->SizeEstimate(true));
    oStyle.GetStyleElem(9);
    EXPECT_EQ(oStyle.SizeEstimate(false), 92 + 102 + 102 + poChordVar->SizeEstimate(false));
}

} // namespace
