// NstEditIfcTest.cpp -- the style edit interface: a new style, the queries
// and what they create, renaming and deleting, the tempo through import and
// export, loading a stored-form style, and, at scale, seeded random styles
// through the bank and back (model -> bank data with markers -> model,
// stored form against flat form, export -> import -> export), and damaged
// chunk data loaded without harm.
#include "ChunkNav/ChunkNav.h"
#include "EditTestTools.h"
#include "NlzdStyle/NstQdIfc.h"
#include "NlzdStyle/QdRecords.h"
#include "ReportCapture.h"
#include "StyleBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace EditTestTools;

// PatInfoOf -- the pattern info record of a style container's bytes.
PatInfoData PatInfoOf(const Bytes& rkabyStyle)
{
    Bytes abyBlock(rkabyStyle);
    CChunkNav oNav(abyBlock.data(), DWORD(abyBlock.size()));
    PatInfoData oPatInfo;
    if (oNav.m_ofnEnter(CChunkId(1)) && oNav.m_ofnNext(CChunkId(2)) && oNav.m_ofnEnter(CChunkId(1)))
        oPatInfo.Parse(oNav.m_pbyfnData(), oNav.m_dwfnDataLength());
    return oPatInfo;
}

// ---------------------------------------------------------------------------
// Seeded random styles
// ---------------------------------------------------------------------------

// CStyleGen -- a random style that the bank holds exactly as it is: no empty
// parts, no surplus chord variations, chord tables naming present chord
// variations, every pattern as long as its chord variation, and every
// pattern clean (only events a pattern may hold, no note sounding at its
// end, checked controllers and pitch bend back at rest, nothing at its last
// tick). Notes stay inside their measure, so that the measure boundaries are
// clean cut points; measures are often repeated and patterns often copied
// between chord variations, so that marker making finds pieces to share.
// Expression is never set at tick 0, where the import takes it for the
// track parameters.
class CStyleGen
{
public:
    explicit CStyleGen(std::uint32_t uSeed) : m_oRng(uSeed) {}

    void Fill(CNstStyle& roStyle)
    {
        std::string strName;
        for (int i = Rand(1, 31); i > 0; --i)
            strName += "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -"[Rand(0, 63)];
        roStyle.SetName(strName.c_str());
        for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
            *roStyle.GetTrackStyle(byTrack) = {BYTE(Rand(0, 3)), BYTE(Rand(0, 1))};
        for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
            if (bySe == 0 || Rand(0, 1))
                FillElement(*roStyle.GetStyleElem(bySe), bySe);
    }

private:
    int Rand(int iLow, int iHigh) { return std::uniform_int_distribution<int>(iLow, iHigh)(m_oRng); }

    void FillElement(CNstStyleElem& roElem, BYTE bySe)
    {
        static const CNstTimeSig s_aoSignatures[] = {{4, 2}, {4, 2}, {3, 2}, {2, 2}, {6, 3}, {5, 2}, {12, 3}, {7, 3}};
        roElem.SetTimeSig(s_aoSignatures[Rand(0, 7)]);
        roElem.SetMode(BYTE(Rand(0, 3)));
        for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
            *roElem.GetTrackParam(byTrack) = {BYTE(Rand(0, 127)), BYTE(Rand(0, 127)), BYTE(Rand(0, 127)),
                                              BYTE(Rand(0, 127)), BYTE(Rand(0, 127)), BYTE(Rand(0, 127))};
        const int iMaxCv = bySe < 4 ? NST_NR_CV : 2;
        std::vector<BYTE> abyPresent;
        for (BYTE byCv = 0; byCv < iMaxCv; ++byCv)
            if (Rand(0, 2) == 0)
                abyPresent.push_back(byCv);
        if (abyPresent.empty())
            abyPresent.push_back(BYTE(Rand(0, iMaxCv - 1)));
        for (BYTE byChord = 0; byChord < QDI_MAX_CHORD; ++byChord)
            roElem.SetChordEntry(byChord, abyPresent[Rand(0, int(abyPresent.size()) - 1)]);

        static const BYTE s_abyMeasures[] = {1, 2, 2, 4, 4, 8};
        for (BYTE byCv : abyPresent)
        {
            roElem.SetMeasures(s_abyMeasures[Rand(0, 5)]);
            FillChordVar(roElem, *roElem.GetChordVar(byCv));
        }
    }

    void FillChordVar(CNstStyleElem& roElem, CNstChordVar& roCv)
    {
        const TTICK tLength = roCv.GetLength();
        bool bAny = false;
        for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        {
            if (Rand(0, 2) == 0 && !(byTrack == NST_NR_TRK - 1 && !bAny))
                continue;
            bAny = true;
            CNstPattern& roPattern = *roCv.GetPattern(byTrack);
            if (roPattern.GetType() != 0)
                roPattern.SetAttributes(BYTE(Rand(0, 255)), BYTE(Rand(0, 255)));
            // A copy of the same track of an earlier chord variation of the
            // same length: the bank stores the two as one pattern chunk.
            const CNstPattern* pkoTwin = FindTwin(roElem, roCv, byTrack);
            if (pkoTwin && Rand(0, 2) == 0)
            {
                roPattern.SetAttributes(pkoTwin->GetAttribute1(), pkoTwin->GetAttribute2());
                roPattern.SetData(pkoTwin->GetData(), pkoTwin->GetDataLength(), tLength);
                continue;
            }
            const Bytes abyData = StyleBuilder::MakeCompactStream(MakeEvents(roCv, byTrack), tLength);
            roPattern.SetData(abyData.data(), DWORD(abyData.size()), tLength);
        }
        if (Rand(0, 3) == 0)
        {
            std::vector<CEvRec> aoMarkers;
            for (int i = Rand(1, 3); i > 0; --i)
                aoMarkers.push_back(StyleBuilder::KeptMarker(TTICK(Rand(0, int(tLength) - 1)),
                                                             {BYTE(Rand(0, 127)), BYTE(Rand(0, 127))}));
            std::stable_sort(aoMarkers.begin(), aoMarkers.end(),
                             [](const CEvRec& a, const CEvRec& b) { return a.m_tTick < b.m_tTick; });
            const Bytes abyMeta = StyleBuilder::MakeCompactStream(aoMarkers, tLength);
            roCv.SetMetaPattern(abyMeta.data(), DWORD(abyMeta.size()));
        }
    }

    const CNstPattern* FindTwin(const CNstStyleElem& rkoElem, const CNstChordVar& rkoCv, BYTE byTrack)
    {
        for (BYTE byCv = 0; byCv < NST_NR_CV; ++byCv)
        {
            const CNstChordVar* pkoOther = rkoElem.HasChordVar(byCv) ? rkoElem.FindChordVar(byCv) : nullptr;
            if (!pkoOther || pkoOther == &rkoCv)
                continue;
            const CNstPattern* pkoPattern = pkoOther->FindPattern(byTrack);
            if (!pkoPattern->IsUntouched() && !pkoPattern->IsEmpty() && pkoOther->GetLength() == rkoCv.GetLength())
                return pkoPattern;
        }
        return nullptr;
    }

    // MakeEvents -- measure blocks, each new or a repetition of the one before.
    std::vector<CEvRec> MakeEvents(const CNstChordVar& rkoCv, BYTE byTrack)
    {
        const TTICK tMeasure = rkoCv.GetTicksPerMeasure();
        const bool bDense = Rand(0, 2) == 0;
        std::vector<CEvRec> aoEvents;
        std::vector<CEvRec> aoBlock;
        for (BYTE byMeasure = 0; byMeasure < rkoCv.GetMeasures(); ++byMeasure)
        {
            if (aoBlock.empty() || Rand(0, 2) == 0)
                aoBlock = MakeBlock(tMeasure, byTrack, bDense);
            for (CEvRec oEvent : aoBlock)
            {
                oEvent.m_tTick += byMeasure * tMeasure;
                const bool bExpression =
                    BYTE(oEvent.m_dwWord1) == EVSC_CTRL_CHANGE && BYTE(oEvent.m_dwWord1 >> 16) == 11;
                if (oEvent.m_tTick == 0 && bExpression)
                    continue;
                aoEvents.push_back(oEvent);
            }
        }
        return aoEvents;
    }

    // MakeBlock -- the events of one measure, every note and every excursion
    // of a checked controller or the pitch bend ended before the measure's
    // last tick.
    std::vector<CEvRec> MakeBlock(TTICK tMeasure, BYTE byTrack, bool bDense)
    {
        std::vector<CEvRec> aoBlock;
        const int iLast = int(tMeasure) - 2;
        std::vector<int> aiKeyFree(128, 0);
        const int iNotes = bDense ? Rand(10, 28) : Rand(0, 5);
        for (int i = 0; i < iNotes; ++i)
        {
            const BYTE byKey = BYTE(byTrack < 2 ? Rand(35, 81) : Rand(28, 96));
            const int iStart = std::max(Rand(0, iLast - 1), aiKeyFree[byKey]);
            if (iStart >= iLast)
                continue;
            const int iEnd = Rand(iStart + 1, std::min(iLast, iStart + 1500));
            aiKeyFree[byKey] = iEnd + 1;
            aoBlock.push_back(CEvRec::Note(TTICK(iStart), 0, byKey, BYTE(Rand(1, 127)), BYTE(Rand(0, 127)),
                                           DWORD(iEnd - iStart)));
        }
        static const BYTE s_abyFree[] = {2, 12, 13, 33, 34, 42, 43, 44, 45, 80, 81, 82};
        for (int i = Rand(0, bDense ? 4 : 2); i > 0; --i)
            aoBlock.push_back(CEvRec::Chn(TTICK(Rand(0, iLast)), EVSC_CTRL_CHANGE, 0, s_abyFree[Rand(0, 11)],
                                          BYTE(Rand(0, 127))));
        // Excursions: modulation, expression, sustain, pitch bend; each back at rest.
        static const BYTE s_abyChecked[][2] = {{1, 0}, {11, 100}, {64, 0}};
        for (const auto& rkabyController : s_abyChecked)
            if (Rand(0, 3) == 0)
            {
                const int iFrom = Rand(0, iLast - 1), iTo = Rand(iFrom + 1, iLast);
                aoBlock.push_back(
                    CEvRec::Chn(TTICK(iFrom), EVSC_CTRL_CHANGE, 0, rkabyController[0], BYTE(Rand(0, 127))));
                aoBlock.push_back(CEvRec::Chn(TTICK(iTo), EVSC_CTRL_CHANGE, 0, rkabyController[0], rkabyController[1]));
            }
        if (Rand(0, 3) == 0)
        {
            const int iFrom = Rand(0, iLast - 1), iTo = Rand(iFrom + 1, iLast);
            aoBlock.push_back(CEvRec::Chn(TTICK(iFrom), EVSC_PITCH_B_CHANGE, 0, BYTE(Rand(0, 127)), BYTE(Rand(0, 127))));
            aoBlock.push_back(CEvRec::Chn(TTICK(iTo), EVSC_PITCH_B_CHANGE, 0, 0, 64));
        }
        std::stable_sort(aoBlock.begin(), aoBlock.end(),
                         [](const CEvRec& a, const CEvRec& b) { return a.m_tTick < b.m_tTick; });
        return aoBlock;
    }

    std::mt19937 m_oRng;
};

// ExpectSameStyle -- everything the bank holds of a style: name, track
// bytes, elements with their signature, mode, chord table and parameters,
// chord variations with signature, measures, length and meta pattern, and
// every pattern in use with its type, attributes, length, measures and every
// event at every tick.
void ExpectSameStyle(const CNstStyle& rkoExpected, const CNstStyle& rkoActual, const std::string& strWhat)
{
    SCOPED_TRACE(strWhat);
    EXPECT_STREQ(rkoActual.GetName(), rkoExpected.GetName());
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        EXPECT_EQ(*rkoActual.GetTrackStyle(byTrack), *rkoExpected.GetTrackStyle(byTrack));
    for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
    {
        ASSERT_EQ(rkoActual.HasStyleElem(bySe), rkoExpected.HasStyleElem(bySe)) << "element " << int(bySe);
        if (!rkoExpected.HasStyleElem(bySe))
            continue;
        const CNstStyleElem& rkoExpElem = *rkoExpected.FindStyleElem(bySe);
        const CNstStyleElem& rkoActElem = *rkoActual.FindStyleElem(bySe);
        EXPECT_EQ(rkoActElem.GetTimeSig(), rkoExpElem.GetTimeSig());
        EXPECT_EQ(rkoActElem.GetMode(), rkoExpElem.GetMode());
        EXPECT_TRUE(std::equal(rkoExpElem.GetChordTable(), rkoExpElem.GetChordTable() + QDI_MAX_CHORD,
                               rkoActElem.GetChordTable()));
        for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
            EXPECT_EQ(*rkoActElem.GetTrackParam(byTrack), *rkoExpElem.GetTrackParam(byTrack));
        for (BYTE byCv = 0; byCv < NST_NR_CV; ++byCv)
        {
            ASSERT_EQ(rkoActElem.HasChordVar(byCv), rkoExpElem.HasChordVar(byCv));
            if (!rkoExpElem.HasChordVar(byCv))
                continue;
            SCOPED_TRACE("element " + std::to_string(bySe) + " chord variation " + std::to_string(byCv));
            const CNstChordVar& rkoExpCv = *rkoExpElem.FindChordVar(byCv);
            const CNstChordVar& rkoActCv = *rkoActElem.FindChordVar(byCv);
            EXPECT_EQ(rkoActCv.GetTimeSig(), rkoExpCv.GetTimeSig());
            EXPECT_EQ(rkoActCv.GetMeasures(), rkoExpCv.GetMeasures());
            EXPECT_EQ(rkoActCv.GetLength(), rkoExpCv.GetLength());
            EXPECT_EQ(StreamEvents(rkoActCv.GetMetaPatternData(), rkoActCv.GetMetaPatternLength()),
                      StreamEvents(rkoExpCv.GetMetaPatternData(), rkoExpCv.GetMetaPatternLength()));
            for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
            {
                const CNstPattern& rkoExp = *rkoExpCv.FindPattern(byTrack);
                const CNstPattern& rkoAct = *rkoActCv.FindPattern(byTrack);
                ASSERT_EQ(rkoAct.IsUntouched(), rkoExp.IsUntouched()) << "track " << int(byTrack);
                if (rkoExp.IsUntouched())
                    continue;
                EXPECT_EQ(rkoAct.GetType(), rkoExp.GetType());
                EXPECT_EQ(rkoAct.GetAttribute1(), rkoExp.GetAttribute1());
                EXPECT_EQ(rkoAct.GetAttribute2(), rkoExp.GetAttribute2());
                EXPECT_EQ(rkoAct.GetTimeSig(), rkoExp.GetTimeSig());
                EXPECT_EQ(rkoAct.GetMeasures(), rkoExp.GetMeasures());
                EXPECT_EQ(rkoAct.GetNrTicks(), rkoExp.GetNrTicks());
                EXPECT_EQ(StreamEvents(rkoAct.GetData(), rkoAct.GetDataLength()),
                          StreamEvents(rkoExp.GetData(), rkoExp.GetDataLength()))
                    << "track " << int(byTrack);
            }
        }
    }
}

// ---------------------------------------------------------------------------
// The edit interface
// ---------------------------------------------------------------------------

TEST(NstEditIfc, NewStyle)
{
    CReportCapture oReports;
    CNstEditIfc oEdit(nullptr, 0);
    EXPECT_EQ(oEdit.GetTempo(), 120);
    char szName[40];
    oEdit.GetName(szName, 31);
    EXPECT_STREQ(szName, "New Style");
    for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
        EXPECT_EQ(oEdit.GetStyleElemState(bySe), NST_STATE_ABSENT);
    EXPECT_TRUE(oReports.Empty());

    // No data and zero bytes of data are the same.
    const BYTE abyNothing[1] = {0};
    CNstEditIfc oEmpty(abyNothing, 0);
    oEmpty.GetName(szName, 31);
    EXPECT_STREQ(szName, "New Style");
}

// Which queries create what: states and chord variation state create
// nothing; measures create element and chord variation with the element's
// defaults; the attribute puts the pattern in use.
TEST(NstEditIfc, QueriesAndWhatTheyCreate)
{
    CNstEditIfc oEdit(nullptr, 0);
    EXPECT_EQ(oEdit.GetChordVarState(6, 1), NST_STATE_ABSENT);
    EXPECT_EQ(oEdit.GetPatternState(6, 1, 2), NST_STATE_ABSENT);
    EXPECT_EQ(oEdit.GetStyleElemState(6), NST_STATE_ABSENT);

    EXPECT_EQ(oEdit.GetMeasures(6, 1), 1) << "Fill 1 defaults to one measure";
    EXPECT_EQ(oEdit.GetMeasures(0, 3), 2);
    EXPECT_EQ(oEdit.GetStyleElemState(6), NST_STATE_EMPTY);
    EXPECT_EQ(oEdit.GetChordVarState(6, 1), NST_STATE_EMPTY);
    EXPECT_EQ(oEdit.GetChordVarState(6, 0), NST_STATE_ABSENT);
    EXPECT_EQ(oEdit.GetPatternState(6, 1, 2), NST_STATE_ABSENT);

    EXPECT_EQ(oEdit.GetPatternAttribute(4, 0, 0), 0);
    EXPECT_EQ(oEdit.GetPatternState(4, 0, 0), NST_STATE_EMPTY);
    CNstPattern& roBass = *oEdit.GetStyle().GetStyleElem(4)->GetChordVar(0)->GetPattern(2);
    roBass.SetAttributes(0x5A, 0x11);
    const Bytes abyNotes = StyleBuilder::MakeCompactStream({StyleBuilder::Note(0, 40, 100)}, 3072);
    roBass.SetData(abyNotes.data(), DWORD(abyNotes.size()), 3072);
    EXPECT_EQ(oEdit.GetPatternAttribute(4, 0, 2), 0x5A);
    EXPECT_EQ(oEdit.GetPatternState(4, 0, 2), NST_STATE_EVENTS);
    EXPECT_EQ(oEdit.GetChordVarState(4, 0), NST_STATE_EVENTS);
    EXPECT_EQ(oEdit.GetStyleElemState(4), NST_STATE_EVENTS);

    oEdit.GetStyle().GetStyleElem(2)->SetTimeSig({6, 3});
    EXPECT_EQ(oEdit.GetPackedSignature(2), 0x35);
    EXPECT_EQ(oEdit.GetPackedSignature(7), 0x23) << "created: 4/4";
    EXPECT_EQ(oEdit.GetStyleElemState(7), NST_STATE_EMPTY);

    // Deleting: absent things stay absent, nothing is created.
    oEdit.DeleteChordVar(9, 0);
    EXPECT_EQ(oEdit.GetStyleElemState(9), NST_STATE_ABSENT);
    oEdit.DeleteChordVar(4, 0);
    EXPECT_EQ(oEdit.GetChordVarState(4, 0), NST_STATE_ABSENT);
    EXPECT_EQ(oEdit.GetStyleElemState(4), NST_STATE_EMPTY);
    oEdit.DeleteStyleElem(4);
    EXPECT_EQ(oEdit.GetStyleElemState(4), NST_STATE_ABSENT);

    CReportCapture oReports;
    EXPECT_EQ(oEdit.GetStyleElemState(10), NST_STATE_ABSENT);
    EXPECT_EQ(oEdit.GetChordVarState(0, 6), NST_STATE_ABSENT);
    EXPECT_EQ(oEdit.GetPatternState(0, 3, 8), NST_STATE_ABSENT);
    EXPECT_EQ(oEdit.GetMeasures(0, 6), 0);
    EXPECT_EQ(oEdit.GetPatternAttribute(0, 0, 8), 0);
    EXPECT_EQ(oEdit.GetPackedSignature(10), 0);
    oEdit.DeleteStyleElem(10);
    oEdit.DeleteChordVar(0, 6);
    EXPECT_EQ(oReports.Texts().size(), 8u);
}

// A Set Tempo of 500000 microseconds at tick 0 gives 120; a file without
// one leaves the tempo; the export writes the tempo first.
TEST(NstEditIfc, TempoThroughImportAndExport)
{
    // A Drum note from 0 to 96, the end at 1536; with and without the tempo.
    const Bytes kabyNote = {0x00, 0x99, 0x24, 0x64, 0x60, 0x89, 0x24, 0x40, 0x8B, 0x20, 0xFF, 0x2F, 0x00};
    auto File = [&](const Bytes& rkabyFirst) {
        Bytes aby = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0x80, 'M', 'T', 'r', 'k', 0, 0, 0, 0};
        aby[21] = BYTE(rkabyFirst.size() + kabyNote.size());
        aby.insert(aby.end(), rkabyFirst.begin(), rkabyFirst.end());
        aby.insert(aby.end(), kabyNote.begin(), kabyNote.end());
        return aby;
    };
    const Bytes abyWithTempo = File({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});
    Bytes abyWithout = File({});

    CNstEditIfc oEdit(nullptr, 0);
    oEdit.SetTempo(77);
    ASSERT_TRUE(oEdit.ImportFromSmf(abyWithTempo.data(), DWORD(abyWithTempo.size()), 1, 0, NST_ALL_TRACKS, false));
    EXPECT_EQ(oEdit.GetTempo(), 120);
    oEdit.SetTempo(77);
    ASSERT_TRUE(oEdit.ImportFromSmf(abyWithout.data(), DWORD(abyWithout.size()), 2, 0, NST_ALL_TRACKS, false));
    EXPECT_EQ(oEdit.GetTempo(), 77);

    oEdit.SetTempo(120);
    const Lines aLines = FileLines(ExportFile(oEdit, 1, 0, NST_ALL_TRACKS));
    ASSERT_FALSE(aLines.empty());
    EXPECT_EQ(aLines.front(), "0 meta 51 07A120");

    abyWithout[4] = 'X';
    oEdit.SetTempo(99);
    EXPECT_FALSE(oEdit.ImportFromSmf(abyWithout.data(), DWORD(abyWithout.size()), 3, 0, NST_ALL_TRACKS, false));
    EXPECT_EQ(oEdit.GetStyleElemState(3), NST_STATE_ABSENT);
    EXPECT_EQ(oEdit.GetTempo(), 99);
}

// The bank data of a new style: Variation 1 with one chord variation holding
// an empty Drum pattern, exactly as many bytes as the style container.
TEST(NstEditIfc, BankDataOfANewStyle)
{
    CNstEditIfc oEdit(nullptr, 0);
    CReportCapture oReports;
    const Bytes abyData = BankData(oEdit, true);
    ASSERT_GE(abyData.size(), 8u);
    EXPECT_EQ(abyData[0], 1);
    EXPECT_EQ(QdReadBE32(&abyData[4]) + 8, abyData.size());

    CNstEditIfc oLoaded(abyData.data(), DWORD(abyData.size()));
    EXPECT_TRUE(oReports.Empty()) << oReports.Texts().front();
    char szName[32];
    oLoaded.GetName(szName, 31);
    EXPECT_STREQ(szName, "New Style");
    EXPECT_EQ(oLoaded.GetStyleElemState(0), NST_STATE_EMPTY);
    EXPECT_EQ(oLoaded.GetPatternState(0, 0, 0), NST_STATE_EMPTY);
    for (BYTE bySe = 1; bySe < NST_NR_STE; ++bySe)
        EXPECT_EQ(oLoaded.GetStyleElemState(bySe), NST_STATE_ABSENT);
}

// Write-back cleans every pattern: notes still held at the pattern's end are
// cut at its last tick and end with note-off velocity 64, as the reset
// closes a held key; a note that ends earlier keeps its own velocity.
TEST(NstEditIfc, WriteBackClosesHeldNotesWithVelocity64)
{
    constexpr BYTE kbyBass = 2;
    StyleBuilder::CTestStyle oStyle;
    StyleBuilder::AddFlatChordVar(oStyle, 0, 0, 1536,
                                  {{kbyBass,
                                    {CEvRec::Note(0, 0, 36, 100, 10, 384), CEvRec::Note(1000, 0, 40, 100, 10, 1000),
                                     CEvRec::Note(1200, 0, 43, 90, 0, 800)}}});
    const Bytes abyStored = StyleBuilder::BuildStyleChunk(oStyle);
    CNstEditIfc oEdit(abyStored.data(), DWORD(abyStored.size()));
    const Bytes abyWritten = BankData(oEdit, false);
    CNstEditIfc oReloaded(abyWritten.data(), DWORD(abyWritten.size()));

    const CNstPattern* pkoBass = oReloaded.GetStyle().FindStyleElem(0)->FindChordVar(0)->FindPattern(kbyBass);
    ASSERT_NE(pkoBass, nullptr);
    EXPECT_EQ(PatternEvents(*pkoBass),
              (std::vector<CEvRec>{CEvRec::Note(0, 0, 36, 100, 10, 384), CEvRec::Note(1000, 0, 40, 100, 64, 535),
                                   CEvRec::Note(1200, 0, 43, 90, 64, 335), CEvRec::EndOfTrack(1536)}));
}

// ---------------------------------------------------------------------------
// At scale
// ---------------------------------------------------------------------------

constexpr int kiNrStyles = 300;
constexpr std::uint32_t kuFirstSeed = 0x5EED0000;

// Model -> bank data with markers -> model gives the same style; the stored
// form exports every chord variation exactly as the flat form does; and an
// exported chord variation imported into a new style exports to the same
// bytes again. Marker making must have split and shared in a good share.
TEST(NstEditIfcAtScale, RandomStylesThroughTheBank)
{
    int iSplit = 0, iShared = 0, iChordVars = 0;
    for (int iStyle = 0; iStyle < kiNrStyles; ++iStyle)
    {
        const std::uint32_t uSeed = kuFirstSeed + std::uint32_t(iStyle);
        SCOPED_TRACE("seed " + std::to_string(uSeed));
        CReportCapture oReports;
        CNstEditIfc oModel(nullptr, 0);
        CStyleGen(uSeed).Fill(oModel.GetStyle());

        const Bytes abyFlat = BankData(oModel, false);
        const Bytes abyStored = BankData(oModel, true);
        ASSERT_FALSE(abyFlat.empty());
        ASSERT_FALSE(abyStored.empty());
        const PatInfoData oFlatInfo = PatInfoOf(abyFlat);
        const PatInfoData oStoredInfo = PatInfoOf(abyStored);
        iSplit += oStoredInfo.m_wTotalCvPatterns > oFlatInfo.m_wTotalCvPatterns;
        iShared += oStoredInfo.m_wTotalPatterns < oStoredInfo.m_wTotalCvPatterns;

        CNstEditIfc oStored(abyStored.data(), DWORD(abyStored.size()));
        CNstEditIfc oFlat(abyFlat.data(), DWORD(abyFlat.size()));
        ExpectSameStyle(oModel.GetStyle(), oStored.GetStyle(), "stored form");
        ExpectSameStyle(oModel.GetStyle(), oFlat.GetStyle(), "flat form");

        for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
            for (BYTE byCv = 0; byCv < NST_NR_CV; ++byCv)
            {
                if (oModel.GetChordVarState(bySe, byCv) == NST_STATE_ABSENT)
                    continue;
                ++iChordVars;
                SCOPED_TRACE("element " + std::to_string(bySe) + " chord variation " + std::to_string(byCv));
                const Bytes abyFile = ExportFile(oStored, bySe, byCv, NST_ALL_TRACKS);
                EXPECT_EQ(FileLines(abyFile), FileLines(ExportFile(oFlat, bySe, byCv, NST_ALL_TRACKS)));

                CNstEditIfc oImported(nullptr, 0);
                ASSERT_TRUE(oImported.ImportFromSmf(abyFile.data(), DWORD(abyFile.size()), bySe, byCv,
                                                    NST_ALL_TRACKS, false));
                const Bytes abyAgain = ExportFile(oImported, bySe, byCv, NST_ALL_TRACKS);
                EXPECT_EQ(abyAgain, abyFile);
                if (abyAgain != abyFile)
                {
                    EXPECT_EQ(FileLines(abyAgain), FileLines(abyFile));
                }
            }
        EXPECT_TRUE(oReports.Empty()) << oReports.Texts().front();
        if (HasFailure())
            break;
    }
    std::printf("[ at scale ] %d styles, %d chord variations; marker making split in %d, shared in %d\n",
                kiNrStyles, iChordVars, iSplit, iShared);
    EXPECT_GE(iSplit, kiNrStyles / 3);
    EXPECT_GE(iShared, kiNrStyles / 3);
}

// Damaged chunk data: bytes changed, cut short or grown with garbage. The
// style loads as far as it safely can (the address sanitizer watches), and
// what loaded can be queried and exported.
TEST(NstEditIfcAtScale, DamagedChunkDataLoadsSafely)
{
    for (int iCase = 0; iCase < kiNrStyles; ++iCase)
    {
        const std::uint32_t uSeed = kuFirstSeed + 0x10000 + std::uint32_t(iCase);
        SCOPED_TRACE("seed " + std::to_string(uSeed));
        std::mt19937 oRng(uSeed);
        auto Rand = [&](int iLow, int iHigh) { return std::uniform_int_distribution<int>(iLow, iHigh)(oRng); };

        CReportCapture oReports;
        Bytes abyData;
        {
            CNstEditIfc oModel(nullptr, 0);
            CStyleGen(uSeed).Fill(oModel.GetStyle());
            abyData = BankData(oModel, Rand(0, 3) != 0);
        }
        ASSERT_FALSE(abyData.empty());
        switch (Rand(0, 3))
        {
        case 0:
            abyData.resize(std::size_t(Rand(0, int(abyData.size()) - 1)));
            break;
        case 1:
            for (int i = Rand(1, 8); i > 0; --i)
                abyData[std::size_t(Rand(0, int(abyData.size()) - 1))] = BYTE(Rand(0, 255));
            break;
        case 2:
            // Header and record fields, where the lengths and counts lie.
            for (int i = Rand(1, 4); i > 0; --i)
            {
                const std::size_t n = std::size_t(Rand(0, std::min(int(abyData.size()) - 1, 400)));
                abyData[n] = BYTE(Rand(0, 1) ? 0xFF : Rand(0, 255));
            }
            break;
        default:
            for (int i = Rand(1, 64); i > 0; --i)
                abyData.insert(abyData.begin() + Rand(0, int(abyData.size())), BYTE(Rand(0, 255)));
            break;
        }
        // Exactly the bytes given, so that a read past them is caught.
        std::unique_ptr<BYTE[]> pbyExact(new BYTE[abyData.size() + 1]);
        if (!abyData.empty())
            std::memcpy(pbyExact.get(), abyData.data(), abyData.size());
        CNstEditIfc oEdit(pbyExact.get(), DWORD(abyData.size()));
        for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
            for (BYTE byCv = 0; byCv < NST_NR_CV; ++byCv)
                if (oEdit.GetChordVarState(bySe, byCv) != NST_STATE_ABSENT)
                    ExportFile(oEdit, bySe, byCv, BYTE(Rand(0, 1) ? NST_ALL_TRACKS : Rand(0, 7)));
        // Writing it back ends too: a damaged length of billions of ticks is
        // refused rather than repeated into a pattern no bank could hold.
        DWORD dwSize = 0;
        oEdit.BuildBankData(true, dwSize);
    }
}

} // namespace
