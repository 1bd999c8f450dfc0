// QdCopyPartTest.cpp -- copies with a track choice, into an empty style and
// into an element that keeps fewer chord variations, each saved to a file
// and read back from it as the next session sees it.
#include "DocFixtures.h"

#include "BankDoc/QdCopyPart.h"
#include "NlzdStyle/NstEditIfc.h"
#include "NlzdStyle/NstQdIfc.h"

#include <gtest/gtest.h>

#include <functional>

using namespace DocFixtures;
using StyleBuilder::AddFlatChordVar;
using StyleBuilder::Note;

namespace {

constexpr BYTE DRUM_AND_BASS = 1u << 0 | 1u << 2;

// "Src": Variation 1 with v1cv4 and v1cv5 only (Drum); Variation 2 of mode
// 3, one measure per chord variation, Bass only, chords 1 and 2 playing
// chord variation 2; every track of mode 1, tracks 0-3 flagged. "Dst":
// Variation 1 of four measures with a marker, Drum only; Ending 1 on Acc.
// 1. "Empty": Variation 1 whose chord variation holds an empty pattern.
StyleBuilder::CTestBank CopyBank()
{
    StyleBuilder::CTestStyle oSource;
    oSource.m_wTrackModes = 0x5555;
    oSource.m_byTrackFlags = 0x0F;
    AddFlatChordVar(oSource, 0, 3, 1536, {{0, {Note(0, 36, 96)}}});
    AddFlatChordVar(oSource, 0, 4, 1536, {{0, {Note(384, 38, 96)}}});
    AddFlatChordVar(oSource, 1, 0, 1536, {{2, {Note(0, 40, 96)}}});
    AddFlatChordVar(oSource, 1, 1, 1536, {{2, {Note(0, 41, 96)}}});
    oSource.m_aoElements[1]->m_byMode = 3;
    oSource.m_aoElements[1]->m_abyChordTable[1] = oSource.m_aoElements[1]->m_abyChordTable[2] = 1;
    StyleBuilder::CTestStyle oTarget;
    AddFlatChordVar(oTarget, 0, 0, 6144, {{0, {Note(0, 36, 96)}}}, {StyleBuilder::KeptMarker(1536, {1})});
    AddFlatChordVar(oTarget, 8, 0, 1536, {{3, {Note(0, 60, 96)}}});
    StyleBuilder::CTestStyle oEmpty;
    AddFlatChordVar(oEmpty, 0, 0, 1536, {{0, {}}});

    StyleBuilder::CTestBank oBank;
    oBank.m_aoSlots = {StyleBuilder::StyleSlot(oSource), StyleBuilder::StyleSlot(oTarget),
                       StyleBuilder::StyleSlot(oEmpty)};
    oBank.m_astrNames = {"Src", "Dst", "Empty"};
    return oBank;
}

const CNstChordVar& Cv(const CNstStyle& rkoStyle, BYTE bySe, BYTE byCv)
{
    return *rkoStyle.FindStyleElem(bySe)->FindChordVar(byCv);
}

std::vector<BYTE> Table(const CNstStyle& rkoStyle, BYTE bySe)
{
    const BYTE* pkbyTable = rkoStyle.FindStyleElem(bySe)->GetChordTable();
    return std::vector<BYTE>(pkbyTable, pkbyTable + QDI_MAX_CHORD);
}

const std::vector<BYTE> kabySourceTable = {0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

} // namespace

TEST_F(CBankDocTest, CopyJudgesEachPartBeforeChangingItAndNamesWhatDoesNotFit)
{
    struct CCase
    {
        const char* m_pszName;
        int m_iTarget; // the style copied into, from "Src"
        CQdPart m_oFrom;
        CQdPart m_oTo;
        BYTE m_byTracks;
        std::vector<std::string> m_astrLeftOut;
        std::function<void(const CNstStyle&)> m_fnCheck; // the target style as read back
    };
    const CCase kaoCases[] = {
        // Drum and Bass over a chord variation that held Drum only: its four
        // measures and marker stay, the one-measure Bass repeats in them.
        {"tracks into a chord variation", 1, {1, 1}, {0, 0}, DRUM_AND_BASS, {},
         [](const CNstStyle& rkoStyle) {
             EXPECT_EQ(Cv(rkoStyle, 0, 0).GetLength(), 6144u);
             EXPECT_GT(Cv(rkoStyle, 0, 0).GetMetaPatternLength(), 0u);
             EXPECT_FALSE(Cv(rkoStyle, 0, 0).IsPatternInUse(0));
             EXPECT_EQ(NstCountPattern(*Cv(rkoStyle, 0, 0).FindPattern(2)).m_dwNotes, 4u);
         }},
        // The same over the element: its mode stays, the new chord
        // variation 2 takes the source's length.
        {"tracks into an element", 1, {1, NST_NR_CV}, {0, NST_NR_CV}, DRUM_AND_BASS, {},
         [](const CNstStyle& rkoStyle) {
             EXPECT_EQ(rkoStyle.FindStyleElem(0)->GetMode(), 1);
             EXPECT_EQ(Cv(rkoStyle, 0, 0).GetLength(), 6144u);
             EXPECT_EQ(Cv(rkoStyle, 0, 1).GetLength(), 1536u);
         }},
        // Into an element the style lacks: the source's table, naming a
        // chord variation that the copy makes.
        {"tracks into a new element", 1, {1, NST_NR_CV}, {1, NST_NR_CV}, DRUM_AND_BASS, {},
         [](const CNstStyle& rkoStyle) {
             EXPECT_EQ(rkoStyle.FindStyleElem(1)->GetMode(), 3);
             EXPECT_EQ(Table(rkoStyle, 1), kabySourceTable);
         }},
        {"tracks of a whole style", 1, {}, {}, DRUM_AND_BASS, {},
         [](const CNstStyle& rkoStyle) {
             EXPECT_EQ(Table(rkoStyle, 1), kabySourceTable);
             const BYTE kabyModes[NST_NR_TRK] = {1, 0, 1, 2, 2, 2, 2, 2}; // the chosen tracks' only
             for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
                 EXPECT_EQ(rkoStyle.GetTrackStyle(byTrack)->m_byMode, kabyModes[byTrack]);
         }},
        // Into a style without events: every track's mode and flag; the
        // name stays.
        {"one track into an empty style", 2, {1, 0}, {0, 0}, 1u << 2, {},
         [](const CNstStyle& rkoStyle) {
             EXPECT_STREQ(rkoStyle.GetName(), "Empty");
             for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
                 EXPECT_EQ(*rkoStyle.GetTrackStyle(byTrack), (CNstTrackStyle{1, byTrack < 4}));
         }},
        // Nothing of v1cv4 and v1cv5 fits into Ending 1: written without
        // chord variations.
        {"beyond the element's chord variations", 1, {0, NST_NR_CV}, {8, NST_NR_CV}, NST_ALL_TRACKS_MASK,
         {"left out: v1cv4, v1cv5 (Ending 1 holds 2)"},
         [](const CNstStyle& rkoStyle) {
             ASSERT_TRUE(rkoStyle.HasStyleElem(8));
             for (BYTE byCv = 0; byCv < NST_NR_CV; ++byCv)
                 EXPECT_FALSE(rkoStyle.HasChordVar(8, byCv)) << int(byCv);
             EXPECT_EQ(Table(rkoStyle, 8), std::vector<BYTE>(QDI_MAX_CHORD, 0));
         }},
    };
    const std::string strBank = WriteBank(CopyBank());
    for (const CCase& rkoCase : kaoCases)
    {
        SCOPED_TRACE(rkoCase.m_pszName);
        ASSERT_TRUE(m_oDoc.OpenBankFile(strBank));
        std::unique_ptr<CNstEditIfc> poSource;
        ASSERT_TRUE(m_oDoc.CopyOfStyle(0, poSource));
        m_oDoc.SelectStyle(rkoCase.m_iTarget);
        const CQdCopyRequest oRequest{rkoCase.m_oFrom, rkoCase.m_oTo, rkoCase.m_byTracks, "Src"};
        CQdCopyReport oReport;
        ASSERT_TRUE(m_oDoc.CopyPart(*poSource, oRequest, oReport));
        EXPECT_EQ(oReport.m_astrLeftOut, rkoCase.m_astrLeftOut);
        ASSERT_TRUE(m_oDoc.SaveBankTo(m_oDir.Path("saved.sty")));

        m_oReports.Clear();
        ASSERT_TRUE(m_oDoc.OpenBankFile(m_oDir.Path("saved.sty")));
        m_oDoc.SelectStyle(rkoCase.m_iTarget);
        EXPECT_TRUE(m_oReports.Empty() && !m_oDoc.IsStyleDamaged(rkoCase.m_iTarget));
        rkoCase.m_fnCheck(m_oDoc.GetEditIfc()->GetStyle());
    }
    EXPECT_TRUE(m_oPrompt.ToldTexts().empty());
}
